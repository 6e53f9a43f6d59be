#pragma once
// The dispatcher: the device layer under the serial-port component. One
// dispatcher drives one open device: it opens it, sets line parameters and
// flow control, keeps an 8192-byte ring of received bytes and a ring of
// queued output, records a byte trace and a dispatch log, and runs three
// worker threads: the comm thread waits for line events, the dispatch thread
// moves received bytes into the ring, the output thread writes queued output.
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

    bool DispatcherActive() const { return dispatcherActive_.load(); }
    int ThreadCount() const { return threadCount_.load(); }

protected:
    // Opens the device for InitPort: the device, or nullptr with a negative
    // result (minus the errno of the failing call).
    virtual std::unique_ptr<IQnSerialDevice> OpenCom(const std::string& name, int32_t& result) = 0;

private:
    // Rings.
    uint32_t RingUsedLocked() const;
    uint32_t OutUsedLocked() const;
    void RefreshLineErrors();
    void RefreshModemStatus();
    int32_t PurgeQueue(bool output);
    bool ReadDevice();

    // Line state.
    int32_t ApplyDeviceState(TQnLineState state);
    void WaitForOutputDrain();

    // Threads.
    void StartDispatcher();
    void StopDispatcher();
    void ComThreadBody();
    void DispThreadBody();
    void OutThreadBody();
    void WaitForDispatch(bool& inputHungUp);
    void DispatchPass();
    void WriteOutput();
    void RecordThreadFailure();

    void* owner_;
    int32_t handleIndex_;

    std::recursive_mutex dataLock_;    // settings, DTR/RTS states, flags
    std::recursive_mutex outputLock_;  // output ring
    std::recursive_mutex ringLock_;    // dispatch ring

    std::unique_ptr<IQnSerialDevice> device_;
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
    std::thread outThread_;

    TQnTrace trace_;
    TQnDispatchLog log_;
};

// The process-wide list of dispatchers, indexed by HandleIndex.
std::vector<TQnBaseDispatcher*> PortListSnapshot();
std::mutex& PortListLock();
