// VT100 emulator on a fake terminal: the screen, replies and the keyboard.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "console/core/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"
#include "support/NamedRows.h"
#include "support/TerminalText.h"

namespace {

using FakeHost = tavrin::test::TFakeTerminalHost;
using tavrin::test::RowName;
const std::string E = "\x1b";
const std::string CSI = "\x1b[";

struct Vt100 {
    FakeHost host;
    TQnVT100Emulator emu;
    Vt100() {
        emu.SetTerminal(&host);
        host.portOpen = true;
        emu.Answerback = "CP/M here";
    }
    ~Vt100() { emu.SetTerminal(nullptr); }
    TQnTerminalBuffer& b() { return *emu.Buffer(); }
    void Feed(const std::string& s) {
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()), csWriteChar);
    }
    std::string Line(int row) { return tavrin::test::BufferRow(b(), row); }
    std::pair<int, int> Cursor() { return {b().CursorScreenRow(), b().CursorScreenCol()}; }
};

// A byte stream and what it leaves: screen rows from row 1 (trailing spaces
// cut), the cursor (row 0: not checked) and the reply sent to the port.
struct ScriptCase {
    const char* name;
    std::string input;
    std::vector<std::string> rows = {};
    std::pair<int, int> cursor = {0, 0};
    std::optional<std::string> reply = std::nullopt;
};
TAVRIN_PRINT_AS_NAME(ScriptCase)

class Scripts : public testing::TestWithParam<ScriptCase> {};

TEST_P(Scripts, LeaveScreenCursorAndReply) {
    const ScriptCase& c = GetParam();
    Vt100 t;
    t.Feed(c.input);
    for (size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(t.Line(static_cast<int>(i) + 1), c.rows[i]) << "row " << i + 1;
    EXPECT_EQ(t.Cursor(), c.cursor.first ? c.cursor : t.Cursor());
    EXPECT_EQ(t.host.port, c.reply.value_or(t.host.port));
}

// Screen rows expected from row `first` on, the rows above it empty.
std::vector<std::string> RowsFrom(int first, std::vector<std::string> rows) {
    rows.insert(rows.begin(), static_cast<size_t>(first - 1), "");
    return rows;
}

const std::string At = CSI + "10;20H";  // the cursor's start for motion rows
const std::string Vt52 = CSI + "?2l", CursorApp = CSI + "?1h", KeypadApp = E + "=";
const std::string Abc = "abc\r\ndef\r\nghi";
const ScriptCase ScriptCases[] = {
    // Cursor motion from row 10, column 20.
    {.name = "UpHugeCount", .input = At + CSI + "2147483647A", .cursor = {1, 20}},
    {.name = "UpPrivateIgnored", .input = At + CSI + "?A", .cursor = {10, 20}},
    {.name = "CupColumnOnly", .input = At + CSI + ";7H", .cursor = {1, 7}},
    {.name = "CupThreeArgumentsRefused", .input = At + CSI + "1;2;3H", .cursor = {10, 20}},
    {.name = "UpAboveLargestRefused", .input = At + CSI + "2147483648A", .cursor = {10, 20}},
    {.name = "UpEndlessDigitsRefused", .input = At + CSI + std::string(200, '9') + "A", .cursor = {10, 20}},
    {.name = "SaveRestoreCsi", .input = At + CSI + "s" + CSI + "3;3H" + CSI + "u", .cursor = {10, 20}},
    // VT (0Bh) is a vertical tab to the next stop: the bottom without stops.
    {.name = "VerticalTabGoesToBottom", .input = At + "\x0b", .cursor = {24, 20}},
    {.name = "Vt52Up", .input = At + CSI + "?2l" + E + "A", .cursor = {9, 20}},
    {.name = "Vt52Address", .input = CSI + "?2l" + E + "Y%0", .cursor = {6, 17}},
    {.name = "Vt52ReverseLineFeed", .input = At + Vt52 + E + "I", .cursor = {9, 20}},
    {.name = "Vt52ControlRestartsAddress", .input = Vt52 + E + "Y%\x07&'", .cursor = {7, 8}},
    {.name = "OnlyExactly2EntersVt52", .input = At + CSI + "?2;3l" + E + "A", .cursor = {10, 20}},
    {.name = "Vt52Home", .input = At + CSI + "?2l" + E + "H", .cursor = {1, 1}},
    {.name = "ColumnSwitchHomes", .input = CSI + "5;10r" + CSI + "?3l" + CSI + "B", .cursor = {2, 1}},
    // A region homes the cursor to its own top-left; origin mode leaves it
    // where it is; cursor up stops at the region's top.
    {.name = "RegionHomes", .input = At + CSI + "5;10r", .cursor = {5, 1}},
    {.name = "RegionDefaultBottom", .input = CSI + "5r" + CSI + "99B", .cursor = {24, 1}},
    {.name = "OriginModeKeepsCursor", .input = CSI + "5;10r" + CSI + "20;5H" + CSI + "?6h", .cursor = {20, 5}},
    {.name = "UpStopsAtRegionTop", .input = CSI + "5;10r" + CSI + "6;1H" + CSI + "4A", .cursor = {5, 1}},
    {.name = "UpAtRegionTopStays", .input = CSI + "5;10r" + CSI + "5;7H" + CSI + "A", .cursor = {5, 7}},
    {.name = "UpAboveRegionStopsAtRow1", .input = CSI + "5;10r" + CSI + "3;7H" + CSI + "5A", .cursor = {1, 7}},
    {.name = "DownStopsAtRegionBottom", .input = CSI + "5;10r" + CSI + "9;7H" + CSI + "4B", .cursor = {10, 7}},
    {.name = "DownBelowRegionStopsAtLastRow", .input = CSI + "5;10r" + CSI + "20;7H" + CSI + "9B", .cursor = {24, 7}},
    // DECSC / DECRC keep the row in the current addressing, not origin mode.
    {.name = "RestoreInOriginMode",
     .input = CSI + "5;10r" + CSI + "2;1H" + E + "7" + CSI + "?6h" + E + "8",
     .cursor = {6, 1}},
    // Below a region autowrap is a carriage return and a line feed; on the
    // bottom row the line feed does nothing, so the line starts over.
    {.name = "WrapBelowRegion",
     .input = CSI + "5;10r" + CSI + "12;1H" + std::string(80, 'a') + "b",
     .rows = RowsFrom(12, {std::string(80, 'a'), "b"}),
     .cursor = {13, 2}},
    {.name = "WrapOnBottomRowBelowRegion",
     .input = CSI + "5;10r" + CSI + "24;1H" + std::string(80, 'a') + "bc",
     .rows = RowsFrom(24, {"bc" + std::string(78, 'a')}),
     .cursor = {24, 3}},
    {.name = "WrapOnBottomRowTwice",
     .input = CSI + "1;10r" + CSI + "24;1H" + std::string(80, 'a') + std::string(80, 'b') + "c",
     .rows = RowsFrom(23, {"", "c" + std::string(79, 'b')}),
     .cursor = {24, 2}},
    {.name = "WrapAboveRegion",
     .input = CSI + "5;10r" + CSI + "2;1H" + std::string(81, 'a'),
     .rows = RowsFrom(2, {std::string(80, 'a'), "a"}),
     .cursor = {3, 2}},
    {.name = "ColumnSwitchClears", .input = "abc\r\ndef" + CSI + "?3h", .rows = {"", ""}},
    {.name = "EraseChars", .input = "abcdef" + CSI + "1;2H" + CSI + "3X", .rows = {"a   ef"}},
    // ECH past the end of the line goes on with the next row.
    {.name = "EraseCharsPastTheLine",
     .input = "x" + std::string(79, 'a') + "bcd" + CSI + "1;79H" + CSI + "5X",
     .rows = {"x" + std::string(77, 'a')},
     .cursor = {1, 79}},
    {.name = "FormFeedErases", .input = Abc + "\x0c", .rows = {"", "", ""}, .cursor = {3, 4}},
    // CAN and SUB inside a sequence are ignored, a line feed acts at once,
    // ESC starts over; the sequence goes on.
    {.name = "CancelInsideSequence",
     .input = "ab" + CSI +
              "2\x18J"
              "c",
     .rows = {"  c"},
     .cursor = {1, 4}},
    {.name = "SubInsideSequence",
     .input = CSI + "1;\x1a"
                    "5H",
     .cursor = {1, 5}},
    {.name = "LineFeedInsideSequence", .input = At + CSI + "2\nC", .cursor = {11, 22}},
    {.name = "EscapeRestartsSequence", .input = At + CSI + "12" + E + "[3B", .cursor = {13, 20}},
    {.name = "ControlsIgnored",
     .input = "a\x01"
              "b\x18"
              "c\x7f"
              "d",
     .rows = {"abcd"}},
    {.name = "EscapesIgnored",
     .input = "a" + E + "1b" + E + "2c" + E + "<d" + E + "Qe" + E + "#7f",
     .rows = {"abcdef"}},
    {.name = "DesignationsRefused", .input = E + "( Ba" + E + "(Zb" + E + "*0c" + E + "+ 0d", .rows = {"abcd"}},
    {.name = "OverlongDesignationRefused", .input = E + "(" + std::string(300, ' ') + "Bx", .rows = {"x"}},
    {.name = "Vt52UnknownEscape", .input = Vt52 + "a" + E + "Qb", .rows = {"ab"}},
    {.name = "Vt52EraseToEndOfScreen", .input = Abc + CSI + "2;2H" + Vt52 + E + "J", .rows = {"abc", "d", ""}},
    // An intermediate ends the parameters; the final still names the command.
    {.name = "IntermediateEndsParameters", .input = "abc" + CSI + "2 Jx", .rows = {"   x"}},
    {.name = "BytesAfterIntermediateIgnored", .input = "abc" + CSI + "2 :\xc4Jx", .rows = {"   x"}},
    {.name = "UnknownSequenceNotShown", .input = CSI + "5Zok", .rows = {"ok"}},
    {.name = "BoxDrawingBecomesLineDrawing", .input = "\xc4\xb3\xe0", .rows = {"qx"}},
    {.name = "Vt52EraseToEnd", .input = "abcdef" + CSI + "?2l" + E + "H" + E + "C" + E + "C" + E + "K", .rows = {"ab"}},
    {.name = "DeviceAttributes", .input = CSI + "c", .reply = E + "[?1;0c"},
    {.name = "Identify", .input = E + "Z", .reply = E + "[?1;0c"},
    {.name = "Vt52Identify", .input = CSI + "?2l" + E + "Z", .reply = E + "/Z"},
    {.name = "StatusOk", .input = CSI + "5n", .reply = E + "[0n"},
    {.name = "CursorPosition", .input = CSI + "7;12H" + CSI + "6n", .reply = E + "[7;12R"},
    {.name = "CursorPositionInOrigin",
     .input = CSI + "5;20r" + CSI + "?6h" + CSI + "3;4H" + CSI + "6n",
     .reply = E + "[3;4R"},
    {.name = "StatusUnknown", .input = CSI + "n", .reply = ""},
    {.name = "StatusPrivateRefused", .input = CSI + "?5n", .reply = ""},
    {.name = "Answerback", .input = "\x05", .reply = "CP/M here"},
    {.name = "Parameters0", .input = CSI + "x", .reply = E + "[2;1;1;112;112;1;0x"},
    {.name = "ParametersClamped", .input = CSI + "7x", .reply = E + "[3;1;1;112;112;1;0x"},
    {.name = "SelfTestSilent", .input = CSI + "2;1y", .reply = ""},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Scripts, testing::ValuesIn(ScriptCases), RowName);

TEST(QnVT100Emulator, UpperAsciiShownWhenAsked) {
    Vt100 t;
    t.emu.DisplayUpperASCII = true;
    t.Feed("\xc4\xe0");
    EXPECT_EQ(t.Line(1), "\xc4\xe0");
    EXPECT_EQ(t.b().CharSetAt(1, 1), csUSASCII);
    t.emu.DisplayUpperASCII = false;
    t.Feed(
        "\r\xc4"
        "a");
    EXPECT_EQ(t.b().CharSetAt(1, 1), csLineDraw);
    EXPECT_EQ(t.b().CharSetAt(1, 2), csUSASCII) << "the line-drawing set is for the box character only";
}

struct RenditionCase {
    const char* name;
    std::string input;
    TQnCharAttrs attrs;
    TColor fore, back;
};
TAVRIN_PRINT_AS_NAME(RenditionCase)

class Renditions : public testing::TestWithParam<RenditionCase> {};

TEST_P(Renditions, MarkTheNextCell) {
    Vt100 t;
    t.Feed(GetParam().input + "x");
    EXPECT_EQ(std::tuple(t.b().AttrAt(1, 1), t.b().ForeColorAt(1, 1), t.b().BackColorAt(1, 1)),
              std::tuple(GetParam().attrs, GetParam().fore, GetParam().back));
}

const RenditionCase RenditionCases[] = {
    {"All", CSI + "1;4;5;7;8m", atBold | atUnderline | atBlink | atReverse | atInvisible, QnSilver, QnBlack},
    {"Removed", CSI + "1;4;5;7;8m" + CSI + "22;24;25;27;28m", 0, QnSilver, QnBlack},
    {"Red", CSI + "31m", 0, 0x000080, QnBlack},
    {"WhiteOnCyan", CSI + "37;46m", 0, 0xC0C0C0, 0x808000},
    {"ResetClearsColours", CSI + "1;31;42m" + CSI + "0m", 0, QnSilver, QnBlack},
    {"Indexed38SkipsBlink", CSI + "38;5;5m", 0, QnSilver, QnBlack},
    {"Indexed48SkipsUnderline", CSI + "48;5;4;1m", atBold, QnSilver, QnBlack},
    {"Direct38SkipsAll", CSI + "38;2;1;4;5;7m", atReverse, QnSilver, QnBlack},
    {"UnknownIgnored", CSI + "3;9;99;1m", atBold, QnSilver, QnBlack},
    // Arguments: up to 30000, digits only (the first 255 of a parameter
    // count), no high byte.
    {"FortyOneArguments", CSI + std::string(40, ';') + "1m", atBold, QnSilver, QnBlack},
    {"ThirtyThousandArguments", CSI + std::string(29999, ';') + "1m", atBold, QnSilver, QnBlack},
    {"ThirtyThousandAndOneRefused", CSI + std::string(30000, ';') + "1m", 0, QnSilver, QnBlack},
    {"FarMoreRefused", CSI + std::string(100000, ';') + "1m", 0, QnSilver, QnBlack},
    {"DigitsPast255Ignored", CSI + std::string(300, '0') + "4;1m", atBold, QnSilver, QnBlack},
    {"ManyLongArguments",
     [] {
         std::string s = CSI + std::string(200, '0') + "1";
         for (int i = 0; i < 40; ++i) s += ";4";
         return s + ";5m";
     }(),
     atBold | atUnderline | atBlink, QnSilver, QnBlack},
    {"ColonRefused", CSI + "1:4m", 0, QnSilver, QnBlack},
    {"HighByteInsideRefused", CSI + "1\xc4m", 0, QnSilver, QnBlack},
    {"SaveRestoreRendition", CSI + "1;31m" + E + "7" + CSI + "0m" + E + "8", atBold, 0x000080, QnBlack},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Renditions, testing::ValuesIn(RenditionCases), RowName);

TEST(QnVT100Emulator, CharacterSetDesignationAndShift) {
    Vt100 t;
    t.Feed(E + ")0" +
           "a\x0e"
           "b\x0f"
           "c");
    // Designating G0 while G1 is active changes G0 only; SI then selects it.
    t.Feed("\x0e" + E + "(0" + "d");
    EXPECT_TRUE(t.emu.ShiftOut());
    t.Feed(E + ")A" +
           "e\x0f"
           "f" +
           E + "(1g" + E + "(2h" + E + "(Bi");
    t.Feed(E + "*0" + E + "+ 0" + E + "( 0" + E + "(Zj");  // other sets and bad designations change nothing
    const uint8_t sets[] = {csUSASCII,  csLineDraw, csUSASCII, csLineDraw, csUK,
                            csLineDraw, csROM1,     csROM2,    csUSASCII,  csUSASCII};
    for (int col = 1; col <= 10; ++col) EXPECT_EQ(t.b().CharSetAt(1, col), sets[col - 1]) << col;
}

TEST(QnVT100Emulator, Vt52Mode) {
    Vt100 t;
    // Graphics ignore the designations; ESC [ is refused, the rest is text.
    t.Feed(E + ")A" + CSI + "?2l" + E + "Fa" + E +
           "Gb\x0e"
           "c" +
           CSI + "61\"p");
    EXPECT_FALSE(t.emu.ANSIMode());
    EXPECT_EQ(std::vector<int>({t.b().CharSetAt(1, 1), t.b().CharSetAt(1, 2), t.b().CharSetAt(1, 3)}),
              std::vector<int>({csLineDraw, csUSASCII, csLineDraw}));
    t.Feed(E + "<" + CSI + "61\"p");
    EXPECT_TRUE(t.emu.ANSIMode());
    EXPECT_FALSE(t.emu.Parser().VT52Mode());
    // Setting the mode moves the parser too.
    t.emu.SetANSIMode(false);
    t.Feed(E + "Y%0");
    EXPECT_EQ(t.Cursor(), std::make_pair(6, 17));
    t.emu.SetANSIMode(true);
    t.Feed(CSI + "2;3H");
    EXPECT_EQ(t.Cursor(), std::make_pair(2, 3));
}

struct ModeCase {
    const char* name;
    std::string set, reset;
    bool (*read)(Vt100&);
    // The bytes go to the parser alone, so the row sees the mode the parser
    // keeps by itself: the emulator sets it from the mode commands as well.
    bool parserAlone = false;
};
TAVRIN_PRINT_AS_NAME(ModeCase)

class Modes : public testing::TestWithParam<ModeCase> {};

TEST_P(Modes, SetAndReset) {
    Vt100 t;
    const auto feed = [&t](const std::string& bytes) {
        if (GetParam().parserAlone)
            for (char b : bytes) t.emu.Parser().ProcessChar(static_cast<uint8_t>(b));
        else
            t.Feed(bytes);
    };
    feed(GetParam().reset);
    EXPECT_FALSE(GetParam().read(t));
    feed(GetParam().set);
    EXPECT_TRUE(GetParam().read(t));
    feed(GetParam().reset);
    EXPECT_FALSE(GetParam().read(t));
}

const ModeCase ModeCases[] = {
    {"Insert", CSI + "4h", CSI + "4l", [](Vt100& t) { return t.emu.InsertMode() && t.b().UseInsertMode; }},
    {"NewLine", CSI + "20h", CSI + "20l", [](Vt100& t) { return t.emu.NewLineMode() && t.b().UseNewLineMode; }},
    {"CursorKeys", CSI + "?1h", CSI + "?1l", [](Vt100& t) { return t.emu.CursorKeyAppMode; }},
    {"Ansi", E + "<" + CSI + "?2h", CSI + "?2l", [](Vt100& t) { return t.emu.ANSIMode(); }},
    // Back in ANSI mode after ESC <, ESC [ A is a cursor up and ESC A no longer is.
    {"AnsiInTheParserAlone", E + "<", CSI + "?2l",
     [](Vt100& t) {
         TQnVT100Parser& p = t.emu.Parser();
         const auto cursorUp = [&p](const std::string& bytes) {
             TQnParseResult last = prNone;
             for (char b : bytes) last = p.ProcessChar(static_cast<uint8_t>(b));
             return last == prCommand && p.Command() == vcCUU;
         };
         return cursorUp(CSI + "A") && !cursorUp(E + "A");
     },
     true},
    {"Columns132", CSI + "?3h", CSI + "?3l", [](Vt100& t) { return t.emu.Col132Mode() && t.b().ColCount() == 132; }},
    {"ReverseScreen", CSI + "?5h", CSI + "?5l", [](Vt100& t) { return t.emu.ReverseScreen(); }},
    {"Origin", CSI + "?6h", CSI + "?6l", [](Vt100& t) { return t.emu.OriginMode() && !t.b().UseAbsAddress; }},
    {"AutoWrap", CSI + "?7h", CSI + "?7l", [](Vt100& t) { return t.emu.AutoWrap(); }},
    {"AutoRepeat", CSI + "?8h", CSI + "?8l", [](Vt100& t) { return t.emu.AutoRepeat; }},
    {"KeypadEsc", E + "=", E + ">", [](Vt100& t) { return t.emu.KeypadAppMode; }},
    {"KeypadCsi", CSI + "?999h", CSI + "?999l", [](Vt100& t) { return t.emu.KeypadAppMode; }},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Modes, testing::ValuesIn(ModeCases), RowName);

TEST(QnVT100Emulator, ModesWithExtraArgumentsIgnored) {
    Vt100 t;
    t.Feed(CSI + "4;20h" + CSI + "?1;7l" + CSI + "?4h");
    EXPECT_FALSE(t.emu.InsertMode());
    EXPECT_FALSE(t.emu.NewLineMode());
    EXPECT_TRUE(t.emu.AutoWrap());
    EXPECT_TRUE(t.emu.SmoothScroll());
}

TEST(QnVT100Emulator, LineSizesFollowTheCursorRow) {
    Vt100 t;
    t.Feed(CSI + "3;1H" + E + "#3" + CSI + "4;1H" + E + "#4" + CSI + "5;1H" + E + "#6");
    const auto rows = [&t](int from, int to) {
        std::vector<int> sizes;
        for (int row = from; row <= to; ++row) sizes.push_back(t.emu.LineAttrs().GetAttr(row));
        return sizes;
    };
    EXPECT_EQ(rows(3, 5), std::vector<int>({laDblHeightTop, laDblHeightBottom, laDblWidth}));
    // Line sizes scroll with their rows.
    t.Feed(E + "#5" + CSI + "24;1H\n");
    EXPECT_EQ(rows(2, 4), std::vector<int>({laDblHeightTop, laDblHeightBottom, laNormal}));
    // In origin mode the size still goes to the row the cursor is on.
    t.Feed(CSI + "10;20r" + CSI + "?6h" + CSI + "2;1H" + E + "#6");
    EXPECT_EQ(rows(11, 11), std::vector<int>({laDblWidth}));
    EXPECT_EQ(rows(2, 2), std::vector<int>({laDblHeightTop}));
}

// Rows marked "W" are double width, all others normal: after scrolls of
// the whole grid past the length of the scroll-back, scrolls of a region
// and resizes of the scroll-back, the sizes must still be on the rows their
// text is on.
TEST(QnVT100Emulator, LineSizesStayWithTheirTextThroughTheScrollback) {
    Vt100 t;
    const auto checkAll = [&t](const std::string& step) {
        const TQnTerminalBuffer& b = t.b();
        int marked = 0;
        for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row) {
            const bool wide = t.emu.LineAttrs().GetAttr(row) == laDblWidth;
            marked += wide;
            ASSERT_EQ(wide, t.Line(row).rfind('W', 0) == 0) << step << ", row " << row;
        }
        EXPECT_GT(marked, 0) << step;
    };
    const std::string wideLine = "\r\n" + E + "#6W", plainLine = "\r\nplain";
    const struct {
        const char* step;
        std::string bytes;
        int scrollback;  // 0: unchanged
    } steps[] = {
        {"text past the scroll-back",
         [&] {
             std::string s = CSI + "24;1H";
             for (int i = 0; i < 450; ++i) s += i % 7 == 0 ? wideLine : plainLine;
             return s;
         }(),
         0},
        {"region scrolls up", CSI + "3;20r" + CSI + "20;1H" + wideLine + "\n\n" + wideLine, 0},
        {"region scrolls down", CSI + "3;1H" + E + "M" + E + "M" + E + "#6W", 0},
        {"lines inserted and deleted", CSI + "5;1H" + CSI + "2L" + CSI + "9;1H" + CSI + "3M", 0},
        {"scroll-back grows", "", 260},
        {"more text", CSI + "r" + CSI + "24;1H" + wideLine + plainLine + plainLine + wideLine, 0},
        {"scroll-back shrinks", "", 90},
        {"screen erased into the scroll-back", CSI + "2J" + CSI + "1;1H" + E + "#6W", 0},
    };
    for (const auto& s : steps) {
        if (s.scrollback) t.b().SetSVRowCount(s.scrollback);
        t.Feed(s.bytes);
        checkAll(s.step);
    }
}

TEST(QnVT100Emulator, NoRepliesWithoutAPort) {
    Vt100 t;
    t.host.portOpen = false;
    t.Feed(CSI + "c" + CSI + "6n\x05");
    EXPECT_EQ(t.host.port, "");
    EXPECT_EQ(t.host.keyboard, "");
}

TEST(QnVT100Emulator, BellAndLeds) {
    Vt100 t;
    t.Feed("\x07" + CSI + "1;3q");
    EXPECT_EQ(t.host.beeps, 1);
    EXPECT_EQ(t.emu.LEDs(), 1 | 4);
    t.Feed(CSI + "0;4;9q");
    EXPECT_EQ(t.emu.LEDs(), 8);
    struct Row {
        std::string leds;
        uint8_t lit;  // starting from LED 4 lit
    };
    const Row rows[] = {
        {"1 q", 8 | 1},  // an intermediate ends the parameters
        {std::string(45, ';') + "2q", 2},
        {std::string(29999, ';') + "3q", 4},
        {std::string(30000, ';') + "3q", 8},  // one argument too many: refused
        {"2\x0a;3q", 8 | 2 | 4},              // a line feed inside acts and the sequence goes on
    };
    for (const Row& r : rows) {
        t.Feed(CSI + "0;4q" + CSI + r.leds);
        EXPECT_EQ(t.emu.LEDs(), r.lit) << r.leds.size() << " bytes";
    }
}

// Every mode and setting a reset puts back, for comparing two emulators.
std::vector<int> State(Vt100& t) {
    const TQnVT100Emulator& e = t.emu;
    std::vector<int> s = {e.Col132Mode(),         t.b().ColCount(),
                          e.CursorKeyAppMode,     e.KeypadAppMode,
                          e.InsertMode(),         e.NewLineMode(),
                          e.OriginMode(),         e.ReverseScreen(),
                          e.AutoWrap(),           e.AutoRepeat,
                          e.ShiftOut(),           e.G1CharSet(),
                          t.b().GetCharAttrs(),   static_cast<int>(t.b().ForeColor()),
                          t.b().UseScrollRegion()};
    for (int row = 1; row <= 24; ++row) s.push_back(t.emu.LineAttrs().GetAttr(row));
    return s;
}

TEST(QnVT100Emulator, ResetRestoresEverything) {
    Vt100 fresh, t;
    t.Feed(CSI + "?3h" + CSI + "?1h" + E + "=" + CSI + "4h" + CSI + "20h" + CSI + "?6h" + CSI + "?5h" + CSI + "?7l" +
           CSI + "?8l" + E + ")0\x0e" + CSI + "1;31mtext" + CSI + "5;10r" + E + "#6");
    t.Feed(CSI + "?2l" + E + "<" + E + "c");  // from VT52 mode RIS is reached through ESC <
    EXPECT_EQ(State(t), State(fresh));
    EXPECT_EQ(t.Line(1), "");
    EXPECT_EQ(t.Cursor(), std::make_pair(1, 1));
    EXPECT_TRUE(t.emu.NeedsUpdate());
}

struct KeyCase {
    const char* name;
    uint16_t key;
    uint8_t shift;
    std::string modes;  // sequences the program sent before
    std::string sent;   // empty: the key is left to the character path
};
TAVRIN_PRINT_AS_NAME(KeyCase)

class Keys : public testing::TestWithParam<KeyCase> {};

TEST_P(Keys, SendTheirText) {
    Vt100 t;
    const KeyCase& c = GetParam();
    t.Feed(c.modes);
    t.emu.KeyboardMap().Add("VK_HOME", "DEC_PF1k");
    uint16_t key = c.key;
    t.emu.KeyDown(key, TShiftState(c.shift));
    EXPECT_EQ(t.host.keyboard, c.sent);
    EXPECT_EQ(key, c.sent.empty() ? c.key : 0);
}

constexpr uint8_t Shift = 1u << ssShift, Ctrl = 1u << ssCtrl;
const KeyCase KeyCases[] = {
    {"UpAnsi", VK_UP, 0, "", E + "[A"},
    {"UpRepeated", VK_UP | 0x8000, 0, "", E + "[A"},
    {"UpApplication", VK_UP, 0, CursorApp, E + "OA"},
    {"UpVt52", VK_UP, 0, CursorApp + Vt52, E + "A"},
    {"ShiftUpUnknown", VK_UP, Shift, "", ""},
    {"F1Ansi", VK_F1, 0, "", E + "OP"},
    {"F4Vt52", VK_F1 + 3, 0, Vt52, E + "S"},
    {"NumLockIsPf1", VK_NUMLOCK, 0, KeypadApp, E + "OP"},
    {"HomeIsPf1Vt52", VK_HOME, 0, Vt52, E + "P"},
    {"Keypad5Numeric", 0x65, 0, "", "5"},
    {"Keypad5Application", 0x65, 0, KeypadApp, E + "Ou"},
    {"Keypad5Vt52Application", 0x65, 0, Vt52 + KeypadApp, E + "?u"},
    {"Keypad5Vt52Numeric", 0x65, 0, Vt52 + KeypadApp + E + ">", "5"},
    {"KeypadComma", VK_DECIMAL, Ctrl, "", ","},
    {"KeypadEnterNumeric", VK_EXECUTE, 0, "", "\r"},
    {"KeypadEnterNewLine", VK_EXECUTE, 0, CSI + "20h", "\r\n"},
    {"KeypadEnterApplication", VK_EXECUTE, 0, KeypadApp, E + "OM"},
    {"BackspaceIsDelete", VK_BACK, 0, "", "\x7f"},
    {"ShiftBackspace", VK_BACK, Shift, "", "\b"},
    {"ShiftReturn", VK_RETURN, Shift, "", "\n"},
    {"ReturnToCharacterPath", VK_RETURN, 0, "", ""},
    {"CtrlSpaceIsNul", VK_SPACE, Ctrl, "", std::string(1, '\0')},
    {"LetterToCharacterPath", 'A', 0, "", ""},
    {"UnknownCode", 0x3A, 0, "", ""},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Keys, testing::ValuesIn(KeyCases), RowName);

// The keyboard's NumLock state is put back exactly when the NumLock key
// went out as PF1.
struct NumLockCase {
    const char* name;
    uint16_t key;
    std::string modes;
    bool emptyMap;
    std::string sent;
    int toggles;
};
TAVRIN_PRINT_AS_NAME(NumLockCase)

class NumLockKey : public testing::TestWithParam<NumLockCase> {};

TEST_P(NumLockKey, IsPutBackWhenSentAsPf1) {
    const NumLockCase& c = GetParam();
    Vt100 t;
    t.emu.KeyboardMap().Add("VK_HOME", "DEC_PF1k");
    if (c.emptyMap) t.emu.KeyboardMap().Clear();
    t.Feed(c.modes);
    uint16_t key = c.key;
    t.emu.KeyDown(key, TShiftState());
    EXPECT_EQ(t.host.keyboard, c.sent);
    EXPECT_EQ(t.host.numLockRestores, c.toggles);
}

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, NumLockKey,
                         testing::Values(NumLockCase{"Ansi", VK_NUMLOCK, "", false, E + "OP", 1},
                                         NumLockCase{"Vt52", VK_NUMLOCK, Vt52, false, E + "P", 1},
                                         NumLockCase{"Repeated", VK_NUMLOCK | 0x8000, "", false, E + "OP", 1},
                                         NumLockCase{"RepeatSwallowed", VK_NUMLOCK | 0x8000, CSI + "?8l", false, "", 0},
                                         NumLockCase{"NotInTheMap", VK_NUMLOCK, "", true, "", 0},
                                         NumLockCase{"F1", VK_F1, "", false, E + "OP", 0},
                                         NumLockCase{"HomeAsPf1", VK_HOME, "", false, E + "OP", 0},
                                         NumLockCase{"KeypadDigit", 0x65, KeypadApp, false, E + "Ou", 0}),
                         RowName);

TEST(QnVT100Emulator, KeyTextEscapes) {
    struct Row {
        const char* text;
        std::string sent;
        std::string echoed;
    };
    const Row rows[] = {
        {"\\e[5~", E + "[5~", ""},
        {"ab\\x41", "abA", "abA"},
        {"\\xZZ", "?", "?"},
        {"a\\x4", "a\\x4", "a\\x4"},  // cut short at the end: sent as it stands
    };
    for (const Row& r : rows) {
        Vt100 t;
        t.host.halfDuplex = true;
        t.emu.KeyboardMap().Add("\\x3A", "VK_TEST");
        t.emu.KeyboardMap().Add("VK_TEST", "DEC_TEST");
        t.emu.KeyboardMap().Add("DEC_TEST", r.text);
        uint16_t key = 0x3A;
        t.emu.KeyDown(key, TShiftState());
        EXPECT_EQ(t.host.keyboard, r.sent) << r.text;
        EXPECT_EQ(t.Line(1), r.echoed) << r.text;
    }
}

TEST(QnVT100Emulator, RepeatedKeysAreSwallowedWithoutAutoRepeat) {
    Vt100 t;
    t.Feed(CSI + "?8l");
    uint16_t key = 'A' | 0x8000;
    t.emu.KeyDown(key, TShiftState());
    EXPECT_EQ(key, 0);
    EXPECT_EQ(t.host.keyboard, "");
}

TEST(QnVT100Emulator, KeyPressSendsLineFeedInNewLineMode) {
    Vt100 t;
    char cr = '\r', a = 'a';
    t.emu.KeyPress(a);
    t.emu.KeyPress(cr);
    t.Feed(CSI + "20h");
    t.emu.KeyPress(cr);
    EXPECT_EQ(t.host.keyboard, "a\r\r\n");
}

TEST(QnVT100Emulator, ScrollbackTakesWhatScrollsOffTheWholeScreen) {
    Vt100 t;
    // 176 rows of scrollback: the oldest goes after 177 line feeds.
    t.Feed("oldest" + CSI + "24;1H" + std::string(177, '\n') + CSI + "1;1Hfirst" + CSI + "24;1H\n");
    EXPECT_EQ(t.Line(0), "first");
    for (int row = -175; row <= 24; ++row) EXPECT_NE(t.Line(row), "oldest") << row;
    // A region scrolls its own rows: what leaves its top is gone.
    t.Feed(CSI + "1;1Hregion" + CSI + "1;10r" + CSI + "10;1H\n");
    EXPECT_EQ(t.Line(0), "first");
    EXPECT_EQ(t.Line(1), "");
    t.Feed(CSI + "r" + CSI + "2;1Hsecond");
    t.emu.ClearScreen();
    EXPECT_EQ(t.Line(2), "");
    EXPECT_EQ(t.Line(-22), "second");
    t.emu.ClearAll();
    EXPECT_EQ(t.Line(-22), "");
}

}  // namespace
