#pragma once
// Helpers for the serial and TCP tests: a posted-call queue standing in for
// the GUI thread, pseudo-terminal pairs, a fake serial device with modem
// lines and breaks, and a blocking TCP client on 127.0.0.1.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/ComRx.h"

namespace tavrin::test {

using namespace std::chrono_literals;

// Calls posted from other threads, run in order on the test's thread.
class TPostQueue {
public:
    TComDispatcher Dispatcher()
    {
        return [this](std::function<void()> call) {
            std::lock_guard lock(FLock);
            FCalls.push_back(std::move(call));
            FPosted.notify_all();
        };
    }
    // Runs posted calls until done() holds; false when limit passes first.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s);
    // Runs the posted calls waiting now.
    void PumpPending();

private:
    std::mutex FLock;
    std::condition_variable FPosted;
    std::deque<std::function<void()>> FCalls;
};

// A pseudo-terminal pair; the slave's path stands for a host serial port.
class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;
    int Master() const { return FMaster; }
    const std::string& SlavePath() const { return FSlavePath; }
    // Closes the master side: the slave hangs up.
    void CloseMaster();

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FSlavePath;
};

// Writes everything to a blocking or non-blocking descriptor.
void WriteAll(int fd, const std::string& bytes);
// Reads until count bytes have come or limit passes; what came.
std::string ReadFor(int fd, size_t count, std::chrono::milliseconds limit = 5s);
// What is readable right now, without waiting.
std::string ReadAvailable(int fd);
// True when nothing is readable within wait.
bool NothingArrives(int fd, std::chrono::milliseconds wait = 100ms);
// A pattern of count bytes covering every byte value.
std::string Pattern(size_t count, unsigned seed = 0);

// The kernel's settings of a terminal device (TCGETS2).
TComTermios ReadTermios(int fd);

// A port free on 127.0.0.1 right now.
uint16_t FreeTcpPort();
// A connected blocking client socket; -1 when refused.
int ConnectTcp(uint16_t port);

// A serial device whose other end the test holds: bytes both ways through
// a socket pair, modem-line counts the test bumps, and breaks as the kernel
// marks them (FF 00 00).
class TFakeComDevice : public IComDevice {
public:
    struct TState {
        std::mutex Lock;
        TComModemCounts Counts;  // under Lock
        int PeerFd = -1;  // the test's end, closed with the state
        ~TState();
    };
    explicit TFakeComDevice(std::shared_ptr<TState> state, int fd) : FState(std::move(state)), FFd(fd) {}
    ~TFakeComDevice() override;
    int PollFd() const override { return FFd; }
    ssize_t Read(uint8_t* buffer, size_t size) override;
    ssize_t Write(const uint8_t* data, size_t size) override;
    bool WaitWritable(int timeoutMs) override;
    bool ReadModemCounts(TComModemCounts& counts) override;

    // An opener for TComRx that creates one fake and hands its state back.
    static TComDeviceOpener Opener(std::shared_ptr<TState>& state);

private:
    std::shared_ptr<TState> FState;
    int FFd;
};

} // namespace tavrin::test
