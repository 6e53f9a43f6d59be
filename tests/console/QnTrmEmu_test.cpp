// Emulator base and teletype emulator on a fake terminal: control bytes,
// character routing, the generic commands, pairing and painting.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/QnTrmEmu.h"
#include "support/FakeTerminalHost.h"

namespace {

using FakeHost = tavrin::test::TFakeTerminalHost;

struct PaintedRun {
    int x, y;
    std::string text;
    TQnColor textColor, fill;
    TQnRect opaque;
};

class RecordingPainter : public TQnTerminalPainter {
public:
    TQnRect ClipBox() const override { return clip; }
    void FillRect(const TQnRect&, TQnColor) override {}
    void TextOut(int x, int y, const TQnRect& opaque, const char* glyphs, int count, int advance, TQnColor text,
                 TQnColor fill, const std::string&, bool) override {
        EXPECT_EQ(advance, 8);
        runs.push_back({x, y, std::string(glyphs, static_cast<size_t>(count)), text, fill, opaque});
    }
    void Line(int x1, int y1, int x2, int, TQnColor c) override { lines.push_back({x1, y1, x2, static_cast<int>(c)}); }

    TQnRect clip{0, 0, 640, 384};
    std::vector<PaintedRun> runs;
    std::vector<std::vector<int>> lines;
};

struct Attached {
    FakeHost host;
    TQnTTYEmulator emu;
    Attached() { emu.SetTerminal(&host); }
    ~Attached() { emu.SetTerminal(nullptr); }
    TQnTerminalBuffer& b() { return *emu.Buffer(); }
    void Feed(const std::string& s) {
        emu.ProcessBlock(reinterpret_cast<const uint8_t*>(s.data()), static_cast<int>(s.size()), csWriteChar);
    }
    std::string Line(int row) {
        std::string s = b().LineText(row);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
};

TEST(QnTTYEmulator, ControlBytes) {
    struct Case {
        const char* what;
        std::string input;
        int row, col;
        std::string line1, line2;
        int beeps;
    };
    const Case cases[] = {
        {"text", "abc", 1, 4, "abc", "", 0},
        {"CR returns", "abc\rX", 1, 2, "Xbc", "", 0},
        {"LF keeps the column", "ab\ncd", 2, 5, "ab", "  cd", 0},
        {"BS moves back", "abc\b\bX", 1, 3, "aXc", "", 0},
        {"BS at column 1 stays", "\bX", 1, 2, "X", "", 0},
        {"HT to the next stop", "a\tb", 1, 10, "a       b", "", 0},
        {"BEL beeps", "\a\a", 1, 1, "", "", 2},
        {"VT and FF do nothing", "a\x0b\x0c" "b", 1, 3, "ab", "", 0},
        {"other controls are dropped", std::string("a\x01\x1b\x00\x1f", 5) + "b", 1, 3, "ab", "", 0},
        {"high bytes are written", "\xC4\xB3\x7F", 1, 4, "\xC4\xB3\x7F", "", 0},
    };
    for (const Case& c : cases) {
        Attached t;
        t.Feed(c.input);
        EXPECT_EQ(t.b().GetRow(), c.row) << c.what;
        EXPECT_EQ(t.b().GetCol(), c.col) << c.what;
        EXPECT_EQ(t.Line(1), c.line1) << c.what;
        EXPECT_EQ(t.Line(2), c.line2) << c.what;
        EXPECT_EQ(t.host.beeps, c.beeps) << c.what;
    }
}

TEST(QnTTYEmulator, CursorMovesReachTheTerminal) {
    Attached t;
    t.Feed("ab\n");
    ASSERT_FALSE(t.host.moves.empty());
    EXPECT_EQ(t.host.moves.back(), (std::pair<int, int>{2, 3}));
    TQnRect r;
    while (t.b().GetInvalidRect(r)) {}
    EXPECT_TRUE(t.emu.NeedsUpdate());   // the cursor moved ...
    EXPECT_FALSE(t.emu.NeedsUpdate());  // ... and that flag was read and cleared
}

TEST(QnTerminalEmulator, SendCharRouting) {
    struct Case {
        const char* what;
        TQnCharSource source;
        bool echo, halfDuplex, portOpen;
        std::string keyboard, port, screen;
    };
    const Case cases[] = {
        {"typed key", csKeyboard, true, false, false, "k", "", ""},
        {"typed key, half duplex", csKeyboard, true, true, false, "k", "", "k"},
        {"no echo asked", csKeyboard, false, true, false, "k", "", ""},
        {"written, not typed", csWriteChar, true, false, false, "", "", ""},
        {"written, half duplex", csWriteChar, true, true, false, "", "", "k"},
        {"port open", csKeyboard, true, false, true, "k", "k", ""},
        {"from the port", csPort, false, false, true, "", "k", ""},
    };
    for (const Case& c : cases) {
        Attached t;
        t.host.halfDuplex = c.halfDuplex;
        t.host.portOpen = c.portOpen;
        t.emu.SendChar('k', c.echo, c.source);
        EXPECT_EQ(t.host.keyboard, c.keyboard) << c.what;
        EXPECT_EQ(t.host.port, c.port) << c.what;
        EXPECT_EQ(t.Line(1), c.screen) << c.what;
    }
    // KeyPress types through SendChar with echo.
    Attached t;
    t.host.halfDuplex = true;
    char key = 'z';
    t.emu.KeyPress(key);
    EXPECT_EQ(t.host.keyboard, "z");
    EXPECT_EQ(t.Line(1), "z");
    // Without a terminal nothing goes anywhere.
    TQnTTYEmulator lone;
    lone.SendChar('x', true, csKeyboard);
    EXPECT_EQ(lone.Buffer()->CharAt(1, 1), ' ');
}

TEST(QnTerminalEmulator, AttributeCommands) {
    struct Case {
        TQnCharAttrs before;
        std::vector<TQnEmuCommand> commands;
        TQnCharAttrs after;
    };
    const Case cases[] = {
        {atBold, {ecInvertBlink}, atBold | atBlink},
        {atBold, {ecInvertBlink, ecInvertBlink}, atBold},
        {atBold | atSelected, {ecRemoveAllAttrIgnoreSelect}, atSelected},
        {atBold | atUnderline, {ecRemoveAllAttrIgnoreSelect}, 0},
        {atBold | atSelected, {ecRemoveAllAttr}, 0},
        {atBold, {ecAddUnderLine}, atBold | atUnderline},
        {atBold | atBlink, {ecUnderlineOnly}, atUnderline},
        {atBold | atUnderline, {ecRemoveUnderline}, atBold},
        {0, {ecAddStrikethrough, ecAddReverse, ecAddInvisible}, atStrikethrough | atReverse | atInvisible},
        {atReverse, {ecInvertReverse}, 0},
        {atBold, {ecReverseOnly}, atReverse},
        {atInvisible, {ecRemoveInvisible, ecBoldOnly}, atBold},
        {atBold, {ecRemoveBold, ecInvertStrikethrough}, atStrikethrough},
        {atBlink, {ecBlinkOnly, ecRemoveBlink}, 0},
        {atBold, {ecInvisibleOnly}, atInvisible},
        {atBold, {ecAddSelected}, atBold | atSelected},
        {atBold | atSelected, {ecRemoveSelected}, atBold},
        {atBold, {ecSelectedOnly}, atSelected},
        {atBold, {ecInvertSelected}, atBold | atSelected},
        {atBold, {ecStrikethroughOnly}, atStrikethrough},
        {atBold | atReverse, {ecRemoveReverse}, atBold},
        {atBold, {ecSetCharAttr}, 0},
    };
    for (const Case& c : cases) {
        Attached t;
        t.b().SetCharAttrs(c.before);
        for (TQnEmuCommand cmd : c.commands) t.emu.ExecuteCommand(cmd, nullptr);
        EXPECT_EQ(t.b().GetCharAttrs(), c.after) << int(c.commands.front());
    }
    Attached t;
    TQnEmuCommandParams p;
    p.Add("Underline", "1");  // also position 0: Bold
    p.Add("Blink", "yes");
    p.Add("x", "true");  // position 2: Strikethrough
    t.emu.ExecuteCommand(ecSetCharAttr, &p);
    EXPECT_EQ(t.b().GetCharAttrs(), atBold | atUnderline | atBlink | atStrikethrough);
}

TEST(QnTerminalEmulator, CommandDefaults) {
    struct Case {
        const char* what;
        TQnEmuCommand command;
        std::function<void(Attached&)> check;
    };
    const Case cases[] = {
        {"cursor position without parameters homes", ecCursorPos,
         [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 1); EXPECT_EQ(t.b().GetCol(), 1); }},
        {"home", ecHome, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 1); EXPECT_EQ(t.b().GetCol(), 1); }},
        {"cursor down one, no scroll", ecCursorDown, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 6); }},
        {"cursor up one", ecCursorUp, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 4); }},
        {"cursor left one", ecCursorLeft, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 6); }},
        {"cursor right one", ecCursorRight, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 8); }},
        {"end of line", ecCursorEOL, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 80); }},
        {"start of line", ecCursorBOL, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 1); }},
        {"top", ecCursorTop, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 1); }},
        {"bottom", ecCursorBottom, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 24); }},
        {"delete one char", ecDeleteChars, [](Attached& t) { EXPECT_EQ(t.Line(5), "row5abdefg"); }},
        {"insert one char", ecInsertChars, [](Attached& t) { EXPECT_EQ(t.Line(5), "row5ab cdefg"); }},
        {"erase one char", ecEraseChars, [](Attached& t) { EXPECT_EQ(t.Line(5), "row5ab defg"); }},
        {"delete one line", ecDeleteLines, [](Attached& t) { EXPECT_EQ(t.Line(5), "row6"); }},
        {"insert one line", ecInsertLines, [](Attached& t) { EXPECT_EQ(t.Line(6), "row5abcdefg"); }},
        {"clear and home", ecClearAndHome,
         [](Attached& t) { EXPECT_EQ(t.Line(5), ""); EXPECT_EQ(t.Line(-19), "row5abcdefg"); EXPECT_EQ(t.b().GetRow(), 1); }},
        {"erase all", ecEraseAll, [](Attached& t) { EXPECT_EQ(t.Line(-19), ""); }},
        {"next line", ecNEL, [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 6); EXPECT_EQ(t.b().GetCol(), 1); }},
        {"alignment fills with E and keeps the fill", ecDECALN,
         [](Attached& t) {
             EXPECT_EQ(t.Line(1), std::string(80, 'E'));
             EXPECT_EQ(t.b().DefChar(), ' ');
             t.b().EraseLine();
             EXPECT_EQ(t.Line(5), "");
         }},
        {"back colour defaults to black and follows to the terminal", ecBackColor,
         [](Attached& t) { EXPECT_EQ(t.b().BackColor(), 0u); EXPECT_EQ(t.host.color, 0u); }},
        {"fore colour defaults to silver", ecForeColor,
         [](Attached& t) { EXPECT_EQ(t.b().ForeColor(), QnSilver); EXPECT_EQ(t.host.fontColor, QnSilver); }},
        {"cursor off", ecCursorOff, [](Attached& t) { EXPECT_EQ(t.host.cursorType, ctNone); }},
        {"cursor underline", ecCursorUnderline, [](Attached& t) { EXPECT_EQ(t.host.cursorType, ctUnderline); }},
        {"bell", ecBell, [](Attached& t) { EXPECT_EQ(t.host.beeps, 1); }},
        {"insert mode", ecInsertMode, [](Attached& t) { EXPECT_TRUE(t.b().UseInsertMode); }},
        {"no auto wrap", ecNoAutoWrap, [](Attached& t) { EXPECT_FALSE(t.b().UseAutoWrap); }},
        {"new line mode", ecNewLineMode, [](Attached& t) { EXPECT_TRUE(t.b().UseNewLineMode); }},
        {"no absolute addressing", ecNoAbsAddress, [](Attached& t) { EXPECT_FALSE(t.b().UseAbsAddress); }},
        {"no delayed wrap", ecNoAutoWrapDelay, [](Attached& t) { EXPECT_FALSE(t.b().UseAutoWrapDelay); }},
        {"region of one row: nothing", ecSetScrollRegion, [](Attached& t) { EXPECT_FALSE(t.b().UseScrollRegion()); }},
        {"reset", ecReset, [](Attached& t) { EXPECT_EQ(t.Line(5), ""); EXPECT_EQ(t.b().GetRow(), 1); }},
        {"write an empty string", ecWriteString, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 7); }},
        {"reports without a port go nowhere", ecDeviceStatusReport, [](Attached& t) { EXPECT_EQ(t.host.port, ""); }},
        {"no command", ecNone, [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 7); EXPECT_EQ(t.Line(5), "row5abcdefg"); }},
        {"beyond the vocabulary", static_cast<TQnEmuCommand>(97),
         [](Attached& t) { EXPECT_EQ(t.b().GetCol(), 7); EXPECT_EQ(t.Line(5), "row5abcdefg"); }},
        {"far beyond", static_cast<TQnEmuCommand>(255), [](Attached& t) { EXPECT_EQ(t.b().GetRow(), 5); }},
    };
    for (const Case& c : cases) {
        Attached t;
        t.host.color = 0x123456;
        t.host.fontColor = 0x654321;
        for (int r = 1; r <= 24; ++r) {
            t.b().SetCursorPosition(r, 1);
            t.b().WriteString("row" + std::to_string(r) + (r == 5 ? "abcdefg" : ""));
        }
        t.b().SetCursorPosition(5, 7);
        t.emu.ExecuteCommand(c.command, nullptr);
        SCOPED_TRACE(c.what);
        c.check(t);
    }
}

TEST(QnTerminalEmulator, CommandsWithParameters) {
    Attached t;
    TQnEmuCommandParams pos;
    pos.Add("Col", "7");
    pos.Add("Row", "3");
    t.emu.ExecuteCommand(ecCursorPos, &pos);
    EXPECT_EQ(t.b().GetRow(), 3);
    EXPECT_EQ(t.b().GetCol(), 7);

    // The host never positions into the scrollback.
    TQnEmuCommandParams far;
    far.Add("Row", "-50");
    far.Add("Col", "500");
    t.emu.ExecuteCommand(ecCursorPos, &far);
    EXPECT_EQ(t.b().GetRow(), 1);
    EXPECT_EQ(t.b().GetCol(), 80);

    TQnEmuCommandParams region;
    region.Add("Top", "4");
    region.Add("Bottom", "9");
    t.emu.ExecuteCommand(ecSetScrollRegion, &region);
    EXPECT_TRUE(t.b().UseScrollRegion());
    t.emu.ExecuteCommand(ecNoAbsAddress, nullptr);
    t.emu.ExecuteCommand(ecCursorBottom, nullptr);  // the region's bottom in origin mode
    EXPECT_EQ(t.b().CursorScreenRow(), 9);

    TQnEmuCommandParams colour;
    colour.Add("Fore", "$0000FF");
    colour.Add("Back", "0x00FF00");
    colour.Add("Persistent", "no");
    t.emu.ExecuteCommand(ecColor, &colour);
    EXPECT_EQ(t.b().ForeColor(), 0x0000FFu);
    EXPECT_EQ(t.b().BackColor(), 0x00FF00u);
    EXPECT_EQ(t.host.color, QnBlack);  // not persistent

    TQnEmuCommandParams move;
    move.Add("Wrap", "1");
    t.b().SetHostCursorPosition(2, 1);  // in origin mode: region row 2
    t.emu.ExecuteCommand(ecCursorLeft, &move);
    EXPECT_EQ(t.b().CursorScreenRow(), 4);
    EXPECT_EQ(t.b().CursorScreenCol(), 80);

    TQnEmuCommandParams text;
    text.Add("String", "hi");
    t.emu.ExecuteCommand(ecWriteString, &text);
    EXPECT_EQ(t.b().CharAt(5, 1), 'i');
}

TEST(QnTerminalEmulator, PortReplies) {
    struct Case { TQnEmuCommand command; const char* type; std::string reply; };
    const Case cases[] = {
        {ecDeviceAttributesReport, nullptr, "\x1b[?1;0c"},
        {ecDeviceAttributesReport, "52", "\x1b/Z"},
        {ecDeviceAttributesReport, "7", ""},
        {ecDeviceStatusReport, nullptr, "\x1b[0n"},
        {ecDeviceStatusReport, "6", "\x1b[3;12R"},
        {ecAnswerback, nullptr, "QUONterm"},
    };
    for (const Case& c : cases) {
        Attached t;
        t.host.portOpen = true;
        t.b().SetCursorPosition(3, 12);
        TQnEmuCommandParams p;
        if (c.type) p.Add("Type", c.type);
        t.emu.ExecuteCommand(c.command, &p);
        EXPECT_EQ(t.host.port, c.reply) << int(c.command);
    }
}

TEST(QnTerminalEmulator, SavedCursor) {
    Attached t;
    // Nothing saved: home with the default rendition.
    t.b().SetCursorPosition(9, 9);
    t.b().SetForeColor(0x0000FF);
    t.b().SetBackColor(0x00FF00);
    t.b().SetCharAttrs(atBold);
    t.emu.ExecuteCommand(ecRestoreCursorPos, nullptr);
    EXPECT_EQ(t.b().GetRow(), 1);
    EXPECT_EQ(t.b().GetCol(), 1);
    EXPECT_EQ(t.b().ForeColor(), QnSilver);
    EXPECT_EQ(t.b().BackColor(), QnBlack);
    EXPECT_EQ(t.b().GetCharAttrs(), 0);

    t.b().SetCursorPosition(7, 30);
    t.b().SetForeColor(0x0000FF);
    t.b().SetCharAttrs(atUnderline);
    t.b().SetCharSet(2);
    t.emu.ExecuteCommand(ecSaveCursorPos, nullptr);
    t.b().SetCursorPosition(20, 2);
    t.b().SetForeColor(0x111111);
    t.b().SetCharAttrs(0);
    t.b().SetCharSet(0);
    t.emu.ExecuteCommand(ecRestoreCursorPos, nullptr);
    EXPECT_EQ(t.b().GetRow(), 7);
    EXPECT_EQ(t.b().GetCol(), 30);
    EXPECT_EQ(t.b().ForeColor(), 0x0000FFu);
    EXPECT_EQ(t.b().GetCharAttrs(), atUnderline);
    EXPECT_EQ(t.b().CharSet(), 2);
    // A saved row that no longer exists is kept on the screen.
    t.b().SetRowCount(5);
    t.emu.ExecuteCommand(ecRestoreCursorPos, nullptr);
    EXPECT_EQ(t.b().GetRow(), 5);
}

TEST(QnTerminalEmulator, ProcessCharHook) {
    Attached t;
    std::vector<TQnCharSource> sources;
    t.emu.OnProcessChar = [&](TQnTerminalEmulator&, char ch, std::string& replace, TQnEmuCommandList& commands,
                              TQnCharSource source) {
        sources.push_back(source);
        if (ch == '*') {
            replace = "<>";
            commands.Add(ecAddBold);
        } else if (ch == '#') {
            replace.clear();
            TQnEmuCommandListItem& item = commands.Add(ecCursorPos);
            item.Params.Add("Row", "4");
            item.Params.Add("Col", "2");
        }
    };
    t.Feed("a*b#c");
    EXPECT_EQ(t.Line(1), "a<>b");
    EXPECT_EQ(t.Line(4), " c");
    EXPECT_EQ(t.b().AttrAt(1, 2), atBold);  // commands run before the replacement is written
    EXPECT_EQ(t.b().AttrAt(1, 1), 0);
    ASSERT_EQ(sources.size(), 5u);
    EXPECT_EQ(sources[0], csWriteChar);
}

TEST(QnTerminalEmulator, Pairing) {
    FakeHost host;
    auto first = std::make_unique<TQnTTYEmulator>();
    auto second = std::make_unique<TQnTTYEmulator>();
    AttachTerminalEmulator(&host, first.get());
    AttachTerminalEmulator(&host, second.get());  // keeps the first pair
    EXPECT_EQ(host.Emulator(), first.get());
    EXPECT_EQ(first->Terminal(), &host);
    EXPECT_EQ(second->Terminal(), nullptr);
    EXPECT_EQ(PairedEmulator(&host), first.get());

    second->SetTerminal(&host);  // takes the terminal over
    EXPECT_EQ(host.Emulator(), second.get());
    EXPECT_EQ(first->Terminal(), nullptr);
    EXPECT_EQ(PairedEmulator(&host), second.get());

    host.SetEmulator(first.get());  // from the terminal's side
    EXPECT_EQ(first->Terminal(), &host);
    EXPECT_EQ(second->Terminal(), nullptr);

    first.reset();  // destroying the emulator unpairs it
    EXPECT_EQ(host.Emulator(), nullptr);
    EXPECT_EQ(PairedEmulator(&host), nullptr);

    // A terminal's own emulator never pairs.
    FakeHost other;
    TQnTTYEmulator internal;
    internal.SetInternal(true);
    internal.SetTerminal(&other);
    EXPECT_EQ(internal.Terminal(), &other);
    EXPECT_EQ(other.Emulator(), nullptr);
    internal.SetTerminal(nullptr);
}

TEST(QnTTYEmulator, PaintsRunsOfEqualRendition) {
    Attached t;
    t.b().WriteString("ab");
    t.b().SetCharAttrs(atReverse);
    t.b().WriteString("cd");
    t.b().SetCharAttrs(atBold | atUnderline);
    t.b().SetForeColor(0x000080);
    t.b().WriteString("e");
    t.b().SetCharAttrs(atInvisible | atBold);
    t.b().WriteString("f");
    t.b().SetCharAttrs(atReverse | atSelected);
    t.b().WriteString("g");
    RecordingPainter p;
    t.emu.LazyPaint(p);
    std::vector<PaintedRun> row1;
    for (const PaintedRun& r : p.runs)
        if (r.y == 0) row1.push_back(r);
    ASSERT_GE(row1.size(), 6u);
    struct Expect { int x; std::string text; TQnColor textColor, fill; };
    const Expect expected[] = {
        {0, "ab", QnSilver, QnBlack},
        {16, "cd", QnBlack, QnSilver},        // reversed
        {32, "e", 0x8080FF, QnBlack},          // bold brightens the fore colour
        {40, "f", QnBlack, QnBlack},           // invisible: only the fill
        {48, "g", 0x000080, QnBlack},          // reverse and selection cancel out
    };
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(row1[i].x, expected[i].x) << i;
        EXPECT_EQ(row1[i].text, expected[i].text) << i;
        EXPECT_EQ(row1[i].textColor, expected[i].textColor) << i;
        EXPECT_EQ(row1[i].fill, expected[i].fill) << i;
        EXPECT_EQ(row1[i].opaque.Bottom - row1[i].opaque.Top, 16) << i;
    }
    ASSERT_EQ(p.lines.size(), 1u);  // the underline under "e"
    EXPECT_EQ(p.lines[0], (std::vector<int>{32, 14, 40, 0x8080FF}));
    // Drained: a second lazy paint draws nothing.
    RecordingPainter again;
    t.emu.LazyPaint(again);
    EXPECT_TRUE(again.runs.empty());
}

TEST(QnTTYEmulator, PaintsWideRowsAndFollowsTerminalColours) {
    Attached t;
    t.b().SetColCount(200);
    t.host.view.DrawCols = 200;
    t.b().WriteString(std::string(200, 'w'));
    RecordingPainter p;
    p.clip = {0, 0, 1600, 16};
    t.emu.Paint(p);
    ASSERT_EQ(p.runs.size(), 1u);
    EXPECT_EQ(p.runs[0].text, std::string(200, 'w'));

    // A terminal colour change is taken over by the buffer and repaints everything.
    t.host.color = 0x400000;
    t.host.fontColor = 0x00FFFF;
    RecordingPainter q;
    t.emu.LazyPaint(q);
    EXPECT_EQ(t.b().BackColor(), 0x400000u);
    EXPECT_EQ(t.b().DefForeColor(), 0x00FFFFu);
    int rows = 0;
    for (const PaintedRun& r : q.runs) {
        EXPECT_EQ(r.fill, 0x400000u);
        if (r.x == 0) ++rows;
    }
    EXPECT_EQ(rows, 24);

    // Rows outside the drawn view are never painted.
    t.host.view.DrawRows = 3;
    t.b().SetCursorPosition(10, 1);
    t.b().WriteString("hidden");
    RecordingPainter hidden;
    t.emu.LazyPaint(hidden);
    EXPECT_TRUE(hidden.runs.empty());
}

}  // namespace
