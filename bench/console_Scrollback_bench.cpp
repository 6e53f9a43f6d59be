// VT100 scroll-back: the cost of one line scrolled off the top of the screen
// into a scroll-back of 1k, 10k and 100k rows, a double-width line on screen
// so the line sizes move with the text. Each iteration is one line feed on
// the bottom row through the emulator (parser, buffer planes, line sizes).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "console/core/QnTrmVT100.h"

namespace {

void Feed(TQnVT100Emulator& emu, const std::string& bytes) {
    emu.ProcessBlock(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()), csPort);
}

void BM_ScrollbackLineFeed(benchmark::State& state) {
    TQnVT100Emulator emu;
    emu.Buffer()->SetSVRowCount(static_cast<int>(state.range(0)));
    Feed(emu, "\x1b[12;1H\x1b#6wide\x1b[24;1Hbottom");
    const uint8_t lineFeed = '\n';
    for (auto _ : state) {
        emu.ProcessBlock(&lineFeed, 1, csPort);
        TQnRect r;
        emu.Buffer()->GetInvalidRect(r);  // what a repaint would drain
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ScrollbackLineFeed)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();
