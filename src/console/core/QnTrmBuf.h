#pragma once
// Screen buffer of the CRT terminal: the visible screen with a scrollback
// above it, the cursor, drawing attributes and colours, tab stops, a scroll
// region and the writing modes. It knows nothing about escape sequences;
// emulators change it, painters read it row by row.
//
// Grid rows are 0-based and count the scrollback first; the screen is the
// last RowCount() grid rows. Public row and column numbers are 1-based (see
// UseAbsAddress). Changed areas are queued as one merged rectangle in
// 1-based screen coordinates (scrollback rows give 0 or less).
//
// Plain C++, GUI thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/core/WinColor.h"

// Cell attribute bits.
using TQnCharAttrs = uint8_t;
inline constexpr TQnCharAttrs atBold = 1;
inline constexpr TQnCharAttrs atUnderline = 2;
inline constexpr TQnCharAttrs atStrikethrough = 4;
inline constexpr TQnCharAttrs atBlink = 8;
inline constexpr TQnCharAttrs atReverse = 16;
inline constexpr TQnCharAttrs atInvisible = 32;
inline constexpr TQnCharAttrs atSelected = 64;

inline constexpr TColor QnBlack = 0x000000;
inline constexpr TColor QnSilver = 0xC0C0C0;

struct TQnRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const TQnRect&, const TQnRect&) = default;
};

// Raised by the count setters of the buffer and by TadTerminalArray.
class EQnTerminalBuffer : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One plane of the grid: RowCount x ColCount items of 1, 2 or 4 bytes, rows
// contiguous and padded to a multiple of 4 bytes. Rows and columns 0-based;
// every operation clips to the plane.
class TadTerminalArray {
public:
    // Item sizes other than 1, 2 and 4 become 1.
    explicit TadTerminalArray(int itemSize);

    int ItemSize() const { return FItemSize; }
    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    int RowStride() const { return FStride; }
    uint32_t DefaultItem() const { return FDefault; }

    // Resizing keeps rows aligned at the bottom and the leftmost columns.
    void SetColCount(int n);
    void SetRowCount(int n);
    void SetDefaultItem(uint32_t value) { FDefault = value; }

    void Clear();
    void ClearItems(int row, int fromCol, int toCol);
    // Sets min(count, ColCount - col) items from col to `value`.
    void FillValue(int row, int col, int count, uint32_t value);
    void DeleteItems(int count, int row, int col);
    void InsertItems(int count, int row, int col);
    // Copies min(count, ColCount - col) items from source (items of ItemSize bytes).
    void WriteItems(const void* source, int count, int col, int row);
    void ReplaceItems(uint32_t oldValue, uint32_t newValue);
    // Count > 0 moves rows up, < 0 down; the freed rows get the default.
    void ScrollRows(int count, int first, int last);

    // Address of an item; nullptr when nothing is allocated or the cell lies
    // outside the plane. Inline: every character written asks five planes.
    uint8_t* GetItemPtr(int row, int col) {
        if (FItems.empty() || row < 0 || row >= FRowCount || col < 0 || col >= FColCount) return nullptr;
        return FItems.data() + Offset(row, col);
    }
    const uint8_t* GetItemPtr(int row, int col) const {
        return const_cast<TadTerminalArray*>(this)->GetItemPtr(row, col);
    }

    uint32_t GetItem(int row, int col) const;  // default item outside the plane
    void SetItem(int row, int col, uint32_t value);

private:
    void Reallocate(int rows, int cols);
    void FillItems(uint8_t* at, int count) { FillWith(at, count, FDefault); }
    void FillWith(uint8_t* at, int count, uint32_t value);
    uint32_t ReadAt(const uint8_t* p) const;
    void WriteAt(uint8_t* p, uint32_t v) const;
    // Rows are kept in a ring so that scrolling the whole plane moves no
    // items: logical row r is stored at physical row (r + FTop) mod RowCount.
    int PhysRow(int row) const {
        const int p = row + FTop;
        return p >= FRowCount ? p - FRowCount : p;
    }
    size_t Offset(int row, int col) const {
        return (static_cast<size_t>(PhysRow(row)) * static_cast<size_t>(FStride) + static_cast<size_t>(col)) *
               static_cast<size_t>(FItemSize);
    }
    uint8_t* RowPtr(int row) { return FItems.data() + Offset(row, 0); }
    void FillRows(int first, int last);

    int FTop = 0;
    int FStride = -1;
    int FColCount = 0;
    uint32_t FDefault = 0;
    std::vector<uint8_t> FItems;
    int FItemSize = 1;
    int FRowCount = 0;
};

// A set of n flags.
class TQnBitSet {
public:
    void Resize(int n);  // keeps the flags that remain, new ones clear
    int Count() const { return static_cast<int>(FCount); }
    bool Get(int i) const;
    void Set(int i, bool on);
    void ClearAll();

private:
    std::vector<uint8_t> FBits;
    size_t FCount = 0;
};

// How many cells of each row of an attribute plane carry atBlink, kept in
// step with the plane by whoever changes it: blinking text is then found
// without reading the whole screen after every change. Rows 0-based, as the
// plane's.
class TQnBlinkRows {
public:
    // Every row counted afresh from the plane (after it was resized or cleared).
    void CountAll(const TadTerminalArray& attrs);
    void Count(const TadTerminalArray& attrs, int row);
    // Before cells [col, col + n) of a row take the attributes `now`.
    void Overwrite(const TadTerminalArray& attrs, int row, int col, int n, TQnCharAttrs now);
    // The plane's rows moved as TadTerminalArray::ScrollRows moves them; the
    // freed rows hold the plane's default item.
    void Scroll(const TadTerminalArray& attrs, int count, int first, int last);
    // 0 outside the plane.
    int Of(int row) const { return Has(row) ? FCounts[Phys(row)] : 0; }

private:
    bool Has(int row) const { return row >= 0 && static_cast<size_t>(row) < FCounts.size(); }
    // A ring like the plane's, so that scrolling a long scrollback moves nothing.
    size_t Phys(int row) const {
        const size_t p = static_cast<size_t>(row) + FTop;
        return p >= FCounts.size() ? p - FCounts.size() : p;
    }
    int& At(int row) { return FCounts[Phys(row)]; }
    int FilledRow(const TadTerminalArray& attrs) const;
    std::vector<int> FCounts;
    size_t FTop = 0;
};

class TQnTerminalBuffer {
public:
    // Receives every scroll of rows: count (> 0 up), first and last row as
    // 1-based screen rows.
    using TScrollEvent = std::function<void(TQnTerminalBuffer& sender, int count, int firstRow, int lastRow)>;
    using TCursorMoveEvent = std::function<void(TQnTerminalBuffer& sender, int row, int col)>;
    // Told of every change of the display (the window that repaints it).
    using TChangeNotify = std::function<void()>;

    explicit TQnTerminalBuffer(bool useWideChars = false);
    TQnTerminalBuffer(const TQnTerminalBuffer&) = delete;
    TQnTerminalBuffer& operator=(const TQnTerminalBuffer&) = delete;

    // --- sizes --------------------------------------------------------------
    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    int SVRowCount() const { return FSVRowCount; }
    void SetColCount(int n);    // throws below 2
    void SetRowCount(int n);    // throws below 2; above SVRowCount ignored
    void SetSVRowCount(int n);  // throws below 2
    bool UseWideChars() const { return FUseWideChars; }

    // --- attributes and colours ----------------------------------------------
    TQnCharAttrs GetCharAttrs() const { return FCharAttrs; }
    void SetCharAttrs(TQnCharAttrs a);
    TColor ForeColor() const { return FForeColor; }
    TColor BackColor() const { return FBackColor; }
    uint8_t CharSet() const { return FCharSet; }
    void SetForeColor(TColor c);
    void SetBackColor(TColor c);
    void SetCharSet(uint8_t s);
    char DefChar() const { return FDefChar; }
    void SetDefChar(char c);
    uint16_t DefWideChar() const { return FDefWideChar; }
    TQnCharAttrs DefCharAttrs() const { return FDefCharAttrs; }
    uint8_t DefCharSet() const { return FDefCharSet; }
    TColor DefForeColor() const { return FDefForeColor; }
    TColor DefBackColor() const { return FDefBackColor; }
    // Cells holding the old default take the new one; the current colour and
    // the fill of new cells are left alone.
    void SetDefForeColor(TColor c);
    void SetDefBackColor(TColor c);
    // A terminal's colours as both the defaults and the current colours:
    // cells in the old defaults take them, and so does the text to come.
    void UseColors(TColor back, TColor fore);

    // --- modes ----------------------------------------------------------------
    bool UseAbsAddress = true;
    bool UseAutoWrap = true;
    bool UseAutoWrapDelay = true;
    bool UseInsertMode = false;
    bool UseNewLineMode = false;
    bool UseScrollRegion() const { return FUseScrollRegion; }
    void SetUseScrollRegion(bool on);
    bool BeyondMargin() const { return FBeyondMargin; }

    // --- cursor (public numbers) ----------------------------------------------
    int GetRow() const;
    int GetCol() const;
    void SetRow(int r);  // grid clamp: under UseAbsAddress rows <= 0 reach the scrollback
    void SetCol(int c);
    void SetCursorPosition(int row, int col);
    // Positioning asked for by the host program: rows are kept on the screen
    // (inside the region when not absolute), columns on the row.
    void SetHostCursorPosition(int row, int col);
    void SetHostRow(int r);
    int GetOriginCol() const { return FOriginCol + 1; }
    int GetOriginRow() const { return FOriginRow + FRowCount - FSVRowCount + 1; }
    // Cursor as a 1-based screen row / column whatever the addressing mode.
    int CursorScreenRow() const { return FCursorRow + FRowCount - FSVRowCount + 1; }
    int CursorScreenCol() const { return FCursorCol + 1; }
    int ScrollTop() const { return FScrollTop + FRowCount - FSVRowCount + 1; }  // screen row
    int ScrollBottom() const { return FScrollBottom + FRowCount - FSVRowCount + 1; }
    bool HasCursorMoved();

    void MoveCursorUp(bool scroll);
    void MoveCursorDown(bool scroll);
    void MoveCursorLeft(bool wrap, bool scroll);
    void MoveCursorRight(bool wrap, bool scroll);
    void DoBackspace();
    void DoCarriageReturn();
    void DoLineFeed();
    void DoHorzTab();
    void DoBackHorzTab();
    void DoVertTab();
    void DoBackVertTab();

    // --- editing --------------------------------------------------------------
    void WriteChar(char ch);
    void WriteWideChar(uint16_t ch);
    void WriteString(const std::string& s);
    // Writes `count` characters as WriteChar would, a row part at a time.
    void WriteRun(const char* text, int count);
    void InsertChars(int n);
    void DeleteChars(int n);
    void InsertLines(int n);
    void DeleteLines(int n);
    void EraseChars(int n);
    void EraseToEOL();
    void EraseFromBOL();
    void EraseLine();
    void EraseToEOW();
    void EraseFromBOW();
    void EraseScreen();
    void EraseAll();
    void SetScrollRegion(int top, int bottom);
    void Reset();

    // --- tab stops ------------------------------------------------------------
    void SetHorzTabStop();
    void ClearHorzTabStop();
    void ClearAllHorzTabStops();
    void SetVertTabStop();
    void ClearVertTabStop();
    void ClearAllVertTabStops();
    bool HorzTabStop(int col) const { return FHorzTabs.Get(col - 1); }  // public column
    bool VertTabStop(int row) const { return FVertTabs.Get(row - 1); }  // screen row

    // --- reading (rows 1-based from the screen top; <= 0 reach the scrollback)
    // Address of the first cell of a row; nullptr outside the grid. A row
    // holds ColCount() cells.
    const char* GetLineCharPtr(int row) const;
    const uint16_t* GetLineWideCharPtr(int row) const;
    const uint8_t* GetLineCharSetPtr(int row) const;
    const TQnCharAttrs* GetLineAttrPtr(int row) const;
    const TColor* GetLineForeColorPtr(int row) const;
    const TColor* GetLineBackColorPtr(int row) const;
    // Writable attributes of a row (the selection marks cells through it).
    // Only atSelected may be changed through it.
    TQnCharAttrs* GetLineAttrPtrForWrite(int row);
    // How many cells of a row carry atBlink; 0 outside the grid.
    int BlinkingCells(int row) const { return FBlinkRows.Of(GridRowFromScreen(row)); }
    // Single cells (1-based screen row and column); defaults outside the grid.
    char CharAt(int row, int col) const;
    TQnCharAttrs AttrAt(int row, int col) const;
    TColor ForeColorAt(int row, int col) const;
    TColor BackColorAt(int row, int col) const;
    uint8_t CharSetAt(int row, int col) const;
    std::string LineText(int row) const;  // the characters of a row

    bool HasDisplayChanged() const { return FInvalidPending; }
    // Merged rectangle of every change since the last call; false when none.
    bool GetInvalidRect(TQnRect& r);
    // Queues a change of cells (1-based screen rows, public columns clipped).
    void InvalidateScreenRect(int left, int top, int right, int bottom);

    // --- notifications -----------------------------------------------------
    TScrollEvent OnScroll;
    TCursorMoveEvent OnCursorMove;
    void RegisterTerminalHandle(TChangeNotify notify) { FNotify = std::move(notify); }
    void DeregisterTerminalHandle() { FNotify = nullptr; }

private:
    int FirstScreenRow() const { return FSVRowCount - FRowCount; }
    int RightMargin() const { return FOriginCol + FRegionWidth - 1; }
    int RegionTop() const { return FOriginRow; }
    int RegionBottom() const { return FOriginRow + FRegionHeight - 1; }
    // The rows a cursor may scroll: the region, or the screen (with the whole
    // grid scrolling up so the top row enters the scrollback) without one.
    bool InRegion(int gridRow) const { return gridRow >= RegionTop() && gridRow <= RegionBottom(); }
    int GridRowFromPublic(int64_t r) const;
    int GridColFromPublic(int64_t c) const;
    // Grid row of a 1-based screen row; -1 when it lies outside the grid.
    int GridRowFromScreen(int row) const {
        const int64_t g = static_cast<int64_t>(row) - 1 + FirstScreenRow();
        return (g >= 0 && g < FSVRowCount) ? static_cast<int>(g) : -1;
    }
    static int GridColFromScreen(int col) { return col >= 1 ? col - 1 : -1; }
    bool ValidGridRow(int g) const { return g >= 0 && g < FSVRowCount; }

    void ScrollGrid(int count, int first, int last);
    void ScrollUpRegion();
    void ScrollDownRegion();
    void InvalidateGrid(int firstRow, int firstCol, int lastRow, int lastCol);
    void InvalidateRegion();
    void InvalidateScreen();
    void Notify();
    void CursorChanged();  // sets CursorMoved and tells OnCursorMove
    void SetCursorGrid(int row, int col);
    void EraseCells(int row, int fromCol, int toCol);
    void ClearGridRows(int first, int last);
    void ResetHorzTabs(int fromCol);
    void RecomputeRegion();
    void StoreCell(uint16_t ch);

    // The five planes, for operations that treat every cell part alike.
    std::array<TadTerminalArray*, 5> Planes() { return {&FChars, &FCharSets, &FAttrs, &FFores, &FBacks}; }

    TQnCharAttrs FCharAttrs = 0;
    TColor FBackColor = QnBlack;
    bool FBeyondMargin = false;
    uint8_t FCharSet = 0;
    int FColCount = 80;
    int FCursorCol = 0;
    bool FCursorMoved = false;
    int FCursorRow = 0;
    char FDefChar = ' ';
    TQnCharAttrs FDefCharAttrs = 0;
    uint8_t FDefCharSet = 0;
    TColor FDefBackColor = QnBlack;
    TColor FDefForeColor = QnSilver;
    uint16_t FDefWideChar = ' ';
    int FOriginCol = 0;
    int FOriginRow = 0;
    int FRegionWidth = 80;
    int FRegionHeight = 24;
    TColor FForeColor = QnSilver;
    TQnBitSet FHorzTabs;
    bool FInvalidPending = false;
    TQnRect FInvalid;
    int FRowCount = 24;
    int FScrollTop = 0;
    int FScrollBottom = 0;
    int FSVRowCount = 200;
    bool FUseScrollRegion = false;
    bool FUseWideChars = false;
    TQnBitSet FVertTabs;
    TadTerminalArray FChars;
    TadTerminalArray FCharSets{1};
    TadTerminalArray FAttrs{1};
    TadTerminalArray FFores{4};
    TadTerminalArray FBacks{4};
    TQnBlinkRows FBlinkRows;
    TChangeNotify FNotify;
};
