#pragma once
// Keyboard vocabulary of the program: Windows virtual-key codes and the
// shift-state set travel through the key events of both consoles and key
// the terminal key maps. QKeyEvent is translated to them in one place
// (platform/VirtualKeys.h).

#include <cstdint>

// Virtual-key codes (the values the key maps and their files use).
inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_CLEAR = 0x0C;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;
inline constexpr uint16_t VK_PAUSE = 0x13;
inline constexpr uint16_t VK_CAPITAL = 0x14;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;
inline constexpr uint16_t VK_NEXT = 0x22;
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_PRINT = 0x2A;
// The CRT terminal gives the keypad Enter this code so that it differs from
// the main Return key.
inline constexpr uint16_t VK_EXECUTE = 0x2B;
inline constexpr uint16_t VK_SNAPSHOT = 0x2C;
inline constexpr uint16_t VK_INSERT = 0x2D;
inline constexpr uint16_t VK_DELETE = 0x2E;
inline constexpr uint16_t VK_HELP = 0x2F;
// '0'..'9' are 30h..39h and 'A'..'Z' are 41h..5Ah, as the characters.
inline constexpr uint16_t VK_LWIN = 0x5B;
inline constexpr uint16_t VK_RWIN = 0x5C;
inline constexpr uint16_t VK_APPS = 0x5D;
inline constexpr uint16_t VK_NUMPAD0 = 0x60;  // .. VK_NUMPAD9 = 69h
inline constexpr uint16_t VK_MULTIPLY = 0x6A;
inline constexpr uint16_t VK_ADD = 0x6B;
inline constexpr uint16_t VK_SEPARATOR = 0x6C;
inline constexpr uint16_t VK_SUBTRACT = 0x6D;
inline constexpr uint16_t VK_DECIMAL = 0x6E;
inline constexpr uint16_t VK_DIVIDE = 0x6F;
inline constexpr uint16_t VK_F1 = 0x70;  // .. VK_F24 = 87h
inline constexpr uint16_t VK_F12 = 0x7B;
inline constexpr uint16_t VK_F24 = 0x87;
inline constexpr uint16_t VK_NUMLOCK = 0x90;
inline constexpr uint16_t VK_SCROLL = 0x91;
inline constexpr uint16_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr uint16_t VK_OEM_PLUS = 0xBB;    // =+
inline constexpr uint16_t VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr uint16_t VK_OEM_MINUS = 0xBD;   // -_
inline constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr uint16_t VK_OEM_2 = 0xBF;       // /?
inline constexpr uint16_t VK_OEM_3 = 0xC0;       // `~
inline constexpr uint16_t VK_OEM_4 = 0xDB;       // [{
inline constexpr uint16_t VK_OEM_5 = 0xDC;       // \|
inline constexpr uint16_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr uint16_t VK_OEM_7 = 0xDE;       // '"

// Shift state as a set of the modifier keys and mouse buttons held, one bit
// per element (bit value 1 << ordinal): ssShift 0, ssAlt 1, ssCtrl 2,
// ssLeft 3, ssRight 4, ssMiddle 5, ssDouble 6.
enum TShiftStateElement : uint8_t { ssShift = 0, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };

struct TShiftState {
    uint8_t Bits = 0;

    constexpr TShiftState() = default;
    constexpr explicit TShiftState(uint8_t bits) : Bits(bits) {}
    constexpr bool Contains(TShiftStateElement e) const { return (Bits >> e) & 1u; }
    constexpr TShiftState& Include(TShiftStateElement e) {
        Bits = uint8_t(Bits | (1u << e));
        return *this;
    }
    constexpr TShiftState& Exclude(TShiftStateElement e) {
        Bits = uint8_t(Bits & ~(1u << e));
        return *this;
    }
    constexpr bool Empty() const { return Bits == 0; }
    // True when the set holds exactly the one element.
    constexpr bool Only(TShiftStateElement e) const { return Bits == (1u << e); }
    friend constexpr bool operator==(TShiftState a, TShiftState b) { return a.Bits == b.Bits; }
};

// The virtual key and shift state of one key event; Key is 0 when the key
// has no virtual-key code.
struct TVirtualKey {
    uint16_t Key = 0;
    TShiftState Shift;
};
