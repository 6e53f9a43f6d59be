// Settings store: parsing a settings text of about 1 MB, once as 80,000
// keys in one section and once as 40,000 sections of one key each.

#include <cstdio>
#include <string>

#include <benchmark/benchmark.h>

#include "platform/core/ConfigObject.h"

namespace {

std::string ManyKeys(int keys) {
    std::string text = "[MAIN]\r\n";
    char line[64];
    for (int i = 0; i < keys; ++i) {
        std::snprintf(line, sizeof line, "K%06d=%d\r\n", i, i);
        text += line;
    }
    return text;
}

std::string ManySections(int sections) {
    std::string text;
    char line[64];
    for (int i = 0; i < sections; ++i) {
        std::snprintf(line, sizeof line, "[S%06d]\r\nK=1\r\n", i);
        text += line;
    }
    return text;
}

void LoadText(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        TNrKeyValueSections store;
        store.SetText(text);
        benchmark::DoNotOptimize(store.GetSectionCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_LoadManyKeys(benchmark::State& state) { LoadText(state, ManyKeys(80000)); }
void BM_LoadManySections(benchmark::State& state) { LoadText(state, ManySections(40000)); }

}  // namespace

BENCHMARK(BM_LoadManyKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadManySections)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
