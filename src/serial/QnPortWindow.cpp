#include "serial/QnPortWindow.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace {

uint32_t NextWindowHandle() {
    static std::atomic<uint32_t> next{1};
    return next++;
}

}  // namespace

TQnPortWindow::TQnPortWindow(TWindowProc proc) : proc_(std::move(proc)), handle_(NextWindowHandle()) {}

bool TQnPortWindow::SendMessageTimeout(uint32_t msg, uint32_t wParam, uint32_t lParam, int timeoutMs,
                                       int cancelFd) {
    if (QThread::currentThread() == thread()) {
        TQnPortMessage message(msg, wParam, lParam);
        QCoreApplication::sendEvent(this, &message);
        return true;
    }
    auto ticket = std::make_shared<TQnEvent>(true);
    QCoreApplication::postEvent(this, new TQnPortMessage(msg, wParam, lParam, ticket));
    if (cancelFd >= 0) AnyReadable({ticket->Fd(), cancelFd}, timeoutMs);
    else AnyReadable({ticket->Fd()}, timeoutMs);
    return ticket->IsSet();
}

void TQnPortWindow::PostPortMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    QCoreApplication::postEvent(this, new TQnPortMessage(msg, wParam, lParam));
}

void TQnPortWindow::customEvent(QEvent* event) {
    auto* message = dynamic_cast<TQnPortMessage*>(event);
    if (message == nullptr) return;
    try {
        proc_(message->Msg(), message->WParam, message->LParam);
    } catch (...) {
        // A window procedure answers 0 whatever its handlers did; the port
        // keeps what they raised for its owner (see TQnCustomComPort).
    }
}
