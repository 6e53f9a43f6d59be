// CRT console throughput: bytes per second from WriteChar through the posted
// data event to a settled screen buffer and a repainted window, headless
// (offscreen platform), with the window settings the machine uses
// (immediate display, 80 x 24, scrolling text). The teletype emulator alone
// is measured beside it, to show what the window plumbing costs.

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
    term.SetFreezeScrollBack(false);
    term.SetFontColor(0x00FF00);
    term.resize(term.CharWidth() * 80, term.CharHeight() * 24);
    term.show();
    QApplication::processEvents();
    for (auto _ : state) {
        for (char c : text) term.WriteChar(static_cast<uint8_t>(c));
        // The posted data event, the repaint it triggers and the window's
        // paint events all run here.
        QApplication::processEvents();
        QApplication::processEvents();
    }
    benchmark::DoNotOptimize(term.CurrentEmulator()->Buffer()->CharAt(1, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(chunk));
}
BENCHMARK(BM_CrtWriteCharToScreen)->Arg(64)->Arg(512)->Arg(2048)->Arg(16384)->Unit(benchmark::kMicrosecond);

void BM_TtyEmulatorOnly(benchmark::State& state) {
    tavrin::bench::App();
    const std::string text = Workload(static_cast<size_t>(state.range(0)));
    TQnTTYEmulator emu;
    for (auto _ : state)
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int>(text.size()), csWriteChar);
    benchmark::DoNotOptimize(emu.Buffer()->CharAt(1, 1));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TtyEmulatorOnly)->Arg(16384)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
