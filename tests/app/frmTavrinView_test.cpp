// The View menu's console actions, offscreen: 80 / 132 columns and clearing
// for the CRT and TTY consoles, the TTY display settings dialog, the CRT ANSI
// toggle, the two console font dialogs and the CRT's colours.

#include "console/core/QnTrmBuf.h"
#include "console/core/QnTrmVT100.h"
#include "console/TTYDisplayOptionsDlg.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

// The cursor column while 132 columns are on, and after switching back.
TEST_F(WindowTest, SwitchingCrt132OffKeepsTheCursorOnTheNarrowScreen) {
    const TQnTerminalBuffer& b = *W->Ui().QnVT100Emulator1->Buffer();
    for (auto [wide, narrow] : {std::pair{100, 79}, std::pair{80, 79}, std::pair{12, 12}}) {
        W->Ui().Crt132Act->trigger();
        EXPECT_EQ(W->Ui().QnTerminal1->Columns(), 132);
        PortOut(*W, 0x13, "\x1b[7;" + std::to_string(wide) + "H");
        W->Ui().Crt132Act->trigger();
        EXPECT_EQ(W->Ui().QnTerminal1->Columns(), 80);
        EXPECT_EQ(b.GetRow(), 7);
        EXPECT_EQ(b.GetCol(), narrow) << wide;
    }
}

TEST_F(WindowTest, ClearEmptiesScreenAndScrollbackAndForgetsHalfSequences) {
    for (int i = 0; i < 30; ++i) PortOut(*W, 0x13, "line\r\n");
    PortOut(*W, 0x13, "\x1b#6wide\x1b[1;31mred\x1b[?2l");
    TQnVT100Emulator& e = *W->Ui().QnVT100Emulator1;
    const TQnTerminalBuffer& b = *e.Buffer();
    W->Ui().ClearCrtAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row) ASSERT_EQ(H.CrtRow(row), "") << row;
    EXPECT_EQ(b.CursorScreenRow() * 100 + b.CursorScreenCol(), 101);
    EXPECT_EQ(e.LineAttrs().GetAttr(24), laNormal);
    EXPECT_EQ(b.ForeColor(), W->Ui().QnTerminal1->FontColor());
    EXPECT_EQ(b.BackColor(), W->Ui().QnTerminal1->Color());

    // The TTY's clear forgets a half-received sequence.
    PortOut(*W, 0x11,
            "old text\r\n\x1b"
            "C");
    W->Ui().ClearTTYAct->trigger();
    EXPECT_EQ(H.TtyText().find_first_not_of('\n'), std::string::npos);
    PortOut(*W, 0x11, "xy");
    EXPECT_EQ(H.TtyRow(0), "xy") << "the bytes after the clear are text, not a position";
}

TEST_F(WindowTest, TtyDisplayOkAppliesAndCancelChangesNothing) {
    // The user picks a font colour (answered by the prompts) and 4 rows, and
    // closes the dialog with OK or without.
    auto runAction = [this](bool ok) {
        TTTYDisplaySettingsDlg* dlg = W->Ui().TTYDisplaySettingsDlg;
        QTimer::singleShot(0, dlg, [dlg, ok] {
            dlg->FontColorBtn->click();
            dlg->DisplayRowsSpin->setValue(4);
            ok ? dlg->OkBtn->click() : dlg->reject();
        });
        W->Ui().TTYDisplaySettingsAct->trigger();
    };
    TSimpleTerminal& t = *W->Ui().SimpleTerminal1;
    PortOut(*W, 0x11, "r0\r\nr1\r\nr2\r\nr3\r\nr4");
    const int before = t.Rows();
    H.Prompts.ColorAnswers = {0x0000FFu, std::nullopt, 0x0000FFu};
    runAction(false);
    const uint32_t bg = t.Color();
    QTimer::singleShot(0, W->Ui().TTYDisplaySettingsDlg,
                       [this] { W->Ui().TTYDisplaySettingsDlg->BGColorBtn->click(); });
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
        W->Ui().TTYDisplaySettingsDlg->SetSettings(1, 2, given, 3);
        EXPECT_EQ(W->Ui().TTYDisplaySettingsDlg->DisplayRowsSpin->value(), shown) << given;
    }
}

TEST_F(WindowTest, CrtAnsiTwiceReturnsTheModeAndFollowsTheEmulator) {
    TQnVT100Emulator& e = *W->Ui().QnVT100Emulator1;
    W->UpdateAllActions();
    EXPECT_TRUE(W->Ui().CrtAnsiAct->isChecked());
    W->Ui().CrtAnsiAct->trigger();
    EXPECT_FALSE(e.ANSIMode());
    EXPECT_FALSE(W->Ui().CrtAnsiAct->isChecked());
    W->Ui().CrtAnsiAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    e.SetANSIMode(false);
    W->UpdateAllActions();
    EXPECT_FALSE(W->Ui().CrtAnsiAct->isChecked());
}

// A confirmed choice is applied and kept over a restart (the settings file
// tests); a cancelled one changes nothing.
TEST_F(WindowTest, CancelledFontDialogsLeaveTheConsoleFonts) {
    W->Ui().SetCrtFont->trigger();
    W->Ui().SetTttyFont->trigger();
    EXPECT_EQ(std::make_pair(W->CrtConsole().FontName(), W->CrtConsole().FontSize()),
              std::make_pair(std::string("Terminal"), 9));
    EXPECT_EQ(W->Ui().SimpleTerminal1->FontName(), "Terminal");
    ASSERT_EQ(H.Prompts.FontsShown.size(), 2u);
}

// Each font dialog opens on the font its console is drawn with (a stand-in
// for a face that is not installed), in its style, and a confirmed bold or
// italic choice is kept.
TEST_F(WindowTest, FontDialogsOpenOnTheFontInUseAndKeepItsStyle) {
    const struct {
        const char* Name;
        QAction* Act;
        std::function<QFont()> Font;
    } consoles[] = {{"CRT", W->Ui().SetCrtFont, [this] { return W->Ui().QnTerminal1->font(); }},
                    {"TTY", W->Ui().SetTttyFont, [this] { return W->Ui().SimpleTerminal1->TerminalFont(); }}};
    const TFontChoice choices[] = {{"DejaVu Sans Mono", 11, true, false},
                                   {"DejaVu Sans Mono", 10, false, true},
                                   {"DejaVu Sans Mono", 12, true, true},
                                   {"DejaVu Sans Mono", 9, false, false}};
    for (const auto& console : consoles) {
        SCOPED_TRACE(console.Name);
        console.Act->trigger();
        const TFontChoice first = H.Prompts.FontsShown.back();
        EXPECT_EQ(first.Family, QFontInfo(console.Font()).family().toStdString());
        EXPECT_NE(first.Family, "Terminal") << "not installed here";
        EXPECT_EQ(first.PointSize, 9);
        EXPECT_FALSE(first.Bold || first.Italic);
        for (const TFontChoice& choice : choices) {
            H.Prompts.FontAnswers = {choice};
            console.Act->trigger();
            EXPECT_EQ(console.Font().bold(), choice.Bold) << choice.PointSize;
            EXPECT_EQ(console.Font().italic(), choice.Italic) << choice.PointSize;
            console.Act->trigger();  // cancelled
            const TFontChoice shown = H.Prompts.FontsShown.back();
            EXPECT_EQ(std::make_tuple(shown.Family, shown.PointSize, shown.Bold, shown.Italic),
                      std::make_tuple(choice.Family, choice.PointSize, choice.Bold, choice.Italic));
        }
    }
}

// Text on the CRT is the terminal's green on black from the start: after
// the attributes' reset, a terminal reset, "Clear CRT Display" and a boot,
// and in a window started with saved CRT settings as well.
TEST(CrtColorsTest, TextShowsTheTerminalColoursThroughoutAWindowsLife) {
    // Cells with text whose colours are not the terminal's, as row:column.
    auto offColour = [](TMainHalvoret& w) {
        const TQnTerminal& t = *w.Ui().QnTerminal1;
        const TQnTerminalBuffer& b = *w.Ui().QnVT100Emulator1->Buffer();
        std::string off;
        for (int row = 1; row <= b.RowCount(); ++row) {
            const char* text = b.GetLineCharPtr(row);
            const TColor* fore = b.GetLineForeColorPtr(row);
            const TColor* back = b.GetLineBackColorPtr(row);
            for (int col = 0; col < b.ColCount(); ++col)
                if (text[col] != ' ' && text[col] != '\0' && (fore[col] != t.FontColor() || back[col] != t.Color()))
                    off += std::to_string(row) + ":" + std::to_string(col + 1) + " ";
        }
        return off;
    };
    for (bool savedSettings : {false, true}) {
        SCOPED_TRACE(savedSettings);
        TWindowHarness h;
        if (savedSettings)
            h.WriteSettings({{"CRT", "CrtAnsi", "0"},
                             {"CRT", "Crt132", "1"},
                             {"CRT", "FontFace", "DejaVu Sans Mono"},
                             {"CRT", "FontSize", "11"}});
        TMainHalvoret& w = h.Open();
        w.FormActivate();
        const std::pair<const char*, std::function<void()>> steps[] = {
            {"start", [&] { PortOut(w, 0x13, "started\r\n"); }},
            {"SGR 0", [&] { PortOut(w, 0x13, "\x1b[31m\x1b[0mplain\r\n\x1b[1;44m\x1b[mplain again\r\n"); }},
            {"reset",
             [&] {
                 PortOut(w, 0x13,
                         "\x1b"
                         "cafter a reset\r\n");
             }},
            {"clear",
             [&] {
                 w.Ui().ClearCrtAct->trigger();
                 PortOut(w, 0x13, "after a clear\r\n");
             }},
            {"boot",
             [&] {
                 w.Ui().ResetCPMAct->trigger();
                 ASSERT_TRUE(h.RunUntilCrt("Tavrin example system")) << h.CrtText();
             }},
        };
        for (const auto& [name, step] : steps) {
            step();
            EXPECT_NE(h.CrtText().find_first_not_of(" \n"), std::string::npos) << name;
            EXPECT_EQ(offColour(w), "") << name;
        }
    }
}

}  // namespace
