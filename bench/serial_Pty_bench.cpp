// Received bytes per second through a pseudo-terminal pair: the dispatcher
// (device -> receive ring -> consumer with GetBlock) beside a plain read loop
// on the same kind of pair, in the same run.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "serial/QwWin32.h"

namespace {

constexpr std::size_t TransferBytes = 4 << 20;

struct Pair {
    int master = -1;
    int slave = -1;
    std::string path;
    Pair() {
        char name[128] = {};
        ::openpty(&master, &slave, name, nullptr, nullptr);
        path = name;
        termios raw{};
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
    }
    ~Pair() {
        ::close(master);
        ::close(slave);
    }
};

// The remote end: writes the whole transfer into the master side.
std::thread StartSender(int master) {
    return std::thread([master] {
        std::vector<char> chunk(4096, 'x');
        for (std::size_t sent = 0; sent < TransferBytes;) {
            const ssize_t n = ::write(master, chunk.data(), std::min(chunk.size(), TransferBytes - sent));
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
    });
}

void BM_PlainReadLoop(benchmark::State& state) {
    Pair pair;
    std::vector<char> buffer(8192);
    for (auto _ : state) {
        std::thread sender = StartSender(pair.master);
        std::size_t received = 0;
        while (received < TransferBytes) {
            pollfd fd{pair.slave, POLLIN, 0};
            if (::poll(&fd, 1, 5000) <= 0) break;
            const ssize_t n = ::read(pair.slave, buffer.data(), buffer.size());
            if (n <= 0) break;
            received += static_cast<std::size_t>(n);
        }
        sender.join();
        benchmark::DoNotOptimize(received);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TransferBytes));
}

void BM_DispatcherRingToConsumer(benchmark::State& state) {
    Pair pair;
    TQnWin32Dispatcher dispatcher;
    if (dispatcher.InitPort(pair.path, 115200, 0, 8, 1, 4096, 4096, 0) != 0) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    std::vector<uint8_t> buffer(DispatchRingSize);
    for (auto _ : state) {
        std::thread sender = StartSender(pair.master);
        std::size_t received = 0;
        while (received < TransferBytes) {
            const uint32_t held = dispatcher.InBuffUsed();
            if (held == 0) {
                if (!dispatcher.DataAvailable().Wait(5000)) break;
                continue;
            }
            dispatcher.GetBlock(buffer.data(), held);
            received += held;
        }
        sender.join();
        benchmark::DoNotOptimize(received);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TransferBytes));
}

BENCHMARK(BM_PlainReadLoop)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(7)->DisplayAggregatesOnly(true);
BENCHMARK(BM_DispatcherRingToConsumer)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(7)
    ->DisplayAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
