// The View menu's console actions, offscreen: 80 / 132 columns and clearing
// for the CRT and TTY consoles, the TTY display settings dialog, the CRT ANSI
// toggle and the two console font dialogs.

#include "console/QnTrmVT100.h"
#include "console/TTYDisplayOptionsDlg.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

// The cursor column while 132 columns are on, and after switching back.
TEST_F(WindowTest, SwitchingCrt132OffKeepsTheCursorOnTheNarrowScreen)
{
    const TQnTerminalBuffer& b = *W->QnVT100Emulator1->Buffer();
    for (auto [wide, narrow] : {std::pair{100, 79}, std::pair{80, 79}, std::pair{12, 12}}) {
        W->Crt132Act->trigger();
        EXPECT_EQ(W->QnTerminal1->Columns(), 132);
        PortOut(*W, 0x13, "\x1b[7;" + std::to_string(wide) + "H");
        W->Crt132Act->trigger();
        EXPECT_EQ(W->QnTerminal1->Columns(), 80);
        EXPECT_EQ(b.GetRow(), 7);
        EXPECT_EQ(b.GetCol(), narrow) << wide;
    }
}

TEST_F(WindowTest, ClearEmptiesScreenAndScrollbackAndForgetsHalfSequences)
{
    for (int i = 0; i < 30; ++i)
        PortOut(*W, 0x13, "line\r\n");
    PortOut(*W, 0x13, "\x1b#6wide\x1b[1;31mred\x1b[?2l");
    TQnVT100Emulator& e = *W->QnVT100Emulator1;
    const TQnTerminalBuffer& b = *e.Buffer();
    W->ClearCrtAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row)
        ASSERT_EQ(H.CrtRow(row), "") << row;
    EXPECT_EQ(b.CursorScreenRow() * 100 + b.CursorScreenCol(), 101);
    EXPECT_EQ(e.LineAttrs().GetAttr(24), laNormal);
    EXPECT_EQ(b.ForeColor(), W->QnTerminal1->FontColor());
    EXPECT_EQ(b.BackColor(), W->QnTerminal1->Color());

    // The TTY's clear forgets a half-received sequence.
    PortOut(*W, 0x11, "old text\r\n\x1b" "C");
    W->ClearTTYAct->trigger();
    EXPECT_EQ(H.TtyText().find_first_not_of('\n'), std::string::npos);
    PortOut(*W, 0x11, "xy");
    EXPECT_EQ(H.TtyRow(0), "xy") << "the bytes after the clear are text, not a position";
}

TEST_F(WindowTest, TtyDisplayOkAppliesAndCancelChangesNothing)
{
    // The user picks a font colour (answered by the prompts) and 4 rows, and
    // closes the dialog with OK or without.
    auto runAction = [this](bool ok) {
        TTTYDisplaySettingsDlg* dlg = W->TTYDisplaySettingsDlg;
        QTimer::singleShot(0, dlg, [dlg, ok] {
            dlg->FontColorBtn->click();
            dlg->DisplayRowsSpin->setValue(4);
            ok ? dlg->OkBtn->click() : dlg->reject();
        });
        W->TTYDisplaySettingsAct->trigger();
    };
    TSimpleTerminal& t = *W->SimpleTerminal1;
    PortOut(*W, 0x11, "r0\r\nr1\r\nr2\r\nr3\r\nr4");
    const int before = t.Rows();
    H.Prompts.ColorAnswers = {0x0000FFu, std::nullopt, 0x0000FFu};
    runAction(false);
    const uint32_t bg = t.Color();
    QTimer::singleShot(0, W->TTYDisplaySettingsDlg, [this] { W->TTYDisplaySettingsDlg->BGColorBtn->click(); });
    EXPECT_EQ(t.Rows(), before);
    EXPECT_NE(t.LowVideoFontColor(), 0x0000FFu);

    runAction(true);
    EXPECT_EQ(t.Rows(), 4);
    EXPECT_EQ(t.LowVideoFontColor(), 0x0000FFu);
    EXPECT_EQ(t.Color(), bg) << "a cancelled colour dialog leaves its swatch";
    EXPECT_EQ(H.Prompts.ColorsShown.at(1), bg) << "the dialog starts from the swatch";
    EXPECT_EQ(H.TtyText(), "r0\nr1\nr2\nr3\n");

    // The dialog clamps the rows it is given.
    for (auto [given, shown] : {std::pair{2, 4}, std::pair{77, 77}, std::pair{500, 200}}) {
        W->TTYDisplaySettingsDlg->SetSettings(1, 2, given, 3);
        EXPECT_EQ(W->TTYDisplaySettingsDlg->DisplayRowsSpin->value(), shown) << given;
    }
}

TEST_F(WindowTest, CrtAnsiTwiceReturnsTheModeAndFollowsTheEmulator)
{
    TQnVT100Emulator& e = *W->QnVT100Emulator1;
    W->UpdateAllActions();
    EXPECT_TRUE(W->CrtAnsiAct->isChecked());
    W->CrtAnsiAct->trigger();
    EXPECT_FALSE(e.ANSIMode());
    EXPECT_FALSE(W->CrtAnsiAct->isChecked());
    W->CrtAnsiAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    e.SetANSIMode(false);
    W->UpdateAllActions();
    EXPECT_FALSE(W->CrtAnsiAct->isChecked());
}

// A confirmed choice is applied and kept over a restart (the settings file
// tests); a cancelled one changes nothing.
TEST_F(WindowTest, CancelledFontDialogsLeaveTheConsoleFonts)
{
    W->SetCrtFont->trigger();
    W->SetTttyFont->trigger();
    EXPECT_EQ(std::make_pair(W->CrtFontName(), W->CrtFontSize()), std::make_pair(std::string("Terminal"), 9));
    EXPECT_EQ(W->SimpleTerminal1->FontName(), "Terminal");
    EXPECT_EQ(H.Prompts.FontsShown.at(1).Family, "Terminal") << "each dialog starts from its console's font";
}

} // namespace
