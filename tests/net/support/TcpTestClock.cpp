#include "support/TcpTestClock.h"

namespace tavrin::test {

using namespace std::chrono_literals;

TTcpNow TTestClock::Source() {
    return [this] {
        std::unique_lock lock(FLock);
        if (FHolding) {
            FHeld = true;
            const uint64_t step = FSteps;
            FChanged.notify_all();
            // Bounded, so a test that fails before letting go cannot hang.
            FChanged.wait_for(lock, 30s, [&] { return !FHolding || FSteps != step; });
        }
        return TTcpClock::time_point{} + TTcpClock::duration(FTicks.load());
    };
}

void TTestClock::HoldNext() {
    std::lock_guard lock(FLock);
    FHolding = true;
    FHeld = false;
}

bool TTestClock::WaitHeld() {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, 10s, [this] { return FHeld; });
}

void TTestClock::Step() {
    std::lock_guard lock(FLock);
    FHeld = false;
    ++FSteps;
    FChanged.notify_all();
}

void TTestClock::Release() {
    std::lock_guard lock(FLock);
    FHolding = false;
    FChanged.notify_all();
}

}  // namespace tavrin::test
