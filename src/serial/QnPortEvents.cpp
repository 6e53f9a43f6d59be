// The serial-port component's events: trigger messages arriving at its
// hidden window, and the notices to its user windows.
#include <QCoreApplication>
#include <algorithm>

#include "serial/QnPort.h"

void TQnCustomComPort::WindowProc(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    inWindowProc_ = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{inWindowProc_};
    if (msg == QnMsgPortClosing) {
        if (dispatcher_ && dispatcher_->InDispatch() && window_ != nullptr) {
            window_->PostPortMessage(msg, wParam, lParam);
            return;
        }
        FinishClose();
        if (reopenPending_) {
            reopenPending_ = false;
            OpenPort();
        }
        return;
    }
    // Messages still queued from a dispatcher that has gone are dropped.
    const auto ports = PortListSnapshot();
    const uint32_t index = lParam >> 16;
    if (!dispatcher_ || index >= ports.size() || ports[index] != dispatcher_.get() || state_ != TQnPortState::Open)
        return;
    try {
        DoTrigger(msg, wParam, msg == QnMsgDataAvailable ? wParam : (lParam & 0xFFFF));
        switch (msg) {
            case QnMsgDataAvailable:
                DoTriggerAvail(wParam);
                break;
            case QnMsgDataTrigger:
                DoTriggerData(wParam);
                break;
            case QnMsgTimerTrigger:
                DoTriggerTimer(wParam);
                break;
            case QnMsgStatusTrigger:
                DoTriggerStatus(wParam);
                switch (StatusTriggerKind(wParam)) {
                    case QnStatusModem:
                        DoTriggerModemStatus();
                        break;
                    case QnStatusLineError: {
                        const int32_t error = GetLineError();
                        DoTriggerLineError(error, CheckLineBreak());
                        break;
                    }
                    case QnStatusOutFree:
                        DoTriggerOutbuffFree();
                        break;
                    case QnStatusOutUsed:
                        DoTriggerOutbuffUsed();
                        break;
                    case QnStatusOutSent:
                        DoTriggerOutSent();
                        break;
                    default:
                        break;
                }
                break;
            default:
                break;
        }
    } catch (...) {
        if (!eventError_) eventError_ = std::current_exception();
    }
}

std::exception_ptr TQnCustomComPort::TakeEventError() { return std::exchange(eventError_, nullptr); }

void TQnCustomComPort::UpdateHandlerFlags() {
    if (state_ != TQnPortState::Open || !dispatcher_) return;
    const TQnComPortEvents& e = events_;
    const bool any = e.OnTrigger || e.OnTriggerAvail || e.OnTriggerData || e.OnTriggerStatus || e.OnTriggerTimer ||
                     e.OnTriggerLineError || e.OnTriggerModemStatus || e.OnTriggerOutbuffFree ||
                     e.OnTriggerOutbuffUsed || e.OnTriggerOutSent;
    dispatcher_->SetHandlerServiceFlag(any ? 1 : 2);
}

void TQnCustomComPort::DoTrigger(uint32_t msg, uint32_t handle, uint32_t data) {
    if (events_.OnTrigger) events_.OnTrigger(*this, msg, handle, data);
}
void TQnCustomComPort::DoTriggerAvail(uint32_t count) {
    if (events_.OnTriggerAvail) events_.OnTriggerAvail(*this, count);
}
void TQnCustomComPort::DoTriggerData(uint32_t handle) {
    if (events_.OnTriggerData) events_.OnTriggerData(*this, handle);
}
void TQnCustomComPort::DoTriggerStatus(uint32_t handle) {
    if (events_.OnTriggerStatus) events_.OnTriggerStatus(*this, handle);
}
void TQnCustomComPort::DoTriggerTimer(uint32_t handle) {
    if (events_.OnTriggerTimer) events_.OnTriggerTimer(*this, handle);
}
void TQnCustomComPort::DoTriggerLineError(int32_t error, bool lineBreak) {
    if (events_.OnTriggerLineError) events_.OnTriggerLineError(*this, error, lineBreak);
}
void TQnCustomComPort::DoTriggerModemStatus() {
    if (events_.OnTriggerModemStatus) events_.OnTriggerModemStatus(*this);
}
void TQnCustomComPort::DoTriggerOutbuffFree() {
    if (events_.OnTriggerOutbuffFree) events_.OnTriggerOutbuffFree(*this);
}
void TQnCustomComPort::DoTriggerOutbuffUsed() {
    if (events_.OnTriggerOutbuffUsed) events_.OnTriggerOutbuffUsed(*this);
}
void TQnCustomComPort::DoTriggerOutSent() {
    if (events_.OnTriggerOutSent) events_.OnTriggerOutSent(*this);
}

void TQnCustomComPort::RegisterUserCallback(QObject* window) {
    if (window != nullptr) users_.emplace_back(window);
}

void TQnCustomComPort::DeregisterUserCallback(QObject* window) {
    if (!destroying_) std::erase_if(users_, [&](const QPointer<QObject>& user) { return user.data() == window; });
}

void TQnCustomComPort::NotifyUsers(uint32_t msg) {
    // Newest first; a user may deregister, or go away, while another is told.
    const std::vector<QPointer<QObject>> users = users_;
    for (auto it = users.rbegin(); it != users.rend(); ++it) {
        QObject* user = it->data();
        if (user == nullptr) continue;
        if (std::find(users_.begin(), users_.end(), *it) == users_.end()) continue;
        TQnPortMessage message(msg, 0, 0);
        QCoreApplication::sendEvent(user, &message);
    }
}

void TQnCustomComPort::NotifyOpened() {
    NotifyUsers(QnMsgPortOpened);
    if (events_.OnPortOpen) events_.OnPortOpen(*this);
}

void TQnCustomComPort::NotifyClosing() { NotifyUsers(QnMsgPortClosing); }

void TQnCustomComPort::NotifyClosed() {
    NotifyUsers(QnMsgPortClosed);
    if (events_.OnPortClose) events_.OnPortClose(*this);
}
