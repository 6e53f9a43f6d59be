#include "console/core/SimpleTerminalModel.h"

#include <algorithm>

TSimpleTerminalModel::TSimpleTerminalModel() {
    // Start blank (not zero cells), so clears and GetCell agree from the start.
    for (auto& row : FCells) row.fill(BlankTerminalCell);
}

void TSimpleTerminalModel::RowsChanged(int first, int last) {
    if (OnRowsChanged) OnRowsChanged(*this, first, last);
}

void TSimpleTerminalModel::CursorMoved() {
    if (OnCursorMoved) OnCursorMoved(*this);
}

bool TSimpleTerminalModel::SetRows(int value) {
    if (value < 1 || value > MaxRows || value == FRows) return false;
    FRows = value;
    if (FRows <= FCursorRow) {
        FCursorRow = FRows - 1;
        CursorMoved();
    }
    return true;
}

bool TSimpleTerminalModel::SetColumns(int value) {
    if (value < 1 || value > MaxColumns || value == FColumns) return false;
    FColumns = value;
    if (FColumns <= FCursorColumn) {
        FCursorColumn = FColumns - 1;
        CursorMoved();
    }
    return true;
}

void TSimpleTerminalModel::GotoXY(int column, int row) {
    if (row < 0 || row >= FRows || column < 0 || column >= FColumns) return;
    if (row == FCursorRow && column == FCursorColumn) return;
    FCursorColumn = column;
    FCursorRow = row;
    CursorMoved();
}

void TSimpleTerminalModel::LineFeed() {
    ++FCursorRow;
    if (FCursorRow >= FRows) {
        FCursorRow = FRows - 1;
        if (!FScrollLock) ScrollUp();
    }
}

void TSimpleTerminalModel::WriteChar(uint8_t ch) {
    switch (ch) {
        case 0x08:  // BS
            if (FCursorColumn > 0) {
                --FCursorColumn;
                CursorMoved();
            }
            return;
        case 0x0A:  // LF: down only, the column stays
            LineFeed();
            CursorMoved();
            return;
        case 0x0D:  // CR
            if (FCursorColumn != 0) {
                FCursorColumn = 0;
                CursorMoved();
            }
            return;
        default:
            break;
    }
    if (ch < 0x20) return;  // other control bytes (ESC included) are ignored

    TTerminalCell cell{DefaultAttributes, ch};
    cell.Attributes.Exclude(tca_Null);
    PutCell(FCursorColumn, FCursorRow, cell);
    ++FCursorColumn;
    if (FCursorColumn >= FColumns) {
        if (FLineWrap) {
            FCursorColumn = 0;
            LineFeed();
        } else {
            FCursorColumn = FColumns - 1;  // further characters overwrite the last column
        }
    }
    CursorMoved();
}

void TSimpleTerminalModel::WriteString(const std::string& text) {
    for (char c : text) WriteChar(static_cast<uint8_t>(c));
}

void TSimpleTerminalModel::BlankRow(int row, int firstColumn, int endColumn) {
    auto& cells = FCells[row];
    std::fill(cells.begin() + firstColumn, cells.begin() + endColumn, BlankTerminalCell);
}

void TSimpleTerminalModel::ClearLine() {
    BlankRow(FCursorRow, 0, FColumns);
    RowsChanged(FCursorRow, FCursorRow);
}

void TSimpleTerminalModel::ClearToEndOfLine() {
    BlankRow(FCursorRow, FCursorColumn, FColumns);
    RowsChanged(FCursorRow, FCursorRow);
}

void TSimpleTerminalModel::ClearToEndOfText() {
    auto& cells = FCells[FCursorRow];
    for (int c = FCursorColumn; c < FColumns; ++c) {
        if (cells[c].Attributes.Contains(tca_Null)) break;
        cells[c] = BlankTerminalCell;
    }
    RowsChanged(FCursorRow, FCursorRow);
}

void TSimpleTerminalModel::ClearScreen() {
    for (int r = 0; r < FRows; ++r) BlankRow(r, 0, FColumns);
    RowsChanged(0, FRows - 1);
}

void TSimpleTerminalModel::DeleteLineAt(int row) {
    if (row < 0 || row >= FRows) return;
    for (int r = row; r < FRows - 1; ++r) std::copy_n(FCells[r + 1].begin(), FColumns, FCells[r].begin());
    BlankRow(FRows - 1, 0, FColumns);
    RowsChanged(row, FRows - 1);
}

void TSimpleTerminalModel::InsertLineAt(int row) {
    if (row < 0 || row >= FRows) return;
    for (int r = FRows - 2; r >= row; --r) std::copy_n(FCells[r].begin(), FColumns, FCells[r + 1].begin());
    BlankRow(row, 0, FColumns);
    RowsChanged(row, FRows - 1);
}

void TSimpleTerminalModel::ScrollUp() {
    // Only the visible rows move, and the row that enters at the bottom is
    // blank whatever the hidden rows below it hold.
    std::move(FCells.begin() + 1, FCells.begin() + FRows, FCells.begin());
    FCells[FRows - 1].fill(BlankTerminalCell);
    if (OnScrolledUp) OnScrolledUp(*this);
}

void TSimpleTerminalModel::Clear() {
    for (auto& row : FCells) row.fill(BlankTerminalCell);
    const bool moved = FCursorColumn != 0 || FCursorRow != 0;
    FCursorColumn = 0;
    FCursorRow = 0;
    RowsChanged(0, FRows - 1);
    if (moved) CursorMoved();
}

TTerminalCell TSimpleTerminalModel::GetCell(int column, int row) const {
    if (row < 0 || row >= FRows || column < 0 || column >= FColumns) return BlankTerminalCell;
    return FCells[row][column];
}

void TSimpleTerminalModel::PutCell(int column, int row, TTerminalCell cell) {
    if (row < 0 || row >= FRows || column < 0 || column >= FColumns) return;
    FCells[row][column] = cell;
    RowsChanged(row, row);
}
