// The processor where random single-instruction states rarely or never go
// (wrap-around at the top of memory, the ED 80-9F mirrors, interrupts), and
// the disassembler.

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cpu/OpcodeToText.h"
#include "support/NamedRows.h"
#include "support/Z80State.h"

namespace {

using namespace tavrin::test;
using TState = TZ80State;
using TMemory = std::vector<std::pair<uint16_t, uint8_t>>;

constexpr uint8_t kIff1 = TCpuEmu::kStateIff1, kIff2 = TCpuEmu::kStateIff2;

// A processor reset to 0100h with `code` there, its state then changed by
// `setup`, and `memory` poked; `cpuState` is TCpuEmu's state byte.
struct TBench {
    TCpuEmu cpu;
    TBench(const std::vector<uint8_t>& code, const std::function<void(TState&)>& setup = {}, const TMemory& memory = {},
           uint8_t cpuState = 0) {
        cpu.WriteMemory(0x0100, uint16_t(code.size()), code.data());
        cpu.Reset(0x0100);
        TState s = SaveZ80State(cpu);
        if (setup) setup(s);
        LoadZ80State(cpu, s, 0, cpuState);
        for (const auto& [a, v] : memory) cpu.WriteMemoryByte(a, v);
    }
    TState State() const { return SaveZ80State(cpu); }
    uint16_t StackWord() const {
        const uint16_t sp = State().sp;
        return uint16_t(cpu.ReadMemoryByte(sp) | cpu.ReadMemoryByte(uint16_t(sp + 1)) << 8);
    }
};

// Runs one instruction; the whole state must then be the start state as
// `change` alters it (R, which counts fetches, aside), and `memory` must hold.
struct TInstructionCase {
    const char* name;
    std::vector<uint8_t> code;
    std::function<void(TState&)> setup;
    TMemory memory;
    std::function<void(TState&)> change;
    TMemory expectMemory;
};

TAVRIN_PRINT_AS_NAME(TInstructionCase)
class InstructionTable : public ::testing::TestWithParam<TInstructionCase> {};

TEST_P(InstructionTable, ProducesExpectedState) {
    const TInstructionCase& c = GetParam();
    TBench b(c.code, c.setup, c.memory);
    TState want = b.State();
    b.cpu.ExecuteOpcode();
    c.change(want);
    want.r = b.State().r;
    EXPECT_EQ(Describe(b.State()), Describe(want));
    for (const auto& [a, v] : c.expectMemory) EXPECT_EQ(b.cpu.ReadMemoryByte(a), v) << "memory at " << a;
    EXPECT_EQ(b.cpu.OpcodeCount, 1);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, InstructionTable,
                         ::testing::Values(TInstructionCase{"StoreHlWrapsAtTop",
                                                            {0x22, 0xFF, 0xFF},
                                                            [](TState& s) { s.hl = 0x1234; },
                                                            {},
                                                            [](TState& s) { s.pc = 0x0103; },
                                                            {{0xFFFF, 0x34}, {0x0000, 0x12}}},
                                           TInstructionCase{"LoadPairWrapsAtTop",
                                                            {0xED, 0x4B, 0xFF, 0xFF},
                                                            {},
                                                            {{0xFFFF, 0x34}, {0x0000, 0xED}},
                                                            [](TState& s) { s.bc = 0xED34, s.pc = 0x0104; },
                                                            {}}),
                         RowName);

// Everything one block opcode changes: the state, the bytes around HL and
// DE, and the port traffic.
std::string BlockOutcome(uint8_t op) {
    TBench b({0xED, op}, [](TState& s) { s.af = 0x2200, s.bc = 0x0203, s.de = 0x3000, s.hl = 0x2000; },
             {{0x1FFF, 0x22}, {0x2000, 0x11}, {0x2001, 0x22}});
    std::string outcome;
    b.cpu.OnPortRead = [&](TCpuEmu&, uint16_t port, uint8_t& data) {
        outcome += " in " + std::to_string(port);
        data = 0x5A;
    };
    b.cpu.OnPortWrite = [&](TCpuEmu&, uint16_t port, uint8_t data) {
        outcome += " out " + std::to_string(port) + "=" + std::to_string(data);
    };
    b.cpu.ExecuteOpcode();
    outcome += " " + Describe(b.State());
    for (uint16_t a : {0x1FFF, 0x2000, 0x2001, 0x2FFF, 0x3000, 0x3001})
        outcome += " " + std::to_string(b.cpu.ReadMemoryByte(a));
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

// A device that raises the maskable line on request and counts the polls.
struct TDevice {
    bool irq = false;
    bool answers = true;
    uint8_t vector = 0xFF;
    int nmiPolls = 0, irqPolls = 0;

    void Attach(TCpuEmu& cpu) {
        cpu.OnCheckForNonMaskIrq = [this](TCpuEmu&, bool& isIrq) { ++nmiPolls, isIrq = false; };
        cpu.OnCheckForInterrupt = [this](TCpuEmu&, bool& isIrq, uint8_t& v) {
            ++irqPolls;
            isIrq = irq;
            if (irq && answers) v = vector;
        };
    }
};

struct TAcceptCase {
    const char* name;
    uint8_t modeCode;  // TCpuEmu's interrupt mode code
    bool answers;      // the device puts `vector` on the bus
    uint8_t vector;
    uint16_t expectPc;
    uint8_t expectR;
};

TAVRIN_PRINT_AS_NAME(TAcceptCase)
class MaskableAcceptance : public ::testing::TestWithParam<TAcceptCase> {};

// Handlers hold NOPs, so the first handler instruction runs in the same call.
TEST_P(MaskableAcceptance, JumpsAsTheModeSays) {
    const TAcceptCase& c = GetParam();
    // IM 2 table entries at 40FEh and 40FFh (the latter reads 40FFh/4100h).
    TBench b(
        {0x00, 0x00}, [](TState& s) { s.i = 0x40, s.sp = 0x8000; }, {{0x40FE, 0x34}, {0x40FF, 0x12}, {0x4100, 0x56}},
        uint8_t(c.modeCode | kIff1 | kIff2));
    TDevice device{true, c.answers, c.vector};
    device.Attach(b.cpu);
    b.cpu.ExecuteOpcode();
    // PC, next PC, last PC, both flip-flops (cleared), SP, the pushed return, R, instructions run.
    EXPECT_EQ(std::vector<int>({b.State().pc, b.cpu.NextPC, b.cpu.LastPC, b.cpu.CpuState() & (kIff1 | kIff2),
                                b.State().sp, b.StackWord(), b.State().r, int(b.cpu.OpcodeCount)}),
              std::vector<int>({c.expectPc, c.expectPc, 0x0100, 0, 0x7FFE, 0x0100, c.expectR, 1}));
}

INSTANTIATE_TEST_SUITE_P(Cpu, MaskableAcceptance,
                         ::testing::Values(
                             // IM 0: the vector byte is the opcode, fetched without counting R.
                             TAcceptCase{"Im0RunsVectorAsRst", 0, true, 0xFF, 0x0038, 0},
                             TAcceptCase{"Im0AlternateCodeActsLikeIm0", 1, true, 0xEF, 0x0028, 0},
                             TAcceptCase{"Im0UnansweredVectorIsIdleBus", 0, false, 0x00, 0x0038, 0},
                             TAcceptCase{"Im1CallsRestart38", 2, true, 0x00, 0x0039, 1},
                             TAcceptCase{"Im2ReadsTableAtIAndVector", 3, true, 0xFE, 0x1235, 1},
                             TAcceptCase{"Im2UnansweredVectorUsesFF", 3, false, 0x00, 0x5613, 1}),
                         RowName);

// The maskable line is raised from the start; after each instruction the
// next PC is as listed, and the polls of both lines are counted.
struct TTimelineCase {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t cpuState;
    std::vector<uint16_t> nextPcs;
    int nmiPolls, irqPolls;
    uint16_t stackWord;  // the return address pushed by the interrupt
};

TAVRIN_PRINT_AS_NAME(TTimelineCase)
class InterruptTimeline : public ::testing::TestWithParam<TTimelineCase> {};

TEST_P(InterruptTimeline, FollowsThePolls) {
    const TTimelineCase& c = GetParam();
    TBench b(
        c.code, [](TState& s) { s.sp = 0x8000; }, {}, c.cpuState);
    TDevice device{true};
    device.Attach(b.cpu);
    std::vector<uint16_t> nextPcs;
    for (size_t i = 0; i < c.nextPcs.size(); ++i) {
        b.cpu.ExecuteOpcode();
        nextPcs.push_back(b.cpu.NextPC);
    }
    EXPECT_EQ(nextPcs, c.nextPcs);
    EXPECT_EQ(std::vector<int>({device.nmiPolls, device.irqPolls, b.StackWord()}),
              std::vector<int>({c.nmiPolls, c.irqPolls, c.stackWord}));
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, InterruptTimeline,
    ::testing::Values(
        // IM 1 (code 2); the NOP after EI runs before the interrupt is taken.
        TTimelineCase{
            "EiDelaysAcceptanceByOneInstruction", {0xFB, 0x00, 0x00}, 2, {0x0101, 0x0102, 0x0039}, 2, 1, 0x0102},
        // IM 1; EI; HALT: the poll right after EI is skipped, the next wakes HALT.
        TTimelineCase{
            "MaskableWakesHaltAfterEi", {0xED, 0x56, 0xFB, 0x76}, 0, {0x0102, 0x0103, 0x0103, 0x0039}, 3, 1, 0x0104},
        // EI; DI: neither the poll after EI nor the one after DI is made.
        TTimelineCase{"DiBlocksAndSkipsTheNextPoll",
                      {0xFB, 0xF3, 0x00, 0x00},
                      2,
                      {0x0101, 0x0102, 0x0103, 0x0104},
                      2,
                      0,
                      0x0000}),
    RowName);

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

TEST_P(Disassembly, GivesTheInstructionText) { EXPECT_EQ(DisassembleOpcode(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Pages, Disassembly,
    ::testing::Values(
        TextCase{"Nop", 0x00000000u, "NOP"}, TextCase{"JumpAbsolute", Pack({0xC3, 0x34, 0x12}), "JP (1234)"},
        TextCase{"RelativeJump", Pack({0x20, 0x10}), "JR NZ,(PC+10)"}, TextCase{"Restart", Pack({0xFF}), "RST 38H"},
        TextCase{"StoreHL", Pack({0x22, 0x34, 0x12}), "LD (1234),HL"},
        TextCase{"CbUndocumented", Pack({0xCB, 0x37}), "SLL A*"},
        TextCase{"IndexedLoad", Pack({0xDD, 0x7E, 0x05}), "LD A,(IX+05)"},
        TextCase{"IndexHalves", Pack({0xDD, 0x65}), "LD IXH,IXL*"},
        TextCase{"IndexedStoreImmediate", Pack({0xFD, 0x36, 0xFF, 0x00}), "LD (IY+FF),00"},
        TextCase{"IndexedCbBit", Pack({0xDD, 0xCB, 0x05, 0x46}), "BIT 0,(IX+05)"},
        TextCase{"IndexedCbCopy", Pack({0xDD, 0xCB, 0x05, 0x91}), "LD C,RES 2,(IX+05)*"},
        TextCase{"EdStorePair", Pack({0xED, 0x43, 0x34, 0x12}), "LD (1234),BC"},
        TextCase{"EdInFlags", Pack({0xED, 0x70}), "IN F,(C)* / IN (C)*"},
        TextCase{"EdBlock", Pack({0xED, 0xB0}), "LDIR"}, TextCase{"EdHole", Pack({0xED, 0x77}), "???"},
        TextCase{"IndexWithoutHL", Pack({0xDD, 0xEB}), "???"}, TextCase{"IndexBeforeEd", Pack({0xFD, 0xED}), "???"}),
    RowName);

}  // namespace
