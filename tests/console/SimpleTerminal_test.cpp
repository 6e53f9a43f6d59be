// The TTY console control's painting, offscreen: the cell pitch is the
// font's average glyph plus two pixels, the scroll bars and the shown part
// of the grid keep to their pixel rules, and at a screen scale above 1 the
// text is drawn at the screen's resolution, not enlarged.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QScrollBar>

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

// The 49 characters whose average width, rounded up, sets the cell width.
const QString MetricsSample = QStringLiteral("1234567890ABCDEFGHIJKLMNOP~1!@#$%^&*()_{}[]><?gjq");

TEST_P(TtyCellPitch, IsTheAverageGlyphRoundedUpPlusTwo) {
    TtyHarness h(GetParam().font);
    const QFontMetrics metrics(h.tty.TerminalFont());
    const int sample = metrics.horizontalAdvance(MetricsSample);
    const int pitch = (sample + 48) / 49 + 2;
    EXPECT_EQ(std::pair(h.tty.CellWidth(), h.tty.CellHeight()), std::pair(pitch, metrics.height() + 2));
    for (int column : {0, 10, 20}) {
        h.tty.GotoXY(column, 0);
        h.tty.WriteChar('|');
    }
    const std::vector<int> bars = InkRunStarts(h.Render(1), QRect(0, 0, 30 * pitch, h.tty.CellHeight()), White);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(std::pair(bars[1] - bars[0], bars[2] - bars[1]), std::pair(10 * pitch, 10 * pitch));
}

INSTANTIATE_TEST_SUITE_P(SimpleTerminal, TtyCellPitch,
                         testing::Values(PitchCase{"Terminal9pt", Terminal9pt}, PitchCase{"Mono16px", Mono16px}),
                         RowName);

// Pixels in bar sizes and plain pixels: bars * the bar's size + pixels.
struct Span {
    int bars, pixels;
};

struct ViewCase {
    const char* name;
    Span clientWidth, clientHeight;  // beyond the grid's width and height
    bool vertical, horizontal;       // bars shown
    Span inkedWidth, inkedHeight;    // of the grid shown, beyond its width and height
};
TAVRIN_PRINT_AS_NAME(ViewCase)
class TtyView : public testing::TestWithParam<ViewCase> {};

// A row (column) of pixels from `from` that keeps the grid's colour: how long.
int InkedRun(const QImage& image, QPoint from, QPoint step, const QColor& ink) {
    int n = 0;
    for (QPoint p = from; image.rect().contains(p) && image.pixelColor(p) == ink; p += step) ++n;
    return n;
}

TEST_P(TtyView, BarsAndTheShownGridKeepToTheirPixelRules) {
    const ViewCase& c = GetParam();
    TtyHarness h(Terminal9pt);
    TSimpleTerminal& t = h.tty;
    t.SetLineWrap(false);
    t.SetDefaultAttributes({tca_Inverted});  // every cell black all over
    for (int row = 0; row < t.Rows(); ++row) {
        t.GotoXY(0, row);
        t.WriteString(std::string(size_t(t.Columns()), ' '));
    }
    const QSize grid(t.Columns() * t.CellWidth(), t.Rows() * t.CellHeight());
    const int barWidth = t.verticalScrollBar()->sizeHint().width();
    const int barHeight = t.horizontalScrollBar()->sizeHint().height();
    const auto width = [&](Span s) { return grid.width() + s.bars * barWidth + s.pixels; };
    const auto height = [&](Span s) { return grid.height() + s.bars * barHeight + s.pixels; };
    t.SetAutoSize(false);
    const int frame = 2 * t.frameWidth();
    t.resize(width(c.clientWidth) + frame, height(c.clientHeight) + frame);
    QApplication::processEvents();

    EXPECT_EQ(std::pair(t.verticalScrollBar()->isVisibleTo(&t), t.horizontalScrollBar()->isVisibleTo(&t)),
              std::pair(c.vertical, c.horizontal));
    const QImage image = h.Render(1);
    const QColor black(0, 0, 0);
    EXPECT_EQ(std::pair(InkedRun(image, QPoint(0, 1), QPoint(1, 0), black),
                        InkedRun(image, QPoint(1, 0), QPoint(0, 1), black)),
              std::pair(width(c.inkedWidth), height(c.inkedHeight)));
}

// The grid shows less its last pixel column and row, and less one more
// beside a shown bar; a bar that leaves the other way exactly the grid's
// size brings the other bar.
INSTANTIATE_TEST_SUITE_P(
    SimpleTerminal, TtyView,
    testing::Values(ViewCase{"GridFits", {0, 0}, {0, 0}, false, false, {0, -1}, {0, -1}},
                    ViewCase{"TallGrid", {1, 1}, {0, -20}, true, false, {0, -1}, {0, -21}},
                    ViewCase{"TallGridBarLeavesItsWidth", {1, 0}, {0, -20}, true, true, {0, -2}, {-1, -22}},
                    ViewCase{"WideGrid", {0, -20}, {1, 1}, false, true, {0, -21}, {0, -1}},
                    ViewCase{"WideGridBarLeavesItsHeight", {0, -20}, {1, 0}, true, true, {-1, -22}, {0, -2}}),
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
