// COM1 over TCP end to end: the Z80 echo program runs in the machine's run
// loop (bursts of 100001 instructions, as the window's idle handler runs
// them) while a client on 127.0.0.1 streams bytes through it, or sends one
// byte at a time and waits for its echo. A plain loopback echo thread runs
// the same client side by side as the peer.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/MachineSerialLines.h"
#include "net/support/ComRxTestSupport.h"

namespace {

// Somewhere that answers on a TCP port with the echo of what it gets.
class IEchoPeer {
public:
    virtual ~IEchoPeer() = default;
    virtual uint16_t Port() const = 0;
};

// The emulated machine: COM1 over TCP, the echo program in its run loop.
class TMachineEcho : public IEchoPeer {
public:
    TMachineEcho() {
        std::ifstream file(TAVRIN_SERIAL_ECHO_BIN, std::ios::binary);
        const std::vector<char> program{std::istreambuf_iterator<char>(file), {}};
        if (program.empty()) throw std::runtime_error("echo program missing: " TAVRIN_SERIAL_ECHO_BIN);
        FMachine.Cpu().WriteMemory(0x0100, static_cast<uint16_t>(program.size()), program.data());
        FMachine.Cpu().Reset(0x0100);
        FMachine.Settings().UseTCPasCom1 = true;
        FMachine.Settings().Com1.Enabled = true;
        tavrin::test::TReservedPort port(SOCK_STREAM);
        FMachine.Settings().Com1TCPPort = port.Text();
        const std::string warning = FLines.ApplyComSettings(1);
        port.Release();
        if (!warning.empty()) throw std::runtime_error(warning);
        FRun = std::thread([this] {
            while (!FStop) FMachine.RunBurst();
        });
    }
    ~TMachineEcho() override {
        FStop = true;
        FRun.join();
    }
    uint16_t Port() const override { return FLines.TcpPortModule.ListeningPort(); }

private:
    TTavrinMachine FMachine{"/tmp/"};
    TMachineSerialLines FLines{FMachine, [](std::function<void()> call) { call(); }};
    std::atomic<bool> FStop{false};
    std::thread FRun;
};

// The peer: a thread that echoes one client on loopback.
class TPlainEcho : public IEchoPeer {
public:
    TPlainEcho() {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FListen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(FListen, 1);
        socklen_t length = sizeof a;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&a), &length);
        FPort = ntohs(a.sin_port);
        FThread = std::thread([this] {
            const int fd = ::accept(FListen, nullptr, nullptr);
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            char buffer[512];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                for (ssize_t sent = 0; sent < n;)
                    sent += std::max<ssize_t>(0, ::send(fd, buffer + sent, static_cast<size_t>(n - sent), 0));
            ::close(fd);
        });
    }
    ~TPlainEcho() override {
        FThread.join();
        ::close(FListen);
    }
    uint16_t Port() const override { return FPort; }

private:
    int FListen = -1;
    uint16_t FPort = 0;
    std::thread FThread;
};

int Connect(uint16_t port) {
    const int fd = tavrin::test::ConnectTcp(port);
    if (fd < 0) throw std::runtime_error("cannot connect to the echo");
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Streams size bytes out while reading their echo back.
void StreamThrough(int fd, size_t size) {
    static const std::vector<char> data = [] {
        std::vector<char> bytes(1 << 20);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 13);
        return bytes;
    }();
    size_t sent = 0, received = 0;
    char buffer[65536];
    while (received < size) {
        pollfd p{fd, static_cast<short>(POLLIN | (sent < size ? POLLOUT : 0)), 0};
        ::poll(&p, 1, 1000);
        if ((p.revents & POLLOUT) && sent < size) {
            const ssize_t n =
                ::send(fd, data.data() + sent % data.size(), std::min<size_t>(size - sent, 4096), MSG_DONTWAIT);
            sent += n > 0 ? static_cast<size_t>(n) : 0;
        }
        if (p.revents & POLLIN) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0) throw std::runtime_error("echo closed");
            received += n > 0 ? static_cast<size_t>(n) : 0;
        }
    }
}

template <class TPeer>
void BM_StreamEcho(benchmark::State& state) {
    TPeer peer;
    const int fd = Connect(peer.Port());
    const size_t size = 256 * 1024;
    for (auto _ : state) StreamThrough(fd, size);
    ::close(fd);
    // Every byte goes up and comes back: this is the rate in each direction.
    state.counters["bytes/s each way"] =
        benchmark::Counter(double(size) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_StreamEcho, TMachineEcho)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_StreamEcho, TPlainEcho)->Unit(benchmark::kMillisecond)->UseRealTime();

template <class TPeer>
void BM_OneByteRoundTrip(benchmark::State& state) {
    TPeer peer;
    const int fd = Connect(peer.Port());
    std::vector<double> trips;
    char b = 'x';
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ::send(fd, &b, 1, 0);
        if (::recv(fd, &b, 1, 0) != 1) throw std::runtime_error("echo closed");
        const std::chrono::duration<double> trip = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(trip.count());
        trips.push_back(trip.count());
    }
    ::close(fd);
    std::nth_element(trips.begin(), trips.begin() + static_cast<long>(trips.size() / 2), trips.end());
    state.counters["median_us"] = trips.empty() ? 0 : trips[trips.size() / 2] * 1e6;
}
BENCHMARK_TEMPLATE(BM_OneByteRoundTrip, TMachineEcho)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);
BENCHMARK_TEMPLATE(BM_OneByteRoundTrip, TPlainEcho)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5000);

}  // namespace

BENCHMARK_MAIN();
