#pragma once
// The text of one row of a console, with its trailing blanks removed.

#include <string>

#include "console/SimpleTerminal.h"
#include "console/core/QnTrmBuf.h"

namespace tavrin::test {

inline std::string WithoutTrailingBlanks(const std::string& text) {
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

inline std::string TerminalRow(const TSimpleTerminal& terminal, int row, int fromColumn = 0) {
    std::string text;
    for (int c = fromColumn; c < terminal.Columns(); ++c) {
        const uint8_t ch = terminal.GetCell(c, row).Ch;
        text += ch ? static_cast<char>(ch) : ' ';
    }
    return WithoutTrailingBlanks(text);
}

// Screen row `row` of a CRT terminal's buffer.
inline std::string BufferRow(const TQnTerminalBuffer& buffer, int row) {
    return WithoutTrailingBlanks(buffer.LineText(row));
}

}  // namespace tavrin::test
