#pragma once
// The text of one row of a TTY-style console, from a column on, with its
// trailing blanks removed.

#include <string>

#include "console/SimpleTerminal.h"

namespace tavrin::test {

inline std::string TerminalRow(const TSimpleTerminal& terminal, int row, int fromColumn = 0) {
    std::string text;
    for (int c = fromColumn; c < terminal.Columns(); ++c) {
        const uint8_t ch = terminal.GetCell(c, row).Ch;
        text += ch ? static_cast<char>(ch) : ' ';
    }
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

}  // namespace tavrin::test
