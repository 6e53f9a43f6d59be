// The drive lamp: colours with the raised bevel and which changes repaint.

#include <gtest/gtest.h>

#include <QEvent>

#include <vector>

#include "support/PixelGrab.h"
#include "support/QtTestApp.h"
#include "ui/QnStatLt.h"

using tavrin::test::QtTestApp;

namespace {

// What a painted lamp shows: how wide each side's edge is, along the middle
// row and column from the centre outwards, and whether the fill and the
// edges are all there is (no blended pixels, fill only inside the edges).
struct Bevel {
    int top = 0, left = 0, right = 0, bottom = 0;
    bool clean = true;
};

Bevel Measure(const QImage& image, const QColor& fill, const QColor& light, const QColor& dark) {
    Bevel b;
    const int w = image.width(), h = image.height(), cx = w / 2, cy = h / 2;
    // Steps outwards from the centre while the fill lasts; the rest of the
    // way must be the side's own edge colour.
    const auto edge = [&](int x, int y, int dx, int dy, const QColor& colour, int& width) {
        while (x >= 0 && y >= 0 && x < w && y < h && image.pixelColor(x, y) == fill) x += dx, y += dy;
        for (; x >= 0 && y >= 0 && x < w && y < h; x += dx, y += dy, ++width)
            b.clean = b.clean && image.pixelColor(x, y) == colour;
    };
    edge(cx, cy, 0, -1, light, b.top);
    edge(cx, cy, -1, 0, light, b.left);
    edge(cx, cy, 1, 0, dark, b.right);
    edge(cx, cy, 0, 1, dark, b.bottom);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool inside = y >= b.top && x >= b.left && x < w - b.right && y < h - b.bottom;
            b.clean = b.clean && (inside ? c == fill : c == light || c == dark);
        }
    return b;
}

const QColor Light(Qt::white), Dark(128, 128, 128);

TEST(QnStatLt, PaintsItsColourInARaisedBevel) {
    QtTestApp();
    TQnStatusLight lamp;
    EXPECT_EQ(lamp.size(), QSize(13, 13));
    const auto expectPainted = [&](bool lit, const QColor& fill) {
        lamp.SetLit(lit);
        const Bevel b = Measure(lamp.grab().toImage(), fill, Light, Dark);
        EXPECT_TRUE(b.clean) << lit << ": fill inside, light top and left, dark right and bottom";
        EXPECT_EQ(std::vector<int>({b.top, b.left, b.right, b.bottom}), std::vector<int>(4, 1)) << lit;
    };
    expectPainted(true, Qt::red);
    expectPainted(false, QColor(0, 128, 0));
    lamp.SetLitColor(0x00FFFF);     // yellow as a BGR number
    lamp.SetNotLitColor(0xFF0000);  // blue
    expectPainted(true, Qt::yellow);
    expectPainted(false, Qt::blue);
}

// At any screen scale the lamp fills its device pixels, the edges are whole
// device pixels, as wide on every side, growing with the scale but staying
// a thin rim.
TEST(QnStatLt, BevelIsWholeDevicePixelsAtEveryScreenScale) {
    QtTestApp();
    TQnStatusLight lamp;
    lamp.SetLit(true);
    int previous = 0;
    for (const double ratio : {1.0, 1.5, 2.0, 3.0}) {
        const QImage image = tavrin::test::RenderAt(lamp, ratio);
        const Bevel b = Measure(image, Qt::red, Light, Dark);
        EXPECT_TRUE(b.clean) << "at " << ratio;
        EXPECT_EQ(std::vector<int>({b.left, b.right, b.bottom}), std::vector<int>(3, b.top)) << "at " << ratio;
        EXPECT_GE(b.top, previous) << "at " << ratio;
        EXPECT_GE(b.top, 1) << "at " << ratio;
        EXPECT_LE(b.top * 6, image.width()) << "at " << ratio;
        previous = b.top;
    }
    EXPECT_GT(previous, 1) << "a high scale widens the edges";
}

TEST(QnStatLt, OnlyVisibleColourChangesRepaint) {
    QtTestApp();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override { return paints += e->type() == QEvent::Paint, false; }
    } counter;
    QWidget parent;
    auto* lamp = new TQnStatusLight(&parent);
    parent.show();
    lamp->installEventFilter(&counter);
    auto paintsAfter = [&](const std::function<void()>& change) {
        QApplication::processEvents();
        counter.paints = 0;
        change();
        QApplication::processEvents();
        return counter.paints;
    };
    EXPECT_EQ(paintsAfter([&] { lamp->SetLit(true); }), 1);
    EXPECT_EQ(paintsAfter([&] { lamp->SetLit(true); }), 0);
    EXPECT_EQ(paintsAfter([&] { lamp->SetNotLitColor(0x808080); }), 0);
    EXPECT_EQ(paintsAfter([&] { lamp->SetLitColor(0x00FFFF); }), 1);
    EXPECT_EQ(paintsAfter([&] { lamp->SetLit(false); }), 1);
    EXPECT_EQ(paintsAfter([&] { lamp->SetLitColor(0x0000FF); }), 0);
    EXPECT_EQ(paintsAfter([&] { lamp->SetNotLitColor(0xFF0000); }), 1);
}

}  // namespace
