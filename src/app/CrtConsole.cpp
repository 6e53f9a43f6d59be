#include "app/CrtConsole.h"

#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "platform/QtUiPrompts.h"

#include <QTimer>

#include <algorithm>

namespace {

// The CRT's text colour: lime, as a Windows colour value.
constexpr TColor CrtFontColor = 0x00FF00;

}  // namespace

TCrtConsole::TCrtConsole(TTavrinMachine& machine, TQnTerminal& terminal, IUiPrompts& prompts,
                         TEmulatorFactory makeEmulator)
    : FMachine(machine), FTerminal(terminal), FPrompts(prompts) {
    SetUpTerminal();
    BuildEmulator(makeEmulator);
    FMachine.SetCrtConsole(this);
}

TCrtConsole::~TCrtConsole() { FMachine.SetCrtConsole(nullptr); }

// As the form sets it up: green on black, underline caret, every data event
// painted at once, no scrollback or mouse selection.
void TCrtConsole::SetUpTerminal() {
    TQnTerminal& t = FTerminal;
    t.SetAutoScrollback(false);
    t.SetCaptureFile("QUONTERM.CAP");
    t.SetCursorType(ctUnderline);
    t.SetLazyByteDelay(1);
    t.SetLazyTimeDelay(1);
    t.SetMouseSelect(false);
    t.SetScrollback(false);
    t.SetUseLazyDisplay(false);
    t.SetMinRepaintInterval(15);
    t.SetFreezeScrollBack(false);
    t.SetColor(QnBlack);
    t.SetFontColor(CrtFontColor);
    SetFontNameAndSize(FFontName, FFontSize);
    t.setFocusPolicy(Qt::StrongFocus);
}

// ANSI mode on, cursor-key and keypad application modes off, auto-repeat
// on, and Page Down, Page Up, Home and End sending PF3, PF4, PF1 and PF2.
void TCrtConsole::BuildEmulator(const TEmulatorFactory& makeEmulator) {
    try {
        std::unique_ptr<TQnVT100Emulator> emulator =
            makeEmulator ? makeEmulator() : std::make_unique<TQnVT100Emulator>();
        emulator->Answerback.clear();
        emulator->DisplayUpperASCII = true;
        emulator->SetANSIMode(true);
        emulator->CursorKeyAppMode = false;
        emulator->KeypadAppMode = false;
        emulator->AutoRepeat = true;
        TQnKeyboardMapping& keys = emulator->KeyboardMap();
        keys.Add("VK_NEXT", "DEC_PF3k");
        keys.Add("VK_PRIOR", "DEC_PF4k");
        keys.Add("VK_HOME", "DEC_PF1k");
        keys.Add("VK_END", "DEC_PF2k");
        emulator->SetTerminal(&FTerminal);
        if (!emulator->MapLoadError().empty()) ReportLater(emulator->MapLoadError());
        FEmulator = std::move(emulator);
        ApplyColors();
    } catch (const std::exception& e) {
        ReportLater(e.what());
    }
}

// Once the window is up: start-up shows nothing before it.
void TCrtConsole::ReportLater(const std::string& text) {
    QTimer::singleShot(0, &FTerminal, [this, text] { FPrompts.ShowError(text); });
}

void TCrtConsole::WriteChar(uint8_t ch) { FTerminal.WriteChar(ch); }

void TCrtConsole::KeyboardData(char ch) { FMachine.QueueKeys(TConsoleKeyboard::Crt, std::string_view(&ch, 1)); }

void TCrtConsole::Set132Columns(bool on) {
    if (!FEmulator) return;
    TQnTerminalBuffer& buffer = *FEmulator->Buffer();
    const int row = buffer.GetRow();
    int col = buffer.GetCol();
    FEmulator->SetCol132Mode(on);
    // A cursor beyond the narrow screen lands one short of its last column.
    if (!on && col >= 80) col = 79;
    buffer.SetCursorPosition(row, col);
}

void TCrtConsole::Clear() {
    if (!FEmulator) return;
    TQnVT100Emulator& emulator = *FEmulator;
    emulator.SetANSIMode(true);
    FTerminal.Clear();
    ApplyColors();
    TQnTerminalBuffer& buffer = *emulator.Buffer();
    buffer.EraseAll();
    // Double-size rows would otherwise outlive the text they held.
    for (int row = buffer.RowCount() - buffer.SVRowCount() + 1; row <= buffer.RowCount(); ++row)
        emulator.LineAttrs().SetAttr(row, laNormal);
}

void TCrtConsole::ApplyColors() {
    if (FEmulator) FEmulator->Buffer()->UseColors(FTerminal.Color(), FTerminal.FontColor());
}

std::optional<bool> TCrtConsole::AnsiMode() const {
    if (!FEmulator) return std::nullopt;
    return FEmulator->ANSIMode();
}

void TCrtConsole::SetAnsiMode(bool on) {
    if (FEmulator) FEmulator->SetANSIMode(on);
}

void TCrtConsole::ChooseFont() {
    TFontChoice font = FontChoiceInUse(FTerminal.font(), FFontSize);
    if (!FPrompts.ChooseFont(font, true)) return;
    FFontBold = font.Bold;
    FFontItalic = font.Italic;
    SetFontNameAndSize(font.Family, font.PointSize);
}

void TCrtConsole::SetFontNameAndSize(const std::string& name, int pointSize) {
    FFontName = name;
    FFontSize = std::clamp(pointSize, 1, 200);
    // Sizes are points at 96 dots per inch, whatever the screen.
    QFont font = TQnCustomTerminal::TerminalFont(QString::fromStdString(FFontName), (FFontSize * 96 + 36) / 72);
    font.setBold(FFontBold);
    font.setItalic(FFontItalic);
    FTerminal.SetTerminalFont(font);
}
