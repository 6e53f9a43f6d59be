#include "console/QnTerminalPaint.h"

#include <QFontMetrics>
#include <QGlyphRun>

#include <algorithm>
#include <cmath>

#include "console/QnPaintRatio.h"
#include "console/core/CodePage437.h"

namespace {
QChar GlyphOf(uint8_t b) {
    // Printable ASCII as it is; controls, DEL and 80h-FFh as the PC shows them.
    if (b >= 0x20 && b < 0x7F) return QChar(b);
    return QChar(Cp437ToUnicode(b));
}
}  // namespace

const QImage* TQnRunImageCache::Find(const std::string& key) {
    auto it = FIndex.find(key);
    if (it == FIndex.end()) return nullptr;
    FEntries.splice(FEntries.begin(), FEntries, it->second);
    return &it->second->second;
}

void TQnRunImageCache::Add(const std::string& key, const QImage& image) {
    if (FIndex.count(key)) return;
    FEntries.emplace_front(key, image);
    FIndex[key] = FEntries.begin();
    FPixels += static_cast<int64_t>(image.width()) * image.height();
    while (!FEntries.empty() && (static_cast<int>(FEntries.size()) > MaxEntries || FPixels > MaxPixels)) {
        const Entry& last = FEntries.back();
        FPixels -= static_cast<int64_t>(last.second.width()) * last.second.height();
        FIndex.erase(last.first);
        FEntries.pop_back();
    }
}

void TQnRunImageCache::Clear() {
    FEntries.clear();
    FIndex.clear();
    FPixels = 0;
}

int QnCharAdvance(const QFont& font) {
    const QFontMetrics metrics(font);
    int width = 1;
    for (char16_t c = 0x20; c < 0x7F; ++c) width = std::max(width, metrics.horizontalAdvance(QChar(c)));
    return width;
}

QFont QnFaceFont(const QFont& base, const std::string& family) {
    QFont font = base;
    QStringList families = base.families();
    if (families.isEmpty()) families.append(base.family());
    families.prepend(QString::fromLatin1(family.c_str()));
    font.setFamilies(families);
    return font;
}

TQnGlyphCell QnGlyphCellOf(const QFont& font) {
    const QFontMetricsF exact(font);
    const QFontMetrics whole(font);
    double top = -whole.ascent();
    double bottom = whole.descent();
    for (char16_t c = 0x21; c < 0x7F; ++c) {
        const QRectF ink = exact.boundingRect(QChar(c));
        top = std::min(top, ink.top());
        bottom = std::max(bottom, ink.bottom());
    }
    // Metrics are in 1/64 pixel; the slack keeps an exact whole number whole.
    const auto up = [](double v) { return static_cast<int>(std::ceil(v - 1.0 / 128)); };
    TQnGlyphCell cell;
    cell.Ascent = std::max(whole.ascent(), up(-top));
    cell.Width = QnCharAdvance(font);
    cell.Height = std::max(
        {whole.height() + std::max(whole.leading(), 0) + cell.Ascent - whole.ascent(), cell.Ascent + up(bottom), 1});
    return cell;
}

TQnQtPainter::TQnQtPainter(QImage& image, const QFont& font, const QRect& clip, TQnRunImageCache* cache, int ascent)
    : FPainter(&image),
      FClip(clip & QRect(QPoint(0, 0), image.deviceIndependentSize().toSize())),
      FCache(cache),
      FRatio(image.devicePixelRatio()) {
    FOwn.Font = font;
    FOwn.Ascent = ascent;
    FPainter.setClipRect(FClip);
    FPainter.setFont(font);
}

void TQnQtPainter::LoadFace(TFontFace& face, const QFont& font) {
    face.Font = font;
    face.Raw = QRawFont::fromFont(font);
    // The terminal's own baseline is the one its cells were measured with
    // (and measuring again costs more than drawing a short run).
    if (&face != &FOwn || face.Ascent < 0) {
        const TQnGlyphCell cell = QnGlyphCellOf(font);
        face.Ascent = cell.Ascent;
        face.Height = cell.Height;
    }
    face.Loaded = true;
}

int TQnQtPainter::FaceHeight(TFontFace& face) {
    if (face.Height <= 0) face.Height = QnGlyphCellOf(face.Font).Height;
    return face.Height;
}

TQnRect TQnQtPainter::ClipBox() const {
    return TQnRect{FClip.left(), FClip.top(), FClip.left() + FClip.width(), FClip.top() + FClip.height()};
}

void TQnQtPainter::FillRect(const TQnRect& r, TColor color) {
    const QRect q(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (q.isEmpty()) return;
    FPainter.fillRect(q, ToQColor(color));
    Touch(q);
}

namespace {
template <typename T>
void AppendRaw(std::string& key, T v) {
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}
}  // namespace

void TQnQtPainter::TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TColor text,
                           TColor fill, const std::string& fontName, bool doubleHeight) {
    const QRect box(opaque.Left, opaque.Top, opaque.Right - opaque.Left, opaque.Bottom - opaque.Top);
    if (!glyphs || count < 0) count = 0;
    // A kept run is copied pixel for pixel, so only a box on whole device
    // pixels can take one (at a ratio of 1.5, every other cell).
    const bool cacheable = FCache && !box.isEmpty() && x == box.left() && y == box.top() &&
                           static_cast<int64_t>(box.width()) * box.height() <= 256 * 1024 &&
                           QnOnDevicePixels(box.left(), FRatio) && QnOnDevicePixels(box.top(), FRatio) &&
                           QnOnDevicePixels(box.width(), FRatio) && QnOnDevicePixels(box.height(), FRatio);
    if (cacheable) {
        FKey.clear();
        AppendRaw(FKey, box.width());
        AppendRaw(FKey, box.height());
        AppendRaw(FKey, advance);
        AppendRaw(FKey, FRatio);
        AppendRaw(FKey, text);
        AppendRaw(FKey, fill);
        FKey.push_back(doubleHeight ? 'd' : 'n');
        FKey.append(fontName);
        FKey.push_back('\0');
        FKey.append(glyphs, static_cast<size_t>(count));
        const QImage* hit = FCache->Find(FKey);
        if (!hit) {
            QImage run(qRound(box.width() * FRatio), qRound(box.height() * FRatio), QImage::Format_RGB32);
            run.setDevicePixelRatio(FRatio);
            run.fill(ToQColor(fill));
            {
                QPainter p(&run);
                p.setFont(FOwn.Font);
                DrawGlyphs(p, 0, 0, glyphs, count, advance, text, fontName, doubleHeight);
            }
            FCache->Add(FKey, run);
            hit = FCache->Find(FKey);
        }
        FPainter.drawImage(box.topLeft(), *hit);
        Touch(box);
        return;
    }
    if (!box.isEmpty()) {
        FPainter.fillRect(box, ToQColor(fill));
        Touch(box);
    }
    if (count == 0) return;
    FPainter.save();
    if (!box.isEmpty()) FPainter.setClipRect(box & FClip);
    DrawGlyphs(FPainter, x, y, glyphs, count, advance, text, fontName, doubleHeight);
    FPainter.restore();
    // Text drawn into the opaque box is clipped to it, and the box is marked.
    if (box.isEmpty()) {
        TFontFace& face = !fontName.empty() || doubleHeight ? FOther : FOwn;
        Touch(QRect(x, y, count * advance, FaceHeight(face)));
    }
}

void TQnQtPainter::DrawGlyphs(QPainter& painter, int x, int y, const char* glyphs, int count, int advance, TColor text,
                              const std::string& fontName, bool doubleHeight) {
    if (count <= 0) return;
    TFontFace* face = &FOwn;
    if (!fontName.empty() || doubleHeight) {
        QFont font = fontName.empty() ? FOwn.Font : QnFaceFont(FOwn.Font, fontName);
        if (doubleHeight) {
            if (font.pixelSize() > 0)
                font.setPixelSize(font.pixelSize() * 2);
            else
                font.setPointSizeF(font.pointSizeF() * 2);
        }
        if (!FOther.Loaded || !(FOther.Font == font)) LoadFace(FOther, font);
        face = &FOther;
    } else if (!FOwn.Loaded) {
        LoadFace(FOwn, FOwn.Font);
    }
    painter.setPen(ToQColor(text));
    const int baseline = y + face->Ascent;
    FText.resize(count);
    for (int i = 0; i < count; ++i) FText[i] = GlyphOf(static_cast<uint8_t>(glyphs[i]));
    // Every glyph sits at the origin of its own cell, whatever the font's
    // own advance: one glyph run with the positions given, so the run costs
    // one call and never drifts off the grid.
    FGlyphIndexes.resize(count);
    int found = count;
    const bool raw = face->Raw.isValid() &&
                     face->Raw.glyphIndexesForChars(FText.constData(), count, FGlyphIndexes.data(), &found) &&
                     found == count;
    FRunIndexes.clear();
    FRunPositions.clear();
    bool missing = false;
    for (int i = 0; i < count; ++i) {
        if (FText[i] == QLatin1Char(' ')) continue;
        if (!raw || FGlyphIndexes[i] == 0) {
            missing = true;
            continue;
        }
        FRunIndexes.append(FGlyphIndexes[i]);
        FRunPositions.append(QPointF(i * advance, 0));
    }
    if (!FRunIndexes.isEmpty()) {
        QGlyphRun run;
        run.setRawFont(face->Raw);
        run.setGlyphIndexes(FRunIndexes);
        run.setPositions(FRunPositions);
        painter.drawGlyphRun(QPointF(x, baseline), run);
    }
    if (!missing) return;
    // Glyphs the face lacks come from whichever font the system substitutes,
    // each placed on its cell the same way.
    painter.setFont(face->Font);
    for (int i = 0; i < count; ++i) {
        if (FText[i] == QLatin1Char(' ') || (raw && FGlyphIndexes[i] != 0)) continue;
        painter.drawText(QPoint(x + i * advance, baseline), QString(FText[i]));
    }
    painter.setFont(FOwn.Font);
}

void TQnQtPainter::Line(int x1, int y1, int x2, int y2, TColor color) {
    FPainter.setPen(ToQColor(color));
    // The end point itself is not drawn, as a pen move-and-line would.
    if (y1 == y2 && x2 > x1)
        --x2;
    else if (x1 == x2 && y2 > y1)
        --y2;
    FPainter.drawLine(x1, y1, x2, y2);
    Touch(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
}
