// The drive lamp: colours with the raised bevel and which changes repaint.

#include <gtest/gtest.h>

#include <QEvent>

#include "support/PixelGrab.h"
#include "support/QtTestApp.h"
#include "ui/QnStatLt.h"

using tavrin::test::QtTestApp;

namespace {

TEST(QnStatLt, PaintsItsColourInARaisedBevel)
{
    QtTestApp();
    TQnStatusLight lamp;
    EXPECT_EQ(lamp.size(), QSize(13, 13));
    const auto expectPainted = [&](bool lit, const QColor& fill) {
        lamp.SetLit(lit);
        const QImage image = lamp.grab().toImage();
        const QColor white(Qt::white), grey(128, 128, 128);
        const std::pair<QPoint, QColor> pixels[] = {{{6, 6}, fill},   {{1, 1}, fill},   {{0, 0}, white}, {{12, 0}, white},
                                                    {{0, 12}, white}, {{12, 1}, grey}, {{1, 12}, grey}, {{12, 12}, grey}};
        for (const auto& [at, colour] : pixels)
            EXPECT_EQ(image.pixelColor(at), colour) << lit << " at " << at.x() << "," << at.y();
    };
    expectPainted(true, Qt::red);
    expectPainted(false, QColor(0, 128, 0));
    lamp.SetLitColor(0x00FFFF);     // yellow as a BGR number
    lamp.SetNotLitColor(0xFF0000);  // blue
    expectPainted(true, Qt::yellow);
    expectPainted(false, Qt::blue);
}

TEST(QnStatLt, BevelIsWholeDevicePixelsAtEveryScreenScale)
{
    QtTestApp();
    TQnStatusLight lamp;
    lamp.SetLit(true);
    // Screen scale, lamp size and bevel width in device pixels.
    const struct { double ratio; int size, edge; } rows[] = {{1.0, 13, 1}, {1.5, 20, 1}, {2.0, 26, 2}};
    for (const auto& r : rows) {
        const QImage image = tavrin::test::RenderAt(lamp, r.ratio);
        const QColor white(Qt::white), grey(128, 128, 128), red(Qt::red);
        int wrong = 0;
        for (int y = 0; y < r.size; ++y)
            for (int x = 0; x < r.size; ++x) {
                const bool top = y < r.edge, left = x < r.edge;
                const bool right = x >= r.size - r.edge, bottom = y >= r.size - r.edge;
                const QColor want = top || left ? white : right || bottom ? grey : red;
                wrong += image.pixelColor(x, y) == want ? 0 : 1;
            }
        EXPECT_EQ(wrong, 0) << "at " << r.ratio;
    }
}

TEST(QnStatLt, OnlyVisibleColourChangesRepaint)
{
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

} // namespace
