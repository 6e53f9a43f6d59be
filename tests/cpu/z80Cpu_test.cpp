// The processor as a component: reset, memory access, register properties,
// R, the bookkeeping fields, events and port traffic.

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CpuHarness.h"

namespace {

using namespace cputest;

TEST(CpuReset, SetsRegistersAndKeepsMemory) {
    auto cpu = MakeCpu({0x3E, 0x12, 0xED, 0x5E, 0xFB});
    for (int i = 0; i < 3; ++i) cpu->ExecuteOpcode();  // LD A,12h; IM 2; EI
    cpu->SetRegisterI(0x40);
    cpu->WriteMemoryByte(0x8000, 0xA5);
    cpu->Reset(0x1234);

    EXPECT_EQ(Get(*cpu, Reg::PC), 0x1234);
    EXPECT_EQ(cpu->LastPC, 0x1234);
    EXPECT_EQ(cpu->NextPC, 0x1234);
    EXPECT_EQ(cpu->OpcodeCount, 0);
    for (Reg r : {Reg::AF, Reg::BC, Reg::DE, Reg::HL, Reg::IX, Reg::IY, Reg::SP})
        EXPECT_EQ(Get(*cpu, r), 0xFFFF) << RegName(r);
    EXPECT_EQ(cpu->RegisterI(), 0);
    EXPECT_EQ(cpu->RegisterR(), 0);
    const uint8_t alternates[] = {cpu->ExRegisterA(), cpu->ExStatusFlags(), cpu->ExRegisterB(), cpu->ExRegisterC(),
                                  cpu->ExRegisterD(), cpu->ExRegisterE(), cpu->ExRegisterH(), cpu->ExRegisterL()};
    for (uint8_t v : alternates) EXPECT_EQ(v, 0xFF);
    EXPECT_EQ(cpu->CpuState(), 0) << "IM 0, interrupts disabled, not halted";
    EXPECT_EQ(cpu->ReadMemoryByte(0x8000), 0xA5);
    EXPECT_EQ(cpu->ReadMemoryByte(0x1234), 0x00);
    EXPECT_EQ(cpu->ReadMemoryByte(0x0100), 0x3E);
}

TEST(CpuReset, NewProcessorHasZeroMemoryAndStartsAtZero) {
    auto cpu = std::make_unique<TCpuEmu>();
    EXPECT_EQ(Get(*cpu, Reg::PC), 0x0000);
    EXPECT_EQ(Get(*cpu, Reg::SP), 0xFFFF);
    std::vector<uint8_t> all(0x10000, 0xEE);
    cpu->ReadMemory(0x0000, 0xFFFF, all.data());
    all[0xFFFF] = cpu->ReadMemoryByte(0xFFFF);
    EXPECT_EQ(std::count(all.begin(), all.end(), 0), 0x10000);
}

struct MemoryCase {
    const char* name;
    uint16_t address;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> expectAt;  // where bytes[i] must land
};

void PrintTo(const MemoryCase& c, std::ostream* os) { *os << c.name; }

class MemoryWrap : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(MemoryWrap, BlockTransfersWrapAtTop) {
    const MemoryCase& mc = GetParam();
    TCpuEmu cpu;
    cpu.WriteMemory(mc.address, uint16_t(mc.bytes.size()), mc.bytes.data());
    for (size_t i = 0; i < mc.bytes.size(); ++i) EXPECT_EQ(cpu.ReadMemoryByte(mc.expectAt[i]), mc.bytes[i]) << i;
    std::vector<uint8_t> back(mc.bytes.size() + 1, 0xEE);
    cpu.ReadMemory(mc.address, uint16_t(mc.bytes.size()), back.data());
    for (size_t i = 0; i < mc.bytes.size(); ++i) EXPECT_EQ(back[i], mc.bytes[i]) << i;
    EXPECT_EQ(back.back(), 0xEE) << "read past the count";
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, MemoryWrap,
    ::testing::Values(MemoryCase{"AcrossTop", 0xFFFE, {1, 2, 3, 4}, {0xFFFE, 0xFFFF, 0x0000, 0x0001}},
                      MemoryCase{"EndsAtTop", 0xFFFC, {9, 8, 7, 6}, {0xFFFC, 0xFFFD, 0xFFFE, 0xFFFF}},
                      MemoryCase{"InMiddle", 0x1000, {5, 6}, {0x1000, 0x1001}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuMemory, CountZeroLeavesMemoryAlone) {
    TCpuEmu cpu;
    const uint8_t byte = 0x77;
    cpu.WriteMemory(0x3000, 0, &byte);
    EXPECT_EQ(cpu.ReadMemoryByte(0x3000), 0x00);
    uint8_t out = 0x55;
    cpu.ReadMemory(0x3000, 0, &out);
    EXPECT_EQ(out, 0x55);
}

// Every property reads back what was written and touches no other register.
TEST(CpuProperties, EachPropertyIsItsOwnRegister) {
    using Getter = uint8_t (TCpuEmu::*)() const;
    using Setter = void (TCpuEmu::*)(uint8_t);
    struct Property {
        const char* name;
        Getter get;
        Setter set;
    };
    const std::array<Property, 26> props{{
        {"A", &TCpuEmu::RegisterA, &TCpuEmu::SetRegisterA},
        {"F", &TCpuEmu::StatusFlags, &TCpuEmu::SetStatusFlags},
        {"B", &TCpuEmu::RegisterB, &TCpuEmu::SetRegisterB},
        {"C", &TCpuEmu::RegisterC, &TCpuEmu::SetRegisterC},
        {"D", &TCpuEmu::RegisterD, &TCpuEmu::SetRegisterD},
        {"E", &TCpuEmu::RegisterE, &TCpuEmu::SetRegisterE},
        {"H", &TCpuEmu::RegisterH, &TCpuEmu::SetRegisterH},
        {"L", &TCpuEmu::RegisterL, &TCpuEmu::SetRegisterL},
        {"R", &TCpuEmu::RegisterR, &TCpuEmu::SetRegisterR},
        {"I", &TCpuEmu::RegisterI, &TCpuEmu::SetRegisterI},
        {"IXH", &TCpuEmu::RegisterIXH, &TCpuEmu::SetRegisterIXH},
        {"IXL", &TCpuEmu::RegisterIXL, &TCpuEmu::SetRegisterIXL},
        {"IYH", &TCpuEmu::RegisterIYH, &TCpuEmu::SetRegisterIYH},
        {"IYL", &TCpuEmu::RegisterIYL, &TCpuEmu::SetRegisterIYL},
        {"PCH", &TCpuEmu::RegisterPCH, &TCpuEmu::SetRegisterPCH},
        {"PCL", &TCpuEmu::RegisterPCL, &TCpuEmu::SetRegisterPCL},
        {"SPH", &TCpuEmu::RegisterSPH, &TCpuEmu::SetRegisterSPH},
        {"SPL", &TCpuEmu::RegisterSPL, &TCpuEmu::SetRegisterSPL},
        {"A'", &TCpuEmu::ExRegisterA, &TCpuEmu::SetExRegisterA},
        {"F'", &TCpuEmu::ExStatusFlags, &TCpuEmu::SetExStatusFlags},
        {"B'", &TCpuEmu::ExRegisterB, &TCpuEmu::SetExRegisterB},
        {"C'", &TCpuEmu::ExRegisterC, &TCpuEmu::SetExRegisterC},
        {"D'", &TCpuEmu::ExRegisterD, &TCpuEmu::SetExRegisterD},
        {"E'", &TCpuEmu::ExRegisterE, &TCpuEmu::SetExRegisterE},
        {"H'", &TCpuEmu::ExRegisterH, &TCpuEmu::SetExRegisterH},
        {"L'", &TCpuEmu::ExRegisterL, &TCpuEmu::SetExRegisterL},
    }};
    for (size_t k = 0; k < props.size(); ++k) {
        TCpuEmu cpu;
        for (size_t j = 0; j < props.size(); ++j) (cpu.*props[j].set)(uint8_t(j));
        (cpu.*props[k].set)(0xC3);
        for (size_t j = 0; j < props.size(); ++j)
            EXPECT_EQ((cpu.*props[j].get)(), j == k ? 0xC3 : j) << "after setting " << props[k].name << ", "
                                                                  << props[j].name;
    }
}

TEST(CpuProperties, OnlyProgramCounterSettersMoveNextPC) {
    TCpuEmu cpu;
    cpu.SetRegisterPCH(0x12);
    EXPECT_EQ(cpu.NextPC, 0x1200);
    cpu.SetRegisterPCL(0x34);
    EXPECT_EQ(cpu.NextPC, 0x1234);
    cpu.SetRegisterSPH(0x56);
    cpu.SetRegisterSPL(0x78);
    cpu.SetRegisterIXL(0x9A);
    EXPECT_EQ(cpu.NextPC, 0x1234);
    EXPECT_EQ(cpu.LastPC, 0x0000);
}

struct RCase {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t before;
    uint8_t after;
};

void PrintTo(const RCase& c, std::ostream* os) { *os << c.name; }

class RCounting : public ::testing::TestWithParam<RCase> {};

TEST_P(RCounting, CountsOpcodeFetchesInSevenBits) {
    const RCase& rc = GetParam();
    auto cpu = MakeCpu(rc.code);
    Set(*cpu, Reg::IX, 0x2000);
    Set(*cpu, Reg::HL, 0x2000);
    cpu->SetRegisterR(rc.before);
    cpu->ExecuteOpcode();
    EXPECT_EQ(cpu->RegisterR(), rc.after);
    EXPECT_EQ(cpu->OpcodeCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, RCounting,
    ::testing::Values(RCase{"PlainWrapsKeepingBit7", {0x00}, 0xFF, 0x80}, RCase{"PlainWrapsToZero", {0x00}, 0x7F, 0x00},
                      RCase{"IndexedCbCountsThree", {0xDD, 0xCB, 0x05, 0x46}, 0x10, 0x13},
                      RCase{"PrefixChainCountsEachPrefix", {0xDD, 0xFD, 0xDD, 0x00}, 0x7E, 0x02}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuBookkeeping, HaltRepeatsInPlace) {
    auto cpu = MakeCpu({0x76, 0x3C});
    for (int i = 1; i <= 5; ++i) {
        cpu->ExecuteOpcode();
        EXPECT_EQ(cpu->NextPC, 0x0100);
        EXPECT_EQ(cpu->LastPC, 0x0100);
        EXPECT_EQ(cpu->OpcodeCount, i);
        EXPECT_EQ(cpu->RegisterR(), i);
        EXPECT_NE(cpu->CpuState() & TCpuEmu::kStateHalted, 0);
    }
    EXPECT_EQ(cpu->RegisterA(), 0xFF) << "the instruction after HALT never ran";
}

// Prefixes all round memory never reach an opcode; the call still returns,
// as one instruction that leaves PC where it began.
TEST(CpuBookkeeping, PrefixChainRoundMemoryEnds) {
    TCpuEmu cpu;
    std::vector<uint8_t> prefixes(0x10000);
    for (size_t a = 0; a < prefixes.size(); ++a) prefixes[a] = a % 3 ? 0xDD : 0xFD;
    cpu.WriteMemory(0x0000, 0xFFFF, prefixes.data());
    cpu.WriteMemoryByte(0xFFFF, 0xDD);
    cpu.Reset(0x1234);
    cpu.SetRegisterR(0x85);
    for (int i = 1; i <= 2; ++i) {
        cpu.ExecuteOpcode();
        EXPECT_EQ(cpu.NextPC, 0x1234);
        EXPECT_EQ(cpu.OpcodeCount, i);
    }
    EXPECT_EQ(cpu.RegisterR(), 0x85) << "65,536 fetches per call";
    EXPECT_EQ(Get(cpu, Reg::IX), 0xFFFF);
    EXPECT_EQ(Get(cpu, Reg::IY), 0xFFFF);
    EXPECT_EQ(cpu.CpuState(), 0);
}

// OnOpcodeDone fires once per call, whatever the instruction.
TEST(CpuEvents, OpcodeDoneOncePerCall) {
    const std::vector<std::vector<uint8_t>> programs = {
        {0x00}, {0xDD, 0xFD, 0x21, 0x00, 0x00}, {0xDD, 0xCB, 0x00, 0x06}, {0x76}, {0xED, 0xB0}};
    for (const auto& program : programs) {
        auto cpu = MakeCpu(program);
        Set(*cpu, Reg::BC, 0x0003);
        int fired = 0;
        const TCpuEmu* sender = nullptr;
        cpu->OnOpcodeDone = [&](TCpuEmu& s) {
            ++fired;
            sender = &s;
            EXPECT_EQ(s.OpcodeCount, fired) << "fires after the count moved";
        };
        for (int i = 0; i < 3; ++i) cpu->ExecuteOpcode();
        EXPECT_EQ(fired, 3) << "program starting " << int(program[0]);
        EXPECT_EQ(sender, cpu.get());
    }
}

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

void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

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
    {"InAKeepsAWhenHandlerAnswersNothing", {0xDB, 0x20}, {{Reg::A, 0x12}}, {}, kLeaves, 0, 1, {{0x1220, 0, false}},
     {{Reg::A, 0x12}}, {}},
    {"InRegisterReadsIdleBusWhenUnanswered", {0xED, 0x50}, {{Reg::BC, 0x1234}, {Reg::D, 0x00}, {Reg::F, 0x00}}, {},
     kLeaves, 0, 1, {{0x1234, 0, false}}, {{Reg::D, 0xFF}, {Reg::F, kS | kY | kX | kP}}, {}},
    {"InFlagsOnlyReadsIdleBusWhenUnanswered", {0xED, 0x70}, {{Reg::BC, 0x1234}, {Reg::F, kC}, {Reg::HL, 0x5555}},
     {}, kLeaves, 0, 1, {{0x1234, 0, false}},
     {{Reg::F, kS | kY | kX | kP | kC}, {Reg::HL, 0x5555}, {Reg::A, 0xFF}, {Reg::BC, 0x1234}}, {}},
    {"IniReadsIdleBusWhenUnanswered", {0xED, 0xA2}, {{Reg::BC, 0x0510}, {Reg::HL, 0x2000}, {Reg::F, 0x00}}, {},
     kLeaves, 0, 1, {{0x0510, 0, false}}, {{Reg::B, 0x04}, {Reg::HL, 0x2001}}, {{0x2000, 0xFF}}},
    {"InirWithoutHandlerStoresIdleBus", {0xED, 0xB2}, {{Reg::BC, 0x0210}, {Reg::HL, 0x2000}}, {}, kMissing, 0, 2, {},
     {{Reg::B, 0x00}, {Reg::PC, 0x0102}}, {{0x2000, 0xFF}, {0x2001, 0xFF}}},
    {"OtirThreeRounds", {0xED, 0xB3}, {{Reg::BC, 0x0340}, {Reg::HL, 0x2000}, {Reg::F, 0x00}},
     {{0x2000, 0x11}, {0x2001, 0x22}, {0x2002, 0x33}}, kAnswers, 0, 3,
     {{0x0340, 0x11, true}, {0x0240, 0x22, true}, {0x0140, 0x33, true}},
     {{Reg::B, 0x00}, {Reg::PC, 0x0102}, {Reg::HL, 0x2003}, {Reg::F, kY | kH | kZ | kN}}, {}},
};

INSTANTIATE_TEST_SUITE_P(Cpu, PortTraffic, ::testing::ValuesIn(kPortCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CpuPorts, UnassignedWriteHandlerDropsTheByte) {
    auto cpu = MakeCpu({0xD3, 0x20, 0x3C});
    cpu->ExecuteOpcode();
    cpu->ExecuteOpcode();
    EXPECT_EQ(cpu->NextPC, 0x0103);
    EXPECT_EQ(cpu->RegisterA(), 0x00);
}

}  // namespace
