// Instruction semantics that the recorded vectors do not pin down or where
// this processor's rules are its own: bits 3 and 5, prefixes, the indexed
// CB forms, block instructions, the ED no-operations.

#include <gtest/gtest.h>

#include "CpuHarness.h"

namespace {

using namespace cputest;

struct InstructionCase {
    const char* name;
    std::vector<uint8_t> code;
    RegValues regs;
    MemValues mem;
    int calls;
    RegValues expectRegs;
    MemValues expectMem;
    uint16_t origin = 0x0100;
};

void PrintTo(const InstructionCase& c, std::ostream* os) { *os << c.name; }

class InstructionTable : public ::testing::TestWithParam<InstructionCase> {};

TEST_P(InstructionTable, ProducesExpectedState) {
    const InstructionCase& tc = GetParam();
    auto cpu = MakeCpu(tc.code, tc.origin);
    Apply(*cpu, tc.regs);
    Apply(*cpu, tc.mem);
    for (int i = 0; i < tc.calls; ++i) cpu->ExecuteOpcode();
    for (const auto& [r, v] : tc.expectRegs)
        EXPECT_EQ(Get(*cpu, r), v) << tc.name << ": register " << RegName(r);
    for (const auto& [a, v] : tc.expectMem)
        EXPECT_EQ(cpu->ReadMemoryByte(a), v) << tc.name << ": memory at " << std::hex << a;
    EXPECT_EQ(cpu->OpcodeCount, tc.calls);
}

// Values below are hexadecimal like the instruction bytes; F is given whole.
const InstructionCase kMainGroups[] = {
    {"AddOverflowIntoSign", {0xC6, 0x01}, {{Reg::A, 0x7F}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::A, 0x80}, {Reg::F, kS | kH | kP | kY | kX}}, {}},
    {"SubFromZeroBorrows", {0xD6, 0x01}, {{Reg::A, 0x00}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::A, 0xFF}, {Reg::F, kS | kH | kN | kC}}, {}},
    {"CompareTakesBits3And5FromOperand", {0xFE, 0x28}, {{Reg::A, 0x10}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::A, 0x10}, {Reg::F, kS | kY | kH | kX | kN | kC}}, {}},
    {"IncWrapsAndKeepsCarry", {0x3C}, {{Reg::A, 0xFF}, {Reg::F, kC}}, {}, 1,
     {{Reg::A, 0x00}, {Reg::F, kZ | kY | kH | kX | kC}}, {}},
    {"DecMemoryFrom80Overflows", {0x35}, {{Reg::HL, 0x2000}, {Reg::F, kC}}, {{0x2000, 0x80}}, 1,
     {{Reg::F, kH | kP | kN | kC}}, {{0x2000, 0x7F}}},
    {"DaaAfterAdd", {0xC6, 0x27, 0x27}, {{Reg::A, 0x15}, {Reg::F, 0x00}}, {}, 2,
     {{Reg::A, 0x42}, {Reg::F, kY | kH | kX | kP}}, {}},
    {"DaaCorrects9A", {0x27}, {{Reg::A, 0x9A}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::A, 0x00}, {Reg::F, kZ | kH | kX | kP | kC}}, {}},
    {"DaaAfterSubtraction", {0xD6, 0x08, 0x27}, {{Reg::A, 0x42}, {Reg::F, 0x00}}, {}, 2,
     {{Reg::A, 0x34}, {Reg::F, kY | kX | kN}}, {}},
    {"JrNotTakenCopiesPcBits", {0x38, 0x05}, {{Reg::F, 0xD6}}, {}, 1,
     {{Reg::PC, 0x1228}, {Reg::F, 0xFE}}, {}, 0x1226},
    {"JrToItselfClearsPcBits", {0x18, 0xFE}, {{Reg::F, 0xFF}}, {}, 1,
     {{Reg::PC, 0x0100}, {Reg::F, 0xD7}}, {}},
    {"DjnzLastRoundFallsThrough", {0x10, 0xFE}, {{Reg::B, 0x01}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::B, 0x00}, {Reg::PC, 0x012A}, {Reg::F, kY | kX}}, {}, 0x0128},
    {"AddHlCarriesOutOfBit11", {0x19}, {{Reg::HL, 0x0FFF}, {Reg::DE, 0x0001}, {Reg::F, kS | kZ | kP | kC}}, {}, 1,
     {{Reg::HL, 0x1000}, {Reg::F, kS | kZ | kH | kX | kP}}, {}},
    {"AddHlHlCarriesOutOfBit15", {0x29}, {{Reg::HL, 0x8000}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::HL, 0x0000}, {Reg::F, kC}}, {}},
    {"PushAfPopBc", {0xF5, 0xC1}, {{Reg::A, 0x12}, {Reg::F, 0x34}}, {}, 2,
     {{Reg::B, 0x12}, {Reg::C, 0x34}, {Reg::SP, 0xFFFF}}, {}},
    {"PopAfKeepsEveryFlagBit", {0xF1}, {{Reg::SP, 0x2000}}, {{0x2000, 0xFF}, {0x2001, 0x00}}, 1,
     {{Reg::AF, 0x00FF}, {Reg::SP, 0x2002}}, {}},
    {"CplSetsHAndNOnly", {0x2F}, {{Reg::A, 0x5A}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::A, 0xA5}, {Reg::F, kH | kN}}, {}},
    {"ScfKeepsBits3And5", {0x37}, {{Reg::F, 0xFE}}, {}, 1, {{Reg::F, 0xED}}, {}},
    {"CcfMovesCarryToH", {0x3F}, {{Reg::F, kC | kY}}, {}, 1, {{Reg::F, kH | kY}}, {}},
    {"CcfSetsCarryFromClear", {0x3F}, {{Reg::F, kH | kN}}, {}, 1, {{Reg::F, kC}}, {}},
    {"RlaThroughCarry", {0x17}, {{Reg::A, 0x80}, {Reg::F, kS}}, {}, 1, {{Reg::A, 0x00}, {Reg::F, kS | kC}}, {}},
    {"StoreHlWrapsAtTop", {0x22, 0xFF, 0xFF}, {{Reg::HL, 0x1234}}, {}, 1, {}, {{0xFFFF, 0x34}, {0x0000, 0x12}}},
    {"RstPushesNextAddress", {0xFF}, {}, {}, 1,
     {{Reg::PC, 0x0038}, {Reg::SP, 0xFFFD}}, {{0xFFFE, 0x01}, {0xFFFD, 0x01}}},
};
INSTANTIATE_TEST_SUITE_P(MainGroups, InstructionTable, ::testing::ValuesIn(kMainGroups),
                         [](const auto& info) { return std::string(info.param.name); });

const InstructionCase kIndexAndBitForms[] = {
    {"RlcIndexedMemoryOnly", {0xDD, 0xCB, 0x05, 0x06}, {{Reg::IX, 0x2000}, {Reg::B, 0x55}, {Reg::R, 0x00}},
     {{0x2005, 0x81}}, 1, {{Reg::B, 0x55}, {Reg::F, kP | kC}, {Reg::R, 0x03}, {Reg::PC, 0x0104}}, {{0x2005, 0x03}}},
    {"RlcIndexedAlsoIntoB", {0xDD, 0xCB, 0x05, 0x00}, {{Reg::IX, 0x2000}}, {{0x2005, 0x81}}, 1,
     {{Reg::B, 0x03}}, {{0x2005, 0x03}}},
    {"SrlIndexedIntoHMeansH", {0xFD, 0xCB, 0x01, 0x3C}, {{Reg::IY, 0x2000}, {Reg::H, 0x00}}, {{0x2001, 0x02}}, 1,
     {{Reg::H, 0x01}, {Reg::IY, 0x2000}}, {{0x2001, 0x01}}},
    {"ResIndexedBFormWritesMemoryOnly", {0xDD, 0xCB, 0x05, 0x80}, {{Reg::IX, 0x2000}, {Reg::B, 0x55}},
     {{0x2005, 0x81}}, 1, {{Reg::B, 0x55}}, {{0x2005, 0x80}}},
    {"SetIndexedNegativeDisplacement", {0xFD, 0xCB, 0xFF, 0xF9}, {{Reg::IY, 0x3001}, {Reg::C, 0x77}},
     {{0x3000, 0x01}}, 1, {{Reg::C, 0x77}}, {{0x3000, 0x81}}},
    {"BitIndexedTestsMemory", {0xDD, 0xCB, 0x00, 0x46}, {{Reg::IX, 0x2000}, {Reg::F, 0x00}}, {{0x2000, 0xFE}}, 1,
     {{Reg::F, kZ | kH | kP}}, {}},
    {"LoadHFromIndexed", {0xDD, 0x66, 0x05}, {{Reg::IX, 0x2000}}, {{0x2005, 0xAB}}, 1,
     {{Reg::H, 0xAB}, {Reg::IX, 0x2000}}, {}},
    {"LoadIndexHighImmediate", {0xDD, 0x26, 0x12}, {{Reg::IX, 0xFFFF}, {Reg::H, 0xFF}}, {}, 1,
     {{Reg::IX, 0x12FF}, {Reg::H, 0xFF}}, {}},
    {"LoadIndexHighFromIndexLow", {0xDD, 0x65}, {{Reg::IX, 0x1234}}, {}, 1, {{Reg::IX, 0x3434}}, {}},
    {"StoreHToIndexed", {0xDD, 0x74, 0xFE}, {{Reg::IX, 0x2002}, {Reg::H, 0x5A}}, {}, 1, {}, {{0x2000, 0x5A}}},
    {"StoreImmediateDisplacementFirst", {0xDD, 0x36, 0x03, 0x99}, {{Reg::IX, 0x2000}}, {}, 1,
     {{Reg::PC, 0x0104}}, {{0x2003, 0x99}}},
    {"AddIxIx", {0xDD, 0x29}, {{Reg::IX, 0x4000}, {Reg::HL, 0x1111}}, {}, 1,
     {{Reg::IX, 0x8000}, {Reg::HL, 0x1111}}, {}},
    {"IncIndexLow", {0xDD, 0x2C}, {{Reg::IX, 0x00FF}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::IX, 0x0000}, {Reg::F, kZ | kY | kH | kX}}, {}},
    {"PrefixBeforeNop", {0xDD, 0x00}, {{Reg::R, 0x00}}, {}, 1, {{Reg::PC, 0x0102}, {Reg::R, 0x02}}, {}},
    {"LastPrefixDecides", {0xDD, 0xFD, 0x21, 0x34, 0x12}, {{Reg::R, 0x00}}, {}, 1,
     {{Reg::IY, 0x1234}, {Reg::IX, 0xFFFF}, {Reg::R, 0x03}, {Reg::PC, 0x0105}}, {}},
    {"RepeatedPrefix", {0xDD, 0xDD, 0x21, 0x34, 0x12}, {{Reg::R, 0x00}}, {}, 1,
     {{Reg::IX, 0x1234}, {Reg::R, 0x03}, {Reg::PC, 0x0105}}, {}},
    {"ExDeHlIgnoresPrefix", {0xDD, 0xEB}, {{Reg::DE, 0x1111}, {Reg::HL, 0x2222}, {Reg::IX, 0x3333}}, {}, 1,
     {{Reg::DE, 0x2222}, {Reg::HL, 0x1111}, {Reg::IX, 0x3333}}, {}},
    {"PrefixedEdRunsOnHl", {0xDD, 0xED, 0x42}, {{Reg::HL, 0x0005}, {Reg::BC, 0x0002}, {Reg::IX, 0x1000}, {Reg::F, 0}},
     {}, 1, {{Reg::HL, 0x0003}, {Reg::IX, 0x1000}}, {}},
    {"SllSetsBit0", {0xCB, 0x36}, {{Reg::HL, 0x2000}, {Reg::F, 0x00}}, {{0x2000, 0x80}}, 1,
     {{Reg::F, kC}}, {{0x2000, 0x01}}},
    {"Bit7OfA", {0xCB, 0x7F}, {{Reg::A, 0x80}, {Reg::F, 0x00}}, {}, 1, {{Reg::F, kS | kH}}, {}},
    {"Bit0ClearKeepsCarry", {0xCB, 0x40}, {{Reg::B, 0xFE}, {Reg::F, kC}}, {}, 1, {{Reg::F, kZ | kH | kP | kC}}, {}},
    {"Bit5SetsBit5", {0xCB, 0x68}, {{Reg::B, 0x20}, {Reg::F, 0x00}}, {}, 1, {{Reg::F, kY | kH}}, {}},
    {"Bit3SetsBit3", {0xCB, 0x5E}, {{Reg::HL, 0x2000}, {Reg::F, 0x00}}, {{0x2000, 0xFF}}, 1, {{Reg::F, kX | kH}}, {}},
};
INSTANTIATE_TEST_SUITE_P(IndexAndBitForms, InstructionTable, ::testing::ValuesIn(kIndexAndBitForms),
                         [](const auto& info) { return std::string(info.param.name); });

const InstructionCase kEdPage[] = {
    // BC ends at 2800h, which is not zero, so P/V is 1; bits 3 and 5 come from B = 28h.
    {"LdiLastByte", {0xED, 0xA0}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x2801}, {Reg::F, kC}},
     {{0x2000, 0xAA}}, 1, {{Reg::HL, 0x2001}, {Reg::DE, 0x3001}, {Reg::BC, 0x2800}, {Reg::F, kY | kX | kP | kC}},
     {{0x3000, 0xAA}}},
    {"LddStepsDown", {0xED, 0xA8}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x0005}, {Reg::F, kS | kZ}},
     {{0x2000, 0xAA}}, 1, {{Reg::HL, 0x1FFF}, {Reg::DE, 0x2FFF}, {Reg::BC, 0x0004}, {Reg::F, kS | kZ | kP}},
     {{0x3000, 0xAA}}},
    {"LdirFirstOfTwo", {0xED, 0xB0}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x0002}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x22}}, 1, {{Reg::BC, 0x0001}, {Reg::PC, 0x0100}, {Reg::F, kP}},
     {{0x3000, 0x11}, {0x3001, 0x00}}},
    {"LdirSecondOfTwo", {0xED, 0xB0}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x0002}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x22}}, 2, {{Reg::BC, 0x0000}, {Reg::PC, 0x0102}, {Reg::F, 0x00}},
     {{0x3000, 0x11}, {0x3001, 0x22}}},
    {"CpirStopsOnMatch", {0xED, 0xB1}, {{Reg::A, 0x33}, {Reg::HL, 0x2000}, {Reg::BC, 0x0010}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x33}}, 2,
     {{Reg::PC, 0x0102}, {Reg::HL, 0x2002}, {Reg::BC, 0x000E}, {Reg::F, kZ | kY | kP | kN}}, {}},
    {"CpirRunsOut", {0xED, 0xB1}, {{Reg::A, 0x99}, {Reg::HL, 0x2000}, {Reg::BC, 0x0002}, {Reg::F, kC}},
     {{0x2000, 0x11}, {0x2001, 0x22}}, 2, {{Reg::PC, 0x0102}, {Reg::BC, 0x0000}, {Reg::F, kX | kN | kC}}, {}},
    {"NegOf80", {0xED, 0x44}, {{Reg::A, 0x80}, {Reg::F, 0x00}}, {}, 1, {{Reg::A, 0x80}, {Reg::F, kS | kP | kN | kC}}, {}},
    {"NegOfZero", {0xED, 0x7C}, {{Reg::A, 0x00}, {Reg::F, kC}}, {}, 1, {{Reg::A, 0x00}, {Reg::F, kZ | kN}}, {}},
    {"SbcHlHlWithCarry", {0xED, 0x62}, {{Reg::HL, 0x1234}, {Reg::F, kC}}, {}, 1,
     {{Reg::HL, 0xFFFF}, {Reg::F, kS | kH | kN | kC}}, {}},
    {"AdcHlToZero", {0xED, 0x4A}, {{Reg::HL, 0x8000}, {Reg::BC, 0x8000}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::HL, 0x0000}, {Reg::F, kZ | kP | kC}}, {}},
    {"AdcHlHalfCarryFromBit11", {0xED, 0x5A}, {{Reg::HL, 0x0FFF}, {Reg::DE, 0x0000}, {Reg::F, kC}}, {}, 1,
     {{Reg::HL, 0x1000}, {Reg::F, kH | kX}}, {}},
    {"LoadRCountsBeforeRead", {0xED, 0x4F, 0x00, 0xED, 0x5F}, {{Reg::A, 0x80}}, {}, 3, {{Reg::A, 0x83}}, {}},
    {"Ed00DoesNothing", {0xED, 0x00}, {{Reg::R, 0x00}}, {}, 1,
     {{Reg::PC, 0x0102}, {Reg::R, 0x02}, {Reg::AF, 0xFFFF}, {Reg::BC, 0xFFFF}, {Reg::HL, 0xFFFF}}, {}},
    {"Ed77DoesNothing", {0xED, 0x77}, {{Reg::R, 0x00}}, {}, 1,
     {{Reg::PC, 0x0102}, {Reg::R, 0x02}, {Reg::AF, 0xFFFF}, {Reg::I, 0x00}}, {}},
    {"EdA4DoesNothing", {0xED, 0xA4}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}}, {{0x2000, 0x11}}, 1,
     {{Reg::PC, 0x0102}, {Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0xFFFF}}, {{0x3000, 0x00}}},
    {"EdFFDoesNothing", {0xED, 0xFF}, {}, {}, 1, {{Reg::PC, 0x0102}, {Reg::SP, 0xFFFF}, {Reg::AF, 0xFFFF}}, {}},
    {"Ed80IsLdi", {0xED, 0x80}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x2801}, {Reg::F, kC}},
     {{0x2000, 0xAA}}, 1, {{Reg::HL, 0x2001}, {Reg::DE, 0x3001}, {Reg::BC, 0x2800}, {Reg::F, kY | kX | kP | kC}},
     {{0x3000, 0xAA}}},
    {"Ed90IsLdir", {0xED, 0x90}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x0002}}, {}, 1,
     {{Reg::BC, 0x0001}, {Reg::PC, 0x0100}}, {}},
    {"Ed99IsCpdr", {0xED, 0x99}, {{Reg::A, 0x00}, {Reg::HL, 0x2000}, {Reg::BC, 0x0003}}, {{0x2000, 0x01}}, 1,
     {{Reg::BC, 0x0002}, {Reg::HL, 0x1FFF}, {Reg::PC, 0x0100}}, {}},
    {"Ed84DoesNothing", {0xED, 0x84}, {{Reg::HL, 0x2000}}, {}, 1, {{Reg::PC, 0x0102}, {Reg::HL, 0x2000}}, {}},
};
INSTANTIATE_TEST_SUITE_P(EdPage, InstructionTable, ::testing::ValuesIn(kEdPage),
                         [](const auto& info) { return std::string(info.param.name); });

// LDIR with BC = 0 runs 65,536 iterations; copying each byte onto itself
// keeps the program intact while HL and DE go once round the address space.
TEST(BlockInstructions, LdirWithZeroCountRunsFullCircle) {
    auto cpu = MakeCpu({0xED, 0xB0}, 0x0000);
    cputest::Set(*cpu, Reg::HL, 0x4000);
    cputest::Set(*cpu, Reg::DE, 0x4000);
    cputest::Set(*cpu, Reg::BC, 0x0000);
    int calls = 0;
    while (cpu->NextPC == 0x0000 && calls < 70000) {
        cpu->ExecuteOpcode();
        ++calls;
    }
    EXPECT_EQ(calls, 65536);
    EXPECT_EQ(Get(*cpu, Reg::BC), 0x0000);
    EXPECT_EQ(Get(*cpu, Reg::HL), 0x4000);
    EXPECT_EQ(Get(*cpu, Reg::DE), 0x4000);
    EXPECT_EQ(cpu->NextPC, 0x0002);
}

// A fill by overlapping LDIR: each byte copies the one just written.
TEST(BlockInstructions, OverlappingLdirFills) {
    auto cpu = MakeCpu({0xED, 0xB0}, 0x0000);
    cputest::Set(*cpu, Reg::HL, 0x8000);
    cputest::Set(*cpu, Reg::DE, 0x8001);
    cputest::Set(*cpu, Reg::BC, 0x00FF);
    cpu->WriteMemoryByte(0x8000, 0x5A);
    for (int i = 0; i < 0xFF; ++i) cpu->ExecuteOpcode();
    EXPECT_EQ(cpu->NextPC, 0x0002);
    for (uint16_t a = 0x8000; a <= 0x80FF; ++a) ASSERT_EQ(cpu->ReadMemoryByte(a), 0x5A) << a;
    EXPECT_EQ(cpu->ReadMemoryByte(0x8100), 0x00);
}

}  // namespace
