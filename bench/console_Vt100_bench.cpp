// VT100 throughput: the same large VT100 stream (text, cursor addressing and
// relative moves, renditions, scrolling regions with line feeds and reverse
// index, insert/delete, erase) through this terminal's parser, emulator and
// screen buffer, and through libvterm's screen layer, in bytes per second.
// Both run headless on an 80 x 24 screen without a window.

#include <benchmark/benchmark.h>

#include <vterm.h>

#include <cstdint>
#include <string>

#include "Vt100Stream.h"
#include "console/core/QnTrmVT100.h"

namespace {

using tavrin::bench::Stream;

void BM_Vt100Emulator(benchmark::State& state) {
    const std::string& bytes = Stream();
    TQnVT100Emulator emu;
    for (auto _ : state) {
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), csPort);
        TQnRect r;
        emu.Buffer()->GetInvalidRect(r);  // what a repaint would drain
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_Vt100Emulator)->Unit(benchmark::kMillisecond);

void BM_LibvtermScreen(benchmark::State& state) {
    const std::string& bytes = Stream();
    VTerm* vt = vterm_new(24, 80);
    vterm_set_utf8(vt, 0);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    for (auto _ : state) {
        vterm_input_write(vt, bytes.data(), bytes.size());
        vterm_screen_flush_damage(screen);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    vterm_free(vt);
}
BENCHMARK(BM_LibvtermScreen)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
