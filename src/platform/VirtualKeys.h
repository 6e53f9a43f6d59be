#pragma once
// The one translation of Qt's key events into the program's keyboard
// vocabulary (platform/core/VirtualKeyCodes.h).

#include "platform/core/VirtualKeyCodes.h"

class QKeyEvent;

// Virtual-key code of a Qt key (Qt::Key value). Keypad digits and operators
// (keypad flag set) give the VK_NUMPADn / VK_MULTIPLY ... codes; letters give
// their upper-case character code whatever the shift state. 0 when unknown.
uint16_t QtKeyToVirtualKey(int qtKey, bool keypad);

// Shift state from Qt keyboard modifiers (Qt::KeyboardModifiers as an int).
TShiftState ShiftStateFromModifiers(int modifiers);

// The one translation of a key event into the program's key vocabulary.
TVirtualKey TranslateKeyEvent(const QKeyEvent& event);

// The character a key press types, as a Latin-1 byte, the way the console
// keyboard delivers it: Return 0Dh, Backspace 08h, Tab 09h, Escape 1Bh,
// Ctrl+letter 01h-1Ah, Ctrl+[ \ ] ^ _ 1Bh-1Fh, otherwise the event's text
// when it is one character in 01h-FFh. Returns -1 when the key types nothing
// (cursor and function keys, Alt combinations, characters beyond Latin-1).
int KeyEventCharacter(const QKeyEvent& event);
