// The VT100 emulator's keyboard: keys through the keyboard map's three
// levels to the texts a VT100 / VT52 sends.
#include <cctype>
#include <cstdio>

#include "console/core/QnTrmVT100.h"

namespace {
constexpr char ESC = 0x1B;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const int u = std::toupper(static_cast<unsigned char>(c));
    return (u >= 'A' && u <= 'F') ? u - 'A' + 10 : -1;
}
}  // namespace

void TQnVT100Emulator::KeyPress(char& key) {
    SendChar(key, true, csKeyboard);
    if (key == '\r' && NewLineMode()) SendChar('\n', true, csKeyboard);
}

void TQnVT100Emulator::KeyDown(uint16_t& key, TShiftState shift) {
    if (key & 0x8000) {  // a repeat of a key held down
        if (!AutoRepeat) {
            key = 0;
            return;
        }
        key &= 0x7FFF;
    }
    const bool isNumLock = key == VK_NUMLOCK;
    char code[16];
    std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(key));
    std::string name = FKeyMap.Get(code);
    if (name.empty()) return;
    if (shift.Contains(ssAlt)) name = "alt+" + name;
    if (shift.Contains(ssCtrl)) name = "ctrl+" + name;
    if (shift.Contains(ssShift)) name = "shift+" + name;
    std::string terminalKey = FKeyMap.Get(name);
    if (terminalKey.empty()) return;
    // Cursor keys ("c") and keypad keys ("k") take the digit of the mode.
    char& last = terminalKey.back();
    if (last == 'c')
        last = !ANSIMode() ? '0' : CursorKeyAppMode ? '2' : '1';
    else if (last == 'k')
        last = ANSIMode() ? (KeypadAppMode ? '6' : '5') : (KeypadAppMode ? '4' : '3');
    const std::string text = FKeyMap.Get(terminalKey);
    if (text.empty()) return;
    SendKeyText(text);
    key = 0;
    // NumLock served as a terminal key (PF1): the keypad keeps its mode.
    if (isNumLock && Terminal()) Terminal()->RestoreNumLock();
}

// "\e" is ESC, "\x" and two hex digits a byte ("?" when they are not hex);
// from the first ESC on nothing is echoed, since an escape sequence shown
// locally would act on the screen. A CR also sends LF in new-line mode.
void TQnVT100Emulator::SendKeyText(const std::string& text) {
    bool echo = true;
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= n) {
            SendChar(c, echo, csKeyboard);
            continue;
        }
        const char kind = text[i + 1];
        if (kind == 'e') {
            echo = false;
            SendChar(ESC, false, csKeyboard);
            ++i;
        } else if (kind == 'x' && i + 3 < n) {
            const int hi = HexDigit(text[i + 2]), lo = HexDigit(text[i + 3]);
            const char byte = (hi < 0 || lo < 0) ? '?' : static_cast<char>(hi * 16 + lo);
            i += 3;
            if (byte == ESC) {
                echo = false;
                SendChar(ESC, false, csKeyboard);
            } else if (byte == '\r') {
                SendChar('\r', true, csKeyboard);
                if (NewLineMode()) SendChar('\n', true, csKeyboard);
            } else {
                SendChar(byte, echo, csKeyboard);
            }
        } else {
            // A backslash before anything else, or a "\x" cut short at the
            // end of the text, is sent as it stands.
            SendChar('\\', true, csKeyboard);
            SendChar(kind, true, csKeyboard);
            ++i;
        }
    }
}
