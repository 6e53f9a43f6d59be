#include "console/core/SimpTermParser.h"

namespace {
constexpr uint8_t kEsc = 0x1B;
}

void TSimpTermParser::Reset() {
    FEscapeMode = false;
    FSequence.clear();
    FFamily = 0;
    FPendingCommand = 0;
    FArgsToCome = 0;
    FSecondArg = 0;
    FFirstArg = 0;
}

void TSimpTermParser::DoChar(uint8_t b) {
    if (OnChar) OnChar(*this, b);
}

void TSimpTermParser::DoText(const std::string& text) {
    if (!OnChar) return;
    for (char c : text) OnChar(*this, static_cast<uint8_t>(c));
}

void TSimpTermParser::DoCommand(uint8_t code, int first, int second) {
    if (OnCommand) OnCommand(*this, code, first, second);
}

void TSimpTermParser::ProcessChar(uint8_t b) {
    if (FArgsToCome >= 1) {
        // Raw argument bytes of ESC C p: any value, ESC included.
        FSequence.push_back(static_cast<char>(b));
        if (FArgsToCome == 2)
            FFirstArg = b;
        else
            FSecondArg = b;
        --FArgsToCome;
        if (FArgsToCome == 0) {
            const uint8_t cmd = FPendingCommand;
            const int row = FSecondArg;
            const int column = FFirstArg;
            // Back to ground before the handler runs, so a handler that
            // feeds or resets the parser sees a settled state.
            Reset();
            DoCommand(cmd, row, column);
        }
        return;
    }

    if (!FEscapeMode) {
        if (b == kEsc) {
            FEscapeMode = true;
            FSequence.assign(1, static_cast<char>(kEsc));
        } else {
            DoChar(b);
        }
        return;
    }

    // Replays the collected sequence as characters and returns to ground.
    auto replay = [this] {
        const std::string text = FSequence;
        Reset();
        DoText(text);
    };
    auto command = [this](uint8_t code) {
        Reset();
        DoCommand(code, 0, 0);
    };

    switch (FFamily) {
        case 0:
            FSequence.push_back(static_cast<char>(b));
            if (b == 'C')
                FFamily = 3;
            else if (b == 'L')
                FFamily = 2;
            else if (b == 'S')
                FFamily = 1;
            else
                replay();
            break;
        case 1:
            switch (b) {
                case 'c':
                    command(cmdClearScreen);
                    break;
                case 'h':
                    command(cmdHighVideoOn);
                    break;
                case 'l':
                    command(cmdHighVideoOff);
                    break;
                default:
                    FSequence.push_back(static_cast<char>(b));
                    replay();
            }
            break;
        case 2:
            switch (b) {
                case '>':
                    command(cmdClearToEndOfLine);
                    break;
                case 'c':
                    command(cmdClearLine);
                    break;
                case 'd':
                    command(cmdDeleteLine);
                    break;
                case 'i':
                    command(cmdInsertLine);
                    break;
                default:
                    FSequence.push_back(static_cast<char>(b));
                    replay();
            }
            break;
        default:  // family 3, "C"
            if (b == 'h') {
                command(cmdCursorHome);
            } else if (b == 'p') {
                FSequence.push_back(static_cast<char>(b));
                FPendingCommand = cmdGotoXY;
                FArgsToCome = 2;
                FFirstArg = 0;
                FSecondArg = 0;
            } else {
                FSequence.push_back(static_cast<char>(b));
                replay();
            }
            break;
    }
}
