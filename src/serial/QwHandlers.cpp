// Registration of trigger handlers and the delivery of one trigger message
// to all of them.
#include <algorithm>

#include "serial/QwUser.h"

namespace {

constexpr uint8_t LogRegister = 7;
constexpr uint8_t LogDeregister = 8;
constexpr uint8_t LogWindowHandler = 17;
constexpr uint8_t LogProcHandler = 18;
constexpr uint8_t LogEventHandler = 19;

// Marks (during a delivery) or removes the first record that matches.
template <typename Record, typename Match>
bool DropHandler(std::vector<Record>& list, bool inDispatch, bool& deleted, Match match) {
    const auto found = std::find_if(list.begin(), list.end(), [&](const Record& r) { return !r.Deleted && match(r); });
    if (found == list.end()) return false;
    if (inDispatch) {
        found->Deleted = true;
        deleted = true;
    } else {
        list.erase(found);
    }
    return true;
}

}  // namespace

void TQnBaseDispatcher::RegisterWindowHandler(IQnMessageWindow* window) {
    if (window == nullptr) return;
    std::lock_guard data(dataLock_);
    windowHandlers_.push_back({window, false});
    handlersPresent_ = true;
    handlerAdded_ = true;
    log_.AddDispatchEntry(LogRegister, LogWindowHandler, window->WindowHandle(), nullptr, 0);
}

void TQnBaseDispatcher::DeregisterWindowHandler(IQnMessageWindow* window) {
    std::lock_guard data(dataLock_);
    if (DropHandler(windowHandlers_, inDispatch_, handlersDeleted_,
                    [&](const WindowRecord& r) { return r.Window == window; }))
        log_.AddDispatchEntry(LogDeregister, LogWindowHandler, window->WindowHandle(), nullptr, 0);
    SetHandlerServiceFlag(0);
}

void TQnBaseDispatcher::RegisterProcHandler(TQnTriggerProc proc) {
    if (proc == nullptr) return;
    std::lock_guard data(dataLock_);
    procHandlers_.push_back({proc, false});
    handlersPresent_ = true;
    handlerAdded_ = true;
    log_.AddDispatchEntry(LogRegister, LogProcHandler, 0, nullptr, 0);
}

void TQnBaseDispatcher::DeregisterProcHandler(TQnTriggerProc proc) {
    std::lock_guard data(dataLock_);
    if (DropHandler(procHandlers_, inDispatch_, handlersDeleted_, [&](const ProcRecord& r) { return r.Proc == proc; }))
        log_.AddDispatchEntry(LogDeregister, LogProcHandler, 0, nullptr, 0);
    SetHandlerServiceFlag(0);
}

TQnHandlerToken TQnBaseDispatcher::RegisterEventHandler(TQnTriggerEvent handler) {
    std::lock_guard data(dataLock_);
    const TQnHandlerToken token = nextToken_++;
    eventHandlers_.push_back({token, std::make_shared<TQnTriggerEvent>(std::move(handler)), false});
    handlersPresent_ = true;
    handlerAdded_ = true;
    log_.AddDispatchEntry(LogRegister, LogEventHandler, 0, nullptr, 0);
    return token;
}

void TQnBaseDispatcher::DeregisterEventHandler(TQnHandlerToken token) {
    std::lock_guard data(dataLock_);
    if (DropHandler(eventHandlers_, inDispatch_, handlersDeleted_,
                    [&](const EventRecord& r) { return r.Token == token; }))
        log_.AddDispatchEntry(LogDeregister, LogEventHandler, 0, nullptr, 0);
    SetHandlerServiceFlag(0);
}

void TQnBaseDispatcher::SetHandlerServiceFlag(int action) {
    std::lock_guard data(dataLock_);
    const bool any = windowHandlers_.size() > 1 || !procHandlers_.empty() || !eventHandlers_.empty();
    switch (action) {
        case 0:
            handlersPresent_ = any || forcedService_;
            break;
        case 1:
            forcedService_ = handlersPresent_ = true;
            break;
        case 2:
            forcedService_ = false;
            handlersPresent_ = any;
            break;
        default:
            break;
    }
}

bool TQnBaseDispatcher::HandlersPresent() {
    std::lock_guard data(dataLock_);
    return handlersPresent_;
}

void TQnBaseDispatcher::RemoveDeletedHandlers() {
    std::lock_guard data(dataLock_);
    if (!handlersDeleted_) return;
    std::erase_if(windowHandlers_, [](const WindowRecord& r) { return r.Deleted; });
    std::erase_if(procHandlers_, [](const ProcRecord& r) { return r.Deleted; });
    std::erase_if(eventHandlers_, [](const EventRecord& r) { return r.Deleted; });
    handlersDeleted_ = false;
    SetHandlerServiceFlag(0);
}

// Calls each live record of the list in order; records are only marked
// while a delivery runs, so indexes stay valid. False once a DonePort from a
// handler asked the delivery to stop.
template <typename Record, typename Call>
bool TQnBaseDispatcher::DeliverToList(std::vector<Record>& list, Call call) {
    for (std::size_t i = 0;; ++i) {
        Record record;
        {
            std::lock_guard data(dataLock_);
            if (i >= list.size()) return true;
            record = list[i];
        }
        if (record.Deleted) continue;
        {
            std::lock_guard ring(ringLock_);
            peekCount_ = peekStart_;
        }
        call(record);
        if (closePending_) return false;
        std::lock_guard ring(ringLock_);
        maxConsumed_ = std::max(maxConsumed_, peekCount_);
    }
}

bool TQnBaseDispatcher::SendTriggerMessage(uint32_t msg, uint32_t wParam, uint32_t data, bool* unanswered) {
    bool serveWindows;
    {
        std::lock_guard guard(dataLock_);
        if (!handlersPresent_) return true;
        inDispatch_ = true;
        serveWindows = windowHandlers_.size() > 1 || forcedService_;
    }
    const bool peek = msg == QnMsgDataAvailable || msg == QnMsgDataTrigger;
    {
        std::lock_guard ring(ringLock_);
        maxConsumed_ = peekStart_ = 0;
        peekMode_ = peek;
    }
    const uint32_t lParam = static_cast<uint32_t>(handleIndex_) * 65536u + data;
    const int stopFd = events_->stopAll.Fd();
    bool delivered = DeliverToList(eventHandlers_, [&](const EventRecord& r) { (*r.Method)(msg, wParam, lParam); }) &&
                     DeliverToList(procHandlers_, [&](const ProcRecord& r) { r.Proc(msg, wParam, lParam); });
    if (delivered && serveWindows) {
        delivered = DeliverToList(windowHandlers_, [&](const WindowRecord& r) {
            if (!r.Window->SendMessageTimeout(msg, wParam, lParam, WindowDeliveryTimeoutMs, stopFd) && unanswered)
                *unanswered = true;
        });
    }
    bool result = delivered;
    {
        std::lock_guard ring(ringLock_);
        if (peekMode_ && delivered) {
            ringTail_ = (ringTail_ + maxConsumed_) % DispatchRingSize;
            if (maxConsumed_ != 0 && ringFull_) {
                ringFull_ = false;
                events_->ringRoom.Signal();
            }
            if (msg == QnMsgDataAvailable && maxConsumed_ != wParam) result = false;
        }
        peekMode_ = false;
        peekCount_ = peekStart_ = 0;
    }
    {
        std::lock_guard guard(dataLock_);
        inDispatch_ = false;
    }
    RemoveDeletedHandlers();
    return result;
}
