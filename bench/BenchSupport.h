#pragma once
// Shared by the benchmarks that run the processor workload or a window:
// the workload image, the one offscreen QApplication and a terminal window
// sized to its cells.

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#ifdef TAVRIN_CPU_WORKLOAD
#include "cpu/z80Cpu.h"
#endif
namespace tavrin::bench {

#ifdef TAVRIN_CPU_WORKLOAD
// The assembled processor workload (TAVRIN_CPU_WORKLOAD), loaded at 0000h.
inline std::vector<uint8_t> Workload() {
    std::ifstream file(TAVRIN_CPU_WORKLOAD, std::ios::binary);
    if (!file) throw std::runtime_error("workload image missing: " TAVRIN_CPU_WORKLOAD);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

// The workload in memory and the processor reset to its start.
inline void LoadWorkload(TCpuEmu& cpu) {
    static const std::vector<uint8_t> image = Workload();
    cpu.WriteMemory(0, static_cast<uint16_t>(image.size()), image.data());
    cpu.Reset(0);
}
#endif

// Created on first use, on the offscreen platform unless one is set.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "tavrin_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A CRT terminal window whose client area (inside its border) holds exactly
// `columns` x `rows` cells.
template <typename Terminal>
void ResizeToCells(Terminal& term, int columns, int rows) {
    const int border = term.width() - term.ClientRect().width();
    term.resize(term.CharWidth() * columns + border, term.CharHeight() * rows + border);
}

}  // namespace tavrin::bench
