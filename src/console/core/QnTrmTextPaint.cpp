// Plain text painting of a terminal buffer.
#include "console/core/QnTrmTextPaint.h"

#include <algorithm>
#include <string>

#include "console/core/QnTrmEmu.h"

void TQnTextPaint::LazyPaint(TQnTerminalHost& host, TQnTerminalBuffer& b, TQnTerminalPainter& painter,
                             bool& repaintAll) {
    const TQnTerminalView view = host.View();
    TQnRect r;
    if (repaintAll) {
        repaintAll = false;
        for (int row = 1; row <= b.RowCount(); ++row) PaintRow(painter, b, view, row, 1, b.ColCount());
        while (b.GetInvalidRect(r)) {
        }
        return;
    }
    // Invalid rows are screen rows, the numbers the view counts in.
    while (b.GetInvalidRect(r)) {
        for (int row = std::max(r.Top, view.TopRow); row <= std::min(r.Bottom, view.TopRow + view.DrawRows - 1); ++row)
            PaintRow(painter, b, view, row, r.Left, r.Right);
    }
}

void TQnTextPaint::Paint(TQnTerminalHost& host, const TQnTerminalBuffer& b, TQnTerminalPainter& painter) {
    const TQnTerminalView view = host.View();
    TQnClipCells cells;
    if (!QnClipCells(view, painter.ClipBox(), cells)) return;
    const int topRow = std::max(cells.TopRow, view.TopRow);
    const int bottomRow = std::min(cells.BottomRow, view.TopRow + view.DrawRows - 1);
    for (int row = topRow; row <= bottomRow; ++row) PaintRow(painter, b, view, row, cells.FromCol, cells.ToCol);
}
void TQnTextPaint::PaintRow(TQnTerminalPainter& painter, const TQnTerminalBuffer& b, const TQnTerminalView& view,
                            int row, int fromCol, int toCol) {
    if (row < view.TopRow || row >= view.TopRow + view.DrawRows) return;
    const int first = view.LeftCol;
    const int limit = view.LeftCol + view.DrawCols;
    if (first > toCol || fromCol >= limit) return;
    fromCol = std::max({fromCol, first, 1});
    toCol = std::min({toCol, limit, b.ColCount()});
    if (fromCol > toCol) return;
    const char* chars = b.GetLineCharPtr(row);
    const TQnCharAttrs* attrs = b.GetLineAttrPtr(row);
    const TColor* fores = b.GetLineForeColorPtr(row);
    const TColor* backs = b.GetLineBackColorPtr(row);
    if (!chars || !attrs || !fores || !backs) return;
    if (FRunText.size() < static_cast<size_t>(b.ColCount())) FRunText.resize(static_cast<size_t>(b.ColCount()));
    const int cw = view.CharWidth, chh = view.CharHeight;
    const int top = (row - view.TopRow) * chh;
    const int bottom = top + chh;
    static const std::string defaultFont;
    int c = fromCol;
    while (c <= toCol) {
        const int i0 = c - 1;
        int end = c;
        while (end < toCol && fores[end] == fores[i0] && backs[end] == backs[i0] && attrs[end] == attrs[i0]) ++end;
        const int count = end - c + 1;
        std::copy(chars + i0, chars + i0 + count, FRunText.begin());
        TColor text, fill;
        QnCellColors(fores[i0], backs[i0], attrs[i0], ReverseScreen, text, fill);
        const int left = (c - view.LeftCol) * cw;
        const int right = left + count * cw;
        painter.TextOut(left, top, TQnRect{left, top, right, bottom}, FRunText.data(), count, cw, text, fill,
                        defaultFont, false);
        if (attrs[i0] & atUnderline) painter.Line(left, bottom - 2, right, bottom - 2, text);
        if (attrs[i0] & atStrikethrough) {
            const int m = top + (bottom - top) / 2;
            painter.Line(left, m, right, m, text);
        }
        c = end + 1;
    }
}
