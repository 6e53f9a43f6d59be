// The run bursts of programs that poll for input: only polling that goes on
// unbroken is taken for waiting, so a program that polls for a while between
// pieces of work runs every burst in full.

#include <gtest/gtest.h>

#include "support/MachineTestSupport.h"

#include <filesystem>

using namespace tavrin::test;

namespace {

struct TBurstCount {
    int Idle = 0;
    int Full = 0;
};

TBurstCount RunBursts(TTavrinMachine& m, int bursts) {
    TBurstCount count;
    for (int i = 0; i < bursts; ++i) {
        const int64_t before = m.Cpu().OpcodeCount;
        const TBurstResult result = m.RunBurst();
        if (result == TBurstResult::Idle) ++count.Idle;
        if (m.Cpu().OpcodeCount - before == int64_t{TTavrinMachine::BurstLength}) ++count.Full;
    }
    return count;
}

TEST(IdleWait, PollingBetweenPiecesOfWorkRunsAtFullSpeed) {
    TTempFolder temp;
    TTavrinMachine m(temp.Folder());
    const std::string program = ReadFile(TAVRIN_POLL_THEN_PUNCH_BIN);
    ASSERT_FALSE(program.empty());
    LoadProgram(m, 0x8000, std::vector<uint8_t>(program.begin(), program.end()));
    m.OpenPunchFile(temp.File("punch.out"), false);

    const TBurstCount count = RunBursts(m, 20);
    m.ClosePunchFile();
    EXPECT_EQ(count.Idle, 0);
    EXPECT_EQ(count.Full, 20);
    // 14,004 instructions a byte.
    EXPECT_EQ(std::filesystem::file_size(temp.File("punch.out")), 20 * TTavrinMachine::BurstLength / 14004);
}

TEST(IdleWait, UnbrokenPollingWaitsUntilTheProgramWorksAgain) {
    TTempFolder temp;
    TTavrinMachine m(temp.Folder());
    // 8000h: IN A,(10h); AND 02h; JR Z,8000h; IN A,(11h); OUT (1Dh),A; JR 8000h
    LoadProgram(m, 0x8000, {0xDB, 0x10, 0xE6, 0x02, 0x28, 0xFA, 0xDB, 0x11, 0xD3, 0x1D, 0x18, 0xF4});

    const TBurstCount waiting = RunBursts(m, 20);
    EXPECT_GE(waiting.Idle, 19);
    EXPECT_LE(waiting.Full, 1) << "at most the burst in which the waiting began";

    // A key read and echoed is work: the burst runs in full.
    m.QueueKeys(TConsoleKeyboard::Tty, "k");
    const TBurstCount working = RunBursts(m, 1);
    EXPECT_EQ(working.Idle, 0);
    EXPECT_EQ(working.Full, 1);
}

}  // namespace
