// The UDP receiver on real sockets over 127.0.0.1: options, binding,
// delivery on the owner's thread, and stopping.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "NetTestSupport.h"
#include "support/ThreadStates.h"

using namespace tavrin::test;

namespace {

class Receiver : public ::testing::Test {
protected:
    void SetUp() override {
        Rx.AdapterAddress = "127.0.0.1";
        Rx.Poster = Queue.Poster();
        Rx.OnDatagram = [this](TBaseUdpRx&, const uint8_t* data, int size, int, const sockaddr_in& from) {
            Received.emplace_back(data, data + size);
            CallbackThread = std::this_thread::get_id();
            From = from;
        };
    }
    void Await(size_t count) {
        Queue.PumpUntil([&] { return Received.size() >= count; }, std::chrono::seconds(1));
    }

    tavrin::test::TPostQueue Queue;
    TBaseUdpRx Rx;
    std::vector<std::vector<uint8_t>> Received;
    std::thread::id CallbackThread;
    sockaddr_in From{};
};

// An empty datagram is not delivered and a long one is cut; deactivation
// drops what still waits for the owner and frees the port at once.
TEST_F(Receiver, DeliversOnTheOwnersThreadUntilDeactivated) {
    Rx.SetActive(true);
    ASSERT_TRUE(Rx.GetActive()) << Rx.LastError();
    const uint16_t port = Rx.BoundPort();
    TUdpClient client(port);
    client.Send({});
    client.Send({1, 2, 3});
    client.Send(std::vector<uint8_t>(9000, 0xAB));
    Await(2);
    ASSERT_EQ(Received.size(), 2u);
    EXPECT_EQ(Received[0], (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Received[1].size(), TBaseUdpSocketThread::BufferSize);
    EXPECT_EQ(CallbackThread, std::this_thread::get_id());
    EXPECT_EQ(ntohs(From.sin_port), client.Port());
    // The reply leaves through the same socket.
    ASSERT_TRUE(Rx.SendTo(From, 1000, 2, "ok"));
    EXPECT_EQ(client.Receive(1000), (std::vector<uint8_t>{'o', 'k'}));

    Received.clear();
    client.Send({1});
    ASSERT_TRUE(Queue.WaitPending(1));
    ASSERT_EQ(Queue.Pending(), 1u);
    Rx.SetActive(false);
    EXPECT_FALSE(Rx.SendTo(From, 0, 1, "x"));
    Queue.PumpPending();
    EXPECT_TRUE(Received.empty());
    // Same port again straight away, without ReuseAddress.
    Rx.LocalPort = std::to_string(port);
    Rx.SetActive(true);
    ASSERT_TRUE(Rx.GetActive()) << Rx.LastError();
    client.Send({2});
    Await(1);
    EXPECT_EQ(Received, std::vector<std::vector<uint8_t>>{{2}});
}

TEST_F(Receiver, BindFailuresLeaveItInactiveWithAReason) {
    TBaseUdpSocket holder;
    holder.BindAddress = htonl(INADDR_LOOPBACK);
    ASSERT_TRUE(holder.Open());
    const std::string held = std::to_string(holder.BoundPort());
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {held, "127.0.0.1", "UDP port " + held + " is in use by another program!"},
        {"65536", "127.0.0.1", "\"65536\" is not a port number from 1 to 65535."},
        {"0", "127.0.0.1", "\"0\" is not a port number from 1 to 65535."},
        {"99999999999", "127.0.0.1", "\"99999999999\" is not a port number from 1 to 65535."},
        {"nosuchservice", "127.0.0.1", "\"nosuchservice\" is not a port number from 1 to 65535."},
        {"", "no-such-host.invalid", "The adapter address could not be resolved!"}};
    for (const auto& [port, adapter, reason] : cases) {
        Rx.LocalPort = port;
        Rx.AdapterAddress = adapter;
        Rx.SetActive(true);
        EXPECT_FALSE(Rx.GetActive());
        EXPECT_EQ(Rx.LastError(), reason);
        EXPECT_EQ(Rx.BoundPort(), 0);
    }
}

TEST_F(Receiver, AFloodWaitingForTheOwnerIsBoundedAndCostsOneWakeUp) {
    const std::set<pid_t> receiver = tavrin::test::ThreadsStartedBy([&] { Rx.SetActive(true); });
    ASSERT_FALSE(receiver.empty());
    TUdpClient client(Rx.BoundPort());
    const size_t sent = TBaseUdpRx::MaxPendingDatagrams + 200;
    for (size_t i = 0; i < sent; ++i) client.Send({static_cast<uint8_t>(i)});
    // The owner runs nothing until the receive thread has drained the socket
    // and waits for more.
    EXPECT_TRUE(tavrin::test::WaitUntilBlocked(receiver));
    EXPECT_EQ(tavrin::test::UdpReceiveQueue(Rx.BoundPort()), 0);
    EXPECT_EQ(Queue.Pending(), 1u);
    Queue.PumpPending();
    EXPECT_GT(Received.size(), 0u);
    EXPECT_LE(Received.size(), TBaseUdpRx::MaxPendingDatagrams);
    EXPECT_EQ(Received.front(), std::vector<uint8_t>{0}) << "kept in order of arrival";

    // Room again once the owner has caught up.
    const size_t before = Received.size();
    client.Send({9});
    Await(before + 1);
    ASSERT_EQ(Received.size(), before + 1);
    EXPECT_EQ(Received.back(), std::vector<uint8_t>{9});
}

// Under a flood the owner's thread is held for at most a bounded batch per
// posted call, behind which its other work gets a turn, and what waits for
// it never grows beyond its bound; nothing is reordered.
TEST_F(Receiver, AFloodIsHandedOverInBoundedTurns) {
    Rx.SetActive(true);
    const uint32_t flood = 20 * TBaseUdpRx::MaxPendingDatagrams;
    std::atomic<bool> sent{false};
    std::thread sender([port = Rx.BoundPort(), flood, &sent] {
        TUdpClient client(port);
        for (uint32_t i = 0; i < flood; ++i)
            client.Send({uint8_t(i >> 24), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)});
        sent = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    // A backlog of several batches before the owner takes its first turn.
    while (Rx.PendingDatagrams() < 4 * TBaseUdpRx::MaxDatagramsPerTurn && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    size_t turns = 0, mostInATurn = 0, mostPending = 0, mostPosted = 0;
    auto takeTurns = [&] {
        for (;;) {
            mostPosted = std::max(mostPosted, Queue.Pending());
            mostPending = std::max(mostPending, Rx.PendingDatagrams());
            const size_t before = Received.size();
            if (!Queue.PumpOne()) return;
            ++turns;
            mostInATurn = std::max(mostInATurn, Received.size() - before);
        }
    };
    while (!sent && std::chrono::steady_clock::now() < deadline) takeTurns();
    sender.join();
    takeTurns();

    EXPECT_GE(Received.size(), 4 * TBaseUdpRx::MaxDatagramsPerTurn);
    EXPECT_GE(turns, 4u);
    EXPECT_LE(mostInATurn, TBaseUdpRx::MaxDatagramsPerTurn);
    EXPECT_LE(mostPending, TBaseUdpRx::MaxPendingDatagrams);
    EXPECT_LE(mostPosted, 1u) << "one drain on its way at a time";
    auto number = [](const std::vector<uint8_t>& d) {
        return d.size() == 4 ? uint32_t(d[0]) << 24 | uint32_t(d[1]) << 16 | uint32_t(d[2]) << 8 | d[3] : ~0u;
    };
    for (size_t i = 1; i < Received.size(); ++i) ASSERT_LT(number(Received[i - 1]), number(Received[i])) << "at " << i;
}

}  // namespace
