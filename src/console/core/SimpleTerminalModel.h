#pragma once
// The character grid behind the TTY console control: cells with one
// attribute set each, a cursor, line wrap and upward scrolling. Plain C++;
// the widget TSimpleTerminal draws it and learns of changes through the
// notification events below.

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

// One attribute of a cell (the ordinal is the bit number in the set).
enum TTerminalCharAttribute : uint8_t {
    tca_Null = 0,        // blank cell: set by every clear, never by writing a character
    tca_HighVideo = 1,   // text in the high-video colour instead of the low-video one
    tca_Underlined = 2,  // underlined text
    tca_Bold = 3,        // bold text
    tca_Protected = 4,   // stored only; no effect on drawing or editing
    tca_Inverted = 5,    // text and background colours swap
};

// A set of TTerminalCharAttribute in one byte (bit value 1 << ordinal).
struct TTerminalCharAttributes {
    uint8_t Bits = 0;

    constexpr TTerminalCharAttributes() = default;
    constexpr explicit TTerminalCharAttributes(uint8_t bits) : Bits(bits) {}
    constexpr TTerminalCharAttributes(std::initializer_list<TTerminalCharAttribute> list) {
        for (auto a : list) Include(a);
    }
    constexpr bool Contains(TTerminalCharAttribute a) const { return (Bits >> a) & 1u; }
    constexpr TTerminalCharAttributes& Include(TTerminalCharAttribute a) {
        Bits = uint8_t(Bits | (1u << a));
        return *this;
    }
    constexpr TTerminalCharAttributes& Exclude(TTerminalCharAttribute a) {
        Bits = uint8_t(Bits & ~(1u << a));
        return *this;
    }
    constexpr bool Empty() const { return Bits == 0; }
    friend constexpr bool operator==(TTerminalCharAttributes a, TTerminalCharAttributes b) { return a.Bits == b.Bits; }
};

// One grid cell: the attribute set, then the character byte. As one 16-bit
// value the attribute set is the low byte and the character the high byte.
struct TTerminalCell {
    TTerminalCharAttributes Attributes;
    uint8_t Ch = 0;

    constexpr uint16_t Pack() const { return uint16_t(Attributes.Bits | (Ch << 8)); }
    static constexpr TTerminalCell Unpack(uint16_t v) {
        return TTerminalCell{TTerminalCharAttributes(uint8_t(v & 0xFF)), uint8_t(v >> 8)};
    }
    friend constexpr bool operator==(TTerminalCell a, TTerminalCell b) {
        return a.Attributes == b.Attributes && a.Ch == b.Ch;
    }
};

// The blank cell: [tca_Null] with a space.
inline constexpr TTerminalCell BlankTerminalCell{TTerminalCharAttributes(uint8_t(1u << tca_Null)), 0x20};

// Cell coordinates are 0-based (column, row). The buffer is always the full
// MaxRows x MaxColumns, so changing Rows or Columns keeps the text; the
// visible grid is Rows x Columns and the cursor always lies inside it.
// Every coordinate is range-checked: out-of-grid requests are ignored.
class TSimpleTerminalModel {
public:
    static constexpr int MaxRows = 255;
    static constexpr int MaxColumns = 132;

    TSimpleTerminalModel();

    // --- size and modes -------------------------------------------------
    int Rows() const { return FRows; }
    // Ignores a value outside 1..255 or equal to the current one; pulls the
    // cursor row inside. Returns true when Rows changed.
    bool SetRows(int value);
    int Columns() const { return FColumns; }
    // Ignores a value outside 1..132 or equal to the current one; pulls the
    // cursor column inside. Returns true when Columns changed.
    bool SetColumns(int value);
    bool LineWrap() const { return FLineWrap; }
    void SetLineWrap(bool value) { FLineWrap = value; }
    bool ScrollLock() const { return FScrollLock; }
    void SetScrollLock(bool value) { FScrollLock = value; }

    // Attribute set given to written characters (tca_Null is always left out).
    TTerminalCharAttributes DefaultAttributes;

    // --- cursor ---------------------------------------------------------
    int CursorColumn() const { return FCursorColumn; }
    int CursorRow() const { return FCursorRow; }
    // Moves the cursor; ignored unless 0 <= row < Rows and 0 <= column < Columns.
    void GotoXY(int column, int row);
    void CursorHome() { GotoXY(0, 0); }
    // One step; a step off the grid does nothing (no wrap, no scroll).
    void CursorRight() { GotoXY(FCursorColumn + 1, FCursorRow); }
    void CursorLeft() { GotoXY(FCursorColumn - 1, FCursorRow); }
    void CursorDown() { GotoXY(FCursorColumn, FCursorRow + 1); }
    void CursorUp() { GotoXY(FCursorColumn, FCursorRow - 1); }

    // --- writing --------------------------------------------------------
    // BS (one column left, not past 0), LF (down, scrolling on the last row
    // unless ScrollLock; column unchanged), CR (column 0), 20h-FFh written
    // with DefaultAttributes and the cursor advanced (wrapping with
    // LineWrap, else sticking on the last column); every other byte ignored.
    void WriteChar(uint8_t ch);
    void WriteString(const std::string& text);

    // --- clearing and lines ----------------------------------------------
    void ClearLine();         // the whole cursor row; the cursor stays
    void ClearToEndOfLine();  // cursor column .. Columns-1 of the cursor row
    // From the cursor column rightwards, blanks cells until the first cell
    // already holding tca_Null or the end of the row (Columns).
    void ClearToEndOfText();
    void ClearScreen();          // all Rows x Columns; the cursor stays
    void DeleteLineAt(int row);  // rows below move up; the last row becomes blank
    void DeleteLine() { DeleteLineAt(FCursorRow); }
    void InsertLineAt(int row);  // rows from there move down (last lost); the row becomes blank
    void InsertLine() { InsertLineAt(FCursorRow); }
    // Moves rows 1..Rows-1 up by one; the top row is lost and the bottom
    // row becomes blank.
    void ScrollUp();
    // Blanks the whole buffer (all 255 rows) and puts the cursor home.
    void Clear();

    // --- cells ------------------------------------------------------------
    // The stored cell; the blank cell outside Rows x Columns.
    TTerminalCell GetCell(int column, int row) const;
    // Stores one cell; ignored outside Rows x Columns.
    void PutCell(int column, int row, TTerminalCell cell);

    // --- change notifications (for the view) ---------------------------
    // Rows first..last (inclusive, visible rows) hold changed cells.
    std::function<void(TSimpleTerminalModel& Sender, int firstRow, int lastRow)> OnRowsChanged;
    // Visible rows moved up by one (ScrollUp); the bottom row is new.
    std::function<void(TSimpleTerminalModel& Sender)> OnScrolledUp;
    // The cursor position changed.
    std::function<void(TSimpleTerminalModel& Sender)> OnCursorMoved;

private:
    void RowsChanged(int first, int last);
    void CursorMoved();
    void LineFeed();
    void BlankRow(int row, int firstColumn, int endColumn);

    std::array<std::array<TTerminalCell, MaxColumns>, MaxRows> FCells;
    int FRows = 24;
    int FColumns = 80;
    int FCursorColumn = 0;
    int FCursorRow = 0;
    bool FLineWrap = true;
    bool FScrollLock = false;
};
