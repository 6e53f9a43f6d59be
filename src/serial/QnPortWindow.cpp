#include "serial/QnPortWindow.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>

namespace {

uint32_t NextWindowHandle() {
    static std::atomic<uint32_t> next{1};
    return next++;
}

// Says that one posted message waits in the window's queue.
class TQnPortWakeUp : public QEvent {
public:
    TQnPortWakeUp() : QEvent(QEvent::User) {}
};

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
    Post(std::make_unique<TQnPortMessage>(msg, wParam, lParam, ticket));
    if (cancelFd >= 0) AnyReadable({ticket->Fd(), cancelFd}, timeoutMs);
    else AnyReadable({ticket->Fd()}, timeoutMs);
    return ticket->IsSet();
}

void TQnPortWindow::PostPortMessage(uint32_t msg, uint32_t wParam, uint32_t lParam) {
    Post(std::make_unique<TQnPortMessage>(msg, wParam, lParam));
}

TQnPortWindow::~TQnPortWindow() {
    // Qt drops the wake-ups still pending after this; taking the lock first
    // orders their deletion after the threads that made them.
    std::lock_guard lock(postedLock_);
    posted_.clear();
}

void TQnPortWindow::Post(std::unique_ptr<TQnPortMessage> message) {
    QEvent* wakeUp = nullptr;
    {
        // The wake-up is made under the lock that the GUI thread takes before
        // it looks at the event, so that thread sees it whole.
        std::lock_guard lock(postedLock_);
        posted_.push_back(std::move(message));
        wakeUp = new TQnPortWakeUp;
    }
    QCoreApplication::postEvent(this, wakeUp);
}

void TQnPortWindow::customEvent(QEvent* event) {
    std::unique_ptr<TQnPortMessage> posted;
    TQnPortMessage* message = nullptr;
    {
        std::lock_guard lock(postedLock_);
        if (dynamic_cast<TQnPortWakeUp*>(event) == nullptr) {
            message = dynamic_cast<TQnPortMessage*>(event);  // sent on this thread
        } else if (!posted_.empty()) {
            posted = std::move(posted_.front());
            posted_.pop_front();
            message = posted.get();
        }
    }
    if (message == nullptr) return;
    try {
        proc_(message->Msg(), message->WParam, message->LParam);
    } catch (...) {
        // A window procedure answers 0 whatever its handlers did; the port
        // keeps what they raised for its owner (see TQnCustomComPort).
    }
}
