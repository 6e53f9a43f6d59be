// VT100 throughput: the same large VT100 stream (text, cursor addressing and
// relative moves, renditions, scrolling regions with line feeds and reverse
// index, insert/delete, erase) through this terminal's parser, emulator and
// screen buffer, and through libvterm's screen layer, in bytes per second.
// Both run headless on an 80 x 24 screen without a window, the stream handed
// over 1, 16, 64 or 4096 bytes per call: a program printing character by
// character reaches the emulator a byte at a time. The emulator has a
// terminal attached, as in the program, so the work it does for a terminal
// after each call (blinking text) is measured.

#include <benchmark/benchmark.h>

#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "Vt100Stream.h"
#include "console/core/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"

namespace {

using tavrin::bench::Stream;

// Hands `bytes` to `write` `chunk` bytes per call.
template <typename Write>
void InChunks(const std::string& bytes, size_t chunk, Write write) {
    for (size_t at = 0; at < bytes.size(); at += chunk) write(bytes.data() + at, std::min(chunk, bytes.size() - at));
}

void BM_Vt100Emulator(benchmark::State& state) {
    const std::string& bytes = Stream();
    const auto chunk = static_cast<size_t>(state.range(0));
    TQnVT100Emulator emu;
    tavrin::test::TFakeTerminalHost host;
    emu.SetTerminal(&host);
    for (auto _ : state) {
        InChunks(bytes, chunk, [&](const char* data, size_t n) {
            emu.ProcessBlock(reinterpret_cast<const uint8_t*>(data), static_cast<int>(n), csPort);
        });
        TQnRect r;
        emu.Buffer()->GetInvalidRect(r);  // what a repaint would drain
        benchmark::DoNotOptimize(r);
        host.moves.clear();  // the record of cursor moves, kept by the host
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Vt100Emulator)->Arg(1)->Arg(16)->Arg(64)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_LibvtermScreen(benchmark::State& state) {
    const std::string& bytes = Stream();
    const auto chunk = static_cast<size_t>(state.range(0));
    VTerm* vt = vterm_new(24, 80);
    vterm_set_utf8(vt, 0);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    for (auto _ : state) {
        InChunks(bytes, chunk, [&](const char* data, size_t n) { vterm_input_write(vt, data, n); });
        vterm_screen_flush_damage(screen);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    vterm_free(vt);
}
BENCHMARK(BM_LibvtermScreen)->Arg(1)->Arg(16)->Arg(64)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
