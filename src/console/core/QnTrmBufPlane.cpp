// The cell planes, flag sets and blinking-cell counts of the terminal screen
// buffer.
#include <algorithm>
#include <cstring>

#include "console/core/QnTrmBuf.h"

namespace {
int NormaliseItemSize(int size) { return (size == 1 || size == 2 || size == 4) ? size : 1; }
}  // namespace

TadTerminalArray::TadTerminalArray(int itemSize) : FItemSize(NormaliseItemSize(itemSize)) {}

uint32_t TadTerminalArray::ReadAt(const uint8_t* p) const {
    switch (FItemSize) {
        case 1:
            return *p;
        case 2: {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        default: {
            uint32_t v;
            std::memcpy(&v, p, 4);
            return v;
        }
    }
}

void TadTerminalArray::WriteAt(uint8_t* p, uint32_t v) const {
    switch (FItemSize) {
        case 1:
            *p = static_cast<uint8_t>(v);
            break;
        case 2: {
            const uint16_t w = static_cast<uint16_t>(v);
            std::memcpy(p, &w, 2);
            break;
        }
        default:
            std::memcpy(p, &v, 4);
            break;
    }
}

namespace {
// Fills `count` items of type T from `at` (any alignment) with `value`.
// The first item is stored, then the filled part is copied onto the rest,
// doubling each time.
template <typename T>
void FillTyped(uint8_t* at, int count, T value) {
    std::memcpy(at, &value, sizeof(T));
    const size_t total = static_cast<size_t>(count) * sizeof(T);
    for (size_t done = sizeof(T); done < total; done *= 2) std::memcpy(at + done, at, std::min(done, total - done));
}
}  // namespace

void TadTerminalArray::FillWith(uint8_t* at, int count, uint32_t value) {
    if (count <= 0) return;
    switch (FItemSize) {
        case 1:
            std::memset(at, static_cast<uint8_t>(value), static_cast<size_t>(count));
            break;
        case 2:
            FillTyped(at, count, static_cast<uint16_t>(value));
            break;
        default:
            FillTyped(at, count, value);
            break;
    }
}

void TadTerminalArray::FillValue(int row, int col, int count, uint32_t value) {
    if (FItems.empty() || row < 0 || row >= FRowCount || col < 0 || col >= FColCount || count <= 0) return;
    FillWith(FItems.data() + Offset(row, col), std::min(count, FColCount - col), value);
}

void TadTerminalArray::Reallocate(int rows, int cols) {
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    std::vector<uint8_t> old;
    std::swap(old, FItems);
    const int oldRows = old.empty() ? 0 : FRowCount;
    const int oldCols = old.empty() ? 0 : FColCount;
    const int oldStride = FStride;
    const int oldTop = FTop;
    FRowCount = rows;
    FColCount = cols;
    FTop = 0;
    if (rows == 0 || cols == 0) {
        FStride = -1;
        return;
    }
    const int itemsPerWord = 4 / FItemSize;
    FStride = (cols + itemsPerWord - 1) / itemsPerWord * itemsPerWord;
    FItems.resize(static_cast<size_t>(rows) * FStride * FItemSize);
    FillItems(FItems.data(), rows * FStride);
    // Rows stay aligned at the bottom, columns at the left.
    const int keepRows = std::min(rows, oldRows);
    const int keepCols = std::min(cols, oldCols);
    for (int i = 0; i < keepRows; ++i) {
        int fromRow = oldRows - keepRows + i + oldTop;
        if (fromRow >= oldRows) fromRow -= oldRows;
        std::memcpy(RowPtr(rows - keepRows + i), old.data() + static_cast<size_t>(fromRow) * oldStride * FItemSize,
                    static_cast<size_t>(keepCols) * FItemSize);
    }
}

void TadTerminalArray::FillRows(int first, int last) {
    if (first > last) return;
    if (PhysRow(last) - PhysRow(first) == last - first) {
        FillItems(RowPtr(first), (last - first + 1) * FStride);
        return;
    }
    for (int r = first; r <= last; ++r) FillItems(RowPtr(r), FStride);
}

void TadTerminalArray::SetColCount(int n) {
    if (n != FColCount) Reallocate(FRowCount, n);
}

void TadTerminalArray::SetRowCount(int n) {
    if (n != FRowCount) Reallocate(n, FColCount);
}

void TadTerminalArray::Clear() {
    if (!FItems.empty()) FillItems(FItems.data(), FRowCount * FStride);
}

void TadTerminalArray::ClearItems(int row, int fromCol, int toCol) {
    if (FItems.empty() || row < 0 || row >= FRowCount) return;
    fromCol = std::max(fromCol, 0);
    toCol = std::min(toCol, FColCount - 1);
    if (fromCol > toCol) return;
    FillItems(FItems.data() + Offset(row, fromCol), toCol - fromCol + 1);
}

void TadTerminalArray::DeleteItems(int count, int row, int col) {
    if (FItems.empty() || row < 0 || row >= FRowCount || col < 0 || col >= FColCount || count <= 0) return;
    const int n = std::min(count, FColCount - col);
    uint8_t* at = FItems.data() + Offset(row, col);
    const int moved = FColCount - col - n;
    if (moved > 0) std::memmove(at, at + static_cast<size_t>(n) * FItemSize, static_cast<size_t>(moved) * FItemSize);
    FillItems(FItems.data() + Offset(row, FColCount - n), n);
}

void TadTerminalArray::InsertItems(int count, int row, int col) {
    if (FItems.empty() || row < 0 || row >= FRowCount || col < 0 || col >= FColCount || count <= 0) return;
    const int n = std::min(count, FColCount - col);
    uint8_t* at = FItems.data() + Offset(row, col);
    const int moved = FColCount - col - n;
    if (moved > 0) std::memmove(at + static_cast<size_t>(n) * FItemSize, at, static_cast<size_t>(moved) * FItemSize);
    FillItems(at, n);
}

void TadTerminalArray::WriteItems(const void* source, int count, int col, int row) {
    if (FItems.empty() || row < 0 || row >= FRowCount || col < 0 || col >= FColCount || count <= 0) return;
    const int n = std::min(count, FColCount - col);
    std::memcpy(FItems.data() + Offset(row, col), source, static_cast<size_t>(n) * FItemSize);
}

void TadTerminalArray::ReplaceItems(uint32_t oldValue, uint32_t newValue) {
    if (FItems.empty()) return;
    const uint32_t mask = FItemSize == 4 ? 0xFFFFFFFFu : ((1u << (8 * FItemSize)) - 1);
    oldValue &= mask;
    for (int r = 0; r < FRowCount; ++r) {
        uint8_t* p = RowPtr(r);
        for (int c = 0; c < FColCount; ++c, p += FItemSize)
            if (ReadAt(p) == oldValue) WriteAt(p, newValue);
    }
}

void TadTerminalArray::ScrollRows(int count, int first, int last) {
    if (FItems.empty() || count == 0) return;
    if (first > last) std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, FRowCount - 1);
    if (first > last) return;
    const int64_t span = static_cast<int64_t>(last) - first;
    const int64_t n = count > 0 ? static_cast<int64_t>(count) : -static_cast<int64_t>(count);
    if (n > span) {
        FillRows(first, last);
        return;
    }
    const int k = static_cast<int>(n);
    if (first == 0 && last == FRowCount - 1) {
        // The whole plane: turn the ring instead of moving rows.
        if (count > 0) {
            FTop = (FTop + k) % FRowCount;
            FillRows(last - k + 1, last);
        } else {
            FTop = (FTop + FRowCount - k) % FRowCount;
            FillRows(first, first + k - 1);
        }
        return;
    }
    const size_t rowBytes = static_cast<size_t>(FStride) * FItemSize;
    // Rows that lie in one piece of the ring move with one call.
    if (PhysRow(last) - PhysRow(first) == last - first) {
        if (count > 0) {
            std::memmove(RowPtr(first), RowPtr(first + k), rowBytes * static_cast<size_t>(last - first + 1 - k));
            FillRows(last - k + 1, last);
        } else {
            std::memmove(RowPtr(first + k), RowPtr(first), rowBytes * static_cast<size_t>(last - first + 1 - k));
            FillRows(first, first + k - 1);
        }
        return;
    }
    if (count > 0) {
        for (int r = first; r <= last - k; ++r) std::memcpy(RowPtr(r), RowPtr(r + k), rowBytes);
        FillRows(last - k + 1, last);
    } else {
        for (int r = last; r >= first + k; --r) std::memcpy(RowPtr(r), RowPtr(r - k), rowBytes);
        FillRows(first, first + k - 1);
    }
}

uint32_t TadTerminalArray::GetItem(int row, int col) const {
    const uint8_t* p = GetItemPtr(row, col);
    return p ? ReadAt(p) : FDefault;
}

void TadTerminalArray::SetItem(int row, int col, uint32_t value) {
    if (uint8_t* p = GetItemPtr(row, col)) WriteAt(p, value);
}

// ---------------------------------------------------------------------------

void TQnBitSet::Resize(int n) {
    FCount = static_cast<size_t>(std::max(n, 0));
    FBits.resize((FCount + 7) / 8, 0);
    // Flags past the new end must not reappear if the set grows again.
    if (FCount % 8 != 0) FBits.back() &= static_cast<uint8_t>((1u << (FCount % 8)) - 1);
}

bool TQnBitSet::Get(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= FCount) return false;
    return (FBits[static_cast<size_t>(i) / 8] >> (i % 8)) & 1u;
}

void TQnBitSet::Set(int i, bool on) {
    if (i < 0 || static_cast<size_t>(i) >= FCount) return;
    uint8_t& b = FBits[static_cast<size_t>(i) / 8];
    if (on)
        b = static_cast<uint8_t>(b | (1u << (i % 8)));
    else
        b = static_cast<uint8_t>(b & ~(1u << (i % 8)));
}

void TQnBitSet::ClearAll() { std::fill(FBits.begin(), FBits.end(), 0); }

// ---------------------------------------------------------------------------

namespace {
int BlinkingIn(const uint8_t* attrs, int n) {
    int blinking = 0;
    for (int i = 0; i < n; ++i) blinking += (attrs[i] & atBlink) != 0;
    return blinking;
}
}  // namespace

int TQnBlinkRows::FilledRow(const TadTerminalArray& attrs) const {
    return (attrs.DefaultItem() & atBlink) ? attrs.ColCount() : 0;
}

void TQnBlinkRows::CountAll(const TadTerminalArray& attrs) {
    FCounts.assign(static_cast<size_t>(std::max(attrs.RowCount(), 0)), 0);
    FTop = 0;
    for (int row = 0; row < attrs.RowCount(); ++row) Count(attrs, row);
}

void TQnBlinkRows::Count(const TadTerminalArray& attrs, int row) {
    const uint8_t* cells = attrs.GetItemPtr(row, 0);
    if (cells && Has(row)) At(row) = BlinkingIn(cells, attrs.ColCount());
}

void TQnBlinkRows::Overwrite(const TadTerminalArray& attrs, int row, int col, int n, TQnCharAttrs now) {
    const uint8_t* cells = attrs.GetItemPtr(row, col);
    if (!cells || !Has(row)) return;
    n = std::min(n, attrs.ColCount() - col);
    int& count = At(row);
    // A row without blinking cells is not read.
    if (count > 0) count -= BlinkingIn(cells, n);
    if (now & atBlink) count += n;
}

void TQnBlinkRows::Scroll(const TadTerminalArray& attrs, int count, int first, int last) {
    if (FCounts.empty() || count == 0) return;
    if (first > last) std::swap(first, last);
    const int rows = static_cast<int>(FCounts.size());
    first = std::max(first, 0);
    last = std::min(last, rows - 1);
    if (first > last) return;
    const int64_t n = count > 0 ? static_cast<int64_t>(count) : -static_cast<int64_t>(count);
    const int k = static_cast<int>(std::min<int64_t>(n, last - first + 1));
    const int filled = FilledRow(attrs);
    if (first == 0 && last == rows - 1) {
        // The whole plane turns its ring, and so do the counts.
        const auto turn = static_cast<size_t>(count > 0 ? k : rows - k);
        FTop = (FTop + turn) % FCounts.size();
    } else if (count > 0) {
        for (int r = first; r <= last - k; ++r) At(r) = At(r + k);
    } else {
        for (int r = last; r >= first + k; --r) At(r) = At(r - k);
    }
    if (count > 0)
        for (int r = last - k + 1; r <= last; ++r) At(r) = filled;
    else
        for (int r = first; r < first + k; ++r) At(r) = filled;
}
