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

}  // namespace
