// Screen buffer: wrapping, scrolling, regions, erasing, resizing and the
// changed-area queue, through the buffer's public operations.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "console/QnTrmBuf.h"

namespace {

std::string Trimmed(const TQnTerminalBuffer& b, int row) {
    std::string s = b.LineText(row);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// Writes "Lnn" on every screen row 1..Rows (no scrolling).
void FillRows(TQnTerminalBuffer& b) {
    for (int r = 1; r <= b.RowCount(); ++r) {
        b.SetCursorPosition(r, 1);
        b.WriteString("L" + std::to_string(r));
    }
}

TEST(QnTerminalBuffer, ConstructionDefaults) {
    TQnTerminalBuffer b;
    struct Case { const char* what; int actual; int expected; };
    const Case cases[] = {
        {"ColCount", b.ColCount(), 80},
        {"RowCount", b.RowCount(), 24},
        {"SVRowCount", b.SVRowCount(), 200},
        {"row", b.GetRow(), 1},
        {"col", b.GetCol(), 1},
        {"fore", static_cast<int>(b.ForeColor()), 0xC0C0C0},
        {"back", static_cast<int>(b.BackColor()), 0},
        {"attrs", b.GetCharAttrs(), 0},
        {"abs", b.UseAbsAddress, 1},
        {"wrap", b.UseAutoWrap, 1},
        {"wrap delay", b.UseAutoWrapDelay, 1},
        {"insert", b.UseInsertMode, 0},
        {"newline", b.UseNewLineMode, 0},
        {"region", b.UseScrollRegion(), 0},
        {"char", b.CharAt(1, 1), ' '},
        {"tab 1", b.HorzTabStop(1), 1},
        {"tab 9", b.HorzTabStop(9), 1},
        {"tab 73", b.HorzTabStop(73), 1},
        {"tab 2", b.HorzTabStop(2), 0},
        {"tab 80", b.HorzTabStop(80), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
    EXPECT_TRUE(b.HasCursorMoved());
    EXPECT_FALSE(b.HasCursorMoved());
    TQnRect r;
    ASSERT_TRUE(b.GetInvalidRect(r));
    EXPECT_EQ(r, (TQnRect{1, 1, 80, 24}));
}

TEST(QnTerminalBuffer, WrapAtTheRightMargin) {
    struct Case {
        const char* what;
        bool autoWrap, delay;
        int chars;       // characters written from row 1 column 1
        bool crBefore;   // carriage return before the last character
        int row, col;    // cursor afterwards
        bool beyond;
    };
    const Case cases[] = {
        {"80 with delay: pending wrap on column 80", true, true, 80, false, 1, 80, true},
        {"81st goes to the next row", true, true, 81, false, 2, 2, false},
        {"CR cancels the pending wrap", true, true, 81, true, 1, 2, false},
        {"no delay: wraps at once", true, false, 80, false, 2, 1, false},
        {"no wrap: 81st overwrites column 80", false, true, 81, false, 1, 80, true},
        {"no wrap, no delay", false, false, 81, false, 1, 80, false},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        b.UseAutoWrap = c.autoWrap;
        b.UseAutoWrapDelay = c.delay;
        for (int i = 0; i < c.chars; ++i) {
            if (c.crBefore && i == c.chars - 1) b.DoCarriageReturn();
            b.WriteChar(static_cast<char>('!' + i % 90));
        }
        EXPECT_EQ(b.GetRow(), c.row) << c.what;
        EXPECT_EQ(b.GetCol(), c.col) << c.what;
        EXPECT_EQ(b.BeyondMargin(), c.beyond) << c.what;
    }
    // Where the 81st character landed.
    TQnTerminalBuffer wrapped;
    wrapped.WriteString(std::string(80, 'a') + "Z");
    EXPECT_EQ(wrapped.CharAt(2, 1), 'Z');
    EXPECT_EQ(wrapped.CharAt(1, 80), 'a');
    TQnTerminalBuffer noWrap;
    noWrap.UseAutoWrap = false;
    noWrap.WriteString(std::string(80, 'a') + "Z");
    EXPECT_EQ(noWrap.CharAt(1, 80), 'Z');
    EXPECT_EQ(noWrap.CharAt(2, 1), ' ');
}

TEST(QnTerminalBuffer, LineFeedAtTheBottom) {
    // Without a region the top screen row enters the scrollback.
    TQnTerminalBuffer b;
    b.SetCursorPosition(-175, 1);  // row 1 of the grid: the oldest scrollback row
    b.WriteString("OLDEST");
    FillRows(b);
    b.SetCursorPosition(24, 1);
    std::vector<std::pair<int, int>> scrolls;
    b.OnScroll = [&](TQnTerminalBuffer&, int count, int first, int last) {
        scrolls.push_back({count, first});
        EXPECT_EQ(last, 24);
    };
    b.DoLineFeed();
    EXPECT_EQ(Trimmed(b, 0), "L1");
    EXPECT_EQ(Trimmed(b, 1), "L2");
    EXPECT_EQ(Trimmed(b, 23), "L24");
    EXPECT_EQ(Trimmed(b, 24), "");
    EXPECT_EQ(b.GetRow(), 24);
    for (int r = -175; r <= 0; ++r) EXPECT_NE(Trimmed(b, r), "OLDEST") << r;
    ASSERT_EQ(scrolls.size(), 1u);
    EXPECT_EQ(scrolls[0], (std::pair<int, int>{1, -175}));

    // With a region only its rows move and the scrollback stays.
    TQnTerminalBuffer r;
    FillRows(r);
    r.SetCursorPosition(-3, 1);
    r.WriteString("BACK");
    r.SetScrollRegion(5, 10);
    ASSERT_TRUE(r.UseScrollRegion());
    r.SetCursorPosition(10, 1);
    r.DoLineFeed();
    const std::vector<std::pair<int, std::string>> expected = {
        {-3, "BACK"}, {4, "L4"}, {5, "L6"}, {9, "L10"}, {10, ""}, {11, "L11"}, {24, "L24"}};
    for (const auto& [row, text] : expected) EXPECT_EQ(Trimmed(r, row), text) << row;
    EXPECT_EQ(r.GetRow(), 10);
}

TEST(QnTerminalBuffer, SetScrollRegion) {
    struct Case {
        int top, bottom;
        bool on;
        int scrollTop, scrollBottom;  // screen rows
    };
    const Case cases[] = {
        {7, 7, false, 1, 24},      // one row: nothing
        {10, 5, true, 5, 10},      // reversed
        {1, 24, false, 1, 24},     // whole screen: stays off
        {0, 30, false, 1, 24},     // clamped to the screen
        {-5, 3, true, 1, 3},
        {20, 90, true, 20, 24},
        {INT_MIN, INT_MAX, false, 1, 24},
        {INT_MAX, INT_MIN, false, 1, 24},
        {24, 30, false, 1, 24},    // clamps to one row: nothing
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        b.SetScrollRegion(c.top, c.bottom);
        EXPECT_EQ(b.UseScrollRegion(), c.on) << c.top << "," << c.bottom;
        if (c.on) {
            EXPECT_EQ(b.ScrollTop(), c.scrollTop) << c.top << "," << c.bottom;
            EXPECT_EQ(b.ScrollBottom(), c.scrollBottom) << c.top << "," << c.bottom;
            EXPECT_EQ(b.GetOriginRow(), c.scrollTop);
            // The cursor goes to the region's top-left.
            b.UseAbsAddress = true;
            EXPECT_EQ(b.GetRow(), c.scrollTop);
        }
    }
}

TEST(QnTerminalBuffer, CursorPositioning) {
    struct Case {
        const char* what;
        bool host;  // SetHostCursorPosition instead of SetCursorPosition
        bool abs;
        bool region;  // rows 5..10
        int row, col;
        int screenRow, screenCol;  // where the cursor is afterwards
    };
    const Case cases[] = {
        {"0,0 reaches the last scrollback row", false, true, false, 0, 0, 0, 1},
        {"far above stops at the oldest row", false, true, false, -1000, 5, -175, 5},
        {"far below stops at the bottom", false, true, false, 1000, 1000, 24, 80},
        {"host: rows kept on the screen", true, true, false, 0, 0, 1, 1},
        {"host: huge values", true, true, false, INT_MAX, INT_MAX, 24, 80},
        {"host: negative values", true, true, false, INT_MIN, INT_MIN, 1, 1},
        {"origin mode counts from the region", true, false, true, 2, 3, 6, 3},
        {"origin mode: rows kept in the region", true, false, true, 40, 1, 10, 1},
        {"origin mode: row 0 is the region top", true, false, true, 0, 1, 5, 1},
        {"absolute with a region", true, true, true, 20, 1, 20, 1},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        if (c.region) b.SetScrollRegion(5, 10);
        b.UseAbsAddress = c.abs;
        if (c.host) b.SetHostCursorPosition(c.row, c.col);
        else b.SetCursorPosition(c.row, c.col);
        EXPECT_EQ(b.CursorScreenRow(), c.screenRow) << c.what;
        EXPECT_EQ(b.CursorScreenCol(), c.screenCol) << c.what;
    }
}

TEST(QnTerminalBuffer, CursorMovesOutsideTheRegionNeverScrollIt) {
    struct Case {
        const char* what;
        int startRow;  // absolute screen row, region is 5..10
        std::function<void(TQnTerminalBuffer&)> op;
        int endRow;
    };
    const Case cases[] = {
        {"down below the region", 20, [](TQnTerminalBuffer& b) { b.MoveCursorDown(true); }, 21},
        {"down on the last row stays", 24, [](TQnTerminalBuffer& b) { b.MoveCursorDown(true); }, 24},
        {"line feed on the last row stays", 24, [](TQnTerminalBuffer& b) { b.DoLineFeed(); }, 24},
        {"up above the region", 3, [](TQnTerminalBuffer& b) { b.MoveCursorUp(true); }, 2},
        {"up on the first row stays", 1, [](TQnTerminalBuffer& b) { b.MoveCursorUp(true); }, 1},
        {"down above the region enters it", 4, [](TQnTerminalBuffer& b) { b.MoveCursorDown(true); }, 5},
        {"wrap on the last row stays", 24,
         [](TQnTerminalBuffer& b) { b.SetCol(80); b.MoveCursorRight(true, true); }, 24},
        {"wrap left above the region", 3,
         [](TQnTerminalBuffer& b) { b.SetCol(1); b.MoveCursorLeft(true, true); }, 2},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        FillRows(b);
        b.SetScrollRegion(5, 10);
        b.SetCursorPosition(c.startRow, 1);
        int scrolls = 0;
        b.OnScroll = [&](TQnTerminalBuffer&, int, int, int) { ++scrolls; };
        c.op(b);
        EXPECT_EQ(b.GetRow(), c.endRow) << c.what;
        EXPECT_EQ(scrolls, 0) << c.what;
        EXPECT_EQ(Trimmed(b, 5), "L5") << c.what;
        EXPECT_EQ(Trimmed(b, 10), "L10") << c.what;
    }
}

TEST(QnTerminalBuffer, LineAndCharacterEditing) {
    struct Case {
        const char* what;
        int row, col;
        std::function<void(TQnTerminalBuffer&)> op;
        std::vector<std::pair<int, std::string>> rows;  // expected texts
    };
    const Case cases[] = {
        {"insert lines inside the region", 6, 1, [](TQnTerminalBuffer& b) { b.InsertLines(2); },
         {{5, "L5"}, {6, ""}, {7, ""}, {8, "L6"}, {10, "L8"}, {11, "L11"}}},
        {"delete lines inside the region", 6, 1, [](TQnTerminalBuffer& b) { b.DeleteLines(2); },
         {{5, "L5"}, {6, "L8"}, {8, "L10"}, {9, ""}, {10, ""}, {11, "L11"}}},
        {"insert lines with a huge count", 6, 1, [](TQnTerminalBuffer& b) { b.InsertLines(INT_MAX); },
         {{5, "L5"}, {6, ""}, {10, ""}, {11, "L11"}}},
        {"insert lines outside the region: nothing", 15, 1, [](TQnTerminalBuffer& b) { b.InsertLines(3); },
         {{15, "L15"}, {16, "L16"}, {10, "L10"}}},
        {"delete lines outside the region: nothing", 2, 1, [](TQnTerminalBuffer& b) { b.DeleteLines(3); },
         {{2, "L2"}, {5, "L5"}}},
        {"zero and negative counts: nothing", 6, 2,
         [](TQnTerminalBuffer& b) {
             b.InsertLines(0); b.DeleteLines(-4); b.InsertChars(0); b.DeleteChars(-1); b.EraseChars(0);
             b.EraseChars(INT_MIN);
         },
         {{6, "L6"}, {7, "L7"}}},
        {"insert chars", 12, 2, [](TQnTerminalBuffer& b) { b.InsertChars(2); }, {{12, "L  12"}}},
        {"delete chars", 12, 1, [](TQnTerminalBuffer& b) { b.DeleteChars(1); }, {{12, "12"}}},
        {"delete more chars than the row holds", 12, 2, [](TQnTerminalBuffer& b) { b.DeleteChars(INT_MAX); },
         {{12, "L"}}},
        {"erase to end of line", 12, 2, [](TQnTerminalBuffer& b) { b.EraseToEOL(); }, {{12, "L"}}},
        {"erase from start of line", 12, 2, [](TQnTerminalBuffer& b) { b.EraseFromBOL(); }, {{12, "  2"}}},
        {"erase line", 12, 2, [](TQnTerminalBuffer& b) { b.EraseLine(); }, {{12, ""}, {13, "L13"}}},
        {"erase to end of screen", 12, 2, [](TQnTerminalBuffer& b) { b.EraseToEOW(); },
         {{11, "L11"}, {12, "L"}, {13, ""}, {24, ""}}},
        {"erase from start of screen", 12, 2, [](TQnTerminalBuffer& b) { b.EraseFromBOW(); },
         {{1, ""}, {11, ""}, {12, "  2"}, {13, "L13"}}},
        {"erase chars across rows stops at the region bottom", 9, 2,
         [](TQnTerminalBuffer& b) { b.EraseChars(200); }, {{9, "L"}, {10, ""}, {11, "L11"}}},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        FillRows(b);
        b.SetScrollRegion(5, 10);
        b.SetCursorPosition(c.row, c.col);
        c.op(b);
        for (const auto& [row, text] : c.rows) EXPECT_EQ(Trimmed(b, row), text) << c.what << " row " << row;
    }
}

TEST(QnTerminalBuffer, EraseScreenKeepsTheTextInTheScrollback) {
    TQnTerminalBuffer b;
    FillRows(b);
    b.SetCursorPosition(7, 3);
    b.EraseScreen();
    EXPECT_EQ(Trimmed(b, 1), "");
    EXPECT_EQ(Trimmed(b, 24), "");
    EXPECT_EQ(Trimmed(b, -23), "L1");
    EXPECT_EQ(Trimmed(b, 0), "L24");
    EXPECT_EQ(b.GetRow(), 7);
    EXPECT_EQ(b.GetCol(), 3);

    TQnTerminalBuffer a;
    FillRows(a);
    a.EraseScreen();  // something in the scrollback
    FillRows(a);
    a.SetCursorPosition(7, 3);
    a.EraseAll();
    for (int r = -175; r <= 24; ++r) ASSERT_EQ(Trimmed(a, r), "") << r;
    EXPECT_EQ(a.GetRow(), 1);
    EXPECT_EQ(a.GetCol(), 1);
}

TEST(QnTerminalBuffer, CountSettersRejectTooSmallValues) {
    struct Case {
        std::function<void(TQnTerminalBuffer&)> op;
        const char* message;
    };
    const Case cases[] = {
        {[](TQnTerminalBuffer& b) { b.SetColCount(1); }, "TQnTerminalBuffer.tbSetColCount: new count too small"},
        {[](TQnTerminalBuffer& b) { b.SetColCount(-5); }, "TQnTerminalBuffer.tbSetColCount: new count too small"},
        {[](TQnTerminalBuffer& b) { b.SetRowCount(1); }, "TQnTerminalBuffer.tbSetRowCount: new count too small"},
        {[](TQnTerminalBuffer& b) { b.SetSVRowCount(0); }, "TQnTerminalBuffer.tbSetSVRowCount: new count too small"},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        b.WriteString("keep");
        try {
            c.op(b);
            ADD_FAILURE() << "no exception for " << c.message;
        } catch (const EQnTerminalBuffer& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(b.ColCount(), 80);
        EXPECT_EQ(b.RowCount(), 24);
        EXPECT_EQ(b.SVRowCount(), 200);
        EXPECT_EQ(Trimmed(b, 1), "keep");
    }
}

TEST(QnTerminalBuffer, Resizing) {
    struct Case {
        const char* what;
        std::function<void(TQnTerminalBuffer&)> op;
        int cols, rows, svRows;
    };
    const Case cases[] = {
        {"30 rows on a 200-row grid", [](TQnTerminalBuffer& b) { b.SetRowCount(30); }, 80, 30, 200},
        {"more rows than the grid: ignored", [](TQnTerminalBuffer& b) { b.SetRowCount(300); }, 80, 24, 200},
        {"a grid smaller than the screen", [](TQnTerminalBuffer& b) { b.SetSVRowCount(10); }, 80, 10, 10},
        {"a larger grid", [](TQnTerminalBuffer& b) { b.SetSVRowCount(500); }, 80, 24, 500},
        {"132 columns", [](TQnTerminalBuffer& b) { b.SetColCount(132); }, 132, 24, 200},
        {"2 columns", [](TQnTerminalBuffer& b) { b.SetColCount(2); }, 2, 24, 200},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer b;
        FillRows(b);
        c.op(b);
        EXPECT_EQ(b.ColCount(), c.cols) << c.what;
        EXPECT_EQ(b.RowCount(), c.rows) << c.what;
        EXPECT_EQ(b.SVRowCount(), c.svRows) << c.what;
        // The bottom screen row keeps its text (rows stay aligned at the bottom).
        EXPECT_EQ(b.LineText(b.RowCount()).substr(0, 2), "L2") << c.what;
        // Every screen row and the cursor row can be read.
        for (int r = b.RowCount() - b.SVRowCount() + 1; r <= b.RowCount(); ++r)
            ASSERT_NE(b.GetLineCharPtr(r), nullptr) << c.what << " row " << r;
        EXPECT_GE(b.CursorScreenRow(), b.RowCount() - b.SVRowCount() + 1) << c.what;
        EXPECT_LE(b.CursorScreenRow(), b.RowCount()) << c.what;
        // Writing works anywhere on the new screen.
        b.SetCursorPosition(b.RowCount(), b.ColCount());
        b.WriteString("xy");
        EXPECT_EQ(b.CharAt(b.RowCount(), 1), 'y') << c.what;
    }
}

TEST(QnTerminalBuffer, WideningGivesNewColumnsTabStops) {
    TQnTerminalBuffer b;
    b.SetColCount(20);
    b.SetCol(2);
    b.SetHorzTabStop();
    b.SetColCount(132);
    for (int col : {1, 2, 9, 17, 81, 89, 97, 129}) EXPECT_TRUE(b.HorzTabStop(col)) << col;
    for (int col : {3, 80, 82, 132}) EXPECT_FALSE(b.HorzTabStop(col)) << col;
    b.SetCursorPosition(1, 80);
    b.DoHorzTab();
    EXPECT_EQ(b.GetCol(), 81);
    b.DoHorzTab();
    EXPECT_EQ(b.GetCol(), 89);
    b.SetCol(129);
    b.DoHorzTab();
    EXPECT_EQ(b.GetCol(), 132);  // no stop left: the right margin
    b.DoBackHorzTab();
    EXPECT_EQ(b.GetCol(), 129);
}

TEST(QnTerminalBuffer, ScrollbackChangeKeepsTheRegionUsable) {
    TQnTerminalBuffer b;
    b.SetScrollRegion(5, 10);
    b.SetSVRowCount(50);
    ASSERT_TRUE(b.UseScrollRegion());
    EXPECT_EQ(b.ScrollTop(), 5);
    EXPECT_EQ(b.ScrollBottom(), 10);
    b.SetUseScrollRegion(false);
    b.SetRowCount(4);  // the stored region no longer fits the screen
    b.SetUseScrollRegion(true);
    EXPECT_GE(b.ScrollTop(), 1);
    EXPECT_LE(b.ScrollBottom(), 4);
    EXPECT_LT(b.ScrollTop(), b.ScrollBottom());
    b.SetCursorPosition(4, 1);
    for (int i = 0; i < 10; ++i) b.DoLineFeed();
    EXPECT_EQ(b.CursorScreenRow(), b.ScrollBottom());
}

TEST(QnTerminalBuffer, DefaultColourChanges) {
    TQnTerminalBuffer b;
    b.SetBackColor(0x00FF00);
    b.WriteChar('g');  // a green cell stays green
    b.SetBackColor(0);
    b.SetDefBackColor(0xFF0000);
    EXPECT_EQ(b.BackColorAt(1, 1), 0x00FF00u);
    EXPECT_EQ(b.BackColorAt(1, 2), 0xFF0000u);
    EXPECT_EQ(b.BackColorAt(-100, 40), 0xFF0000u);
    EXPECT_EQ(b.BackColor(), 0u);
    b.SetCursorPosition(3, 1);
    b.EraseLine();  // erasing uses the current colour
    EXPECT_EQ(b.BackColorAt(3, 5), 0u);

    b.SetDefForeColor(0x0000FF);
    EXPECT_EQ(b.ForeColorAt(1, 1), 0x0000FFu);
    EXPECT_EQ(b.ForeColor(), 0xC0C0C0u);
}

TEST(QnTerminalBuffer, WrittenCellsCarryTheCurrentRendition) {
    TQnTerminalBuffer b;
    b.SetCharAttrs(atBold | atUnderline);
    b.SetForeColor(0x123456);
    b.SetBackColor(0x654321);
    b.SetCharSet(2);
    b.WriteChar('q');
    EXPECT_EQ(b.CharAt(1, 1), 'q');
    EXPECT_EQ(b.AttrAt(1, 1), atBold | atUnderline);
    EXPECT_EQ(b.ForeColorAt(1, 1), 0x123456u);
    EXPECT_EQ(b.BackColorAt(1, 1), 0x654321u);
    EXPECT_EQ(b.CharSetAt(1, 1), 2);
    EXPECT_EQ(b.AttrAt(1, 2), 0);

    b.Reset();
    EXPECT_EQ(b.CharAt(1, 1), ' ');
    EXPECT_EQ(b.GetCharAttrs(), 0);
    EXPECT_EQ(b.ForeColor(), 0xC0C0C0u);
    EXPECT_EQ(b.CharSet(), 0);
}

TEST(QnTerminalBuffer, InsertModeShiftsTheRow) {
    TQnTerminalBuffer b;
    b.WriteString("abc");
    b.SetCol(1);
    b.UseInsertMode = true;
    b.WriteString("XY");
    EXPECT_EQ(Trimmed(b, 1), "XYabc");
    TQnRect r;
    ASSERT_TRUE(b.GetInvalidRect(r));
    EXPECT_EQ(r.Right, 80);  // the shifted rest of the row is repainted
}

TEST(QnTerminalBuffer, ChangedRectanglesAreMerged) {
    TQnTerminalBuffer b;
    TQnRect r;
    while (b.GetInvalidRect(r)) {}
    int notified = 0;
    b.RegisterTerminalHandle([&] { ++notified; });
    b.SetCursorPosition(3, 5);
    b.WriteString("0123456789");
    EXPECT_TRUE(b.HasDisplayChanged());
    ASSERT_TRUE(b.GetInvalidRect(r));
    EXPECT_EQ(r, (TQnRect{5, 3, 14, 3}));
    EXPECT_FALSE(b.GetInvalidRect(r));
    EXPECT_FALSE(b.HasDisplayChanged());
    EXPECT_GT(notified, 0);

    struct Case {
        const char* what;
        std::function<void(TQnTerminalBuffer&)> op;
        TQnRect expected;
    };
    const Case cases[] = {
        {"two cells far apart", [](TQnTerminalBuffer& x) {
             x.SetCursorPosition(2, 70); x.WriteChar('a'); x.SetCursorPosition(20, 3); x.WriteChar('b'); },
         {3, 2, 70, 20}},
        {"line feed on the bottom row repaints the screen",
         [](TQnTerminalBuffer& x) { x.SetCursorPosition(24, 1); x.DoLineFeed(); }, {1, 1, 80, 24}},
        {"scrolling a region repaints only the region",
         [](TQnTerminalBuffer& x) { x.SetScrollRegion(5, 10); x.SetCursorPosition(10, 1); x.DoLineFeed(); },
         {1, 5, 80, 10}},
        {"erase to end of line", [](TQnTerminalBuffer& x) { x.SetCursorPosition(4, 10); x.EraseToEOL(); },
         {10, 4, 80, 4}},
    };
    for (const Case& c : cases) {
        TQnTerminalBuffer x;
        while (x.GetInvalidRect(r)) {}
        c.op(x);
        ASSERT_TRUE(x.GetInvalidRect(r)) << c.what;
        EXPECT_EQ(r, c.expected) << c.what;
    }
}

TEST(QnTerminalBuffer, ReadersStayInsideThePlanes) {
    TQnTerminalBuffer b;
    const int rows[] = {-176, -1000, 25, INT_MIN, INT_MAX};
    for (int row : rows) {
        EXPECT_EQ(b.GetLineCharPtr(row), nullptr) << row;
        EXPECT_EQ(b.GetLineAttrPtr(row), nullptr) << row;
        EXPECT_EQ(b.GetLineForeColorPtr(row), nullptr) << row;
        EXPECT_EQ(b.GetLineBackColorPtr(row), nullptr) << row;
        EXPECT_EQ(b.GetLineCharSetPtr(row), nullptr) << row;
        EXPECT_EQ(b.LineText(row), "") << row;
        EXPECT_EQ(b.CharAt(row, 1), ' ') << row;
    }
    for (int col : {0, 81, INT_MIN, INT_MAX}) EXPECT_EQ(b.CharAt(1, col), ' ') << col;
    EXPECT_NE(b.GetLineCharPtr(-175), nullptr);
    EXPECT_NE(b.GetLineCharPtr(24), nullptr);
    // Changes reported outside the grid are clipped or dropped.
    TQnRect r;
    while (b.GetInvalidRect(r)) {}
    b.InvalidateScreenRect(INT_MIN, 30, INT_MAX, 40);
    EXPECT_FALSE(b.GetInvalidRect(r));
}

TEST(QnTerminalBuffer, WideCellsCarryTwoByteCharacters) {
    TQnTerminalBuffer b(true);
    b.WriteWideChar(0x2500);
    ASSERT_NE(b.GetLineWideCharPtr(1), nullptr);
    EXPECT_EQ(b.GetLineWideCharPtr(1)[0], 0x2500);
    EXPECT_EQ(b.GetLineWideCharPtr(1)[1], ' ');
    EXPECT_EQ(b.GetLineCharPtr(1), nullptr);
    b.SetColCount(81);
    b.SetCursorPosition(1, 81);
    b.WriteWideChar(0x1234);
    EXPECT_EQ(b.GetLineWideCharPtr(1)[80], 0x1234);
}

TEST(QnTerminalBuffer, VerticalTabs) {
    TQnTerminalBuffer b;
    b.SetCursorPosition(8, 1);
    b.SetVertTabStop();
    b.SetCursorPosition(2, 4);
    b.DoVertTab();
    EXPECT_EQ(b.GetRow(), 8);
    b.DoVertTab();
    EXPECT_EQ(b.GetRow(), 24);
    b.DoBackVertTab();
    EXPECT_EQ(b.GetRow(), 8);
    b.DoBackVertTab();
    EXPECT_EQ(b.GetRow(), 1);
    EXPECT_EQ(b.GetCol(), 4);
}

TEST(QnTadTerminalArray, PlaneOperations) {
    TadTerminalArray a(7);  // unknown item size becomes 1
    EXPECT_EQ(a.ItemSize(), 1);
    EXPECT_EQ(a.GetItemPtr(0, 0), nullptr);  // nothing allocated
    a.SetDefaultItem('.');
    a.SetRowCount(3);
    a.SetColCount(5);
    EXPECT_EQ(a.RowStride(), 8);
    const char* text = "abcde";
    for (int r = 0; r < 3; ++r) a.WriteItems(text, 5, 0, r);
    auto row = [&](int r) {
        std::string s;
        for (int c = 0; c < a.ColCount(); ++c) s.push_back(static_cast<char>(a.GetItem(r, c)));
        return s;
    };
    a.DeleteItems(2, 0, 1);
    EXPECT_EQ(row(0), "ade..");
    a.InsertItems(10, 1, 3);
    EXPECT_EQ(row(1), "abc..");
    a.ScrollRows(-1, 2, 0);  // reversed range, downwards
    EXPECT_EQ(row(0), ".....");
    EXPECT_EQ(row(1), "ade..");
    a.SetItem(2, 4, 'Z');
    a.SetRowCount(2);  // the top row is lost
    EXPECT_EQ(row(1), "abc.Z");
    a.SetColCount(3);
    EXPECT_EQ(row(1), "abc");
    a.ReplaceItems('a', 'A');
    EXPECT_EQ(row(0), "Ade");

    TadTerminalArray w(4);
    w.SetDefaultItem(0xDEADBEEF);
    w.SetRowCount(2);
    w.SetColCount(3);
    EXPECT_EQ(w.RowStride(), 3);
    EXPECT_EQ(w.GetItem(1, 2), 0xDEADBEEFu);
    w.ScrollRows(INT_MIN, 0, 1);
    EXPECT_EQ(w.GetItem(0, 0), 0xDEADBEEFu);
}

}  // namespace
