// The run loop of the main window, offscreen, driven by its own timers:
// - the process's CPU use (and the Z80's instructions per second) while the
//   booted example system sits at its prompt, with the idle wait and
//   without it, with the CRT page shown, the CPU page shown, and the
//   register dialog open over the CRT page;
// - instructions per second of the processor workload (a program that
//   computes and never waits), with the idle wait and without it;
// - bytes per second of a program that punches without pause (and
//   instructions per second of the processor workload), unloaded and
//   while junk datagrams flood the remote disk server on 127.0.0.1; beside
//   it the same flood to a bare socket nobody reads, which shows what the
//   flooding threads alone take from the machine's thread on a busy host.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QAction>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "app/frmTavrin.h"
#include "ui/CpuPage.h"
#include "machine/TavrinMachine.h"
#include "net/RmtDisk.h"
#include "platform/ScriptedUiPrompts.h"
#include "BenchHome.h"
#include "BenchSupport.h"
#include "support/ReservedPort.h"

namespace {

using namespace std::chrono;
using tavrin::bench::App;
using tavrin::bench::LoadWorkload;

// A main window in a fresh program folder holding the example system images.
class TBenchWindow {
public:
    TBenchWindow() {
        App();
        for (const char* name : {"zubios.hex", "cpm22.hex"})
            std::filesystem::copy_file(std::filesystem::path(TAVRIN_PROGRAM_DIR) / name, FHome.Folder().File(name),
                                       std::filesystem::copy_options::overwrite_existing);
        Window = std::make_unique<TMainHalvoret>(&FPrompts);
        Window->show();
    }
    ~TBenchWindow() {
        if (Window->Ui().RunCpuAct->isChecked()) Window->Ui().RunCpuAct->trigger();
        Window.reset();
    }
    TTavrinMachine& Machine() { return Window->Machine(); }
    std::string File(const char* name) const { return FHome.Folder().File(name); }

    std::unique_ptr<TMainHalvoret> Window;

private:
    tavrin::bench::TBenchHome FHome;
    TScriptedUiPrompts FPrompts;
};

// Runs the event loop for the given wall time.
void RunEventLoop(milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

double ProcessCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// What is on screen while the prompt waits.
enum TPromptView : int64_t { CrtPageShown, CpuPageShown, RegisterDialogShown };

void BM_CpuUseAtThePrompt(benchmark::State& state) {
    TBenchWindow bench;
    bench.Machine().SetIdleWait(state.range(0) != 0);
    TMainWindowUi& ui = bench.Window->Ui();
    if (state.range(1) == CpuPageShown) ui.PageControl1->setCurrentWidget(ui.CpuPage);
    if (state.range(1) == RegisterDialogShown) ui.CpuPage->ShowCPUWindowAct->trigger();
    bench.Window->Ui().ResetCPMAct->trigger();
    RunEventLoop(milliseconds(1000));  // boot to the prompt
    double cpu = 0, wall = 0;
    const int64_t firstInstruction = bench.Machine().Cpu().OpcodeCount;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto start = steady_clock::now();
        RunEventLoop(milliseconds(2000));
        cpu += ProcessCpuSeconds() - cpuStart;
        wall += duration<double>(steady_clock::now() - start).count();
    }
    state.counters["cpu%"] = 100.0 * cpu / wall;
    state.counters["instr/s"] = double(bench.Machine().Cpu().OpcodeCount - firstInstruction) / wall;
}
BENCHMARK(BM_CpuUseAtThePrompt)
    ->ArgsProduct({{1, 0}, {CrtPageShown, CpuPageShown, RegisterDialogShown}})
    ->ArgNames({"idlewait", "view"})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void BM_ComputeThroughRunLoop(benchmark::State& state) {
    TBenchWindow bench;
    TTavrinMachine& m = bench.Machine();
    m.SetIdleWait(state.range(0) != 0);
    LoadWorkload(m.Cpu());
    bench.Window->Ui().RunCpuAct->trigger();
    const int64_t budget = 50 * int64_t{TTavrinMachine::BurstLength};
    for (auto _ : state) {
        const int64_t target = m.Cpu().OpcodeCount + budget;
        while (m.Cpu().OpcodeCount < target)
            QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    state.counters["instr/s"] =
        benchmark::Counter(double(budget) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ComputeThroughRunLoop)->Arg(1)->Arg(0)->ArgName("idlewait")->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Junk datagrams to 127.0.0.1:port at up to rate per second until stop, at
// most limit in all: random bytes, so a few carry a known command with a
// wrong length and are answered with an error.
void Flood(uint16_t port, unsigned seed, double rate, uint64_t limit, const std::atomic<bool>& stop,
           std::atomic<uint64_t>& sent) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    std::mt19937 random(seed);
    std::vector<uint8_t> junk(48);
    const auto start = steady_clock::now();
    uint64_t count = 0;
    while (!stop && count < limit) {
        const double due = duration<double>(steady_clock::now() - start).count() * rate;
        if (double(count) >= due) {
            std::this_thread::yield();
            continue;
        }
        for (auto& b : junk) b = static_cast<uint8_t>(random());
        ::sendto(fd, junk.data(), junk.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        ++count;
    }
    sent = count;
    ::close(fd);
}

void BM_RunUnderUdpFlood(benchmark::State& state) {
    TBenchWindow bench;
    TTavrinMachine& m = bench.Machine();
    TRmtDskMod& server = *bench.Window->Ui().RmtDskMod;
    server.BaseUdpRx1.LocalPort = "";
    server.BaseUdpRx1.AdapterAddress = "127.0.0.1";
    server.SetActive(true);
    if (!server.GetActive()) {
        state.SkipWithError("remote disk server did not start");
        return;
    }
    m.OpenPunchFile(bench.File("punch.out"), false);
    if (state.range(2) == 0) {
        // 8000h: LD A,'x'; loop: OUT (1Dh),A; JR loop
        const uint8_t code[] = {0x3E, 'x', 0xD3, 0x1D, 0x18, 0xFC};
        m.Cpu().WriteMemory(0x8000, sizeof code, code);
        m.Cpu().Reset(0x8000);
    } else {
        LoadWorkload(m.Cpu());
    }
    bench.Window->Ui().RunCpuAct->trigger();

    const double rate = double(state.range(0));
    const bool toServer = state.range(1) == 0;
    // The bare socket: bound, never read, so the kernel drops what overflows.
    const tavrin::test::TReservedPort bare(SOCK_DGRAM);
    const uint16_t target = toServer ? server.BaseUdpRx1.BoundPort() : bare.Port();
    const milliseconds window(1000);
    constexpr int Flooders = 2;  // one sender thread cannot keep up 250k/s
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> sent[Flooders]{};
    uint64_t datagrams = 0;
    double bytes = 0, wall = 0;
    const int64_t firstInstruction = m.Cpu().OpcodeCount;
    for (auto _ : state) {
        stop = false;
        std::vector<std::thread> flooders;
        for (int i = 0; i < Flooders && rate > 0; ++i)
            flooders.emplace_back(Flood, target, unsigned(i), rate / Flooders, uint64_t(rate * 2 / Flooders),
                                  std::cref(stop), std::ref(sent[i]));
        const auto before = std::filesystem::file_size(bench.File("punch.out"));
        const auto start = steady_clock::now();
        RunEventLoop(window);
        bytes += double(std::filesystem::file_size(bench.File("punch.out")) - before);
        wall += duration<double>(steady_clock::now() - start).count();
        stop = true;
        for (int i = 0; i < int(flooders.size()); ++i) {
            flooders[size_t(i)].join();
            datagrams += sent[i];
        }
    }
    bench.Window->Ui().RunCpuAct->trigger();
    m.ClosePunchFile();
    server.SetActive(false);
    state.counters["punch B/s"] = bytes / wall;
    state.counters["instr/s"] = double(m.Cpu().OpcodeCount - firstInstruction) / wall;
    state.counters["junk/s"] = double(datagrams) / wall;
}
BENCHMARK(BM_RunUnderUdpFlood)
    ->Args({0, 0, 0})
    ->Args({250000, 0, 0})
    ->Args({250000, 1, 0})
    ->Args({0, 0, 1})
    ->Args({250000, 0, 1})
    ->Args({250000, 1, 1})
    ->ArgNames({"junk_per_s", "to_bare_socket", "computes"})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
