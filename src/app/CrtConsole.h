#pragma once
// The CRT console: the terminal window on the CRT page with its VT100
// emulator, set up as the form has it, and its glue to the machine. Every
// byte the program writes to the CRT data port goes to the terminal's
// WriteChar, which queues it and interprets it when the window handles its
// data event; every character the terminal's keyboard produces (escape
// sequences of function and cursor keys included) goes into the CRT key
// queue. Also the View menu's CRT work: width, clearing, ANSI mode and font.
// Should the emulator not come up, the terminal keeps its own teletype
// emulator, the reason is shown, and the emulator's work does nothing.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class TQnTerminal;
class TQnVT100Emulator;

class TCrtConsole : public ICrtConsole {
public:
    using TEmulatorFactory = std::function<std::unique_ptr<TQnVT100Emulator>()>;

    // Sets the terminal up, gives it its emulator (from makeEmulator when
    // given) and becomes the machine's CRT console. Errors are shown through
    // prompts once the event loop runs.
    TCrtConsole(TTavrinMachine& machine, TQnTerminal& terminal, IUiPrompts& prompts,
                TEmulatorFactory makeEmulator = {});
    ~TCrtConsole() override;
    TCrtConsole(const TCrtConsole&) = delete;
    TCrtConsole& operator=(const TCrtConsole&) = delete;

    TQnTerminal& Terminal() const { return FTerminal; }
    // Null when it could not be created.
    TQnVT100Emulator* Emulator() const { return FEmulator.get(); }

    void WriteChar(uint8_t ch) override;
    // A character from the terminal's keyboard.
    void KeyboardData(char ch);

    // 132 columns or 80, the cursor kept where it was.
    void Set132Columns(bool on);
    // Back to ANSI mode, the screen and scrollback erased in the terminal's
    // colours, the cursor home.
    void Clear();
    // None without the emulator.
    std::optional<bool> AnsiMode() const;
    void SetAnsiMode(bool on);

    // The font as the settings keep it: the face asked for and its size in
    // points at 96 dots per inch. The style chosen in the font dialog is kept
    // with it for the run; the settings file has no key for it.
    const std::string& FontName() const { return FFontName; }
    int FontSize() const { return FFontSize; }
    void SetFontNameAndSize(const std::string& name, int pointSize);
    // The font dialog, opened on the font the terminal draws with.
    void ChooseFont();

private:
    void SetUpTerminal();
    void BuildEmulator(const TEmulatorFactory& makeEmulator);
    // The terminal's colours as the buffer's default and current colours: the
    // text after start, a reset and a clear all shows them.
    void ApplyColors();
    void ReportLater(const std::string& text);

    TTavrinMachine& FMachine;
    TQnTerminal& FTerminal;
    IUiPrompts& FPrompts;
    std::unique_ptr<TQnVT100Emulator> FEmulator;
    std::string FFontName = "Terminal";
    int FFontSize = 9;
    bool FFontBold = false;
    bool FFontItalic = false;
};
