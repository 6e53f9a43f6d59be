// The TTY console control's painting, offscreen: the cell pitch is the
// font's advance, and at a screen scale above 1 the text is drawn at the
// screen's resolution, not enlarged.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include <string>
#include <vector>

#include "console/SimpleTerminal.h"
#include "support/NamedRows.h"
#include "support/PixelGrab.h"
#include "support/QtTestApp.h"

namespace {

using namespace tavrin::test;

const QColor White(255, 255, 255);
// The console's own font (a fallback face here) and a larger one.
QFont Terminal9pt() { return TSimpleTerminal::MakeFontPoints("Terminal", 9); }
QFont Mono16px() { return TSimpleTerminal::MakeFont("DejaVu Sans Mono", 16); }

struct TtyHarness {
    // The font is made once the application exists.
    explicit TtyHarness(QFont (*font)()) {
        tty.SetTerminalFont(font());
        tty.SetColor(0x00FFFFFF);
        tty.SetLowVideoFontColor(0x00000000);
        tty.SetDisplayCursor(false);
        tty.show();
        QApplication::processEvents();
    }
    QImage Render(qreal ratio) { return RenderAt(*tty.viewport(), ratio); }

    QApplication& app = QtTestApp();
    TSimpleTerminal tty;
};

struct PitchCase {
    const char* name;
    QFont (*font)();
};
TAVRIN_PRINT_AS_NAME(PitchCase)
class TtyCellPitch : public testing::TestWithParam<PitchCase> {};

TEST_P(TtyCellPitch, IsTheFontsAdvance) {
    TtyHarness h(GetParam().font);
    const int advance = QFontMetrics(h.tty.TerminalFont()).horizontalAdvance(QLatin1Char('M'));
    EXPECT_EQ(h.tty.CellWidth(), advance);
    for (int column : {0, 10, 20}) {
        h.tty.GotoXY(column, 0);
        h.tty.WriteChar('|');
    }
    const std::vector<int> bars = InkRunStarts(h.Render(1), QRect(0, 0, 30 * advance, h.tty.CellHeight()), White);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(std::pair(bars[1] - bars[0], bars[2] - bars[1]), std::pair(10 * advance, 10 * advance));
}

INSTANTIATE_TEST_SUITE_P(SimpleTerminal, TtyCellPitch,
                         testing::Values(PitchCase{"Terminal9pt", Terminal9pt}, PitchCase{"Mono16px", Mono16px}),
                         RowName);

struct ScaleCase {
    const char* name;
    double ratio;
    QFont (*font)();
};
TAVRIN_PRINT_AS_NAME(ScaleCase)
class TtyScreenScale : public testing::TestWithParam<ScaleCase> {};

TEST_P(TtyScreenScale, TextIsDrawnAtTheScreensResolutionAndScrollsWhole) {
    const qreal ratio = GetParam().ratio;
    TtyHarness h(GetParam().font);
    const int cw = h.tty.CellWidth(), ch = h.tty.CellHeight();
    h.tty.GotoXY(0, 2);
    h.tty.WriteString("1FB@Sgy|#");
    const QRect text(0, 2 * ch, 9 * cw, ch);
    const QImage fine = h.Render(ratio);
    ExpectDrawnAtItsRatio(fine, h.Render(1), text, White);

    // One line up: the text shows on the second row as it was drawn on the third.
    h.tty.GotoXY(0, h.tty.Rows() - 1);
    h.tty.WriteChar('\n');
    const QImage scrolled = h.Render(ratio);
    const auto rowTop = [&](int row) { return qFloor(row * ch * ratio); };
    const int height = std::min(rowTop(2) - rowTop(1), rowTop(3) - rowTop(2));
    int moved = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < qFloor(text.width() * ratio); ++x)
            moved += scrolled.pixel(x, rowTop(1) + y) == fine.pixel(x, rowTop(2) + y) ? 0 : 1;
    EXPECT_EQ(moved, 0);
}

// 9 points: 16-pixel rows, on whole device pixels at all three scales;
// 16 pixels: 21-pixel rows, at 1.5 every other row starts between two.
INSTANTIATE_TEST_SUITE_P(SimpleTerminal, TtyScreenScale,
                         testing::Values(ScaleCase{"Scale100", 1.0, Terminal9pt},
                                         ScaleCase{"Scale150", 1.5, Terminal9pt},
                                         ScaleCase{"Scale200", 2.0, Terminal9pt},
                                         ScaleCase{"Scale150RowsBetweenPixels", 1.5, Mono16px}),
                         RowName);

}  // namespace
