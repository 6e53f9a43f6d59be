#pragma once
// A status lamp: a small square that is lit or not, drawn either in one of
// two colours with a raised bevel or from a glyph that holds both states
// side by side (lit on the left, unlit on the right). The Disks page shows
// one per drive. Colours are Windows colour values (00BBGGRRh).

#include <QImage>

#include <cstdint>

#include "console/QnMiscControls.h"
#include "platform/core/WinColor.h"

class TQnCustomStatusLight : public TQnBaseGraphicControl {
public:
    static constexpr TColor DefaultLitColor = 0x0000FF;     // red
    static constexpr TColor DefaultNotLitColor = 0x008000;  // green
    static constexpr int DefaultSize = 13;

    explicit TQnCustomStatusLight(QWidget* parent = nullptr);

    bool Lit() const { return FLit; }
    TColor LitColor() const { return FLitColor; }
    TColor NotLitColor() const { return FNotLitColor; }
    const QImage& Glyph() const { return FGlyph; }
    bool HaveGlyph() const { return FHaveGlyph; }

    // With a glyph the lamp is always half the glyph's width by its height.
    void SetBounds(int left, int top, int width, int height);

protected:
    void SetGlyphImage(const QImage& glyph);
    void SetLitState(bool lit);
    void SetLitColorValue(TColor color);
    void SetNotLitColorValue(TColor color);
    void paintEvent(QPaintEvent* event) override;

private:
    QImage FGlyph;
    bool FLit = false;
    TColor FLitColor = DefaultLitColor;
    TColor FNotLitColor = DefaultNotLitColor;
    bool FHaveGlyph = false;
};

class TQnStatusLight : public TQnCustomStatusLight {
public:
    using TQnCustomStatusLight::TQnCustomStatusLight;

    // A null image removes the glyph (the lamp is 13 x 13 again).
    void SetGlyph(const QImage& glyph) { SetGlyphImage(glyph); }
    void SetLit(bool lit) { SetLitState(lit); }
    void SetLitColor(TColor color) { SetLitColorValue(color); }
    void SetNotLitColor(TColor color) { SetNotLitColorValue(color); }
};
