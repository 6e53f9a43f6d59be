#include "serial/QnTicks.h"

#include <algorithm>
#include <chrono>
#include <sys/stat.h>

uint64_t MillisecondClock() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void StartTickTimerAt(TTickTimer& timer, int64_t ticks, uint64_t nowMs) {
    timer.StartTicks = static_cast<int64_t>(nowMs / TickMilliseconds);
    timer.ExpireTicks = timer.StartTicks + std::clamp<int64_t>(ticks, 0, MaxTimerTicks);
}

bool TickTimerExpiredAt(const TTickTimer& timer, uint64_t nowMs) {
    return static_cast<int64_t>(nowMs / TickMilliseconds) > timer.ExpireTicks;
}

void StartTickTimer(TTickTimer& timer, int64_t ticks) { StartTickTimerAt(timer, ticks, MillisecondClock()); }

bool TickTimerExpired(const TTickTimer& timer) { return TickTimerExpiredAt(timer, MillisecondClock()); }

bool FileNameExists(const std::string& name) {
    struct stat info {};
    return ::stat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
