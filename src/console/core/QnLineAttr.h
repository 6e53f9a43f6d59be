#pragma once
// Per-row line attributes (double width / double height) of an emulator's
// screen buffer, one per grid row, scrolled along with the buffer's rows.
// They are held in a one-column plane like the buffer's own, so a line
// scrolling into the scroll-back costs the same however long the
// scroll-back is.

#include <cstdint>

#include "console/core/QnTrmBuf.h"

enum TQnLineAttr : uint8_t { laNormal = 0, laDblHeightTop = 1, laDblHeightBottom = 2, laDblWidth = 3 };

class TQnLineAttrArray {
public:
    explicit TQnLineAttrArray(const TQnTerminalBuffer& buffer);

    // Rows are 1-based screen rows; 0 and below reach the scrollback.
    // Rows outside the grid read laNormal and are not written.
    TQnLineAttr GetAttr(int row);
    void SetAttr(int row, TQnLineAttr attr);
    // Moves the attributes as the buffer moved its rows (count > 0 up).
    void Scroll(int count, int firstRow, int lastRow);
    int Size() const { return FAttrs.RowCount(); }

private:
    void Sync();  // follows a change of the buffer's grid size
    // The plane row of a screen row; -1 or Size() when it lies outside.
    int Index(int row) const;

    const TQnTerminalBuffer& FBuffer;
    TadTerminalArray FAttrs{1};
};
