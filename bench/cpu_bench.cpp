// Instructions per second of TCpuEmu against libz80ex on the same Z80
// workload (bench/z80/cpu_workload.asm), with equivalent memory and port
// callbacks. Both count whole instructions; libz80ex reports prefixes as
// separate steps, which are not counted.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <vector>

#include <benchmark/benchmark.h>
#include <z80ex/z80ex.h>

#include "cpu/z80Cpu.h"

namespace {

constexpr int64_t kBatch = 1'000'000;  // instructions per benchmark iteration

const std::vector<uint8_t>& Workload() {
    static const std::vector<uint8_t> image = [] {
        std::ifstream file(TAVRIN_CPU_WORKLOAD, std::ios::binary);
        if (!file) throw std::runtime_error("workload image missing: " TAVRIN_CPU_WORKLOAD);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
    }();
    return image;
}

void TavrinCpu(benchmark::State& state) {
    auto cpu = std::make_unique<TCpuEmu>();
    const auto& image = Workload();
    cpu->WriteMemory(0, uint16_t(image.size()), image.data());
    cpu->Reset(0);
    unsigned sink = 0;
    cpu->OnPortWrite = [&sink](TCpuEmu&, uint16_t port, uint8_t value) { sink += port ^ value; };
    cpu->OnPortRead = [&sink](TCpuEmu&, uint16_t port, uint8_t& value) { value = uint8_t(port + sink); };
    int64_t executed = 0;
    for (auto _ : state) {
        for (int64_t i = 0; i < kBatch; ++i) cpu->ExecuteOpcode();
        executed += kBatch;
    }
    benchmark::DoNotOptimize(sink);
    state.counters["instructions/s"] = benchmark::Counter(double(executed), benchmark::Counter::kIsRate);
}

struct Z80exMachine {
    uint8_t memory[0x10000] = {};
    unsigned sink = 0;
};

Z80EX_BYTE MemRead(Z80EX_CONTEXT*, Z80EX_WORD address, int, void* user) {
    return static_cast<Z80exMachine*>(user)->memory[address];
}
void MemWrite(Z80EX_CONTEXT*, Z80EX_WORD address, Z80EX_BYTE value, void* user) {
    static_cast<Z80exMachine*>(user)->memory[address] = value;
}
Z80EX_BYTE PortRead(Z80EX_CONTEXT*, Z80EX_WORD port, void* user) {
    return Z80EX_BYTE(port + static_cast<Z80exMachine*>(user)->sink);
}
void PortWrite(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* user) {
    static_cast<Z80exMachine*>(user)->sink += port ^ value;
}
Z80EX_BYTE IntRead(Z80EX_CONTEXT*, void*) { return 0xFF; }

void Z80ex(benchmark::State& state) {
    auto machine = std::make_unique<Z80exMachine>();
    const auto& image = Workload();
    std::copy(image.begin(), image.end(), machine->memory);
    Z80exMachine* m = machine.get();
    Z80EX_CONTEXT* cpu = z80ex_create(MemRead, m, MemWrite, m, PortRead, m, PortWrite, m, IntRead, m);
    z80ex_reset(cpu);
    int64_t executed = 0;
    for (auto _ : state) {
        int64_t done = 0;
        while (done < kBatch) {
            z80ex_step(cpu);
            if (z80ex_last_op_type(cpu) == 0) ++done;
        }
        executed += done;
    }
    benchmark::DoNotOptimize(m->sink);
    z80ex_destroy(cpu);
    state.counters["instructions/s"] = benchmark::Counter(double(executed), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(TavrinCpu)->Unit(benchmark::kMillisecond);
BENCHMARK(Z80ex)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
