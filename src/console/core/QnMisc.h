#pragma once
// Common roots of the terminal and serial-port component family, and the
// resolution of the family's high-resolution millisecond clock.
//
// This header is Qt-free and sits at the bottom of the console core, so the
// serial stack's port component shares the root with the emulators. The two
// widget roots (windowed and graphic controls) are in console/QnMiscControls.h.

#include <cstdint>
#include <string>

// Version text that every component of the family reports.
inline constexpr const char* QnFamilyVersion = "v4.06";

// Root of the family's non-visual components (emulators, serial ports).
// Version is read-only in effect: the setter accepts any text and ignores it.
class TQnBaseComponent {
public:
    TQnBaseComponent() = default;
    virtual ~TQnBaseComponent() = default;
    TQnBaseComponent(const TQnBaseComponent&) = delete;
    TQnBaseComponent& operator=(const TQnBaseComponent&) = delete;

    std::string Version() const { return QnFamilyVersion; }
    void SetVersion(const std::string&) {}
};

// Ticks of the high-resolution clock in one millisecond, rounded to the
// nearest (a remainder of exactly 500 rounds down); 0 when the frequency does
// not fit 32 bits or is 0, meaning the clock is not to be used.
uint32_t ComputePerformanceTicksPerMs(uint64_t ticksPerSecond);

// Ticks per second of the clock the family uses (std::chrono::steady_clock).
uint64_t PerformanceCounterFrequency();

// Current count of that clock (ticks since an arbitrary epoch).
uint64_t PerformanceCounterNow();

// Worked out once at program start from PerformanceCounterFrequency();
// nothing changes it afterwards.
extern const uint32_t PerformanceTicksPerMs;
