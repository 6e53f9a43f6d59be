// The serial-port component: life cycle, properties and trigger events.
#include "serial/QnPort.h"

#include <algorithm>
#include <cerrno>

#include "serial/QnComNames.h"
#include "serial/QnMessagePump.h"
#include "serial/QnSelCom.h"
#include "serial/QwWin32.h"

namespace {

constexpr int32_t NoPortSelected = -2011;
constexpr int32_t NotAdopted = -2012;
constexpr int32_t NoDeviceLayer = -3001;

// Open failures of the host in the component's terms.
int32_t OpenResult(int32_t result) {
    switch (-result) {
        case EACCES:
        case EBUSY:
            return -2008;
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTTY:
            return -2001;
        default:
            return result;
    }
}

}  // namespace

TQnCustomComPort::TQnCustomComPort(QObject* parent) : QObject(parent), prompt_(PromptForPortNumber) {}

TQnCustomComPort::~TQnCustomComPort() {
    destroying_ = true;
    if (open_ || dispatcher_) {
        try {
            ClosePort();
        } catch (...) {
            // A destructor must not throw; the port is closed all the same.
        }
    }
    FinishClose();
}

void TQnCustomComPort::Assign(const TQnCustomComPort& source) {
    s_ = source.s_;
    events_ = source.events_;
    factory_ = source.factory_;
    prompt_ = source.prompt_;
    users_ = source.users_;
    if (source.dispatcher_ && source.open_) {
        source.dispatcher_->SaveTriggers(saved_);
        savedValid_ = true;
    }
}

void TQnCustomComPort::Loaded() {
    loading_ = false;
    if (openPending_) {
        openPending_ = false;
        open_ = false;
        SetOpen(true);
    }
}

void TQnCustomComPort::SetEvents(TQnComPortEvents events) {
    events_ = std::move(events);
    UpdateHandlerFlags();
}

void TQnCustomComPort::SetOpen(bool value) {
    if (value == open_ && !(value && state_ == TQnPortState::Closing)) return;
    if (loading_) {
        openPending_ = value;
        return;
    }
    if (!value) {
        reopenPending_ = false;
        ClosePort();
    } else if (state_ == TQnPortState::Closing) {
        reopenPending_ = true;
    } else {
        OpenPort();
    }
}

void TQnCustomComPort::ValidateComNumber() {
    if (s_.ComNumber != 0) return;
    if (!s_.PromptForPort) RaisePortError(NoPortSelected);
    const int chosen = prompt_ ? prompt_() : 0;
    if (chosen <= 0 || chosen > 0xFFFF) RaisePortError(NoPortSelected);
    s_.ComNumber = static_cast<uint16_t>(chosen);
}

std::unique_ptr<TQnBaseDispatcher> TQnCustomComPort::ActivateDeviceLayer() {
    if (factory_) {
        auto dispatcher = factory_(*this);
        if (!dispatcher) RaisePortError(QnResultNotOpen);
        return dispatcher;
    }
    if (s_.DeviceLayer != 0) RaisePortError(NoDeviceLayer);
    if (s_.DispatcherKind == 2) {
        if (s_.AdoptedHandle == 0) Check(NotAdopted);
        return std::make_unique<TQnTAPI32Dispatcher>(this, s_.AdoptedHandle == 0 ? -1 : s_.AdoptedHandle);
    }
    return std::make_unique<TQnWin32Dispatcher>(this);
}

void TQnCustomComPort::OpenDevice() {
    uint32_t options = 0;
    if (s_.DTR) options |= QnOptionRaiseDtr;
    if (s_.RTS) options |= QnOptionRaiseRts;
    if (s_.HardwareFlow & QnHwUseDtr) options |= QnOptionDtrFlowOwned;
    if (s_.HardwareFlow & QnHwUseRts) options |= QnOptionRtsFlowOwned;
    const std::string path = s_.DispatcherKind == 2 ? std::string() : ComDevicePath(s_.ComNumber);
    const int32_t result = dispatcher_->InitPort(path, s_.Baud, s_.Parity, s_.DataBits, s_.StopBits, s_.InBufferSize,
                                                 s_.OutBufferSize, options);
    if (result != 0) Check(OpenResult(result));
}

// An adopted device keeps the settings its lender gave it: they become the
// port's own before the open, which then applies them unchanged. Nothing is
// taken unless everything could be read.
void TQnCustomComPort::ReadAdoptedSettings() {
    uint32_t baud = 0;
    uint16_t parity = 0;
    uint8_t dataBits = 0;
    uint8_t stopBits = 0;
    Check(dispatcher_->GetLine(baud, parity, dataBits, stopBits));
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
    Check(dispatcher_->GetFlowLimits(xonLim, xoffLim));
    uint32_t hardware = 0;
    uint32_t software = 0;
    uint8_t xon = 0;
    uint8_t xoff = 0;
    Check(dispatcher_->GetFlowOptions(hardware, software, xon, xoff));
    s_.Baud = baud;
    s_.Parity = static_cast<uint8_t>(parity);
    s_.DataBits = dataBits;
    s_.StopBits = stopBits;
    // The device counts the free bytes that stop the input where the port
    // counts held ones. A device without limits leaves both 0, so the flow
    // in use fills in its defaults.
    s_.BufferResume = xonLim;
    s_.BufferFull =
        xonLim == 0 && xoffLim == 0 ? 0 : static_cast<uint16_t>(s_.InBufferSize - std::min(xoffLim, s_.InBufferSize));
    s_.HardwareFlow = static_cast<uint8_t>(hardware);
    s_.SoftwareFlow = static_cast<uint8_t>(software == QnSwReceive ? 1 : software == QnSwTransmit ? 2 : software);
    s_.XonChar = xon;
    s_.XoffChar = xoff;
}

void TQnCustomComPort::OpenPort() {
    try {
        if (s_.DispatcherKind != 2) ValidateComNumber();
        dispatcher_ = ActivateDeviceLayer();
        dispatcher_->SetDeviceName(ComName(s_.ComNumber));
        if (s_.DispatcherKind == 2) ReadAdoptedSettings();
        OpenDevice();
        state_ = TQnPortState::Open;
        UpdateHandlerFlags();
        ApplyAllSettings();
        open_ = true;
        PortWindow(true);
        if (savedValid_) {
            dispatcher_->RestoreTriggers(saved_);
            savedValid_ = false;
        }
    } catch (...) {
        // Nothing of a failed open stays behind; saved triggers wait for
        // the next open.
        force_ = false;
        if (dispatcher_) dispatcher_->DonePort();  // no thread may still see the window
        PortWindow(false);
        dispatcher_.reset();
        state_ = TQnPortState::Closed;
        open_ = false;
        throw;
    }
    NotifyOpened();
}

void TQnCustomComPort::ApplyAllSettings() {
    force_ = true;
    const TQnComPortSettings wanted = s_;
    SetTraceState(wanted.TraceState);
    SetLogState(wanted.LogState);
    SetHardwareFlow(wanted.HardwareFlow);
    SetSoftwareFlow(wanted.SoftwareFlow);
    SetXonChar(wanted.XonChar);
    SetXoffChar(wanted.XoffChar);
    SetDataTriggerLength(wanted.DataTriggerLength);
    SetDTR(wanted.DTR);
    SetRTS(wanted.RTS);
    SetOptionBit4(wanted.OptionBit4);
    SetRs485Mode(wanted.Rs485Mode);
    SetThreadBoost(wanted.ThreadBoost);
    force_ = false;
}

void TQnCustomComPort::ClosePort() {
    if (!open_ && !dispatcher_) return;
    // A trace or log that cannot be written does not keep the port open:
    // the close completes and the failure is reported afterwards.
    std::exception_ptr dumpFailure;
    for (auto set : {&TQnCustomComPort::SetTraceState, &TQnCustomComPort::SetLogState}) {
        try {
            (this->*set)(QnLogDump);
        } catch (...) {
            if (!dumpFailure) dumpFailure = std::current_exception();
        }
    }
    state_ = TQnPortState::Closing;
    NotifyClosing();
    if (dispatcher_) {
        dispatcher_->SaveTriggers(saved_);
        savedValid_ = true;
        dispatcher_->DonePort();
    }
    if (dispatcher_ && dispatcher_->InDispatch() && window_ != nullptr) {
        window_->PostPortMessage(QnMsgPortClosing, 0, static_cast<uint32_t>(dispatcher_->HandleIndex()) << 16);
        ProcessOneMessage();
    } else {
        FinishClose();
    }
    NotifyClosed();
    if (dumpFailure) std::rethrow_exception(dumpFailure);
}

void TQnCustomComPort::FinishClose() {
    PortWindow(false);
    dispatcher_.reset();
    state_ = TQnPortState::Closed;
    open_ = false;
}

void TQnCustomComPort::PortWindow(bool create) {
    if (create) {
        if (window_ != nullptr) return;
        window_ = new TQnPortWindow([this](uint32_t msg, uint32_t w, uint32_t l) { WindowProc(msg, w, l); });
        dispatcher_->RegisterWindowHandler(window_);
        return;
    }
    if (window_ == nullptr) return;
    if (dispatcher_) dispatcher_->DeregisterWindowHandler(window_);
    // A window cannot be freed from inside its own event handler.
    if (inWindowProc_)
        window_->deleteLater();
    else
        delete window_;
    window_ = nullptr;
}

TQnBaseDispatcher* TQnCustomComPort::ValidDispatcher() {
    if (!dispatcher_ && !loading_ && !open_ && s_.AutoOpen) SetOpen(true);
    return dispatcher_.get();
}

TQnBaseDispatcher& TQnCustomComPort::RequireDispatcher() {
    TQnBaseDispatcher* dispatcher = ValidDispatcher();
    if (dispatcher == nullptr) RaisePortError(QnResultNotOpen);
    return *dispatcher;
}

void TQnCustomComPort::PutChar(uint8_t ch) {
    if (state_ == TQnPortState::Closing) return;
    Check(RequireDispatcher().PutChar(ch));
}

void TQnCustomComPort::PutString(const std::string& text) {
    if (state_ == TQnPortState::Closing) return;
    TQnBaseDispatcher& dispatcher = RequireDispatcher();
    Check(dispatcher.PutBlock(reinterpret_cast<const uint8_t*>(text.data()), static_cast<uint32_t>(text.size())));
}

int32_t TQnCustomComPort::GetLineError() {
    if (!open_ || !dispatcher_) return 0;
    return Check(dispatcher_->GetLineError());
}

bool TQnCustomComPort::CheckLineBreak() { return open_ && dispatcher_ && dispatcher_->CheckLineBreak(); }

void TQnCustomComPort::ProcessCommunications() {
    if (state_ == TQnPortState::Closing) return;
    Check(RequireDispatcher().YieldTime());
}
