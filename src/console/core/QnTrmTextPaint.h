#pragma once
// Plain text painting of a terminal buffer: runs of cells with equal colours
// and attributes drawn in the terminal's own font, with underline and
// strikethrough lines. Emulators use it for their invalid rows (LazyPaint)
// and for window repaints (Paint).

#include <vector>

#include "console/core/QnTrmBuf.h"

class TQnTerminalHost;
class TQnTerminalPainter;
struct TQnTerminalView;

class TQnTextPaint {
public:
    // Paints every screen row when `repaintAll` is set (and clears it),
    // otherwise the rows of the buffer's invalid rectangles; the rectangles
    // are drained either way.
    void LazyPaint(TQnTerminalHost& host, TQnTerminalBuffer& buffer, TQnTerminalPainter& painter, bool& repaintAll);
    // Paints the cells of the painter's clip box.
    void Paint(TQnTerminalHost& host, const TQnTerminalBuffer& buffer, TQnTerminalPainter& painter);
    // Draws the whole screen reversed.
    bool ReverseScreen = false;

private:
    void PaintRow(TQnTerminalPainter& painter, const TQnTerminalBuffer& buffer, const TQnTerminalView& view, int row,
                  int fromCol, int toCol);

    std::vector<char> FRunText;  // sized from the column count
};
