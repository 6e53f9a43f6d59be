#include "console/QnTerminalPaint.h"

#include <QFontInfo>

#include "console/CodePage437.h"

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

TQnQtPainter::TQnQtPainter(QImage& image, const QFont& font, const QRect& clip, TQnRunImageCache* cache)
    : FPainter(&image), FFont(font), FMetrics(font), FFixedAdvanceFont(QFontInfo(font).fixedPitch()),
      FClip(clip & image.rect()), FCache(cache) {
    FPainter.setClipRect(FClip);
    FPainter.setFont(FFont);
}

TQnRect TQnQtPainter::ClipBox() const {
    return TQnRect{FClip.left(), FClip.top(), FClip.left() + FClip.width(), FClip.top() + FClip.height()};
}

void TQnQtPainter::FillRect(const TQnRect& r, TQnColor color) {
    const QRect q(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (q.isEmpty()) return;
    FPainter.fillRect(q, QnToQColor(color));
    Touch(q);
}

namespace {
template <typename T>
void AppendRaw(std::string& key, T v) {
    key.append(reinterpret_cast<const char*>(&v), sizeof v);
}
}  // namespace

void TQnQtPainter::TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance,
                           TQnColor text, TQnColor fill, const std::string& fontName, bool doubleHeight) {
    const QRect box(opaque.Left, opaque.Top, opaque.Right - opaque.Left, opaque.Bottom - opaque.Top);
    if (!glyphs || count < 0) count = 0;
    const bool cacheable = FCache && !box.isEmpty() && x == box.left() && y == box.top() &&
                           static_cast<int64_t>(box.width()) * box.height() <= 256 * 1024;
    if (cacheable) {
        FKey.clear();
        AppendRaw(FKey, box.width());
        AppendRaw(FKey, box.height());
        AppendRaw(FKey, advance);
        AppendRaw(FKey, text);
        AppendRaw(FKey, fill);
        FKey.push_back(doubleHeight ? 'd' : 'n');
        FKey.append(fontName);
        FKey.push_back('\0');
        FKey.append(glyphs, static_cast<size_t>(count));
        const QImage* hit = FCache->Find(FKey);
        if (!hit) {
            QImage run(box.size(), QImage::Format_RGB32);
            run.fill(QnToQColor(fill));
            {
                QPainter p(&run);
                p.setFont(FFont);
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
        FPainter.fillRect(box, QnToQColor(fill));
        Touch(box);
    }
    if (count == 0) return;
    FPainter.save();
    if (!box.isEmpty()) FPainter.setClipRect(box & FClip);
    DrawGlyphs(FPainter, x, y, glyphs, count, advance, text, fontName, doubleHeight);
    FPainter.restore();
    Touch(QRect(x, y, count * advance, FMetrics.height() * (doubleHeight ? 2 : 1)));
}

void TQnQtPainter::DrawGlyphs(QPainter& painter, int x, int y, const char* glyphs, int count, int advance,
                              TQnColor text, const std::string& fontName, bool doubleHeight) {
    if (count <= 0) return;
    QFont font = FFont;
    if (!fontName.empty()) font.setFamily(QString::fromLatin1(fontName.c_str()));
    if (doubleHeight) {
        if (font.pixelSize() > 0) font.setPixelSize(font.pixelSize() * 2);
        else font.setPointSizeF(font.pointSizeF() * 2);
    }
    const bool ownFont = fontName.empty() && !doubleHeight;
    const QFontMetrics metrics = ownFont ? FMetrics : QFontMetrics(font);
    painter.setFont(font);
    painter.setPen(QnToQColor(text));
    const int baseline = y + metrics.ascent();
    // One call for a run of plain ASCII in a font whose advance is the cell;
    // otherwise glyph by glyph, so substituted glyphs stay on the grid.
    bool ascii = ownFont && FFixedAdvanceFont && metrics.horizontalAdvance(QLatin1Char('M')) == advance;
    FText.resize(count);
    for (int i = 0; i < count; ++i) {
        const uint8_t b = static_cast<uint8_t>(glyphs[i]);
        if (b < 0x20 || b >= 0x7F) ascii = false;
        FText[i] = GlyphOf(b);
    }
    if (ascii) {
        painter.drawText(QPoint(x, baseline), FText);
    } else {
        for (int i = 0; i < count; ++i) {
            if (FText[i] == QLatin1Char(' ')) continue;
            painter.drawText(QPoint(x + i * advance, baseline), QString(FText[i]));
        }
    }
    if (!ownFont) painter.setFont(FFont);
}

void TQnQtPainter::Line(int x1, int y1, int x2, int y2, TQnColor color) {
    FPainter.setPen(QnToQColor(color));
    // The end point itself is not drawn, as a pen move-and-line would.
    if (y1 == y2 && x2 > x1) --x2;
    else if (x1 == x2 && y2 > y1) --y2;
    FPainter.drawLine(x1, y1, x2, y2);
    Touch(QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))));
}
