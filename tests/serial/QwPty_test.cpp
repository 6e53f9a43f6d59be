// The termios dispatcher against a real peer: a pseudo-terminal pair.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

#include "serial/QwWin32.h"
#include "support/FakeSerialDevice.h"
#include "support/Pty.h"
#include "support/TempFolder.h"
#include "support/ThreadStates.h"

using namespace tavrin::test;

namespace {

class PtyDispatcher : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(dispatcher.InitPort(pty.SlavePath(), 38400, 0, 8, 1, 4096, 4096, 0), 0); }
    // The terminal takes XOFF off the line in order with the bytes after it:
    // once the byte sent behind it has arrived, output is stopped.
    void StopOutputWithXoff() {
        pty.Send("\x13m");
        ASSERT_EQ(TakeBytes(dispatcher, 1), "m");
    }

    tavrin::test::TPty pty;
    TQnWin32Dispatcher dispatcher;
};

TEST_F(PtyDispatcher, DataMovesBothWays) {
    std::string big;
    for (int i = 0; i < 20000; ++i) big.push_back(static_cast<char>(i * 7));
    std::thread remote([&] { pty.Send(big); });
    EXPECT_EQ(TakeBytes(dispatcher, big.size()), big);
    remote.join();

    std::string reply;
    for (int i = 0; i < 10000; ++i) reply.push_back(static_cast<char>(i * 13));
    for (std::size_t at = 0; at < reply.size(); at += 1000) {
        while (dispatcher.PutBlock(Bytes(reply.substr(at, 1000)), 1000) == -3006) std::this_thread::yield();
    }
    EXPECT_EQ(pty.Receive(reply.size()), reply);
}

TEST_F(PtyDispatcher, LineSettingsReachTheTerminalAndReadBack) {
    ASSERT_EQ(dispatcher.SetLine(57600, 0, 8, 2), 0);
    EXPECT_EQ(LineOf(dispatcher), std::make_tuple(57600, 0, 8, 2));  // read back from the terminal
    // A rate termios has no constant for.
    ASSERT_EQ(dispatcher.SetLine(250000, 5, 9, 3), 0);
    EXPECT_EQ(LineOf(dispatcher), std::make_tuple(250000, 0, 8, 2));
    // A pseudo-terminal always frames 8 bits without parity.
    EXPECT_EQ(dispatcher.SetLine(0, 2, 7, 5), -EINVAL);
    EXPECT_EQ(LineOf(dispatcher), std::make_tuple(250000, 0, 8, 2));
}

TEST_F(PtyDispatcher, XoffStallsOutputUntilXon) {
    ASSERT_EQ(dispatcher.SetSoftwareFlow(3072, 1024, QnSwTransmit), 0);
    StopOutputWithXoff();  // which needs IXON on the terminal, or the XOFF would arrive as data
    ASSERT_EQ(dispatcher.PutBlock(Bytes("held back"), 9), 0);
    EXPECT_EQ(pty.Receive(9, 200), "");
    EXPECT_EQ(dispatcher.OutBuffUsed(), 9u);
    pty.Send("\x11");
    EXPECT_EQ(pty.Receive(9), "held back");
    EXPECT_TRUE(Eventually([&] { return dispatcher.OutBuffUsed() == 0; }));
}

TEST_F(PtyDispatcher, CloseWhileStalledByXoff) {
    ASSERT_EQ(dispatcher.SetSoftwareFlow(3072, 1024, QnSwTransmit), 0);
    StopOutputWithXoff();
    const std::string block(4000, 'z');
    ASSERT_EQ(dispatcher.PutBlock(Bytes(block), 4000), 0);
    dispatcher.DonePort();
    EXPECT_FALSE(dispatcher.IsOpen());
    EXPECT_EQ(dispatcher.ThreadCount(), 0);
}

TEST_F(PtyDispatcher, OpenIsExclusive) {
    TQnWin32Dispatcher second;
    // The host's "in use" (raised with its text like any host code), not this dispatcher's "already open".
    EXPECT_EQ(second.InitPort(pty.SlavePath(), 9600, 0, 8, 1, 1024, 1024, 0), -EBUSY);
    EXPECT_FALSE(second.IsOpen());
    dispatcher.DonePort();
    EXPECT_EQ(second.InitPort(pty.SlavePath(), 9600, 0, 8, 1, 1024, 1024, 0), 0);
}

TEST(PtyDispatcherLife, FailedOpenReportsTheErrnoAndStaysClosed) {
    tavrin::test::TTempFolder folder;
    ::close(::open(folder.File("plain").c_str(), O_CREAT | O_WRONLY, 0644));
    for (const auto& [name, result] : {std::pair{"missing", -ENOENT}, {"plain", -ENOTTY}}) {
        TQnWin32Dispatcher dispatcher;
        EXPECT_EQ(dispatcher.InitPort(folder.File(name), 9600, 0, 8, 1, 1024, 1024, 0), result) << name;
        EXPECT_FALSE(dispatcher.IsOpen()) << name;
        EXPECT_EQ(dispatcher.ThreadCount(), 0) << name;
    }
}

TEST(AdoptingDispatcher, WorksOnADuplicateAndLeavesTheLenderAsItWas) {
    tavrin::test::TPty pty;
    const int lentFlags = ::fcntl(pty.Slave(), F_GETFL);
    ASSERT_EQ(::flock(pty.Slave(), LOCK_EX | LOCK_NB), 0);
    {
        TQnTAPI32Dispatcher dispatcher(nullptr, pty.Slave());
        ASSERT_EQ(dispatcher.InitPort("", 9600, 0, 8, 1, 1024, 1024, 0), 0);
        ASSERT_EQ(dispatcher.PutBlock(Bytes("lent"), 4), 0);
        EXPECT_EQ(pty.Receive(4), "lent");
        pty.Send("back");
        ASSERT_TRUE(Eventually([&] { return dispatcher.InBuffUsed() == 4; }));
    }
    EXPECT_EQ(::fcntl(pty.Slave(), F_GETFL), lentFlags);  // still open, blocking as lent
    // The lender still holds its lock: another opener is kept out.
    TQnWin32Dispatcher other;
    EXPECT_EQ(other.InitPort(pty.SlavePath(), 9600, 0, 8, 1, 1024, 1024, 0), -EBUSY);
    TQnTAPI32Dispatcher none(nullptr, -1);
    EXPECT_EQ(none.InitPort("", 9600, 0, 8, 1, 1024, 1024, 0), -2007);
}

// A hung-up line stays readable for ever; the threads must not spin on it.
TEST(PtyDispatcherLife, PeerHangUpLeavesTheThreadsIdle) {
    auto pty = std::make_unique<tavrin::test::TPty>();
    TQnWin32Dispatcher dispatcher;
    int opened = -1;
    const std::set<pid_t> workers = tavrin::test::ThreadsStartedBy(
        [&] { opened = dispatcher.InitPort(pty->SlavePath(), 9600, 0, 8, 1, 1024, 1024, 0); });
    ASSERT_EQ(opened, 0);
    ASSERT_FALSE(workers.empty());
    pty.reset();
    EXPECT_EQ(dispatcher.PutBlock(Bytes("lost"), 4), 0);  // written into the void, dropped
    EXPECT_TRUE(Eventually([&] { return dispatcher.OutBuffUsed() == 0; }));
    // Past the hang-up and the write, every thread waits blocked.
    EXPECT_TRUE(tavrin::test::WaitUntilBlocked(workers));
}

}  // namespace
