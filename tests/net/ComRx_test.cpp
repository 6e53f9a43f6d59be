// A host serial port on pseudo-terminal pairs: data both ways, line
// settings as the kernel holds them, flow-control stalls, exclusive open,
// hang-up and close.

#include <gtest/gtest.h>

#include <asm/termbits.h>

#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "net/ComRx.h"
#include "support/ComRxTestSupport.h"

using namespace tavrin::test;

namespace {

class ComRxPty : public testing::Test {
protected:
    void SetUp() override
    {
        Port.PortName = Pty.SlavePath();
        Port.Dispatcher = Posts.Dispatcher();
        Port.OnDataBlock = [this](TComRx&, const uint8_t* data, uint32_t count) {
            Received.append(reinterpret_cast<const char*>(data), count);
        };
        Port.OnData = [this](TComRx&, uint8_t) { ++Bytes; };
        Port.OnError = [this](TComRx&, int32_t, bool&) { ++Errors; };
    }

    TPty Pty;
    TPostQueue Posts;
    TComRx Port;
    std::string Received;
    size_t Bytes = 0;
    int Errors = 0;
};

TEST_F(ComRxPty, CarriesBurstsBothWaysInOrder)
{
    Port.Open();
    ASSERT_TRUE(Port.Active());
    const std::string in = Pattern(200000, 1);  // several reads of 64 KB
    std::thread writer([&] { WriteAll(Pty.Master(), in); });
    const bool all = Posts.PumpUntil([&] { return Received.size() >= in.size(); }, 10s);
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_TRUE(Received == in);
    EXPECT_EQ(Bytes, in.size()) << "one OnData per byte after its block";

    const std::string out = Pattern(2000, 2);
    for (char c : out)
        ASSERT_TRUE(Port.WriteByte(static_cast<uint8_t>(c), 1000));
    EXPECT_EQ(ReadFor(Pty.Master(), out.size()), out);
}

TEST_F(ComRxPty, XoffStallsWritesForABoundedTimeAndXonResumes)
{
    Port.Options().SoftwareFlow().SetTxFlow(true);
    Port.Open();
    ASSERT_TRUE(Port.CanWrite());
    WriteAll(Pty.Master(), "\x13");
    ASSERT_TRUE(Posts.PumpUntil([&] { return !Port.CanWrite(); }, 2s)) << "XOFF did not stall the line";
    EXPECT_FALSE(Port.WriteByte('a', 100));  // returns, byte dropped
    EXPECT_TRUE(NothingArrives(Pty.Master()));
    WriteAll(Pty.Master(), "\x11");
    ASSERT_TRUE(Posts.PumpUntil([&] { return Port.CanWrite(); }, 2s));
    EXPECT_TRUE(Port.WriteByte('b', 100));
    EXPECT_EQ(ReadFor(Pty.Master(), 1), "b");
    EXPECT_TRUE(Received.empty()) << "XON/XOFF must not reach the data";
}

struct TSettingsCase {
    const char* Name;
    TComBaudRate Rate;
    bool TwoStop, Handshake, Xon;
    uint32_t Speed;
};
class ComRxSettings : public ComRxPty, public testing::WithParamInterface<TSettingsCase> {};

TEST_P(ComRxSettings, ReachTheDevice)
{
    const TSettingsCase& c = GetParam();
    TComOptions& o = Port.Options();
    o.SetBaudRate(c.Rate);
    o.SetStopBits(c.TwoStop ? Com_sbTwo : Com_sbOne);
    o.HardwareFlow().SetTxUseCtsFlow(c.Handshake);
    o.SoftwareFlow().SetTxFlow(c.Xon);
    o.SoftwareFlow().SetRxFlow(c.Xon);
    o.SoftwareFlow().SetXonChar(0x05);
    o.SoftwareFlow().SetXoffChar(0x06);
    Port.Open();
    const int slave = ::open(Pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    const TComTermios t = ReadTermios(slave);
    ::close(slave);
    EXPECT_EQ(t.c_ospeed, c.Speed);
    EXPECT_EQ(t.c_ispeed, c.Speed);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.TwoStop);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.Handshake);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), c.Xon ? static_cast<uint32_t>(IXON | IXOFF) : 0u);
    EXPECT_EQ(t.c_cc[VSTART], 0x05);
    EXPECT_EQ(t.c_cc[VSTOP], 0x06);
    EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
}

INSTANTIATE_TEST_SUITE_P(All, ComRxSettings,
                         testing::Values(TSettingsCase{"b9600", Com_br9600, false, false, false, 9600},
                                         TSettingsCase{"b14400", Com_br14400, true, false, true, 14400},
                                         TSettingsCase{"b115200", Com_br115200, false, true, false, 115200},
                                         TSettingsCase{"b921600", Com_br921600, true, true, true, 921600}),
                         [](const testing::TestParamInfo<TSettingsCase>& info) { return std::string(info.param.Name); });

TEST_F(ComRxPty, ASecondOpenFindsThePortInUseUntilClosed)
{
    Port.Open();
    TComRx other;
    other.PortName = Pty.SlavePath();
    EXPECT_THROW(other.Open(), EComPortInUse);
    Port.Close();
    EXPECT_NO_THROW(other.Open());
}

TEST_F(ComRxPty, CloseStopsTheThreadAndDropsEventsStillPosted)
{
    Port.Open();
    WriteAll(Pty.Master(), "late");
    std::this_thread::sleep_for(50ms);  // the block is posted, not yet run
    Port.Close();
    EXPECT_FALSE(Port.Active());
    Posts.PumpPending();
    EXPECT_TRUE(Received.empty());
    EXPECT_FALSE(Port.CanWrite());
    EXPECT_FALSE(Port.WriteByte('x', 100));
}

TEST_F(ComRxPty, AHungUpLineIsReportedOnceAndStops)
{
    Port.Open();
    Pty.CloseMaster();
    ASSERT_TRUE(Posts.PumpUntil([&] { return Errors > 0; }));
    Posts.PumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(Errors, 1);
    EXPECT_FALSE(Port.Active());
}

TEST(ComRxOpen, FailuresRaiseTheirExceptions)
{
    TComRx port;
    port.PortName = "/dev/tavrin-no-such-port";
    try {
        port.Open();
        ADD_FAILURE() << "opened";
    } catch (const EComInvalidPort& e) {
        EXPECT_STREQ(e.what(), "The request could not be completed because the specified comunications port "
                               "could not be accessed!");
    }
    port.PortName = "COM250";
    EXPECT_THROW(port.Open(), EComInvalidPort);
    port.PortName = "/dev/null";  // not a terminal
    EXPECT_THROW(port.Open(), EComSetOptions);
    EXPECT_FALSE(port.Active());
}

TEST(ComRxOpen, ComNamesResolveThroughTheEnvironment)
{
    ::unsetenv("TAVRIN_COM3");
    EXPECT_EQ(ResolveComPortName("COM3"), "/dev/ttyS2");
    EXPECT_EQ(ResolveComPortName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(ResolveComPortName("COMX"), "COMX");
    TPty pty;
    ::setenv("TAVRIN_COM3", pty.SlavePath().c_str(), 1);
    TComRx port;
    port.PortName = "COM3";
    EXPECT_NO_THROW(port.Open());
    ::unsetenv("TAVRIN_COM3");
}

} // namespace
