#pragma once
// The termios device: a serial port or pseudo-terminal opened (or adopted)
// as a non-blocking descriptor. Settings that termios cannot express (DSR
// output flow, DTR handshake, the XON/XOFF limits) are kept beside it so
// that what was written reads back.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "serial/QnDevice.h"

class TQnTermiosDevice : public IQnSerialDevice {
public:
    // Opens the device exclusively (flock and TIOCEXCL) and puts it in raw
    // mode. nullptr with `result` set to minus the errno on failure; a device
    // held by another opener gives -EBUSY.
    static std::unique_ptr<TQnTermiosDevice> Open(const std::string& name, int32_t& result);
    // Takes over a duplicate of an already open descriptor; the lender keeps
    // its own, and gets its status flags back when the device closes.
    static std::unique_ptr<TQnTermiosDevice> Adopt(int fd, int32_t& result);
    // The line state of a descriptor opened elsewhere, read without taking
    // it over or changing it: 0, or minus the errno.
    static int32_t ReadLentState(int fd, TQnLineState& state);
    ~TQnTermiosDevice() override;

    int32_t ReadState(TQnLineState& state) override;
    int32_t WriteState(const TQnLineState& state) override;
    int32_t Read(uint8_t* bytes, uint32_t count) override;
    int32_t Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) override;
    uint32_t InputCount() override;
    uint32_t TakeLineErrors() override;
    uint8_t ModemLines() override;
    int32_t Escape(QnEscape function) override;
    int32_t Purge(bool output) override;
    int InputFd() override { return fd_; }
    uint32_t WaitLineEvent(int stopFd, int timeoutMs) override;
    void WaitTransmitterEmpty(int stopFd) override;

private:
    TQnTermiosDevice(int fd, int lenderFlags);
    static std::unique_ptr<TQnTermiosDevice> Prepare(int fd, int lenderFlags, int32_t& result);
    uint32_t PollLineErrors();

    int fd_;
    int lenderFlags_;  // status flags of a lent descriptor; -1 for one opened here
    std::atomic<bool> hasModemLines_{true};
    bool hasCounters_ = true;  // guarded by lock_ after construction
    std::mutex lock_;          // guards the fields below
    uint32_t shadowFlags_ = 0;
    uint16_t xonLim_ = 0;
    uint16_t xoffLim_ = 0;
    uint8_t lastLines_ = 0;
    uint32_t pendingErrors_ = 0;
    bool haveCounts_ = false;
    int countsAtLastPoll_[5] = {};
};
