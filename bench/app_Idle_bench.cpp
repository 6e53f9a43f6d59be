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
//   flooding threads alone take from the machine's thread on a busy host;
// - the process's CPU use while the example BIOS's output routine waits on
//   a device that is not ready (LST on a printer that is off or has no
//   printer chosen, COM1 over TCP with its output queue full and no client,
//   also once the last client left in the middle of the output), with the
//   idle wait and without it;
// - bytes per second through the BIOS's output routine once the device is
//   ready: LST on a printer that takes every byte, COM1 over TCP to a client
//   that reads everything.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QAction>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>

#include <poll.h>
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

#include "app/LstPrinter.h"
#include "app/WindowSerialLines.h"
#include "net/MachineSerialLines.h"
#include "app/frmTavrin.h"
#include "console/QtPrintTarget.h"
#include "ui/CpuPage.h"
#include "machine/TavrinMachine.h"
#include "net/RmtDisk.h"
#include "platform/ScriptedUiPrompts.h"
#include "BenchHome.h"
#include "BenchSupport.h"
#include "net/support/ComRxTestSupport.h"
#include "net/support/TcpLineTestSupport.h"
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
            std::filesystem::copy_file(std::filesystem::path(TAVRIN_EXAMPLES_DIR) / name, FHome.Folder().File(name),
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

// The event loop run for period in each iteration of state: the wall
// seconds that took, and the process's CPU use over them in per cent.
struct TLoopCpu {
    double Wall = 0;
    double CpuPercent = 0;
};
TLoopCpu RunEventLoopMeasured(benchmark::State& state, milliseconds period) {
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto start = steady_clock::now();
        RunEventLoop(period);
        cpu += ProcessCpuSeconds() - cpuStart;
        wall += duration<double>(steady_clock::now() - start).count();
    }
    return {wall, 100.0 * cpu / wall};
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
    const int64_t firstInstruction = bench.Machine().Cpu().OpcodeCount;
    const TLoopCpu run = RunEventLoopMeasured(state, milliseconds(2000));
    state.counters["cpu%"] = run.CpuPercent;
    state.counters["instr/s"] = double(bench.Machine().Cpu().OpcodeCount - firstInstruction) / run.Wall;
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

// The example BIOS's console and list output routines (C = the byte).
constexpr uint16_t BiosConout = 0xFA0C;
constexpr uint16_t BiosList = 0xFA0F;

// Boots the example system, then runs a program at 0100h that sends 'x'
// through a BIOS output routine without end: 0100h: LD SP,0100h;
// loop: LD C,'x'; CALL routine; JR loop.
void StartOutputLoop(TBenchWindow& bench, uint16_t routine) {
    bench.Window->Ui().ResetCPMAct->trigger();
    RunEventLoop(milliseconds(1000));
    const uint8_t code[] = {0x31, 0x00, 0x01, 0x0E, 'x', 0xCD, uint8_t(routine), uint8_t(routine >> 8), 0x18, 0xF9};
    bench.Machine().Cpu().WriteMemory(0x0100, sizeof code, code);
    bench.Machine().Cpu().Reset(0x0100);
}

// COM1 as a TCP server on a free port, the console mapped to it.
uint16_t MapConsoleToTcpCom1(TBenchWindow& bench) {
    TTavrinMachine& m = bench.Machine();
    tavrin::test::TReservedPort port(SOCK_STREAM);
    m.Settings().UseTCPasCom1 = true;
    m.Settings().Com1.Enabled = true;
    m.Settings().Com1TCPPort = port.Text();
    bench.Window->SerialLines().ApplyComSettings(1);
    port.Release();
    m.Mapping().SetItemIndex(TMappedDevice::Con, 3);
    return bench.Window->SerialLines().ComLines().TcpPortModule.ListeningPort();
}

// Runs the event loop until the Z80 runs at most 10 million instructions a
// second (a waiting run does about 400,000, one at full speed hundreds of
// millions), or until limit.
void SettleIntoWait(TTavrinMachine& m, milliseconds limit) {
    const auto end = steady_clock::now() + limit;
    while (steady_clock::now() < end) {
        const int64_t before = m.Cpu().OpcodeCount;
        RunEventLoop(milliseconds(100));
        if (m.Cpu().OpcodeCount - before < 1000000) return;
    }
}

// Reads everything a TCP client is sent until stop; counts it.
void ReadAll(int fd, const std::atomic<bool>& stop, std::atomic<int64_t>& bytes) {
    char buffer[65536];
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) return;
        if (n > 0) bytes += n;
    }
}

// What the output routine waits on. COM1's queue fills with no client, with
// a client that sent a byte and reads nothing (input waits beside the full
// output queue), or after the only client, which read the output as it
// came, reset its connection in the middle of it.
enum TOutputWait : int64_t { PrinterOff, NoPrinterChosen, Com1QueueFull, Com1FullInputWaiting, Com1ClientLeft };

// A client reads COM1's output for a moment and resets its connection in
// the middle of it; whether it could connect.
bool ReadThenReset(uint16_t port) {
    const int fd = tavrin::test::ConnectTcp(port);
    if (fd < 0) return false;
    std::atomic<bool> stop{false};
    std::atomic<int64_t> received{0};
    std::thread client(ReadAll, fd, std::cref(stop), std::ref(received));
    RunEventLoop(milliseconds(300));
    stop = true;
    client.join();
    tavrin::test::SendThenLeave(fd, "", tavrin::test::TTcpLeave::Reset);
    return received > 0;
}

void BM_CpuUseWhileOutputWaits(benchmark::State& state) {
    TBenchWindow bench;
    TTavrinMachine& m = bench.Machine();
    m.SetIdleWait(state.range(0) != 0);
    const auto wait = TOutputWait(state.range(1));
    if (wait == NoPrinterChosen) {
        bench.Window->LstPrinter().PrinterObject().SetPrinterIndex(-1);
        bench.Window->Ui().PrinterEnableAct->trigger();
    }
    const bool com1 = wait == Com1QueueFull || wait == Com1FullInputWaiting || wait == Com1ClientLeft;
    StartOutputLoop(bench, com1 ? BiosConout : BiosList);
    int fd = -1;
    if (com1) {
        const uint16_t port = MapConsoleToTcpCom1(bench);
        if (port != 0 && wait == Com1FullInputWaiting) {
            fd = tavrin::test::ConnectTcp(port, 4096);
            if (fd >= 0) ::send(fd, "k", 1, 0);
        }
        if (port == 0 || (wait == Com1FullInputWaiting && fd < 0)) {
            state.SkipWithError("the TCP server of COM1 did not start");
            return;
        }
        if (wait == Com1ClientLeft && !ReadThenReset(port)) {
            state.SkipWithError("the client of COM1 got no output");
            return;
        }
    } else {
        m.Mapping().SetItemIndex(TMappedDevice::Lst, 2);
    }
    // The queue fills, and the client's socket and the server's send buffer
    // (up to megabytes), before the output waits; without the idle wait it
    // never does.
    if (state.range(0) != 0)
        SettleIntoWait(m, seconds(15));
    else
        RunEventLoop(milliseconds(300));
    const TLoopCpu run = RunEventLoopMeasured(state, milliseconds(1000));
    if (fd >= 0) ::close(fd);
    state.counters["cpu%"] = run.CpuPercent;
}
BENCHMARK(BM_CpuUseWhileOutputWaits)
    ->ArgsProduct({{1, 0}, {PrinterOff, NoPrinterChosen, Com1QueueFull, Com1FullInputWaiting, Com1ClientLeft}})
    ->ArgNames({"idlewait", "waits_on"})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// A printer that takes every byte at once and counts them.
struct TCountingPrinter : IPrinterDevice {
    int64_t Bytes = 0;
    bool IsReady() override { return true; }
    void WriteChar(uint8_t) override { ++Bytes; }
};

enum TReadyDevice : int64_t { CountingPrinter, Com1Client };

void BM_OutputThroughReadyDevice(benchmark::State& state) {
    TBenchWindow bench;
    TTavrinMachine& m = bench.Machine();
    m.SetIdleWait(state.range(0) != 0);
    const auto device = TReadyDevice(state.range(1));
    TCountingPrinter printer;
    std::atomic<int64_t> received{0};
    std::atomic<bool> stop{false};
    std::thread client;
    int fd = -1;
    StartOutputLoop(bench, device == Com1Client ? BiosConout : BiosList);
    if (device == Com1Client) {
        const uint16_t port = MapConsoleToTcpCom1(bench);
        fd = port ? tavrin::test::ConnectTcp(port) : -1;
        if (fd < 0) {
            state.SkipWithError("no client on the TCP server of COM1");
            return;
        }
        client = std::thread(ReadAll, fd, std::cref(stop), std::ref(received));
    } else {
        m.SetPrinter(&printer);
        m.Mapping().SetItemIndex(TMappedDevice::Lst, 2);
    }
    const auto sent = [&] { return device == Com1Client ? received.load() : printer.Bytes; };
    RunEventLoop(milliseconds(300));
    double bytes = 0, wall = 0;
    for (auto _ : state) {
        const int64_t before = sent();
        const auto start = steady_clock::now();
        RunEventLoop(milliseconds(1000));
        bytes += double(sent() - before);
        wall += duration<double>(steady_clock::now() - start).count();
    }
    bench.Window->Ui().RunCpuAct->trigger();
    m.SetPrinter(nullptr);
    stop = true;
    if (client.joinable()) client.join();
    if (fd >= 0) ::close(fd);
    state.counters["bytes/s"] = bytes / wall;
}
BENCHMARK(BM_OutputThroughReadyDevice)
    ->ArgsProduct({{1, 0}, {CountingPrinter, Com1Client}})
    ->ArgNames({"idlewait", "device"})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();
