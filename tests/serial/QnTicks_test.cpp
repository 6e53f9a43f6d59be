// Tick timers at given clock readings, and one step of the Qt message pump.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include "serial/QnMessagePump.h"
#include "serial/QnTicks.h"

namespace {

struct TimerCase {
    const char* name;
    uint64_t startMs;
    int64_t ticks;
    uint64_t nowMs;
    bool expired;
};

class TickTimer : public ::testing::TestWithParam<TimerCase> {};

TEST_P(TickTimer, ExpiresOnceATickPastTheExpiryBegins) {
    TTickTimer timer;
    StartTickTimerAt(timer, GetParam().ticks, GetParam().startMs);
    EXPECT_EQ(TickTimerExpiredAt(timer, GetParam().nowMs), GetParam().expired);
}

constexpr uint64_t Day50 = 50ull * 24 * 3600 * 1000;  // past where a 32-bit clock wraps

INSTANTIATE_TEST_SUITE_P(Rules, TickTimer, ::testing::Values(
    TimerCase{"ZeroTicksSameTick", 110, 0, 164, false},
    TimerCase{"ZeroTicksNextTick", 110, 0, 165, true},
    TimerCase{"TwoTicksAtExpiryTick", 0, 2, 110, false},
    TimerCase{"TwoTicksPastExpiry", 0, 2, 165, true},
    TimerCase{"NegativeTicksCountAsZero", 0, -5, 54, false},
    TimerCase{"LongTimerCapped", 0, MaxTimerTicks + 100, (MaxTimerTicks + 1) * 55, true},
    TimerCase{"After50DaysNotYet", Day50, 36, Day50 + 36 * 55, false},
    TimerCase{"After50DaysExpired", Day50, 36, Day50 + 37 * 55, true},
    TimerCase{"PastFourGigaMs", (1ull << 32) - 10, 1, (1ull << 32) + 200, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TickTimer, RealClockTimerIsNotExpiredAtOnceWithManyTicks) {
    TTickTimer timer;
    StartTickTimer(timer, 1000);
    EXPECT_FALSE(TickTimerExpired(timer));
    EXPECT_GE(MillisecondClock() / TickMilliseconds, static_cast<uint64_t>(timer.StartTicks));
}

class CountingObject : public QObject {
public:
    int seen = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++seen;
            return true;
        }
        return QObject::event(e);
    }
};

TEST(ProcessOneMessage, DeliversPostedEventsAndReportsAnEmptyQueue) {
    int argc = 1;
    char name[] = "pump_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    CountingObject target;
    // Settle whatever start-up left in the queue.
    for (int i = 0; i < 100 && ProcessOneMessage(); ++i) {}

    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    EXPECT_TRUE(ProcessOneMessage());
    EXPECT_EQ(target.seen, 2);
    EXPECT_FALSE(ProcessOneMessage());
}

}  // namespace
