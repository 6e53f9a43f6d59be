// The TTY console's character grid: writing, wrapping, scrolling, clearing.

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "console/SimpleTerminalModel.h"

namespace {

std::string RowText(const TSimpleTerminalModel& m, int row, int from = 0, int count = -1) {
    if (count < 0) count = m.Columns() - from;
    std::string s;
    for (int c = from; c < from + count; ++c) s.push_back(char(m.GetCell(c, row).Ch));
    return s;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

bool RowBlank(const TSimpleTerminalModel& m, int row) {
    for (int c = 0; c < m.Columns(); ++c)
        if (!(m.GetCell(c, row) == BlankTerminalCell)) return false;
    return true;
}

struct WriteCase {
    const char* name;
    int rows, columns;
    bool lineWrap, scrollLock;
    int startColumn, startRow;
    std::string input;
    int column, row;  // expected cursor
};
// Table rows show as their name in test listings, not as raw bytes.
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class WriteCharCases : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteCharCases, MovesCursor) {
    const WriteCase& p = GetParam();
    TSimpleTerminalModel m;
    ASSERT_TRUE(p.rows == m.Rows() || m.SetRows(p.rows));
    ASSERT_TRUE(p.columns == m.Columns() || m.SetColumns(p.columns));
    m.SetLineWrap(p.lineWrap);
    m.SetScrollLock(p.scrollLock);
    m.GotoXY(p.startColumn, p.startRow);
    m.WriteString(p.input);
    EXPECT_EQ(m.CursorColumn(), p.column);
    EXPECT_EQ(m.CursorRow(), p.row);
}

INSTANTIATE_TEST_SUITE_P(
    Cursor, WriteCharCases,
    ::testing::Values(
        WriteCase{"NoWrapSticksOnLastColumn", 24, 80, false, false, 0, 0, std::string(100, 'x'), 79, 0},
        WriteCase{"WrapMovesToNextRow", 24, 80, true, false, 0, 0, std::string(80, 'x'), 0, 1},
        WriteCase{"WrapOnLastRowStays", 3, 10, true, false, 0, 2, std::string(10, 'x'), 0, 2},
        WriteCase{"LineFeedKeepsColumn", 24, 80, true, false, 5, 3, "\n", 5, 4},
        WriteCase{"LineFeedOnLastRow", 24, 80, true, false, 5, 23, "\n\n", 5, 23},
        WriteCase{"CarriageReturn", 24, 80, true, false, 7, 2, "\r", 0, 2},
        WriteCase{"CarriageReturnAtZero", 24, 80, true, false, 0, 2, "\r", 0, 2},
        WriteCase{"BackspaceAtZero", 24, 80, true, false, 0, 2, "\b", 0, 2},
        WriteCase{"Backspace", 24, 80, true, false, 4, 2, "\b\b", 2, 2},
        WriteCase{"IgnoredControls", 24, 80, true, false, 3, 3,
                  std::string("\x00\x01\x07\x09\x0b\x0c\x0e\x1b\x1f", 9), 3, 3},
        WriteCase{"HighBytesAdvance", 24, 80, true, false, 0, 0, "\x7f\x80\xff", 3, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimpleTerminalModel, NoWrapLastColumnShowsLastByte) {
    TSimpleTerminalModel m;
    std::string text;
    for (int i = 0; i < 100; ++i) text.push_back(char('0' + i % 64));
    m.SetLineWrap(false);
    m.WriteString(text);
    EXPECT_EQ(m.GetCell(79, 0).Ch, uint8_t(text[99]));
    EXPECT_EQ(m.GetCell(78, 0).Ch, uint8_t(text[78]));
    EXPECT_TRUE(RowBlank(m, 1));
}

TEST(SimpleTerminalModel, ScrollingDropsTopRowAndBlanksBottom) {
    struct Case {
        const char* name;
        bool scrollLock;
        const char* row0;
        const char* row1;
        const char* row2;
    };
    for (const Case& c : {Case{"Scrolls", false, "bbbb", "cccc", ""},
                          Case{"ScrollLockOverwrites", true, "aaaa", "bbbb", "dd"}}) {
        SCOPED_TRACE(c.name);
        TSimpleTerminalModel m;
        m.SetRows(3);
        m.SetColumns(4);
        m.SetScrollLock(c.scrollLock);
        // The last line wraps off the bottom row: "cccc" fills row 2, then "dd" follows.
        m.WriteString("aaaabbbbcccc");
        if (c.scrollLock) m.WriteString("dd");
        EXPECT_EQ(Trimmed(RowText(m, 0)), c.row0);
        EXPECT_EQ(Trimmed(RowText(m, 1)), c.row1);
        EXPECT_EQ(Trimmed(RowText(m, 2)), c.scrollLock ? "ddcc" : c.row2);
    }
}

TEST(SimpleTerminalModel, RowEnteringAtBottomIsBlankEvenWithHiddenText) {
    TSimpleTerminalModel m;
    m.SetRows(5);
    m.GotoXY(0, 3);
    m.WriteString("hidden");
    m.GotoXY(0, 4);
    m.WriteString("hidden too");
    m.SetRows(3);
    m.GotoXY(0, 2);
    m.WriteString("last\n");
    EXPECT_EQ(Trimmed(RowText(m, 1)), "last");
    EXPECT_TRUE(RowBlank(m, 2));
    // Rows below the visible grid are not touched by the scroll.
    m.SetRows(5);
    EXPECT_EQ(Trimmed(RowText(m, 3)), "hidden");
}

TEST(SimpleTerminalModel, WrittenCellsTakeDefaultAttributesWithoutNull) {
    TSimpleTerminalModel m;
    m.DefaultAttributes = {tca_Null, tca_HighVideo, tca_Bold};
    m.WriteString("\x7f\xb0\xff");
    const TTerminalCharAttributes expected{tca_HighVideo, tca_Bold};
    for (int c = 0; c < 3; ++c) EXPECT_EQ(m.GetCell(c, 0).Attributes, expected) << c;
    EXPECT_EQ(m.GetCell(0, 0).Ch, 0x7F);
    EXPECT_EQ(m.GetCell(1, 0).Ch, 0xB0);
    EXPECT_EQ(m.GetCell(2, 0).Ch, 0xFF);
    // Ignored control bytes store nothing.
    m.GotoXY(0, 1);
    m.WriteString("\x1b\x01");
    EXPECT_TRUE(RowBlank(m, 1));
}

TEST(SimpleTerminalModel, GotoXYRangeChecks) {
    struct Case {
        int column, row;
        bool moves;
    };
    for (const Case& c : {Case{79, 23, true}, Case{0, 0, true}, Case{80, 0, false}, Case{0, 24, false},
                          Case{-1, 5, false}, Case{5, -1, false}, Case{255, 255, false}}) {
        TSimpleTerminalModel m;
        m.GotoXY(10, 10);
        m.GotoXY(c.column, c.row);
        EXPECT_EQ(m.CursorColumn(), c.moves ? c.column : 10) << c.column << "," << c.row;
        EXPECT_EQ(m.CursorRow(), c.moves ? c.row : 10) << c.column << "," << c.row;
    }
}

TEST(SimpleTerminalModel, CursorStepsStopAtEdges) {
    TSimpleTerminalModel m;
    m.CursorLeft();
    m.CursorUp();
    EXPECT_EQ(m.CursorColumn(), 0);
    EXPECT_EQ(m.CursorRow(), 0);
    m.GotoXY(79, 23);
    m.CursorRight();
    m.CursorDown();
    EXPECT_EQ(m.CursorColumn(), 79);
    EXPECT_EQ(m.CursorRow(), 23);
    m.CursorLeft();
    m.CursorUp();
    EXPECT_EQ(m.CursorColumn(), 78);
    EXPECT_EQ(m.CursorRow(), 22);
    m.CursorHome();
    EXPECT_EQ(m.CursorColumn(), 0);
    EXPECT_EQ(m.CursorRow(), 0);
}

TEST(SimpleTerminalModel, SizeSettersRangeCheckAndPullCursorIn) {
    TSimpleTerminalModel m;
    m.SetRows(50);
    m.GotoXY(70, 30);
    m.WriteString("kept");
    m.GotoXY(70, 30);
    for (int bad : {0, 256, -3}) EXPECT_FALSE(m.SetRows(bad));
    for (int bad : {0, 133}) EXPECT_FALSE(m.SetColumns(bad));
    EXPECT_FALSE(m.SetRows(50));
    EXPECT_EQ(m.Rows(), 50);
    EXPECT_TRUE(m.SetRows(10));
    EXPECT_EQ(m.CursorRow(), 9);
    EXPECT_TRUE(m.SetColumns(40));
    EXPECT_EQ(m.CursorColumn(), 39);
    EXPECT_TRUE(m.SetRows(255));
    EXPECT_TRUE(m.SetColumns(132));
    EXPECT_EQ(RowText(m, 30, 70, 4), "kept");
    EXPECT_EQ(m.GetCell(131, 254), BlankTerminalCell);
}

TEST(SimpleTerminalModel, ClearOperations) {
    struct Case {
        const char* name;
        void (TSimpleTerminalModel::*op)();
        const char* row1;  // row of the cursor afterwards
        bool otherRowsKept;
    };
    for (const Case& c : {Case{"ClearLine", &TSimpleTerminalModel::ClearLine, "", true},
                          Case{"ClearToEndOfLine", &TSimpleTerminalModel::ClearToEndOfLine, "01234", true},
                          Case{"ClearToEndOfText", &TSimpleTerminalModel::ClearToEndOfText, "01234", true},
                          Case{"ClearScreen", &TSimpleTerminalModel::ClearScreen, "", false}}) {
        SCOPED_TRACE(c.name);
        TSimpleTerminalModel m;
        m.WriteString("top\r\n0123456789\r\nbottom");
        m.GotoXY(5, 1);
        (m.*c.op)();
        EXPECT_EQ(Trimmed(RowText(m, 1)), c.row1);
        EXPECT_EQ(Trimmed(RowText(m, 0)), c.otherRowsKept ? "top" : "");
        EXPECT_EQ(Trimmed(RowText(m, 2)), c.otherRowsKept ? "bottom" : "");
        EXPECT_EQ(m.CursorColumn(), 5);
        EXPECT_EQ(m.CursorRow(), 1);
        EXPECT_TRUE(m.GetCell(7, 1).Attributes.Contains(tca_Null));
    }
}

TEST(SimpleTerminalModel, ClearToEndOfTextStopsAtClearedCell) {
    TSimpleTerminalModel m;
    m.WriteString("abc");
    m.GotoXY(5, 0);
    m.WriteString("xyz");  // separated from "abc" by two cleared cells
    m.GotoXY(0, 0);
    m.ClearToEndOfText();
    EXPECT_EQ(RowText(m, 0, 0, 8), "     xyz");
    EXPECT_TRUE(m.GetCell(0, 0).Attributes.Contains(tca_Null));
}

TEST(SimpleTerminalModel, ClearToEndOfTextStopsAtLastColumn) {
    TSimpleTerminalModel m;
    m.SetColumns(132);
    m.WriteString(std::string(132, 'w'));
    m.SetColumns(80);
    m.GotoXY(70, 0);
    m.ClearToEndOfText();
    m.SetColumns(132);
    EXPECT_EQ(RowText(m, 0, 69, 12), "w          w");
    EXPECT_EQ(m.GetCell(131, 0).Ch, 'w');
}

TEST(SimpleTerminalModel, InsertAndDeleteLines) {
    struct Case {
        const char* name;
        bool insert;
        int row;
        const char* expected[4];
    };
    for (const Case& c : {Case{"InsertTop", true, 0, {"", "r0", "r1", "r2"}},
                          Case{"InsertMiddle", true, 1, {"r0", "", "r1", "r2"}},
                          Case{"InsertLast", true, 3, {"r0", "r1", "r2", ""}},
                          Case{"DeleteTop", false, 0, {"r1", "r2", "r3", ""}},
                          Case{"DeleteMiddle", false, 2, {"r0", "r1", "r3", ""}},
                          Case{"DeleteLast", false, 3, {"r0", "r1", "r2", ""}},
                          Case{"InsertOutside", true, 4, {"r0", "r1", "r2", "r3"}},
                          Case{"DeleteNegative", false, -1, {"r0", "r1", "r2", "r3"}}}) {
        SCOPED_TRACE(c.name);
        TSimpleTerminalModel m;
        m.SetRows(4);
        m.WriteString("r0\r\nr1\r\nr2\r\nr3");
        if (c.insert)
            m.InsertLineAt(c.row);
        else
            m.DeleteLineAt(c.row);
        for (int r = 0; r < 4; ++r) EXPECT_EQ(Trimmed(RowText(m, r)), c.expected[r]) << "row " << r;
    }
    TSimpleTerminalModel m;
    m.WriteString("one\r\ntwo");
    m.GotoXY(0, 0);
    m.InsertLine();
    EXPECT_EQ(Trimmed(RowText(m, 1)), "one");
    m.DeleteLine();
    EXPECT_EQ(Trimmed(RowText(m, 0)), "one");
    EXPECT_EQ(Trimmed(RowText(m, 1)), "two");
}

TEST(SimpleTerminalModel, CellsOutsideGridAreBlankAndUnwritable) {
    TSimpleTerminalModel m;
    const TTerminalCell marked{TTerminalCharAttributes{tca_Bold}, 'M'};
    for (auto [c, r] : {std::pair{80, 0}, {0, 24}, {-1, 0}, {0, -1}, {132, 255}}) {
        m.PutCell(c, r, marked);
        EXPECT_EQ(m.GetCell(c, r), BlankTerminalCell);
    }
    m.SetRows(255);
    m.SetColumns(132);
    EXPECT_EQ(m.GetCell(80, 0), BlankTerminalCell);
    EXPECT_EQ(m.GetCell(0, 24), BlankTerminalCell);
    m.PutCell(131, 254, marked);
    EXPECT_EQ(m.GetCell(131, 254), marked);
}

TEST(SimpleTerminalModel, ClearBlanksEverythingAndHomesCursor) {
    TSimpleTerminalModel m;
    m.SetRows(5);
    m.GotoXY(0, 4);
    m.WriteString("xx");
    m.SetRows(3);  // row 4 is now hidden
    m.Clear();
    EXPECT_EQ(m.CursorColumn(), 0);
    EXPECT_EQ(m.CursorRow(), 0);
    m.SetRows(5);
    EXPECT_TRUE(RowBlank(m, 4));
}

TEST(SimpleTerminalModel, CellPacksAttributesLowCharacterHigh) {
    const TTerminalCell cell{TTerminalCharAttributes{tca_HighVideo, tca_Inverted}, 0xB3};
    EXPECT_EQ(cell.Pack(), 0xB322);
    EXPECT_EQ(TTerminalCell::Unpack(0xB322), cell);
    EXPECT_EQ(BlankTerminalCell.Pack(), 0x2001);
}

TEST(SimpleTerminalModel, NotifiesChangedRowsScrollAndCursor) {
    TSimpleTerminalModel m;
    m.SetRows(3);
    int first = -1, last = -1, scrolls = 0, moves = 0;
    m.OnRowsChanged = [&](TSimpleTerminalModel&, int f, int l) { first = f; last = l; };
    m.OnScrolledUp = [&](TSimpleTerminalModel&) { ++scrolls; };
    m.OnCursorMoved = [&](TSimpleTerminalModel&) { ++moves; };
    m.GotoXY(0, 1);
    m.WriteChar('a');
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 1);
    m.InsertLineAt(1);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
    m.WriteString("\n\n\n");
    EXPECT_EQ(scrolls, 2);
    EXPECT_EQ(moves, 5);
}

}  // namespace
