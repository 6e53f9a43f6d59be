// The serial glue on the machine: settings model -> host ports and the TCP
// server, configuration bytes on ports 30h/31h, warnings, and the BREAK
// that reboots and drops its own block.

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "net/ComRxGlue.h"
#include "support/NetTestSupport.h"

using namespace tavrin::test;

namespace {

class ComGlue : public testing::Test {
protected:
    ComGlue()
    {
        Machine.OnApplyComSettings = [this](TTavrinMachine&, int line) { Warning = Glue.ApplyComSettings(line); };
    }
    ~ComGlue() override
    {
        ::unsetenv("TAVRIN_COM1");
        ::unsetenv("TAVRIN_COM2");
    }
    uint8_t In(uint8_t port)
    {
        uint8_t value = 0x5A;
        Machine.CpuPortRead(Machine.CpuEmu1, port, value);
        return value;
    }
    void Out(uint8_t port, uint8_t value) { Machine.CpuPortWrite(Machine.CpuEmu1, port, value); }
    // The speed the line's pseudo-terminal runs at now.
    uint32_t SpeedOf(const TPty& pty)
    {
        const int fd = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        const uint32_t speed = ReadTermios(fd).c_ospeed;
        ::close(fd);
        return speed;
    }

    TTavrinMachine Machine{"/tmp/"};
    TPostQueue Posts;
    TComGlue Glue{Machine, Posts.Dispatcher()};
    std::string Warning;
};

TEST_F(ComGlue, ConfigurationByteRoundTripsWithTheLineClosed)
{
    Out(0x30, 0x45);
    EXPECT_EQ(In(0x30), 0x45);
    EXPECT_EQ(Machine.Settings.Com1.BaudIndex, 5);
    EXPECT_EQ(Machine.Settings.Com1.FormatIndex, 0);
    EXPECT_TRUE(Machine.Settings.Com1.HandShake);
    EXPECT_EQ(Glue.ComRx1.Options().BaudRate(), Com_br9600);
    EXPECT_EQ(Glue.ComRx1.Options().DataBits(), Com_dbSeven);
    EXPECT_TRUE(Warning.empty());
    EXPECT_FALSE(Glue.ComRx1.Active());
    EXPECT_EQ(In(0x31), 0x5F) << "COM2 untouched: no baud selected, format 3, handshake";
}

class ComGlueBaud : public ComGlue, public testing::WithParamInterface<std::tuple<int, int, uint32_t>> {};

TEST_P(ComGlueBaud, EveryListIndexOpensAtItsSpeedOnBothLines)
{
    const auto [line, index, speed] = GetParam();
    TPty pty;
    ::setenv(line == 1 ? "TAVRIN_COM1" : "TAVRIN_COM2", pty.SlavePath().c_str(), 1);
    TComLineSettings& s = line == 1 ? Machine.Settings.Com1 : Machine.Settings.Com2;
    s.BaudIndex = index;
    s.Enabled = true;
    EXPECT_EQ(Glue.ApplyComSettings(line), "");
    ASSERT_TRUE((line == 1 ? Glue.ComRx1 : Glue.ComRx2).Active());
    EXPECT_EQ(SpeedOf(pty), speed);
    EXPECT_EQ(In(line == 1 ? 0x30 : 0x31) & 7, index & 7);
}

INSTANTIATE_TEST_SUITE_P(All, ComGlueBaud,
                         testing::Values(std::make_tuple(1, 0, 300u), std::make_tuple(1, 9, 115200u),
                                         std::make_tuple(2, 5, 9600u), std::make_tuple(2, 8, 57600u),
                                         std::make_tuple(2, 15, 921600u)));

TEST_F(ComGlue, ConfigurationByteReopensAnOpenLineWithNewSettings)
{
    TPty pty;
    ::setenv("TAVRIN_COM2", pty.SlavePath().c_str(), 1);
    Machine.Settings.Com2.Enabled = true;
    Machine.Settings.Com2.BaudIndex = 7;
    ASSERT_EQ(Glue.ApplyComSettings(2), "");
    EXPECT_EQ(SpeedOf(pty), 38400u);
    Out(0x31, 0x02);  // 1200 baud, 7 bits no parity, one stop bit, no handshake
    EXPECT_TRUE(Glue.ComRx2.Active());
    EXPECT_EQ(SpeedOf(pty), 1200u);
    EXPECT_EQ(In(0x31), 0x02);
    EXPECT_EQ(In(0x30), 0x5F) << "COM1 untouched";
}

TEST_F(ComGlue, AFailedOpenWarnsAndLeavesTheLineClosed)
{
    ::setenv("TAVRIN_COM2", "/dev/tavrin-missing", 1);
    Machine.Settings.Com2.Enabled = true;
    EXPECT_EQ(Glue.ApplyComSettings(2),
              "Unable to activate Com Port 2, The request could not be completed because the specified "
              "comunications port could not be accessed!");
    EXPECT_FALSE(Machine.Settings.Com2.Enabled);
    EXPECT_FALSE(Glue.ComRx2.Active());
    EXPECT_EQ(In(0x16), 0x00);
}

struct TTcpPortCase {
    const char* Text;
    const char* Warning;
};
class ComGlueTcpPort : public ComGlue, public testing::WithParamInterface<TTcpPortCase> {};

TEST_P(ComGlueTcpPort, BadPortTextsWarn)
{
    Machine.Settings.UseTCPasCom1 = true;
    Machine.Settings.Com1.Enabled = true;
    Machine.Settings.Com1TCPPort = GetParam().Text;
    EXPECT_EQ(Glue.ApplyComSettings(1), std::string("Unable to activate Com Port 1, ") + GetParam().Warning);
    EXPECT_FALSE(Machine.Settings.Com1.Enabled);
    EXPECT_FALSE(Glue.TcpPortModule.GetActive());
}

const char* const NotAPort = "The TCP port must be a number from 1 to 65535.";
INSTANTIATE_TEST_SUITE_P(All, ComGlueTcpPort,
                         testing::Values(TTcpPortCase{"0", NotAPort}, TTcpPortCase{"65536", NotAPort},
                                         TTcpPortCase{"", NotAPort}, TTcpPortCase{"99x", NotAPort},
                                         TTcpPortCase{"-1", NotAPort}, TTcpPortCase{"123456", NotAPort}));

TEST_F(ComGlue, ABusyTcpPortWarns)
{
    TTcpPortModule holder;
    holder.Port = std::to_string(FreeTcpPort());
    holder.SetActive(true);
    Machine.Settings.UseTCPasCom1 = true;
    Machine.Settings.Com1.Enabled = true;
    Machine.Settings.Com1TCPPort = holder.Port;
    EXPECT_EQ(Glue.ApplyComSettings(1), "Unable to activate Com Port 1, The TCP port is already in use.");
}

TEST_F(ComGlue, TcpSelectionServesCom1Ports)
{
    Machine.Settings.UseTCPasCom1 = true;
    Machine.Settings.Com1.Enabled = true;
    Machine.Settings.Com1TCPPort = std::to_string(FreeTcpPort());
    ASSERT_EQ(Glue.ApplyComSettings(1), "");
    EXPECT_EQ(In(0x14), 0x04);
    const int client = ConnectTcp(Glue.TcpPortModule.ListeningPort());
    ASSERT_GE(client, 0);
    WriteAll(client, "k");
    ASSERT_TRUE(Posts.PumpUntil([&] { return In(0x14) == 0x06; }));
    EXPECT_EQ(In(0x15), 'k');
    Out(0x15, 'm');
    EXPECT_EQ(ReadFor(client, 1), "m");
    ::close(client);
    Machine.Settings.Com1.Enabled = false;
    EXPECT_EQ(Glue.ApplyComSettings(1), "");
    EXPECT_EQ(In(0x14), 0x00);
}

// A BREAK reboots (here: what the window's handler does to the machine) and
// drops exactly the one-byte block that carries it.
TEST_F(ComGlue, ABreakDropsItsOwnBlockOnly)
{
    std::shared_ptr<TFakeComDevice::TState> device;
    Glue.ComRx2.DeviceOpener = TFakeComDevice::Opener(device);
    int reboots = 0;
    Glue.OnComBreak = [&](int line) {
        EXPECT_EQ(line, 2);
        Machine.FCom2DropNextBlock = true;
        Machine.FCom2RxQueue.Clear();
        ++reboots;
    };
    Machine.Settings.Com2.Enabled = true;
    ASSERT_EQ(Glue.ApplyComSettings(2), "");
    WriteAll(device->PeerFd, std::string("ab\xFF\x00\x00" "cd", 7));
    ASSERT_TRUE(Posts.PumpUntil([&] { return Machine.FCom2RxQueue.Count() == 2 && reboots == 1; }));
    EXPECT_EQ(In(0x17), 'c');
    EXPECT_EQ(In(0x17), 'd');
    EXPECT_FALSE(Machine.FCom2DropNextBlock);
}

} // namespace
