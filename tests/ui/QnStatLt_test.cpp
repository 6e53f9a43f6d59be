// The drive lamp: defaults, colours with the raised bevel, glyph halves and
// which changes repaint.

#include <gtest/gtest.h>

#include <QEvent>
#include <QPainter>
#include <QWidget>

#include "support/QtTestApp.h"
#include "ui/QnStatLt.h"

using tavrin::test::QtTestApp;

namespace {

QColor Rgb(uint32_t winColor)
{
    return QColor(int(winColor & 0xFF), int((winColor >> 8) & 0xFF), int((winColor >> 16) & 0xFF));
}

QImage Shot(QWidget& w)
{
    return w.grab().toImage();
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct ShownLamp {
    QApplication& app = QtTestApp();
    QWidget parent;
    TQnStatusLight* lamp = new TQnStatusLight(&parent);
    PaintCounter counter;
    ShownLamp()
    {
        parent.resize(40, 40);
        parent.show();
        lamp->installEventFilter(&counter);
        QApplication::processEvents();
        counter.paints = 0;
    }
    int PaintsAfter(const std::function<void()>& change)
    {
        counter.paints = 0;
        change();
        lamp->repaint(QRect());  // nothing forced: only pending updates paint
        QApplication::processEvents();
        return counter.paints;
    }
};

TEST(QnStatLt, Defaults)
{
    QtTestApp();
    TQnStatusLight lamp;
    EXPECT_FALSE(lamp.Lit());
    EXPECT_EQ(lamp.LitColor(), 0x0000FFu);
    EXPECT_EQ(lamp.NotLitColor(), 0x008000u);
    EXPECT_EQ(lamp.size(), QSize(13, 13));
    EXPECT_FALSE(lamp.HaveGlyph());
    EXPECT_EQ(lamp.Version(), "v4.06");
}

struct ColourCase {
    const char* name;
    bool lit;
    uint32_t expected;
};

class QnStatLtColour : public ::testing::TestWithParam<ColourCase> {};

TEST_P(QnStatLtColour, FillsWithTheStateColourInsideARaisedBevel)
{
    QtTestApp();
    TQnStatusLight lamp;
    lamp.SetLitColor(0x00FFFF);     // yellow
    lamp.SetNotLitColor(0xFF0000);  // blue
    lamp.SetLit(GetParam().lit);
    QImage image = Shot(lamp);
    const int w = lamp.width(), h = lamp.height();
    EXPECT_EQ(image.pixelColor(w / 2, h / 2), Rgb(GetParam().expected));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(w - 1, 0), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(0, h - 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(w - 1, 1), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(1, h - 1), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(w - 1, h - 1), QColor(128, 128, 128));
    EXPECT_EQ(image.pixelColor(1, 1), Rgb(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(States, QnStatLtColour,
                         ::testing::Values(ColourCase{"Lit", true, 0x00FFFF}, ColourCase{"NotLit", false, 0xFF0000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QnStatLt, GlyphHalvesShowTheStatesWithTheCornerColourTransparent)
{
    QtTestApp();
    QWidget parent;
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(palette);
    auto* lamp = new TQnStatusLight(&parent);
    QImage glyph(26, 13, QImage::Format_ARGB32);
    glyph.fill(QColor(255, 0, 255));  // the transparent colour
    QPainter painter(&glyph);
    painter.fillRect(3, 3, 7, 7, Qt::red);     // lit half
    painter.fillRect(16, 3, 7, 7, Qt::green);  // unlit half
    painter.end();
    lamp->SetGlyph(glyph);
    EXPECT_TRUE(lamp->HaveGlyph());
    EXPECT_EQ(lamp->size(), QSize(13, 13));
    lamp->SetBounds(0, 0, 40, 40);
    EXPECT_EQ(lamp->size(), QSize(13, 13));

    lamp->SetLit(true);
    QImage lit = Shot(*lamp);
    EXPECT_EQ(lit.pixelColor(6, 6), QColor(Qt::red));
    EXPECT_EQ(lit.pixelColor(0, 0), QColor(10, 20, 30));
    lamp->SetLit(false);
    QImage unlit = Shot(*lamp);
    EXPECT_EQ(unlit.pixelColor(6, 6), QColor(Qt::green));
    EXPECT_EQ(unlit.pixelColor(12, 12), QColor(10, 20, 30));

    lamp->SetGlyph(QImage());
    EXPECT_FALSE(lamp->HaveGlyph());
    EXPECT_EQ(lamp->size(), QSize(13, 13));
}

TEST(QnStatLt, OnlyVisibleColourChangesRepaint)
{
    ShownLamp s;
    TQnStatusLight& lamp = *s.lamp;
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetLit(true); }), 1);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetLit(true); }), 0);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetNotLitColor(0x808080); }), 0);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetLitColor(0x00FFFF); }), 1);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetLit(false); }), 1);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetLitColor(0x0000FF); }), 0);
    EXPECT_EQ(s.PaintsAfter([&] { lamp.SetNotLitColor(0xFF0000); }), 1);
}

} // namespace
