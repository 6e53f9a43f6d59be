// The View actions of the main window that set how the consoles look: the
// CRT and TTY fonts and the TTY display settings.

#include "app/frmTavrin.h"

#include "console/QnTerminal.h"
#include "console/QnTrmVT100.h"
#include "console/SimpleTerminal.h"
#include "console/TTYDisplayOptionsDlg.h"

#include <QAction>

#include <algorithm>

void TMainHalvoret::SetCrtFontExecute()
{
    TFontChoice font{FCrtFontName, FCrtFontSize, false, false};
    if (FPrompts->ChooseFont(font, true))
        SetCrtFontNameAndSize(font.Family, font.PointSize);
}

void TMainHalvoret::SetCrtFontNameAndSize(const std::string& name, int pointSize)
{
    FCrtFontName = name;
    FCrtFontSize = std::clamp(pointSize, 1, 200);
    // Sizes are points at 96 dots per inch, whatever the screen.
    QnTerminal1->SetTerminalFont(
        TQnCustomTerminal::TerminalFont(QString::fromStdString(FCrtFontName), (FCrtFontSize * 96 + 36) / 72));
}

void TMainHalvoret::CrtAnsiActUpdate(QAction& action)
{
    action.setEnabled(QnVT100Emulator1 != nullptr);
    action.setChecked(QnVT100Emulator1 && QnVT100Emulator1->ANSIMode());
}

// The action has flipped its checked state before this runs.
void TMainHalvoret::CrtAnsiActExecute()
{
    if (!QnVT100Emulator1)
        return;
    QnVT100Emulator1->SetANSIMode(!QnVT100Emulator1->ANSIMode());
    CrtAnsiAct->setChecked(QnVT100Emulator1->ANSIMode());
}

void TMainHalvoret::SetTttyFontExecute()
{
    TSimpleTerminal& t = *SimpleTerminal1;
    TFontChoice font{t.FontName(), t.FontSize(), false, false};
    if (FPrompts->ChooseFont(font, true))
        t.SetFontNameAndSize(font.Family, font.PointSize);
}

void TMainHalvoret::TTYDisplaySettingsActExecute()
{
    TTtyDisplaySettings tty = GetTtyDisplaySettings();
    TTYDisplaySettingsDlg->SetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    if (TTYDisplaySettingsDlg->exec() != QDialog::Accepted)
        return;
    TTYDisplaySettingsDlg->GetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    SetTtyDisplaySettings(tty);
}
