#pragma once
// Eventually for conditions that Qt events make true: each turn runs the
// pending events first, deferred deletions included (as QTest::qWaitFor
// does), so objects a handler let go of are freed during the wait.

#include <QCoreApplication>
#include <QEvent>

#include "support/Eventually.h"

namespace tavrin::test {

inline bool EventuallyWithEvents(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
    return Eventually(
        [&] {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return condition();
        },
        limit);
}

}  // namespace tavrin::test
