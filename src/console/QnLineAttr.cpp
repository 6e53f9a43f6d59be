#include "console/QnLineAttr.h"

#include <algorithm>

TQnLineAttrArray::TQnLineAttrArray(const TQnTerminalBuffer& buffer)
    : FBuffer(buffer), FAttrs(static_cast<size_t>(buffer.SVRowCount()), laNormal) {}

void TQnLineAttrArray::Sync() {
    const size_t n = static_cast<size_t>(FBuffer.SVRowCount());
    if (n == FAttrs.size()) return;
    // Rows stay aligned at the bottom, as the buffer keeps them.
    std::vector<TQnLineAttr> next(n, laNormal);
    const size_t keep = std::min(n, FAttrs.size());
    std::copy(FAttrs.end() - static_cast<std::ptrdiff_t>(keep), FAttrs.end(),
              next.end() - static_cast<std::ptrdiff_t>(keep));
    FAttrs.swap(next);
}

int64_t TQnLineAttrArray::Index(int row) const {
    return static_cast<int64_t>(row) + Size() - FBuffer.RowCount() - 1;
}

TQnLineAttr TQnLineAttrArray::GetAttr(int row) {
    Sync();
    const int64_t i = Index(row);
    return (i >= 0 && i < Size()) ? FAttrs[static_cast<size_t>(i)] : laNormal;
}

void TQnLineAttrArray::SetAttr(int row, TQnLineAttr attr) {
    Sync();
    const int64_t i = Index(row);
    if (i >= 0 && i < Size()) FAttrs[static_cast<size_t>(i)] = attr;
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
    if (n > 0) {
        int64_t i = f;
        for (; i + n <= l; ++i) FAttrs[static_cast<size_t>(i)] = FAttrs[static_cast<size_t>(i + n)];
        for (; i <= l; ++i) FAttrs[static_cast<size_t>(i)] = laNormal;
    } else {
        int64_t i = l;
        for (; i + n >= f; --i) FAttrs[static_cast<size_t>(i)] = FAttrs[static_cast<size_t>(i + n)];
        for (; i >= f; --i) FAttrs[static_cast<size_t>(i)] = laNormal;
    }
}
