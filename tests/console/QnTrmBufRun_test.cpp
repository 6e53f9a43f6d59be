// WriteRun against WriteChar: for any modes, position, region and text the
// run leaves the same cells, cursor, wrap state and changed area as writing
// the characters one by one.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "console/QnTrmBuf.h"

namespace {

struct RunSetup {
    int cols, rows, row, col, top, bottom;
    bool autoWrap, wrapDelay, insert, absolute, region, pendingWrap;
    TQnCharAttrs attrs;
    uint8_t charSet;
    TQnColor fore;
};

void Prepare(TQnTerminalBuffer& b, const RunSetup& s) {
    b.SetColCount(s.cols);
    b.SetRowCount(s.rows);
    b.WriteString("background text that is partly overwritten");
    b.SetScrollRegion(s.top, s.bottom);
    b.SetUseScrollRegion(s.region);
    b.UseAbsAddress = s.absolute;
    b.UseAutoWrap = s.autoWrap;
    b.UseAutoWrapDelay = s.wrapDelay;
    b.UseInsertMode = s.insert;
    b.SetCursorPosition(s.row, s.col);
    if (s.pendingWrap) {
        b.SetCol(b.ColCount());
        b.WriteChar('#');
    }
    b.SetCharAttrs(s.attrs);
    b.SetCharSet(s.charSet);
    b.SetForeColor(s.fore);
    TQnRect r;
    while (b.GetInvalidRect(r)) {}
}

TEST(QnTerminalBufferRun, EqualsCharacterByCharacter) {
    std::mt19937 random(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 3000; ++round) {
        RunSetup s{};
        s.cols = pick(2, 20);
        s.rows = pick(2, 8);
        s.row = pick(0, s.rows + 1);
        s.col = pick(0, s.cols + 1);
        s.top = pick(1, s.rows);
        s.bottom = pick(1, s.rows);
        s.autoWrap = pick(0, 1);
        s.wrapDelay = pick(0, 3) != 0;
        s.insert = pick(0, 4) == 0;
        s.absolute = pick(0, 1);
        s.region = pick(0, 1);
        s.pendingWrap = pick(0, 2) == 0;
        s.attrs = static_cast<TQnCharAttrs>(pick(0, 63));
        s.charSet = static_cast<uint8_t>(pick(0, 4));
        s.fore = static_cast<TQnColor>(pick(0, 0xFFFFFF));
        std::string text;
        for (int n = pick(1, 60); n > 0; --n) text += static_cast<char>(pick(0x20, 0x7E));

        TQnTerminalBuffer run, single;
        Prepare(run, s);
        Prepare(single, s);
        int runMoves = 0, singleMoves = 0;
        run.OnCursorMove = [&](TQnTerminalBuffer&, int, int) { ++runMoves; };
        single.OnCursorMove = [&](TQnTerminalBuffer&, int, int) { ++singleMoves; };
        run.WriteRun(text.data(), static_cast<int>(text.size()));
        for (char c : text) single.WriteChar(c);

        SCOPED_TRACE("round " + std::to_string(round) + " text " + text);
        ASSERT_EQ(run.CursorScreenRow(), single.CursorScreenRow());
        ASSERT_EQ(run.CursorScreenCol(), single.CursorScreenCol());
        ASSERT_EQ(run.BeyondMargin(), single.BeyondMargin());
        for (int row = s.rows - run.SVRowCount() + 1; row <= s.rows; ++row)
            for (int col = 1; col <= s.cols; ++col) {
                ASSERT_EQ(run.CharAt(row, col), single.CharAt(row, col)) << row << "," << col;
                ASSERT_EQ(run.AttrAt(row, col), single.AttrAt(row, col)) << row << "," << col;
                ASSERT_EQ(run.CharSetAt(row, col), single.CharSetAt(row, col)) << row << "," << col;
                ASSERT_EQ(run.ForeColorAt(row, col), single.ForeColorAt(row, col)) << row << "," << col;
                ASSERT_EQ(run.BackColorAt(row, col), single.BackColorAt(row, col)) << row << "," << col;
            }
        TQnRect a, b;
        ASSERT_EQ(run.GetInvalidRect(a), single.GetInvalidRect(b));
        ASSERT_EQ(a, b);
        // The cursor is reported no more often, and at least once when it moved.
        ASSERT_LE(runMoves, singleMoves);
        ASSERT_EQ(runMoves > 0, singleMoves > 0);
    }
}

}  // namespace
