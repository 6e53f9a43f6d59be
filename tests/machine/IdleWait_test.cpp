// The run bursts of programs that poll for input: only polling that goes on
// unbroken is taken for waiting, so a program that polls for a while between
// pieces of work runs every burst in full. And the latch through which a
// device served by another thread wakes a waiting run.

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

// Steps on the latch: B a burst starts, A the run arms it (1 or 0: whether
// it may wait), R a device gets ready (1 or 0: whether this one must wake
// the run), D the run stops waiting for another reason.
TEST(IdleWake, ADeviceReadyWakesAWaitingRunOnceAndIsNeverLost) {
    const struct {
        const char* Name;
        const char* Steps;  // with the results expected of A and R
    } cases[] = {
        {"ready while the run waits wakes it once", "BA1R1R0"},
        {"ready while the run works wakes nothing", "BR0"},
        {"ready during the burst keeps the run from waiting", "BR0A0R0"},
        {"ready before the burst is past", "R0BA1R1"},
        {"a run woken otherwise is not woken again", "BA1DR0"},
        {"the next wait is armed anew", "BA1R1BA1R1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TIdleWake wake;
        std::string got;
        for (const char* step = c.Steps; *step; ++step) {
            got += *step;
            if (*step == 'B') wake.BurstStarts();
            if (*step == 'D') wake.Disarm();
            if (*step == 'A') got += wake.Arm() ? '1' : '0';
            if (*step == 'R') got += wake.Ready() ? '1' : '0';
            if (*step == 'A' || *step == 'R') ++step;
        }
        EXPECT_EQ(got, c.Steps);
    }
}

}  // namespace
