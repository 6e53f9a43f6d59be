#pragma once
// Host file paths are byte strings; widgets show UTF-16 text. Valid UTF-8
// decodes as usual. Every byte that is not part of valid UTF-8 becomes
// U+DC80..U+DCFF, a lone low surrogate that decoded text never holds, and
// encoding turns it back into that byte, so any path survives the round trip
// and names in valid UTF-8 still read as text.

#include <string>
#include <string_view>

std::u16string HostPathToUtf16(std::string_view path);
// Text typed by hand that holds other lone surrogates gets U+FFFD for them.
std::string HostPathFromUtf16(std::u16string_view text);
