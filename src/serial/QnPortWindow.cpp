#include "serial/QnPortWindow.h"

#include <QThread>
#include <atomic>

#include "platform/GuiThreadPoster.h"

namespace {

uint32_t NextWindowHandle() {
    static std::atomic<uint32_t> next{1};
    return next++;
}

}  // namespace

TQnPortWindow::TQnPortWindow(TWindowProc proc)
    : proc_(std::move(proc)), handle_(NextWindowHandle()), post_(GuiThreadPoster(this)) {}

bool TQnPortWindow::SendMessageTimeout(uint32_t msg, uint32_t wParam, uint32_t lParam, int timeoutMs, int cancelFd) {
    if (QThread::currentThread() == thread()) {
        Handle(TQnPortMessage(msg, wParam, lParam));
        return true;
    }
    auto ticket = std::make_shared<TQnEvent>(true);
    Post(std::make_shared<TQnPortMessage>(msg, wParam, lParam, ticket));
    if (cancelFd >= 0)
        AnyReadable({ticket->Fd(), cancelFd}, timeoutMs);
    else
        AnyReadable({ticket->Fd()}, timeoutMs);
    return ticket->IsSet();
}

void TQnPortWindow::PostPortMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    Post(std::make_shared<TQnPortMessage>(msg, wParam, lParam));
}

TQnPortWindow::~TQnPortWindow() = default;

void TQnPortWindow::Post(std::shared_ptr<TQnPortMessage> message) {
    // The message, and with it the sender's ticket, goes when the call has
    // run or is dropped with this window.
    post_([this, message = std::move(message)] { Handle(*message); });
}

void TQnPortWindow::Handle(const TQnPortMessage& message) {
    try {
        proc_(message.Msg(), message.WParam, message.LParam);
    } catch (...) {
        // A window procedure answers 0 whatever its handlers did; the port
        // keeps what they raised for its owner (see TQnCustomComPort).
    }
}
