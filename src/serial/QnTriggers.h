#pragma once
// Trigger records and handler kinds of the dispatcher. A trigger turns what
// the dispatcher sees (received bytes, a pattern in them, line and output
// status, time) into a message, which the dispatcher delivers to every
// registered handler: windows, procedures and event handlers.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/core/PrivateMessages.h"
#include "serial/QnTicks.h"

// Status trigger kinds, carried in the low three bits of a status handle.
inline constexpr uint32_t QnStatusModem = 1;
inline constexpr uint32_t QnStatusLineError = 2;
inline constexpr uint32_t QnStatusOutFree = 3;
inline constexpr uint32_t QnStatusOutUsed = 4;
inline constexpr uint32_t QnStatusOutSent = 5;
inline uint32_t StatusTriggerKind(uint32_t handle) { return handle & 7; }

// How long a window handler may take to answer one message.
inline constexpr int WindowDeliveryTimeoutMs = 3000;

inline constexpr uint32_t DataTriggerCursors = 22;
inline constexpr int32_t DataTriggerTooLong = -5002;
inline constexpr int32_t BadTriggerHandle = -5003;

struct TQnStatusTrigger {
    uint32_t Handle = 0;
    uint32_t Kind = 0;
    uint16_t Value = 0;
    bool Armed = false;
    bool Fired = false;
};

struct TQnTimerTrigger {
    uint32_t Handle = 0;
    TTickTimer Timer;
    bool Active = false;
};

struct TQnDataTrigger {
    uint32_t Handle = 0;
    uint32_t Length = 0;
    uint32_t Cursors[DataTriggerCursors] = {};
    int32_t Matched = 0;
    uint32_t IgnoreCase = 0;
    uint8_t Pattern[24] = {};  // upper-cased when IgnoreCase
};

// Feeds one received byte to the record's match cursors; true when it
// completes the pattern. Overlapping matches are found: a cursor may start on
// the byte that another one is still matching.
bool MatchDataTrigger(TQnDataTrigger& trigger, uint8_t ch);

// The triggers of a dispatcher, kept across a close (each list absent when
// it was not saved).
struct TQnSavedTriggers {
    uint32_t AvailLength = 0;
    std::optional<std::vector<TQnTimerTrigger>> Timers;
    std::optional<std::vector<TQnDataTrigger>> Data;
    std::optional<std::vector<TQnStatusTrigger>> Status;
};

// A window that takes trigger messages. The dispatcher's thread calls
// SendMessageTimeout; the window answers on its own thread: false when it
// did not answer in time or is gone.
class IQnMessageWindow {
public:
    virtual ~IQnMessageWindow() = default;
    virtual uint32_t WindowHandle() const = 0;
    // cancelFd becomes readable when the dispatcher stops: the wait ends then.
    virtual bool SendMessageTimeout(uint32_t msg, uint32_t wParam, uint32_t lParam, int timeoutMs, int cancelFd) = 0;
};

using TQnTriggerProc = void (*)(uint32_t msg, uint32_t wParam, uint32_t lParam);
using TQnTriggerEvent = std::function<void(uint32_t msg, uint32_t wParam, uint32_t lParam)>;
// Identifies one registered event handler, so two handlers that call the same
// method are told apart.
using TQnHandlerToken = uint64_t;
