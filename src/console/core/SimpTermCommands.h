#pragma once
// What each command of the TTY console's sequence parser does to the
// character grid: the one mapping the console window and its checks share.

#include <cstdint>

class TSimpleTerminalModel;

// What a command touched.
enum class TSimpTermEffect {
    None,        // a code the parser never reports: nothing done
    Attributes,  // only the attributes of the characters still to come
    Screen,      // the cells or the cursor
};

// Carries out one command reported by TSimpTermParser::OnCommand.
TSimpTermEffect ApplySimpTermCommand(TSimpleTerminalModel& screen, uint8_t cmd, int row, int column);
