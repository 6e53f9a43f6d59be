#pragma once
// Splits the bytes written to the TTY console into plain characters and
// numbered screen commands. Knows nothing of the screen.
//
// Sequences (all case-sensitive; anything else after ESC is replayed as
// characters, ESC included, and the parser returns to ground):
//   ESC S c  1 clear screen          ESC L c  4 clear line
//   ESC S h  2 high video on         ESC L >  5 clear to end of line
//   ESC S l  3 high video off        ESC L i  6 insert line
//   ESC C h  9 cursor home           ESC L d  7 delete line
//   ESC C p x y  8 cursor to column x, row y (two raw bytes, 0-based, any
//                value; OnCommand gets row = y, column = x)

#include <cstdint>
#include <functional>
#include <string>

class TSimpTermParser {
public:
    // Command codes reported through OnCommand.
    enum : uint8_t {
        cmdClearScreen = 1,
        cmdHighVideoOn = 2,
        cmdHighVideoOff = 3,
        cmdClearLine = 4,
        cmdClearToEndOfLine = 5,
        cmdInsertLine = 6,
        cmdDeleteLine = 7,
        cmdGotoXY = 8,
        cmdCursorHome = 9,
    };

    TSimpTermParser() { Reset(); }

    // A character for the screen: every byte outside a recognised sequence,
    // and each byte of an unrecognised one (ESC included), in order.
    std::function<void(TSimpTermParser& Sender, uint8_t Ch)> OnChar;
    // A recognised sequence. Row and Column are 0 except for code 8, where
    // Row is the second argument byte and Column the first.
    std::function<void(TSimpTermParser& Sender, uint8_t Cmd, int Row, int Column)> OnCommand;

    // Back to ground; a half-read sequence is dropped without replay.
    void Reset();
    // One byte of output. Constant work per byte.
    void ProcessChar(uint8_t b);

    // Fire OnChar for one byte / for each byte of a string (when assigned).
    void DoChar(uint8_t b);
    void DoText(const std::string& text);
    // Fire OnCommand(code, first, second) when assigned.
    void DoCommand(uint8_t code, int first, int second);

private:
    bool FEscapeMode = false;
    std::string FSequence;
    uint8_t FFamily = 0;  // 0 after ESC, 1 "S", 2 "L", 3 "C"
    uint8_t FPendingCommand = 0;
    int FArgsToCome = 0;
    int FSecondArg = 0;
    int FFirstArg = 0;
};
