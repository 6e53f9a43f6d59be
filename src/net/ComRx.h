#pragma once
// A host serial port as a component: options, open and close, one byte out
// at a time, and a receive thread that hands received blocks, modem-line
// events, breaks and errors to the owner. With SyncCallbacks and a
// Dispatcher the events run wherever the dispatcher posts them (the GUI
// thread) as copies; events of a port that has since closed are dropped.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/ComRxDevice.h"
#include "net/ComRxOptions.h"

// The failures of an open; each names the device path it tried, after the
// fixed sentence.
class EComInvalidPort : public std::runtime_error {
public:
    explicit EComInvalidPort(const std::string& device);
};
class EComPortInUse : public std::runtime_error {
public:
    explicit EComPortInUse(const std::string& device);
};
class EComSetOptions : public std::runtime_error {
public:
    explicit EComSetOptions(const std::string& device);
};

enum TComModemEvent : uint8_t { cme_RING, cme_CTS, cme_DSR, cme_RLSD, cme_BREAK };
// A set of TComModemEvent: bit n for event n. It tells which events
// occurred, not the line levels.
using TComModemEvents = uint8_t;
constexpr TComModemEvents ComEvents(TComModemEvent event) { return static_cast<TComModemEvents>(1u << event); }

class TComRx;
using TComThreadDataReadyProc = std::function<void(TComRx& sender, uint8_t data)>;
using TComThreadDataBytesProc = std::function<void(TComRx& sender, const uint8_t* data, uint32_t count)>;
using TComThreadModemEventProc = std::function<void(TComRx& sender, TComModemEvents events)>;
// Called once for a failed write (abortOnError is the write's result there)
// or for the read error that ends the receive thread.
using TComThreadErrorProc = std::function<void(TComRx& sender, int32_t lastError, bool& abortOnError)>;
// Runs a call on the owner's thread, later and in order.
using TComDispatcher = std::function<void(std::function<void()> call)>;
using TComDeviceOpener = std::function<std::unique_ptr<IComDevice>(const std::string& portName,
                                                                   const TComTermios& settings, TComOpenError& error)>;

// The receive thread of one open port; stopped through an eventfd and
// joined when destroyed.
class TComRxThread {
public:
    struct TEvents {
        TComRx* Owner = nullptr;
        bool SyncCallbacks = true;
        TComDispatcher Dispatcher;
        std::weak_ptr<const void> Session;
        TComThreadDataReadyProc OnData;
        TComThreadDataBytesProc OnDataBlock;
        TComThreadModemEventProc OnModemSignal;
        TComThreadErrorProc OnError;
        bool PassNulls = true;
        bool ReplaceOnError = false;
        uint8_t ErrorChar = 0;
    };
    static constexpr size_t BufferSize = 65536;
    // How often modem-line counters are read on devices that have them.
    static constexpr int ModemPollMs = 20;
    static constexpr int MaxReadsPerWake = 16;

    TComRxThread(IComDevice& device, TEvents events);
    ~TComRxThread();
    TComRxThread(const TComRxThread&) = delete;
    TComRxThread& operator=(const TComRxThread&) = delete;

    // False once the thread has ended by itself (the line hung up).
    bool Running() const { return FRunning.load(); }

private:
    void Execute();
    // Reads until the device has nothing more; false after a read error.
    bool ReadPending();
    void Parse(const uint8_t* data, size_t count);
    void Emit(uint8_t value);
    void FlushBlock();
    void PollModemLines();
    void ReportError(int error);
    void Deliver(std::function<void(TComRx& owner)> call);

    IComDevice& FDevice;
    TEvents FEvents;
    int FStopFd = -1;
    std::atomic<bool> FRunning{true};
    std::vector<uint8_t> FBuffer;
    std::vector<uint8_t> FBlock;
    enum class TMarkState : uint8_t { Normal, Mark, MarkZero } FMarkState = TMarkState::Normal;
    bool FModemLines = false;
    TComModemCounts FModemCounts;
    std::thread FThread;  // last: starts once everything above is set
};

class TComRx {
public:
    TComRx();
    ~TComRx();
    TComRx(const TComRx&) = delete;
    TComRx& operator=(const TComRx&) = delete;

    // "COM" followed by the port number, or a device path.
    std::string PortName;
    bool SyncCallbacks = true;
    TComDispatcher Dispatcher;
    // How the device is opened; the terminal device by default.
    TComDeviceOpener DeviceOpener;
    TComOptions& Options() { return FOptions; }

    // Copied into the receive thread when the port opens.
    TComThreadDataReadyProc OnData;
    TComThreadDataBytesProc OnDataBlock;
    TComThreadModemEventProc OnModemSignal;
    TComThreadErrorProc OnError;

    // True exactly while the receive thread runs.
    bool Active() const { return FThread && FThread->Running(); }
    void SetActive(bool value);
    // Closes first; throws EComInvalidPort, EComPortInUse or EComSetOptions.
    void Open();
    // Stops and joins the receive thread, then closes the device.
    void Close();
    // A byte can be written now.
    bool CanWrite();
    // Writes one byte, waiting up to timeoutMs (-1: no limit) for room;
    // false when the byte was not written.
    bool WriteByte(uint8_t value, int timeoutMs);

private:
    TComOptions FOptions;
    std::unique_ptr<IComDevice> FDevice;
    std::shared_ptr<const void> FSession;
    std::unique_ptr<TComRxThread> FThread;
};
