#pragma once
// Code page 437 (the PC's OEM character set) to Unicode, compiled in, so the
// consoles draw bytes 80h-FFh (and the graphic symbols of 01h-1Fh and 7Fh)
// as the emulated machine's programs expect.

#include <array>
#include <cstdint>

// Unicode code point of a byte in code page 437. Byte 00h gives a space;
// 01h-1Fh give the graphic symbols (smiley, card suits, arrows ...), 20h-7Eh
// ASCII, 7Fh the house symbol, 80h-FFh the accented letters, box drawing,
// Greek and mathematical signs.
char16_t Cp437ToUnicode(uint8_t b);

// The whole table, indexed by byte.
const std::array<char16_t, 256>& Cp437Table();

// The byte for a Unicode code point, or -1 when code page 437 has none.
// ASCII 20h-7Eh map to themselves; control characters 00h-1Fh and 7Fh map to
// themselves too (not to the graphic symbols).
int UnicodeToCp437(char16_t ch);
