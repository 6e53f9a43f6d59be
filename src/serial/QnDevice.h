#pragma once
// The device layer under a dispatcher: what the dispatcher asks of an open
// serial device. The termios device drives real ports and pseudo-terminals;
// tests add a scriptable fake for modem lines, BREAK and line errors, which
// pseudo-terminals lack.

#include <cstdint>
#include <initializer_list>

// Line settings, read back from the device before every change.
struct TQnLineState {
    uint32_t Baud = 0;
    uint32_t Flags = 0;  // QnFlow* bits
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;
    bool operator==(const TQnLineState&) const = default;
};

// Flag bits of TQnLineState.
inline constexpr uint32_t QnFlowOutCts = 0x4;
inline constexpr uint32_t QnFlowOutDsr = 0x8;
inline constexpr uint32_t QnDtrControlMask = 0x30;
inline constexpr uint32_t QnDtrEnable = 0x10;
inline constexpr uint32_t QnDtrHandshake = 0x20;
inline constexpr uint32_t QnFlowOutX = 0x100;  // the device obeys received XON/XOFF
inline constexpr uint32_t QnFlowInX = 0x200;   // the device sends XON/XOFF
inline constexpr uint32_t QnRtsControlMask = 0x3000;
inline constexpr uint32_t QnRtsEnable = 0x1000;
inline constexpr uint32_t QnRtsHandshake = 0x2000;
inline constexpr uint32_t QnRtsToggle = 0x3000;

// Line events reported by WaitLineEvent.
inline constexpr uint32_t QnEventRxChar = 0x1;
inline constexpr uint32_t QnEventCts = 0x8;
inline constexpr uint32_t QnEventDsr = 0x10;
inline constexpr uint32_t QnEventRlsd = 0x20;
inline constexpr uint32_t QnEventBreak = 0x40;
inline constexpr uint32_t QnEventError = 0x80;
inline constexpr uint32_t QnEventRing = 0x100;

// Line error bits.
inline constexpr uint32_t QnErrorRxOverflow = 0x1;
inline constexpr uint32_t QnErrorOverrun = 0x2;
inline constexpr uint32_t QnErrorParity = 0x4;
inline constexpr uint32_t QnErrorFraming = 0x8;
inline constexpr uint32_t QnErrorBreak = 0x10;

// Modem lines, the high nibble of the modem status byte.
inline constexpr uint8_t QnLineCts = 0x10;
inline constexpr uint8_t QnLineDsr = 0x20;
inline constexpr uint8_t QnLineRing = 0x40;
inline constexpr uint8_t QnLineDcd = 0x80;

// The events raised by the modem lines that changed (old ^ new).
constexpr uint32_t QnModemLineEvents(uint8_t changed) {
    return ((changed & QnLineCts) ? QnEventCts : 0) | ((changed & QnLineDsr) ? QnEventDsr : 0) |
           ((changed & QnLineDcd) ? QnEventRlsd : 0) | ((changed & QnLineRing) ? QnEventRing : 0);
}

// Escape functions.
enum class QnEscape : uint8_t { SetXoff = 1, SetXon, SetRts, ClrRts, SetDtr, ClrDtr, ResetDev, SetBreak, ClrBreak };

// Write result when one of the cancel descriptors became readable first.
inline constexpr int32_t QnWriteCancelled = -125;  // -ECANCELED

class IQnSerialDevice {
public:
    virtual ~IQnSerialDevice() = default;

    // 0, or minus the errno of the failing call.
    virtual int32_t ReadState(TQnLineState& state) = 0;
    virtual int32_t WriteState(const TQnLineState& state) = 0;

    // Bytes read, at most count; never waits. 0 when nothing is queued.
    virtual int32_t Read(uint8_t* bytes, uint32_t count) = 0;
    // Writes all bytes unless a cancel descriptor becomes readable first
    // (QnWriteCancelled) or the device fails (minus the errno); may return
    // fewer bytes than asked when the device takes part and then fails.
    virtual int32_t Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) = 0;
    // Received bytes waiting in the device.
    virtual uint32_t InputCount() = 0;
    // Line error bits latched since the last call.
    virtual uint32_t TakeLineErrors() = 0;
    // Current modem lines (QnLine* bits); 0 for a device without them.
    virtual uint8_t ModemLines() = 0;
    virtual int32_t Escape(QnEscape function) = 0;
    // Drops queued input, or queued output.
    virtual int32_t Purge(bool output) = 0;
    // A descriptor that polls readable while received bytes wait, so the
    // dispatch thread can wait for data itself; -1 when there is none.
    virtual int InputFd() = 0;
    // Waits up to timeoutMs for modem-line changes, line errors and BREAK
    // (QnEvent* bits; 0 when none came or stopFd became readable). Received
    // bytes are not reported here: InputFd serves them.
    virtual uint32_t WaitLineEvent(int stopFd, int timeoutMs) = 0;
    // Waits until the last written bit has left the device, or stopFd.
    virtual void WaitTransmitterEmpty(int stopFd) = 0;
};
