#pragma once
// A program folder of a benchmark's own, for the benchmarks that open a main
// window (they link tavrin_test_support).

#include <cstdlib>

#include "support/TempFolder.h"

namespace tavrin::bench {

// A fresh temporary folder that TAVRIN_HOME names while this lives, so a
// main window keeps its settings and images there.
class TBenchHome {
public:
    TBenchHome() { ::setenv("TAVRIN_HOME", FFolder.Path().c_str(), 1); }
    ~TBenchHome() { ::unsetenv("TAVRIN_HOME"); }
    TBenchHome(const TBenchHome&) = delete;
    TBenchHome& operator=(const TBenchHome&) = delete;

    const tavrin::test::TTempFolder& Folder() const { return FFolder; }

private:
    tavrin::test::TTempFolder FFolder;
};

}  // namespace tavrin::bench
