#pragma once
// The terminal's drawing surface for emulators: QPainter on the window's
// backing image, glyph bytes shown through the code page 437 table.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <list>
#include <string>
#include <unordered_map>

#include "console/QnTrmEmu.h"

inline QColor QnToQColor(TQnColor c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

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
    // Draws on `image` inside `clip` (client pixels) with `font` as the
    // terminal's own font; `cache` (optional) keeps drawn runs for reuse.
    TQnQtPainter(QImage& image, const QFont& font, const QRect& clip, TQnRunImageCache* cache = nullptr);

    TQnRect ClipBox() const override;
    void FillRect(const TQnRect& r, TQnColor color) override;
    void TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TQnColor text,
                 TQnColor fill, const std::string& fontName, bool doubleHeight) override;
    void Line(int x1, int y1, int x2, int y2, TQnColor color) override;

    // Union of everything drawn (client pixels).
    QRect Dirty() const { return FDirty; }

private:
    void Touch(const QRect& r) { FDirty |= r & FClip; }
    void DrawGlyphs(QPainter& painter, int x, int y, const char* glyphs, int count, int advance, TQnColor text,
                    const std::string& fontName, bool doubleHeight);

    QPainter FPainter;
    QFont FFont;
    QFontMetrics FMetrics;
    bool FFixedAdvanceFont;
    QRect FClip;
    QRect FDirty;
    QString FText;
    TQnRunImageCache* FCache;
    std::string FKey;
};
