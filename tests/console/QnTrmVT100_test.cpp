// VT100 emulator on a fake terminal: cursor, regions, origin mode, wrap,
// insert/replace, tabs, erase, renditions, character sets, line sizes,
// replies to the host, reset, and the keyboard in every mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/QnTrmVT100.h"
#include "support/FakeTerminalHost.h"

namespace {

using FakeHost = tavrin::test::TFakeTerminalHost;
const std::string E = "\x1b";
const std::string CSI = "\x1b[";

struct Vt100 {
    FakeHost host;
    TQnVT100Emulator emu;
    Vt100() {
        emu.SetTerminal(&host);
        host.portOpen = true;
    }
    ~Vt100() { emu.SetTerminal(nullptr); }
    TQnTerminalBuffer& b() { return *emu.Buffer(); }
    void Feed(const std::string& s) {
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()), csWriteChar);
    }
    std::string Line(int row) {
        std::string s = b().LineText(row);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
    std::pair<int, int> Cursor() { return {b().CursorScreenRow(), b().CursorScreenCol()}; }
};

TEST(QnVT100Emulator, MapsLoadFromTheProgram) {
    Vt100 t;
    EXPECT_EQ(t.emu.MapLoadError(), "");
    EXPECT_EQ(t.emu.KeyboardMap().Count(), 221);
    EXPECT_EQ(t.emu.CharSetMap().Count(), 603);
    EXPECT_TRUE(t.emu.ANSIMode());
    EXPECT_TRUE(t.emu.AutoRepeat);
    EXPECT_TRUE(t.emu.AutoWrap());
}

struct CursorCase {
    const char* name;
    std::string input;
    int row, col;
};
void PrintTo(const CursorCase& c, std::ostream* os) { *os << c.name; }

class CursorMotion : public testing::TestWithParam<CursorCase> {};

TEST_P(CursorMotion, EndsAt) {
    Vt100 t;
    t.Feed(CSI + "10;20H" + GetParam().input);
    EXPECT_EQ(t.Cursor(), std::make_pair(GetParam().row, GetParam().col));
}

const CursorCase CursorCases[] = {
    {"Position", CSI + "5;7H", 5, 7},
    {"PositionZeroIsHome", CSI + "0;0H", 1, 1},
    {"PositionEmptyIsHome", CSI + "H", 1, 1},
    {"PositionClampedToScreen", CSI + "99;999H", 24, 80},
    {"Up", CSI + "3A", 7, 20},
    {"UpZeroIsOne", CSI + "0A", 9, 20},
    {"UpStopsAtTop", CSI + "99A", 1, 20},
    {"UpHugeCount", CSI + "2147483647A", 1, 20},
    {"UpPrivateIgnored", CSI + "?A", 10, 20},
    {"Down", CSI + "B", 11, 20},
    {"DownStopsAtBottom", CSI + "50B", 24, 20},
    {"Forward", CSI + "5C", 10, 25},
    {"ForwardStopsAtMargin", CSI + "500C", 10, 80},
    {"BackStopsAtMargin", CSI + "25D", 10, 1},
    {"Backspace", "\b", 10, 19},
    {"CarriageReturn", "\r", 10, 1},
    {"LineFeed", "\n", 11, 20},
    {"Index", E + "D", 11, 20},
    {"ReverseIndex", E + "M", 9, 20},
    {"NextLine", E + "E", 11, 1},
    {"Tab", "\t", 10, 25},
    {"TabAtLastStop", CSI + "1;75H\t\t", 1, 80},
    {"SaveMoveRestore", E + "7" + CSI + "H" + E + "8", 10, 20},
    {"SaveRestoreCsi", CSI + "s" + CSI + "3;3H" + CSI + "u", 10, 20},
    {"VerticalTabGoesToBottom", "\x0b", 24, 20},
    {"Vt52Up", CSI + "?2l" + E + "A", 9, 20},
    {"Vt52Address", CSI + "?2l" + E + "Y%0", 6, 17},
    {"Vt52Home", CSI + "?2l" + E + "H", 1, 1},
    {"ColumnSwitchHomes", CSI + "5;10r" + CSI + "?3l" + CSI + "B", 2, 1},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, CursorMotion, testing::ValuesIn(CursorCases),
                         [](const testing::TestParamInfo<CursorCase>& info) { return std::string(info.param.name); });

struct ScreenCase {
    const char* name;
    std::string input;
    std::vector<std::string> rows;  // screen rows 1.. as text, trailing spaces cut
};
void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class ScreenEdits : public testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenEdits, LeaveTheScreen) {
    Vt100 t;
    t.Feed(GetParam().input);
    for (size_t i = 0; i < GetParam().rows.size(); ++i)
        EXPECT_EQ(t.Line(static_cast<int>(i) + 1), GetParam().rows[i]) << "row " << i + 1;
}

const std::string Abc = "abc\r\ndef\r\nghi";
const ScreenCase ScreenCases[] = {
    {"Text", "hello", {"hello"}},
    {"DelayedWrap", std::string(80, 'x') + "y", {std::string(80, 'x'), "y"}},
    {"NoWrap", CSI + "?7l" + std::string(80, 'x') + "yz", {std::string(79, 'x') + "z", ""}},
    {"WrapOnAgainAtLastColumn", CSI + "?7l" + std::string(80, 'x') + CSI + "?7hyz", {std::string(79, 'x') + "y", "z"}},
    {"ColumnSwitchClears", "abc\r\ndef" + CSI + "?3h", {"", ""}},
    {"InsertMode", "abcd\r" + CSI + "4hXY" + CSI + "4lZ", {"XYZbcd"}},
    {"InsertChars", "abcd" + CSI + "1;2H" + CSI + "2@", {"a  bcd"}},
    {"DeleteChars", "abcdef" + CSI + "1;2H" + CSI + "2P", {"adef"}},
    {"EraseChars", "abcdef" + CSI + "1;2H" + CSI + "3X", {"a   ef"}},
    {"EraseToEndOfLine", "abcdef" + CSI + "1;3H" + CSI + "K", {"ab"}},
    {"EraseFromStartOfLine", "abcdef" + CSI + "1;3H" + CSI + "1K", {"   def"}},
    {"EraseLine", "abcdef" + CSI + "2K", {""}},
    {"EraseBelow", Abc + CSI + "2;2H" + CSI + "J", {"abc", "d", ""}},
    {"EraseAbove", Abc + CSI + "2;2H" + CSI + "1J", {"", "  f", "ghi"}},
    {"EraseScreen", Abc + CSI + "2J", {"", "", ""}},
    {"FormFeedErases", Abc + "\x0c", {"", "", ""}},
    {"InsertLine", Abc + CSI + "2;1H" + CSI + "L", {"abc", "", "def", "ghi"}},
    {"DeleteLine", Abc + CSI + "1;1H" + CSI + "M", {"def", "ghi", ""}},
    {"RegionScroll", Abc + CSI + "1;2r" + CSI + "2;1H\nX", {"def", "X", "ghi"}},
    {"RegionReverseIndex", Abc + CSI + "2;3r" + CSI + "2;1H" + E + "M", {"abc", "", "def"}},
    {"OriginModeAddressesRegion", CSI + "5;10r" + CSI + "?6h" + CSI + "1;1HA" + CSI + "99;1HB",
     {"", "", "", "", "A", "", "", "", "", "B"}},
    {"TabStops", CSI + "3g" + CSI + "1;5H" + E + "H\rX\tY", {"X   Y"}},
    {"TabClearOne", CSI + "1;9H" + CSI + "g\rX\tY", {"X" + std::string(15, ' ') + "Y"}},
    {"Alignment", E + "#8", {std::string(80, 'E'), std::string(80, 'E')}},
    {"CancelInsideSequence", CSI + "2\x18J" "x", {"x"}},
    {"IntermediateNotErase", "abc" + CSI + "2 Jx", {"abcx"}},
    {"UnknownSequenceNotShown", CSI + "5Zok", {"ok"}},
    {"BoxDrawingBecomesLineDrawing", "\xc4\xb3\xe0", {"qx"}},
    {"Vt52EraseToEnd", "abcdef" + CSI + "?2l" + E + "H" + E + "C" + E + "C" + E + "K", {"ab"}},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, ScreenEdits, testing::ValuesIn(ScreenCases),
                         [](const testing::TestParamInfo<ScreenCase>& info) { return std::string(info.param.name); });

TEST(QnVT100Emulator, UpperAsciiShownWhenAsked) {
    Vt100 t;
    t.emu.DisplayUpperASCII = true;
    t.Feed("\xc4\xe0");
    EXPECT_EQ(t.b().CharAt(1, 1), '\xc4');
    EXPECT_EQ(t.b().CharAt(1, 2), '\xe0');
    EXPECT_EQ(t.b().CharSetAt(1, 1), csUSASCII);
    t.emu.DisplayUpperASCII = false;
    t.Feed("\r\xc4");
    EXPECT_EQ(t.b().CharAt(1, 1), 'q');
    EXPECT_EQ(t.b().CharSetAt(1, 1), csLineDraw);
    EXPECT_EQ(t.b().CharSet(), csUSASCII);
}

struct RenditionCase {
    const char* name;
    std::string input;
    TQnCharAttrs attrs;
    TQnColor fore, back;
};
void PrintTo(const RenditionCase& c, std::ostream* os) { *os << c.name; }

class Renditions : public testing::TestWithParam<RenditionCase> {};

TEST_P(Renditions, MarkTheNextCell) {
    Vt100 t;
    t.Feed(GetParam().input + "x");
    EXPECT_EQ(t.b().AttrAt(1, 1), GetParam().attrs);
    EXPECT_EQ(t.b().ForeColorAt(1, 1), GetParam().fore);
    EXPECT_EQ(t.b().BackColorAt(1, 1), GetParam().back);
}

const RenditionCase RenditionCases[] = {
    {"Plain", "", 0, QnSilver, QnBlack},
    {"All", CSI + "1;4;5;7;8m", atBold | atUnderline | atBlink | atReverse | atInvisible, QnSilver, QnBlack},
    {"Removed", CSI + "1;4;5;7;8m" + CSI + "22;24;25;27;28m", 0, QnSilver, QnBlack},
    {"Red", CSI + "31m", 0, 0x000080, QnBlack},
    {"WhiteOnCyan", CSI + "37;46m", 0, 0xC0C0C0, 0x808000},
    {"ResetClearsColours", CSI + "1;31;42m" + CSI + "0m", 0, QnSilver, QnBlack},
    {"EmptyResets", CSI + "1m" + CSI + "m", 0, QnSilver, QnBlack},
    {"Indexed38SkipsBlink", CSI + "38;5;5m", 0, QnSilver, QnBlack},
    {"Indexed48SkipsUnderline", CSI + "48;5;4;1m", atBold, QnSilver, QnBlack},
    {"Direct38SkipsAll", CSI + "38;2;1;4;5;7m", atReverse, QnSilver, QnBlack},
    {"UnknownIgnored", CSI + "3;9;99;1m", atBold, QnSilver, QnBlack},
    {"SaveRestoreRendition", CSI + "1;31m" + E + "7" + CSI + "0m" + E + "8", atBold, 0x000080, QnBlack},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Renditions, testing::ValuesIn(RenditionCases),
                         [](const testing::TestParamInfo<RenditionCase>& info) { return std::string(info.param.name); });

TEST(QnVT100Emulator, CharacterSetDesignationAndShift) {
    Vt100 t;
    t.Feed(E + ")0" + "a\x0e" "b\x0f" "c");
    EXPECT_EQ(t.b().CharSetAt(1, 1), csUSASCII);
    EXPECT_EQ(t.b().CharSetAt(1, 2), csLineDraw);
    EXPECT_EQ(t.b().CharSetAt(1, 3), csUSASCII);
    EXPECT_EQ(t.emu.G1CharSet(), csLineDraw);
    // Designating G0 while G1 is active changes G0 only; SI then selects it.
    t.Feed("\x0e" + E + "(0" + "d");
    EXPECT_EQ(t.b().CharSetAt(1, 4), csLineDraw);
    EXPECT_TRUE(t.emu.ShiftOut());
    t.Feed(E + ")A" + "e\x0f" "f");
    EXPECT_EQ(t.b().CharSetAt(1, 5), csUK);
    EXPECT_EQ(t.b().CharSetAt(1, 6), csLineDraw);
    t.Feed(E + "(1g" + E + "(2h" + E + "(Bi");
    EXPECT_EQ(t.b().CharSetAt(1, 7), csROM1);
    EXPECT_EQ(t.b().CharSetAt(1, 8), csROM2);
    EXPECT_EQ(t.b().CharSetAt(1, 9), csUSASCII);
}

TEST(QnVT100Emulator, Vt52GraphicsIgnoreTheDesignations) {
    Vt100 t;
    t.Feed(E + ")A" + CSI + "?2l" + E + "Fa" + E + "Gb\x0e" "c");
    EXPECT_FALSE(t.emu.ANSIMode());
    EXPECT_EQ(t.b().CharSetAt(1, 1), csLineDraw);
    EXPECT_EQ(t.b().CharSetAt(1, 2), csUSASCII);
    EXPECT_EQ(t.b().CharSetAt(1, 3), csLineDraw);
    t.Feed(E + "<");
    EXPECT_TRUE(t.emu.ANSIMode());
    EXPECT_FALSE(t.emu.Parser().VT52Mode());
}

struct ModeCase {
    const char* name;
    std::string set, reset;
    bool (*read)(Vt100&);
};
void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class Modes : public testing::TestWithParam<ModeCase> {};

TEST_P(Modes, SetAndReset) {
    Vt100 t;
    t.Feed(GetParam().reset);
    EXPECT_FALSE(GetParam().read(t));
    t.Feed(GetParam().set);
    EXPECT_TRUE(GetParam().read(t));
    t.Feed(GetParam().reset);
    EXPECT_FALSE(GetParam().read(t));
}

const ModeCase ModeCases[] = {
    {"Insert", CSI + "4h", CSI + "4l", [](Vt100& t) { return t.emu.InsertMode() && t.b().UseInsertMode; }},
    {"NewLine", CSI + "20h", CSI + "20l", [](Vt100& t) { return t.emu.NewLineMode() && t.b().UseNewLineMode; }},
    {"CursorKeys", CSI + "?1h", CSI + "?1l", [](Vt100& t) { return t.emu.CursorKeyAppMode; }},
    {"Ansi", E + "<" + CSI + "?2h", CSI + "?2l", [](Vt100& t) { return t.emu.ANSIMode(); }},
    {"Columns132", CSI + "?3h", CSI + "?3l", [](Vt100& t) { return t.emu.Col132Mode() && t.b().ColCount() == 132; }},
    {"Smooth", CSI + "?4h", CSI + "?4l", [](Vt100& t) { return t.emu.SmoothScroll(); }},
    {"ReverseScreen", CSI + "?5h", CSI + "?5l", [](Vt100& t) { return t.emu.ReverseScreen(); }},
    {"Origin", CSI + "?6h", CSI + "?6l", [](Vt100& t) { return t.emu.OriginMode() && !t.b().UseAbsAddress; }},
    {"AutoWrap", CSI + "?7h", CSI + "?7l", [](Vt100& t) { return t.emu.AutoWrap(); }},
    {"AutoRepeat", CSI + "?8h", CSI + "?8l", [](Vt100& t) { return t.emu.AutoRepeat; }},
    {"Interlace", CSI + "?9h", CSI + "?9l", [](Vt100& t) { return t.emu.Interlace(); }},
    {"KeypadEsc", E + "=", E + ">", [](Vt100& t) { return t.emu.KeypadAppMode; }},
    {"KeypadCsi", CSI + "?999h", CSI + "?999l", [](Vt100& t) { return t.emu.KeypadAppMode; }},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Modes, testing::ValuesIn(ModeCases),
                         [](const testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.name); });

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
    auto& la = t.emu.LineAttrs();
    EXPECT_EQ(la.GetAttr(3), laDblHeightTop);
    EXPECT_EQ(la.GetAttr(4), laDblHeightBottom);
    EXPECT_EQ(la.GetAttr(5), laDblWidth);
    t.Feed(E + "#5");
    EXPECT_EQ(la.GetAttr(5), laNormal);
    // Line sizes scroll with their rows.
    t.Feed(CSI + "24;1H\n");
    EXPECT_EQ(la.GetAttr(2), laDblHeightTop);
    EXPECT_EQ(la.GetAttr(3), laDblHeightBottom);
    // In origin mode the size still goes to the row the cursor is on.
    t.Feed(CSI + "10;20r" + CSI + "?6h" + CSI + "2;1H" + E + "#6");
    EXPECT_EQ(la.GetAttr(11), laDblWidth);
    EXPECT_EQ(la.GetAttr(2), laDblHeightTop);
}

struct ReplyCase {
    const char* name;
    std::string input;
    std::string reply;
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class Replies : public testing::TestWithParam<ReplyCase> {};

TEST_P(Replies, GoToThePort) {
    Vt100 t;
    t.emu.Answerback = "CP/M here";
    t.Feed(GetParam().input);
    EXPECT_EQ(t.host.port, GetParam().reply);
}

const ReplyCase ReplyCases[] = {
    {"DeviceAttributes", CSI + "c", E + "[?1;0c"},
    {"DeviceAttributesOther", CSI + "1c", ""},
    {"Identify", E + "Z", E + "[?1;0c"},
    {"Vt52Identify", CSI + "?2l" + E + "Z", E + "/Z"},
    {"StatusOk", CSI + "5n", E + "[0n"},
    {"CursorPosition", CSI + "7;12H" + CSI + "6n", E + "[7;12R"},
    {"CursorPositionInOrigin", CSI + "5;20r" + CSI + "?6h" + CSI + "3;4H" + CSI + "6n", E + "[3;4R"},
    {"StatusUnknown", CSI + "n", ""},
    {"Answerback", "\x05", "CP/M here"},
    {"Parameters0", CSI + "x", E + "[2;1;1;112;112;1;0x"},
    {"Parameters1", CSI + "1x", E + "[3;1;1;112;112;1;0x"},
    {"ParametersClamped", CSI + "7x", E + "[3;1;1;112;112;1;0x"},
    {"SelfTestSilent", CSI + "2;1y", ""},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Replies, testing::ValuesIn(ReplyCases),
                         [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

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
}

TEST(QnVT100Emulator, ResetRestoresEverything) {
    Vt100 t;
    t.Feed(CSI + "?3h" + CSI + "?1h" + E + "=" + CSI + "4h" + CSI + "20h" + CSI + "?6h" + CSI + "?5h" +
           CSI + "?7l" + CSI + "?8l" + E + ")0\x0e" + CSI + "1;31mtext" + CSI + "5;10r" + E + "#6");
    t.Feed(CSI + "?2l");  // VT52 mode: RIS is reached through ESC < first
    t.Feed(E + "<" + E + "c");
    auto& e = t.emu;
    EXPECT_FALSE(e.Col132Mode());
    EXPECT_EQ(t.b().ColCount(), 80);
    EXPECT_FALSE(e.CursorKeyAppMode);
    EXPECT_FALSE(e.KeypadAppMode);
    EXPECT_FALSE(e.InsertMode());
    EXPECT_FALSE(e.NewLineMode());
    EXPECT_FALSE(e.OriginMode());
    EXPECT_FALSE(e.ReverseScreen());
    EXPECT_TRUE(e.AutoWrap());
    EXPECT_TRUE(e.AutoRepeat);
    EXPECT_FALSE(e.ShiftOut());
    EXPECT_EQ(e.G1CharSet(), csUSASCII);
    EXPECT_EQ(t.b().GetCharAttrs(), 0);
    EXPECT_EQ(t.b().ForeColor(), QnSilver);
    EXPECT_FALSE(t.b().UseScrollRegion());
    EXPECT_EQ(t.Line(1), "");
    EXPECT_EQ(t.Cursor(), std::make_pair(1, 1));
    for (int row = 1; row <= 24; ++row) EXPECT_EQ(e.LineAttrs().GetAttr(row), laNormal);
    EXPECT_TRUE(e.NeedsUpdate());
}

TEST(QnVT100Emulator, SoftResetNeedsAnsiMode) {
    Vt100 t;
    t.Feed(CSI + "?2l");
    t.Feed(CSI + "61\"p");  // not a VT52 sequence: ESC [ is refused, the rest is text
    EXPECT_FALSE(t.emu.ANSIMode());
    t.emu.SetANSIMode(true);
    t.Feed(CSI + "?2l" + E + "<" + CSI + "61\"p");
    EXPECT_TRUE(t.emu.ANSIMode());
    EXPECT_FALSE(t.emu.Parser().VT52Mode());
}

TEST(QnVT100Emulator, SetAnsiModeMovesTheParserToo) {
    Vt100 t;
    t.emu.SetANSIMode(false);
    EXPECT_TRUE(t.emu.Parser().VT52Mode());
    t.Feed(E + "Y%0");
    EXPECT_EQ(t.Cursor(), std::make_pair(6, 17));
    t.emu.SetANSIMode(true);
    t.Feed(CSI + "2;3H");
    EXPECT_EQ(t.Cursor(), std::make_pair(2, 3));
}

TEST(QnVT100Emulator, HookReplacesCharactersAndQueuesCommands) {
    Vt100 t;
    t.emu.OnProcessChar = [](TQnTerminalEmulator&, char ch, std::string& replace, TQnEmuCommandList& commands,
                             TQnCharSource) {
        if (ch == '!') {
            replace = "ok";
            commands.Add(ecAddBold);
        }
    };
    t.Feed("a!");
    EXPECT_EQ(t.Line(1), "aok");
    EXPECT_EQ(t.b().AttrAt(1, 2), atBold);
}

struct KeyCase {
    const char* name;
    uint16_t key;
    uint8_t shift;
    bool ansi, cursorApp, keypadApp, newLine;
    std::string sent;  // empty: the key is left to the character path
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class Keys : public testing::TestWithParam<KeyCase> {};

TEST_P(Keys, SendTheirText) {
    Vt100 t;
    const KeyCase& c = GetParam();
    t.emu.SetANSIMode(c.ansi);
    t.emu.CursorKeyAppMode = c.cursorApp;
    t.emu.KeypadAppMode = c.keypadApp;
    t.b().UseNewLineMode = c.newLine;
    t.emu.KeyboardMap().Add("VK_HOME", "DEC_PF1k");
    uint16_t key = c.key;
    t.emu.KeyDown(key, TShiftState(c.shift));
    EXPECT_EQ(t.host.keyboard, c.sent);
    EXPECT_EQ(key, c.sent.empty() ? c.key : 0);
}

constexpr uint8_t Shift = 1u << ssShift, Ctrl = 1u << ssCtrl;
const KeyCase KeyCases[] = {
    {"UpAnsi", VK_UP, 0, true, false, false, false, E + "[A"},
    {"UpApplication", VK_UP, 0, true, true, false, false, E + "OA"},
    {"UpVt52", VK_UP, 0, false, true, false, false, E + "A"},
    {"ShiftUpUnknown", VK_UP, Shift, true, false, false, false, ""},
    {"F1Ansi", VK_F1, 0, true, false, false, false, E + "OP"},
    {"F4Vt52", VK_F1 + 3, 0, false, false, false, false, E + "S"},
    {"NumLockIsPf1", VK_NUMLOCK, 0, true, false, true, false, E + "OP"},
    {"HomeIsPf1Vt52", VK_HOME, 0, false, false, false, false, E + "P"},
    {"Keypad5Numeric", 0x65, 0, true, false, false, false, "5"},
    {"Keypad5Application", 0x65, 0, true, false, true, false, E + "Ou"},
    {"Keypad5Vt52Application", 0x65, 0, false, false, true, false, E + "?u"},
    {"KeypadComma", VK_DECIMAL, Ctrl, true, false, false, false, ","},
    {"KeypadEnterNumeric", VK_EXECUTE, 0, true, false, false, false, "\r"},
    {"KeypadEnterNewLine", VK_EXECUTE, 0, true, false, false, true, "\r\n"},
    {"KeypadEnterApplication", VK_EXECUTE, 0, true, false, true, false, E + "OM"},
    {"BackspaceIsDelete", VK_BACK, 0, true, false, false, false, "\x7f"},
    {"ShiftBackspace", VK_BACK, Shift, true, false, false, false, "\b"},
    {"ShiftReturn", VK_RETURN, Shift, true, false, false, false, "\n"},
    {"ReturnToCharacterPath", VK_RETURN, 0, true, false, false, false, ""},
    {"CtrlSpaceIsNul", VK_SPACE, Ctrl, true, false, false, false, std::string(1, '\0')},
    {"LetterToCharacterPath", 'A', 0, true, false, false, false, ""},
    {"UnknownCode", 0x3A, 0, true, false, false, false, ""},
};

INSTANTIATE_TEST_SUITE_P(QnVT100Emulator, Keys, testing::ValuesIn(KeyCases),
                         [](const testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(QnVT100Emulator, KeyTextEscapes) {
    struct Row {
        const char* text;
        std::string sent;
        std::string echoed;
    };
    const Row rows[] = {
        {"\\e[5~", E + "[5~", ""},
        {"ab\\x41", "abA", "abA"},
        {"\\x1Bq", E + "q", ""},
        {"\\xZZ", "?", "?"},
        {"a\\x4", "a\\x4", "a\\x4"},  // cut short at the end: sent as it stands
        {"\\q", "\\q", "\\q"},
        {"\\", "\\", "\\"},
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

TEST(QnVT100Emulator, RepeatedKeysFollowAutoRepeat) {
    Vt100 t;
    uint16_t key = VK_UP | 0x8000;
    t.emu.KeyDown(key, TShiftState());
    EXPECT_EQ(t.host.keyboard, E + "[A");
    EXPECT_EQ(key, 0);
    t.host.keyboard.clear();
    t.emu.AutoRepeat = false;
    key = 'A' | 0x8000;
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

TEST(QnVT100Emulator, ClearScreenKeepsTextInScrollback) {
    Vt100 t;
    t.Feed("first");
    t.emu.ClearScreen();
    EXPECT_EQ(t.Line(1), "");
    EXPECT_EQ(t.Line(-23), "first");
    t.emu.ClearAll();
    EXPECT_EQ(t.Line(-23), "");
}

}  // namespace
