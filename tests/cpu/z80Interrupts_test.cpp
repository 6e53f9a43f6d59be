// Interrupt acceptance: NMI, the three maskable modes, the poll skipped
// after EI, DI and prefixes, HALT wake-up, RETI and RETN.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CpuHarness.h"
#include "support/NamedRows.h"

namespace {

using namespace cputest;

constexpr uint8_t kIff1 = TCpuEmu::kStateIff1;
constexpr uint8_t kIff2 = TCpuEmu::kStateIff2;
constexpr uint8_t kHalted = TCpuEmu::kStateHalted;

// A device that raises its lines on request and counts the polls.
struct Device {
    bool nmi = false;
    bool irq = false;
    bool setVector = true;
    uint8_t vector = 0xFF;
    int nmiPolls = 0;
    int irqPolls = 0;
    int endOfInterrupts = 0;

    void Attach(TCpuEmu& cpu) {
        cpu.OnCheckForNonMaskIrq = [this](TCpuEmu&, bool& isIrq) {
            ++nmiPolls;
            isIrq = nmi;
            nmi = false;  // edge triggered: taken once
        };
        cpu.OnCheckForInterrupt = [this](TCpuEmu&, bool& isIrq, uint8_t& v) {
            ++irqPolls;
            isIrq = irq;
            if (irq && setVector) v = vector;
        };
        cpu.OnEndOFInterrupt = [this](TCpuEmu&) { ++endOfInterrupts; };
    }
};

uint16_t StackWord(const TCpuEmu& cpu) {
    const uint16_t sp = Get(cpu, Reg::SP);
    return uint16_t(cpu.ReadMemoryByte(sp) | cpu.ReadMemoryByte(uint16_t(sp + 1)) << 8);
}

struct AcceptCase {
    const char* name;
    uint8_t modeCode;        // interrupt mode code in the state byte
    bool setVector;          // the device answers with `vector`
    uint8_t vector;
    uint16_t expectPc;       // after the call that accepts
    bool pushed;             // the interrupted PC is on the stack
    uint16_t expectPushed;
    uint8_t expectR;
};


TAVRIN_PRINT_AS_NAME(AcceptCase)
class MaskableAcceptance : public ::testing::TestWithParam<AcceptCase> {};

// Handlers hold NOPs, so the first handler instruction runs in the same call.
TEST_P(MaskableAcceptance, JumpsAsTheModeSays) {
    const AcceptCase& ac = GetParam();
    auto cpu = MakeCpu({0x00, 0x00});
    cpu->WriteMemoryByte(0x40FE, 0x34);  // IM 2 table entry at I:FE
    cpu->WriteMemoryByte(0x40FF, 0x12);
    cpu->WriteMemoryByte(0x40FF + 1, 0x56);  // entry at I:FF reads 40FFh/4100h
    cpu->SetRegisterI(0x40);
    Set(*cpu, Reg::SP, 0x8000);
    cpu->SetCpuState(uint8_t(ac.modeCode | kIff1 | kIff2));
    Device dev;
    dev.irq = true;
    dev.setVector = ac.setVector;
    dev.vector = ac.vector;
    dev.Attach(*cpu);

    cpu->ExecuteOpcode();

    EXPECT_EQ(Get(*cpu, Reg::PC), ac.expectPc);
    EXPECT_EQ(cpu->NextPC, ac.expectPc);
    EXPECT_EQ(cpu->LastPC, 0x0100);
    EXPECT_EQ(cpu->CpuState() & (kIff1 | kIff2), 0) << "both flip-flops cleared";
    if (ac.pushed) {
        EXPECT_EQ(Get(*cpu, Reg::SP), 0x7FFE);
        EXPECT_EQ(StackWord(*cpu), ac.expectPushed);
    } else {
        EXPECT_EQ(Get(*cpu, Reg::SP), 0x8000);
    }
    EXPECT_EQ(cpu->RegisterR(), ac.expectR);
    EXPECT_EQ(cpu->OpcodeCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cpu, MaskableAcceptance,
    ::testing::Values(
        // IM 0: the vector byte is the opcode, fetched without counting R.
        AcceptCase{"Im0RunsVectorAsRst", 0, true, 0xFF, 0x0038, true, 0x0100, 0},
        AcceptCase{"Im0AlternateCodeActsLikeIm0", 1, true, 0xEF, 0x0028, true, 0x0100, 0},
        AcceptCase{"Im0UnansweredVectorIsIdleBus", 0, false, 0x00, 0x0038, true, 0x0100, 0},
        AcceptCase{"Im1CallsRestart38", 2, true, 0x00, 0x0039, true, 0x0100, 1},
        AcceptCase{"Im2ReadsTableAtIAndVector", 3, true, 0xFE, 0x1235, true, 0x0100, 1},
        AcceptCase{"Im2UnansweredVectorUsesFF", 3, false, 0x00, 0x5613, true, 0x0100, 1}),
    tavrin::test::RowName);

TEST(Interrupts, NmiSavesIff1AndRunsHandler) {
    auto cpu = MakeCpu({0x00});
    Set(*cpu, Reg::SP, 0x8000);
    cpu->SetCpuState(kIff1);
    Device dev;
    dev.nmi = true;
    dev.irq = true;
    dev.Attach(*cpu);
    cpu->ExecuteOpcode();
    EXPECT_EQ(cpu->NextPC, 0x0067) << "the NOP at 0066h ran in the same call";
    EXPECT_EQ(StackWord(*cpu), 0x0100);
    EXPECT_EQ(cpu->CpuState() & (kIff1 | kIff2), kIff2) << "IFF2 keeps the old IFF1";
    EXPECT_EQ(dev.irqPolls, 0) << "an NMI wins, the maskable line is not asked";
}

TEST(Interrupts, MaskableWakesHaltAfterEi) {
    auto cpu = MakeCpu({0xED, 0x56, 0xFB, 0x76});  // IM 1; EI; HALT
    Set(*cpu, Reg::SP, 0x8000);
    Device dev;
    dev.Attach(*cpu);
    dev.irq = true;
    cpu->ExecuteOpcode();  // IM 1: interrupts still disabled
    cpu->ExecuteOpcode();  // EI
    cpu->ExecuteOpcode();  // HALT: the poll right after EI is skipped
    EXPECT_EQ(dev.irqPolls, 0);
    EXPECT_EQ(cpu->NextPC, 0x0103);
    EXPECT_NE(cpu->CpuState() & kHalted, 0);
    cpu->ExecuteOpcode();
    EXPECT_EQ(dev.irqPolls, 1);
    EXPECT_EQ(StackWord(*cpu), 0x0104);
    EXPECT_EQ(cpu->NextPC, 0x0039);
    EXPECT_EQ(cpu->CpuState() & kHalted, 0);
}

TEST(Interrupts, EiDelaysAcceptanceByOneInstruction) {
    auto cpu = MakeCpu({0xFB, 0x00, 0x00});
    cpu->SetCpuState(2);  // IM 1
    Set(*cpu, Reg::SP, 0x8000);
    Device dev;
    dev.irq = true;
    dev.Attach(*cpu);
    cpu->ExecuteOpcode();  // EI
    cpu->ExecuteOpcode();  // the NOP after EI runs first
    EXPECT_EQ(cpu->NextPC, 0x0102);
    EXPECT_EQ(cpu->CpuState() & kIff1, kIff1);
    cpu->ExecuteOpcode();
    EXPECT_EQ(StackWord(*cpu), 0x0102);
    EXPECT_EQ(cpu->NextPC, 0x0039);
}

TEST(Interrupts, DiBlocksAndSkipsTheNextPoll) {
    auto cpu = MakeCpu({0xF3, 0x00, 0x00});
    cpu->SetCpuState(kIff1 | kIff2);
    Device dev;
    dev.Attach(*cpu);
    cpu->ExecuteOpcode();  // polled before DI
    EXPECT_EQ(dev.nmiPolls, 1);
    cpu->ExecuteOpcode();  // skipped after DI
    EXPECT_EQ(dev.nmiPolls, 1);
    dev.irq = true;
    cpu->ExecuteOpcode();
    EXPECT_EQ(dev.nmiPolls, 2);
    EXPECT_EQ(dev.irqPolls, 1) << "only the poll before DI asked the maskable line";
    EXPECT_EQ(cpu->NextPC, 0x0103);
}

// The returns themselves (PC, SP, IFF1) are in the recorded vectors; only
// RETI signals the end of the interrupt to the device.
TEST(Interrupts, OnlyRetiSignalsEndOfInterrupt) {
    for (uint8_t op : {0x4D, 0x45, 0x55, 0x5D, 0x65, 0x6D, 0x75, 0x7D}) {
        auto cpu = MakeCpu({0xED, op});
        cpu->SetCpuState(kIff2);
        Device dev;
        dev.Attach(*cpu);
        cpu->ExecuteOpcode();
        EXPECT_EQ(dev.endOfInterrupts, op == 0x4D ? 1 : 0) << std::hex << int(op);
        EXPECT_EQ(cpu->CpuState() & (kIff1 | kIff2), op == 0x4D ? kIff2 : kIff1 | kIff2) << std::hex << int(op);
    }
}

struct ImCase {
    uint8_t op;
    uint8_t code;
};

}  // namespace
