// The dispatcher's life cycle, line settings and flow control.
#include "serial/QwUser.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <thread>

#include "serial/QnTicks.h"
#include "serial/QwPortList.h"

namespace {

constexpr int32_t BadArgument = -1002;
constexpr int32_t AlreadyOpen = -2008;
constexpr uint8_t KeepParity = 5;
constexpr uint8_t KeepDataBits = 9;
constexpr uint8_t KeepStopBits = 3;
constexpr uint32_t MaxQueueSize = 1u << 24;

// Rates given as the host's rate indexes, as stored by older settings.
uint32_t BaudRateFromIndex(uint32_t value) {
    static const uint32_t rates[24] = {110, 300, 600, 1200,  2400, 4800, 9600, 14400,  19200, 0, 0, 38400,
                                       0,   0,   0,   56000, 0,    0,    0,    128000, 0,     0, 0, 256000};
    if (value == 0xFEFF) return 115200;
    if (value >= 0xFF10 && value <= 0xFF27 && rates[value - 0xFF10] != 0) return rates[value - 0xFF10];
    return value;
}

}  // namespace

TQnBaseDispatcher::TQnBaseDispatcher(void* owner) : owner_(owner), handleIndex_(AddToPortList(this)) {}

TQnBaseDispatcher::~TQnBaseDispatcher() {
    try {
        DonePort();
    } catch (...) {
        // Closing is best effort here: a destructor must not throw.
    }
    RemoveFromPortList(handleIndex_);
}

bool TQnBaseDispatcher::IsOpen() const { return open_.load(); }

void TQnBaseDispatcher::SetDeviceName(const std::string& name) { log_.SetDeviceName(name); }

int32_t TQnBaseDispatcher::InitPort(const std::string& name, uint32_t baud, uint8_t parity, uint8_t dataBits,
                                    uint8_t stopBits, uint32_t inSize, uint32_t outSize, uint32_t options) {
    if (IsOpen()) return AlreadyOpen;
    if (outSize == 0 || outSize > MaxQueueSize || inSize > MaxQueueSize) return BadArgument;
    {
        // A dispatch thread that closed the port itself has ended; join it.
        std::lock_guard close(closeLock_);
        StopDispatcher();
    }

    try {
        events_ = std::make_unique<Events>();
    } catch (const std::system_error& error) {
        return -error.code().value();
    }
    int32_t result = 0;
    std::unique_ptr<IQnSerialDevice> device = OpenCom(name, result);
    if (device == nullptr) {
        events_.reset();
        return result < 0 ? result : -EIO;
    }
    {
        std::lock_guard ring(ringLock_);
        std::lock_guard output(outputLock_);
        std::lock_guard data(dataLock_);
        device_ = std::move(device);
        open_ = true;
        ring_.assign(DispatchRingSize, 0);
        ringHead_ = ringTail_ = 0;
        ringFull_ = false;
        // A handler that raised left its delivery unfinished.
        peekMode_ = false;
        peekCount_ = peekStart_ = maxConsumed_ = 0;
        inDispatch_ = false;
        outBuffer_.assign(outSize, 0);
        outHead_ = outTail_ = 0;
        outFull_ = false;
        inSize_ = inSize;
        outSize_ = outSize;
        lineErrors_ = 0;
        outputSent_ = false;
        rs485Mode_ = false;
        eventMask_ = 0;
        dtrFlowOwned_ = (options & QnOptionDtrFlowOwned) != 0;
        rtsFlowOwned_ = (options & QnOptionRtsFlowOwned) != 0;
    }
    dataAvailable_.Reset();
    ClearTriggers();
    scanPos_ = 0;
    scanCaughtUp_ = true;
    lastAvailPos_ = UINT32_MAX;
    closePending_ = false;
    if (!dtrFlowOwned_) SetDtr(options & QnOptionRaiseDtr);
    if (!rtsFlowOwned_) SetRts(options & QnOptionRaiseRts);
    modemStatus_ = 0;
    GetModemStatus();
    currentBaud_ = 115200;

    result = SetLine(baud, parity, dataBits, stopBits);
    if (result != 0) {
        DonePort();
        return result;
    }
    RefreshLineErrors();
    trace_.AbortTracing();
    log_.AbortDispatchLog();
    log_.SetStartTime(MillisecondClock());
    try {
        StartDispatcher();
    } catch (const std::system_error& error) {
        DonePort();
        return error.code().value() > 0 ? -error.code().value() : -EAGAIN;
    }
    return 0;
}

void TQnBaseDispatcher::DonePort() {
    if (std::this_thread::get_id() == dispThreadId_.load()) {
        // Called by a handler in the dispatch thread, which cannot join
        // itself: the delivery stops and the thread, as it ends, stops the
        // other two and closes the device (FinishPendingClose).
        if (!IsOpen()) return;
        FlushOutBuffer();
        FlushInBuffer();
        closePending_ = true;
        return;
    }
    // Waits for a close the dispatch thread is making; whoever holds the
    // lock while the port is open closes it.
    std::lock_guard close(closeLock_);
    if (IsOpen()) {
        FlushOutBuffer();
        FlushInBuffer();
    }
    StopDispatcher();  // also joins a dispatch thread that closed the port itself
    CloseDevice();
    events_.reset();
}

void TQnBaseDispatcher::CloseDevice() {
    std::lock_guard ring(ringLock_);
    std::lock_guard output(outputLock_);
    std::lock_guard data(dataLock_);
    open_ = false;
    device_.reset();
    std::vector<uint8_t>().swap(ring_);
    std::vector<uint8_t>().swap(outBuffer_);
    ringHead_ = ringTail_ = outHead_ = outTail_ = 0;
    ringFull_ = outFull_ = false;
}

int32_t TQnBaseDispatcher::SetLine(uint32_t baud, uint8_t parity, uint8_t dataBits, uint8_t stopBits) {
    if (!IsOpen()) return QnResultNotOpen;
    if (parity > KeepParity || dataBits < 5 || dataBits > KeepDataBits) return BadArgument;
    if (stopBits == 0)
        stopBits = 1;
    else if (stopBits > KeepStopBits)
        stopBits = 2;

    TQnLineState wanted;
    {
        std::lock_guard data(dataLock_);
        if (!IsOpen()) return QnResultNotOpen;
        if (const int32_t failed = device_->ReadState(wanted)) return failed;
        const TQnLineState current = wanted;
        if (baud != 0) wanted.Baud = baud;
        if (parity != KeepParity) wanted.Parity = parity;
        if (dataBits != KeepDataBits) wanted.ByteSize = dataBits;
        if (dataBits == 5) wanted.StopBits = 1;
        if (stopBits != KeepStopBits) wanted.StopBits = stopBits == 1 ? 0 : (wanted.ByteSize == 5 ? 1 : 2);
        if (wanted.Baud == current.Baud && wanted.Parity == current.Parity && wanted.ByteSize == current.ByteSize &&
            wanted.StopBits == current.StopBits)
            return 0;
    }
    WaitForOutputDrain();
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    TQnLineState state;
    if (const int32_t failed = device_->ReadState(state)) return failed;
    state.Baud = wanted.Baud;
    state.Parity = wanted.Parity;
    state.ByteSize = wanted.ByteSize;
    state.StopBits = wanted.StopBits;
    return ApplyDeviceState(state);
}

int32_t TQnBaseDispatcher::ReadLentState(TQnLineState&) { return QnResultNotOpen; }

int32_t TQnBaseDispatcher::ReadLineState(TQnLineState& state) {
    std::lock_guard data(dataLock_);
    return IsOpen() ? device_->ReadState(state) : ReadLentState(state);
}

int32_t TQnBaseDispatcher::GetLine(uint32_t& baud, uint16_t& parity, uint8_t& dataBits, uint8_t& stopBits) {
    TQnLineState state;
    if (const int32_t failed = ReadLineState(state)) return failed;
    baud = BaudRateFromIndex(state.Baud);
    parity = state.Parity;
    dataBits = state.ByteSize;
    stopBits = state.StopBits == 0 ? 1 : 2;
    return 0;
}

void TQnBaseDispatcher::WaitForOutputDrain() {
    for (int i = 0; i < 5000 && OutBuffUsed() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    TQnLineState state;
    uint32_t rate;
    {
        std::lock_guard data(dataLock_);
        if (!IsOpen() || device_->ReadState(state) != 0) return;
        rate = BaudRateFromIndex(currentBaud_);
    }
    if (rate == 0) return;
    // Let the device's own queue empty too: 18 character times.
    const uint64_t bits = state.ByteSize + 2u + (state.Parity != 0) + (state.StopBits != 0);
    uint64_t wait = (10000000ull / rate) * bits * 18;  // 100 ns units
    if (wait < 10000) wait *= 2;
    std::this_thread::sleep_for(std::chrono::microseconds((wait + 9) / 10));
}

int32_t TQnBaseDispatcher::ApplyDeviceState(TQnLineState state) {
    std::lock_guard data(dataLock_);
    if (!dtrFlowOwned_) {
        state.Flags &= ~QnDtrControlMask;
        if (dtrState_) state.Flags |= QnDtrEnable;
    }
    if (!rtsFlowOwned_) {
        state.Flags &= ~QnRtsControlMask;
        if (rtsState_) state.Flags |= QnRtsEnable;
    }
    const int32_t result = device_->WriteState(state);
    if (result == 0) currentBaud_ = state.Baud;
    // No host device drops DTR as its input fills, so a DTR handshake holds
    // the line raised: ready to receive. The level set by hand comes back
    // when the handshake ends.
    if (dtrFlowOwned_)
        device_->Escape(QnEscape::SetDtr);
    else
        SetDtr(dtrState_);
    if (!rs485Mode_) SetRts(rtsState_);
    return result;
}

int32_t TQnBaseDispatcher::DoEscape(QnEscape function) {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    return device_->Escape(function);
}

int32_t TQnBaseDispatcher::SetModemOutput(bool on, bool flowOwned, QnEscape raise, QnEscape lower, bool& state) {
    if (flowOwned) return 1;
    const int32_t result = DoEscape(on ? raise : lower);
    state = on;
    return result < 0 ? BadArgument : result;
}

int32_t TQnBaseDispatcher::SetDtr(bool on) {
    std::lock_guard data(dataLock_);
    return SetModemOutput(on, dtrFlowOwned_, QnEscape::SetDtr, QnEscape::ClrDtr, dtrState_);
}

int32_t TQnBaseDispatcher::SetRts(bool on) {
    std::lock_guard data(dataLock_);
    return SetModemOutput(on, rtsFlowOwned_, QnEscape::SetRts, QnEscape::ClrRts, rtsState_);
}

int32_t TQnBaseDispatcher::SetHardwareFlow(uint32_t full, uint32_t resume, uint32_t options) {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    if (full < resume || full > inSize_ || full > 0xFFFF) return BadArgument;
    TQnLineState state;
    if (const int32_t failed = device_->ReadState(state)) return failed;
    state.Flags &= ~(QnFlowOutCts | QnFlowOutDsr | QnDtrControlMask | QnRtsControlMask);
    dtrFlowOwned_ = rtsFlowOwned_ = false;
    if (options & QnHwUseDtr) {
        state.Flags |= QnDtrHandshake;
        dtrFlowOwned_ = true;
    } else if (dtrState_) {
        state.Flags |= QnDtrEnable;
    }
    if (options & QnHwUseRts) {
        state.Flags |= QnRtsHandshake;
        rtsFlowOwned_ = true;
    } else if (rtsState_) {
        state.Flags |= QnRtsEnable;
    }
    state.XoffLim = static_cast<uint16_t>(std::min<uint32_t>(inSize_ - full, 0xFFFF));
    state.XonLim = static_cast<uint16_t>(resume);
    if (options & QnHwRequireDsr) state.Flags |= QnFlowOutDsr;
    if (options & QnHwRequireCts) state.Flags |= QnFlowOutCts;
    return ApplyDeviceState(state);
}

int32_t TQnBaseDispatcher::SetSoftwareFlow(uint32_t full, uint32_t resume, uint32_t options) {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    if (full < resume || full > inSize_ || full > 0xFFFF) return BadArgument;
    TQnLineState state;
    if (const int32_t failed = device_->ReadState(state)) return failed;
    if (options & QnSwReceive) {
        state.Flags |= QnFlowInX;
        state.XoffLim = static_cast<uint16_t>(std::min<uint32_t>(inSize_ - full, 0xFFFF));
        state.XonLim = static_cast<uint16_t>(resume);
    }
    if (options & QnSwTransmit) state.Flags |= QnFlowOutX;
    if (options & (QnSwReceive | QnSwTransmit)) {
        state.XonChar = 17;
        state.XoffChar = 19;
    }
    return ApplyDeviceState(state);
}

int32_t TQnBaseDispatcher::ClearSoftwareFlow() {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    TQnLineState state;
    if (const int32_t failed = device_->ReadState(state)) return failed;
    state.Flags &= ~(QnFlowInX | QnFlowOutX);
    return ApplyDeviceState(state);
}

int32_t TQnBaseDispatcher::SetFlowChars(uint8_t xon, uint8_t xoff) {
    std::lock_guard data(dataLock_);
    if (!IsOpen()) return QnResultNotOpen;
    TQnLineState state;
    if (const int32_t failed = device_->ReadState(state)) return failed;
    state.XonChar = xon;
    state.XoffChar = xoff;
    return ApplyDeviceState(state);
}

int32_t TQnBaseDispatcher::GetFlowOptions(uint32_t& hardware, uint32_t& software, uint8_t& xon, uint8_t& xoff) {
    TQnLineState state;
    const int32_t result = ReadLineState(state);
    if (result == QnResultNotOpen) return result;
    hardware = 0;
    if ((state.Flags & QnDtrControlMask) == QnDtrHandshake) hardware |= QnHwUseDtr;
    if ((state.Flags & QnRtsControlMask) == QnRtsHandshake) hardware |= QnHwUseRts;
    if (state.Flags & QnFlowOutDsr) hardware |= QnHwRequireDsr;
    if (state.Flags & QnFlowOutCts) hardware |= QnHwRequireCts;
    software = 0;
    if (state.Flags & QnFlowOutX) software |= QnSwTransmit;
    if (state.Flags & QnFlowInX) software |= QnSwReceive;
    xon = state.XonChar;
    xoff = state.XoffChar;
    return result;
}

int32_t TQnBaseDispatcher::GetFlowLimits(uint16_t& xonLim, uint16_t& xoffLim) {
    TQnLineState state;
    if (const int32_t failed = ReadLineState(state)) return failed;
    xonLim = state.XonLim;
    xoffLim = state.XoffLim;
    return 0;
}

void TQnBaseDispatcher::SetOptionBits(uint32_t bits) {
    std::lock_guard data(dataLock_);
    optionWord_ |= bits;
}

void TQnBaseDispatcher::ClearOptionBits(uint32_t bits) {
    std::lock_guard data(dataLock_);
    optionWord_ &= ~bits;
}

uint32_t TQnBaseDispatcher::OptionWord() {
    std::lock_guard data(dataLock_);
    return optionWord_;
}

void TQnBaseDispatcher::SetRS485Mode(bool on) {
    std::lock_guard data(dataLock_);
    rs485Mode_ = on;
}

void TQnBaseDispatcher::SetThreadBoost(uint8_t boost) {
    std::lock_guard data(dataLock_);
    threadBoost_ = boost;
}

uint8_t TQnBaseDispatcher::ThreadBoost() {
    std::lock_guard data(dataLock_);
    return threadBoost_;
}

int32_t TQnBaseDispatcher::YieldTime() {
    std::this_thread::yield();
    return 0;
}
