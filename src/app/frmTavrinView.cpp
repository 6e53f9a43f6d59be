// The View menu's console actions: column widths and clearing of the CRT
// and TTY consoles, the CRT's ANSI mode, the two console fonts and the TTY
// display settings.
#include <QAction>
#include <QFontInfo>

#include "app/frmTavrin.h"
#include "app/TtyConsole.h"
#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "console/SimpleTerminal.h"
#include "console/TTYDisplayOptionsDlg.h"

#include <algorithm>

void TMainHalvoret::Crt132ActExecute() {
    if (!QnVT100Emulator1) return;
    TQnTerminalBuffer& buffer = *QnVT100Emulator1->Buffer();
    const int row = buffer.GetRow();
    int col = buffer.GetCol();
    const bool on = Crt132Act->isChecked();
    QnVT100Emulator1->SetCol132Mode(on);
    // A cursor beyond the narrow screen lands one short of its last column.
    if (!on && col >= 80) col = 79;
    buffer.SetCursorPosition(row, col);
}

void TMainHalvoret::TTY132ActExecute() { SimpleTerminal1->SetColumns(TTY132Act->isChecked() ? 132 : 80); }

void TMainHalvoret::ClearCrtActExecute() {
    if (!QnVT100Emulator1) return;
    TQnVT100Emulator& emulator = *QnVT100Emulator1;
    emulator.SetANSIMode(true);
    QnTerminal1->Clear();
    ApplyCrtColors();
    TQnTerminalBuffer& buffer = *emulator.Buffer();
    buffer.EraseAll();
    // Double-size rows would otherwise outlive the text they held.
    for (int row = buffer.RowCount() - buffer.SVRowCount() + 1; row <= buffer.RowCount(); ++row)
        emulator.LineAttrs().SetAttr(row, laNormal);
}

void TMainHalvoret::ClearTTYActExecute() { FTtyConsole->Clear(); }

void TMainHalvoret::ApplyCrtColors() {
    if (!QnVT100Emulator1) return;
    QnVT100Emulator1->Buffer()->UseColors(QnTerminal1->Color(), QnTerminal1->FontColor());
}

namespace {

// The dialog opens on the family that really draws the console (a face
// asked for but not installed is drawn by a stand-in) and on its style.
TFontChoice FontInUse(const QFont& font, int pointSize) {
    return {QFontInfo(font).family().toStdString(), pointSize, font.bold(), font.italic()};
}

}  // namespace

void TMainHalvoret::SetCrtFontExecute() {
    TFontChoice font = FontInUse(QnTerminal1->font(), FCrtFontSize);
    if (!FPrompts->ChooseFont(font, true)) return;
    FCrtFontBold = font.Bold;
    FCrtFontItalic = font.Italic;
    SetCrtFontNameAndSize(font.Family, font.PointSize);
}

void TMainHalvoret::SetCrtFontNameAndSize(const std::string& name, int pointSize) {
    FCrtFontName = name;
    FCrtFontSize = std::clamp(pointSize, 1, 200);
    // Sizes are points at 96 dots per inch, whatever the screen.
    QFont font = TQnCustomTerminal::TerminalFont(QString::fromStdString(FCrtFontName), (FCrtFontSize * 96 + 36) / 72);
    font.setBold(FCrtFontBold);
    font.setItalic(FCrtFontItalic);
    QnTerminal1->SetTerminalFont(font);
}

void TMainHalvoret::CrtAnsiActUpdate(QAction& action) {
    action.setEnabled(QnVT100Emulator1 != nullptr);
    action.setChecked(QnVT100Emulator1 && QnVT100Emulator1->ANSIMode());
}

// The action has flipped its checked state before this runs.
void TMainHalvoret::CrtAnsiActExecute() {
    if (!QnVT100Emulator1) return;
    QnVT100Emulator1->SetANSIMode(!QnVT100Emulator1->ANSIMode());
    CrtAnsiAct->setChecked(QnVT100Emulator1->ANSIMode());
}

void TMainHalvoret::SetTttyFontExecute() {
    TSimpleTerminal& t = *SimpleTerminal1;
    TFontChoice font = FontInUse(t.TerminalFont(), t.FontSize());
    if (FPrompts->ChooseFont(font, true)) t.SetFontNameAndSize(font.Family, font.PointSize, font.Bold, font.Italic);
}

void TMainHalvoret::TTYDisplaySettingsActExecute() {
    TTtyConsole::TDisplaySettings tty = FTtyConsole->DisplaySettings();
    TTYDisplaySettingsDlg->SetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    if (TTYDisplaySettingsDlg->exec() != QDialog::Accepted) return;
    TTYDisplaySettingsDlg->GetSettings(tty.Background, tty.FontColor, tty.Rows, tty.CursorColor);
    FTtyConsole->SetDisplaySettings(tty);
}
