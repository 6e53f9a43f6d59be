// Command parameters, the byte queue and the line attributes.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "console/QnByteQueue.h"
#include "console/QnCmdList.h"
#include "console/QnLineAttr.h"

namespace {

TEST(QnEmuCommandParams, BooleanLookup) {
    struct Case {
        std::vector<TQnEmuCommandParamsItem> items;
        const char* name;
        int index;
        bool def;
        bool expected;
    };
    const Case cases[] = {
        {{{"Wrap", "YES"}}, "Wrap", 0, false, true},
        {{{"Wrap", "maybe"}}, "Wrap", 0, false, false},
        {{{"Wrap", "maybe"}}, "Wrap", 0, true, true},
        {{{"Other", "on"}}, "Wrap", 0, false, true},    // by position
        {{{"Other", "on"}}, "Wrap", 1, false, false},   // no such position
        {{{"Other", "on"}}, "Wrap", -1, true, true},
        {{{"wrap", "off"}, {"Wrap", "T"}}, "Wrap", 0, false, true},  // names are case-sensitive
        {{{"A", "0"}, {"Wrap", "No"}}, "Wrap", 0, true, false},
        {{{"A", "f"}}, "Wrap", 0, true, false},
        {{}, "Wrap", 0, true, true},
    };
    for (const Case& c : cases) {
        TQnEmuCommandParams p;
        p.Items = c.items;
        EXPECT_EQ(p.GetBoolean(c.name, c.index, c.def), c.expected) << c.name << " " << c.index;
    }
}

TEST(QnEmuCommandParams, NumberConversion) {
    struct Case { const char* text; bool ok; int32_t value; };
    const Case cases[] = {
        {"12", true, 12},       {"-7", true, -7},          {"$1F", true, 31},
        {"0x10", true, 16},     {"0XfF", true, 255},       {"$FFFFFFFF", true, -1},
        {"2147483647", true, INT_MAX}, {"-2147483648", true, INT_MIN},
        {"2147483648", false, 0}, {"12x", false, 0},       {"", false, 0},
        {"$", false, 0},        {"0x", false, 0},          {" 5", false, 0},
        {"$100000000", false, 0}, {"1e3", false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(QnTryStrToInt(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
        TQnEmuCommandParams p;
        p.Add("Count", c.text);
        EXPECT_EQ(p.GetInteger("Count", 5, 99), c.ok ? c.value : 99) << c.text;
        EXPECT_EQ(p.GetColor("Count", 5, 0xABCDEFu), c.ok ? static_cast<TQnColor>(c.value) : 0xABCDEFu) << c.text;
    }
    TQnEmuCommandParams p;
    p.Add("S", "text");
    EXPECT_EQ(p.GetString("S", 3, "d"), "text");
    EXPECT_EQ(p.GetString("T", 0, "d"), "text");
    EXPECT_EQ(p.GetString("T", 1, "d"), "d");
    EXPECT_EQ(p.IndexOfName("S"), 0);
    EXPECT_EQ(p.IndexOfName("s"), -1);
}

TEST(QnIntegerHelpers, MiddleOfThree) {
    struct Case { int a, b, c, expected; };
    const Case cases[] = {{5, 1, 10, 5}, {-3, 1, 10, 1}, {30, 1, 10, 10}, {1, 2, 3, 2}, {3, 2, 1, 2}, {2, 2, 2, 2}};
    for (const Case& c : cases) EXPECT_EQ(QnMidInt(c.a, c.b, c.c), c.expected);
    EXPECT_EQ(QnMinInt(3, -4), -4);
    EXPECT_EQ(QnMaxInt(3, -4), 3);
}

TEST(TaaByteQueue, Growth) {
    struct Case { int put; int capacity; };
    const Case cases[] = {{0, 64}, {64, 64}, {65, 128}, {1000, 1024}, {1025, 2048}};
    for (const Case& c : cases) {
        TaaByteQueue q;
        std::vector<uint8_t> data(static_cast<size_t>(c.put));
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
        q.Put(data.data(), c.put);
        EXPECT_EQ(q.Capacity(), c.capacity) << c.put;
        EXPECT_EQ(q.Count(), c.put);
        if (c.put > 0) {
            EXPECT_EQ(std::vector<uint8_t>(q.Peek(c.put), q.Peek(c.put) + c.put), data);
        }
    }
    TaaByteQueue q;
    std::vector<uint8_t> hundred(100, 1);
    q.Put(hundred.data(), 100);
    q.SetCapacity(10);
    EXPECT_EQ(q.Capacity(), 128);
    uint8_t* tail = q.ReserveTail(200);
    for (int i = 0; i < 200; ++i) tail[i] = 2;
    q.AdvanceTail(200);
    EXPECT_EQ(q.Count(), 300);
    EXPECT_EQ(q.At(99), 1);
    EXPECT_EQ(q.At(100), 2);
}

TEST(TaaByteQueue, RemoveKeepsOrderAndRefusesUnderflow) {
    TaaByteQueue q;
    const uint8_t two[] = {'a', 'b'};
    q.Put(two, 2);
    struct Case { std::function<void()> op; const char* message; };
    const Case cases[] = {
        {[&] { q.Remove(3); }, "Not enough data in queue (2 bytes) to satisfy read request (3 bytes)"},
        {[&] { q.Peek(5); }, "Not enough data in queue (2 bytes) to satisfy read request (5 bytes)"},
    };
    for (const Case& c : cases) {
        try {
            c.op();
            ADD_FAILURE() << c.message;
        } catch (const EaaQueueUnderflow& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(q.Count(), 2);
        EXPECT_EQ(q.At(0), 'a');
    }
    q.Put('c');
    q.Remove(1);
    ASSERT_EQ(q.Count(), 2);
    EXPECT_EQ(q.Peek(2)[0], 'b');
    EXPECT_EQ(q.Peek(2)[1], 'c');
    q.Clear();
    EXPECT_EQ(q.Count(), 0);
}

TEST(TQnLineAttrArray, RowsAndScrolling) {
    TQnTerminalBuffer b;
    TQnLineAttrArray la(b);
    b.OnScroll = [&](TQnTerminalBuffer&, int count, int first, int last) { la.Scroll(count, first, last); };
    la.SetAttr(0, laDblWidth);  // the last scrollback row
    la.SetAttr(24, laDblHeightTop);
    la.SetAttr(25, laDblWidth);  // outside: ignored
    struct Case { int row; TQnLineAttr expected; };
    for (const Case& c : {Case{0, laDblWidth}, Case{24, laDblHeightTop}, Case{25, laNormal}, Case{-175, laNormal},
                          Case{-176, laNormal}, Case{INT_MIN, laNormal}, Case{INT_MAX, laNormal}})
        EXPECT_EQ(la.GetAttr(c.row), c.expected) << c.row;

    // A line feed on the bottom row moves every attribute up with its row.
    b.SetCursorPosition(24, 1);
    b.DoLineFeed();
    EXPECT_EQ(la.GetAttr(23), laDblHeightTop);
    EXPECT_EQ(la.GetAttr(-1), laDblWidth);
    EXPECT_EQ(la.GetAttr(24), laNormal);

    // Inserting lines inside a region moves them down.
    la.SetAttr(6, laDblHeightBottom);
    b.SetScrollRegion(5, 10);
    b.SetCursorPosition(5, 1);
    b.InsertLines(2);
    EXPECT_EQ(la.GetAttr(8), laDblHeightBottom);
    EXPECT_EQ(la.GetAttr(6), laNormal);
}

TEST(TQnLineAttrArray, FollowsTheGridSize) {
    TQnTerminalBuffer b;
    TQnLineAttrArray la(b);
    la.SetAttr(24, laDblWidth);
    la.SetAttr(-100, laDblHeightTop);
    b.SetSVRowCount(50);
    // Scroll on its own re-syncs the size before moving anything.
    la.Scroll(1, 1, 24);
    EXPECT_EQ(la.Size(), 50);
    EXPECT_EQ(la.GetAttr(23), laDblWidth);
    b.SetSVRowCount(400);
    EXPECT_EQ(la.GetAttr(23), laDblWidth);
    EXPECT_EQ(la.Size(), 400);
    EXPECT_EQ(la.GetAttr(-100), laNormal);  // dropped when the grid shrank
    la.Scroll(INT_MAX, 1, 24);
    la.Scroll(INT_MIN, 1, 24);
    EXPECT_EQ(la.GetAttr(23), laNormal);
}

}  // namespace
