// The LST printer engine on a recording printer: 10-pixel characters,
// 22-pixel lines, limits 25 / 825 across and 25 / 1075 down.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "console/TTYPrinter.h"
#include "support/RecordingPrintTarget.h"

using tavrin::test::TRecordingPrintTarget;

namespace {

struct Device {
    TRecordingPrintTarget target;
    std::unique_ptr<TTTYPrinter> printer = std::make_unique<TTTYPrinter>(target);

    void Write(const std::string& bytes)
    {
        for (char c : bytes)
            printer->WriteChar(static_cast<uint8_t>(c));
    }
};

TEST(TTYPrinter, DefaultsBeforeAnyJob)
{
    Device d;
    TTTYPrinter& p = *d.printer;
    EXPECT_EQ(p.TopMargin(), 0.25);
    EXPECT_EQ(p.BottomMargin(), 0.25);
    EXPECT_EQ(p.LeftMargin(), 0.25);
    EXPECT_EQ(p.RightMargin(), 0.25);
    EXPECT_EQ(p.LineSpacing(), 1.1);
    EXPECT_EQ(p.TabSpacing(), 8);
    EXPECT_TRUE(p.AutoLineWrap);
    EXPECT_FALSE(p.IgnoreFormFeed);
    EXPECT_TRUE(p.CtrlZEndsJob);
    EXPECT_TRUE(p.IsReady());
    EXPECT_FALSE(p.IsPrinting());
    EXPECT_EQ(p.GetPageCount(), 0);
    EXPECT_TRUE(d.target.Log.empty());
}

struct ClampCase {
    const char* name;
    std::function<void(TTTYPrinter&)> set;
    std::function<double(const TTTYPrinter&)> get;
    double expected;
};

class TTYPrinterClamp : public ::testing::TestWithParam<ClampCase> {};

TEST_P(TTYPrinterClamp, StoresTheClampedValue)
{
    Device d;
    GetParam().set(*d.printer);
    EXPECT_EQ(GetParam().get(*d.printer), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Setters, TTYPrinterClamp,
    ::testing::Values(
        ClampCase{"TabZeroIsOne", [](TTTYPrinter& p) { p.SetTabSpacing(0); }, [](const TTTYPrinter& p) { return double(p.TabSpacing()); }, 1},
        ClampCase{"TabTwentyIsSixteen", [](TTTYPrinter& p) { p.SetTabSpacing(20); }, [](const TTTYPrinter& p) { return double(p.TabSpacing()); }, 16},
        ClampCase{"TabFiveKept", [](TTTYPrinter& p) { p.SetTabSpacing(5); }, [](const TTTYPrinter& p) { return double(p.TabSpacing()); }, 5},
        ClampCase{"LeftMarginThreeIsMax", [](TTTYPrinter& p) { p.SetLeftMargin(3.0); }, [](const TTTYPrinter& p) { return p.LeftMargin(); }, 2.5},
        ClampCase{"RightMarginSmallIsMin", [](TTTYPrinter& p) { p.SetRightMargin(0.1); }, [](const TTTYPrinter& p) { return p.RightMargin(); }, 0.25},
        ClampCase{"TopMarginKept", [](TTTYPrinter& p) { p.SetTopMargin(1.5); }, [](const TTTYPrinter& p) { return p.TopMargin(); }, 1.5},
        ClampCase{"BottomMarginNegativeIsMin", [](TTTYPrinter& p) { p.SetBottomMargin(-4); }, [](const TTTYPrinter& p) { return p.BottomMargin(); }, 0.25},
        ClampCase{"SpacingHalfIsOne", [](TTTYPrinter& p) { p.SetLineSpacing(0.5); }, [](const TTTYPrinter& p) { return p.LineSpacing(); }, 1.0},
        ClampCase{"SpacingFourIsThree", [](TTTYPrinter& p) { p.SetLineSpacing(4.0); }, [](const TTTYPrinter& p) { return p.LineSpacing(); }, 3.0}),
    [](const auto& info) { return std::string(info.param.name); });

// Character width and line height from the canvas; limits from the margins
// at the font's resolution; halves round to even.
struct MetricsCase {
    const char* name;
    int widthOfW0, height, ppi;
    double spacing, margin;
    int charWidth, lineHeight, leftLimit, rightLimit, bottomLimit;
};

class TTYPrinterMetrics : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(TTYPrinterMetrics, AreComputedAtJobStart)
{
    const MetricsCase& c = GetParam();
    Device d;
    d.target.WidthOfW0 = c.widthOfW0;
    d.target.Height = c.height;
    d.target.Ppi = c.ppi;
    d.printer->SetLineSpacing(c.spacing);
    d.printer->SetLeftMargin(c.margin);
    d.printer->SetRightMargin(c.margin);
    d.printer->SetBottomMargin(c.margin);
    d.Write("\r");
    EXPECT_EQ(d.printer->CharacterWidth(), c.charWidth);
    EXPECT_EQ(d.printer->LineHeight(), c.lineHeight);
    EXPECT_EQ(d.printer->LeftLimit(), c.leftLimit);
    EXPECT_EQ(d.printer->RightLimit(), c.rightLimit);
    EXPECT_EQ(d.printer->BottomLimit(), c.bottomLimit);
    EXPECT_EQ(d.printer->X(), c.leftLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TTYPrinterMetrics,
    ::testing::Values(
        MetricsCase{"Defaults", 20, 20, 100, 1.1, 0.25, 10, 22, 25, 825, 1075},
        MetricsCase{"OddW0WidthRoundsDown", 21, 20, 100, 1.1, 0.25, 10, 22, 25, 825, 1075},
        MetricsCase{"HalfLineRoundsToEvenUp", 25, 5, 100, 1.5, 0.25, 12, 8, 25, 825, 1075},
        MetricsCase{"HalfLineRoundsToEvenDown", 20, 15, 100, 1.5, 0.25, 10, 22, 25, 825, 1075},
        MetricsCase{"HalfMarginRoundsToEven", 20, 20, 102, 1.0, 0.25, 10, 20, 26, 824, 1074},
        MetricsCase{"WideMargins", 20, 20, 100, 3.0, 2.0, 10, 60, 200, 650, 900}),
    [](const auto& info) { return std::string(info.param.name); });

// A byte stream and what reached the printer.
struct StreamCase {
    const char* name;
    std::string bytes;
    std::function<void(TTTYPrinter&)> setup;
    int glyphs;
    int pages;           // NewPage calls
    const char* ending;  // "open", "end" or "abort"
    const char* lastGlyph;
};

class TTYPrinterStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(TTYPrinterStream, ReachesThePrinter)
{
    const StreamCase& c = GetParam();
    Device d;
    if (c.setup)
        c.setup(*d.printer);
    d.Write(c.bytes);
    EXPECT_EQ(d.target.Count("begin"), 1);
    EXPECT_EQ(d.target.Count("'"), c.glyphs);
    EXPECT_EQ(d.target.Count("page"), c.pages);
    const std::string ending = c.ending;
    EXPECT_EQ(d.target.IsPrinting, ending == "open");
    if (ending != "open") {
        EXPECT_EQ(d.target.Log.back(), ending);
    }
    EXPECT_EQ(d.target.LastGlyph(), c.lastGlyph);
}

const std::string HundredA(100, 'A');
const std::string LineOf79(79, 'x');

auto NoWrap = [](TTTYPrinter& p) { p.AutoLineWrap = false; };

INSTANTIATE_TEST_SUITE_P(
    Bytes, TTYPrinterStream,
    ::testing::Values(
        StreamCase{"FirstGlyphAtTopLeft", "A", {}, 1, 0, "open", "'A' 25,25"},
        StreamCase{"IgnoredFirstByteStillOpensJob", "\x85", {}, 0, 0, "open", ""},
        StreamCase{"ByteFFPrintsNothing", "\xFF\x7F\x9F", {}, 0, 0, "open", ""},
        StreamCase{"UpperHalfPrints", "\xA0\xE9", {}, 2, 0, "open", "'\xE9' 35,25"},
        StreamCase{"CarriageReturn", "AB\rC", {}, 3, 0, "open", "'C' 25,25"},
        StreamCase{"LineFeedKeepsColumn", "AB\nC", {}, 3, 0, "open", "'C' 45,47"},
        StreamCase{"BackspaceStopsAtLeft", "AB\b\b\bC", {}, 3, 0, "open", "'C' 25,25"},
        StreamCase{"TabToFirstStop", "A\tB", {}, 2, 0, "open", "'B' 105,25"},
        StreamCase{"TabOnStopMovesFullStep", "12345678\tX", {}, 9, 0, "open", "'X' 185,25"},
        StreamCase{"TabSpacingZeroIsOneCharacter", "A\tB", [](TTTYPrinter& p) { p.SetTabSpacing(0); }, 2, 0, "open", "'B' 45,25"},
        StreamCase{"TabToRightLimitStays", LineOf79 + "\tZ", {}, 80, 0, "open", "'Z' 25,47"},
        StreamCase{"TabPastRightWraps", LineOf79 + "\t\tZ", {}, 80, 0, "open", "'Z' 25,47"},
        StreamCase{"TabPastRightWithoutWrapStops", LineOf79 + "\t\tZ", NoWrap, 79, 0, "open", "'x' 805,25"},
        StreamCase{"HundredWrap", HundredA, {}, 100, 0, "open", "'A' 215,47"},
        StreamCase{"HundredNoWrapDropsRest", HundredA, NoWrap, 80, 0, "open", "'A' 815,25"},
        StreamCase{"FormFeedAtStartMakesNoPage", "\fA", {}, 1, 0, "open", "'A' 25,25"},
        StreamCase{"TwoFormFeedsOnePage", "A\f\fB", {}, 2, 1, "open", "'B' 25,25"},
        StreamCase{"FormFeedThenCtrlZNoBlankSheet", "A\f\x1A", {}, 1, 0, "end", "'A' 25,25"},
        StreamCase{"IgnoredFormFeed", "A\fB", [](TTTYPrinter& p) { p.IgnoreFormFeed = true; }, 2, 0, "open", "'B' 35,25"},
        StreamCase{"CtrlZEndsJob", "AB\x1A", {}, 2, 0, "end", "'B' 35,25"},
        StreamCase{"CtrlZOnEmptyJobAborts", "\r\n\x1A", {}, 0, 0, "abort", ""},
        StreamCase{"CtrlZIgnoredWhenOff", "A\x1A" "B", [](TTTYPrinter& p) { p.CtrlZEndsJob = false; }, 2, 0, "open", "'B' 35,25"},
        StreamCase{"LinesPastBottomOnBlankPageReuseIt", std::string(60, '\n') + "A", {}, 1, 0, "open", "'A' 25,289"},
        StreamCase{"LinesPastBottomAfterTextBreakPage", "A" + std::string(60, '\n') + "B", {}, 2, 1, "open", "'B' 35,289"},
        StreamCase{"PendingBreakNeverEjected", "A" + std::string(60, '\n') + "\x1A", {}, 1, 0, "end", "'A' 25,25"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TTYPrinter, WrappingTabsMarkThePageSoLineFeedsPastBottomBreakIt)
{
    Device d;
    d.Write(std::string(11, '\t'));  // ten stops fill the line, the eleventh wraps
    EXPECT_FALSE(d.printer->PageBlank());
    d.Write(std::string(47, '\n') + "A");
    EXPECT_EQ(d.target.Count("page"), 1);
    EXPECT_EQ(d.target.LastGlyph(), "'A' 25,25");
    EXPECT_EQ(d.printer->GetPageCount(), 1);
}

TEST(TTYPrinter, CtrlZEndsTheJobAndTheNextByteStartsAFreshOne)
{
    Device d;
    d.Write("A\fB\fC");
    EXPECT_EQ(d.printer->GetPageCount(), 2);
    d.Write("\x1A");
    EXPECT_FALSE(d.printer->IsPrinting());
    EXPECT_EQ(d.printer->GetPageCount(), 0);
    d.Write("D");
    EXPECT_EQ(d.target.Count("begin"), 2);
    EXPECT_EQ(d.printer->GetPageCount(), 0);
    EXPECT_EQ(d.target.LastGlyph(), "'D' 25,25");
}

TEST(TTYPrinter, AbortDiscardsAndIsNotPrinting)
{
    Device d;
    d.Write("AB");
    d.printer->AbortJob();
    EXPECT_EQ(d.target.Log.back(), "abort");
    EXPECT_FALSE(d.printer->IsPrinting());
    d.printer->AbortJob();
    d.printer->EndJob();
    EXPECT_EQ(d.target.Count("abort"), 1);
    EXPECT_EQ(d.target.Count("end"), 0);
}

TEST(TTYPrinter, DestructionPrintsTheRunningJob)
{
    Device d;
    d.Write("Hi");
    d.printer.reset();
    EXPECT_EQ(d.target.Log.back(), "end");
}

TEST(TTYPrinter, DestructionDiscardsAJobWithNothingDrawn)
{
    Device d;
    d.Write("\f");
    d.printer.reset();
    EXPECT_EQ(d.target.Log.back(), "abort");
}

TEST(TTYPrinter, WithoutPrinterNothingHappens)
{
    Device d;
    d.target.Selected = false;
    d.Write("AB\x1A");
    d.printer->EndJob();
    d.printer->AbortJob();
    EXPECT_FALSE(d.printer->IsReady());
    EXPECT_TRUE(d.target.Log.empty());
}

TEST(TTYPrinter, PrintingSystemErrorsReachTheCaller)
{
    Device d;
    d.target.FailBeginDoc = true;
    EXPECT_THROW(d.printer->WriteChar('A'), std::runtime_error);
    EXPECT_FALSE(d.printer->IsPrinting());
}

TEST(TTYPrinter, MarginChangeRecomputesLimits)
{
    Device d;
    d.Write("A");
    d.printer->SetLeftMargin(1.0);
    EXPECT_EQ(d.printer->LeftLimit(), 100);
    d.Write("\rB");
    EXPECT_EQ(d.target.LastGlyph(), "'B' 100,25");
}

} // namespace
