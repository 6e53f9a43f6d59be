// The TCP server for COM1 over 127.0.0.1 with real client sockets: the Z80
// side's queues, back-pressure, clients coming and going, traffic both ways
// at once, several clients sharing the line, clients that leave (and the
// output they never took), and places for clients of several hosts.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

#include "net/TcpPortMod.h"
#include "net/PortNumber.h"
#include "support/ComRxTestSupport.h"
#include "support/TcpLineTestSupport.h"
#include "support/Eventually.h"
#include "support/NamedRows.h"
#include "support/TcpTestClock.h"
#include "support/ThreadStates.h"

using namespace tavrin::test;

namespace {

class TcpPort : public testing::Test {
protected:
    void Activate() {
        Module.Port = Reserved.Text();
        Server = ThreadsStartedBy([&] { Module.SetActive(true); });
        ASSERT_TRUE(Module.GetActive());
    }
    int Connect() {
        const int fd = ConnectTcp(Module.ListeningPort());
        EXPECT_GE(fd, 0);
        EXPECT_TRUE(Eventually([&] { return Module.ClientConnected(); }));
        return fd;
    }
    std::string ReadZ80(size_t count) { return tavrin::test::ReadZ80(Module, count); }

    // Held while the test runs, so the port is still free when the server
    // listens on it again.
    const TReservedPort Reserved{SOCK_STREAM};
    TTcpPortModule Module;
    std::set<pid_t> Server;  // the server's thread
};

// A write while inactive is dropped. Bytes written before a client comes
// wait for it; bytes from a client beyond what the Z80 has room for are
// held back.
TEST_F(TcpPort, InactiveServerOffersNothingAndEachQueueHolds512Bytes) {
    EXPECT_FALSE(Module.DataAvailable());
    EXPECT_FALSE(Module.CanWrite());
    uint8_t b = 0;
    EXPECT_FALSE(Module.ReadByte(b));
    Module.WriteByte('x');
    Activate();
    const std::string out = Pattern(513, 4);
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(Module.CanWrite(), i < 512) << i;
        Module.WriteByte(static_cast<uint8_t>(out[i]));
    }
    const int client = Connect();
    EXPECT_EQ(ReadFor(client, 514, 1s), out.substr(0, 512));

    const std::string in = Pattern(1000, 6);
    WriteAll(client, in);
    ASSERT_TRUE(Eventually([&] { return Module.DataAvailable(); }));
    // The server blocks once it can move nothing more: the queue is full.
    ASSERT_TRUE(WaitUntilBlocked(Server));
    std::string first;  // 512 bytes without waiting
    for (int i = 0; i < 512 && Module.ReadByte(b); ++i) first += static_cast<char>(b);
    EXPECT_EQ(first, in.substr(0, 512));
    EXPECT_EQ(first + ReadZ80(488), in) << "the held-back bytes follow in order";
    ::close(client);
}

TEST_F(TcpPort, ClientsShareTheQueuesAndTheNextComesWhenTheyLeave) {
    Activate();
    int client = Connect();
    const int second = ConnectTcp(Module.ListeningPort());
    ASSERT_GE(second, 0);
    ASSERT_TRUE(Eventually([&] { return Module.ClientCount() == 2; }));
    WriteAll(client, "one");
    EXPECT_EQ(ReadZ80(3), "one");
    WriteAll(second, "two");
    EXPECT_EQ(ReadZ80(3), "two");
    // Each byte from the Z80 goes to one client or the other, never to both.
    for (char c : std::string("abcdef")) Module.WriteByte(static_cast<uint8_t>(c));
    std::string toFirst, toSecond;
    ASSERT_TRUE(Eventually([&] {
        toFirst += ReadAvailable(client);
        toSecond += ReadAvailable(second);
        return toFirst.size() + toSecond.size() >= 6;
    }));
    std::string both = toFirst + toSecond;
    std::sort(both.begin(), both.end());
    EXPECT_EQ(both, "abcdef");
    ::close(second);
    ::close(client);
    ASSERT_TRUE(Eventually([&] { return !Module.ClientConnected(); }));

    Module.WriteByte('q');  // waits for the next client
    client = Connect();
    WriteAll(client, "b");
    EXPECT_EQ(ReadZ80(1), "b");
    EXPECT_EQ(ReadFor(client, 1), "q");

    // Deactivating closes the client and frees the port.
    Module.SetActive(false);
    EXPECT_TRUE(ClosedByServer(client));
    ::close(client);
    Module.SetActive(true);
    EXPECT_TRUE(Module.GetActive());
}

// Output the Z80 wrote that no client could take stays on the line when a
// client leaves: it reaches the next client, or a client that stays. The
// stayer has taken a first stream ('e's) and takes little more until it
// reads; then a second stream (high bytes) fills the line towards the
// leaver. What its socket took goes with it; what the server holds, more
// than a queue's worth, reaches the other client as the stream's end.
TEST_F(TcpPort, OutputNoClientTookWaitsForTheNextOrTheOthers) {
    const struct {
        const char* Name;
        bool AnotherStays;
    } cases[] = {{"the last client leaves", false}, {"another client stays", true}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        TTcpPortModule module;
        ActivateOnReservedPort(module);
        // Clients that take little at a time, so output to them backs up soon.
        int stayer = -1;
        if (row.AnotherStays) {
            stayer = ConnectTcp(module.ListeningPort(), 4096);
            ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 1; }));
            FillOutput(module, [](size_t) { return 'e'; });
        }
        const int leaver = ConnectTcp(module.ListeningPort(), 4096);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == (row.AnotherStays ? 2u : 1u); }));
        const std::string written =
            FillOutput(module, [](size_t i) { return static_cast<uint8_t>(0x80 | ((i * 7 + i / 128) & 0x7F)); });
        SendThenLeave(leaver, "", TTcpLeave::Reset);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == (row.AnotherStays ? 1u : 0u); }));
        if (!row.AnotherStays) stayer = ConnectTcp(module.ListeningPort());

        const size_t held = SameTailSize(ReadUntilZ80Ends(stayer, module), written);
        EXPECT_GT(held, TTcpPortModule::QueueCapacity) << "bytes the server held were lost";
        ::close(stayer);
    }
}

sockaddr_in EndOf(int fd, bool peer) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    (peer ? ::getpeername : ::getsockname)(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return address;
}

struct TReturnedRow {
    const char* name;
    size_t Closing;  // clients that close before the server sees it, sent one block each
    // Before them, a client that stopped reading takes output until it has
    // 64 KiB unacknowledged, in many sends, and resets.
    bool StoppedReaderResets;
};
TAVRIN_PRINT_AS_NAME(TReturnedRow)

class TcpPortReturnedOutput : public testing::TestWithParam<TReturnedRow> {};

// What its host took in and the client never read.
size_t UnreadBytes(int fd) {
    int unread = 0;
    return ::ioctl(fd, FIONREAD, &unread) == 0 ? static_cast<size_t>(unread) : 0;
}

// Clients that have closed, though the server has not seen it yet, are sent
// output in one pass, newest first, one block each, and answer with resets:
// what they never took reaches the client that stays in the order the Z80
// wrote it. The server is held after each send while the clients close and
// the Z80 writes the next block, and until every reset has come. What a
// client that stopped reading never acknowledged comes back whole; what its
// host took in goes with it.
TEST_P(TcpPortReturnedOutput, ReachesTheClientThatStaysInTheOrderWritten) {
    const TReturnedRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    std::string written;
    size_t lost = 0;
    if (row.StoppedReaderResets) {
        const int reader = ConnectTcp(module.ListeningPort(), 4096);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 1; }));
        written = FillOutput(module, [](size_t i) { return static_cast<uint8_t>(i * 7 + i / 251); });
        lost = UnreadBytes(reader);
        SendThenLeave(reader, "", TTcpLeave::Reset);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 0; }));
    }
    std::vector<int> closers;
    for (size_t k = 0; k < row.Closing; ++k) closers.push_back(ConnectFromHost(module, 1 + static_cast<int>(k)));
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == closers.size(); }));
    clock.HoldNext();
    const int stayer = ConnectFromHost(module, 9);
    ASSERT_TRUE(clock.WaitHeld()) << "the server never placed the stayer";

    // A block the server takes whole (no lingering) and hands to one client.
    const auto nextBlock = [&](const char* whose) {
        const std::string block = Pattern(300, static_cast<unsigned>(written.size() / 300 * 40));
        for (const char c : block) module.WriteByte(static_cast<uint8_t>(c));
        written += block;
        clock.Step();
        return clock.WaitHeld() ? testing::AssertionSuccess() : testing::AssertionFailure() << whose << " sent nothing";
    };
    if (!closers.empty()) {
        ASSERT_TRUE(nextBlock("the stayer"));
    }
    std::vector<std::pair<sockaddr_in, sockaddr_in>> closed;  // each closer's two ends
    for (const int fd : closers) {
        closed.emplace_back(EndOf(fd, false), EndOf(fd, true));
        ::close(fd);
    }
    for (size_t k = 0; k < closers.size(); ++k) ASSERT_TRUE(nextBlock("a closing client"));
    EXPECT_TRUE(Eventually([&] {
        return std::none_of(closed.begin(), closed.end(),
                            [](const auto& ends) { return TcpConnectionListed(ends.first, ends.second); });
    })) << "a closed client took output without a reset";
    clock.Release();

    const std::string expected = written.substr(lost);
    const std::string read = ReadFor(stayer, expected.size(), 5s);
    EXPECT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected) << "in the order written";
    ::close(stayer);
}

INSTANTIATE_TEST_SUITE_P(Table, TcpPortReturnedOutput,
                         testing::Values(TReturnedRow{"TwoClientsClosing", 2, false},
                                         TReturnedRow{"ThreeClientsClosing", 3, false},
                                         TReturnedRow{"AClientThatStoppedReadingResets", 0, true}),
                         RowName);

// Every byte a client sends before it leaves reaches the Z80, in order:
// what it sent before a close or a half-close is handed on after it, and
// after a reset what already arrived still comes. A half-closed client
// still takes output.
TEST_F(TcpPort, EveryByteAClientSentBeforeLeavingReachesTheZ80) {
    const struct {
        const char* Name;
        TTcpLeave How;
        size_t Size;
        bool ReadWhileSending;
    } cases[] = {{"closes", TTcpLeave::Close, 4 << 20, true},
                 {"half-closes", TTcpLeave::HalfClose, 4 << 20, true},
                 // Small enough for the buffers on the way: the reset comes before the Z80 reads.
                 {"resets", TTcpLeave::Reset, 32 << 10, false}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        TTcpPortModule module;
        const std::set<pid_t> server = ThreadsStartedBy([&] { ActivateOnReservedPort(module); });
        const int client = ConnectTcp(module.ListeningPort());
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 1; }));
        const std::string sent = Pattern(row.Size, 3);
        std::thread sender([&] { SendThenLeave(client, sent, row.How); });
        if (!row.ReadWhileSending) {
            sender.join();
            EXPECT_TRUE(WaitUntilBlocked(server)) << "the gone client's hang-up does not keep it busy";
        }
        const std::string got = ReadInputUntilAlone(module, module);
        if (sender.joinable()) sender.join();
        EXPECT_EQ(got.size(), sent.size());
        EXPECT_TRUE(got == sent) << "in order";
        if (row.How == TTcpLeave::HalfClose) {
            module.WriteByte('!');
            EXPECT_EQ(ReadFor(client, 1, 2s), "!") << "a half-close ends the client's input only";
            ::close(client);
        }
    }
}

// The server rests once nobody is connected, also when the last client
// left while the Z80 was still writing: it wakes for a client, the Z80 or
// the stop, and costs no processor time meanwhile. Each round leaves at
// some other point of the output.
TEST(TcpPortAtRest, TheServerRestsOnceTheLastClientLeftMidOutput) {
    const struct {
        const char* Name;
        TTcpLeave How;
    } cases[] = {{"resets", TTcpLeave::Reset}, {"closes", TTcpLeave::Close}};
    for (const auto& row : cases) {
        for (int round = 0; round < 12; ++round) {
            SCOPED_TRACE(testing::Message() << row.Name << ", round " << round);
            TTcpPortModule module;
            const std::set<pid_t> server = ThreadsStartedBy([&] { ActivateOnReservedPort(module); });
            const int client = ConnectTcp(module.ListeningPort());
            ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 1; }));
            // The Z80 writes while there is room, until the line stays full
            // once the client has left.
            std::atomic<bool> left{false};
            std::thread z80([&] {
                for (bool full = false; !(left && full);) {
                    full = !module.CanWrite();
                    if (!full) module.WriteByte('o');
                }
            });
            ReadFor(client, 2000 + 500 * static_cast<size_t>(round), 5s);
            SendThenLeave(client, "", row.How);
            left = true;
            z80.join();
            ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 0; }));
            const auto ran = ThreadCpuTime(server);
            EXPECT_TRUE(WaitUntilBlocked(server)) << "the server never rests";
            EXPECT_LT(ThreadCpuTime(server) - ran, 100ms) << "the server spins with nobody connected";
        }
    }
}

// One host cannot crowd the others off: it holds a few places at most, its
// newcomer beyond them takes the place of its own client idle longest, and
// a full table turns a newcomer from another host away rather than drop a
// client in use. Clients connect in order from 127.0.0.<host>.
TEST_F(TcpPort, OneHostCannotCrowdTheOthersOff) {
    const struct {
        const char* Name;
        std::vector<int> Hosts;
        int Newcomer;
        std::optional<size_t> Replaced;  // index into Hosts
        bool Admitted;
    } cases[] = {
        {"a host beyond its places", {1, 2, 2, 2, 2}, 2, 1, true},
        {"a full table, a host beyond its places", {1, 2, 2, 2, 2, 3, 4, 5}, 2, 1, true},
        {"a full table, another host", {1, 2, 3, 4, 5, 6, 7, 8}, 9, std::nullopt, false},
        {"room left", {1, 2, 2, 2}, 2, std::nullopt, true},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        TTcpPortModule module;
        ActivateOnReservedPort(module);
        const auto connectFrom = [&](int host) {
            return ConnectTcpFrom(("127.0.0." + std::to_string(host)).c_str(), module.ListeningPort());
        };
        std::vector<int> held;
        for (const int host : row.Hosts) {
            held.push_back(connectFrom(host));
            ASSERT_GE(held.back(), 0);
            ASSERT_TRUE(Eventually([&] { return module.ClientCount() == held.size(); }));
        }
        const int newcomer = connectFrom(row.Newcomer);
        if (row.Admitted) {
            WriteAll(newcomer, "let me in");
            EXPECT_EQ(tavrin::test::ReadZ80(module, 9), "let me in");
        } else {
            EXPECT_TRUE(ClosedByServer(newcomer)) << "turned away";
        }
        // The server decided on the newcomer before serving it.
        for (size_t i = 0; i < held.size(); ++i)
            EXPECT_EQ(ClosedByServer(held[i], row.Replaced == i ? 2s : 0ms), row.Replaced == i) << i;
        for (const int fd : held) ::close(fd);
        ::close(newcomer);
    }
}

// While the Z80 keeps the transmit queue busy, a typed byte still gets in.
TEST_F(TcpPort, BothDirectionsMoveAtOnce) {
    Activate();
    const int client = Connect();
    std::atomic<size_t> printed{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) printed += ReadAvailable(client).size();
    });
    bool typed = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!Module.DataAvailable() && std::chrono::steady_clock::now() < deadline) {
        while (Module.CanWrite()) Module.WriteByte('p');
        if (!typed && printed > 10000) {
            WriteAll(client, "\x13");
            typed = true;
        }
    }
    stop = true;
    reader.join();
    uint8_t b = 0;
    EXPECT_TRUE(Module.ReadByte(b));
    EXPECT_EQ(b, 0x13);
    ::close(client);
}

TEST(TcpPortText, OnlyPortNumbersParse) {
    const std::pair<const char*, uint16_t> cases[] = {{"9999", 9999},
                                                      {"1", 1},
                                                      {"65535", 65535},
                                                      {"0", 0},
                                                      {"65536", 0},
                                                      {"", 0},
                                                      {" 80", 0},
                                                      {"8o", 0},
                                                      {"-80", 0},
                                                      {"000080", 0},
                                                      {"99999999999999999999", 0}};
    for (const auto& [text, port] : cases) EXPECT_EQ(ParsePortNumber(text), port) << text;
}

}  // namespace
