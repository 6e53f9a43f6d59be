// The run of the CPU as the window drives it: no burst inside a modal box's
// own event loop, nested boxes included, and the run going on once the last
// one closes.

#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

TEST_F(WindowTest, NoBurstRunsWhileAModalBoxIsOpen) {
    TTavrinMachine& m = W->Machine();
    LoadProgram(m, 0x8000, {0x18, 0xFE});  // JR $
    W->Ui().RunCpuAct->trigger();
    TRunLoop& run = W->RunLoop();
    const auto ran = [&m, start = m.Cpu().OpcodeCount] { return m.Cpu().OpcodeCount - start; };

    run.EnterModal();
    run.EnterModal();
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), 0) << "two boxes open";
    EXPECT_FALSE(run.LeaveModal()) << "one box still open";
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), 0) << "one box open";
    EXPECT_TRUE(run.LeaveModal());
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), TTavrinMachine::BurstLength) << "the run goes on";

    // A box that closes while the run is off leaves it off.
    W->Ui().RunCpuAct->trigger();
    run.EnterModal();
    EXPECT_TRUE(run.LeaveModal());
    W->ApplicationEvents1Idle();
    EXPECT_EQ(ran(), TTavrinMachine::BurstLength);
}

}  // namespace
