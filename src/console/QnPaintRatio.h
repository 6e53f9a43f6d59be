#pragma once
// Device pixels per logical pixel of what a painter really draws on: the
// screen's backing store, or an image or pixmap a widget is rendered into.
// A widget's own devicePixelRatioF() knows only its screen.

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

inline qreal QnPaintRatio(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
    return device ? device->devicePixelRatio() : 1.0;
}
