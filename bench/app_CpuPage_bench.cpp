// The machine's run loop in the main window, offscreen, with the CPU page
// shown (so its memory grid and register panel refresh while the CPU runs)
// against another page shown. Each iteration is one run burst followed by
// the event loop's pass (timers, paints, and the idle timer's own burst), as
// the program runs; instr/s compares the two.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTabWidget>

#include "app/frmTavrin.h"
#include "platform/ScriptedUiPrompts.h"
#include "BenchHome.h"
#include "BenchSupport.h"
#include "ui/CpuPage.h"

namespace {

using tavrin::bench::App;
using tavrin::bench::LoadWorkload;

void BM_RunLoop(benchmark::State& state) {
    App();
    const bool cpuPageShown = state.range(0) != 0;
    const tavrin::bench::TBenchHome home;
    {
        TScriptedUiPrompts prompts;
        TMainHalvoret window(&prompts);
        window.resize(1000, 700);
        window.show();
        window.Ui().PageControl1->setCurrentWidget(cpuPageShown ? static_cast<QWidget*>(window.Ui().CpuPage)
                                                                : window.Ui().TtyPage);
        QApplication::processEvents();
        TCpuEmu& cpu = window.Machine().Cpu();
        LoadWorkload(cpu);
        window.Ui().RunCpuAct->trigger();
        const int64_t start = cpu.OpcodeCount;
        for (auto _ : state) {
            window.ApplicationEvents1Idle();
            QApplication::processEvents();
        }
        state.counters["instr/s"] = benchmark::Counter(double(cpu.OpcodeCount - start), benchmark::Counter::kIsRate);
        window.Ui().RunCpuAct->trigger();
        window.close();
    }
}
BENCHMARK(BM_RunLoop)->Arg(0)->Arg(1)->ArgName("cpu_page")->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
