// NumLock put back after it served as another key: the flip waits for the
// key's release and happens once per press that asked for it.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QObject>

#include <string>
#include <vector>

#include "platform/NumLockRestorer.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"

namespace {

enum Step { Arm, NumLockUp, NumLockUpRepeat, NumLockDown, OtherKeyUp, LeaveApp, ReturnToApp };

struct RestoreCase {
    const char* name;
    std::vector<Step> steps;
    int flips;
    bool armedAfter;
};
TAVRIN_PRINT_AS_NAME(RestoreCase)

class NumLockRestorer : public testing::TestWithParam<RestoreCase> {};

TEST_P(NumLockRestorer, FlipsOnceTheKeyIsUp) {
    tavrin::test::QtTestApp();
    int flips = 0;
    TNumLockRestorer restorer([&flips] { ++flips; });
    QObject receiver;  // the application's filter sees events for every object
    const auto key = [&receiver](QEvent::Type type, int code, bool repeat) {
        QKeyEvent e(type, code, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(&receiver, &e);
    };
    const auto state = [](Qt::ApplicationState s) {
        QApplicationStateChangeEvent e(s);
        QCoreApplication::sendEvent(QCoreApplication::instance(), &e);
    };
    for (Step s : GetParam().steps) {
        switch (s) {
            case Arm:
                restorer.Arm();
                break;
            case NumLockUp:
                key(QEvent::KeyRelease, Qt::Key_NumLock, false);
                break;
            case NumLockUpRepeat:
                key(QEvent::KeyRelease, Qt::Key_NumLock, true);
                break;
            case NumLockDown:
                key(QEvent::KeyPress, Qt::Key_NumLock, false);
                break;
            case OtherKeyUp:
                key(QEvent::KeyRelease, Qt::Key_5, false);
                break;
            case LeaveApp:
                state(Qt::ApplicationInactive);
                break;
            case ReturnToApp:
                state(Qt::ApplicationActive);
                break;
        }
    }
    EXPECT_EQ(flips, GetParam().flips);
    EXPECT_EQ(restorer.Armed(), GetParam().armedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Platform, NumLockRestorer,
    testing::Values(RestoreCase{"FlipsOnRelease", {Arm, NumLockUp}, 1, false},
                    RestoreCase{"NotAskedNoFlip", {NumLockDown, NumLockUp}, 0, false},
                    RestoreCase{"OncePerRequest", {Arm, NumLockUp, NumLockDown, NumLockUp}, 1, false},
                    RestoreCase{"RequestsWhileHeldFlipOnce", {Arm, NumLockDown, Arm, NumLockUp}, 1, false},
                    RestoreCase{"PressWaits", {Arm, NumLockDown}, 0, true},
                    RestoreCase{"RepeatedReleaseWaits", {Arm, NumLockUpRepeat, NumLockUp}, 1, false},
                    RestoreCase{"OtherKeysWait", {Arm, OtherKeyUp}, 0, true},
                    RestoreCase{"LeavingForgets", {Arm, LeaveApp, NumLockUp}, 0, false},
                    RestoreCase{"StayingActiveKeeps", {Arm, ReturnToApp, NumLockUp}, 1, false}),
    tavrin::test::RowName);

}  // namespace
