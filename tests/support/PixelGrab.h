#pragma once
// Looking at what a widget paints, pixel by pixel: rendered at a screen
// scale of choice, where the glyphs' ink is, and whether a rendering at a
// higher scale holds more detail than the plain one enlarged.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QWidget>
#include <QtMath>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tavrin::test {

// `widget` as a screen with `ratio` device pixels per pixel shows it.
inline QImage RenderAt(QWidget& widget, qreal ratio) {
    QImage image(qCeil(widget.width() * ratio), qCeil(widget.height() * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

// How far a pixel is from the background: 0 (background) .. 255.
inline int InkOf(const QImage& image, int x, int y, const QColor& background) {
    const QColor c = image.pixelColor(x, y);
    return std::max({std::abs(c.red() - background.red()), std::abs(c.green() - background.green()),
                     std::abs(c.blue() - background.blue())});
}

// Per device-pixel column of `area` (device pixels), the strongest ink in it.
inline std::vector<int> InkProfile(const QImage& image, const QRect& area, const QColor& background) {
    std::vector<int> profile(static_cast<size_t>(std::max(area.width(), 0)), 0);
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.top(); y <= area.bottom(); ++y)
            profile[static_cast<size_t>(x - area.left())] =
                std::max(profile[static_cast<size_t>(x - area.left())], InkOf(image, x, y, background));
    return profile;
}

// The first column of every run of inked columns (ink above half) in `area`.
inline std::vector<int> InkRunStarts(const QImage& image, const QRect& area, const QColor& background) {
    const std::vector<int> profile = InkProfile(image, area, background);
    std::vector<int> starts;
    for (size_t x = 0; x < profile.size(); ++x)
        if (profile[x] > 128 && (x == 0 || profile[x - 1] <= 128)) starts.push_back(area.left() + static_cast<int>(x));
    return starts;
}

// Device pixels of `area` (logical pixels) carrying ink above half.
inline int InkPixels(const QImage& image, const QRect& area, const QColor& background) {
    const qreal r = image.devicePixelRatio();
    int n = 0;
    for (int y = qFloor(area.top() * r); y < qFloor((area.bottom() + 1) * r); ++y)
        for (int x = qFloor(area.left() * r); x < qFloor((area.right() + 1) * r); ++x)
            n += InkOf(image, x, y, background) > 128 ? 1 : 0;
    return n;
}

// `plain` (ratio 1) blown up to `ratio` as a painter does it.
inline QImage Enlarged(const QImage& plain, qreal ratio) {
    QImage image(qCeil(plain.width() * ratio), qCeil(plain.height() * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    painter.drawImage(plain.rect(), plain, plain.rect());
    return image;
}

// Device pixels of `fine` within `area` (logical pixels) that differ
// clearly from `plain` (ratio 1) enlarged to the same ratio: none when
// `fine` is only the plain rendering blown up.
inline int PixelsBeyondEnlarged(const QImage& fine, const QImage& plain, const QRect& area) {
    const qreal r = fine.devicePixelRatio();
    const QImage enlarged = Enlarged(plain, r);
    int n = 0;
    for (int y = qFloor(area.top() * r); y < qFloor((area.bottom() + 1) * r); ++y)
        for (int x = qFloor(area.left() * r); x < qFloor((area.right() + 1) * r); ++x)
            n += InkOf(fine, x, y, enlarged.pixelColor(x, y)) > 96 ? 1 : 0;
    return n;
}

// `fine`, the rendering at its own ratio, shows the text in `area` at the
// size `plain` (ratio 1) does, with detail of its own where the ratio adds
// pixels rather than the plain rendering blown up.
inline void ExpectDrawnAtItsRatio(const QImage& fine, const QImage& plain, const QRect& area,
                                  const QColor& background) {
    const qreal ratio = fine.devicePixelRatio();
    const int plainInk = InkPixels(plain, area, background), fineInk = InkPixels(fine, area, background);
    ASSERT_GT(plainInk, 0);
    EXPECT_NEAR(fineInk / (ratio * ratio * plainInk), 1.0, 0.4);
    const int beyond = PixelsBeyondEnlarged(fine, plain, area);
    if (ratio == 1)
        EXPECT_EQ(beyond, 0);
    else
        EXPECT_GT(beyond, fineInk / 10);
}

}  // namespace tavrin::test
