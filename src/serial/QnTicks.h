#pragma once
// The stack's clock and its 55 ms tick timers. The clock is 64-bit
// milliseconds on std::chrono::steady_clock, so it never wraps and a timer
// keeps working however long the program runs.

#include <cstdint>
#include <string>

// Milliseconds since an arbitrary fixed origin; never goes backwards.
uint64_t MillisecondClock();

inline constexpr int64_t TickMilliseconds = 55;
// Whole 55 ms ticks in 2^31 ms: the longest interval a timer holds.
inline constexpr int64_t MaxTimerTicks = 39045157;

struct TTickTimer {
    int64_t StartTicks = 0;
    int64_t ExpireTicks = 0;
};

// Starts the timer at the clock's current tick; negative ticks count as 0.
void StartTickTimer(TTickTimer& timer, int64_t ticks);
// True once a tick after the expiry tick has begun.
bool TickTimerExpired(const TTickTimer& timer);

// The same two at a given clock reading, so timing rules are checked
// without waiting.
void StartTickTimerAt(TTickTimer& timer, int64_t ticks, uint64_t nowMs);
bool TickTimerExpiredAt(const TTickTimer& timer, uint64_t nowMs);

// True when flags and mask share a bit.
inline bool TestFlags(uint32_t flags, uint32_t mask) { return (flags & mask) != 0; }

bool FileNameExists(const std::string& name);
