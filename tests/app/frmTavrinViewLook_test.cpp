// How the consoles look, offscreen: the TTY display settings dialog and
// action, the CRT ANSI toggle and the two console font dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "console/QnTrmVT100.h"
#include "console/TTYDisplayOptionsDlg.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

struct ViewActions : ::testing::Test {
    TWindowHarness H{false};
    TMainHalvoret* W = nullptr;
    void SetUp() override { W = &H.Open(); }

    // Runs the TTY display action: the user picks a font colour (answered
    // by the prompts) and rows, and closes the dialog with OK or without.
    void RunTtyDisplayAction(bool ok, int rows)
    {
        TTTYDisplaySettingsDlg* dlg = W->TTYDisplaySettingsDlg;
        QTimer::singleShot(0, dlg, [dlg, ok, rows] {
            dlg->FontColorBtn->click();
            dlg->DisplayRowsSpin->setValue(rows);
            ok ? dlg->OkBtn->click() : dlg->reject();
        });
        W->TTYDisplaySettingsAct->trigger();
    }
};

TEST_F(ViewActions, TheDialogClampsRows)
{
    TTTYDisplaySettingsDlg& dlg = *W->TTYDisplaySettingsDlg;
    for (auto [given, shown] : {std::pair{2, 4}, std::pair{77, 77}, std::pair{500, 200}}) {
        dlg.SetSettings(1, 2, given, 3);
        EXPECT_EQ(dlg.DisplayRowsSpin->value(), shown) << given;
    }
}

TEST_F(ViewActions, TtyDisplayOkAppliesAndCancelChangesNothing)
{
    TSimpleTerminal& t = *W->SimpleTerminal1;
    for (char c : std::string("r0\r\nr1\r\nr2\r\nr3\r\nr4"))
        t.WriteChar(static_cast<uint8_t>(c));
    const int before = t.Rows();
    H.Prompts.ColorAnswers = {0x0000FFu, std::nullopt, 0x0000FFu};
    RunTtyDisplayAction(false, 4);
    const uint32_t bg = t.Color();
    QTimer::singleShot(0, W->TTYDisplaySettingsDlg, [this] { W->TTYDisplaySettingsDlg->BGColorBtn->click(); });
    EXPECT_EQ(t.Rows(), before);
    EXPECT_NE(t.LowVideoFontColor(), 0x0000FFu);

    RunTtyDisplayAction(true, 4);
    EXPECT_EQ(t.Rows(), 4);
    EXPECT_EQ(t.LowVideoFontColor(), 0x0000FFu);
    EXPECT_EQ(t.Color(), bg) << "a cancelled colour dialog leaves its swatch";
    EXPECT_EQ(H.Prompts.ColorsShown.at(1), bg) << "the dialog starts from the swatch";
    EXPECT_EQ(H.TtyText(), "r0\nr1\nr2\nr3\n");
}

TEST_F(ViewActions, CrtAnsiTwiceReturnsTheModeAndFollowsTheEmulator)
{
    TQnVT100Emulator& e = *W->QnVT100Emulator1;
    ASSERT_TRUE(e.ANSIMode());
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
TEST_F(ViewActions, CancelledFontDialogsLeaveTheConsoleFonts)
{
    W->SetCrtFont->trigger();
    W->SetTttyFont->trigger();
    EXPECT_EQ(std::make_pair(W->CrtFontName(), W->CrtFontSize()), std::make_pair(std::string("Terminal"), 9));
    EXPECT_EQ(W->SimpleTerminal1->FontName(), "Terminal");
    EXPECT_EQ(H.Prompts.FontsShown.at(1).Family, "Terminal") << "each dialog starts from its console's font";
}

} // namespace
