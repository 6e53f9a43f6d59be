// The TTY console as the form builds it, and its display values.

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

} // namespace

// 50 rows without line wrap, black text on sky blue with white high video
// and a navy cursor; the keys go to the window's TTY glue.
void TMainHalvoret::BuildTtyTerminal()
{
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
    t.OnKeyPress = [this](TSimpleTerminal&, char& key) { QnTerminal2KeyPress(key); };
    t.OnKeyDown = [this](TSimpleTerminal&, uint16_t& key, TShiftState shift) { SimpleTerminal1KeyDown(key, shift); };
    t.OnKeyUp = [this](TSimpleTerminal&, uint16_t& key, TShiftState shift) { SimpleTerminal1KeyUp(key, shift); };
}

TMainHalvoret::TTtyDisplaySettings TMainHalvoret::GetTtyDisplaySettings() const
{
    const TSimpleTerminal& t = *SimpleTerminal1;
    return {t.Color(), t.LowVideoFontColor(), t.Rows(), t.CursorColor()};
}

void TMainHalvoret::SetTtyDisplaySettings(const TTtyDisplaySettings& settings)
{
    TSimpleTerminal& t = *SimpleTerminal1;
    t.SetColor(settings.Background);
    t.SetLowVideoFontColor(settings.FontColor);
    t.SetCursorColor(settings.CursorColor);
    t.SetRows(settings.Rows);
}
