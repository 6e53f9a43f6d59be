// CRT console throughput: bytes per second from WriteChar through the posted
// data event to a settled screen buffer and a repainted window, headless
// (offscreen platform), with the window settings the machine uses
// (immediate display repainted at most every 15 ms, 80 x 24, scrolling
// text). The text streams in chunks of the argument's size, each followed
// by a pass of the event loop as the machine's run loop gives one; the
// window repaints when its interval is up, not after every chunk. The
// teletype emulator alone is measured beside it, to show what the window
// plumbing costs.

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "BenchSupport.h"
#include "console/QnTerminal.h"

namespace {

// Directory-listing-like text: 64-character lines ending in CR LF.
std::string Workload(size_t bytes) {
    std::string text;
    text.reserve(bytes);
    int line = 0;
    while (text.size() < bytes) {
        std::string l = "A>DIR B:FILE" + std::to_string(line++ % 1000) + ".TXT  ";
        while (l.size() < 62) l += static_cast<char>('A' + (l.size() % 26));
        text += l + "\r\n";
    }
    text.resize(bytes);
    return text;
}

void BM_CrtWriteCharToScreen(benchmark::State& state) {
    tavrin::bench::App();
    const size_t chunk = static_cast<size_t>(state.range(0));
    const std::string text = Workload(chunk);
    TQnTerminal term;
    term.SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("Terminal"), 12));
    term.SetUseLazyDisplay(false);
    term.SetMinRepaintInterval(15);
    term.SetFreezeScrollBack(false);
    term.SetFontColor(0x00FF00);
    tavrin::bench::ResizeToCells(term, 80, 24);
    term.show();
    QApplication::processEvents();
    TQnTerminalEmulator& emu = *term.CurrentEmulator();
    for (auto _ : state) {
        for (char c : text) term.WriteChar(static_cast<uint8_t>(c));
        // The posted data event, and a repaint when the interval is up.
        QApplication::processEvents();
    }
    // The stream ends: the last change is painted once its interval is up.
    while (emu.NeedsUpdate()) QApplication::processEvents();
    benchmark::DoNotOptimize(emu.Buffer()->CharAt(1, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(chunk));
}
BENCHMARK(BM_CrtWriteCharToScreen)->Arg(64)->Arg(512)->Arg(2048)->Arg(16384)->Unit(benchmark::kMicrosecond);

void BM_TeletypeEmulatorOnly(benchmark::State& state) {
    tavrin::bench::App();
    const std::string text = Workload(static_cast<size_t>(state.range(0)));
    TQnTTYEmulator emu;
    for (auto _ : state)
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()), csWriteChar);
    benchmark::DoNotOptimize(emu.Buffer()->CharAt(1, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TeletypeEmulatorOnly)->Arg(16384)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
