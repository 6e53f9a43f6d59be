#pragma once
// The message table of the serial-port stack: every result code the stack can
// report, with its English text. Success codes and status texts are positive,
// errors negative; no two entries share an absolute value, so a code and its
// negation name one text.

#include <array>
#include <cstddef>
#include <cstdint>

struct TMessageTableEntry {
    int32_t Code;
    const char* Text;
};

inline constexpr std::size_t MessageTableSize = 892;

// Ordered by ascending absolute code; constant for the life of the program,
// so lookups from any thread only read it.
extern const std::array<TMessageTableEntry, MessageTableSize> MessageTable;
