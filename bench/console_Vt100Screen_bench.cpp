// The CRT console on screen: bytes per second of the VT100 benchmark stream
// from WriteChar to a settled, repainted window (offscreen platform), with
// the settings and font the machine's window uses. Chunks of 2 KB stand for
// a program writing whole screens; 64-byte chunks, written a byte at a time,
// for one printing character by character. The second argument is the
// shortest time between repaints: 15 ms as the machine's window has it,
// 0 to repaint after every chunk as before coalescing.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "Vt100Stream.h"
#include "BenchSupport.h"
#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"

namespace {

void BM_Vt100WriteCharToScreen(benchmark::State& state) {
    tavrin::bench::App();
    const std::string& stream = tavrin::bench::Stream();
    const size_t chunk = static_cast<size_t>(state.range(0));
    const size_t total = stream.size() / chunk * chunk;
    TQnTerminal term;
    TQnVT100Emulator emu;
    emu.SetTerminal(&term);
    term.SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), 12));
    term.SetUseLazyDisplay(false);
    term.SetFreezeScrollBack(false);
    term.SetMinRepaintInterval(static_cast<int>(state.range(1)));
    term.SetFontColor(0x00FF00);
    tavrin::bench::ResizeToCells(term, 80, 24);
    term.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (size_t done = 0; done < total; done += chunk) {
            for (size_t i = done; i < done + chunk; ++i) term.WriteChar(static_cast<uint8_t>(stream[i]));
            // The posted data event and the repaints it leads to.
            QApplication::processEvents();
        }
        // Settled: nothing left to interpret or to repaint.
        while (emu.NeedsUpdate()) QApplication::processEvents();
        QApplication::processEvents();
    }
    benchmark::DoNotOptimize(emu.Buffer()->CharAt(1, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total));
}
BENCHMARK(BM_Vt100WriteCharToScreen)
    ->Args({2048, 15})
    ->Args({64, 15})
    ->Args({2048, 0})
    ->Args({64, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
