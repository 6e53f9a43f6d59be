// Places among the COM1 server's clients, as a function of the table and the
// time: the rules one by one, and hosts reconnecting again and again against
// a user who types, over simulated minutes.

#include <gtest/gtest.h>

#include <map>

#include "net/TcpClientPlaces.h"

namespace {

using namespace std::chrono_literals;
using Places = TTcpClientPlaces;

const TTcpClock::time_point Now = TTcpClock::time_point{} + 1h;

struct TClientRow {
    uint32_t Host;
    TTcpClock::duration Idle;
    bool InputWaiting = false;
};

std::vector<TTcpClientPlace> TableOf(const std::vector<TClientRow>& clients) {
    std::vector<TTcpClientPlace> table;
    for (const TClientRow& c : clients) table.push_back({c.Host, Now - c.Idle, c.InputWaiting});
    return table;
}

// Hosts 1-8 active a second ago, but the fourth: idle for idle.
std::vector<TClientRow> FullWith(TTcpClock::duration idle, bool inputWaiting = false) {
    std::vector<TClientRow> clients;
    for (uint32_t host = 1; host <= Places::MaxClients; ++host) clients.push_back({host, 1s});
    clients[3] = {4, idle, inputWaiting};
    return clients;
}

TEST(TcpClientPlaces, NewcomersFindPlacesByTheRules) {
    const struct {
        const char* Name;
        std::vector<TClientRow> Table;
        uint32_t Newcomer;
        bool Admitted;
        std::optional<size_t> Replaces;
    } cases[] = {
        {"an empty table", {}, 2, true, std::nullopt},
        {"room left", {{1, 1s}, {2, 1s}}, 3, true, std::nullopt},
        {"a host at its places takes its own idlest", {{1, 5min}, {2, 0s}, {2, 1s}, {2, 3s}, {2, 2s}}, 2, true, 3},
        {"... but not one whose input waits",
         {{1, 5min}, {2, 0s, true}, {2, 1s, true}, {2, 3s, true}, {2, 2s, true}},
         2,
         false,
         std::nullopt},
        {"a full table, a host at its places",
         {{1, 5min}, {2, 0s}, {2, 2s}, {2, 1s}, {2, 0s}, {3, 1s}, {4, 1s}, {5, 1s}},
         2,
         true,
         2},
        {"a full table, a client idle a minute", FullWith(60s), 9, true, 3},
        {"a full table, nobody idle a minute", FullWith(59s), 9, false, std::nullopt},
        {"a full table, the idle client's input waits", FullWith(5min, true), 9, false, std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        const TTcpNewcomerPlace place = Places::PlaceNewcomer(TableOf(row.Table), row.Newcomer, Now);
        EXPECT_EQ(place.Admitted, row.Admitted);
        EXPECT_EQ(place.Replaces, row.Replaces);
    }
}

// A user (host 1) connects first and types now and then; attackers open a
// connection at a steady pace and never close it, from one host or taking
// turns among many. Over five simulated minutes the user keeps its place
// and no host holds more than its share.
TEST(TcpClientPlaces, AHostReconnectingNeverPushesAUserOff) {
    struct TSimClient {
        TTcpClientPlace Place;
        bool User;
    };
    const int attackEveryMs[] = {50, 100, 500};
    const int typeEveryMs[] = {200, 1000};
    const uint32_t attackerHosts[] = {1, 20};
    for (const int attackEvery : attackEveryMs)
        for (const int typeEvery : typeEveryMs)
            for (const uint32_t hosts : attackerHosts) {
                SCOPED_TRACE(testing::Message() << "attack every " << attackEvery << " ms from " << hosts
                                                << " hosts, typing every " << typeEvery << " ms");
                std::vector<TSimClient> table{{{1, TTcpClock::time_point{}}, true}};
                size_t admitted = 0;
                for (int ms = 1; ms <= 300000; ++ms) {
                    const TTcpClock::time_point now = TTcpClock::time_point{} + std::chrono::milliseconds(ms);
                    if (ms % typeEvery == 0) table.front().Place.LastActive = now;
                    if (ms % attackEvery != 0) continue;
                    const uint32_t host = 2 + static_cast<uint32_t>(ms / attackEvery) % hosts;
                    std::vector<TTcpClientPlace> places;
                    for (const TSimClient& c : table) places.push_back(c.Place);
                    const TTcpNewcomerPlace place = Places::PlaceNewcomer(places, host, now);
                    if (!place.Admitted) continue;
                    ++admitted;
                    if (place.Replaces) {
                        ASSERT_FALSE(table[*place.Replaces].User) << "the user was dropped at " << ms << " ms";
                        table.erase(table.begin() + static_cast<std::ptrdiff_t>(*place.Replaces));
                    }
                    table.push_back({{host, now}, false});
                    ASSERT_LE(table.size(), Places::MaxClients);
                    std::map<uint32_t, size_t> perHost;
                    for (const TSimClient& c : table) ++perHost[c.Place.Address];
                    ASSERT_LE(perHost[host], Places::MaxClientsPerAddress);
                }
                EXPECT_TRUE(table.front().User);
                EXPECT_GT(admitted, Places::MaxClients) << "the attack went on past a full table";
            }
}

}  // namespace
