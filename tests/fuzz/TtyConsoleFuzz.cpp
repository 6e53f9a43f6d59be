// libFuzzer target: TTY console output through the sequence parser into the
// character grid; the cursor, change notifications and changed cells stay
// inside the grid. Input: rows, columns, line wrap / scroll lock / high
// video, then the output.

#include <cstdint>

#include "console/core/SimpTermCommands.h"
#include "console/core/SimpTermParser.h"
#include "console/core/SimpleTerminalModel.h"
#include "support/FuzzSupport.h"

namespace {

using tavrin::test::Check;

bool CursorInside(const TSimpleTerminalModel& t) {
    return t.CursorRow() >= 0 && t.CursorRow() < t.Rows() && t.CursorColumn() >= 0 && t.CursorColumn() < t.Columns();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    static TSimpleTerminalModel* model = new TSimpleTerminalModel();  // 64 KB: built once
    TSimpleTerminalModel& t = *model;
    t.SetRows(TSimpleTerminalModel::MaxRows);
    t.SetColumns(TSimpleTerminalModel::MaxColumns);
    t.Clear();
    t.SetRows(24);
    t.SetColumns(80);
    t.OnRowsChanged = nullptr;

    t.SetRows(data[0]);
    t.SetColumns(data[1]);
    const int rows = t.Rows(), columns = t.Columns();
    t.SetLineWrap(data[2] & 1);
    t.SetScrollLock(data[2] & 2);
    t.DefaultAttributes = TTerminalCharAttributes(static_cast<uint8_t>(data[2] & 0x3C));

    t.OnRowsChanged = [](TSimpleTerminalModel& s, int first, int last) {
        Check(first >= 0 && first <= last && last < s.Rows());
    };

    TSimpTermParser parser;
    parser.OnChar = [&t](TSimpTermParser&, uint8_t ch) { t.WriteChar(ch); };
    // The parser reports only the codes the console knows.
    parser.OnCommand = [&t](TSimpTermParser&, uint8_t cmd, int row, int column) {
        Check(ApplySimpTermCommand(t, cmd, row, column) != TSimpTermEffect::None);
    };
    for (size_t i = 3; i < size; ++i) {
        parser.ProcessChar(data[i]);
        Check(CursorInside(t));
        Check(t.Rows() == rows && t.Columns() == columns);
    }

    // Visible cells hold printable characters; everything outside the grid
    // is still blank: show the whole buffer.
    t.OnRowsChanged = nullptr;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const TTerminalCell cell = t.GetCell(c, r);
            Check(cell == BlankTerminalCell || (!cell.Attributes.Contains(tca_Null) && cell.Ch >= 0x20));
        }
    Check(t.GetCell(-1, 0) == BlankTerminalCell && t.GetCell(0, -1) == BlankTerminalCell);
    t.SetRows(TSimpleTerminalModel::MaxRows);
    t.SetColumns(TSimpleTerminalModel::MaxColumns);
    for (int r = 0; r < TSimpleTerminalModel::MaxRows; ++r)
        for (int c = 0; c < TSimpleTerminalModel::MaxColumns; ++c)
            if (r >= rows || c >= columns) Check(t.GetCell(c, r) == BlankTerminalCell);
    return 0;
}
