#include "net/ComRxOptions.h"

#include <asm/termbits.h>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<uint32_t, 18> BaudValues = {110,   300,   600,    1200,   2400,   4800,   9600,   14400,  19200,
                                                 38400, 57600, 115200, 128000, 172800, 230400, 256000, 460800, 921600};

constexpr uint32_t DtrShift = 4;
constexpr uint32_t RtsShift = 12;

bool Has(uint32_t flags, uint32_t bit) { return (flags & bit) != 0; }

void Put(uint32_t& flags, uint32_t bit, bool on) { flags = on ? flags | bit : flags & ~bit; }

}  // namespace

uint32_t ComBaudRateValue(TComBaudRate rate) { return BaudValues[std::min<size_t>(rate, BaudValues.size() - 1)]; }

// --- flow objects --------------------------------------------------------------

void TComSoftwareFlow::ReadFrom(const TComLineRecord& r) {
    FRxFlow = Has(r.Flags, ComFlag::InX);
    FTxFlow = Has(r.Flags, ComFlag::OutX);
    FXonChar = r.XonChar;
    FXoffChar = r.XoffChar;
    FTxAfterRxOff = Has(r.Flags, ComFlag::TxContinueOnXoff);
}

void TComSoftwareFlow::WriteTo(TComLineRecord& r) const {
    Put(r.Flags, ComFlag::InX, FRxFlow);
    Put(r.Flags, ComFlag::OutX, FTxFlow);
    r.XonChar = FXonChar;
    r.XoffChar = FXoffChar;
    Put(r.Flags, ComFlag::TxContinueOnXoff, FTxAfterRxOff);
}

void TComHardwareFlow::ReadFrom(const TComLineRecord& r) {
    FTxUseCtsFlow = Has(r.Flags, ComFlag::OutxCtsFlow);
    FTxUseDsrFlow = Has(r.Flags, ComFlag::OutxDsrFlow);
    FTxDsrSensitivity = Has(r.Flags, ComFlag::DsrSensitivity);
    const uint32_t dtr = (r.Flags & ComFlag::DtrControlMask) >> DtrShift;
    FTxDtrState = dtr <= Com_dtrHandshake ? static_cast<TComDtrState>(dtr) : Com_dtrDisabled;
    FRxRTSState = static_cast<TComRtsState>((r.Flags & ComFlag::RtsControlMask) >> RtsShift);
}

void TComHardwareFlow::WriteTo(TComLineRecord& r) const {
    Put(r.Flags, ComFlag::OutxCtsFlow, FTxUseCtsFlow);
    Put(r.Flags, ComFlag::OutxDsrFlow, FTxUseDsrFlow);
    Put(r.Flags, ComFlag::DsrSensitivity, FTxDsrSensitivity);
    r.Flags = (r.Flags & ~ComFlag::DtrControlMask) | (uint32_t{FTxDtrState} << DtrShift);
    r.Flags = (r.Flags & ~ComFlag::RtsControlMask) | (uint32_t{FRxRTSState} << RtsShift);
}

// --- options -------------------------------------------------------------------

TComOptions::TComOptions() {
    FSoftwareFlow.OnChanged = [this](TComSoftwareFlow& flow) { flow.WriteTo(FRecord); };
    FHardwareFlow.OnChanged = [this](TComHardwareFlow& flow) { flow.WriteTo(FRecord); };
}

TComBaudRate TComOptions::BaudRate() const {
    auto it = std::find(BaudValues.begin(), BaudValues.end(), FRecord.BaudRate);
    return it == BaudValues.end() ? Com_br1200 : static_cast<TComBaudRate>(it - BaudValues.begin());
}

void TComOptions::SetBaudRate(TComBaudRate value) { FRecord.BaudRate = ComBaudRateValue(value); }

TComParity TComOptions::Parity() const {
    if (!Has(FRecord.Flags, ComFlag::Parity)) return Com_pNone;
    switch (FRecord.Parity) {
        case 1:
            return Com_pOdd;
        case 2:
            return Com_pEven;
        case 3:
            return Com_pMark;
        default:
            return Com_pNone;
    }
}

void TComOptions::SetParity(TComParity value) {
    static constexpr uint8_t codes[] = {0, 2, 1, 3};
    SetFlag(ComFlag::Parity, value != Com_pNone);
    FRecord.Parity = codes[value & 3];
}

TComDataBits TComOptions::DataBits() const {
    switch (FRecord.ByteSize) {
        case 5:
            return Com_dbFive;
        case 7:
            return Com_dbSeven;
        default:
            return Com_dbEight;
    }
}

void TComOptions::SetDataBits(TComDataBits value) {
    static constexpr uint8_t sizes[] = {5, 7, 8};
    FRecord.ByteSize = sizes[std::min<unsigned>(value, 2)];
}

TComStopBits TComOptions::StopBits() const {
    return FRecord.StopBits <= 2 ? static_cast<TComStopBits>(FRecord.StopBits) : Com_sbOne;
}

void TComOptions::SetStopBits(TComStopBits value) { FRecord.StopBits = std::min<uint8_t>(value, 2); }

TComSoftwareFlow& TComOptions::SoftwareFlow() {
    FSoftwareFlow.ReadFrom(FRecord);
    return FSoftwareFlow;
}

TComHardwareFlow& TComOptions::HardwareFlow() {
    FHardwareFlow.ReadFrom(FRecord);
    return FHardwareFlow;
}

int32_t TComOptions::QueueSize(int32_t value) {
    const int32_t clamped = std::clamp<int32_t>(value, 256, 65536);
    return (clamped + 255) / 256 * 256;
}

void TComOptions::SetFlag(uint32_t flag, bool on) { Put(FRecord.Flags, flag, on); }

// --- kernel settings -----------------------------------------------------------

TComTermios ComOptionsToTermios(const TComLineRecord& r) {
    TComTermios t;
    // Breaks read as FF 00 00, bytes with line errors as FF 00 x, and a real
    // FF as FF FF; nothing else of the input is touched.
    t.c_iflag = PARMRK;
    if (Has(r.Flags, ComFlag::OutX)) t.c_iflag |= IXON;
    if (Has(r.Flags, ComFlag::InX)) t.c_iflag |= IXOFF;

    t.c_cflag = CREAD | CLOCAL | BOTHER;
    switch (r.ByteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
    }
    if (Has(r.Flags, ComFlag::Parity) && r.Parity >= 1 && r.Parity <= 3) {
        t.c_cflag |= PARENB;
        t.c_iflag |= INPCK;
        if (r.Parity == 1)
            t.c_cflag |= PARODD;
        else if (r.Parity == 3)
            t.c_cflag |= PARODD | CMSPAR;
    }
    if (r.StopBits == 1 || r.StopBits == 2) t.c_cflag |= CSTOPB;  // with five data bits the UART sends one and a half

    const uint32_t rts = (r.Flags & ComFlag::RtsControlMask) >> RtsShift;
    // The kernel couples CTS output flow and RTS input flow in one flag.
    if (Has(r.Flags, ComFlag::OutxCtsFlow) || rts == Com_rtsHandshake) t.c_cflag |= CRTSCTS;
    const uint32_t dtr = (r.Flags & ComFlag::DtrControlMask) >> DtrShift;
    t.RaiseDtr = dtr == Com_dtrEnabled || dtr == Com_dtrHandshake;
    t.RaiseRts = rts != Com_rtsDisabled;

    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = r.XonChar;
    t.c_cc[VSTOP] = r.XoffChar;
    t.c_ispeed = r.BaudRate;
    t.c_ospeed = r.BaudRate;
    return t;
}
