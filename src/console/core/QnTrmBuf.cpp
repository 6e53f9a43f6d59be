#include "console/core/QnTrmBuf.h"

#include <algorithm>
#include <cstring>

namespace {
int ClampInt(int64_t v, int lo, int hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return static_cast<int>(v);
}
}  // namespace

TQnTerminalBuffer::TQnTerminalBuffer(bool useWideChars) : FUseWideChars(useWideChars), FChars(useWideChars ? 2 : 1) {
    FChars.SetDefaultItem(useWideChars ? FDefWideChar : static_cast<uint8_t>(FDefChar));
    FCharSets.SetDefaultItem(FCharSet);
    FAttrs.SetDefaultItem(FCharAttrs);
    FFores.SetDefaultItem(FForeColor);
    FBacks.SetDefaultItem(FBackColor);
    for (TadTerminalArray* p : Planes()) {
        p->SetRowCount(FSVRowCount);
        p->SetColCount(FColCount);
    }
    FBlinkRows.CountAll(FAttrs);
    FHorzTabs.Resize(FColCount);
    FVertTabs.Resize(FRowCount);
    ResetHorzTabs(0);
    FScrollTop = FirstScreenRow();
    FScrollBottom = FSVRowCount - 1;
    RecomputeRegion();
    FCursorRow = FOriginRow;
    FCursorCol = 0;
    FCursorMoved = true;
    InvalidateScreen();
}

// --- helpers ---------------------------------------------------------------

void TQnTerminalBuffer::ResetHorzTabs(int fromCol) {
    for (int c = std::max(fromCol, 0); c < FColCount; ++c)
        if (c % 8 == 0) FHorzTabs.Set(c, true);
}

void TQnTerminalBuffer::RecomputeRegion() {
    FOriginCol = 0;
    FRegionWidth = FColCount;
    if (FUseScrollRegion) {
        FOriginRow = FScrollTop;
        FRegionHeight = FScrollBottom - FScrollTop + 1;
    } else {
        FOriginRow = FirstScreenRow();
        FRegionHeight = FRowCount;
    }
}

int TQnTerminalBuffer::GridRowFromPublic(int64_t r) const {
    const int64_t g = UseAbsAddress ? r - 1 + FirstScreenRow() : FOriginRow + r - 1;
    return ClampInt(g, 0, FSVRowCount - 1);
}

int TQnTerminalBuffer::GridColFromPublic(int64_t c) const {
    const int64_t g = UseAbsAddress ? c - 1 : FOriginCol + c - 1;
    return ClampInt(g, 0, FColCount - 1);
}

void TQnTerminalBuffer::Notify() {
    if (FNotify) FNotify();
}

void TQnTerminalBuffer::CursorChanged() {
    FCursorMoved = true;
    if (OnCursorMove) OnCursorMove(*this, GetRow(), GetCol());
}

void TQnTerminalBuffer::SetCursorGrid(int row, int col) {
    row = ClampInt(row, 0, FSVRowCount - 1);
    col = ClampInt(col, 0, FColCount - 1);
    if (row == FCursorRow && col == FCursorCol) return;
    FCursorRow = row;
    FCursorCol = col;
    CursorChanged();
}

void TQnTerminalBuffer::InvalidateGrid(int firstRow, int firstCol, int lastRow, int lastCol) {
    const int shift = FRowCount - FSVRowCount + 1;
    InvalidateScreenRect(firstCol + 1, firstRow + shift, lastCol + 1, lastRow + shift);
}

void TQnTerminalBuffer::InvalidateScreenRect(int left, int top, int right, int bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    left = std::max(left, 1);
    right = std::min(right, FColCount);
    top = std::max(top, FRowCount - FSVRowCount + 1);
    bottom = std::min(bottom, FRowCount);
    if (left > right || top > bottom) return;
    if (!FInvalidPending) {
        FInvalid = {left, top, right, bottom};
        FInvalidPending = true;
    } else {
        FInvalid.Left = std::min(FInvalid.Left, left);
        FInvalid.Top = std::min(FInvalid.Top, top);
        FInvalid.Right = std::max(FInvalid.Right, right);
        FInvalid.Bottom = std::max(FInvalid.Bottom, bottom);
    }
    Notify();
}

void TQnTerminalBuffer::InvalidateRegion() { InvalidateGrid(RegionTop(), 0, RegionBottom(), FColCount - 1); }

void TQnTerminalBuffer::InvalidateScreen() { InvalidateGrid(FirstScreenRow(), 0, FSVRowCount - 1, FColCount - 1); }

void TQnTerminalBuffer::ScrollGrid(int count, int first, int last) {
    if (count == 0) return;
    for (TadTerminalArray* p : Planes()) p->ScrollRows(count, first, last);
    FBlinkRows.Scroll(FAttrs, count, first, last);
    if (OnScroll) {
        const int shift = FRowCount - FSVRowCount + 1;
        OnScroll(*this, count, first + shift, last + shift);
    }
}

void TQnTerminalBuffer::ScrollUpRegion() {
    // Without a region the whole grid above moves too: the top screen row
    // enters the scrollback and the oldest scrollback row is dropped.
    const int first = FUseScrollRegion ? RegionTop() : 0;
    ScrollGrid(1, first, RegionBottom());
    InvalidateRegion();
}

void TQnTerminalBuffer::ScrollDownRegion() {
    ScrollGrid(-1, RegionTop(), RegionBottom());
    InvalidateRegion();
}

void TQnTerminalBuffer::EraseCells(int row, int fromCol, int toCol) {
    if (!ValidGridRow(row)) return;
    fromCol = std::max(fromCol, 0);
    toCol = std::min(toCol, FColCount - 1);
    if (fromCol > toCol) return;
    for (TadTerminalArray* p : Planes()) p->ClearItems(row, fromCol, toCol);
    FBlinkRows.Count(FAttrs, row);
    InvalidateGrid(row, fromCol, row, toCol);
}

void TQnTerminalBuffer::ClearGridRows(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, FSVRowCount - 1);
    if (first > last) return;
    ScrollGrid(last - first + 1, first, last);
    InvalidateGrid(first, 0, last, FColCount - 1);
}

// --- sizes -------------------------------------------------------------------

void TQnTerminalBuffer::SetColCount(int n) {
    if (n == FColCount) return;
    if (n < 2) throw EQnTerminalBuffer("TQnTerminalBuffer.tbSetColCount: new count too small");
    const int old = FColCount;
    FHorzTabs.Resize(n);
    for (TadTerminalArray* p : Planes()) p->SetColCount(n);
    FBlinkRows.CountAll(FAttrs);
    FColCount = n;
    ResetHorzTabs(old);  // only the new columns get the default stops
    FBeyondMargin = false;
    InvalidateScreen();
    if (!FUseScrollRegion) {
        RecomputeRegion();
        FCursorRow = FOriginRow;
        FCursorCol = FOriginCol;
    } else {
        SetUseScrollRegion(false);
    }
}

void TQnTerminalBuffer::SetRowCount(int n) {
    if (n == FRowCount || n > FSVRowCount) return;
    if (n < 2) throw EQnTerminalBuffer("TQnTerminalBuffer.tbSetRowCount: new count too small");
    SetUseScrollRegion(false);
    FVertTabs.Resize(n);
    FRowCount = n;
    FScrollTop = FirstScreenRow();
    FScrollBottom = FSVRowCount - 1;
    RecomputeRegion();
    FBeyondMargin = false;
    if (FCursorRow < FOriginRow) FCursorRow = FOriginRow;
    InvalidateScreen();
}

void TQnTerminalBuffer::SetSVRowCount(int n) {
    if (n == FSVRowCount) return;
    if (n < 2) throw EQnTerminalBuffer("TQnTerminalBuffer.tbSetSVRowCount: new count too small");
    if (FRowCount > n) {
        SetUseScrollRegion(false);
        FRowCount = n;
        FVertTabs.Resize(n);
        FScrollTop = FirstScreenRow();
        FScrollBottom = FSVRowCount - 1;
    }
    // Keep the cursor and the region on the same screen rows.
    const int delta = n - FSVRowCount;
    const int64_t cursorRow = static_cast<int64_t>(FCursorRow) + delta;
    FScrollTop += delta;
    FScrollBottom += delta;
    FSVRowCount = n;
    for (TadTerminalArray* p : Planes()) p->SetRowCount(n);
    FBlinkRows.CountAll(FAttrs);
    FScrollTop = ClampInt(FScrollTop, FirstScreenRow(), n - 1);
    FScrollBottom = ClampInt(FScrollBottom, FirstScreenRow(), n - 1);
    RecomputeRegion();
    FCursorRow = ClampInt(cursorRow, 0, n - 1);
    FBeyondMargin = false;
    InvalidateScreen();
}

// --- attributes and colours ----------------------------------------------------

void TQnTerminalBuffer::SetCharAttrs(TQnCharAttrs a) {
    FCharAttrs = a;
    FAttrs.SetDefaultItem(a);
}

void TQnTerminalBuffer::SetForeColor(TColor c) {
    if (c == FForeColor) return;
    FForeColor = c;
    FFores.SetDefaultItem(c);
}

void TQnTerminalBuffer::SetBackColor(TColor c) {
    if (c == FBackColor) return;
    FBackColor = c;
    FBacks.SetDefaultItem(c);
}

void TQnTerminalBuffer::SetCharSet(uint8_t s) {
    if (s == FCharSet) return;
    FCharSet = s;
    FCharSets.SetDefaultItem(s);
}

void TQnTerminalBuffer::SetDefChar(char c) {
    if (c == FDefChar) return;
    FDefChar = c;
    if (!FUseWideChars) FChars.SetDefaultItem(static_cast<uint8_t>(c));
}

void TQnTerminalBuffer::SetDefForeColor(TColor c) {
    if (c == FDefForeColor) return;
    FFores.ReplaceItems(FDefForeColor, c);
    FDefForeColor = c;
    InvalidateScreen();
}

void TQnTerminalBuffer::SetDefBackColor(TColor c) {
    if (c == FDefBackColor) return;
    FBacks.ReplaceItems(FDefBackColor, c);
    FDefBackColor = c;
    InvalidateScreen();
}

void TQnTerminalBuffer::UseColors(TColor back, TColor fore) {
    SetDefBackColor(back);
    SetBackColor(back);
    SetDefForeColor(fore);
    SetForeColor(fore);
}

void TQnTerminalBuffer::SetUseScrollRegion(bool on) {
    if (on == FUseScrollRegion) return;
    if (on) {
        // A region left over from another screen size must still lie on the screen.
        FScrollTop = ClampInt(FScrollTop, FirstScreenRow(), FSVRowCount - 1);
        FScrollBottom = ClampInt(FScrollBottom, FirstScreenRow(), FSVRowCount - 1);
        if (FScrollBottom <= FScrollTop) {
            FScrollTop = FirstScreenRow();
            FScrollBottom = FSVRowCount - 1;
        }
    }
    FUseScrollRegion = on;
    RecomputeRegion();
    FCursorRow = FOriginRow;
    FCursorCol = FOriginCol;
    CursorChanged();
}

// --- cursor --------------------------------------------------------------------

int TQnTerminalBuffer::GetRow() const {
    return UseAbsAddress ? FCursorRow - FirstScreenRow() + 1 : FCursorRow - FOriginRow + 1;
}

int TQnTerminalBuffer::GetCol() const { return UseAbsAddress ? FCursorCol + 1 : FCursorCol - FOriginCol + 1; }

void TQnTerminalBuffer::SetRow(int r) {
    FBeyondMargin = false;
    if (r == GetRow()) return;
    FCursorRow = GridRowFromPublic(r);
    CursorChanged();
}

void TQnTerminalBuffer::SetCol(int c) {
    FBeyondMargin = false;
    if (c == GetCol()) return;
    FCursorCol = GridColFromPublic(c);
    CursorChanged();
}

void TQnTerminalBuffer::SetCursorPosition(int row, int col) {
    FBeyondMargin = false;
    SetRow(row);
    SetCol(col);
}

void TQnTerminalBuffer::SetHostRow(int r) {
    const int limit = UseAbsAddress ? FRowCount : FRegionHeight;
    SetRow(ClampInt(r, 1, limit));
}

void TQnTerminalBuffer::SetHostCursorPosition(int row, int col) {
    FBeyondMargin = false;
    SetHostRow(row);
    SetCol(ClampInt(col, 1, UseAbsAddress ? FColCount : FRegionWidth));
}

bool TQnTerminalBuffer::HasCursorMoved() {
    const bool moved = FCursorMoved;
    FCursorMoved = false;
    return moved;
}

void TQnTerminalBuffer::MoveCursorDown(bool scroll) {
    FBeyondMargin = false;
    if (InRegion(FCursorRow)) {
        if (FCursorRow < RegionBottom())
            SetCursorGrid(FCursorRow + 1, FCursorCol);
        else if (scroll)
            ScrollUpRegion();
    } else if (FCursorRow < FSVRowCount - 1) {
        // Outside the region the cursor only moves within the screen.
        SetCursorGrid(FCursorRow + 1, FCursorCol);
    }
}

void TQnTerminalBuffer::MoveCursorUp(bool scroll) {
    FBeyondMargin = false;
    if (InRegion(FCursorRow)) {
        if (FCursorRow > RegionTop())
            SetCursorGrid(FCursorRow - 1, FCursorCol);
        else if (scroll)
            ScrollDownRegion();
    } else if (FCursorRow > FirstScreenRow()) {
        SetCursorGrid(FCursorRow - 1, FCursorCol);
    }
}

void TQnTerminalBuffer::MoveCursorRight(bool wrap, bool scroll) {
    FBeyondMargin = false;
    if (FCursorCol < RightMargin()) {
        SetCursorGrid(FCursorRow, FCursorCol + 1);
        return;
    }
    if (!wrap) return;
    if (InRegion(FCursorRow)) {
        if (FCursorRow < RegionBottom()) {
            SetCursorGrid(FCursorRow + 1, FOriginCol);
        } else if (scroll) {
            ScrollUpRegion();
            SetCursorGrid(FCursorRow, FOriginCol);
        }
    } else {
        // Outside the region a wrap is a carriage return and a line feed; on
        // the bottom row the line feed has nowhere to go, the return still acts.
        SetCursorGrid(std::min(FCursorRow + 1, FSVRowCount - 1), FOriginCol);
    }
}

void TQnTerminalBuffer::MoveCursorLeft(bool wrap, bool scroll) {
    FBeyondMargin = false;
    if (FCursorCol > FOriginCol) {
        SetCursorGrid(FCursorRow, FCursorCol - 1);
        return;
    }
    if (!wrap) return;
    if (InRegion(FCursorRow)) {
        if (FCursorRow > RegionTop()) {
            SetCursorGrid(FCursorRow - 1, RightMargin());
        } else if (scroll) {
            ScrollDownRegion();
            SetCursorGrid(FCursorRow, RightMargin());
        }
    } else if (FCursorRow > FirstScreenRow()) {
        SetCursorGrid(FCursorRow - 1, RightMargin());
    }
}

void TQnTerminalBuffer::DoBackspace() {
    FBeyondMargin = false;
    if (FCursorCol > FOriginCol) SetCursorGrid(FCursorRow, FCursorCol - 1);
}

void TQnTerminalBuffer::DoCarriageReturn() {
    FBeyondMargin = false;
    SetCursorGrid(FCursorRow, FOriginCol);
}

void TQnTerminalBuffer::DoLineFeed() {
    FBeyondMargin = false;
    if (UseNewLineMode) DoCarriageReturn();
    MoveCursorDown(true);
}

void TQnTerminalBuffer::DoHorzTab() {
    FBeyondMargin = false;
    if (FColCount < 1) return;
    int target = RightMargin();
    for (int c = FCursorCol + 1; c <= RightMargin(); ++c)
        if (FHorzTabs.Get(c)) {
            target = c;
            break;
        }
    SetCursorGrid(FCursorRow, target);
}

void TQnTerminalBuffer::DoBackHorzTab() {
    int target = FOriginCol;
    for (int c = FCursorCol - 1; c >= FOriginCol; --c)
        if (FHorzTabs.Get(c)) {
            target = c;
            break;
        }
    const bool beyond = FBeyondMargin;
    SetCursorGrid(FCursorRow, target);
    FBeyondMargin = beyond;
}

void TQnTerminalBuffer::DoVertTab() {
    FBeyondMargin = false;
    const int bottom = InRegion(FCursorRow) ? RegionBottom() : FSVRowCount - 1;
    int target = bottom;
    for (int g = std::max(FCursorRow + 1, FirstScreenRow()); g <= bottom; ++g)
        if (FVertTabs.Get(g - FirstScreenRow())) {
            target = g;
            break;
        }
    if (target > FCursorRow) SetCursorGrid(target, FCursorCol);
}

void TQnTerminalBuffer::DoBackVertTab() {
    FBeyondMargin = false;
    if (FCursorRow < FirstScreenRow()) return;  // in the scrollback: nothing above to reach
    const int top = InRegion(FCursorRow) ? RegionTop() : FirstScreenRow();
    int target = top;
    for (int g = FCursorRow - 1; g >= top; --g)
        if (FVertTabs.Get(g - FirstScreenRow())) {
            target = g;
            break;
        }
    if (target < FCursorRow) SetCursorGrid(target, FCursorCol);
}

// --- editing ---------------------------------------------------------------------

void TQnTerminalBuffer::StoreCell(uint16_t ch) {
    if (FBeyondMargin) {
        MoveCursorRight(UseAutoWrap, true);
        FBeyondMargin = false;
    }
    const int row = FCursorRow;
    const int col = FCursorCol;
    if (UseInsertMode) {
        for (TadTerminalArray* p : Planes()) p->InsertItems(1, row, col);
        FBlinkRows.Count(FAttrs, row);
        InvalidateGrid(row, col, row, RightMargin());
    }
    if (FUseWideChars) {
        FChars.SetItem(row, col, ch);
    } else if (uint8_t* p = FChars.GetItemPtr(row, col)) {
        *p = static_cast<uint8_t>(ch);
    }
    if (uint8_t* p = FCharSets.GetItemPtr(row, col)) *p = FCharSet;
    FBlinkRows.Overwrite(FAttrs, row, col, 1, FCharAttrs);
    if (uint8_t* p = FAttrs.GetItemPtr(row, col)) *p = FCharAttrs;
    if (uint8_t* p = FFores.GetItemPtr(row, col)) std::memcpy(p, &FForeColor, 4);
    if (uint8_t* p = FBacks.GetItemPtr(row, col)) std::memcpy(p, &FBackColor, 4);
    InvalidateGrid(row, col, row, col);
    if (UseAutoWrapDelay && FCursorCol == RightMargin()) {
        FBeyondMargin = true;
        return;
    }
    MoveCursorRight(UseAutoWrap, true);
}

void TQnTerminalBuffer::WriteChar(char ch) { StoreCell(static_cast<uint8_t>(ch)); }

// The same cells, cursor and wrap state as WriteChar for each character, but
// each part of a row is stored, invalidated and passed by the cursor once.
void TQnTerminalBuffer::WriteRun(const char* text, int count) {
    if (UseInsertMode || FUseWideChars || !UseAutoWrapDelay) {
        for (int i = 0; i < count; ++i) StoreCell(static_cast<uint8_t>(text[i]));
        return;
    }
    while (count > 0) {
        if (FBeyondMargin) {
            MoveCursorRight(UseAutoWrap, true);
            FBeyondMargin = false;
        }
        const int row = FCursorRow, col = FCursorCol;
        const int k = std::min(count, RightMargin() - col + 1);
        if (k <= 0) {
            StoreCell(static_cast<uint8_t>(*text++));
            --count;
            continue;
        }
        FChars.WriteItems(text, k, col, row);
        FCharSets.FillValue(row, col, k, FCharSet);
        FBlinkRows.Overwrite(FAttrs, row, col, k, FCharAttrs);
        FAttrs.FillValue(row, col, k, FCharAttrs);
        FFores.FillValue(row, col, k, FForeColor);
        FBacks.FillValue(row, col, k, FBackColor);
        InvalidateGrid(row, col, row, col + k - 1);
        text += k;
        count -= k;
        if (col + k - 1 == RightMargin()) {
            SetCursorGrid(row, col + k - 1);
            FBeyondMargin = true;
        } else {
            SetCursorGrid(row, col + k);
        }
    }
}

void TQnTerminalBuffer::WriteWideChar(uint16_t ch) { StoreCell(ch); }

void TQnTerminalBuffer::WriteString(const std::string& s) {
    for (char ch : s) WriteChar(ch);
}

void TQnTerminalBuffer::InsertChars(int n) {
    FBeyondMargin = false;
    if (n <= 0) return;
    n = std::min(n, RightMargin() - FCursorCol + 1);
    if (n <= 0) return;
    for (TadTerminalArray* p : Planes()) p->InsertItems(n, FCursorRow, FCursorCol);
    FBlinkRows.Count(FAttrs, FCursorRow);
    InvalidateGrid(FCursorRow, FCursorCol, FCursorRow, RightMargin());
}

void TQnTerminalBuffer::DeleteChars(int n) {
    FBeyondMargin = false;
    if (n <= 0) return;
    n = std::min(n, RightMargin() - FCursorCol + 1);
    if (n <= 0) return;
    for (TadTerminalArray* p : Planes()) p->DeleteItems(n, FCursorRow, FCursorCol);
    FBlinkRows.Count(FAttrs, FCursorRow);
    InvalidateGrid(FCursorRow, FCursorCol, FCursorRow, RightMargin());
}

void TQnTerminalBuffer::InsertLines(int n) {
    FBeyondMargin = false;
    if (n <= 0 || !InRegion(FCursorRow)) return;
    n = std::min(n, RegionBottom() - FCursorRow + 1);
    ScrollGrid(-n, FCursorRow, RegionBottom());
    InvalidateGrid(FCursorRow, FOriginCol, RegionBottom(), RightMargin());
}

void TQnTerminalBuffer::DeleteLines(int n) {
    FBeyondMargin = false;
    if (n <= 0 || !InRegion(FCursorRow)) return;
    n = std::min(n, RegionBottom() - FCursorRow + 1);
    ScrollGrid(n, FCursorRow, RegionBottom());
    InvalidateGrid(FCursorRow, FOriginCol, RegionBottom(), RightMargin());
}

void TQnTerminalBuffer::EraseChars(int n) {
    FBeyondMargin = false;
    if (n <= 0) return;
    const int limit = InRegion(FCursorRow) ? RegionBottom() : FSVRowCount - 1;
    int64_t remaining = n;
    int col = FCursorCol;
    for (int row = FCursorRow; remaining > 0 && row <= limit; ++row) {
        const int last = static_cast<int>(std::min<int64_t>(RightMargin(), col + remaining - 1));
        EraseCells(row, col, last);
        remaining -= last - col + 1;
        col = FOriginCol;
    }
}

void TQnTerminalBuffer::EraseToEOL() {
    FBeyondMargin = false;
    EraseCells(FCursorRow, FCursorCol, RightMargin());
}

void TQnTerminalBuffer::EraseFromBOL() {
    FBeyondMargin = false;
    EraseCells(FCursorRow, FOriginCol, FCursorCol);
}

void TQnTerminalBuffer::EraseLine() {
    FBeyondMargin = false;
    EraseCells(FCursorRow, FOriginCol, RightMargin());
}

void TQnTerminalBuffer::EraseToEOW() {
    FBeyondMargin = false;
    EraseCells(FCursorRow, FCursorCol, FColCount - 1);
    ClearGridRows(FCursorRow + 1, FSVRowCount - 1);
}

void TQnTerminalBuffer::EraseFromBOW() {
    FBeyondMargin = false;
    EraseCells(FCursorRow, 0, FCursorCol);
    ClearGridRows(FirstScreenRow(), FCursorRow - 1);
}

void TQnTerminalBuffer::EraseScreen() {
    FBeyondMargin = false;
    ScrollGrid(FRowCount, 0, FSVRowCount - 1);
    InvalidateScreen();
}

void TQnTerminalBuffer::EraseAll() {
    FBeyondMargin = false;
    for (TadTerminalArray* p : Planes()) p->Clear();
    FBlinkRows.CountAll(FAttrs);
    SetCursorPosition(1, 1);
    // The scrollback was cleared as well, so a view onto it must repaint.
    InvalidateGrid(0, 0, FSVRowCount - 1, FColCount - 1);
}

void TQnTerminalBuffer::SetScrollRegion(int top, int bottom) {
    FBeyondMargin = false;
    int64_t t = top, b = bottom;
    if (b < t) std::swap(t, b);
    const int ct = ClampInt(t, 1, FRowCount);
    const int cb = ClampInt(b, 1, FRowCount);
    if (cb - ct < 1) return;
    FScrollTop = ct - 1 + FirstScreenRow();
    FScrollBottom = cb - 1 + FirstScreenRow();
    SetUseScrollRegion(false);
    if (!(ct == 1 && cb == FRowCount)) SetUseScrollRegion(true);
}

void TQnTerminalBuffer::Reset() {
    FCharAttrs = FDefCharAttrs;
    FForeColor = FDefForeColor;
    FBackColor = FDefBackColor;
    FCharSet = FDefCharSet;
    FChars.SetDefaultItem(FUseWideChars ? FDefWideChar : static_cast<uint8_t>(FDefChar));
    FCharSets.SetDefaultItem(FCharSet);
    FAttrs.SetDefaultItem(FCharAttrs);
    FFores.SetDefaultItem(FForeColor);
    FBacks.SetDefaultItem(FBackColor);
    for (TadTerminalArray* p : Planes()) p->Clear();
    FBlinkRows.CountAll(FAttrs);
    FHorzTabs.ClearAll();
    FVertTabs.ClearAll();
    ResetHorzTabs(0);
    UseAbsAddress = UseAutoWrap = UseAutoWrapDelay = true;
    UseInsertMode = UseNewLineMode = false;
    SetUseScrollRegion(false);
    FBeyondMargin = false;
    SetCursorPosition(1, 1);
}

// --- tab stops ---------------------------------------------------------------------

void TQnTerminalBuffer::SetHorzTabStop() { FHorzTabs.Set(FCursorCol, true); }
void TQnTerminalBuffer::ClearHorzTabStop() { FHorzTabs.Set(FCursorCol, false); }
void TQnTerminalBuffer::ClearAllHorzTabStops() { FHorzTabs.ClearAll(); }
void TQnTerminalBuffer::SetVertTabStop() { FVertTabs.Set(FCursorRow - FirstScreenRow(), true); }
void TQnTerminalBuffer::ClearVertTabStop() { FVertTabs.Set(FCursorRow - FirstScreenRow(), false); }
void TQnTerminalBuffer::ClearAllVertTabStops() { FVertTabs.ClearAll(); }

// --- reading ------------------------------------------------------------------------

const char* TQnTerminalBuffer::GetLineCharPtr(int row) const {
    if (FUseWideChars) return nullptr;
    return reinterpret_cast<const char*>(FChars.GetItemPtr(GridRowFromScreen(row), 0));
}

const uint16_t* TQnTerminalBuffer::GetLineWideCharPtr(int row) const {
    if (!FUseWideChars) return nullptr;
    return reinterpret_cast<const uint16_t*>(FChars.GetItemPtr(GridRowFromScreen(row), 0));
}

const uint8_t* TQnTerminalBuffer::GetLineCharSetPtr(int row) const {
    return FCharSets.GetItemPtr(GridRowFromScreen(row), 0);
}

const TQnCharAttrs* TQnTerminalBuffer::GetLineAttrPtr(int row) const {
    return FAttrs.GetItemPtr(GridRowFromScreen(row), 0);
}

TQnCharAttrs* TQnTerminalBuffer::GetLineAttrPtrForWrite(int row) {
    return FAttrs.GetItemPtr(GridRowFromScreen(row), 0);
}

const TColor* TQnTerminalBuffer::GetLineForeColorPtr(int row) const {
    return reinterpret_cast<const TColor*>(FFores.GetItemPtr(GridRowFromScreen(row), 0));
}

const TColor* TQnTerminalBuffer::GetLineBackColorPtr(int row) const {
    return reinterpret_cast<const TColor*>(FBacks.GetItemPtr(GridRowFromScreen(row), 0));
}

char TQnTerminalBuffer::CharAt(int row, int col) const {
    return static_cast<char>(FChars.GetItem(GridRowFromScreen(row), GridColFromScreen(col)));
}

TQnCharAttrs TQnTerminalBuffer::AttrAt(int row, int col) const {
    return static_cast<TQnCharAttrs>(FAttrs.GetItem(GridRowFromScreen(row), GridColFromScreen(col)));
}

TColor TQnTerminalBuffer::ForeColorAt(int row, int col) const {
    return FFores.GetItem(GridRowFromScreen(row), GridColFromScreen(col));
}

TColor TQnTerminalBuffer::BackColorAt(int row, int col) const {
    return FBacks.GetItem(GridRowFromScreen(row), GridColFromScreen(col));
}

uint8_t TQnTerminalBuffer::CharSetAt(int row, int col) const {
    return static_cast<uint8_t>(FCharSets.GetItem(GridRowFromScreen(row), GridColFromScreen(col)));
}

std::string TQnTerminalBuffer::LineText(int row) const {
    std::string s;
    const int g = GridRowFromScreen(row);
    if (!ValidGridRow(g)) return s;
    s.reserve(static_cast<size_t>(FColCount));
    for (int c = 0; c < FColCount; ++c) s.push_back(static_cast<char>(FChars.GetItem(g, c)));
    return s;
}

bool TQnTerminalBuffer::GetInvalidRect(TQnRect& r) {
    if (!FInvalidPending) return false;
    r = FInvalid;
    FInvalidPending = false;
    return true;
}
