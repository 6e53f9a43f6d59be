// The machine's run burst (port map, break-point check, counters) against a
// bare ExecuteOpcode loop on the same workload, and the throughput of the two
// consoles for text a Z80 loop writes to port 11h (TTY) or 13h (CRT), with
// the main window present offscreen and the console's page shown.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include <filesystem>

#include "machine/TavrinMachine.h"
#include "app/frmTavrin.h"
#include "platform/ScriptedUiPrompts.h"
#include "BenchHome.h"
#include "BenchSupport.h"

namespace {

using tavrin::bench::App;
using tavrin::bench::LoadWorkload;

constexpr uint32_t Burst = 100001;

void BM_BareExecuteOpcode(benchmark::State& state) {
    TCpuEmu cpu;
    cpu.OnPortRead = [](TCpuEmu&, uint16_t, uint8_t& b) { b = 0xFF; };
    cpu.OnPortWrite = [](TCpuEmu&, uint16_t, uint8_t) {};
    LoadWorkload(cpu);
    for (auto _ : state)
        for (uint32_t i = 0; i < Burst; ++i) cpu.ExecuteOpcode();
    state.counters["instr/s"] =
        benchmark::Counter(double(Burst) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareExecuteOpcode)->Unit(benchmark::kMillisecond);

void BM_MachineRunBurst(benchmark::State& state) {
    std::string folder = std::filesystem::temp_directory_path().string() + "/";
    TTavrinMachine machine(folder);
    if (state.range(0) != 0) machine.SetBreakPoint(0xFFF0);  // armed but never reached
    LoadWorkload(machine.Cpu());
    for (auto _ : state) benchmark::DoNotOptimize(machine.RunBurst(Burst));
    state.counters["instr/s"] =
        benchmark::Counter(double(Burst) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MachineRunBurst)->Arg(0)->Arg(1)->ArgName("breakpoint")->Unit(benchmark::kMillisecond);

void ConsoleThroughput(benchmark::State& state, uint8_t port) {
    App();
    const tavrin::bench::TBenchHome home;
    {
        TScriptedUiPrompts prompts;
        TMainHalvoret window(&prompts);
        window.show();
        window.Ui().PageControl1->setCurrentWidget(port == 0x11 ? window.Ui().TtyPage : window.Ui().CrtPage);
        TTavrinMachine& m = window.Machine();
        // 9000h: 256 bytes of text, lines of 62 characters and CR LF.
        for (int i = 0; i < 256; ++i)
            m.Cpu().WriteMemoryByte(static_cast<uint16_t>(0x9000 + i),
                                    static_cast<uint8_t>(i % 64 == 62   ? '\r'
                                                         : i % 64 == 63 ? '\n'
                                                                        : 'A' + i % 26));
        // 8000h: LD HL,9000h; loop: LD A,(HL); OUT (port),A; INC L; JP loop
        const uint8_t code[] = {0x21, 0x00, 0x90, 0x7E, 0xD3, port, 0x2C, 0xC3, 0x03, 0x80};
        m.Cpu().WriteMemory(0x8000, sizeof code, code);
        m.Cpu().Reset(0x8000);
        m.Cpu().ExecuteOpcode();
        window.Ui().RunCpuAct->trigger();
        int64_t start = m.Cpu().OpcodeCount;
        for (auto _ : state) {
            window.ApplicationEvents1Idle();
            QApplication::processEvents();  // paints, coalesced per pass
        }
        int64_t bytes = (m.Cpu().OpcodeCount - start) / 4;
        state.SetBytesProcessed(bytes);
        window.Ui().RunCpuAct->trigger();
        window.close();
    }
}
void BM_TtyConsoleThroughput(benchmark::State& state) { ConsoleThroughput(state, 0x11); }
void BM_CrtConsoleThroughput(benchmark::State& state) { ConsoleThroughput(state, 0x13); }
BENCHMARK(BM_TtyConsoleThroughput)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_CrtConsoleThroughput)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
BENCHMARK_MAIN();
