// The View menu's console actions: column widths and clearing of the CRT
// and TTY consoles, the CRT's ANSI mode, the two console fonts and the TTY
// display settings.
#include <QAction>

#include "app/frmTavrin.h"
#include "app/CrtConsole.h"
#include "app/TtyConsole.h"
#include "console/SimpleTerminal.h"
#include "console/TTYDisplayOptionsDlg.h"
#include "platform/QtUiPrompts.h"

#include <optional>

void TMainHalvoret::Crt132ActExecute() { FCrtConsole->Set132Columns(Crt132Act->isChecked()); }

void TMainHalvoret::TTY132ActExecute() { SimpleTerminal1->SetColumns(TTY132Act->isChecked() ? 132 : 80); }

void TMainHalvoret::ClearCrtActExecute() { FCrtConsole->Clear(); }

void TMainHalvoret::ClearTTYActExecute() { FTtyConsole->Clear(); }

void TMainHalvoret::SetCrtFontExecute() { FCrtConsole->ChooseFont(); }

void TMainHalvoret::CrtAnsiActUpdate(QAction& action) {
    const std::optional<bool> ansi = FCrtConsole->AnsiMode();
    action.setEnabled(ansi.has_value());
    action.setChecked(ansi.value_or(false));
}

// The action has flipped its checked state before this runs.
void TMainHalvoret::CrtAnsiActExecute() {
    const std::optional<bool> ansi = FCrtConsole->AnsiMode();
    if (!ansi) return;
    FCrtConsole->SetAnsiMode(!*ansi);
    CrtAnsiAct->setChecked(FCrtConsole->AnsiMode().value_or(false));
}

void TMainHalvoret::SetTttyFontExecute() {
    TSimpleTerminal& t = *SimpleTerminal1;
    TFontChoice font = FontChoiceInUse(t.TerminalFont(), t.FontSize());
    if (FPrompts->ChooseFont(font, true)) t.SetFontNameAndSize(font.Family, font.PointSize, font.Bold, font.Italic);
}

void TMainHalvoret::TTYDisplaySettingsActExecute() {
    TTtyConsole::TDisplaySettings tty = FTtyConsole->DisplaySettings();
    TTYDisplaySettingsDlg->SetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    if (TTYDisplaySettingsDlg->exec() != QDialog::Accepted) return;
    TTYDisplaySettingsDlg->GetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    FTtyConsole->SetDisplaySettings(tty);
}
