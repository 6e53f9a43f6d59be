// Disassembler: the texts of representative instructions of every page,
// operand substitution included, and bytes that name no instruction.

#include "cpu/OpcodeToText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "support/NamedRows.h"

namespace {

// Packs up to four instruction bytes; unused trailing bytes get a filler
// that must never show up in the text.
uint32_t Pack(std::initializer_list<int> bytes) {
    uint32_t packed = 0x99999999u;
    int shift = 0;
    for (int b : bytes) {
        packed &= ~(0xFFu << shift);
        packed |= uint32_t(b & 0xFF) << shift;
        shift += 8;
    }
    return packed;
}

struct TextCase {
    const char* name;
    uint32_t bytes;
    const char* text;
};

TAVRIN_PRINT_AS_NAME(TextCase)
class Disassembly : public ::testing::TestWithParam<TextCase> {};

TEST_P(Disassembly, GivesTheInstructionText) {
    const TextCase& c = GetParam();
    std::string text = "previous";
    DisassembleOpcode(c.bytes, text);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(DisassembleOpcode(c.bytes), c.text);
    EXPECT_EQ(FindOpcodeEntry(c.bytes) < 0, std::string(c.text) == "???");
}

INSTANTIATE_TEST_SUITE_P(Pages, Disassembly, ::testing::Values(
    TextCase{"Nop", 0x00000000u, "NOP"},
    TextCase{"JumpAbsolute", Pack({0xC3, 0x34, 0x12}), "JP (1234)"},
    TextCase{"RelativeJump", Pack({0x20, 0x10}), "JR NZ,(PC+10)"},
    TextCase{"Restart", Pack({0xFF}), "RST 38H"},
    TextCase{"StoreHL", Pack({0x22, 0x34, 0x12}), "LD (1234),HL"},
    TextCase{"CbUndocumented", Pack({0xCB, 0x37}), "SLL A*"},
    TextCase{"IndexedLoad", Pack({0xDD, 0x7E, 0x05}), "LD A,(IX+05)"},
    TextCase{"IndexHalves", Pack({0xDD, 0x65}), "LD IXH,IXL*"},
    TextCase{"IndexedStoreImmediate", Pack({0xFD, 0x36, 0xFF, 0x00}), "LD (IY+FF),00"},
    TextCase{"IndexedCbBit", Pack({0xDD, 0xCB, 0x05, 0x46}), "BIT 0,(IX+05)"},
    TextCase{"IndexedCbCopy", Pack({0xDD, 0xCB, 0x05, 0x91}), "LD C,RES 2,(IX+05)*"},
    TextCase{"EdStorePair", Pack({0xED, 0x43, 0x34, 0x12}), "LD (1234),BC"},
    TextCase{"EdInFlags", Pack({0xED, 0x70}), "IN F,(C)* / IN (C)*"},
    TextCase{"EdBlock", Pack({0xED, 0xB0}), "LDIR"},
    TextCase{"EdHole", Pack({0xED, 0x77}), "???"},
    TextCase{"IndexWithoutHL", Pack({0xDD, 0xEB}), "???"},
    TextCase{"IndexBeforeEd", Pack({0xFD, 0xED}), "???"}),
    tavrin::test::RowName);

}  // namespace
