// The View menu's console actions: column widths and clearing of the CRT
// and TTY consoles.
#include <QAction>

#include "app/frmTavrin.h"
#include "console/QnTerminal.h"
#include "console/SimpleTerminal.h"

void TMainHalvoret::Crt132ActExecute()
{
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

void TMainHalvoret::TTY132ActExecute()
{
    SimpleTerminal1->SetColumns(TTY132Act->isChecked() ? 132 : 80);
}

void TMainHalvoret::ClearCrtActExecute()
{
    if (!QnVT100Emulator1) return;
    TQnVT100Emulator& emulator = *QnVT100Emulator1;
    emulator.SetANSIMode(true);
    QnTerminal1->Clear();
    TQnTerminalBuffer& buffer = *emulator.Buffer();
    buffer.SetBackColor(QnTerminal1->Color());
    buffer.SetForeColor(QnTerminal1->FontColor());
    buffer.EraseAll();
    // Double-size rows would otherwise outlive the text they held.
    for (int row = buffer.RowCount() - buffer.SVRowCount() + 1; row <= buffer.RowCount(); ++row)
        emulator.LineAttrs().SetAttr(row, laNormal);
}

void TMainHalvoret::ClearTTYActExecute()
{
    SimpleTerminal1->RebuildScreen(false);
    FTtyParser.Reset();
}
