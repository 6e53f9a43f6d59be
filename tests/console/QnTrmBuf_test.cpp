// The CRT screen buffer: wrapping at the right margin, and WriteRun against
// WriteChar (scrolling and the scrollback are shown through the emulator);
// the terminal's byte queue stays within its bound.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "console/core/QnByteQueue.h"
#include "console/core/QnTrmBuf.h"

namespace {

TEST(QnTerminalBuffer, WrapAtTheRightMargin) {
    struct Case {
        const char* what;
        bool autoWrap, delay;
        int chars;      // characters written from row 1 column 1
        bool crBefore;  // carriage return before the last character
        int row, col;   // cursor afterwards
        bool beyond;
    };
    // Wrapping with the delay is compared with libvterm's by the reference test too.
    const Case cases[] = {
        {"80 with delay: pending wrap on column 80", true, true, 80, false, 1, 80, true},
        {"CR cancels the pending wrap", true, true, 81, true, 1, 2, false},
        {"no delay: wraps at once", true, false, 80, false, 2, 1, false},
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
        EXPECT_EQ(std::tuple(b.GetRow(), b.GetCol(), b.BeyondMargin()), std::tuple(c.row, c.col, c.beyond)) << c.what;
    }
}

// Sets a buffer up with a size, modes, region, cursor, pending wrap and
// rendition drawn from `seed`; returns text drawn from it too.
std::string Prepare(TQnTerminalBuffer& b, uint32_t seed) {
    std::mt19937 random(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    b.SetColCount(pick(2, 20));
    b.SetRowCount(pick(2, 8));
    b.WriteString("background text that is partly overwritten");
    const int top = pick(1, b.RowCount());
    b.SetScrollRegion(top, pick(1, b.RowCount()));
    b.SetUseScrollRegion(pick(0, 1));
    b.UseAbsAddress = pick(0, 1);
    b.UseAutoWrap = pick(0, 1);
    b.UseAutoWrapDelay = pick(0, 3) != 0;
    b.UseInsertMode = pick(0, 4) == 0;
    const int row = pick(0, b.RowCount() + 1);
    b.SetCursorPosition(row, pick(0, b.ColCount() + 1));
    if (pick(0, 2) == 0) {
        b.SetCol(b.ColCount());
        b.WriteChar('#');
    }
    b.SetCharAttrs(static_cast<TQnCharAttrs>(pick(0, 63)));
    b.SetCharSet(static_cast<uint8_t>(pick(0, 4)));
    b.SetForeColor(static_cast<TColor>(pick(0, 0xFFFFFF)));
    TQnRect r;
    while (b.GetInvalidRect(r)) {
    }
    std::string text;
    for (int n = pick(1, 60); n > 0; --n) text += static_cast<char>(pick(0x20, 0x7E));
    return text;
}

// For any modes, position, region and text the run leaves the same cells,
// cursor, wrap state and changed area as writing the characters one by one.
TEST(QnTerminalBuffer, RunEqualsCharacterByCharacter) {
    for (uint32_t round = 0; round < 3000; ++round) {
        TQnTerminalBuffer run, single;
        const std::string text = Prepare(run, round);
        Prepare(single, round);
        int runMoves = 0, singleMoves = 0;
        run.OnCursorMove = [&](TQnTerminalBuffer&, int, int) { ++runMoves; };
        single.OnCursorMove = [&](TQnTerminalBuffer&, int, int) { ++singleMoves; };
        run.WriteRun(text.data(), static_cast<int>(text.size()));
        for (char c : text) single.WriteChar(c);

        SCOPED_TRACE("round " + std::to_string(round) + " text " + text);
        ASSERT_EQ(std::tuple(run.CursorScreenRow(), run.CursorScreenCol(), run.BeyondMargin()),
                  std::tuple(single.CursorScreenRow(), single.CursorScreenCol(), single.BeyondMargin()));
        for (int row = run.RowCount() - run.SVRowCount() + 1; row <= run.RowCount(); ++row)
            for (int col = 1; col <= run.ColCount(); ++col) {
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

constexpr int Max = TaaByteQueue::MaxCapacity;

TEST(ByteQueueBound, ReserveTailWithinTheBound) {
    const struct {
        const char* name;
        int queued, requested;  // bytes put first, then reserved
        bool refused;
        int capacity;  // afterwards
    } cases[] = {{"doubles below the bound", 100, 1000, false, 2048},
                 {"stops at the bound", 1, Max - 1, false, Max},
                 {"one past the bound", 10, Max - 9, true, 64},
                 {"largest int", 0, INT_MAX, true, 64}};
    for (const auto& c : cases) {
        TaaByteQueue q;
        q.Put(std::vector<uint8_t>(static_cast<size_t>(c.queued), 0x42).data(), c.queued);
        if (c.refused)
            EXPECT_THROW(q.ReserveTail(c.requested), EaaQueueOverflow) << c.name;
        else
            q.ReserveTail(c.requested);
        EXPECT_EQ(std::pair(q.Capacity(), q.Count()), std::pair(c.capacity, c.queued)) << c.name;
    }
}

TEST(ByteQueueBound, FullQueueRefusesAPutAndKeepsItsBytes) {
    TaaByteQueue q;
    q.ReserveTail(Max);
    q.AdvanceTail(Max);
    const uint8_t more = 1;
    EXPECT_THROW(q.Put(&more, 1), EaaQueueOverflow);
    EXPECT_EQ(q.Count(), Max);
    q.SetCapacity(INT_MAX);
    EXPECT_EQ(q.Capacity(), Max);
}

}  // namespace
