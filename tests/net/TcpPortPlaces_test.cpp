// Who holds the places of the COM1 TCP server, with real sockets from
// several loopback addresses and a clock the test moves (or holds): clients
// that close give their places up at once and their bytes still reach the
// Z80, in the order they were sent, what they leave behind is bounded, a
// newcomer never costs the bytes of the client it replaces, the client in
// use stays while an idle one goes, and a client that shuts only its sending
// side still gets its answer.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "net/TcpPortMod.h"
#include "support/ComRxTestSupport.h"
#include "support/Eventually.h"
#include "support/NamedRows.h"
#include "support/TcpLineTestSupport.h"
#include "support/TcpTestClock.h"

using namespace tavrin::test;

namespace {

// Client k's bytes: k in the high nibble, so what the Z80 reads can be
// sorted by client; the low nibble counts, so a lost or reordered byte shows.
std::string Tagged(size_t k, size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(k << 4 | (i & 15));
    return bytes;
}

// Clients of hosts, in order, each accepted a second of clock after the
// one before; empty when the server did not take one in time.
std::vector<int> ConnectASecondApart(TTcpPortModule& module, TTestClock& clock, const std::vector<int>& hosts,
                                     int receiveBuffer = 0) {
    const size_t before = module.ClientCount();
    std::vector<int> clients;
    for (const int host : hosts) {
        clients.push_back(ConnectFromHost(module, host, receiveBuffer));
        if (!Eventually([&] { return module.ClientCount() == before + clients.size(); })) {
            for (const int fd : clients) ::close(fd);
            return {};
        }
        clock.Advance(1s);
    }
    return clients;
}

// The bytes of client k among what the Z80 read, in the order read.
std::string OfClient(const std::string& read, size_t k) {
    std::string bytes;
    for (const char c : read)
        if (static_cast<uint8_t>(c) >> 4 == k) bytes += c;
    return bytes;
}

// A client socket of 127.0.0.<host>, bound ahead so that connecting is
// one call.
int BoundFromHost(int host) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + static_cast<uint32_t>(host));
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0)
        throw std::runtime_error("test client socket failed");
    return fd;
}

void ConnectTo(int fd, const TTcpPortModule& module) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(module.ListeningPort());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
        throw std::runtime_error("the server refused a connection");
}

size_t OpenDescriptors() {
    size_t count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (::readdir(dir) != nullptr) ++count;
    ::closedir(dir);
    return count;
}

// --- clients that have closed ------------------------------------------------------

struct TClosedRow {
    const char* name;
    size_t Sent;  // by each of the eight
    bool Echo;    // the Z80 echoes what it reads (CON on COM1), until its output backs up
};
TAVRIN_PRINT_AS_NAME(TClosedRow)

class TcpPortClosedClients : public testing::TestWithParam<TClosedRow> {};

// Eight clients from two hosts fill every place, send and close while the
// Z80 reads nothing, or echoes: then, looking like clients that only shut
// their sending side, they are offered the echo, and each hands back with
// its reset what it never took. Their places are free at once, for their
// hosts and for others, every byte they sent still reaches the Z80, each
// client's in order, and the newcomers get the whole echo.
TEST_P(TcpPortClosedClients, GiveTheirPlacesUpAtOnceAndTheirBytesStillCome) {
    const TClosedRow& row = GetParam();
    TTcpPortModule module;
    ActivateOnReservedPort(module);
    std::vector<int> clients;
    for (int host : {1, 1, 1, 1, 2, 2, 2, 2}) clients.push_back(ConnectFromHost(module, host));
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == TTcpPortModule::MaxClients; }));
    for (size_t k = 0; k < clients.size(); ++k) SendThenLeave(clients[k], Tagged(k, row.Sent), TTcpLeave::Close);

    std::string read;
    const auto z80Step = [&] {
        uint8_t b = 0;
        if ((!row.Echo || module.CanWrite()) && module.ReadByte(b)) {
            read += static_cast<char>(b);
            if (row.Echo) module.WriteByte(b);
        }
    };
    // The Z80 takes what it can and stops: its output has nowhere to go
    // once every write to a closed client has failed.
    if (row.Echo) {
        ASSERT_TRUE(Eventually([&] {
            for (int i = 0; i < 1000; ++i) z80Step();
            return !module.CanWrite();
        }));
    }
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 0; })) << "closed clients hold their places";

    // A host that held four places and a new one both get in.
    const std::vector<int> newcomers{ConnectFromHost(module, 1), ConnectFromHost(module, 3)};
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == newcomers.size(); }));
    for (size_t k = 0; k < newcomers.size(); ++k) WriteAll(newcomers[k], Tagged(clients.size() + k, 100));

    const size_t total = clients.size() * row.Sent + newcomers.size() * 100;
    std::string echoed;
    const auto newcomersEchoed = [&] {
        std::string own;
        for (size_t k = clients.size(); k < clients.size() + newcomers.size(); ++k) own += OfClient(echoed, k);
        return own.size();
    };
    EXPECT_TRUE(Eventually(
        [&] {
            for (int i = 0; i < 1000; ++i) z80Step();
            for (const int fd : newcomers) echoed += ReadAvailable(fd);
            return read.size() == total && (!row.Echo || echoed.size() == total);
        },
        30s))
        << read.size() << " of " << total << " bytes read, " << echoed.size() << " echoed, " << newcomersEchoed()
        << " of them the newcomers' own";
    for (size_t k = 0; k < clients.size() + newcomers.size(); ++k)
        EXPECT_TRUE(OfClient(read, k) == Tagged(k, k < clients.size() ? row.Sent : 100)) << "client " << k;
    EXPECT_LE(echoed.size(), total) << "a byte echoed twice";
    for (const int fd : newcomers) ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Table, TcpPortClosedClients,
                         testing::Values(TClosedRow{"TheZ80ReadsNothing", 600, false},
                                         TClosedRow{"TheZ80EchoesUntilItsOutputBacksUp", 2048, true}),
                         RowName);

struct TLeftBehindRow {
    const char* name;
    bool TurnedOff;  // TCP COM1 is turned off and on again before the Z80 reads
};
TAVRIN_PRINT_AS_NAME(TLeftBehindRow)

class TcpPortLeftBehind : public testing::TestWithParam<TLeftBehindRow> {};

// Clients one after another send and shut their sending side while the Z80
// reads nothing, more than the bound all told. Each newcomer takes the place
// the one before gave up, which is let go; the last is let go once it has
// closed and a write to it fails, so the server keeps none of their
// descriptors. The Z80 reads the receive queue and then the oldest of what
// is left, up to the bound: the newest bytes are refused, as a serial line
// overruns. Turning TCP COM1 off drops what is left; the receive queue stays.
TEST_P(TcpPortLeftBehind, IsBoundedAndGoesWhenTcpCom1IsTurnedOff) {
    const TLeftBehindRow& row = GetParam();
    TTcpPortModule module;
    ActivateOnReservedPort(module);
    const size_t descriptors = OpenDescriptors();
    constexpr size_t each = 16 << 10;
    constexpr size_t kept = TTcpPortModule::QueueCapacity + TTcpPortModule::LeftBehindCapacity;
    std::string sent;
    int previous = -1;
    for (size_t k = 0; sent.size() <= kept + each; ++k) {
        const std::string bytes = Pattern(each, static_cast<unsigned>(k));
        const int client = ConnectFromHost(module, 1 + static_cast<int>(k % 2));
        if (previous >= 0) {
            const bool letGo = ClosedByServer(previous, 5s);
            ::close(previous);
            ASSERT_TRUE(letGo) << "client " << k - 1 << " kept for a newcomer";
        }
        // Half-closed, it learns when the server has let it go.
        SendThenLeave(client, bytes, TTcpLeave::HalfClose);
        sent += bytes;
        previous = client;
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 0; })) << "client " << k << " holds its place";
    }
    ::close(previous);
    module.WriteByte('x');
    EXPECT_TRUE(Eventually([&] { return OpenDescriptors() == descriptors; })) << "descriptors kept";
    EXPECT_EQ(module.LeftBehind(), TTcpPortModule::LeftBehindCapacity);

    if (row.TurnedOff) {
        module.SetActive(false);
        module.SetActive(true);
        EXPECT_EQ(module.LeftBehind(), 0u);
    }
    const std::string read = ReadInputUntilAlone(module, module);
    const size_t expected = row.TurnedOff ? TTcpPortModule::QueueCapacity : kept;
    EXPECT_EQ(read.size(), expected);
    EXPECT_TRUE(read == sent.substr(0, expected)) << "the oldest bytes, in order";
}

INSTANTIATE_TEST_SUITE_P(Table, TcpPortLeftBehind,
                         testing::Values(TLeftBehindRow{"TheZ80ReadsTheOldest", false},
                                         TLeftBehindRow{"TurningTcpCom1OffDropsIt", true}),
                         RowName);

// --- a newcomer taking a place ------------------------------------------------------

struct TRaceRow {
    const char* name;
    std::vector<int> Hosts;    // the table, in connection order
    TTcpClock::duration Idle;  // how long the clients have been idle when the newcomer comes
    int NewcomerHost;          // 0: a new host each round
};
TAVRIN_PRINT_AS_NAME(TRaceRow)

class TcpPortNewcomerRace : public testing::TestWithParam<TRaceRow> {};

// Round after round, the client idle longest sends its last bytes and closes
// and a newcomer that could take its place connects at once, so both often
// arrive in one wake-up of the server. Not one of those bytes is lost, and
// the newcomer takes the place given up, no other client's.
TEST_P(TcpPortNewcomerRace, NeverCostsTheBytesOfTheClientItCouldReplace) {
    const TRaceRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    const std::vector<int> table = ConnectASecondApart(module, clock, row.Hosts);
    ASSERT_EQ(table.size(), row.Hosts.size()) << "the table filled";
    std::deque<int> held(table.begin(), table.end());  // idlest first
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        clock.Advance(row.Idle);
        const std::string last = Tagged(static_cast<size_t>(round % 16), 100);
        const int newcomer = BoundFromHost(row.NewcomerHost != 0 ? row.NewcomerHost : 10 + round);
        SendThenLeave(held.front(), last, TTcpLeave::Close);
        ConnectTo(newcomer, module);
        held.pop_front();
        held.push_back(newcomer);
        ASSERT_EQ(ReadZ80(module, last.size()), last);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == held.size(); })) << "the newcomer got in";
        // It took the place given up, not another's.
        for (const int fd : held) ASSERT_FALSE(ClosedByServer(fd, 0ms));
    }
    for (const int fd : held) ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Table, TcpPortNewcomerRace,
                         testing::Values(TRaceRow{"AFifthFromTheHost", {1, 1, 1, 1}, 1s, 1},
                                         TRaceRow{"AFullTableAndAClientIdleAMinute",
                                                  {1, 1, 1, 1, 2, 2, 2, 2},
                                                  TTcpClientPlaces::IdleBeforeReplaced,
                                                  0}),
                         RowName);

struct TChoiceRow {
    const char* name;
    std::vector<int> Hosts;    // the table, in connection order, a second apart
    size_t Typist;             // the client someone types on
    TTcpClock::duration Idle;  // how long the others have been idle when the typing comes
    int NewcomerHost;
    std::optional<size_t> Replaced;  // the client whose place the newcomer takes; none: turned away
    // A client that shuts its sending side before the typing: it holds no
    // place, yet stays in the server's list ahead of the others.
    std::optional<size_t> HalfCloses{};
    // A client whose bytes wait unread in its socket when the newcomer comes:
    // the client before it has sent more than the receive queue holds.
    std::optional<size_t> WaitsUnread{};
};
TAVRIN_PRINT_AS_NAME(TChoiceRow)

class TcpPortReplacedClient : public testing::TestWithParam<TChoiceRow> {};

// Clients connect a second apart, the others stay idle, and someone types on
// one of them just before a newcomer comes: the newcomer takes the place of
// the client idle longest by use, whatever the order they connected in, and
// never the one in use.
TEST_P(TcpPortReplacedClient, IsTheOneIdleLongestNeverTheOneInUse) {
    const TChoiceRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    const std::vector<int> held = ConnectASecondApart(module, clock, row.Hosts);
    ASSERT_EQ(held.size(), row.Hosts.size()) << "the table filled";
    if (row.HalfCloses) {
        SendThenLeave(held[*row.HalfCloses], "", TTcpLeave::HalfClose);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == held.size() - 1; })) << "its place is given up";
    }
    clock.Advance(row.Idle);
    WriteAll(held[row.Typist], "typed");
    ASSERT_EQ(ReadZ80(module, 5), "typed");
    clock.Advance(1s);

    std::string queued;  // sent before the newcomer comes, not read by the Z80 yet
    if (row.WaitsUnread) {
        const int filler = held[*row.WaitsUnread - 1];
        queued = Pattern(2000, 5);
        WriteAll(filler, queued);
        WaitUntilDelivered(filler);
        ASSERT_TRUE(Eventually([&] { return module.DataAvailable(); }));
        WriteAll(held[*row.WaitsUnread], "wait");
        WaitUntilDelivered(held[*row.WaitsUnread]);
        queued += "wait";
    }
    const int newcomer = ConnectFromHost(module, row.NewcomerHost);
    if (row.Replaced) {
        WriteAll(newcomer, "let me in");
        EXPECT_TRUE(ReadZ80(module, queued.size() + 9) == queued + "let me in");
    } else {
        EXPECT_TRUE(ClosedByServer(newcomer)) << "turned away";
    }
    // The server placed the newcomer before serving it.
    for (size_t i = 0; i < held.size(); ++i)
        EXPECT_EQ(ClosedByServer(held[i], row.Replaced == i ? 2s : 0ms), row.Replaced == i) << "client " << i;
    for (const int fd : held) ::close(fd);
    ::close(newcomer);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TcpPortReplacedClient,
    testing::Values(
        TChoiceRow{"AFifthFromAHostTheTypistConnectedFirst", {1, 1, 1, 1}, 0, 10s, 1, 1},
        TChoiceRow{"AFifthFromAHostTheTypistConnectedLast", {1, 1, 1, 1}, 3, 10s, 1, 0},
        TChoiceRow{"AFifthFromAHostTheTypistBetween", {2, 1, 1, 1, 1}, 1, 10s, 1, 2},
        TChoiceRow{"AFullTableAFifthFromAHost", {1, 1, 1, 1, 2, 2, 2, 2}, 0, 10s, 1, 1},
        TChoiceRow{"AFullTableAnotherHostTheTypistConnectedFirst", {1, 2, 3, 4, 5, 6, 7, 8}, 0, 60s, 9, 1},
        TChoiceRow{"AFullTableAnotherHostTheTypistConnectedLast", {1, 2, 3, 4, 5, 6, 7, 8}, 7, 60s, 9, 0},
        TChoiceRow{"AFullTableAnotherHostNobodyIdleAMinute", {1, 2, 3, 4, 5, 6, 7, 8}, 0, 50s, 9, std::nullopt},
        TChoiceRow{"AFifthFromAHostAHalfClosedClientBeforeIt", {2, 1, 1, 1, 1}, 1, 10s, 1, 2, 0},
        TChoiceRow{"AFifthFromAHostTheIdlestsBytesWaitUnread", {1, 1, 1, 1}, 3, 10s, 1, 2, std::nullopt, 1}),
    RowName);

struct TLetGoRow {
    const char* name;
    bool HalfCloses;           // the client that stopped reading has shut its sending side
    std::vector<int> Readers;  // hosts of clients that read, come after it
    int NewcomerHost;          // the newcomer for whom it is let go
};
TAVRIN_PRINT_AS_NAME(TLetGoRow)

class TcpPortLetGoClient : public testing::TestWithParam<TLetGoRow> {};

// A client from 127.0.0.1 that reads nothing holds as much output as it may
// hold unacknowledged when a newcomer takes its place. Still connected, it
// keeps what it was sent, and none of that goes to the others: every byte
// the Z80 wrote reaches exactly one client, the one let go included.
TEST_P(TcpPortLetGoClient, KeepsNoByteAnotherClientGets) {
    const TLetGoRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    const int stopped = ConnectFromHost(module, 1, 4096);
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 1; }));
    const std::string written = FillOutput(module, [](size_t i) { return static_cast<uint8_t>(i * 7 + i / 251); });
    if (row.HalfCloses) {
        ::shutdown(stopped, SHUT_WR);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == 0; }));
    }
    clock.Advance(1s);
    std::vector<int> readers = ConnectASecondApart(module, clock, row.Readers);
    ASSERT_EQ(readers.size(), row.Readers.size()) << "the table filled";
    readers.push_back(ConnectFromHost(module, row.NewcomerHost));
    // Once the newcomer is served, the client it replaced has been let go.
    WriteAll(readers.back(), "n");
    ASSERT_EQ(ReadZ80(module, 1), "n") << "the newcomer got in";

    // What it was sent, until its end.
    std::string got = ReadFor(stopped, SIZE_MAX, 5s);
    const size_t ownShare = got.size();
    EXPECT_TRUE(Eventually([&] {
        for (const int fd : readers) got += ReadAvailable(fd);
        return got.size() >= written.size();
    })) << got.size()
        << " of " << written.size() << " bytes came";
    EXPECT_EQ(got.size(), written.size()) << "bytes reached two clients; " << ownShare << " the one let go";
    std::string sortedWritten = written;
    std::sort(got.begin(), got.end());
    std::sort(sortedWritten.begin(), sortedWritten.end());
    EXPECT_TRUE(got == sortedWritten) << "bytes lost or doubled";
    for (const int fd : readers) ::close(fd);
    ::close(stopped);
}

INSTANTIATE_TEST_SUITE_P(Table, TcpPortLetGoClient,
                         testing::Values(TLetGoRow{"ANewcomerOfItsHostReplacesIt", false, {1, 1, 1}, 1},
                                         TLetGoRow{"ANewcomerTakesThePlaceItGaveUp", true, {}, 2}),
                         RowName);

// --- the order input reaches the Z80 in ------------------------------------------------

struct TSend {
    size_t Client;  // index into the table; its size: the newcomer
    size_t Size;
    bool Closes;  // it shuts its sending side once its bytes are in: to the server, a close
};

struct TOrderRow {
    const char* name;
    std::vector<int> Hosts;  // the table, in connection order, a second apart
    int NewcomerHost;
    std::vector<TSend> Held;   // while the server is held placing the newcomer
    std::vector<TSend> Later;  // each once the server has seen every close before it
    // Read by the Z80 while the server is held again, once it has handed on
    // the first bytes it read after placing the newcomer.
    size_t ReadBetween = 0;
};
TAVRIN_PRINT_AS_NAME(TOrderRow)

class TcpPortInputOrder : public testing::TestWithParam<TOrderRow> {};

// Clients send, and some close, in a set order while the Z80 reads nothing
// (or reads a few bytes just as the server hands some on): the sends that
// are held come all at once to the server, which is held placing a
// newcomer; the later ones come one by one. The Z80 reads every byte once:
// each client's in the order it sent them, the bytes that reach the server
// together in the order their clients connected (here the order they were
// sent in), and bytes that come later after them.
TEST_P(TcpPortInputOrder, KeepsEachClientsOrderAndTakesBytesArrivingTogetherOldestClientFirst) {
    const TOrderRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    std::vector<int> clients = ConnectASecondApart(module, clock, row.Hosts);
    ASSERT_EQ(clients.size(), row.Hosts.size()) << "the table filled";
    clock.HoldNext();
    clients.push_back(ConnectFromHost(module, row.NewcomerHost));
    ASSERT_TRUE(clock.WaitHeld()) << "the server never placed the newcomer";

    std::string expected;
    size_t closed = 0;
    const auto send = [&](const TSend& step) {
        const std::string bytes = Tagged(expected.size() % 16, step.Size);
        WriteAll(clients[step.Client], bytes);
        if (step.Closes) ::shutdown(clients[step.Client], SHUT_WR);
        WaitUntilDelivered(clients[step.Client]);
        if (step.Closes) ++closed;
        expected += bytes;
    };
    for (const TSend& step : row.Held) send(step);
    std::string read;
    if (row.ReadBetween > 0) {
        clock.Step();
        ASSERT_TRUE(clock.WaitHeld()) << "the server handed nothing on";
        read = ReadZ80(module, row.ReadBetween);
    }
    clock.Release();
    for (const TSend& step : row.Later) {
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == clients.size() - closed; }));
        send(step);
    }
    read += ReadZ80(module, expected.size() - read.size());
    EXPECT_EQ(read.size(), expected.size());
    EXPECT_TRUE(read == expected) << "in the order sent";
    for (const int fd : clients) ::close(fd);
    EXPECT_EQ(ReadInputUntilAlone(module, module).size(), 0u) << "bytes came twice";
}

INSTANTIATE_TEST_SUITE_P(
    Table, TcpPortInputOrder,
    testing::Values(
        TOrderRow{"TwoClientsSendAtOnce", {1, 2}, 3, {{0, 20, false}, {1, 20, false}}, {}},
        TOrderRow{"TwoClientsSendAndCloseOneAfterTheOther", {1, 2}, 3, {{0, 20, true}, {1, 20, true}}, {}},
        TOrderRow{"AClientClosesAndTheNewcomerInItsPlaceSends", {1, 1, 1, 1}, 1, {{0, 20, true}, {4, 20, false}}, {}},
        // More than the receive queue holds: the rest waits behind it.
        TOrderRow{
            "WhatAClosedClientLeftGoesBeforeWhatAnotherSendsLater", {1, 2}, 3, {{0, 600, true}}, {{1, 20, false}}},
        // The first client's bytes wait for room in the receive queue.
        TOrderRow{
            "WhatWaitsForRoomGoesBeforeWhatAnotherClientSentAfter", {1}, 2, {{0, 600, false}, {1, 20, false}}, {}, 100},
        TOrderRow{"WhatWaitsForRoomGoesBeforeWhatALaterClientLeft", {1, 2}, 3, {{0, 2000, false}, {1, 20, true}}, {}}),
    RowName);

// --- a client that shuts its sending side -------------------------------------------------

struct THalfCloseRow {
    const char* name;
    std::vector<int> Others;  // hosts of clients still sending, connected before it
    int Host;
    int NewcomerHost;  // 0: none comes after it has shut its sending side
    bool GetsTheAnswer;
    bool LetGo;
    // Another client, connected just before it, shuts its sending side after
    // it: of the two, the one whose input ended first goes for a newcomer.
    bool AnEarlierClientEndsLater = false;
    // The others read nothing: the Z80 fills the line before it comes, and
    // they hold what their hosts and sockets take in.
    bool OthersReadNothing = false;
};
TAVRIN_PRINT_AS_NAME(THalfCloseRow)

class TcpPortHalfClosedClient : public testing::TestWithParam<THalfCloseRow> {};

// A client sends a command and shuts its sending side, as `printf 'DIR\r' |
// socat - TCP:...` does, and waits for the reply. Its place is given up at
// once; it still gets the Z80's answer unless a client that still sends is
// there to take it, and a newcomer takes its place at once, letting it go.
TEST_P(TcpPortHalfClosedClient, GetsTheAnswerWhileNoClientStillSendingTakesIt) {
    const THalfCloseRow& row = GetParam();
    TTestClock clock;
    TTcpPortModule module(clock.Source());
    ActivateOnReservedPort(module);
    std::vector<int> sending = ConnectASecondApart(module, clock, row.Others, row.OthersReadNothing ? 4096 : 0);
    ASSERT_EQ(sending.size(), row.Others.size()) << "the table filled";
    if (row.OthersReadNothing) FillOutput(module, [](size_t i) { return static_cast<uint8_t>('a' + i % 26); });
    const int earlier = row.AnEarlierClientEndsLater ? ConnectFromHost(module, row.Host) : -1;
    const size_t places = sending.size() + (earlier >= 0 ? 1 : 0);
    const int asker = ConnectFromHost(module, row.Host);
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == places + 1; }));
    SendThenLeave(asker, "DIR\r", TTcpLeave::HalfClose);
    ASSERT_TRUE(Eventually([&] { return module.ClientCount() == places; })) << "its place is given up";
    ASSERT_EQ(ReadZ80(module, 4), "DIR\r");
    if (earlier >= 0) {
        SendThenLeave(earlier, "", TTcpLeave::HalfClose);
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == sending.size(); }));
    }
    if (row.NewcomerHost != 0) {
        sending.push_back(ConnectFromHost(module, row.NewcomerHost));
        ASSERT_TRUE(Eventually([&] { return module.ClientCount() == sending.size(); })) << "the newcomer got in";
    }

    const std::string answer = "A: TAVRIN   COM\r\nA>";
    size_t answered = 0;  // answer bytes written, the answer over and over
    const auto writeAnswer = [&](size_t count) {
        for (; count > 0 && Eventually([&] { return module.CanWrite(); }); --count, ++answered)
            module.WriteByte(static_cast<uint8_t>(answer[answered % answer.size()]));
    };
    writeAnswer(answer.size());
    if (row.GetsTheAnswer) {
        std::string got;
        EXPECT_TRUE(Eventually(
            [&] {
                got += ReadAvailable(asker);
                if (got.find(answer) != std::string::npos) return true;
                // A client that reads nothing takes more now and then, as
                // its host makes room and until it holds all it may hold
                // unacknowledged: the Z80 answers again while there is room,
                // until the asker has had one whole answer.
                if (row.OthersReadNothing)
                    while (module.CanWrite()) writeAnswer(1);
                return false;
            },
            30s))
            << got.size() << " bytes came";
        if (!row.OthersReadNothing) {
            EXPECT_EQ(got, answer);
        }
    } else {
        std::string taken;
        EXPECT_TRUE(Eventually([&] {
            for (const int fd : sending) taken += ReadAvailable(fd);
            return taken.size() >= answer.size();
        })) << "the answer went nowhere";
        EXPECT_EQ(taken.size(), answer.size());
        EXPECT_EQ(ReadAvailable(asker), "") << "it took output a client still sending would read";
    }
    EXPECT_EQ(ClosedByServer(asker, row.LetGo ? 2s : 0ms), row.LetGo);
    for (size_t i = 0; i < sending.size(); ++i) EXPECT_FALSE(ClosedByServer(sending[i], 0ms)) << "client " << i;
    if (earlier >= 0) {
        EXPECT_FALSE(ClosedByServer(earlier, 0ms)) << "the client whose input ended later was let go";
        ::close(earlier);
    }
    for (const int fd : sending) ::close(fd);
    ::close(asker);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TcpPortHalfClosedClient,
    testing::Values(THalfCloseRow{"AloneItGetsTheAnswer", {}, 1, 0, true, false},
                    THalfCloseRow{"AClientStillSendingTakesTheAnswer", {2}, 1, 0, false, false},
                    THalfCloseRow{"ANewcomerTakesItsPlace", {}, 1, 2, false, true},
                    THalfCloseRow{"ANewcomerOfItsHostTakesItsPlaceNotAnothers", {1, 1, 1}, 1, 1, false, true},
                    THalfCloseRow{"ANewcomerTakesThePlaceOfTheFirstToEnd", {}, 1, 2, false, true, true},
                    THalfCloseRow{
                        "AClientStillSendingThatReadsNothingLeavesItTheAnswer", {2}, 1, 0, true, false, false, true}),
    RowName);

}  // namespace
