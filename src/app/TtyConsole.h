#pragma once
// The TTY console's glue: port 11h output through the parser onto the
// simple terminal, the terminal's keys (through the key map) into the TTY
// key queue, and the console's display values.

#include <cstdint>
#include <memory>

#include "console/core/MapKeys.h"
#include "console/core/SimpTermParser.h"
#include "machine/TavrinMachine.h"
#include "platform/VirtualKeys.h"

class TSimpleTerminal;

class TTtyConsole : public ITtyConsole {
public:
    // The TTY console's display values, as the TTY display settings dialog
    // and the settings file take them (colours are Windows colour values).
    struct TDisplaySettings {
        uint32_t Background = 0;
        uint32_t FontColor = 0;  // the low-video text colour
        int Rows = 0;
        uint32_t CursorColor = 0;
    };

    // Becomes the machine's TTY console and takes the terminal's keys.
    TTtyConsole(TTavrinMachine& machine, TSimpleTerminal& terminal);
    ~TTtyConsole() override;
    TTtyConsole(const TTtyConsole&) = delete;
    TTtyConsole& operator=(const TTtyConsole&) = delete;

    // The key map, loaded from the ".kmap" file at start-up.
    TMapTermKeys& KeyMap() { return FKeyMap; }

    void WriteTtyByte(uint8_t ch) override;
    void ParserCommand(uint8_t cmd, int row, int column);
    void ParserWriteChar(uint8_t ch);
    void KeyPress(char& key);
    void KeyDown(uint16_t& key, TShiftState shift);
    void KeyUp(uint16_t& key, TShiftState shift);
    // The screen rebuilt empty and the parser back at its start.
    void Clear();

    TDisplaySettings DisplaySettings() const;
    void SetDisplaySettings(const TDisplaySettings& settings);

private:
    TTavrinMachine& FMachine;
    TSimpleTerminal& FTerminal;
    TSimpTermParser FParser;
    TMapTermKeys FKeyMap;
};
