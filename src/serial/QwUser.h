#pragma once
// The dispatcher: the device layer under the serial-port component. One
// dispatcher drives one open device: it opens it, sets line parameters and
// flow control, keeps an 8192-byte ring of received bytes and a ring of
// queued output, records a byte trace and a dispatch log, and runs three
// worker threads: the comm thread waits for line events, the dispatch thread
// moves received bytes into the ring, the output thread writes queued output.
//
// Received bytes, line and output status and time fire triggers, whose
// messages the dispatch thread delivers to every registered handler (see
// QnTriggers.h).
//
// Results are Int32 codes: 0 or a positive count on success, a negative
// message-table code or minus an errno on failure (see QnExcept.h).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/QnDevice.h"
#include "serial/QnDispatchLog.h"
#include "serial/QnEvent.h"
#include "serial/QnTrace.h"
#include "serial/QnTriggers.h"

// The result of any call on a dispatcher whose device is not open.
inline constexpr int32_t QnResultNotOpen = -2007;

inline constexpr uint32_t DispatchRingSize = 8192;

// InitPort options.
inline constexpr uint32_t QnOptionRaiseDtr = 0x1;
inline constexpr uint32_t QnOptionRaiseRts = 0x2;
inline constexpr uint32_t QnOptionDtrFlowOwned = 0x10;
inline constexpr uint32_t QnOptionRtsFlowOwned = 0x20;
// Hardware flow options.
inline constexpr uint32_t QnHwUseDtr = 0x1;
inline constexpr uint32_t QnHwUseRts = 0x2;
inline constexpr uint32_t QnHwRequireDsr = 0x4;
inline constexpr uint32_t QnHwRequireCts = 0x8;
// Software flow options.
inline constexpr uint32_t QnSwTransmit = 0x1;  // the device obeys received XON/XOFF
inline constexpr uint32_t QnSwReceive = 0x2;   // the device sends XON/XOFF

class TQnBaseDispatcher {
public:
    explicit TQnBaseDispatcher(void* owner = nullptr);
    virtual ~TQnBaseDispatcher();
    TQnBaseDispatcher(const TQnBaseDispatcher&) = delete;
    TQnBaseDispatcher& operator=(const TQnBaseDispatcher&) = delete;

    void* Owner() const { return owner_; }
    int32_t HandleIndex() const { return handleIndex_; }

    // Opens and prepares the device and starts the threads. Refused with
    // -2008 while open; on any failure everything made so far is undone and
    // the dispatcher can be opened again.
    int32_t InitPort(const std::string& name, uint32_t baud, uint8_t parity, uint8_t dataBits, uint8_t stopBits,
                     uint32_t inSize, uint32_t outSize, uint32_t options);
    // Flushes both directions, stops and joins the threads, closes the device.
    // Called by a handler (on the dispatch thread), it flushes and ends the
    // delivery; the dispatch thread then closes the port as it ends, and the
    // next DonePort, InitPort or the destructor joins it.
    void DonePort();
    bool IsOpen() const;

    // Parity 5, data bits 9, stop bits 3 and baud 0 keep the current value.
    int32_t SetLine(uint32_t baud, uint8_t parity, uint8_t dataBits, uint8_t stopBits);
    int32_t GetLine(uint32_t& baud, uint16_t& parity, uint8_t& dataBits, uint8_t& stopBits);
    int32_t SetDtr(bool on);
    int32_t SetRts(bool on);
    int32_t DoEscape(QnEscape function);
    // Modem lines (high nibble) and the change bits latched since the last
    // call (low nibble), which are then cleared.
    uint8_t GetModemStatus();
    // The first pending line error: 1 overflow, 2 overrun, 3 parity, 4 framing,
    // 9 break, 0 none.
    int32_t GetLineError();
    bool CheckLineBreak();

    // Takes exactly count received bytes, or none (-3007) when fewer are held.
    int32_t GetBlock(uint8_t* bytes, uint32_t count);
    int32_t PutChar(uint8_t byte);
    // Queues the bytes whole for the output thread: -3006 when they do not
    // fit, with nothing queued.
    int32_t PutBlock(const uint8_t* bytes, uint32_t count);
    uint32_t InBuffUsed();
    uint32_t OutBuffUsed();
    uint32_t OutBuffFree();
    int32_t FlushOutBuffer();
    int32_t FlushInBuffer();

    int32_t SetHardwareFlow(uint32_t full, uint32_t resume, uint32_t options);
    int32_t SetSoftwareFlow(uint32_t full, uint32_t resume, uint32_t options);
    int32_t ClearSoftwareFlow();
    int32_t SetFlowChars(uint8_t xon, uint8_t xoff);
    int32_t GetFlowOptions(uint32_t& hardware, uint32_t& software, uint8_t& xon, uint8_t& xoff);
    // The device's input flow limits: XON is sent once no more than xonLim
    // bytes are held, XOFF once fewer than xoffLim bytes are free.
    int32_t GetFlowLimits(uint16_t& xonLim, uint16_t& xoffLim);

    void SetOptionBits(uint32_t bits);
    void ClearOptionBits(uint32_t bits);
    uint32_t OptionWord();
    // RS-485 direction control: RTS is raised before each block is queued and
    // dropped once the device has sent the last bit.
    void SetRS485Mode(bool on);
    // Stored for the owner; threads keep the host's normal scheduling, which
    // an unprivileged process cannot raise.
    void SetThreadBoost(uint8_t boost);
    uint8_t ThreadBoost();
    // Lets the worker threads run; the owner calls it while it polls.
    int32_t YieldTime();

    TQnTrace& Trace() { return trace_; }
    TQnDispatchLog& Log() { return log_; }
    void SetDeviceName(const std::string& name);

    // Set whenever received bytes reached the ring since the last wait on
    // it; a consumer thread sleeps on it (or polls its Fd) until there is
    // something to get.
    TQnEvent& DataAvailable() { return dataAvailable_; }

    // Handlers of trigger messages (QwHandlers.cpp). They run in the
    // dispatch thread with no dispatcher lock held, and may read with
    // GetBlock, write, register and deregister. During a data message every
    // handler reads the same bytes; the ring then advances by the most any
    // handler took.
    void RegisterWindowHandler(IQnMessageWindow* window);
    void DeregisterWindowHandler(IQnMessageWindow* window);
    void RegisterProcHandler(TQnTriggerProc proc);
    void DeregisterProcHandler(TQnTriggerProc proc);
    TQnHandlerToken RegisterEventHandler(TQnTriggerEvent handler);
    void DeregisterEventHandler(TQnHandlerToken token);
    // 0 recompute, 1 serve windows always, 2 serve windows only when another
    // handler exists. A single window (the owner's own) is not served alone.
    virtual void SetHandlerServiceFlag(int action);
    bool HandlersPresent();
    bool InDispatch() const { return inDispatch_.load(); }

    // Triggers (QwTriggers.cpp). Add* return the new handle or a negative
    // code; status handles carry their kind in the low three bits.
    void SetDataTriggerLength(uint32_t length);
    int32_t AddDataTrigger(const std::string& pattern, bool ignoreCase);
    int32_t AddTimerTrigger();
    int32_t SetTimerTrigger(uint32_t handle, int64_t ticks, bool activate);
    int32_t AddStatusTrigger(uint32_t kind);
    int32_t SetStatusTrigger(uint32_t handle, uint16_t value, bool activate);
    int32_t RemoveTrigger(uint32_t handle);
    void SaveTriggers(TQnSavedTriggers& set);
    void RestoreTriggers(const TQnSavedTriggers& set);
    static void FreeSavedTriggers(TQnSavedTriggers& set);
    void ClearTriggers();

    bool DispatcherActive() const { return dispatcherActive_.load(); }
    int ThreadCount() const { return threadCount_.load(); }

protected:
    // Opens the device for InitPort: the device, or nullptr with a negative
    // result (minus the errno of the failing call).
    virtual std::unique_ptr<IQnSerialDevice> OpenCom(const std::string& name, int32_t& result) = 0;
    // The settings of a device the dispatcher holds before InitPort (one
    // lent to it), which GetLine, GetFlowOptions and GetFlowLimits report
    // while the port is closed; QnResultNotOpen when it holds none.
    virtual int32_t ReadLentState(TQnLineState& state);

private:
    // DTR or RTS by hand; 1 (nothing done) while flow control owns the line.
    int32_t SetModemOutput(bool on, bool flowOwned, QnEscape raise, QnEscape lower, bool& state);

    // Rings.
    uint32_t RingUsedLocked() const;
    uint32_t OutUsedLocked() const;
    void RefreshLineErrors();
    void RefreshModemStatus();
    int32_t PurgeQueue(bool output);
    bool ReadDevice();

    // Line state.
    // The open device's state, or else the lent one (ReadLentState).
    int32_t ReadLineState(TQnLineState& state);
    int32_t ApplyDeviceState(TQnLineState state);
    void WaitForOutputDrain();

    // Threads.
    void StartDispatcher();
    // Ends and joins the worker threads; on the dispatch thread, the other two.
    void StopDispatcher();
    void CloseDevice();
    void FinishPendingClose();
    void ThreadFinished();
    void ComThreadBody();
    void DispThreadBody();
    void OutThreadBody();
    void WaitForDispatch(bool& inputHungUp);
    void DispatchPass();
    void WriteOutput();
    void ReportThreadFailure(const std::string& text);
    template <typename Body>
    void RunThreadBody(Body body);

    // Trigger delivery.
    bool SendTriggerMessage(uint32_t msg, uint32_t wParam, uint32_t data, bool* unanswered = nullptr);
    template <typename Record, typename Call>
    bool DeliverToList(std::vector<Record>& list, Call call);
    void RemoveDeletedHandlers();
    bool CheckStatusTriggers();
    bool CheckTimerTriggers();
    bool CheckDataTriggers();
    bool SendDataAvailable(uint32_t count, uint32_t pos);
    void ResetStatusTriggers();
    bool RunStatusTriggers();
    void StatusAndTimerPass();
    uint32_t NextTriggerHandle();

    void* owner_;
    int32_t handleIndex_;

    std::recursive_mutex dataLock_;    // settings, DTR/RTS states, flags
    std::recursive_mutex outputLock_;  // output ring
    std::recursive_mutex ringLock_;    // dispatch ring

    std::unique_ptr<IQnSerialDevice> device_;
    // Set and cleared under all three locks, with device_ and the rings:
    // a check under any one of them keeps the device open until it is let go.
    std::atomic<bool> open_{false};
    // Held by whoever closes the port: the owner, or the dispatch thread
    // after a handler's DonePort.
    std::mutex closeLock_;
    uint32_t inSize_ = 0;
    uint32_t outSize_ = 0;
    uint32_t currentBaud_ = 115200;
    uint32_t optionWord_ = 0;
    bool dtrState_ = false;
    bool dtrFlowOwned_ = false;
    bool rtsState_ = false;
    bool rtsFlowOwned_ = false;
    uint8_t threadBoost_ = 0;
    std::atomic<bool> rs485Mode_{false};
    std::atomic<uint32_t> lineErrors_{0};
    std::atomic<uint8_t> modemStatus_{0};
    std::atomic<uint32_t> eventMask_{0};
    std::atomic<bool> outputSent_{false};

    std::vector<uint8_t> ring_;
    uint32_t ringHead_ = 0;
    uint32_t ringTail_ = 0;
    bool ringFull_ = false;

    std::vector<uint8_t> outBuffer_;
    uint32_t outHead_ = 0;
    uint32_t outTail_ = 0;
    bool outFull_ = false;
    uint64_t outGeneration_ = 0;  // bumped by a purge: a write picked before it is void

    // Thread hand-over events, made by InitPort and freed when closed.
    struct Events {
        TQnEvent commEvent, dispatchDone, threadReady, outputReady, outputStop, ringRoom;
        TQnEvent stopAll{true};
    };
    std::unique_ptr<Events> events_;
    TQnEvent dataAvailable_;

    std::atomic<bool> killThreads_{false};
    std::atomic<bool> dispatcherActive_{false};
    std::atomic<int> threadCount_{0};
    std::thread comThread_;
    std::thread dispThread_;
    std::atomic<std::thread::id> dispThreadId_{};
    std::thread outThread_;
    std::atomic<bool> outThreadRunning_{false};
    std::mutex purgeLock_;  // output purges, each with its own hand-over

    TQnTrace trace_;
    TQnDispatchLog log_;

    // Handlers and triggers, under dataLock_.
    struct WindowRecord {
        IQnMessageWindow* Window = nullptr;
        bool Deleted = false;
    };
    struct ProcRecord {
        TQnTriggerProc Proc = nullptr;
        bool Deleted = false;
    };
    struct EventRecord {
        TQnHandlerToken Token = 0;
        std::shared_ptr<TQnTriggerEvent> Method;
        bool Deleted = false;
    };
    std::vector<WindowRecord> windowHandlers_;
    std::vector<ProcRecord> procHandlers_;
    std::vector<EventRecord> eventHandlers_;
    TQnHandlerToken nextToken_ = 1;
    bool handlersPresent_ = false;
    bool forcedService_ = false;
    bool handlersDeleted_ = false;
    std::atomic<bool> inDispatch_{false};
    std::atomic<bool> closePending_{false};
    // A handler registered since the last pass: bytes already waiting are
    // announced again, since they came while it was not listening.
    std::atomic<bool> handlerAdded_{false};

    std::vector<TQnStatusTrigger> statusTriggers_;
    std::vector<TQnTimerTrigger> timerTriggers_;
    std::vector<TQnDataTrigger> dataTriggers_;
    uint32_t nextTriggerHandle_ = 1;
    uint32_t availLength_ = 0;
    bool statusFired_ = false;
    // Dispatch thread only.
    uint32_t scanPos_ = 0;
    uint32_t lastAvailPos_ = UINT32_MAX;
    bool scanCaughtUp_ = true;
    // Under ringLock_: while a data message is delivered, GetBlock reads
    // without consuming.
    bool peekMode_ = false;
    uint32_t peekCount_ = 0;
    uint32_t peekStart_ = 0;  // where each handler starts reading; past flushed bytes
    uint32_t maxConsumed_ = 0;
};

// The process-wide list of dispatchers, indexed by HandleIndex.
std::vector<TQnBaseDispatcher*> PortListSnapshot();
std::mutex& PortListLock();
