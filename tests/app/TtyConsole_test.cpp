// The TTY console on a machine and a terminal of its own: what port 11h
// bytes do to the terminal (text, commands, a cursor taken off brought back
// by screen work only, a clear that forgets a half sequence), typed and
// mapped keys on their way to the TTY keyboard, the display values, and the
// machine letting go of the console when it goes.

#include "WindowTestSupport.h"

#include <QImage>

#include "support/TerminalText.h"

using namespace tavrin::test;
using namespace std::string_literals;

namespace {

// Windows colour values (00BBGGRRh).
constexpr TColor Red = 0x0000FF;

struct TTtyHarness {
    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TTavrinMachine Machine{Temp.Folder()};
    TSimpleTerminal Terminal;
    std::unique_ptr<TTtyConsole> Console = std::make_unique<TTtyConsole>(Machine, Terminal);

    TTtyHarness() {
        Terminal.resize(640, 400);
        Terminal.SetCursorColor(Red);
    }
    // Bytes written to port 11h by the CPU.
    void Out(const std::string& bytes) {
        for (char c : bytes) OutPort(Machine, 0x11, static_cast<uint8_t>(c));
    }
    std::string Row(int row) const { return TerminalRow(Terminal, row); }
    // Whether the terminal paints its cursor bar.
    bool CursorPainted() {
        const QImage image = Terminal.grab().toImage();
        const QColor bar = ToQColor(Red);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == bar) return true;
        return false;
    }
};

TEST(TtyConsoleAlone, PortBytesReachTheTerminalThroughTheParser) {
    const struct {
        const char* Name;
        std::string Output;
        std::vector<std::string> Rows;  // from row 0
    } cases[] = {
        {"text", "ab\r\ncd", {"ab", "cd"}},
        {"command",
         "ab\x1B"
         "Cp\x01\x01"
         "X"s,
         {"ab", " X"}},
        {"screen command", "abc\r\nxyz\x1BSc", {"", ""}},
        {"unknown sequence replayed as text", "\x1BSq!", {"Sq!"}},
        {"attributes only", "\x1BSh\x1BSlL", {"L"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTtyHarness h;
        h.Out(c.Output);
        for (size_t r = 0; r < c.Rows.size(); ++r) EXPECT_EQ(h.Row(static_cast<int>(r)), c.Rows[r]) << r;
    }
}

// The commands work on the grid directly: those that change the screen or
// move the cursor show a cursor taken off, as the terminal's own operations
// do; attribute changes leave it off.
TEST(TtyConsoleAlone, ScreenWorkBringsBackACursorTakenOff) {
    const struct {
        const char* Name;
        std::string Output;
        bool Shown;
    } cases[] = {
        {"clear screen", "\x1BSc", true},
        {"cursor position",
         "\x1B"
         "Cp\x03\x02"s,
         true},
        {"insert line", "\x1BLi", true},
        {"high video", "\x1BSh", false},
        {"low video", "\x1BSl", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTtyHarness h;
        ASSERT_TRUE(h.CursorPainted());
        h.Terminal.HideCursor();
        ASSERT_FALSE(h.CursorPainted());
        h.Out(c.Output);
        EXPECT_EQ(h.CursorPainted(), c.Shown);
    }
}

TEST(TtyConsoleAlone, ClearEmptiesTheScreenAndForgetsAHalfSequence) {
    TTtyHarness h;
    h.Out(
        "abc\r\ndef\x1B"
        "C");
    h.Console->Clear();
    EXPECT_EQ(h.Row(0) + h.Row(1), "");
    EXPECT_EQ(std::make_pair(h.Terminal.CursorColumn(), h.Terminal.CursorRow()), std::make_pair(0, 0));
    h.Out("p!");
    EXPECT_EQ(h.Row(0), "p!") << "taken as text, not as the rest of the sequence";
}

// Typed keys go to the TTY keyboard alone: characters as typed, mapped keys
// as their bytes instead of any character.
TEST(TtyConsoleAlone, TypedKeysQueueOnTheTtyKeyboardThroughTheKeyMap) {
    const struct {
        const char* Name;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        std::string Queued;
    } cases[] = {
        {"a character", Qt::Key_Q, Qt::NoModifier, "q"},
        {"a mapped key", Qt::Key_Up, Qt::NoModifier, "\x1B[A"},
        {"a mapped key types no character", Qt::Key_Backspace, Qt::NoModifier, "DEL"},
        {"a state without a mapping types its character", Qt::Key_Backspace, Qt::ShiftModifier, "\x08"},
        {"a mapping without bytes swallows the key", Qt::Key_Insert, Qt::ShiftModifier, ""},
        {"an unmapped function key", Qt::Key_F1, Qt::NoModifier, ""},
    };
    TTtyHarness h;
    TMapTermKeys& keys = h.Console->KeyMap();
    keys.SetMapping(0, tksNormal, "^[[A");  // Up Arrow
    keys.SetMapping(8, tksNormal, "DEL");   // Backspace
    keys.SetMapping(10, tksShift, "^1");    // Insert: decodes to nothing
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QTest::keyClick(&h.Terminal, c.Key, c.Modifiers);
        EXPECT_EQ(Keys(h.Machine, 0x10, 0x11), c.Queued);
        EXPECT_EQ(h.Machine.KeysWaiting(TConsoleKeyboard::Crt), 0);
    }

    // Key ups: a mapped key is swallowed, any other passes on.
    const TShiftState none, shift = TShiftState().Include(ssShift);
    const struct {
        uint16_t Key;
        TShiftState Shift;
        bool Swallowed;
    } ups[] = {{VK_UP, none, true}, {VK_UP, shift, false}, {VK_INSERT, shift, true}, {'A', none, false}};
    for (const auto& c : ups) {
        SCOPED_TRACE(c.Key);
        uint16_t key = c.Key;
        h.Console->KeyUp(key, c.Shift);
        EXPECT_EQ(key, c.Swallowed ? 0 : c.Key);
    }
    EXPECT_EQ(h.Machine.KeysWaiting(TConsoleKeyboard::Tty), 0) << "key ups queue nothing";
}

TEST(TtyConsoleAlone, DisplaySettingsAreTheTerminalsOwn) {
    TTtyHarness h;
    const TTtyConsole::TDisplaySettings set{0x0000FFu, 0x00FF00u, 30, 0xFF0000u};
    h.Console->SetDisplaySettings(set);
    const TSimpleTerminal& t = h.Terminal;
    EXPECT_EQ((std::vector<uint32_t>{t.Color(), t.LowVideoFontColor(), uint32_t(t.Rows()), t.CursorColor()}),
              (std::vector<uint32_t>{0x0000FFu, 0x00FF00u, 30u, 0xFF0000u}));
    const TTtyConsole::TDisplaySettings got = h.Console->DisplaySettings();
    EXPECT_EQ((std::vector<uint32_t>{got.Background, got.FontColor, uint32_t(got.Rows), got.CursorColor}),
              (std::vector<uint32_t>{0x0000FFu, 0x00FF00u, 30u, 0xFF0000u}));
}

// Once the console is gone the machine writes to no console.
TEST(TtyConsoleAlone, TheMachineLetsGoOfTheConsoleWhenItGoes) {
    TTtyHarness h;
    h.Out("a");
    h.Console.reset();
    h.Out("b");
    EXPECT_EQ(h.Row(0), "a");
}

}  // namespace
