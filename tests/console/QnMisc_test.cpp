// Family roots: the version text and the millisecond resolution of the clock.
#include <gtest/gtest.h>

#include <QApplication>

#include "console/QnMisc.h"
#include "console/QnMiscControls.h"
#include "support/QtTestApp.h"

namespace {

TEST(QnMisc, TicksPerMillisecond) {
    struct Case { uint64_t frequency; uint32_t expected; };
    const Case cases[] = {
        {3579545, 3580},      // remainder 545 rounds up
        {10000000, 10000},
        {2500500, 2500},      // remainder 500 stays
        {2500501, 2501},
        {999, 1},
        {1, 0},
        {0, 0},                // no counter
        {1ull << 32, 0},       // beyond 32 bits
        {(1ull << 32) + 5000, 0},
        {0xFFFFFFFFull, 4294967},
        {1000000000, 1000000},
    };
    for (const Case& c : cases) EXPECT_EQ(ComputePerformanceTicksPerMs(c.frequency), c.expected) << c.frequency;
    EXPECT_EQ(PerformanceTicksPerMs, ComputePerformanceTicksPerMs(PerformanceCounterFrequency()));
    EXPECT_GT(PerformanceTicksPerMs, 0u);
    const uint64_t a = PerformanceCounterNow();
    EXPECT_LE(a, PerformanceCounterNow());
}

TEST(QnMisc, VersionIsFixed) {
    tavrin::test::QtTestApp();
    TQnBaseComponent component;
    TQnBaseWinControl win;
    TQnBaseGraphicControl graphic;
    for (const char* text : {"v9.99", "", "anything"}) {
        component.SetVersion(text);
        win.SetVersion(text);
        graphic.SetVersion(text);
        EXPECT_EQ(component.Version(), "v4.06");
        EXPECT_EQ(win.Version(), "v4.06");
        EXPECT_EQ(graphic.Version(), "v4.06");
    }
    EXPECT_EQ(graphic.focusPolicy(), Qt::NoFocus);
}

}  // namespace
