#include "ui/QnStatLt.h"

#include <QPainter>

#include <algorithm>

#include "console/QnPaintRatio.h"
#include "platform/QtColor.h"

TQnCustomStatusLight::TQnCustomStatusLight(QWidget* parent) : TQnBaseGraphicControl(parent) {
    setFixedSize(DefaultSize, DefaultSize);
}

void TQnCustomStatusLight::SetBounds(int left, int top, int width, int height) {
    if (FHaveGlyph) {
        width = FGlyph.width() / 2;
        height = FGlyph.height();
    }
    move(left, top);
    setFixedSize(width, height);
}

void TQnCustomStatusLight::SetGlyphImage(const QImage& glyph) {
    FGlyph = glyph.convertToFormat(QImage::Format_ARGB32);
    FHaveGlyph = !glyph.isNull();
    if (FHaveGlyph)
        setFixedSize(FGlyph.width() / 2, FGlyph.height());
    else
        setFixedSize(DefaultSize, DefaultSize);
    update();
}

void TQnCustomStatusLight::SetLitState(bool lit) {
    if (lit == FLit) return;
    FLit = lit;
    update();
}

void TQnCustomStatusLight::SetLitColorValue(TColor color) {
    if (color == FLitColor) return;
    FLitColor = color;
    if (!FHaveGlyph && FLit) update();
}

void TQnCustomStatusLight::SetNotLitColorValue(TColor color) {
    if (color == FNotLitColor) return;
    FNotLitColor = color;
    if (!FHaveGlyph && !FLit) update();
}

void TQnCustomStatusLight::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int h = height();
    if (FHaveGlyph) {
        // The glyph's top-left pixel is its transparent colour, where the
        // parent's background shows.
        const QColor background =
            parentWidget() ? parentWidget()->palette().color(QPalette::Window) : palette().color(QPalette::Window);
        painter.fillRect(rect(), background);
        QImage half = FGlyph.copy(FLit ? 0 : w, 0, w, h);
        const QRgb transparent = FGlyph.pixel(0, 0);
        for (int y = 0; y < half.height(); ++y)
            for (int x = 0; x < half.width(); ++x)
                if (half.pixel(x, y) == transparent) half.setPixel(x, y, qRgba(0, 0, 0, 0));
        painter.drawImage(0, 0, half);
        return;
    }
    // In device pixels, so that at any screen scale the bevel is whole
    // pixels wide and the fill ends exactly where it begins.
    const qreal ratio = QnPaintRatio(painter);
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    const int dw = qRound(w * ratio), dh = qRound(h * ratio);
    const int edge = std::max(1, static_cast<int>(ratio));
    painter.fillRect(QRect(0, 0, dw, dh), ToQColor(FLit ? FLitColor : FNotLitColor));
    // A raised bevel: light top and left edges, dark right and bottom.
    const QColor light(255, 255, 255), dark(128, 128, 128);
    painter.fillRect(QRect(0, 0, dw, edge), light);
    painter.fillRect(QRect(0, 0, edge, dh), light);
    painter.fillRect(QRect(dw - edge, edge, edge, dh - edge), dark);
    painter.fillRect(QRect(edge, dh - edge, dw - edge, edge), dark);
}
