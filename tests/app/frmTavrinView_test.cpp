// The console View actions offscreen: the TTY display settings dialog and
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

struct RowsCase {
    int Given;
    int Shown;
};

class DisplayRows : public ViewActions, public ::testing::WithParamInterface<RowsCase> {};

TEST_P(DisplayRows, AreClampedByTheDialog)
{
    TTTYDisplaySettingsDlg& dlg = *W->TTYDisplaySettingsDlg;
    dlg.SetSettings(1, 2, GetParam().Given, 3);
    uint32_t bg = 0, font = 0, cursor = 0;
    int rows = 0;
    dlg.GetSettings(bg, font, rows, cursor);
    EXPECT_EQ(rows, GetParam().Shown);
    EXPECT_EQ(std::tie(bg, font, cursor), std::make_tuple(1u, 2u, 3u));
}

INSTANTIATE_TEST_SUITE_P(View, DisplayRows,
                         ::testing::Values(RowsCase{2, 4}, RowsCase{4, 4}, RowsCase{77, 77}, RowsCase{500, 200}));

TEST_F(ViewActions, ASwatchTakesOnlyAConfirmedColour)
{
    TTTYDisplaySettingsDlg& dlg = *W->TTYDisplaySettingsDlg;
    dlg.SetSettings(0x111111, 0x222222, 50, 0x333333);
    H.Prompts.ColorAnswers = {std::nullopt, 0x00FF00u};
    dlg.BGColorBtn->click();
    dlg.CursorColorBtn->click();
    uint32_t bg = 0, font = 0, cursor = 0;
    int rows = 0;
    dlg.GetSettings(bg, font, rows, cursor);
    EXPECT_EQ(bg, 0x111111u) << "cancelled";
    EXPECT_EQ(cursor, 0x00FF00u);
    EXPECT_EQ(H.Prompts.ColorsShown, (std::vector<uint32_t>{0x111111, 0x333333})) << "each starts from its swatch";
}

TEST_F(ViewActions, TtyDisplayOkAppliesAndCancelChangesNothing)
{
    TSimpleTerminal& t = *W->SimpleTerminal1;
    for (char c : std::string("r0\r\nr1\r\nr2\r\nr3\r\nr4"))
        t.WriteChar(static_cast<uint8_t>(c));
    const int before = t.Rows();
    H.Prompts.ColorAnswers = {0x0000FFu, 0x0000FFu};
    RunTtyDisplayAction(false, 4);
    EXPECT_EQ(t.Rows(), before);
    EXPECT_NE(t.LowVideoFontColor(), 0x0000FFu);

    RunTtyDisplayAction(true, 4);
    EXPECT_EQ(t.Rows(), 4);
    EXPECT_EQ(t.LowVideoFontColor(), 0x0000FFu);
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

TEST_F(ViewActions, FontDialogsChangeTheConsoleFontOnlyWhenConfirmed)
{
    H.Prompts.FontAnswers = {std::nullopt, std::nullopt, TFontChoice{"DejaVu Sans Mono", 14, false, false},
                             TFontChoice{"DejaVu Sans Mono", 11, false, false}};
    W->SetCrtFont->trigger();
    W->SetTttyFont->trigger();
    EXPECT_EQ(W->CrtFontName(), "Terminal");
    EXPECT_EQ(W->SimpleTerminal1->FontName(), "Terminal");
    W->SetCrtFont->trigger();
    W->SetTttyFont->trigger();
    EXPECT_EQ(W->CrtFontName(), "DejaVu Sans Mono");
    EXPECT_EQ(W->CrtFontSize(), 14);
    EXPECT_EQ(W->SimpleTerminal1->FontSize(), 11);
    ASSERT_EQ(H.Prompts.FontsShown.size(), 4u);
    EXPECT_EQ(H.Prompts.FontsShown[0].Family, "Terminal");
    EXPECT_EQ(H.Prompts.FontsShown[0].PointSize, 9);
}

} // namespace
