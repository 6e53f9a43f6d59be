#pragma once
// Per-row line attributes (double width / double height) of an emulator's
// screen buffer, one per grid row, scrolled along with the buffer's rows.

#include <cstdint>
#include <vector>

#include "console/QnTrmBuf.h"

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
    int Size() const { return static_cast<int>(FAttrs.size()); }

private:
    void Sync();  // follows a change of the buffer's grid size
    int64_t Index(int row) const;

    const TQnTerminalBuffer& FBuffer;
    std::vector<TQnLineAttr> FAttrs;
};
