#pragma once
// Windows of the serial-port component on Qt: trigger messages are custom
// events whose types are the message numbers; from another thread they wait
// in the window's queue and a Qt event wakes the window for each. The port's
// hidden window takes the dispatcher's trigger messages on the GUI thread;
// the dispatch thread waits (bounded) until the GUI thread has handled each.

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "serial/QnEvent.h"
#include "serial/QnTriggers.h"

// One message as a Qt event. When a ticket is given it is signalled as the
// event goes away, handled or dropped, so a sender waiting on it never
// waits for a window that no longer exists.
class TQnPortMessage : public QEvent {
public:
    TQnPortMessage(uint32_t msg, uint32_t wParam, uint32_t lParam, std::shared_ptr<TQnEvent> ticket = nullptr)
        : QEvent(static_cast<QEvent::Type>(msg)), WParam(wParam), LParam(lParam), ticket_(std::move(ticket)) {}
    ~TQnPortMessage() override {
        if (ticket_) ticket_->Signal();
    }
    uint32_t Msg() const { return static_cast<uint32_t>(type()); }
    const uint32_t WParam;
    const uint32_t LParam;

private:
    std::shared_ptr<TQnEvent> ticket_;
};

class TQnPortWindow : public QObject, public IQnMessageWindow {
public:
    using TWindowProc = std::function<void(uint32_t msg, uint32_t wParam, uint32_t lParam)>;
    explicit TQnPortWindow(TWindowProc proc);
    ~TQnPortWindow() override;

    uint32_t WindowHandle() const override { return handle_; }
    bool SendMessageTimeout(uint32_t msg, uint32_t wParam, uint32_t lParam, int timeoutMs, int cancelFd) override;
    void PostPortMessage(uint32_t msg, uint32_t wParam, uint32_t lParam);

protected:
    void customEvent(QEvent* event) override;

private:
    void Post(std::unique_ptr<TQnPortMessage> message);

    TWindowProc proc_;
    uint32_t handle_;
    // Messages from other threads wait here, behind a lock the thread
    // checkers can see; the Qt event posted with each only wakes the window.
    std::mutex postedLock_;
    std::deque<std::unique_ptr<TQnPortMessage>> posted_;
};
