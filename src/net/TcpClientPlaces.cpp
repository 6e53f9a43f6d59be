#include "net/TcpClientPlaces.h"

#include <algorithm>

namespace {

// The client idle longest among those from address (any address when none)
// that can be let go.
std::optional<size_t> Idlest(const std::vector<TTcpClientPlace>& clients, std::optional<uint32_t> address) {
    std::optional<size_t> idlest;
    for (size_t i = 0; i < clients.size(); ++i)
        if ((!address || clients[i].Address == *address) && !clients[i].InputWaiting &&
            (!idlest || clients[i].LastActive < clients[*idlest].LastActive))
            idlest = i;
    return idlest;
}

}  // namespace

TTcpNewcomerPlace TTcpClientPlaces::PlaceNewcomer(const std::vector<TTcpClientPlace>& clients, uint32_t address,
                                                  TTcpClock::time_point now) {
    const auto fromAddress =
        std::count_if(clients.begin(), clients.end(), [&](const TTcpClientPlace& c) { return c.Address == address; });
    if (static_cast<size_t>(fromAddress) >= MaxClientsPerAddress) {
        const std::optional<size_t> own = Idlest(clients, address);
        return {own.has_value(), own};
    }
    if (clients.size() < MaxClients) return {true, std::nullopt};
    const std::optional<size_t> idlest = Idlest(clients, std::nullopt);
    if (idlest && now - clients[*idlest].LastActive >= IdleBeforeReplaced) return {true, idlest};
    return {};
}
