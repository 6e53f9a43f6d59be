// Cell-exact painting of the VT100 screen.
#include "console/core/QnTrmVT100Paint.h"

#include <algorithm>

#include "console/core/QnTrmEmu.h"
#include "console/core/QnTrmMap.h"
#include "console/core/QnTrmVT100.h"

TQnVT100Paint::TQnVT100Paint(TQnTerminalBuffer& buffer, TQnLineAttrArray& lineAttrs, TQnCharSetMapping& charSets)
    : FBuffer(buffer), FLineAttrs(lineAttrs), FCharSets(charSets) {}

void TQnVT100Paint::BuildGlyphTable() {
    FFontNames.assign(1, std::string());
    for (int set = 0; set < SetCount; ++set) {
        const char* name = QnVT100CharSetName(static_cast<uint8_t>(set));
        for (int ch = 0; ch < 256; ++ch) {
            const TQnCharSetMapping::TEntry* e = FCharSets.Find(name, static_cast<uint8_t>(ch));
            FGlyph[set][ch] = e ? e->Glyph : static_cast<uint8_t>(ch);
            std::string font = e ? e->FontName : std::string();
            if (font == QnDefaultFontName) font.clear();
            auto it = std::find(FFontNames.begin(), FFontNames.end(), font);
            if (it == FFontNames.end()) it = FFontNames.insert(FFontNames.end(), font);
            FFont[set][ch] = static_cast<uint8_t>(std::min<ptrdiff_t>(it - FFontNames.begin(), 255));
        }
    }
    FGlyphsOfCount = FCharSets.Count();
}

void TQnVT100Paint::Paint(TQnTerminalHost& host, TQnTerminalPainter& painter) {
    const TQnTerminalView view = host.View();
    TQnClipCells cells;
    if (!QnClipCells(view, painter.ClipBox(), cells)) return;
    for (int row = cells.TopRow; row <= cells.BottomRow; ++row)
        PaintRow(painter, view, row, cells.FromCol, false, true, cells.ToCol);
}

void TQnVT100Paint::LazyPaint(TQnTerminalHost& host, TQnTerminalPainter& painter) {
    const TQnTerminalView view = host.View();
    TQnRect r;
    if (RepaintAll) {
        RepaintAll = false;
        for (int row = 1; row <= FBuffer.RowCount(); ++row)
            PaintRow(painter, view, row, 1, false, true, FBuffer.ColCount());
        while (FBuffer.GetInvalidRect(r)) {
        }
        return;
    }
    // Invalid rectangles are in buffer columns, which on a double-size row
    // are already character columns.
    while (FBuffer.GetInvalidRect(r))
        for (int row = r.Top; row <= r.Bottom; ++row) PaintRow(painter, view, row, r.Left, true, true, r.Right);
}

void TQnVT100Paint::BlinkPaint(TQnTerminalHost& host, TQnTerminalPainter& painter, bool phase) {
    const TQnTerminalView view = host.View();
    BuildBlinkRuns(view);
    for (const TBlinkRun& run : FBlinkRuns) PaintRow(painter, view, run.Row, run.First, true, phase, run.Last);
}

std::pair<int, int> TQnVT100Paint::RowsInView(const TQnTerminalView& view) const {
    return {std::max(view.TopRow, FBuffer.RowCount() - FBuffer.SVRowCount() + 1),
            std::min(view.TopRow + view.DrawRows - 1, FBuffer.RowCount())};
}

bool TQnVT100Paint::HasBlinkingText(const TQnTerminalView& view) const {
    const auto [first, last] = RowsInView(view);
    for (int row = first; row <= last; ++row)
        if (FBuffer.BlinkingCells(row) > 0) return true;
    return false;
}

void TQnVT100Paint::BuildBlinkRuns(const TQnTerminalView& view) {
    FBlinkRuns.clear();
    // Only rows that are drawn, exist in the buffer and blink somewhere.
    const auto [first, last] = RowsInView(view);
    const int cols = FBuffer.ColCount();
    for (int row = first; row <= last; ++row) {
        const TQnCharAttrs* attrs = FBuffer.BlinkingCells(row) > 0 ? FBuffer.GetLineAttrPtr(row) : nullptr;
        if (!attrs) continue;
        for (int c = 0; c < cols; ++c) {
            if (!(attrs[c] & atBlink)) continue;
            int end = c;
            while (end + 1 < cols && (attrs[end + 1] & atBlink)) ++end;
            FBlinkRuns.push_back(TBlinkRun{row, c + 1, end + 1});
            c = end;
        }
    }
}

void TQnVT100Paint::PaintRow(TQnTerminalPainter& painter, const TQnTerminalView& view, int row, int fromCol,
                             bool colsAreChars, bool drawText, int toCol) {
    if (row < view.TopRow || row >= view.TopRow + view.DrawRows) return;
    const TQnLineAttr la = FLineAttrs.GetAttr(row);
    const bool doubleSize = la != laNormal;
    if (doubleSize && !colsAreChars) {
        fromCol = (fromCol - 1) / 2 + 1;
        toCol = (toCol - 1) / 2 + 1;
    }
    const int first = doubleSize ? (view.LeftCol - 1) / 2 + 1 : view.LeftCol;
    const int limit = doubleSize ? (view.LeftCol + view.DrawCols - 1) / 2 + 1 : view.LeftCol + view.DrawCols;
    if (first > toCol || fromCol >= limit) return;
    fromCol = std::max({fromCol, first, 1});
    toCol = std::min({toCol, limit, FBuffer.ColCount()});
    if (fromCol > toCol) return;
    const int w = doubleSize ? 2 * view.CharWidth : view.CharWidth;
    const int xShift = doubleSize && view.LeftCol % 2 == 0 ? -view.CharWidth : 0;
    const int top = (row - view.TopRow) * view.CharHeight;

    if (!drawText) {
        // Blink off: only the background shows, whatever the cell's reverse
        // or selection marks.
        const TColor* plane = ReverseScreen ? FBuffer.GetLineForeColorPtr(row) : FBuffer.GetLineBackColorPtr(row);
        if (!plane) return;
        for (int c = fromCol; c <= toCol;) {
            int end = c;
            while (end < toCol && plane[end] == plane[c - 1]) ++end;
            const int left = (c - first) * w + xShift;
            painter.FillRect(TQnRect{left, top, (end - first + 1) * w + xShift, top + view.CharHeight}, plane[c - 1]);
            c = end + 1;
        }
        return;
    }

    // The lower half of a double-height pair shows the upper row's text;
    // without an upper half it shows its own.
    const int textRow = la == laDblHeightBottom && FLineAttrs.GetAttr(row - 1) == laDblHeightTop ? row - 1 : row;
    const TColor* fores = FBuffer.GetLineForeColorPtr(textRow);
    const TColor* backs = FBuffer.GetLineBackColorPtr(textRow);
    const TQnCharAttrs* attrs = FBuffer.GetLineAttrPtr(textRow);
    const uint8_t* sets = FBuffer.GetLineCharSetPtr(textRow);
    if (!fores || !backs || !attrs || !sets) return;
    FRuns.clear();
    for (int c = fromCol; c <= toCol;) {
        const int i = c - 1;
        int end = c;
        while (end < toCol && fores[end] == fores[i] && backs[end] == backs[i] && attrs[end] == attrs[i] &&
               sets[end] == sets[i])
            ++end;
        FRuns.push_back(TPaintRun{c, end, fores[i], backs[i], attrs[i], sets[i]});
        c = end + 1;
    }
    for (auto it = FRuns.rbegin(); it != FRuns.rend(); ++it) PaintRun(painter, view, row, textRow, *it);
}

void TQnVT100Paint::PaintRun(TQnTerminalPainter& painter, const TQnTerminalView& view, int row, int textRow,
                             const TPaintRun& run) {
    // A map loaded again since the table was built is read again.
    if (FGlyphsOfCount != FCharSets.Count()) BuildGlyphTable();
    const TQnLineAttr la = FLineAttrs.GetAttr(row);
    const bool doubleSize = la != laNormal;
    const bool doubleHeight = la == laDblHeightTop || la == laDblHeightBottom;
    const int ch = view.CharHeight;
    // The row's own band; glyphs of a lower half start one row higher.
    const int bandTop = (row - view.TopRow) * ch;
    const int bandBottom = bandTop + ch;
    const int glyphTop = la == laDblHeightBottom ? bandTop - ch : bandTop;
    const int glyphBottom = glyphTop + (doubleHeight ? 2 * ch : ch);
    const int w = doubleSize ? 2 * view.CharWidth : view.CharWidth;
    const int first = doubleSize ? (view.LeftCol - 1) / 2 + 1 : view.LeftCol;
    const int xShift = doubleSize && view.LeftCol % 2 == 0 ? -view.CharWidth : 0;

    TColor text, fill;
    QnCellColors(run.Fore, run.Back, run.Attrs, ReverseScreen, text, fill);
    const int set = run.CharSet < SetCount ? run.CharSet : 0;
    const char* chars = FBuffer.GetLineCharPtr(textRow);
    if (!chars) return;
    const int count = run.Last - run.First + 1;
    if (FRunText.size() < static_cast<size_t>(FBuffer.ColCount()) + 1)
        FRunText.resize(static_cast<size_t>(FBuffer.ColCount()) + 1);
    const auto* cells = reinterpret_cast<const uint8_t*>(chars + run.First - 1);
    for (int i = 0; i < count; ++i) FRunText[i] = static_cast<char>(FGlyph[set][cells[i]]);
    FRunText[count] = '\0';
    // One text output per piece of glyphs that share a font.
    int column = run.First - first;
    for (int i = 0; i < count;) {
        const uint8_t font = FFont[set][cells[i]];
        int n = 1;
        while (i + n < count && FFont[set][cells[i + n]] == font) ++n;
        const int left = column * w + xShift;
        const int right = left + n * w;
        painter.TextOut(left, glyphTop, TQnRect{left, bandTop, right, bandBottom}, FRunText.data() + i, n, w, text,
                        fill, FFontNames[font], doubleHeight);
        const auto line = [&](int y) {
            if (y >= bandTop && y < bandBottom) painter.Line(left, y, right, y, text);
        };
        if (run.Attrs & atUnderline) line(glyphBottom - 2);
        if (run.Attrs & atStrikethrough) line(glyphTop + (glyphBottom - glyphTop) / 2);
        column += n;
        i += n;
    }
}
