#pragma once
// Device pixels per logical pixel of what a painter really draws on: the
// screen's backing store, or an image or pixmap a widget is rendered into.
// A widget's own devicePixelRatioF() knows only its screen.

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

#include <cmath>

inline qreal QnPaintRatio(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    const QPaintDevice* device = engine && engine->paintDevice() ? engine->paintDevice() : painter.device();
    return device ? device->devicePixelRatio() : 1.0;
}

// The ratio a widget's kept image is made at before a paint tells the real
// one: the image's own, or the widget's screen's while there is none yet.
inline qreal QnStartingRatio(const QImage& image, const QWidget& widget) {
    return image.isNull() ? widget.devicePixelRatioF() : image.devicePixelRatio();
}

// Whether `pixels` logical pixels are a whole number of device pixels at
// `ratio` (at 1.5, every other pixel): only then can pixels already drawn be
// copied or moved by that much without landing between device pixels.
inline bool QnOnDevicePixels(int pixels, qreal ratio) {
    const qreal device = pixels * ratio;
    return std::abs(device - std::round(device)) < 1e-6;
}
