// The TTY console as the form builds it.

#include "app/frmTavrin.h"

#include "console/SimpleTerminal.h"

namespace {

// Windows colour values (00BBGGRRh) of the console's form values.
constexpr TColor ColorSkyBlue = 0xF0CAA6;
constexpr TColor ColorYellow = 0x00FFFF;
constexpr TColor ColorWhite = 0xFFFFFF;
constexpr TColor ColorBlack = 0x000000;
constexpr TColor ColorNavy = 0x800000;

constexpr int TtyRows = 50;
constexpr int TtyFontHeight = -12;  // 9 points at 96 dots per inch

}  // namespace

// 50 rows without line wrap, black text on sky blue with white high video
// and a navy cursor; its keys go to the TTY console's glue.
void TMainHalvoret::BuildTtyTerminal() {
    SimpleTerminal1 = new TSimpleTerminal(TtyPage);
    TSimpleTerminal& t = *SimpleTerminal1;
    t.setObjectName(QStringLiteral("SimpleTerminal1"));
    t.SetFontNameAndSize("Terminal", (-TtyFontHeight * 72 + 48) / 96);
    t.SetFontColor(ColorYellow);
    t.SetHighVideoFontColor(ColorWhite);
    t.SetLowVideoFontColor(ColorBlack);
    t.SetCursorColor(ColorNavy);
    t.SetColor(ColorSkyBlue);
    t.SetLineWrap(false);
    t.SetDefaultAttributes({});
    t.SetRows(TtyRows);
}
