#pragma once
// Shared by the benchmarks that run the processor workload or a window:
// the workload image and the one offscreen QApplication.

#include <QApplication>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace tavrin::bench {

#ifdef TAVRIN_CPU_WORKLOAD
// The assembled processor workload (TAVRIN_CPU_WORKLOAD), loaded at 0000h.
inline std::vector<uint8_t> Workload() {
    std::ifstream file(TAVRIN_CPU_WORKLOAD, std::ios::binary);
    if (!file) throw std::runtime_error("workload image missing: " TAVRIN_CPU_WORKLOAD);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
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

}  // namespace tavrin::bench
