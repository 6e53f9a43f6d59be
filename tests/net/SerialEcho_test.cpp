// End to end: a Z80 program echoes COM1 and COM2 through ports 14h-17h
// while the machine runs in bursts; a TCP client talks to COM1, a
// pseudo-terminal stands in for the host port of COM2.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "net/ComRxGlue.h"
#include "support/ComRxTestSupport.h"

using namespace tavrin::test;

namespace {

class SerialEcho : public testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream file(TAVRIN_SERIAL_ECHO_BIN, std::ios::binary);
        const std::string program{std::istreambuf_iterator<char>(file), {}};
        ASSERT_FALSE(program.empty());
        Machine.CpuEmu1.WriteMemory(0x0100, static_cast<uint16_t>(program.size()), program.data());
        Machine.CpuEmu1.Reset(0x0100);
    }
    void TearDown() override { ::unsetenv("TAVRIN_COM2"); }
    // Runs the machine, with posted port events in between, until peer has
    // read count bytes back; what came back.
    std::string RunUntilEchoed(int peer, size_t count)
    {
        std::string echoed;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (echoed.size() < count && std::chrono::steady_clock::now() < deadline) {
            Posts.PumpPending();
            Machine.RunBurst(2000);
            echoed += ReadAvailable(peer);
        }
        return echoed;
    }

    TTavrinMachine Machine{"/tmp/"};
    TPostQueue Posts;
    TComGlue Glue{Machine, Posts.Dispatcher()};
};

TEST_F(SerialEcho, ATcpClientTalksToCom1)
{
    Machine.Settings.UseTCPasCom1 = true;
    Machine.Settings.Com1.Enabled = true;
    Machine.Settings.Com1TCPPort = std::to_string(FreeTcpPort());
    ASSERT_EQ(Glue.ApplyComSettings(1), "");
    const int client = ConnectTcp(Glue.TcpPortModule.ListeningPort());
    ASSERT_GE(client, 0);
    const std::string text = "Hello, CP/M!\r\n" + Pattern(20000, 9);
    std::thread writer([&] { WriteAll(client, text); });
    const std::string echoed = RunUntilEchoed(client, text.size());
    writer.join();
    EXPECT_EQ(echoed.size(), text.size());
    EXPECT_TRUE(echoed == text) << "echo differs";
    ::close(client);
}

TEST_F(SerialEcho, APseudoTerminalCarriesCom2)
{
    TPty pty;
    ::setenv("TAVRIN_COM2", pty.SlavePath().c_str(), 1);
    Machine.Settings.Com2.Enabled = true;
    Machine.Settings.Com2.BaudIndex = 9;
    ASSERT_EQ(Glue.ApplyComSettings(2), "");
    // A host line has no back-pressure into the 512-byte queue: send in
    // chunks the queue can hold and wait for each echo.
    std::string echoed;
    const std::string text = Pattern(4096, 5);
    for (size_t at = 0; at < text.size(); at += 256) {
        WriteAll(pty.Master(), text.substr(at, 256));
        echoed += RunUntilEchoed(pty.Master(), 256);
    }
    EXPECT_EQ(echoed.size(), text.size());
    EXPECT_TRUE(echoed == text) << "echo differs";
}

} // namespace
