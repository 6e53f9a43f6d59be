#include "app/TtyConsole.h"

#include "console/SimpleTerminal.h"
#include "console/core/SimpTermCommands.h"

TTtyConsole::TTtyConsole(TTavrinMachine& machine, TSimpleTerminal& terminal) : FMachine(machine), FTerminal(terminal) {
    FParser.OnCommand = [this](TSimpTermParser&, uint8_t cmd, int a, int b) { ParserCommand(cmd, a, b); };
    FParser.OnChar = [this](TSimpTermParser&, uint8_t ch) { ParserWriteChar(ch); };
    FMachine.SetTtyConsole(this);
    FTerminal.OnKeyPress = [this](TSimpleTerminal&, char& key) { KeyPress(key); };
    FTerminal.OnKeyDown = [this](TSimpleTerminal&, uint16_t& key, TShiftState shift) { KeyDown(key, shift); };
    FTerminal.OnKeyUp = [this](TSimpleTerminal&, uint16_t& key, TShiftState shift) { KeyUp(key, shift); };
}

TTtyConsole::~TTtyConsole() { FMachine.SetTtyConsole(nullptr); }

void TTtyConsole::WriteTtyByte(uint8_t ch) { FParser.ProcessChar(ch); }

void TTtyConsole::ParserWriteChar(uint8_t ch) { FTerminal.WriteChar(ch); }

// Screen work shows a cursor taken off, as the terminal's own operations do.
void TTtyConsole::ParserCommand(uint8_t cmd, int row, int column) {
    if (ApplySimpTermCommand(FTerminal.Model(), cmd, row, column) == TSimpTermEffect::Screen) FTerminal.ShowCursor();
}

void TTtyConsole::KeyPress(char& key) { FMachine.QueueKeys(TConsoleKeyboard::Tty, std::string_view(&key, 1)); }

// A mapped key sends its bytes instead and never reaches the console, so no
// key-press character follows it.
void TTtyConsole::KeyDown(uint16_t& key, TShiftState shift) {
    if (!FKeyMap.IsKeyMapped(key, shift)) return;
    std::string bytes = FKeyMap.GetKeyBytes(key, shift);
    key = 0;
    FMachine.QueueKeys(TConsoleKeyboard::Tty, bytes);
}

void TTtyConsole::KeyUp(uint16_t& key, TShiftState shift) {
    if (FKeyMap.IsKeyMapped(key, shift)) key = 0;
}

void TTtyConsole::Clear() {
    FTerminal.RebuildScreen(false);
    FParser.Reset();
}

TTtyConsole::TDisplaySettings TTtyConsole::DisplaySettings() const {
    const TSimpleTerminal& t = FTerminal;
    return {t.Color(), t.LowVideoFontColor(), t.Rows(), t.CursorColor()};
}

void TTtyConsole::SetDisplaySettings(const TDisplaySettings& settings) {
    TSimpleTerminal& t = FTerminal;
    t.SetColor(settings.Background);
    t.SetLowVideoFontColor(settings.FontColor);
    t.SetCursorColor(settings.CursorColor);
    t.SetRows(settings.Rows);
}
