#include "console/core/QnLineAttr.h"

#include <algorithm>

TQnLineAttrArray::TQnLineAttrArray(const TQnTerminalBuffer& buffer)
    : FBuffer(buffer), FAttrs(static_cast<size_t>(buffer.SVRowCount()), laNormal) {}

void TQnLineAttrArray::Sync() {
    const int64_t n = FBuffer.SVRowCount();
    if (n == Size()) return;
    // Rows stay aligned at the bottom, as the buffer keeps them.
    std::vector<TQnLineAttr> next(static_cast<size_t>(n), laNormal);
    const int64_t keep = std::min<int64_t>(n, Size());
    for (int64_t i = 0; i < keep; ++i) next[static_cast<size_t>(n - keep + i)] = At(Size() - keep + i);
    FAttrs.swap(next);
    FTop = 0;
}

int64_t TQnLineAttrArray::Index(int row) const { return static_cast<int64_t>(row) + Size() - FBuffer.RowCount() - 1; }

TQnLineAttr TQnLineAttrArray::GetAttr(int row) {
    Sync();
    const int64_t i = Index(row);
    return (i >= 0 && i < Size()) ? At(i) : laNormal;
}

void TQnLineAttrArray::SetAttr(int row, TQnLineAttr attr) {
    Sync();
    const int64_t i = Index(row);
    if (i >= 0 && i < Size()) At(i) = attr;
}

void TQnLineAttrArray::Fill(int64_t first, int64_t last) {
    for (int64_t i = first; i <= last; ++i) At(i) = laNormal;
}

void TQnLineAttrArray::Scroll(int count, int firstRow, int lastRow) {
    Sync();
    if (count == 0 || FAttrs.empty()) return;
    int64_t f = Index(firstRow), l = Index(lastRow);
    if (f > l) std::swap(f, l);
    f = std::max<int64_t>(f, 0);
    l = std::min<int64_t>(l, Size() - 1);
    if (f > l) return;
    const int64_t n = count;
    const int64_t k = n > 0 ? n : -n;
    if (k > l - f) {
        Fill(f, l);
        return;
    }
    if (f == 0 && l == Size() - 1) {
        // The whole grid: turn the ring instead of moving every row.
        if (n > 0) {
            FTop = (FTop + k) % Size();
            Fill(l - k + 1, l);
        } else {
            FTop = (FTop + Size() - k) % Size();
            Fill(f, f + k - 1);
        }
        return;
    }
    if (n > 0) {
        for (int64_t i = f; i + n <= l; ++i) At(i) = At(i + n);
        Fill(l - n + 1, l);
    } else {
        for (int64_t i = l; i + n >= f; --i) At(i) = At(i + n);
        Fill(f, f - n - 1);
    }
}
