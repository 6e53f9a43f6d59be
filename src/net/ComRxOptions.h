#pragma once
// Line settings of a host serial port. Every setting lives in one line record
// (TComLineRecord), the single source of truth; the property accessors read
// and write that record. ComOptionsToTermios turns the record into the kernel
// terminal settings that the device layer applies.

#include <cstdint>
#include <functional>

enum TComBaudRate : uint8_t {
    Com_br110,
    Com_br300,
    Com_br600,
    Com_br1200,
    Com_br2400,
    Com_br4800,
    Com_br9600,
    Com_br14400,
    Com_br19200,
    Com_br38400,
    Com_br57600,
    Com_br115200,
    Com_br128000,
    Com_br172800,
    Com_br230400,
    Com_br256000,
    Com_br460800,
    Com_br921600
};
enum TComParity : uint8_t { Com_pNone, Com_pEven, Com_pOdd, Com_pMark };
enum TComDataBits : uint8_t { Com_dbFive, Com_dbSeven, Com_dbEight };
enum TComStopBits : uint8_t { Com_sbOne, Com_sbOneAndHalf, Com_sbTwo };
enum TComDtrState : uint8_t { Com_dtrDisabled, Com_dtrEnabled, Com_dtrHandshake };
enum TComRtsState : uint8_t { Com_rtsDisabled, Com_rtsEnabled, Com_rtsHandshake, Com_rtsToggle };

// The speed in bits per second of a baud-rate ordinal.
uint32_t ComBaudRateValue(TComBaudRate rate);

// Bits of the record's flags word.
namespace ComFlag {
inline constexpr uint32_t Parity = 0x0002;  // parity checking on
inline constexpr uint32_t OutxCtsFlow = 0x0004;
inline constexpr uint32_t OutxDsrFlow = 0x0008;
inline constexpr uint32_t DtrControlMask = 0x0030;
inline constexpr uint32_t DsrSensitivity = 0x0040;
inline constexpr uint32_t TxContinueOnXoff = 0x0080;
inline constexpr uint32_t OutX = 0x0100;       // XON/XOFF on output
inline constexpr uint32_t InX = 0x0200;        // XON/XOFF on input
inline constexpr uint32_t ErrorChar = 0x0400;  // replace bytes with errors
inline constexpr uint32_t DiscardNull = 0x0800;
inline constexpr uint32_t RtsControlMask = 0x3000;
inline constexpr uint32_t AbortOnError = 0x4000;
}  // namespace ComFlag

inline constexpr uint8_t ComXonDefault = 0x11;
inline constexpr uint8_t ComXoffDefault = 0x13;

struct TComLineRecord {
    uint32_t BaudRate = 0;  // 0: the device keeps its current speed
    uint32_t Flags = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark
    uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
    uint8_t XonChar = ComXonDefault;
    uint8_t XoffChar = ComXoffDefault;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
};

// A group of settings whose setters notify OnChanged only when the value
// actually changes; Owner is the deriving class, passed as the sender.
template <typename Owner>
class TComNotifyingSettings {
public:
    std::function<void(Owner& sender)> OnChanged;

protected:
    template <typename T>
    void Assign(T& field, T value) {
        if (field == value) return;
        field = value;
        if (OnChanged) OnChanged(static_cast<Owner&>(*this));
    }
};

// XON/XOFF flow control.
class TComSoftwareFlow : public TComNotifyingSettings<TComSoftwareFlow> {
public:
    bool RxFlow() const { return FRxFlow; }
    bool TxFlow() const { return FTxFlow; }
    uint8_t XonChar() const { return FXonChar; }
    uint8_t XoffChar() const { return FXoffChar; }
    bool TxAfterRxOff() const { return FTxAfterRxOff; }
    void SetRxFlow(bool value) { Assign(FRxFlow, value); }
    void SetTxFlow(bool value) { Assign(FTxFlow, value); }
    void SetXonChar(uint8_t value) { Assign(FXonChar, value); }
    void SetXoffChar(uint8_t value) { Assign(FXoffChar, value); }
    void SetTxAfterRxOff(bool value) { Assign(FTxAfterRxOff, value); }

    void ReadFrom(const TComLineRecord& record);
    void WriteTo(TComLineRecord& record) const;

private:
    bool FRxFlow = false;
    bool FTxFlow = false;
    uint8_t FXonChar = ComXonDefault;
    uint8_t FXoffChar = ComXoffDefault;
    bool FTxAfterRxOff = false;
};

// Modem-line flow control.
class TComHardwareFlow : public TComNotifyingSettings<TComHardwareFlow> {
public:
    bool TxUseCtsFlow() const { return FTxUseCtsFlow; }
    bool TxUseDsrFlow() const { return FTxUseDsrFlow; }
    bool TxDsrSensitivity() const { return FTxDsrSensitivity; }
    TComDtrState TxDtrState() const { return FTxDtrState; }
    TComRtsState RxRTSState() const { return FRxRTSState; }
    void SetTxUseCtsFlow(bool value) { Assign(FTxUseCtsFlow, value); }
    void SetTxUseDsrFlow(bool value) { Assign(FTxUseDsrFlow, value); }
    void SetTxDsrSensitivity(bool value) { Assign(FTxDsrSensitivity, value); }
    void SetTxDtrState(TComDtrState value) { Assign(FTxDtrState, value); }
    void SetRxRTSState(TComRtsState value) { Assign(FRxRTSState, value); }

    void ReadFrom(const TComLineRecord& record);
    void WriteTo(TComLineRecord& record) const;

private:
    bool FTxUseCtsFlow = false;
    bool FTxUseDsrFlow = false;
    bool FTxDsrSensitivity = false;
    TComDtrState FTxDtrState = Com_dtrDisabled;
    TComRtsState FRxRTSState = Com_rtsDisabled;
};

class TComOptions {
public:
    TComOptions();
    TComOptions(const TComOptions&) = delete;
    TComOptions& operator=(const TComOptions&) = delete;

    const TComLineRecord& Record() const { return FRecord; }

    TComBaudRate BaudRate() const;
    void SetBaudRate(TComBaudRate value);
    TComParity Parity() const;
    void SetParity(TComParity value);
    TComDataBits DataBits() const;
    void SetDataBits(TComDataBits value);
    TComStopBits StopBits() const;
    void SetStopBits(TComStopBits value);

    // Refreshed from the record on every call; changes write straight back.
    TComSoftwareFlow& SoftwareFlow();
    TComHardwareFlow& HardwareFlow();

    bool PassNulls() const { return !(FRecord.Flags & ComFlag::DiscardNull); }
    void SetPassNulls(bool value) { SetFlag(ComFlag::DiscardNull, !value); }
    bool ReplaceOnError() const { return FRecord.Flags & ComFlag::ErrorChar; }
    void SetReplaceOnError(bool value) { SetFlag(ComFlag::ErrorChar, value); }
    bool AbortOnError() const { return FRecord.Flags & ComFlag::AbortOnError; }
    void SetAbortOnError(bool value) { SetFlag(ComFlag::AbortOnError, value); }
    uint8_t ErrorChar() const { return FRecord.ErrorChar; }
    void SetErrorChar(uint8_t value) { FRecord.ErrorChar = value; }
    uint8_t EofChar() const { return FRecord.EofChar; }
    void SetEofChar(uint8_t value) { FRecord.EofChar = value; }
    uint8_t EventChar() const { return FRecord.EvtChar; }
    void SetEventChar(uint8_t value) { FRecord.EvtChar = value; }

    // Driver queue sizes: clamped to 256..65536, rounded up to 256.
    int32_t InQueueSize() const { return FInQueueSize; }
    void SetInQueueSize(int32_t value) { FInQueueSize = QueueSize(value); }
    int32_t OutQueueSize() const { return FOutQueueSize; }
    void SetOutQueueSize(int32_t value) { FOutQueueSize = QueueSize(value); }

private:
    static int32_t QueueSize(int32_t value);
    void SetFlag(uint32_t flag, bool on);

    TComLineRecord FRecord;
    TComSoftwareFlow FSoftwareFlow;
    TComHardwareFlow FHardwareFlow;
    int32_t FInQueueSize = 2048;
    int32_t FOutQueueSize = 1024;
};

// The kernel's terminal settings (the termios2 layout) plus the modem
// outputs to raise. Speeds of 0 keep the device's current speed.
struct TComTermios {
    uint32_t c_iflag = 0;
    uint32_t c_oflag = 0;
    uint32_t c_cflag = 0;
    uint32_t c_lflag = 0;
    uint8_t c_line = 0;
    uint8_t c_cc[19] = {};
    uint32_t c_ispeed = 0;
    uint32_t c_ospeed = 0;
    bool RaiseDtr = false;
    bool RaiseRts = false;
};

// Raw 8-bit transfer with breaks and line errors marked in the input
// (PARMRK), the record's format, flow control and speed.
TComTermios ComOptionsToTermios(const TComLineRecord& record);
