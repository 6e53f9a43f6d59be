// The CRT console on its own: a terminal window and a machine, the user
// played by scripted prompts. The terminal as the form sets it up, port 13h
// output and the keyboard through the machine, the View menu's width, clear,
// ANSI mode and font, and a console whose emulator would not come up.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>

#include <memory>
#include <stdexcept>
#include <string>

#include "app/CrtConsole.h"
#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "machine/MachinePortNumbers.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/MachineTestSupport.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"
#include "support/TerminalText.h"

using namespace tavrin::test;

namespace {

class CrtConsoleTest : public ::testing::Test {
protected:
    void Open(TCrtConsole::TEmulatorFactory makeEmulator = {}) {
        Crt = std::make_unique<TCrtConsole>(Machine, Terminal, Prompts, std::move(makeEmulator));
    }
    // Row r (1-based) of the screen the terminal shows, whatever emulator it runs.
    std::string Row(int row) const { return BufferRow(*Terminal.CurrentEmulator()->Buffer(), row); }
    void Write(const std::string& bytes) {
        for (char c : bytes) OutPort(Machine, MachinePort::CrtData, static_cast<uint8_t>(c));
        QApplication::processEvents();
    }
    TQnTerminalBuffer& Buffer() { return *Crt->Emulator()->Buffer(); }

    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    TQnTerminal Terminal;
    std::unique_ptr<TCrtConsole> Crt;
};

TEST_F(CrtConsoleTest, StartsAsTheFormSetsItUp) {
    Open();
    QApplication::processEvents();
    ASSERT_NE(Crt->Emulator(), nullptr);
    EXPECT_EQ(Crt->AnsiMode(), std::optional<bool>(true));
    EXPECT_EQ(Terminal.Color(), QnBlack);
    EXPECT_EQ(Terminal.FontColor(), 0x00FF00u) << "lime";
    EXPECT_EQ(Crt->FontName(), "Terminal");
    EXPECT_EQ(Crt->FontSize(), 9);
    EXPECT_EQ(Buffer().ForeColor(), Terminal.FontColor()) << "the text shows the terminal's colours";
    EXPECT_TRUE(Prompts.Log.empty());
}

TEST_F(CrtConsoleTest, PortOutputIsShownAndKeysGoToTheCrtQueue) {
    Open();
    Write("READY\r\n");
    EXPECT_EQ(Row(1), "READY");
    for (char c : std::string("dir\r")) Crt->KeyboardData(c);
    EXPECT_EQ(Machine.KeysWaiting(TConsoleKeyboard::Crt), 4);
    EXPECT_EQ(Machine.KeysWaiting(TConsoleKeyboard::Tty), 0);
}

struct TNarrowCase {
    const char* name;
    int Column;  // before the switch back to 80 columns
    int Expected;
};
TAVRIN_PRINT_AS_NAME(TNarrowCase)

class CrtConsoleNarrowing : public CrtConsoleTest, public ::testing::WithParamInterface<TNarrowCase> {};

// The cursor keeps its row; a column the narrow screen lacks becomes 79.
TEST_P(CrtConsoleNarrowing, KeepsTheCursorOnTheScreen) {
    Open();
    Crt->Set132Columns(true);
    EXPECT_EQ(Buffer().ColCount(), 132);
    Buffer().SetCursorPosition(5, GetParam().Column);
    Crt->Set132Columns(false);
    EXPECT_EQ(Buffer().ColCount(), 80);
    EXPECT_EQ(Buffer().GetRow(), 5);
    EXPECT_EQ(Buffer().GetCol(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Columns, CrtConsoleNarrowing,
                         ::testing::Values(TNarrowCase{"Column100", 100, 79}, TNarrowCase{"Column80", 80, 79},
                                           TNarrowCase{"Column79", 79, 79}, TNarrowCase{"Column40", 40, 40}),
                         RowName);

TEST_F(CrtConsoleTest, ClearErasesTheScreenAndReturnsToAnsi) {
    Open();
    Write("one\r\ntwo");
    Crt->SetAnsiMode(false);
    EXPECT_EQ(Crt->AnsiMode(), std::optional<bool>(false));
    Crt->Clear();
    QApplication::processEvents();
    EXPECT_EQ(Crt->AnsiMode(), std::optional<bool>(true));
    EXPECT_EQ(Row(1) + Row(2), "");
    EXPECT_EQ(std::make_pair(Buffer().GetRow(), Buffer().GetCol()), std::make_pair(1, 1));
}

// The dialog opens on the family that draws the terminal; a cancel keeps
// the font, a confirmed choice is applied with its style.
TEST_F(CrtConsoleTest, TheFontDialogAppliesOnlyAConfirmedChoice) {
    Open();
    const std::string drawn = QFontInfo(Terminal.font()).family().toStdString();
    Crt->ChooseFont();
    ASSERT_EQ(Prompts.FontsShown.size(), 1u);
    EXPECT_EQ(Prompts.FontsShown[0].Family, drawn);
    EXPECT_EQ(Prompts.FontsShown[0].PointSize, 9);
    EXPECT_EQ(std::make_pair(Crt->FontName(), Crt->FontSize()), std::make_pair(std::string("Terminal"), 9));

    Prompts.FontAnswers = {TFontChoice{"DejaVu Sans Mono", 12, true, false}};
    Crt->ChooseFont();
    EXPECT_EQ(std::make_pair(Crt->FontName(), Crt->FontSize()), std::make_pair(std::string("DejaVu Sans Mono"), 12));
    EXPECT_TRUE(Terminal.font().bold());
    EXPECT_FALSE(Terminal.font().italic());
}

TEST_F(CrtConsoleTest, FontSizesStayBetween1And200Points) {
    Open();
    const std::pair<int, int> sizes[] = {{0, 1}, {-5, 1}, {1, 1}, {200, 200}, {500, 200}};
    for (const auto& [asked, kept] : sizes) {
        Crt->SetFontNameAndSize("DejaVu Sans Mono", asked);
        EXPECT_EQ(Crt->FontSize(), kept) << asked;
    }
}

// The terminal keeps its own teletype emulator: output still shows, the
// reason is shown once the event loop runs, and the emulator's work does
// nothing.
TEST_F(CrtConsoleTest, WithoutItsEmulatorTheConsoleSaysWhyAndStillShowsOutput) {
    Open([]() -> std::unique_ptr<TQnVT100Emulator> { throw std::runtime_error("No VT100 emulator here."); });
    EXPECT_EQ(Crt->Emulator(), nullptr);
    EXPECT_TRUE(Prompts.Log.empty()) << "not before the window is up";
    QApplication::processEvents();
    ASSERT_EQ(Prompts.Log.size(), 1u);
    EXPECT_EQ(Prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
    EXPECT_EQ(Prompts.Log[0].Text, "No VT100 emulator here.");

    EXPECT_EQ(Crt->AnsiMode(), std::nullopt);
    Crt->SetAnsiMode(false);
    Crt->Set132Columns(true);
    Crt->Clear();
    Write("plain");
    EXPECT_EQ(Row(1), "plain");
}

// Port 13h output after the console has gone reaches nothing.
TEST_F(CrtConsoleTest, OnceItGoesTheMachineNoLongerWritesToIt) {
    Open();
    Crt.reset();
    Write("lost");
    EXPECT_EQ(Row(1), "");
}

}  // namespace
