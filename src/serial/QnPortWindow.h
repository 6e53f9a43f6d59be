#pragma once
// Windows of the serial-port component on Qt: messages are custom events
// whose types are the message numbers. The port's hidden window takes the
// dispatcher's trigger messages on the GUI thread, in the order they were
// sent, through the GUI-thread poster; the dispatch thread waits (bounded)
// until the GUI thread has handled each.

#include <QEvent>
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

#include "serial/QnEvent.h"
#include "serial/QnTriggers.h"

// One message as a Qt event. When a ticket is given it is signalled as the
// message goes away, handled or dropped, so a sender waiting on it never
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

private:
    void Post(std::shared_ptr<TQnPortMessage> message);
    void Handle(const TQnPortMessage& message);

    TWindowProc proc_;
    uint32_t handle_;
    std::function<void(std::function<void()>)> post_;  // onto this window's thread
};
