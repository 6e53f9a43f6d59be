// The processor where random single-instruction states rarely or never go:
// port handlers that answer nothing, loop ends and
// wrap-around, multi-call repeats, and the ED 80-9F block mirrors, which the
// hardware does not have.

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CpuHarness.h"
#include "support/NamedRows.h"

namespace {

using namespace cputest;

struct PortEvent {
    uint16_t port;
    uint8_t value;
    bool write;
    bool operator==(const PortEvent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const PortEvent& e) {
    return os << (e.write ? "out " : "in ") << std::hex << e.port << "=" << int(e.value);
}

enum class ReadHandler { Answers, LeavesByte, Missing };

struct PortCase {
    const char* name;
    std::vector<uint8_t> code;
    RegValues regs;
    MemValues mem;
    ReadHandler handler;
    uint8_t answer;
    int calls;
    std::vector<PortEvent> traffic;
    RegValues expectRegs;
    MemValues expectMem;
};


TAVRIN_PRINT_AS_NAME(PortCase)
class PortTraffic : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortTraffic, MatchesExpectedBusAndState) {
    const PortCase& pc = GetParam();
    auto cpu = MakeCpu(pc.code);
    Apply(*cpu, pc.regs);
    Apply(*cpu, pc.mem);
    std::vector<PortEvent> seen;
    if (pc.handler != ReadHandler::Missing) {
        cpu->OnPortRead = [&](TCpuEmu&, uint16_t port, uint8_t& data) {
            seen.push_back({port, 0, false});
            if (pc.handler == ReadHandler::Answers) data = pc.answer;
        };
    }
    cpu->OnPortWrite = [&](TCpuEmu&, uint16_t port, uint8_t data) { seen.push_back({port, data, true}); };
    for (int i = 0; i < pc.calls; ++i) cpu->ExecuteOpcode();
    EXPECT_EQ(seen, pc.traffic);
    for (const auto& [r, v] : pc.expectRegs) EXPECT_EQ(Get(*cpu, r), v) << "register " << RegName(r);
    for (const auto& [a, v] : pc.expectMem) EXPECT_EQ(cpu->ReadMemoryByte(a), v) << "memory at " << std::hex << a;
}

constexpr auto kAnswers = ReadHandler::Answers;
constexpr auto kLeaves = ReadHandler::LeavesByte;
constexpr auto kMissing = ReadHandler::Missing;

const PortCase kPortCases[] = {
    {"InAWithoutHandlerReadsIdleBus", {0xDB, 0x20}, {{Reg::A, 0x12}}, {}, kMissing, 0, 1, {}, {{Reg::A, 0xFF}}, {}},
    {"InRegisterReadsIdleBusWhenUnanswered", {0xED, 0x50}, {{Reg::BC, 0x1234}, {Reg::D, 0x00}, {Reg::F, 0x00}}, {},
     kLeaves, 0, 1, {{0x1234, 0, false}}, {{Reg::D, 0xFF}, {Reg::F, kS | kY | kX | kP}}, {}},
    {"InirWithoutHandlerStoresIdleBus", {0xED, 0xB2}, {{Reg::BC, 0x0210}, {Reg::HL, 0x2000}}, {}, kMissing, 0, 2, {},
     {{Reg::B, 0x00}, {Reg::PC, 0x0102}}, {{0x2000, 0xFF}, {0x2001, 0xFF}}},
    {"OtirThreeRounds", {0xED, 0xB3}, {{Reg::BC, 0x0340}, {Reg::HL, 0x2000}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x22}, {0x2002, 0x33}}, kAnswers, 0, 3,
     {{0x0340, 0x11, true}, {0x0240, 0x22, true}, {0x0140, 0x33, true}},
     {{Reg::B, 0x00}, {Reg::PC, 0x0102}, {Reg::HL, 0x2003}, {Reg::F, kY | kH | kZ | kN}}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cpu, PortTraffic, ::testing::ValuesIn(kPortCases),
                         tavrin::test::RowName);

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


TAVRIN_PRINT_AS_NAME(InstructionCase)
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
const InstructionCase kEdgeCases[] = {
    {"DjnzLastRoundFallsThrough", {0x10, 0xFE}, {{Reg::B, 0x01}, {Reg::F, 0x00}}, {}, 1,
     {{Reg::B, 0x00}, {Reg::PC, 0x012A}, {Reg::F, kY | kX}}, {}, 0x0128},
    {"StoreHlWrapsAtTop", {0x22, 0xFF, 0xFF}, {{Reg::HL, 0x1234}}, {}, 1, {}, {{0xFFFF, 0x34}, {0x0000, 0x12}}},
    {"LoadPairWrapsAtTop", {0xED, 0x4B, 0xFF, 0xFF}, {}, {{0xFFFF, 0x34}, {0x0000, 0xED}}, 1,
     {{Reg::BC, 0xED34}}, {}},
    {"LdirSecondOfTwo", {0xED, 0xB0}, {{Reg::HL, 0x2000}, {Reg::DE, 0x3000}, {Reg::BC, 0x0002}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x22}}, 2, {{Reg::BC, 0x0000}, {Reg::PC, 0x0102}, {Reg::F, 0x00}},
     {{0x3000, 0x11}, {0x3001, 0x22}}},
    {"CpirStopsOnMatch", {0xED, 0xB1}, {{Reg::A, 0x33}, {Reg::HL, 0x2000}, {Reg::BC, 0x0010}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x33}}, 2,
     {{Reg::PC, 0x0102}, {Reg::HL, 0x2002}, {Reg::BC, 0x000E}, {Reg::F, kZ | kY | kP | kN}}, {}},
    {"CpirRunsOut", {0xED, 0xB1}, {{Reg::A, 0x99}, {Reg::HL, 0x2000}, {Reg::BC, 0x0002}, {Reg::F, kC}},
     {{0x2000, 0x11}, {0x2001, 0x22}}, 2, {{Reg::PC, 0x0102}, {Reg::BC, 0x0000}, {Reg::F, kX | kN | kC}}, {}},
};
INSTANTIATE_TEST_SUITE_P(EdgeCases, InstructionTable, ::testing::ValuesIn(kEdgeCases),
                         tavrin::test::RowName);

// LDIR with BC = 0 runs 65,536 iterations; copying each byte onto itself
// keeps the program intact while HL and DE go once round the address space.
TEST(BlockInstructions, LdirWithZeroCountRunsFullCircle) {
    auto cpu = MakeCpu({0xED, 0xB0}, 0x0000);
    Set(*cpu, Reg::HL, 0x4000);
    Set(*cpu, Reg::DE, 0x4000);
    Set(*cpu, Reg::BC, 0x0000);
    int calls = 0;
    while (cpu->NextPC == 0x0000 && calls < 70000) {
        cpu->ExecuteOpcode();
        ++calls;
    }
    EXPECT_EQ(calls, 65536);
    EXPECT_EQ(Get(*cpu, Reg::BC), 0x0000);
    EXPECT_EQ(Get(*cpu, Reg::HL), 0x4000);
    EXPECT_EQ(Get(*cpu, Reg::DE), 0x4000);
    EXPECT_EQ(cpu->StatusFlags() & kP, 0);
    EXPECT_EQ(cpu->NextPC, 0x0002);
}

// Everything one block opcode changes: registers, the bytes around HL and
// DE, and the port traffic.
std::vector<int> BlockOutcome(uint8_t op) {
    auto cpu = MakeCpu({0xED, op});
    Apply(*cpu, RegValues{{Reg::A, 0x22}, {Reg::F, 0x00}, {Reg::BC, 0x0203}, {Reg::DE, 0x3000}, {Reg::HL, 0x2000}});
    Apply(*cpu, MemValues{{0x1FFF, 0x22}, {0x2000, 0x11}, {0x2001, 0x22}});
    std::vector<int> outcome;
    cpu->OnPortRead = [&](TCpuEmu&, uint16_t port, uint8_t& data) {
        outcome.push_back(port);
        data = 0x5A;
    };
    cpu->OnPortWrite = [&](TCpuEmu&, uint16_t port, uint8_t data) {
        outcome.push_back(port);
        outcome.push_back(data);
    };
    cpu->ExecuteOpcode();
    for (Reg r : {Reg::AF, Reg::BC, Reg::DE, Reg::HL, Reg::PC, Reg::R}) outcome.push_back(Get(*cpu, r));
    for (uint16_t a : {0x1FFF, 0x2000, 0x2001, 0x2FFF, 0x3000, 0x3001}) outcome.push_back(cpu->ReadMemoryByte(a));
    return outcome;
}

// Bit 5 of a block opcode is not examined: each of ED 80-9F acts exactly as
// the ED A0-BF opcode with the same low five bits (ED 80 is LDI, ED 84 does
// nothing like ED A4, ED 9B is OTDR).
TEST(BlockInstructions, Ed80To9FActAsEdA0ToBF) {
    for (int op = 0x80; op < 0xA0; ++op)
        EXPECT_EQ(BlockOutcome(uint8_t(op)), BlockOutcome(uint8_t(op | 0x20))) << "ED " << std::hex << op;
    EXPECT_NE(BlockOutcome(0xA0), BlockOutcome(0xA4)) << "the comparison sees an instruction's effects";
}

}  // namespace
