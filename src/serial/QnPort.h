#pragma once
// The serial-port component: keeps the settings of one port as properties,
// opens the port through a dispatcher, applies every property change to the
// open device, turns the dispatcher's trigger messages into events through a
// hidden window on the GUI thread, and tells registered user windows when
// the port opens and closes. Every dispatcher result passes CheckPortResult,
// so failures arrive as exceptions of the EQnException family.
//
// The port is a QObject so that it can sit among the children of a window,
// where a terminal placed beside it finds it, and so that a terminal holding
// it hears when it goes away.

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/core/QnMisc.h"
#include "serial/QnExcept.h"
#include "serial/QnPortWindow.h"
#include "serial/QwUser.h"

class TQnCustomComPort;

// Trace and dispatch-log control.
enum TQnLogState : uint8_t { QnLogOff = 0, QnLogOn, QnLogDump, QnLogAppend, QnLogClear, QnLogPause };

struct TQnComPortSettings {
    uint16_t ComNumber = 0;
    uint32_t Baud = 19200;
    uint8_t Parity = 0;
    uint8_t DataBits = 8;
    uint8_t StopBits = 1;
    uint16_t InBufferSize = 4096;
    uint16_t OutBufferSize = 4096;
    bool AutoOpen = true;
    bool PromptForPort = true;
    bool DTR = true;
    bool RTS = true;
    uint8_t HardwareFlow = 0;  // QnHw* bits
    uint8_t SoftwareFlow = 0;  // 0 off, 1 receive, 2 transmit, 3 both
    uint16_t BufferFull = 0;
    uint16_t BufferResume = 0;
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;
    uint16_t DataTriggerLength = 1;
    bool OptionBit4 = true;
    bool Rs485Mode = false;
    uint8_t ThreadBoost = 0;
    uint8_t TraceState = QnLogOff;
    uint8_t LogState = QnLogOff;
    uint32_t TraceSize = 10000;
    uint32_t LogSize = 10000;
    std::string TraceFileName = "QUON.TRC";
    std::string LogFileName = "QUON.LOG";
    bool TraceHex = true;
    bool LogHex = true;
    bool TraceAllHex = false;
    bool LogAllHex = false;
    uint8_t DeviceLayer = 0;     // only 0, the termios layer, can be opened
    uint8_t DispatcherKind = 1;  // 2: adopt the descriptor AdoptedHandle
    uint16_t AdoptedHandle = 0;
};

struct TQnComPortEvents {
    std::function<void(TQnCustomComPort&, uint32_t msg, uint32_t handle, uint32_t data)> OnTrigger;
    std::function<void(TQnCustomComPort&, uint32_t count)> OnTriggerAvail;
    std::function<void(TQnCustomComPort&, uint32_t handle)> OnTriggerData;
    std::function<void(TQnCustomComPort&, uint32_t handle)> OnTriggerStatus;
    std::function<void(TQnCustomComPort&, uint32_t handle)> OnTriggerTimer;
    std::function<void(TQnCustomComPort&, int32_t error, bool lineBreak)> OnTriggerLineError;
    std::function<void(TQnCustomComPort&)> OnTriggerModemStatus;
    std::function<void(TQnCustomComPort&)> OnTriggerOutbuffFree;
    std::function<void(TQnCustomComPort&)> OnTriggerOutbuffUsed;
    std::function<void(TQnCustomComPort&)> OnTriggerOutSent;
    std::function<void(TQnCustomComPort&)> OnPortOpen;
    std::function<void(TQnCustomComPort&)> OnPortClose;
};

enum class TQnPortState { Closed, Closing, Open };

// Settings that take effect at the next open only.
#define QN_STORED_PROPERTY(type, name)    \
    type name() const { return s_.name; } \
    void Set##name(type value) { s_.name = value; }

class TQnCustomComPort : public QObject, public TQnBaseComponent, public IQnPortLoading {
    Q_OBJECT

public:
    using TDispatcherFactory = std::function<std::unique_ptr<TQnBaseDispatcher>(TQnCustomComPort&)>;
    // Asks the user for a port: the chosen number, or 0 for Cancel.
    using TPortPrompt = std::function<int()>;

    explicit TQnCustomComPort(QObject* parent = nullptr);
    ~TQnCustomComPort() override;

    // The terminal whose replies this port carries (nullptr: none). The
    // terminal sets and clears it; the port never touches it.
    QObject* Terminal() const { return terminal_.data(); }
    void SetTerminal(QObject* terminal) { terminal_ = terminal; }

    // Settings, user windows and events of source; its triggers when it is open.
    void Assign(const TQnCustomComPort& source);
    // Restoring from stored settings: an Open met meanwhile waits for Loaded.
    void BeginLoading() { loading_ = true; }
    void Loaded();
    bool ComponentLoading() const override { return loading_; }

    const TQnComPortSettings& Settings() const { return s_; }
    QN_STORED_PROPERTY(uint16_t, InBufferSize)
    QN_STORED_PROPERTY(uint16_t, OutBufferSize)
    QN_STORED_PROPERTY(bool, AutoOpen)
    QN_STORED_PROPERTY(bool, PromptForPort)
    QN_STORED_PROPERTY(uint16_t, BufferFull)
    QN_STORED_PROPERTY(uint16_t, BufferResume)
    QN_STORED_PROPERTY(uint32_t, TraceSize)
    QN_STORED_PROPERTY(uint32_t, LogSize)
    QN_STORED_PROPERTY(std::string, TraceFileName)
    QN_STORED_PROPERTY(std::string, LogFileName)
    QN_STORED_PROPERTY(bool, TraceHex)
    QN_STORED_PROPERTY(bool, LogHex)
    QN_STORED_PROPERTY(bool, TraceAllHex)
    QN_STORED_PROPERTY(bool, LogAllHex)
    QN_STORED_PROPERTY(uint8_t, DeviceLayer)
    QN_STORED_PROPERTY(uint8_t, DispatcherKind)
    QN_STORED_PROPERTY(uint16_t, AdoptedHandle)

    // Settings that also change an open port.
    void SetComNumber(uint16_t value);
    void SetBaud(uint32_t value);
    void SetParity(uint8_t value);
    void SetDataBits(uint8_t value);
    void SetStopBits(uint8_t value);
    void SetHardwareFlow(uint8_t value);
    void SetSoftwareFlow(uint8_t value);
    void SetXonChar(uint8_t value);
    void SetXoffChar(uint8_t value);
    void SetDTR(bool value);
    void SetRTS(bool value);
    void SetDataTriggerLength(uint16_t value);
    void SetOptionBit4(bool value);
    void SetRs485Mode(bool value);
    void SetThreadBoost(uint8_t value);
    void SetTraceState(uint8_t value);
    void SetLogState(uint8_t value);

    bool Open() const { return open_; }
    void SetOpen(bool value);
    TQnPortState PortState() const { return state_; }

    void SetDispatcherFactory(TDispatcherFactory factory) { factory_ = std::move(factory); }
    void SetPortPrompt(TPortPrompt prompt) { prompt_ = std::move(prompt); }
    const TQnComPortEvents& Events() const { return events_; }
    void SetEvents(TQnComPortEvents events);

    // The dispatcher of an open port; a closed one is opened first when
    // AutoOpen is on. Null when there is none.
    TQnBaseDispatcher* ValidDispatcher();
    // The same, raising ECommNotOpen (-2007) instead of returning null.
    TQnBaseDispatcher& RequireDispatcher();
    TQnBaseDispatcher* Dispatcher() const { return dispatcher_.get(); }

    void PutChar(uint8_t ch);
    void PutString(const std::string& text);
    int32_t GetLineError();
    bool CheckLineBreak();
    void ProcessCommunications();

    void InitTracing(uint32_t size = 0);
    void DumpTrace(const std::string& fileName, bool inHex);
    void AppendTrace(const std::string& fileName, bool inHex);
    void ClearTracing();
    void AbortTracing();
    void StartTracing();
    void StopTracing();
    void InitLogging(uint32_t size = 0);
    void DumpLog(const std::string& fileName, bool inHex);
    void AppendLog(const std::string& fileName, bool inHex);
    void ClearLogging();
    void AbortLogging();
    void StartLogging();
    void StopLogging();

    // User windows receive QnMsgPortOpened, QnMsgPortClosing and
    // QnMsgPortClosed as TQnPortMessage events on the GUI thread.
    void RegisterUserCallback(QObject* window);
    void DeregisterUserCallback(QObject* window);

    // What a trigger event handler raised on the GUI thread, kept because no
    // exception may leave a Qt event handler; cleared by taking it.
    std::exception_ptr TakeEventError();

protected:
    virtual std::unique_ptr<TQnBaseDispatcher> ActivateDeviceLayer();
    virtual void OpenDevice();
    virtual void PortWindow(bool create);
    virtual void ValidateComNumber();
    virtual void DoTrigger(uint32_t msg, uint32_t handle, uint32_t data);
    virtual void DoTriggerAvail(uint32_t count);
    virtual void DoTriggerData(uint32_t handle);
    virtual void DoTriggerStatus(uint32_t handle);
    virtual void DoTriggerTimer(uint32_t handle);
    virtual void UpdateHandlerFlags();
    virtual void DoTriggerLineError(int32_t error, bool lineBreak);
    virtual void DoTriggerModemStatus();
    virtual void DoTriggerOutbuffFree();
    virtual void DoTriggerOutbuffUsed();
    virtual void DoTriggerOutSent();
    virtual void ClosePort();
    virtual void OpenPort();
    virtual void NotifyOpened();
    virtual void NotifyClosing();
    virtual void NotifyClosed();

private:
    enum class Recorder { Trace, Log };
    int32_t Check(int32_t result) { return CheckPortResult(this, result); }
    bool Unchanged(bool same) const { return same && !force_; }
    // Open (or being opened) with a dispatcher: setters reach the device.
    bool Live() const { return state_ == TQnPortState::Open && dispatcher_ != nullptr; }
    void ReadAdoptedSettings();
    void ApplyAllSettings();
    void ApplyLine();
    void FitFlowLimits(double full, double resume);
    void FinishClose();
    void WindowProc(uint32_t msg, uint32_t wParam, uint32_t lParam);
    void NotifyUsers(uint32_t msg);
    // Trace and log (QnPortTrace.cpp).
    TQnBaseDispatcher& RecorderDispatcher();
    void SetRecorderState(Recorder which, uint8_t value);
    void StartRecorder(Recorder which, uint32_t size);
    void ResumeRecorder(Recorder which);
    void DumpRecorder(Recorder which, const std::string& fileName, bool inHex, bool append);

    TQnComPortSettings s_;
    TQnComPortEvents events_;
    TDispatcherFactory factory_;
    TPortPrompt prompt_;
    std::unique_ptr<TQnBaseDispatcher> dispatcher_;
    TQnPortState state_ = TQnPortState::Closed;
    bool open_ = false;
    bool force_ = false;
    bool loading_ = false;
    bool openPending_ = false;
    bool reopenPending_ = false;
    bool destroying_ = false;
    bool inWindowProc_ = false;
    TQnSavedTriggers saved_;
    bool savedValid_ = false;
    TQnPortWindow* window_ = nullptr;
    // Guarded: a user window that is deleted without deregistering (or that
    // came with Assign) is skipped, never called.
    std::vector<QPointer<QObject>> users_;
    QPointer<QObject> terminal_;
    std::exception_ptr eventError_;
};

#undef QN_STORED_PROPERTY

// The component as it is placed on a form.
class TQnComPort : public TQnCustomComPort {
    Q_OBJECT

public:
    using TQnCustomComPort::TQnCustomComPort;
};
