#include "console/core/QnMisc.h"

#include <chrono>

uint32_t ComputePerformanceTicksPerMs(uint64_t ticksPerSecond) {
    if ((ticksPerSecond >> 32) != 0 || ticksPerSecond == 0) return 0;
    const uint32_t low = static_cast<uint32_t>(ticksPerSecond);
    uint32_t result = low / 1000;
    if (low % 1000 > 500) ++result;
    return result;
}

uint64_t PerformanceCounterFrequency() {
    using Period = std::chrono::steady_clock::period;
    // A clock slower than one tick per second cannot serve a millisecond clock.
    if (Period::num != 1) return 0;
    return static_cast<uint64_t>(Period::den);
}

uint64_t PerformanceCounterNow() {
    return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

const uint32_t PerformanceTicksPerMs = ComputePerformanceTicksPerMs(PerformanceCounterFrequency());
