#pragma once
// Per-row line attributes (double width / double height) of an emulator's
// screen buffer, one per grid row, scrolled along with the buffer's rows.
// Like the buffer's planes they are kept in a ring, so a line scrolling into
// the scroll-back costs the same however long the scroll-back is.

#include <cstdint>
#include <vector>

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
    int Size() const { return static_cast<int>(FAttrs.size()); }

private:
    void Sync();  // follows a change of the buffer's grid size
    int64_t Index(int row) const;
    // The attribute of grid row i (0 <= i < Size()): stored at (i + FTop) mod Size().
    TQnLineAttr& At(int64_t i) {
        const int64_t p = i + FTop;
        return FAttrs[static_cast<size_t>(p >= Size() ? p - Size() : p)];
    }
    void Fill(int64_t first, int64_t last);

    const TQnTerminalBuffer& FBuffer;
    std::vector<TQnLineAttr> FAttrs;
    int64_t FTop = 0;
};
