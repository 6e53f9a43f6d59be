// COM1's output between the Z80 and the clients: what a client was sent and
// has not acknowledged, and what comes back when clients go, sent again in
// the order the Z80 wrote it whatever order the clients went in.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/TcpOutputRuns.h"

namespace {

// The line's output: byte p is the low byte of p, spread so runs differ.
std::vector<uint8_t> Written(uint64_t place, size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((place + i) * 5 + (place + i) / 256);
    return bytes;
}

struct TSend {
    size_t Client;
    uint64_t Place;
    size_t Count;
};

struct TComeBack {
    std::vector<uint8_t> Bytes;
    size_t FirstRun = 0;  // bytes that lay together at first
};

// Sends blocks to clients, then lets each client's peer acknowledge all but
// its last bytes, then the clients go in the order given; what goes out
// again, taken a few bytes at a time as a client's socket would.
TComeBack ComesBack(const std::vector<TSend>& sends, const std::vector<size_t>& unacknowledged,
                    const std::vector<size_t>& goneInOrder, size_t taken) {
    std::vector<TTcpSentOutput> clients(unacknowledged.size());
    for (const TSend& send : sends) clients[send.Client].Add(send.Place, Written(send.Place, send.Count));
    for (size_t k = 0; k < clients.size(); ++k) clients[k].KeepLast(unacknowledged[k]);
    TTcpReturnedOutput returned;
    for (const size_t k : goneInOrder) returned.Return(clients[k].TakeAll());
    TComeBack out;
    out.FirstRun = returned.Earliest().size();
    while (!returned.Empty()) {
        const auto earliest = returned.Earliest();
        const std::vector<uint8_t> bytes(
            earliest.begin(), earliest.begin() + static_cast<std::ptrdiff_t>(std::min(earliest.size(), taken)));
        EXPECT_EQ(bytes, Written(returned.EarliestPlace(), bytes.size())) << "bytes away from their place";
        out.Bytes.insert(out.Bytes.end(), bytes.begin(), bytes.end());
        returned.Consume(bytes.size());
    }
    return out;
}

std::vector<uint8_t> Concat(const std::vector<std::pair<uint64_t, size_t>>& ranges) {
    std::vector<uint8_t> all;
    for (const auto& [place, count] : ranges) {
        const auto bytes = Written(place, count);
        all.insert(all.end(), bytes.begin(), bytes.end());
    }
    return all;
}

TEST(TcpOutputRuns, WhatComesBackGoesOutInTheOrderWritten) {
    const struct {
        const char* Name;
        std::vector<TSend> Sends;
        std::vector<size_t> Unacknowledged;  // per client: the last bytes sent its peer has not acknowledged
        std::vector<size_t> Gone;            // clients, in the order they go
        std::vector<std::pair<uint64_t, size_t>> Expected;
    } cases[] = {
        {"the newer client got the earlier block and goes first",
         {{1, 0, 100}, {0, 100, 100}},
         {100, 100},
         {1, 0},
         {{0, 200}}},
        {"the older client got the earlier block and goes first",
         {{0, 0, 100}, {1, 100, 100}},
         {100, 100},
         {0, 1},
         {{0, 200}}},
        {"three clients go in the reverse of their blocks",
         {{2, 0, 50}, {1, 50, 70}, {0, 120, 30}},
         {30, 70, 50},
         {0, 1, 2},
         {{0, 150}}},
        {"a client sent output again after newer output",
         {{0, 500, 100}, {0, 200, 100}, {1, 300, 200}},
         {200, 200},
         {1, 0},
         {{200, 400}}},
        {"what the peers acknowledged stays gone",
         {{0, 0, 100}, {1, 100, 100}, {0, 200, 100}},
         {150, 40},
         {1, 0},
         {{50, 50}, {160, 40}, {200, 100}}},
        {"a client that acknowledged everything gives nothing back",
         {{0, 0, 100}, {1, 100, 100}},
         {0, 100},
         {0, 1},
         {{100, 100}}},
        {"runs that do not meet still go out by place",
         {{0, 700, 10}, {1, 100, 10}, {2, 400, 10}},
         {10, 10, 10},
         {0, 2, 1},
         {{100, 10}, {400, 10}, {700, 10}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        for (const size_t taken : {size_t{7}, size_t{1000}}) {
            SCOPED_TRACE(testing::Message() << taken << " bytes taken at a time");
            const TComeBack back = ComesBack(row.Sends, row.Unacknowledged, row.Gone, taken);
            EXPECT_EQ(back.Bytes, Concat(row.Expected));
            EXPECT_EQ(back.FirstRun, row.Expected.front().second) << "runs that meet are one";
        }
    }
}

// Output comes back while some that came back before is half sent again:
// the earliest still goes first.
TEST(TcpOutputRuns, OutputComingBackWhileSomeIsSentAgainGoesBeforeIt) {
    TTcpSentOutput first, second;
    first.Add(300, Written(300, 100));
    second.Add(100, Written(100, 200));
    TTcpReturnedOutput returned;
    returned.Return(first.TakeAll());
    EXPECT_TRUE(first.Empty());
    returned.Consume(40);
    returned.Return(second.TakeAll());
    EXPECT_EQ(returned.EarliestPlace(), 100u);
    const auto earliest = returned.Earliest();
    EXPECT_EQ(std::vector<uint8_t>(earliest.begin(), earliest.end()), Concat({{100, 200}})) << "runs that meet are one";
    returned.Consume(200);
    EXPECT_EQ(returned.EarliestPlace(), 340u);
    returned.Consume(60);
    EXPECT_TRUE(returned.Empty());
}

}  // namespace
