#include "console/core/QnLineAttr.h"

#include <algorithm>

TQnLineAttrArray::TQnLineAttrArray(const TQnTerminalBuffer& buffer) : FBuffer(buffer) {
    FAttrs.SetDefaultItem(laNormal);
    FAttrs.SetColCount(1);
    FAttrs.SetRowCount(buffer.SVRowCount());
}

// The plane keeps its rows aligned at the bottom on a resize, as the buffer does.
void TQnLineAttrArray::Sync() { FAttrs.SetRowCount(FBuffer.SVRowCount()); }

int TQnLineAttrArray::Index(int row) const {
    const int64_t i = static_cast<int64_t>(row) + Size() - FBuffer.RowCount() - 1;
    return static_cast<int>(std::clamp<int64_t>(i, -1, Size()));
}

TQnLineAttr TQnLineAttrArray::GetAttr(int row) {
    Sync();
    return static_cast<TQnLineAttr>(FAttrs.GetItem(Index(row), 0));
}

void TQnLineAttrArray::SetAttr(int row, TQnLineAttr attr) {
    Sync();
    FAttrs.SetItem(Index(row), 0, attr);
}

void TQnLineAttrArray::Scroll(int count, int firstRow, int lastRow) {
    Sync();
    FAttrs.ScrollRows(count, Index(firstRow), Index(lastRow));
}
