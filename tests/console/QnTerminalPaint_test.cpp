// The terminal window's painting of a VT100 screen, offscreen: the cell
// pitch is the font's advance, and at a screen scale above 1 the text is
// drawn at the screen's resolution, not enlarged; the border goes around the
// client area; colour values that name a system colour paint that colour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>

#include <string>
#include <vector>

#include "console/QnPaintRatio.h"
#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "support/NamedRows.h"
#include "support/PixelGrab.h"
#include "support/QtTestApp.h"
#include "support/TerminalViewFixture.h"

namespace {

using namespace tavrin::test;

const QColor Black(0, 0, 0);  // the screen's background

using CrtTest = TTerminalViewFixture<TQnVT100Emulator>;

struct PitchCase {
    const char* name;
    int pixelSize;
};
TAVRIN_PRINT_AS_NAME(PitchCase)
class CellPitch : public CrtTest, public testing::WithParamInterface<PitchCase> {};

TEST_P(CellPitch, IsTheFontsAdvanceAndLineDrawingJoins) {
    Open(GetParam().pixelSize);
    const int advance = QFontMetrics(font).horizontalAdvance(QLatin1Char('M'));
    Feed("\x1b[1;1H|\x1b[1;11H|\x1b[1;21H|\x1b[2;1H\x1b(0qqqqqqqqqq\x1b(B");
    const QImage image = RenderAt(term, 1).copy(term.ClientRect());

    const std::vector<int> bars = InkRunStarts(image, QRect(0, 0, 30 * advance, ch), Black);
    ASSERT_EQ(bars.size(), 3u);
    EXPECT_EQ(std::pair(bars[1] - bars[0], bars[2] - bars[1]), std::pair(10 * advance, 10 * advance));

    // Ten horizontal line glyphs make one line: no column of it fades out.
    const std::vector<int> line = InkProfile(image, QRect(0, ch, 10 * advance, ch), Black);
    const int strongest = *std::max_element(line.begin(), line.end());
    for (size_t x = 0; x < line.size(); ++x) EXPECT_GE(2 * line[x], strongest) << "column " << x;
}

INSTANTIATE_TEST_SUITE_P(QnTerminalPaint, CellPitch,
                         testing::Values(PitchCase{"Mono9pt", 12}, PitchCase{"Mono14px", 14},
                                         PitchCase{"Mono16pt", 21}),
                         RowName);

class ScreenScale : public CrtTest, public testing::WithParamInterface<double> {};

TEST_P(ScreenScale, TextIsDrawnAtTheScreensResolution) {
    const qreal ratio = GetParam();
    Open(12);
    Feed("1FB@Sgy|#");
    const QRect text(term.ClientRect().topLeft(), QSize(9 * term.CharWidth(), term.CharHeight()));
    ExpectDrawnAtItsRatio(RenderAt(term, ratio), RenderAt(term, 1), text, Black);
}

INSTANTIATE_TEST_SUITE_P(QnTerminalPaint, ScreenScale, testing::Values(1.0, 1.5, 2.0));

struct BorderCase {
    const char* name;
    TBorderStyle style;
    bool ctl3d;
    // From each edge inwards: the border's pixels, then the client area's.
    std::vector<QRgb> top, left, bottom, right;
};
TAVRIN_PRINT_AS_NAME(BorderCase)
class Border : public CrtTest, public testing::WithParamInterface<BorderCase> {};

// The window keeps its size; the client area inside the new border is laid
// out and painted again.
TEST_P(Border, IsDrawnAroundTheClientArea) {
    const BorderCase& c = GetParam();
    Open(12);
    Feed("\x1b[7m" + std::string(80, ' '));  // the first row silver
    term.SetBorderStyle(c.style);
    term.SetCtl3D(c.ctl3d);
    QApplication::processEvents();
    const int b = static_cast<int>(c.top.size()) - 1;
    EXPECT_EQ(term.ClientRect(), term.rect().adjusted(b, b, -b, -b));
    EXPECT_EQ(std::pair(term.ClientWidth(), term.ClientHeight()),
              std::pair(term.width() - 2 * b, term.height() - 2 * b));
    const QImage image = RenderAt(term, 1);
    const auto stripe = [&](QPoint from, QPoint step, size_t n) {
        std::vector<QRgb> pixels;
        for (QPoint p = from; pixels.size() < n; p += step) pixels.push_back(image.pixel(p) & 0xFFFFFF);
        return pixels;
    };
    const int w = term.width(), h = term.height();
    EXPECT_EQ(stripe(QPoint(w / 2, 0), QPoint(0, 1), c.top.size()), c.top);
    EXPECT_EQ(stripe(QPoint(0, h / 2), QPoint(1, 0), c.left.size()), c.left);
    EXPECT_EQ(stripe(QPoint(w / 2, h - 1), QPoint(0, -1), c.bottom.size()), c.bottom);
    EXPECT_EQ(stripe(QPoint(w - 1, h / 2), QPoint(-1, 0), c.right.size()), c.right);
}

// Windows' default system colours: a sunken edge of button shadow and
// highlight outside, dark shadow and light inside; a plain border in the
// window frame colour.
INSTANTIATE_TEST_SUITE_P(
    QnTerminalPaint, Border,
    testing::Values(BorderCase{"Sunken3D",
                               bsSingle,
                               true,
                               {0xA0A0A0, 0x696969, 0xC0C0C0},
                               {0xA0A0A0, 0x696969, 0},
                               {0xFFFFFF, 0xE3E3E3, 0},
                               {0xFFFFFF, 0xE3E3E3, 0}},
                    BorderCase{
                        "Single", bsSingle, false, {0x646464, 0xC0C0C0}, {0x646464, 0}, {0x646464, 0}, {0x646464, 0}},
                    BorderCase{"None", bsNone, true, {0xC0C0C0}, {0}, {0}, {0}},
                    BorderCase{"NoneFlat", bsNone, false, {0xC0C0C0}, {0}, {0}, {0}}),
    RowName);

TEST(QnTerminalPaintColors, SystemColourValuesPaintTheColourTheyName) {
    QtTestApp();
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        TQnQtPainter painter(image, QFont(), image.rect());
        painter.FillRect(TQnRect{0, 0, 8, 8}, 0xFF000005);  // the window colour
        painter.Line(8, 4, 15, 4, 0xFF00000D);              // the highlight colour
    }
    EXPECT_EQ(image.pixelColor(4, 4), QColor(255, 255, 255));
    EXPECT_EQ(image.pixelColor(12, 4), QColor(0x33, 0x99, 0xFF));
}

// Kept runs are copied and scrolled rows moved only by whole device pixels;
// a product that misses an integer by rounding error still counts as whole.
TEST(QnPaintRatioTable, OnDevicePixelsOnlyAtWholeProducts) {
    struct Row {
        int pixels;
        qreal ratio;
        bool whole;
    };
    const Row rows[] = {
        {7, 1.0, true},  {1, 1.5, false}, {2, 1.5, true},  {-2, 1.5, true},      {3, 1.25, false}, {4, 1.25, true},
        {4, 1.75, true}, {0, 1.75, true}, {10, 1.1, true}, {49, 1.0 / 49, true}, {1, 2.0, true},   {5, 1.05, false},
    };
    for (const Row& r : rows) EXPECT_EQ(QnOnDevicePixels(r.pixels, r.ratio), r.whole) << r.pixels << " at " << r.ratio;
}

}  // namespace
