// The serial glue on the machine: the settings model opens the host ports
// at the chosen speed, the configuration bytes reopen an open line, and bad
// TCP ports give the COM1 warning.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "net/ComRxGlue.h"
#include "support/ComRxTestSupport.h"

using namespace tavrin::test;

namespace {

class ComGlue : public testing::Test {
protected:
    ComGlue()
    {
        Machine.OnApplyComSettings = [this](TTavrinMachine&, int line) { Warning = Glue.ApplyComSettings(line); };
    }
    ~ComGlue() override { ::unsetenv(Variable); }
    // The line's host port is a fresh pseudo-terminal.
    TComLineSettings& UsePty(int line)
    {
        Variable = line == 1 ? "TAVRIN_COM1" : "TAVRIN_COM2";
        ::setenv(Variable, Pty.SlavePath().c_str(), 1);
        TComLineSettings& s = line == 1 ? Machine.Settings.Com1 : Machine.Settings.Com2;
        s.Enabled = true;
        return s;
    }
    uint32_t Speed()
    {
        const int fd = ::open(Pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        const uint32_t speed = ReadTermios(fd).c_ospeed;
        ::close(fd);
        return speed;
    }
    uint8_t In(uint8_t port)
    {
        uint8_t value = 0x5A;
        Machine.CpuPortRead(Machine.CpuEmu1, port, value);
        return value;
    }

    TTavrinMachine Machine{"/tmp/"};
    TPostQueue Posts;
    TComGlue Glue{Machine, Posts.Dispatcher()};
    TPty Pty;
    const char* Variable = "TAVRIN_COM1";
    std::string Warning;
};

// Both lines map all sixteen list entries (COM2 too: 57600 and above).
class ComGlueBaud : public ComGlue, public testing::WithParamInterface<std::tuple<int, int, uint32_t>> {};

TEST_P(ComGlueBaud, EveryListIndexOpensAtItsSpeed)
{
    const auto [line, index, speed] = GetParam();
    UsePty(line).BaudIndex = index;
    EXPECT_EQ(Glue.ApplyComSettings(line), "");
    ASSERT_TRUE((line == 1 ? Glue.ComRx1 : Glue.ComRx2).Active());
    EXPECT_EQ(Speed(), speed);
    EXPECT_EQ(In(line == 1 ? 0x30 : 0x31) & 7, index & 7);
}

INSTANTIATE_TEST_SUITE_P(All, ComGlueBaud,
                         testing::Values(std::make_tuple(1, 0, 300u), std::make_tuple(1, 9, 115200u),
                                         std::make_tuple(2, 5, 9600u), std::make_tuple(2, 8, 57600u),
                                         std::make_tuple(2, 15, 921600u)));

TEST_F(ComGlue, ConfigurationByteReopensAnOpenLineWithNewSettings)
{
    UsePty(2).BaudIndex = 7;
    ASSERT_EQ(Glue.ApplyComSettings(2), "");
    EXPECT_EQ(Speed(), 38400u);
    Machine.CpuPortWrite(Machine.CpuEmu1, 0x31, 0x02);  // 1200 baud, 7 bits, one stop bit, no handshake
    EXPECT_TRUE(Glue.ComRx2.Active());
    EXPECT_EQ(Speed(), 1200u);
    EXPECT_EQ(In(0x31), 0x02);
    EXPECT_EQ(In(0x30), 0x5F) << "COM1 untouched";
    EXPECT_EQ(Warning, "");
}

TEST_F(ComGlue, BadTcpPortsGiveTheCom1Warning)
{
    TTcpPortModule holder;
    holder.Port = std::to_string(FreeTcpPort());
    holder.SetActive(true);
    const std::string notAPort = "The TCP port must be a number from 1 to 65535.";
    const std::pair<std::string, std::string> cases[] = {
        {"0", notAPort}, {"65536", notAPort}, {"", notAPort}, {"99x", notAPort},
        {holder.Port, "The TCP port is already in use."}};
    Machine.Settings.UseTCPasCom1 = true;
    for (const auto& [text, reason] : cases) {
        Machine.Settings.Com1.Enabled = true;
        Machine.Settings.Com1TCPPort = text;
        EXPECT_EQ(Glue.ApplyComSettings(1), "Unable to activate Com Port 1, " + reason);
        EXPECT_FALSE(Machine.Settings.Com1.Enabled);
        EXPECT_FALSE(Glue.TcpPortModule.GetActive());
    }
}

} // namespace
