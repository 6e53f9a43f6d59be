// VT100 painting, pixel by pixel on an offscreen image.
#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>

#include <string>
#include <vector>

#include "console/QnTerminal.h"
#include "support/NamedRows.h"
#include "console/QnTerminalPaint.h"
#include "console/core/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"
#include "support/QtTestApp.h"

namespace {

using tavrin::test::TFakeTerminalHost;

// Counts its text outputs.
class CountingPainter : public TQnQtPainter {
public:
    using TQnQtPainter::TQnQtPainter;
    void TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TColor text,
                 TColor fill, const std::string& font, bool doubleHeight) override {
        ++textOuts;
        TQnQtPainter::TextOut(x, y, opaque, glyphs, count, advance, text, fill, font, doubleHeight);
    }
    int textOuts = 0;
};

// Has and None look for pixels near the colour (thin lines are
// antialiased); All wants every pixel exactly.
enum Expect { Has, All, None };

bool Near(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}
enum Phase { Painted, BlinkOff, BlinkOn };

// A pixel box within cell (col, row), 1-based; x1 / y1 at or below 0 count
// back from the cell's width / height.
struct Probe {
    int col, row;
    int x0, x1, y0, y1;
    Expect expect;
    TColor color;
};

struct PixelCase {
    const char* name;
    std::string input;
    TQnCharAttrs mark;  // added to cell (1, 1) after the input
    Phase phase;
    std::vector<Probe> probes;
    int textOutsInRow1 = -1;  // -1: not counted
    bool upperAscii = false;
    int leftCol = 1, topRow = 1;  // first column and row in view
};

constexpr TColor Black = 0x000000, Silver = 0xC0C0C0, White = 0xFFFFFF;
// The whole cell, and its top pixel row.
Probe Cell(int col, int row, Expect e, TColor c) { return Probe{col, row, 0, 0, 0, 0, e, c}; }
Probe TopRow(int col, int row, Expect e, TColor c) { return Probe{col, row, 0, 0, 0, 1, e, c}; }

std::vector<PixelCase> Cases() {
    const int under = -2;  // the underline row: two above the cell's bottom
    return {
        {"Plain", "M", 0, Painted, {TopRow(1, 1, All, Black), Cell(1, 1, Has, Silver), Cell(2, 1, None, Silver)}},
        {"Reverse", "\x1b[7mM", 0, Painted, {TopRow(1, 1, All, Silver), Cell(1, 1, Has, Black)}},
        {"Selected", "M", atSelected, Painted, {TopRow(1, 1, All, Silver), Cell(1, 1, Has, Black)}},
        {"ReverseAndSelected", "\x1b[7mM", atSelected, Painted, {TopRow(1, 1, All, Black), Cell(1, 1, Has, Silver)}},
        {"ReverseSelectedScreen",
         "\x1b[?5h\x1b[7mM",
         atSelected,
         Painted,
         {TopRow(1, 1, All, Silver), Cell(1, 1, Has, Black), TopRow(2, 1, All, Silver)}},
        {"BoldRed", "\x1b[1;31mM", 0, Painted, {Cell(1, 1, Has, 0x8080FF), TopRow(1, 1, All, Black)}},
        {"BoldReverseFillBrightened", "\x1b[1;7mM", 0, Painted, {TopRow(1, 1, All, White)}},
        {"InvisibleBold", "\x1b[1;8mM", 0, Painted, {Cell(1, 1, All, Black)}},
        {"Underline",
         "\x1b[4m ",
         0,
         Painted,
         {Probe{1, 1, 0, 0, under, under + 1, All, Silver}, Probe{1, 1, 0, 0, 0, under, All, Black}}},
        {"Strikethrough",
         " ",
         atStrikethrough,
         Painted,
         {Cell(1, 1, Has, Silver), Probe{1, 1, 0, 0, under, 0, All, Black}}},
        // Double width doubles the advance, not the glyph.
        {"DoubleWidth", "\x1b#6MM", 0, Painted, {Cell(2, 1, None, Silver), Cell(3, 1, Has, Silver)}},
        // Scrolled by one cell, a double-width row starts half a character left.
        {"DoubleWidthFromColumn2",
         "\x1b#6 M",
         0,
         Painted,
         {Cell(2, 1, Has, Silver), Cell(3, 1, None, Silver)},
         -1,
         false,
         2},
        // The view's first row counts once, frozen or not.
        {"ViewFromRow2", "\r\nM", 0, Painted, {Cell(1, 1, Has, Silver), Cell(1, 2, None, Silver)}, -1, false, 1, 2},
        {"TopHalfKeepsToItsRow", "\x1b#3M\r\n", 0, Painted, {Cell(1, 1, Has, Silver), Cell(1, 2, None, Silver)}},
        {"LoneBottomHalfDrawsItsOwnText",
         "\r\n\x1b#4M",
         0,
         Painted,
         {Cell(1, 1, None, Silver), Cell(1, 2, Has, Silver)}},
        {"BlinkOff", "\x1b[5mM", 0, BlinkOff, {Cell(1, 1, All, Black)}},
        {"BlinkOffIgnoresReverse", "\x1b[5;7mM", atSelected, BlinkOff, {Cell(1, 1, All, Black)}},
        {"BlinkOffReversedScreen", "\x1b[?5h\x1b[5mM", 0, BlinkOff, {Cell(1, 1, All, Silver)}},
        {"BlinkOn", "\x1b[5mM", 0, BlinkOn, {Cell(1, 1, Has, Silver), TopRow(1, 1, All, Black)}},
        // The vertical line reaches above the x-height, the letter does not;
        // the horizontal line spans the cell.
        {"GraphicsVerticalLine", "\x1b(0x", 0, Painted, {Probe{1, 1, 0, 0, 1, 4, Has, Silver}}},
        {"AsciiLetterX", "x", 0, Painted, {Probe{1, 1, 0, 0, 1, 4, None, Silver}}},
        {"GraphicsHorizontalLine", "\x1b(0q", 0, Painted, {Probe{1, 1, 0, 1, 0, 0, Has, Silver}}},
        {"GraphicsRunIsOneOutput", "\x1b(0lqqqk", 0, Painted, {Cell(5, 1, Has, Silver)}, 2},
        {"FontChangeSplitsTheRun",
         "A\xB3"
         "B",
         0,
         Painted,
         {Cell(2, 1, Has, Silver)},
         3,
         true},
    };
}

class PixelTable : public testing::TestWithParam<PixelCase> {};

TEST_P(PixelTable, CellsShowAsExpected) {
    tavrin::test::QtTestApp();
    const PixelCase& c = GetParam();
    const QFont font = TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 16);
    const TQnGlyphCell cell = QnGlyphCellOf(font);
    const int w = cell.Width, h = cell.Height;
    TFakeTerminalHost host;
    host.view = TQnTerminalView{c.leftCol, c.topRow, 80, 24 - c.topRow + 1, w, h};
    host.freeze = false;  // as the machine's window has it
    TQnVT100Emulator emu;
    emu.DisplayUpperASCII = c.upperAscii;
    emu.SetTerminal(&host);
    emu.ProcessBlock(reinterpret_cast<const uint8_t*>(c.input.data()), static_cast<int>(c.input.size()), csPort);
    emu.Buffer()->GetLineAttrPtrForWrite(1)[0] |= c.mark;

    QImage image(80 * w, 24 * h, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        TQnQtPainter qt(image, font, image.rect(), nullptr, cell.Ascent);
        emu.Paint(qt);
        if (c.phase != Painted) {
            ASSERT_TRUE(emu.HasBlinkingText());
            emu.BlinkPaint(qt, c.phase == BlinkOn);
        }
    }
    if (c.textOutsInRow1 >= 0) {
        CountingPainter counting(image, font, QRect(0, 0, 80 * w, h), nullptr, cell.Ascent);
        emu.Paint(counting);
        EXPECT_EQ(counting.textOuts, c.textOutsInRow1);
    }
    for (const Probe& p : c.probes) {
        const int x0 = (p.col - 1) * w + p.x0, x1 = (p.col - 1) * w + (p.x1 <= 0 ? w + p.x1 : p.x1);
        const int y0 = (p.row - 1) * h + (p.y0 < 0 ? h + p.y0 : p.y0);
        const int y1 = (p.row - 1) * h + (p.y1 <= 0 ? h + p.y1 : p.y1);
        int matching = 0, total = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x, ++total)
                if (Near(image.pixelColor(x, y), ToQColor(p.color), p.expect == All ? 0 : 0x60)) ++matching;
        const bool ok = p.expect == Has ? matching > 0 : p.expect == All ? matching == total : matching == 0;
        EXPECT_TRUE(ok) << "cell " << p.col << "," << p.row << " box " << x0 << ".." << x1 << " x " << y0 << ".." << y1
                        << ": " << matching << " of " << total << " pixels match " << std::hex << p.color;
    }
}

INSTANTIATE_TEST_SUITE_P(QnVT100Paint, PixelTable, testing::ValuesIn(Cases()), tavrin::test::RowName);

// Notes the cells the blink-off phase clears, as "row:first-last" runs.
class BlinkRunRecorder : public TQnTerminalPainter {
public:
    explicit BlinkRunRecorder(const TQnTerminalView& view) : FView(view) {}
    TQnRect ClipBox() const override { return TQnRect{0, 0, 80 * FView.CharWidth, 24 * FView.CharHeight}; }
    void FillRect(const TQnRect& r, TColor) override {
        const int row = r.Top / FView.CharHeight + FView.TopRow;
        const int first = r.Left / FView.CharWidth + FView.LeftCol, last = r.Right / FView.CharWidth;
        runs +=
            (runs.empty() ? "" : " ") + std::to_string(row) + ":" + std::to_string(first) + "-" + std::to_string(last);
    }
    void TextOut(int, int, const TQnRect&, const char*, int, int, TColor, TColor, const std::string&, bool) override {}
    void Line(int, int, int, int, TColor) override {}
    std::string runs;

private:
    TQnTerminalView FView;
};

struct BlinkCase {
    const char* name;
    std::string input;
    bool clearScreen;       // the emulator's ClearScreen afterwards (the console's "Clear CRT Display")
    int topRow;             // of the view; 0 shows the newest scrollback row first
    std::string runs;       // the blinking cells in view, by row
    bool oneBlock = false;  // the input handed over at once, as the console passes on a burst of bytes
};
TAVRIN_PRINT_AS_NAME(BlinkCase)
class BlinkingCells : public testing::TestWithParam<BlinkCase> {};

TEST_P(BlinkingCells, FollowTheTextAsItIsWrittenErasedAndScrolled) {
    const BlinkCase& c = GetParam();
    TFakeTerminalHost host;
    host.view.TopRow = c.topRow;
    TQnVT100Emulator emu;
    emu.SetTerminal(&host);
    if (c.oneBlock) {
        // Its text between sequences is stored a run at a time.
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(c.input.data()), static_cast<int>(c.input.size()), csPort);
    } else {
        // A byte at a time, as a program printing character by character sends them.
        for (char ch : c.input) {
            const auto byte = static_cast<uint8_t>(ch);
            emu.ProcessBlock(&byte, 1, csPort);
        }
    }
    if (c.clearScreen) emu.ClearScreen();
    BlinkRunRecorder painter(host.view);
    emu.BlinkPaint(painter, false);
    EXPECT_EQ(painter.runs, c.runs);
    EXPECT_EQ(emu.HasBlinkingText(), !c.runs.empty());
}

const std::string Blink = "\x1b[5m", Plain = "\x1b[0m";
INSTANTIATE_TEST_SUITE_P(
    QnVT100Paint, BlinkingCells,
    testing::Values(
        BlinkCase{"Written", Blink + "AB" + Plain + "C", false, 1, "1:1-2"},
        BlinkCase{"OnTwoRows", Blink + "A\r\nB", false, 1, "1:1-1 2:1-1"},
        BlinkCase{"Overwritten", Blink + "AB" + Plain + "\rX", false, 1, "1:2-2"},
        BlinkCase{"OverwrittenInPartInOneBlock", Blink + "HELLO" + Plain + "\x1b[1;2Hxy", false, 1, "1:1-1 1:4-5",
                  true},
        BlinkCase{"OverwrittenWhollyInOneBlock", Blink + "HELLO" + Plain + "\rabcde", false, 1, "", true},
        BlinkCase{"ErasedLine", Blink + "AB" + Plain + "\x1b[2K", false, 1, ""},
        BlinkCase{"ErasedScreen", Blink + "AB" + Plain + "\x1b[2J", false, 1, ""},
        BlinkCase{"ErasedByTheCurrentRendition", "AB" + Blink + "\x1b[K", false, 1, "1:3-80"},
        BlinkCase{"ClearedByTheConsole", Blink + "AB" + Plain, true, 1, ""},
        BlinkCase{"InsertedBefore", Blink + "AB" + Plain + "\x1b[H\x1b[2@", false, 1, "1:3-4"},
        BlinkCase{"DeletedBefore", "xy" + Blink + "AB" + Plain + "\x1b[H\x1b[2P", false, 1, "1:1-2"},
        BlinkCase{"LineDeletedAbove", "\r\n" + Blink + "AB" + Plain + "\x1b[H\x1b[M", false, 1, "1:1-2"},
        BlinkCase{"ScrolledDownByReverseIndex", Blink + "AB" + Plain + "\x1b[H\x1bM", false, 1, "2:1-2"},
        BlinkCase{"ScrolledOutOfView", Blink + "AB" + Plain + "\x1b[24;1H\n", false, 1, ""},
        BlinkCase{"ScrolledIntoTheScrollbackInView", Blink + "AB" + Plain + "\x1b[24;1H\n", false, 0, "0:1-2"},
        BlinkCase{"ScrolledInRegion", "\x1b[2;5r\x1b[5;1H" + Blink + "AB" + Plain + "\n", false, 1, "4:1-2"},
        BlinkCase{"ScrolledOffTheRegionTop", "\x1b[2;5r\x1b[2;1H" + Blink + "AB" + Plain + "\x1b[5;1H\n", false, 1,
                  ""}),
    tavrin::test::RowName);

}  // namespace
