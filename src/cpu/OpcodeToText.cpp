// Lookup of an instruction's row and substitution of its operand bytes.

#include "cpu/OpcodeToText.h"

#include <array>

namespace {

// The seven table pages: unprefixed, CB, DD, ED, FD, DD CB, FD CB.
constexpr int kPageCount = 7;

int PageOf(int prefixCount, int prefix1) {
    if (prefixCount == 0) return 0;
    const int single = prefix1 == 0xCB ? 1 : prefix1 == 0xDD ? 2 : prefix1 == 0xED ? 3 : 4;
    if (prefixCount == 1) return single;
    return single == 2 ? 5 : 6;
}

// Row index per (page, opcode), -1 where the page has no such opcode. Holds
// the first matching row, so a lookup gives what a scan from the top gives.
using TIndex = std::array<std::array<int16_t, 256>, kPageCount>;

TIndex BuildIndex() {
    TIndex index;
    for (auto& page : index) page.fill(-1);
    const auto table = OpcodeTable();
    for (size_t i = table.size(); i-- > 0;) {
        const TOpcodeEntry& e = table[i];
        index[PageOf(e.PrefixCount, e.Prefix1)][e.Opcode & 0xFF] = int16_t(i);
    }
    return index;
}

const TIndex& Index() {
    static const TIndex index = BuildIndex();
    return index;
}

uint8_t ByteAt(uint32_t bytes, int n) { return uint8_t(bytes >> (8 * n)); }

std::string Hex2(uint8_t value) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[value >> 4], digits[value & 15]};
}

// Replaces the first `placeholder` in text; false when there is none.
bool Fill(std::string& text, const char* placeholder, const std::string& digits) {
    const auto pos = text.find(placeholder);
    if (pos == std::string::npos) return false;
    text.replace(pos, std::char_traits<char>::length(placeholder), digits);
    return true;
}

}  // namespace

int32_t FindOpcodeEntry(uint32_t Bytes) {
    const uint8_t b0 = ByteAt(Bytes, 0), b1 = ByteAt(Bytes, 1), b3 = ByteAt(Bytes, 3);
    int count = 0;
    uint8_t opcode = b0;
    if (b0 == 0xCB || b0 == 0xED || b0 == 0xDD || b0 == 0xFD) {
        count = 1;
        opcode = b1;
        if ((b0 == 0xDD || b0 == 0xFD) && b1 == 0xCB) {
            count = 2;
            opcode = b3;
        }
    }
    return Index()[PageOf(count, b0)][opcode];
}

void DisassembleOpcode(uint32_t Bytes, std::string& Text) {
    const int32_t row = FindOpcodeEntry(Bytes);
    if (row < 0) {
        Text = "???";
        return;
    }
    const TOpcodeEntry& e = OpcodeTable()[size_t(row)];
    Text = e.Mnemonic;
    const int first = e.PrefixCount + 1;  // the byte after the prefixes
    if (e.HasDisplacement == 1) {
        Fill(Text, "d", Hex2(ByteAt(Bytes, 2)));
    } else if (e.OperandKind == 1) {
        const std::string digits = Hex2(ByteAt(Bytes, first));
        Fill(Text, "d", digits) || Fill(Text, "n", digits) || Fill(Text, "e", digits);
    } else if (e.OperandKind == 2) {
        if (!Fill(Text, "nn", Hex2(ByteAt(Bytes, first + 1)) + Hex2(ByteAt(Bytes, first)))) {
            // LD (IX+d),n: the displacement comes first, then the immediate.
            if (Fill(Text, "d", Hex2(ByteAt(Bytes, first)))) Fill(Text, "n", Hex2(ByteAt(Bytes, first + 1)));
        }
    }
}

std::string DisassembleOpcode(uint32_t Bytes) {
    std::string text;
    DisassembleOpcode(Bytes, text);
    return text;
}
