#pragma once
// Helpers for the serial and TCP tests: byte transfers, a fake serial
// device with modem lines and breaks, and a blocking TCP client on 127.0.0.1.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/ComRx.h"
#include "support/FdIo.h"
#include "support/PostQueue.h"
#include "support/Pty.h"
#include "support/ReservedPort.h"

namespace tavrin::test {

using namespace std::chrono_literals;

// What is readable right now, without waiting.
inline std::string ReadAvailable(int fd) { return ReadFor(fd, SIZE_MAX, 0ms); }
// A pattern of count bytes covering every byte value.
std::string Pattern(size_t count, unsigned seed = 0);

// The kernel's settings of a terminal device (TCGETS2).
TComTermios ReadTermios(int fd);

// A connected blocking client socket; -1 when refused. A receiveBuffer
// above 0 is set as the socket's receive buffer before connecting, so the
// window it offers stays that small and output to it backs up soon.
int ConnectTcp(uint16_t port, int receiveBuffer = 0);
// The same from a source address of the loopback net 127.0.0.0/8, so that
// tests can stand in for clients on several hosts.
int ConnectTcpFrom(const char* source, uint16_t port, int receiveBuffer = 0);

// A serial device whose other end the test holds: bytes both ways through
// a socket pair, modem-line counts the test bumps, and breaks as the kernel
// marks them (FF 00 00).
class TFakeComDevice : public IComDevice {
public:
    struct TState {
        std::mutex Lock;
        TComModemCounts Counts;  // under Lock
        int PeerFd = -1;         // the test's end, closed with the state
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

}  // namespace tavrin::test
