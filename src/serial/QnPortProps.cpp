// Property setters of the serial-port component: each stores its value and,
// while the port is open, applies it to the dispatcher. Unchanged values are
// skipped unless the open is applying every setting.
#include "serial/QnPort.h"

#include <type_traits>

namespace {

constexpr int32_t BadArgument = -1002;
constexpr uint8_t HardwareFlowBits = QnHwUseDtr | QnHwUseRts | QnHwRequireDsr | QnHwRequireCts;
// Flow options that need RTS or CTS, which RS-485 direction control owns.
constexpr uint8_t RtsCtsFlow = QnHwUseRts | QnHwRequireCts;

// Stores value in field and runs apply; a throwing apply gets the old value back.
template <typename T, typename Apply>
void StoreOrRollBack(T& field, std::type_identity_t<T> value, Apply apply) {
    const T old = field;
    field = value;
    try {
        apply();
    } catch (...) {
        field = old;
        throw;
    }
}

}  // namespace

void TQnCustomComPort::SetComNumber(uint16_t value) {
    if (Unchanged(value == s_.ComNumber)) return;
    if (!Live()) {
        s_.ComNumber = value;
        return;
    }
    // Reopen on the new number with the same triggers, trace and log. The
    // close keeps the triggers in the saved set, which only a successful
    // open uses up, so a failed reopen leaves them for the next one.
    const uint8_t trace = s_.TraceState;
    const uint8_t log = s_.LogState;
    std::exception_ptr dumpFailure;
    try {
        ClosePort();
    } catch (...) {
        dumpFailure = std::current_exception();  // the port is closed all the same
    }
    s_.ComNumber = value;
    s_.TraceState = trace;
    s_.LogState = log;
    OpenPort();
    if (dumpFailure) std::rethrow_exception(dumpFailure);
}

void TQnCustomComPort::ApplyLine() {
    if (Live()) Check(dispatcher_->SetLine(s_.Baud, s_.Parity, s_.DataBits, s_.StopBits));
}

void TQnCustomComPort::SetBaud(uint32_t value) {
    if (Unchanged(value == s_.Baud)) return;
    StoreOrRollBack(s_.Baud, value, [this] { ApplyLine(); });
}

void TQnCustomComPort::SetParity(uint8_t value) {
    if (Unchanged(value == s_.Parity)) return;
    if (value > 4) RaisePortError(BadArgument);
    StoreOrRollBack(s_.Parity, value, [this] { ApplyLine(); });
}

void TQnCustomComPort::SetDataBits(uint8_t value) {
    if (Unchanged(value == s_.DataBits)) return;
    if (value < 5 || value > 8) RaisePortError(BadArgument);
    StoreOrRollBack(s_.DataBits, value, [this] { ApplyLine(); });
}

void TQnCustomComPort::SetStopBits(uint8_t value) {
    if (Unchanged(value == s_.StopBits)) return;
    if (value < 1 || value > 2) RaisePortError(BadArgument);
    StoreOrRollBack(s_.StopBits, value, [this] { ApplyLine(); });
}

void TQnCustomComPort::FitFlowLimits(double full, double resume) {
    const double size = s_.InBufferSize;
    if (s_.BufferFull == 0 || s_.BufferFull > s_.InBufferSize) s_.BufferFull = static_cast<uint16_t>(size * full);
    if (s_.BufferResume == 0 || s_.BufferResume > s_.BufferFull) s_.BufferResume = static_cast<uint16_t>(size * resume);
}

void TQnCustomComPort::SetHardwareFlow(uint8_t value) {
    value &= HardwareFlowBits;
    if (Unchanged(value == s_.HardwareFlow)) return;
    if (value != 0) FitFlowLimits(0.9, 0.1);
    if (Live()) Check(dispatcher_->SetHardwareFlow(s_.BufferFull, s_.BufferResume, value));
    s_.HardwareFlow = value;
    if (value & RtsCtsFlow) SetRs485Mode(false);
}

void TQnCustomComPort::SetSoftwareFlow(uint8_t value) {
    if (value > 3) RaisePortError(BadArgument);
    if (Unchanged(value == s_.SoftwareFlow)) return;
    if (value != 0) FitFlowLimits(0.75, 0.25);
    if (Live()) {
        static const uint32_t mapped[4] = {0, QnSwReceive, QnSwTransmit, QnSwReceive | QnSwTransmit};
        Check(value == 0 ? dispatcher_->ClearSoftwareFlow()
                         : dispatcher_->SetSoftwareFlow(s_.BufferFull, s_.BufferResume, mapped[value]));
    }
    s_.SoftwareFlow = value;
}

void TQnCustomComPort::SetXonChar(uint8_t value) {
    if (Unchanged(value == s_.XonChar)) return;
    s_.XonChar = value;
    if (Live()) Check(dispatcher_->SetFlowChars(s_.XonChar, s_.XoffChar));
}

void TQnCustomComPort::SetXoffChar(uint8_t value) {
    if (Unchanged(value == s_.XoffChar)) return;
    s_.XoffChar = value;
    if (Live()) Check(dispatcher_->SetFlowChars(s_.XonChar, s_.XoffChar));
}

// A line the device cannot drive (a pseudo-terminal has no modem lines, or
// flow control owns it) keeps its old value rather than failing the caller.
void TQnCustomComPort::SetDTR(bool value) {
    if (Unchanged(value == s_.DTR)) return;
    if (Live() && dispatcher_->SetDtr(value) != 0) return;
    s_.DTR = value;
}

void TQnCustomComPort::SetRTS(bool value) {
    if (Unchanged(value == s_.RTS)) return;
    if (Live() && dispatcher_->SetRts(value) != 0) return;
    s_.RTS = value;
}

void TQnCustomComPort::SetDataTriggerLength(uint16_t value) {
    if (Unchanged(value == s_.DataTriggerLength)) return;
    s_.DataTriggerLength = value;
    if (Live()) dispatcher_->SetDataTriggerLength(value);
}

void TQnCustomComPort::SetOptionBit4(bool value) {
    if (Unchanged(value == s_.OptionBit4)) return;
    s_.OptionBit4 = value;
    if (!Live()) return;
    if (value)
        dispatcher_->SetOptionBits(0x10);
    else
        dispatcher_->ClearOptionBits(0x10);
}

void TQnCustomComPort::SetRs485Mode(bool value) {
    if (Unchanged(value == s_.Rs485Mode)) return;
    s_.Rs485Mode = value;
    if (value) {
        SetHardwareFlow(s_.HardwareFlow & ~RtsCtsFlow);
        SetRTS(false);
    }
    if (Live()) dispatcher_->SetRS485Mode(value);
}

void TQnCustomComPort::SetThreadBoost(uint8_t value) {
    if (Unchanged(value == s_.ThreadBoost)) return;
    s_.ThreadBoost = value;
    if (Live()) dispatcher_->SetThreadBoost(value);
}
