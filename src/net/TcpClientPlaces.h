#pragma once
// Who gets a place among the clients of the COM1 TCP server. One host cannot
// crowd the others out: it holds a few places at most, its newcomers take
// the places of its own clients, and a full table lets a host in only in the
// place of a client idle for a long while. A client whose bytes still wait
// (read out of its socket or not) keeps its place; one that has closed or
// shut its sending side has given its place up already.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

using TTcpClock = std::chrono::steady_clock;
// The time the places are kept by: TTcpClock::now, or a test's own clock.
using TTcpNow = std::function<TTcpClock::time_point()>;

struct TTcpClientPlace {
    uint32_t Address = 0;              // IPv4 source address
    TTcpClock::time_point LastActive;  // accepted, or last byte moved either way
    bool InputWaiting = false;         // bytes it sent wait for the receive queue, in the server or its socket
};

struct TTcpNewcomerPlace {
    bool Admitted = false;
    std::optional<size_t> Replaces;  // the client whose place it takes
};

struct TTcpClientPlaces {
    // Bounds the descriptors the server holds.
    static constexpr size_t MaxClients = 8;
    // Half the table: two hosts are needed to fill it.
    static constexpr size_t MaxClientsPerAddress = 4;
    // A client idle this long gives its place to a newcomer from another
    // address once the table is full; one that has vanished cannot hold it
    // for good, one in use cannot be pushed out.
    static constexpr std::chrono::seconds IdleBeforeReplaced{60};

    // Where a newcomer from address goes among the clients, as of now.
    static TTcpNewcomerPlace PlaceNewcomer(const std::vector<TTcpClientPlace>& clients, uint32_t address,
                                           TTcpClock::time_point now);
};
