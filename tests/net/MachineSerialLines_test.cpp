// The machine's serial lines: the settings model opens the host ports
// at the chosen speed, the configuration bytes reopen an open line, bad TCP
// ports give the COM1 warning, and end to end a Z80 program echoes COM1 (a
// TCP client, also after clients that closed) and COM2 (a pseudo-terminal)
// through ports 14h-17h.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/MachineSerialLines.h"
#include "support/ComRxTestSupport.h"
#include "support/EnvironmentVariable.h"
#include "support/Eventually.h"
#include "support/MachineTestSupport.h"
#include "support/TcpLineTestSupport.h"
#include "support/TempFolder.h"

using namespace tavrin::test;

namespace {

class MachineSerialLines : public testing::Test {
protected:
    MachineSerialLines() {
        Machine.Events().OnApplyComSettings = [this](TTavrinMachine&, int line) {
            Warning = Lines.ApplyComSettings(line);
        };
    }
    // The line's host port is a fresh pseudo-terminal.
    TComLineSettings& UsePty(int line) {
        PortName.emplace(line == 1 ? "TAVRIN_COM1" : "TAVRIN_COM2", Pty.SlavePath().c_str());
        TComLineSettings& s = line == 1 ? Machine.Settings().Com1 : Machine.Settings().Com2;
        s.Enabled = true;
        return s;
    }
    uint32_t Speed() { return ReadTermios(Pty.Master()).c_ospeed; }
    uint8_t In(uint8_t port) { return InPort(Machine, port); }

    TTavrinMachine Machine{"/tmp/"};
    TPostQueue Posts;
    TMachineSerialLines Lines{Machine, Posts.Dispatcher()};
    TPty Pty;
    std::optional<TEnvironmentVariable> PortName;
    std::string Warning;
};

// Both lines map all sixteen list entries (COM2 too: 57600 and above).
class MachineSerialLinesBaud : public MachineSerialLines,
                               public testing::WithParamInterface<std::tuple<int, int, uint32_t>> {};

TEST_P(MachineSerialLinesBaud, EveryListIndexOpensAtItsSpeed) {
    const auto [line, index, speed] = GetParam();
    UsePty(line).BaudIndex = index;
    EXPECT_EQ(Lines.ApplyComSettings(line), "");
    ASSERT_TRUE((line == 1 ? Lines.ComRx1 : Lines.ComRx2).Active());
    EXPECT_EQ(Speed(), speed);
    EXPECT_EQ(In(line == 1 ? 0x30 : 0x31) & 7, index & 7);
}

INSTANTIATE_TEST_SUITE_P(All, MachineSerialLinesBaud,
                         testing::Values(std::make_tuple(1, 0, 300u), std::make_tuple(1, 9, 115200u),
                                         std::make_tuple(2, 5, 9600u), std::make_tuple(2, 8, 57600u),
                                         std::make_tuple(2, 15, 921600u)));

TEST_F(MachineSerialLines, ConfigurationByteReopensAnOpenLineWithNewSettings) {
    UsePty(2).BaudIndex = 7;
    ASSERT_EQ(Lines.ApplyComSettings(2), "");
    EXPECT_EQ(Speed(), 38400u);
    OutPort(Machine, 0x31, 0x02);  // 1200 baud, 7 bits, one stop bit, no handshake
    EXPECT_EQ(Speed(), 1200u);
    EXPECT_EQ(In(0x31), 0x02);
    EXPECT_EQ(In(0x30), 0x5F) << "COM1 untouched";
    EXPECT_EQ(Warning, "");
}

TEST_F(MachineSerialLines, BadTcpPortsGiveTheCom1Warning) {
    TTcpPortModule holder;
    TReservedPort port(SOCK_STREAM);
    holder.Port = port.Text();
    holder.SetActive(true);
    port.Release();
    const std::string notAPort = "is not a port number from 1 to 65535.";
    const std::pair<std::string, std::string> cases[] = {
        {"0", "\"0\" " + notAPort}, {"99x", "\"99x\" " + notAPort}, {holder.Port, "The TCP port is already in use."}};
    Machine.Settings().UseTCPasCom1 = true;
    for (const auto& [text, reason] : cases) {
        Machine.Settings().Com1.Enabled = true;
        Machine.Settings().Com1TCPPort = text;
        EXPECT_EQ(Lines.ApplyComSettings(1), "Unable to activate Com Port 1, " + reason);
        EXPECT_FALSE(Machine.Settings().Com1.Enabled);
        EXPECT_FALSE(Lines.TcpPortModule.GetActive());
    }
}

// The echo program runs in bursts, with posted port events in between.
class SerialEcho : public MachineSerialLines {
protected:
    void SetUp() override {
        const std::string program = ReadFile(TAVRIN_SERIAL_ECHO_BIN);
        ASSERT_FALSE(program.empty());
        Machine.Cpu().WriteMemory(0x0100, static_cast<uint16_t>(program.size()), program.data());
        Machine.Cpu().Reset(0x0100);
    }
    // COM1 is a TCP server on a port held for the test.
    void ServeCom1OverTcp() {
        Machine.Settings().UseTCPasCom1 = true;
        Machine.Settings().Com1.Enabled = true;
        TReservedPort port(SOCK_STREAM);
        Machine.Settings().Com1TCPPort = port.Text();
        ASSERT_EQ(Lines.ApplyComSettings(1), "");
        port.Release();
    }
    // Runs the machine until peer has read count bytes back; what came back.
    std::string RunUntilEchoed(int peer, size_t count) {
        std::string echoed;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (echoed.size() < count && std::chrono::steady_clock::now() < deadline) {
            Posts.PumpPending();
            Machine.RunBurst(2000);
            echoed += ReadAvailable(peer);
        }
        return echoed;
    }
};

TEST_F(SerialEcho, ATcpClientTalksToCom1) {
    ASSERT_NO_FATAL_FAILURE(ServeCom1OverTcp());
    const int client = ConnectTcp(Lines.TcpPortModule.ListeningPort());
    ASSERT_GE(client, 0);
    const std::string text = "Hello, CP/M!\r\n" + Pattern(20000, 9);
    std::thread writer([&] { WriteAll(client, text); });
    const std::string echoed = RunUntilEchoed(client, text.size());
    writer.join();
    EXPECT_TRUE(echoed == text) << "echo differs, " << echoed.size() << " bytes back";
    ::close(client);
}

// Clients that send and close while the Z80 echoes (as CP/M does with CON
// on COM1) leave COM1 free. They look like clients that only shut their
// sending side, so the echo is offered to them; each answers with a reset,
// and what it never took waits for output room. The next client gets in
// and gets every byte back once, in order.
TEST_F(SerialEcho, ClientsThatCloseLeaveCom1Free) {
    ASSERT_NO_FATAL_FAILURE(ServeCom1OverTcp());
    TTcpPortModule& server = Lines.TcpPortModule;
    std::vector<int> clients;
    for (int host : {1, 1, 1, 1, 2, 2, 2, 2}) clients.push_back(ConnectFromHost(server, host));
    ASSERT_TRUE(Eventually([&] { return server.ClientCount() == clients.size(); }));
    std::string sent;
    for (size_t k = 0; k < clients.size(); ++k) {
        const std::string bytes = Pattern(2048, static_cast<unsigned>(k));
        // At the server before the next client sends: the kernel may hand on
        // sends on different sockets out of the order they were made in.
        WriteAll(clients[k], bytes);
        WaitUntilDelivered(clients[k]);
        ::close(clients[k]);
        sent += bytes;
    }
    ASSERT_TRUE(Eventually([&] {
        Posts.PumpPending();
        Machine.RunBurst(2000);
        return !server.CanWrite() && server.ClientCount() == 0;
    })) << "the echo never waited for room, or closed clients hold COM1";

    const int next = ConnectFromHost(server, 3);
    const std::string typed = "Hello, CP/M!";
    WriteAll(next, typed);
    sent += typed;
    const std::string echoed = RunUntilEchoed(next, sent.size());
    EXPECT_EQ(echoed.size(), sent.size());
    EXPECT_TRUE(echoed == sent) << "every byte back once, in order";
    ::close(next);
}

TEST_F(SerialEcho, APseudoTerminalCarriesCom2) {
    UsePty(2).BaudIndex = 9;
    ASSERT_EQ(Lines.ApplyComSettings(2), "");
    // A host line has no back-pressure into the 512-byte queue: send in
    // chunks the queue can hold and wait for each echo.
    std::string echoed;
    const std::string text = Pattern(4096, 5);
    for (size_t at = 0; at < text.size(); at += 256) {
        WriteAll(Pty.Master(), text.substr(at, 256));
        echoed += RunUntilEchoed(Pty.Master(), 256);
    }
    EXPECT_TRUE(echoed == text) << "echo differs, " << echoed.size() << " bytes back";
}

}  // namespace
