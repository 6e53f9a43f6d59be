#pragma once
// The terminal's drawing surface for emulators: QPainter on the window's
// backing image, glyph bytes shown through the code page 437 table.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRect>

#include <list>
#include <string>
#include <unordered_map>

#include "console/core/QnTrmEmu.h"
#include "platform/QtColor.h"

// The character advance of the face `font` really resolves to: the widest
// printable ASCII glyph in whole pixels, which for a fixed-pitch face is its
// one advance. Not the face's maximum width, which counts every glyph it
// holds (arrows, ligatures ...) and is several cells wide in a text face.
int QnCharAdvance(const QFont& font);

// The terminal's font with the face `family` asked for first. The
// terminal's own faces stay behind it, so a face that is not installed
// falls back to the terminal's monospace font and not to the system's
// default text face.
QFont QnFaceFont(const QFont& base, const std::string& family);

// The character cell of a font, in whole pixels: as wide as its advance
// (QnCharAdvance), tall enough for the ink of every printable ASCII glyph
// drawn at the cell's origin, so that no glyph reaches into the row below,
// where repainting that row alone would cut it. Ascent is the baseline's
// distance from the top of the cell.
struct TQnGlyphCell {
    int Width = 1;
    int Height = 1;
    int Ascent = 0;
};
TQnGlyphCell QnGlyphCellOf(const QFont& font);

// Recently drawn text runs as images. Scrolling text repaints the same runs
// on other rows again and again; a blit is far cheaper than shaping and
// rasterising the glyphs anew. Cleared whenever the font changes.
class TQnRunImageCache {
public:
    const QImage* Find(const std::string& key);
    void Add(const std::string& key, const QImage& image);
    void Clear();
    int Count() const { return static_cast<int>(FEntries.size()); }

private:
    static constexpr int MaxEntries = 512;
    static constexpr int64_t MaxPixels = 4 * 1024 * 1024;
    using Entry = std::pair<std::string, QImage>;
    std::list<Entry> FEntries;  // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> FIndex;
    int64_t FPixels = 0;
};

class TQnQtPainter : public TQnTerminalPainter {
public:
    // Draws on `image` inside `clip` (client pixels; the image may hold more
    // device pixels, as its device pixel ratio says) with `font` as the
    // terminal's own font, its baseline `ascent` pixels below the top of a
    // cell (negative: that of QnGlyphCellOf(font)); `cache` (optional) keeps
    // drawn runs for reuse.
    TQnQtPainter(QImage& image, const QFont& font, const QRect& clip, TQnRunImageCache* cache = nullptr,
                 int ascent = -1);

    TQnRect ClipBox() const override;
    void FillRect(const TQnRect& r, TColor color) override;
    void TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TColor text,
                 TColor fill, const std::string& fontName, bool doubleHeight) override;
    void Line(int x1, int y1, int x2, int y2, TColor color) override;

    // Union of everything drawn (client pixels).
    QRect Dirty() const { return FDirty; }

private:
    void Touch(const QRect& r) { FDirty |= r & FClip; }
    void DrawGlyphs(QPainter& painter, int x, int y, const char* glyphs, int count, int advance, TColor text,
                    const std::string& fontName, bool doubleHeight);

    // The glyph source and baseline of a font, kept for the last font asked
    // for besides the terminal's own.
    struct TFontFace {
        QFont Font;
        QRawFont Raw;
        int Ascent = -1;
        int Height = 0;  // 0: not measured yet
        bool Loaded = false;
    };
    void LoadFace(TFontFace& face, const QFont& font);
    int FaceHeight(TFontFace& face);

    QPainter FPainter;
    TFontFace FOwn;
    TFontFace FOther;
    QRect FClip;
    QRect FDirty;
    QString FText;
    QList<quint32> FGlyphIndexes;
    QList<quint32> FRunIndexes;
    QList<QPointF> FRunPositions;
    TQnRunImageCache* FCache;
    std::string FKey;
    qreal FRatio = 1;  // device pixels per client pixel
};
