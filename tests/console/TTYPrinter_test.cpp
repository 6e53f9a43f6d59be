// The LST printer engine on a recording printer (10-pixel characters,
// 22-pixel lines, limits 25 / 825 across and 25 / 1075 down), and into PDF files.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "console/QtPrintTarget.h"
#include "console/core/TTYPrinter.h"
#include "support/PdfText.h"
#include "support/QtTestApp.h"
#include "support/RecordingPrintTarget.h"

using tavrin::test::PdfPages;
using tavrin::test::TRecordingPrintTarget;

namespace {

void WriteTo(TTTYPrinter& printer, const std::string& bytes) {
    for (char c : bytes) printer.WriteChar(static_cast<uint8_t>(c));
}

struct Device {
    TRecordingPrintTarget target;
    std::unique_ptr<TTTYPrinter> printer = std::make_unique<TTTYPrinter>(target);
    void Write(const std::string& bytes) { WriteTo(*printer, bytes); }
};

TEST(TTYPrinter, SettersClampTheirValues) {
    Device d;
    TTTYPrinter& p = *d.printer;
    p.SetTabSpacing(0);
    p.SetLeftMargin(3.0);
    p.SetRightMargin(0.1);
    p.SetTopMargin(1.5);
    p.SetBottomMargin(-4);
    p.SetLineSpacing(0.5);
    EXPECT_EQ(std::vector<double>({double(p.TabSpacing()), p.LeftMargin(), p.RightMargin(), p.TopMargin(),
                                   p.BottomMargin(), p.LineSpacing()}),
              std::vector<double>({1, 2.5, 0.25, 1.5, 0.25, 1.0}));
    p.SetLineSpacing(4.0);  // the tab spacing's upper bound is shown through the main window
    EXPECT_EQ(p.LineSpacing(), 3.0);
}

// Character width and line height from the canvas; limits from the margins
// at the font's resolution; halves round to even.
struct MetricsCase {
    const char* name;
    int widthOfW0, height, ppi;
    double spacing, margin;
    int charWidth, lineHeight, leftLimit, rightLimit, bottomLimit;
};

class TTYPrinterMetrics : public ::testing::TestWithParam<MetricsCase> {};

TEST_P(TTYPrinterMetrics, AreComputedAtJobStart) {
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
    const TTTYPrinter& p = *d.printer;
    EXPECT_EQ(
        std::vector<int>({p.CharacterWidth(), p.LineHeight(), p.LeftLimit(), p.RightLimit(), p.BottomLimit(), p.X()}),
        std::vector<int>({c.charWidth, c.lineHeight, c.leftLimit, c.rightLimit, c.bottomLimit, c.leftLimit}));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, TTYPrinterMetrics,
    ::testing::Values(MetricsCase{"HalfLineRoundsToEvenUp", 25, 5, 100, 1.5, 0.25, 12, 8, 25, 825, 1075},
                      MetricsCase{"HalfLineRoundsToEvenDown", 20, 15, 100, 1.5, 0.25, 10, 22, 25, 825, 1075},
                      MetricsCase{"HalfMarginRoundsToEven", 20, 20, 102, 1.0, 0.25, 10, 20, 26, 824, 1074},
                      MetricsCase{"WideMargins", 20, 20, 100, 3.0, 2.0, 10, 60, 200, 650, 900}),
    [](const auto& row) { return std::string(row.param.name); });

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

TEST_P(TTYPrinterStream, ReachesThePrinter) {
    const StreamCase& c = GetParam();
    Device d;
    if (c.setup) c.setup(*d.printer);
    d.Write(c.bytes);
    // Jobs begun, glyphs, new pages, how the job stands, the last glyph.
    const std::string ending = d.target.IsPrinting ? "open" : d.target.Log.back();
    EXPECT_EQ(
        std::tuple(d.target.Count("begin"), d.target.Count("'"), d.target.Count("page"), ending, d.target.LastGlyph()),
        std::tuple(1, c.glyphs, c.pages, std::string(c.ending), std::string(c.lastGlyph)));
}

const std::string LineOf79(79, 'x');
auto NoWrap = [](TTTYPrinter& p) { p.AutoLineWrap = false; };

INSTANTIATE_TEST_SUITE_P(
    Bytes, TTYPrinterStream,
    ::testing::Values(
        StreamCase{"FirstGlyphAtTopLeft", "A", {}, 1, 0, "open", "'A' 25,25"},
        StreamCase{"ControlAndHighBytesPrintNothing", "\xFF\x7F\x9F\x0E\x1B", {}, 0, 0, "open", ""},
        StreamCase{"UpperHalfPrints", "\xA0\xE9", {}, 2, 0, "open", "'\xE9' 35,25"},
        StreamCase{"CarriageReturn", "AB\rC", {}, 3, 0, "open", "'C' 25,25"},
        StreamCase{"LineFeedKeepsColumn", "AB\nC", {}, 3, 0, "open", "'C' 45,47"},
        StreamCase{"BackspaceStopsAtLeft", "AB\b\b\bC", {}, 3, 0, "open", "'C' 25,25"},
        StreamCase{"TabToFirstStop", "A\tB", {}, 2, 0, "open", "'B' 105,25"},
        StreamCase{"TabOnStopMovesFullStep", "12345678\tX", {}, 9, 0, "open", "'X' 185,25"},
        StreamCase{"TabSpacingZeroIsOneCharacter", "A\tB", [](TTTYPrinter& p) { p.SetTabSpacing(0); }, 2, 0, "open",
                   "'B' 45,25"},
        StreamCase{"TabToRightLimitThenWrap", LineOf79 + "\tZ", {}, 80, 0, "open", "'Z' 25,47"},
        StreamCase{"TabPastRightWithoutWrapStops", LineOf79 + "\t\tZ", NoWrap, 79, 0, "open", "'x' 805,25"},
        StreamCase{"HundredWrap", std::string(100, 'A'), {}, 100, 0, "open", "'A' 215,47"},
        StreamCase{"HundredNoWrapDropsRest", std::string(100, 'A'), NoWrap, 80, 0, "open", "'A' 815,25"},
        StreamCase{"FormFeedAtStartMakesNoPage", "\fA", {}, 1, 0, "open", "'A' 25,25"},
        StreamCase{"TwoFormFeedsOnePage", "A\f\fB", {}, 2, 1, "open", "'B' 25,25"},
        StreamCase{"FormFeedThenCtrlZNoBlankSheet", "A\f\x1A", {}, 1, 0, "end", "'A' 25,25"},
        StreamCase{"IgnoredFormFeed", "A\fB", [](TTTYPrinter& p) { p.IgnoreFormFeed = true; }, 2, 0, "open",
                   "'B' 35,25"},
        StreamCase{"CtrlZOnEmptyJobAborts", "\r\n\x1A", {}, 0, 0, "abort", ""},
        StreamCase{"CtrlZIgnoredWhenOff",
                   "A\x1A"
                   "B",
                   [](TTTYPrinter& p) { p.CtrlZEndsJob = false; }, 2, 0, "open", "'B' 35,25"},
        StreamCase{"LinesPastBottomOnBlankPageReuseIt", std::string(60, '\n') + "A", {}, 1, 0, "open", "'A' 25,289"},
        StreamCase{
            "LinesPastBottomAfterTextBreakPage", "A" + std::string(60, '\n') + "B", {}, 2, 1, "open", "'B' 35,289"},
        StreamCase{"LineOnTheBottomLimitFits", "A" + std::string(35, '\n') + "B",
                   [](TTTYPrinter& p) { p.SetLineSpacing(1.5); }, 2, 0, "open", "'B' 35,1075"},
        StreamCase{"PendingBreakNeverEjected", "A" + std::string(60, '\n') + "\x1A", {}, 1, 0, "end", "'A' 25,25"},
        StreamCase{"WrappingTabsMarkThePage",
                   std::string(11, '\t') + std::string(47, '\n') + "A",
                   {},
                   1,
                   1,
                   "open",
                   "'A' 25,25"},
        StreamCase{"WrappingTabsAfterFormFeedMakeAPage",
                   "A\f" + std::string(11, '\t') + std::string(47, '\n') + "B",
                   {},
                   2,
                   2,
                   "open",
                   "'B' 25,25"}),
    [](const auto& row) { return std::string(row.param.name); });

// The PRINT command's page count counts a break as it happens, although
// its sheet waits for the next glyph.
TEST(TTYPrinter, PageCountIncludesOwedSheets) {
    const std::string TabsWrapToBottom = std::string(11, '\t') + std::string(47, '\n');
    const struct {
        std::string bytes;
        int pages;
    } cases[] = {
        {"A", 0},
        {"A\f", 1},
        {"A\f\f", 1},
        {"A\fB\f", 2},
        {"A" + std::string(60, '\n'), 1},
        {"A\f" + TabsWrapToBottom, 2},
        {"\f" + std::string(60, '\n'), 0},
        {"A\f\x1A", 0},
    };
    for (const auto& c : cases) {
        Device d;
        d.Write(c.bytes);
        EXPECT_EQ(d.printer->GetPageCount(), c.pages) << testing::PrintToString(c.bytes);
    }
}

// A new job on the same device counts its own pages from 0, however the
// job before it ended.
TEST(TTYPrinter, EachJobCountsItsPagesFromNought) {
    const std::pair<const char*, std::function<void(Device&)>> endings[] = {
        {"ctrl-z", [](Device& d) { d.Write("\x1A"); }},
        {"eject", [](Device& d) { d.printer->EndJob(); }},
        {"abort", [](Device& d) { d.printer->AbortJob(); }},
    };
    for (const auto& [name, end] : endings) {
        SCOPED_TRACE(name);
        Device d;
        d.Write("A\fB\fC");
        ASSERT_EQ(d.printer->GetPageCount(), 2);
        end(d);
        EXPECT_EQ(d.printer->GetPageCount(), 0) << "idle";
        d.Write("D");
        EXPECT_EQ(d.printer->GetPageCount(), 0) << "the next job's first page";
        d.Write("\fE");
        EXPECT_EQ(d.printer->GetPageCount(), 1);
    }
}

TEST(TTYPrinter, EndingsCloseTheJobOnce) {
    const struct {
        const char* name;
        std::string bytes;
        std::function<void(Device&)> finish;
        const char* last;
    } cases[] = {
        {"abort", "AB", [](Device& d) { d.printer->AbortJob(); }, "abort"},
        {"eject", "AB", [](Device& d) { d.printer->EndJob(); }, "end"},
        {"eject of an empty job aborts", "\f\t", [](Device& d) { d.printer->EndJob(); }, "abort"},
        {"destruction of an empty job aborts", "\f", [](Device& d) { d.printer.reset(); }, "abort"},
    };
    for (const auto& c : cases) {
        Device d;
        d.Write(c.bytes);
        c.finish(d);
        EXPECT_EQ(d.target.Log.back(), c.last) << c.name;
        EXPECT_EQ(d.target.Count("end") + d.target.Count("abort"), 1) << c.name;
        if (d.printer) {
            d.printer->EndJob();
            d.printer->AbortJob();
            EXPECT_EQ(d.target.Count("end") + d.target.Count("abort"), 1) << c.name << ": nothing left to close";
        }
    }
}

TEST(TTYPrinter, WithoutPrinterNothingHappens) {
    Device d;
    d.target.Selected = false;
    d.Write("AB\x1A");
    d.printer->EndJob();
    d.printer->AbortJob();
    EXPECT_FALSE(d.printer->IsReady());
    EXPECT_TRUE(d.target.Log.empty());
}

TEST(TTYPrinter, MarginChangeRecomputesLimits) {
    Device d;
    d.Write("A");
    d.printer->SetLeftMargin(1.0);
    d.Write("\rB");
    EXPECT_EQ(d.target.LastGlyph(), "'B' 100,25");
}

// The panel's set-up, every value at one end of its range and the options
// opposite, applied over the other row: each value lands where it belongs.
TEST(LstPrinterSetup, ApplyAllGivesTheDeviceEveryValue) {
    const TLstPrinterSetup low{TTTYPrinter::MinTabSpacing,
                               TTTYPrinter::MinMargin,
                               TTTYPrinter::MaxMargin,
                               TTTYPrinter::MinLineSpacing,
                               true,
                               false,
                               false};
    const TLstPrinterSetup high{TTTYPrinter::MaxTabSpacing,
                                TTTYPrinter::MaxMargin,
                                TTTYPrinter::MinMargin,
                                TTTYPrinter::MaxLineSpacing,
                                false,
                                true,
                                true};
    const auto applied = [](const TTTYPrinter& p) {
        return std::tuple(p.TabSpacing(), p.TopMargin(), p.BottomMargin(), p.LeftMargin(), p.RightMargin(),
                          p.LineSpacing(), p.IgnoreFormFeed, p.AutoLineWrap, p.CtrlZEndsJob);
    };
    const auto expected = [](const TLstPrinterSetup& s) {
        return std::tuple(s.TabSpacing, s.TopBottomMargin, s.TopBottomMargin, s.LeftRightMargin, s.LeftRightMargin,
                          s.LineSpacing, s.IgnoreFormFeed, s.AutoLineWrap, s.CtrlZEndsJob);
    };
    for (const auto& [before, setup] : {std::pair(high, low), std::pair(low, high)}) {
        Device d;
        before.ApplyAll(*d.printer);
        setup.ApplyAll(*d.printer);
        EXPECT_EQ(applied(*d.printer), expected(setup)) << "tab spacing " << setup.TabSpacing;
        // The options alone leave the page values as they were.
        before.ApplyOptions(*d.printer);
        EXPECT_EQ(std::tuple(d.printer->IgnoreFormFeed, d.printer->AutoLineWrap, d.printer->CtrlZEndsJob),
                  std::tuple(before.IgnoreFormFeed, before.AutoLineWrap, before.CtrlZEndsJob));
        EXPECT_EQ(d.printer->TabSpacing(), setup.TabSpacing);
    }
}

struct PdfDevice {
    QTemporaryDir dir;
    std::string file;
    std::unique_ptr<TQtPrintTarget> target;
    std::unique_ptr<TTTYPrinter> printer;

    PdfDevice() {
        tavrin::test::QtTestApp();
        file = dir.filePath(QStringLiteral("lst.pdf")).toStdString();
        target = std::make_unique<TQtPrintTarget>(file);
        target->SelectPdf();
        printer = std::make_unique<TTTYPrinter>(*target);
    }
    void Write(const std::string& bytes) { WriteTo(*printer, bytes); }
};

TEST(QtPrintTarget, PdfEntryEndsThePrinterList) {
    PdfDevice d;
    EXPECT_EQ(d.target->Printers().back().toStdString(), TQtPrintTarget::PdfEntryName);
    d.target->SetPrinterIndex(-1);
    EXPECT_FALSE(d.printer->IsReady());
    EXPECT_EQ(d.target->SelectedPrinterName(), std::nullopt);
}

// Each job writes a file of its own, an empty one none. (The pages of a
// job are read back by the main window's printer test.)
TEST(QtPrintTarget, JobsNeverOverwriteEarlierFilesAndEmptyJobsLeaveNone) {
    PdfDevice d;
    d.Write("\r\n\f\x1A");
    EXPECT_FALSE(std::filesystem::exists(d.file));
    d.Write("one\x1A");
    EXPECT_FALSE(d.printer->IsPrinting());
    d.Write("two\x1A");
    const std::string second = d.dir.filePath(QStringLiteral("lst-2.pdf")).toStdString();
    EXPECT_EQ(d.target->LastPdfFile(), second);
    EXPECT_NE(PdfPages(d.file).at(0).find("one"), std::string::npos);
    EXPECT_NE(PdfPages(second).at(0).find("two"), std::string::npos);
}

}  // namespace
