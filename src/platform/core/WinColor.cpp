#include "platform/core/WinColor.h"

#include <iterator>

namespace {

// Windows' default values of the system colours (index = low byte of
// FF0000xxh), as 00BBGGRRh.
constexpr TColor kSystemColors[] = {
    0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000, 0xB4B4B4,
    0xFCF7F4, 0xABABAB, 0xFF9933, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x544E43, 0xFFFFFF, 0x696969,
    0xE3E3E3, 0x000000, 0xE1FFFF, 0xFFD5B5, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0,
};

}  // namespace

TColor ColorToRGB(TColor color) {
    if ((color >> 24) == 0xFF) {
        const uint32_t index = color & 0xFF;
        return index < std::size(kSystemColors) ? kSystemColors[index] : 0;
    }
    return color & 0xFFFFFF;
}
