// The TCP server for COM1 over 127.0.0.1 with real client sockets: the Z80
// side's queues, back-pressure, clients coming and going, traffic both ways
// at once and the one-client rule.

#include <gtest/gtest.h>

#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/TcpPortMod.h"
#include "support/ComRxTestSupport.h"
#include "support/ThreadStates.h"

using namespace tavrin::test;

namespace {

class TcpPort : public testing::Test {
protected:
    void Activate()
    {
        Module.Port = Reserved.Text();
        Server = ThreadsStartedBy([&] { Module.SetActive(true); });
        ASSERT_TRUE(Module.GetActive());
    }
    int Connect()
    {
        const int fd = ConnectTcp(Module.ListeningPort());
        EXPECT_GE(fd, 0);
        EXPECT_TRUE(WaitFor([&] { return Module.ClientConnected(); }));
        return fd;
    }
    // True when the server closes fd within two seconds (a failure must not hang).
    static bool ClosedByServer(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        char c;
        return ::poll(&p, 1, 2000) > 0 && ::recv(fd, &c, 1, 0) <= 0;
    }
    static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s)
    {
        TPostQueue idle;
        return idle.PumpUntil(done, limit);
    }
    std::string ReadZ80(size_t count)
    {
        std::string got;
        while (got.size() < count && WaitFor([&] { return Module.DataAvailable(); })) {
            uint8_t b = 0;
            if (Module.ReadByte(b))
                got += static_cast<char>(b);
        }
        return got;
    }

    // Held while the test runs, so the port is still free when the server
    // listens on it again.
    const TReservedPort Reserved{SOCK_STREAM};
    TTcpPortModule Module;
    std::set<pid_t> Server;  // the server's thread
};

// A write while inactive is dropped. Bytes written before a client comes
// wait for it; bytes from a client beyond what the Z80 has room for are
// held back.
TEST_F(TcpPort, InactiveServerOffersNothingAndEachQueueHolds512Bytes)
{
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
    ASSERT_TRUE(WaitFor([&] { return Module.DataAvailable(); }));
    // The server blocks once it can move nothing more: the queue is full.
    ASSERT_TRUE(WaitUntilBlocked(Server));
    std::string first;  // 512 bytes without waiting
    for (int i = 0; i < 512 && Module.ReadByte(b); ++i)
        first += static_cast<char>(b);
    EXPECT_EQ(first, in.substr(0, 512));
    EXPECT_EQ(first + ReadZ80(488), in) << "the held-back bytes follow in order";
    ::close(client);
}

TEST_F(TcpPort, OneClientAtATimeAndTheNextWhenItLeaves)
{
    Activate();
    int client = Connect();
    const int second = ConnectTcp(Module.ListeningPort());
    ASSERT_GE(second, 0);
    WriteAll(second, "ignored");
    EXPECT_TRUE(ClosedByServer(second)) << "the second client must be closed";
    ::close(second);
    WriteAll(client, "kept");
    EXPECT_EQ(ReadZ80(4), "kept");
    EXPECT_FALSE(Module.DataAvailable());

    ::close(client);
    ASSERT_TRUE(WaitFor([&] { return !Module.ClientConnected(); }));
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

// While the Z80 keeps the transmit queue busy, a typed byte still gets in.
TEST_F(TcpPort, BothDirectionsMoveAtOnce)
{
    Activate();
    const int client = Connect();
    std::atomic<size_t> printed{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop)
            printed += ReadAvailable(client).size();
    });
    bool typed = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!Module.DataAvailable() && std::chrono::steady_clock::now() < deadline) {
        while (Module.CanWrite())
            Module.WriteByte('p');
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

TEST(TcpPortText, OnlyPortNumbersParse)
{
    const std::pair<const char*, uint16_t> cases[] = {{"9999", 9999}, {"1", 1},    {"65535", 65535}, {"0", 0},
                                                      {"65536", 0},   {"", 0},     {" 80", 0},       {"8o", 0},
                                                      {"-80", 0},     {"000080", 0}, {"99999999999999999999", 0}};
    for (const auto& [text, port] : cases)
        EXPECT_EQ(ParseTcpPort(text), port) << text;
}

} // namespace
