#include "platform/GuiThreadPoster.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <deque>
#include <mutex>

namespace {

// The queue of one context. A child of it, so it lives on the context's
// thread and goes with it.
class TGuiThreadInbox : public QObject {
public:
    explicit TGuiThreadInbox(QObject* context) : QObject(context) {}

    ~TGuiThreadInbox() override {
        // Qt drops the wake-ups still pending after this; taking the lock
        // orders their deletion after the threads that made them. The
        // callbacks go outside it, as what they hold may post again.
        std::deque<std::function<void()>> unrun;
        std::lock_guard lock(FLock);
        unrun.swap(FCalls);
    }

    void Post(std::function<void()> call) {
        QEvent* wakeUp = nullptr;
        {
            // The wake-up is made under the lock that the context's thread
            // takes before it looks at the event, so that thread sees it whole.
            std::lock_guard lock(FLock);
            FCalls.push_back(std::move(call));
            wakeUp = new QEvent(QEvent::User);
        }
        QCoreApplication::postEvent(this, wakeUp);
    }

protected:
    // One wake-up per callback: each runs the oldest one waiting.
    void customEvent(QEvent*) override {
        std::function<void()> call;
        {
            std::lock_guard lock(FLock);
            if (FCalls.empty()) return;
            call = std::move(FCalls.front());
            FCalls.pop_front();
        }
        call();
    }

private:
    std::mutex FLock;
    std::deque<std::function<void()>> FCalls;  // guarded by FLock
};

TGuiThreadInbox* InboxOf(QObject* context) {
    for (QObject* child : context->children())
        if (auto* inbox = dynamic_cast<TGuiThreadInbox*>(child)) return inbox;
    return new TGuiThreadInbox(context);
}

}  // namespace

std::function<void(std::function<void()>)> GuiThreadPoster(QObject* context) {
    return [inbox = InboxOf(context)](std::function<void()> callback) { inbox->Post(std::move(callback)); };
}
