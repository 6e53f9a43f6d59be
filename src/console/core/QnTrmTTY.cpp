// The plain teletype emulator and its painting.
#include <algorithm>

#include "console/core/QnTrmEmu.h"

TColor QnBrighten(TColor c) {
    TColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const TColor v = std::min<TColor>(((c >> shift) & 0xFF) + 128, 255);
        out |= v << shift;
    }
    return out;
}

void QnCellColors(TColor fore, TColor back, TQnCharAttrs attrs, bool reverseScreen, TColor& text, TColor& fill) {
    bool reversed = (attrs & atReverse) != 0;
    reversed ^= reverseScreen;
    reversed ^= (attrs & atSelected) != 0;
    if (!(attrs & atInvisible) && (attrs & atBold)) fore = QnBrighten(fore);
    text = reversed ? back : fore;
    fill = reversed ? fore : back;
    if (attrs & atInvisible) text = fill;
}

TQnTTYEmulator::TQnTTYEmulator() { AdoptBuffer(std::make_unique<TQnTerminalBuffer>(false)); }

void TQnTTYEmulator::ClearScreen() { Buffer()->EraseScreen(); }

void TQnTTYEmulator::ClearAll() { Buffer()->EraseAll(); }

void TQnTTYEmulator::KeyPress(char& key) { SendChar(key, true, csKeyboard); }

void TQnTTYEmulator::HandleChar(char c) {
    TQnTerminalBuffer& b = *Buffer();
    switch (static_cast<uint8_t>(c)) {
        case 0x07:
            ExecuteCommand(ecBell, nullptr);
            break;
        case 0x08:
            b.DoBackspace();
            break;
        case 0x09:
            b.DoHorzTab();
            break;
        case 0x0A:
            b.DoLineFeed();
            break;
        case 0x0D:
            b.DoCarriageReturn();
            break;
        default:
            if (static_cast<uint8_t>(c) >= 0x20) b.WriteChar(c);
            break;  // every other control byte is ignored
    }
}

void TQnTTYEmulator::ProcessBlock(const uint8_t* data, int len, TQnCharSource source) {
    if (!data) return;
    for (int i = 0; i < len; ++i) {
        const char ch = static_cast<char>(data[i]);
        if (!OnProcessChar) {
            HandleChar(ch);
            continue;
        }
        const std::string replace = RunProcessCharHook(ch, source);
        for (char c : replace) HandleChar(c);
    }
}

// --- painting ------------------------------------------------------------------

void TQnTTYEmulator::FollowTerminalColors() {
    if (!FTerminal) return;
    TQnTerminalBuffer& b = *Buffer();
    const TColor back = FTerminal->Color();
    const TColor fore = FTerminal->FontColor();
    if (back == b.BackColor() && fore == b.ForeColor()) return;
    b.UseColors(back, fore);
    FRepaintAll = true;
}

void TQnTTYEmulator::LazyPaint(TQnTerminalPainter& painter) {
    if (!FTerminal) return;
    FollowTerminalColors();
    FTextPaint.LazyPaint(*FTerminal, *Buffer(), painter, FRepaintAll);
}

void TQnTTYEmulator::Paint(TQnTerminalPainter& painter) {
    if (!FTerminal) return;
    FollowTerminalColors();
    FTextPaint.Paint(*FTerminal, *Buffer(), painter);
}
