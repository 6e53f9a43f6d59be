#pragma once
// A real UDP client on 127.0.0.1, and image folders for the remote
// disk server.

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/DiskImage.h"
#include "net/BaseUdpRx.h"
#include "net/RmtDisk.h"
#include "support/PostQueue.h"
#include "support/RmtDiskRequests.h"

namespace tavrin::test {

// Connected to the server: it sends there and hears only from there. Its
// own address is sourceAddress, another of 127.0.0.0/8 standing for
// another host.
class TUdpClient {
public:
    explicit TUdpClient(uint16_t serverPort, const char* sourceAddress = "127.0.0.1") {
        FFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        server.sin_port = htons(serverPort);
        if (FFd < 0 || ::inet_pton(AF_INET, sourceAddress, &local.sin_addr) != 1 ||
            ::bind(FFd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
            ::connect(FFd, reinterpret_cast<const sockaddr*>(&server), sizeof(server)) != 0)
            throw std::runtime_error("test client socket failed");
    }
    ~TUdpClient() { ::close(FFd); }
    TUdpClient(const TUdpClient&) = delete;
    TUdpClient& operator=(const TUdpClient&) = delete;

    void Send(const std::vector<uint8_t>& datagram) const { ::send(FFd, datagram.data(), datagram.size(), 0); }

    std::optional<std::vector<uint8_t>> Receive(int timeoutMs) const {
        pollfd p{FFd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        const ssize_t n = ::recv(FFd, FBuffer.data(), FBuffer.size(), 0);
        if (n < 0) return std::nullopt;
        return std::vector<uint8_t>(FBuffer.begin(), FBuffer.begin() + n);
    }

    uint16_t Port() const {
        sockaddr_in local{};
        socklen_t len = sizeof(local);
        ::getsockname(FFd, reinterpret_cast<sockaddr*>(&local), &len);
        return ntohs(local.sin_port);
    }

private:
    int FFd = -1;
    mutable std::vector<uint8_t> FBuffer = std::vector<uint8_t>(65536);
};

// Sends a request and pumps (runs what the GUI thread would) until the
// reply arrives; nullopt when none comes within timeoutMs.
inline std::optional<std::vector<uint8_t>> Transact(const TUdpClient& client, const std::function<void()>& pump,
                                                    const std::vector<uint8_t>& request, int timeoutMs = 2000) {
    client.Send(request);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pump();
        if (auto reply = client.Receive(5)) return reply;
    }
    return std::nullopt;
}

inline std::vector<uint8_t> BlockPattern(uint8_t seed) {
    std::vector<uint8_t> block(2048);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(seed + i * 7);
    return block;
}

// A server on a free port of 127.0.0.1 whose images live in a fresh folder;
// its datagrams wait in Queue for the test to run them.
struct TServerFixture {
    TTempFolder Folder;
    TPostQueue Queue;
    TRmtDskMod Server{Folder.Path().string() + "/"};

    TServerFixture() {
        Server.BaseUdpRx1.LocalPort = "";
        Server.BaseUdpRx1.AdapterAddress = "127.0.0.1";
        Server.BaseUdpRx1.Poster = Queue.Poster();
        Server.SetActive(true);
        if (!Server.GetActive()) throw std::runtime_error(Server.BaseUdpRx1.LastError());
    }
    uint16_t Port() const { return Server.BaseUdpRx1.BoundPort(); }
    // The reply to a request; empty when none came.
    std::vector<uint8_t> Ask(const TUdpClient& client, const std::vector<uint8_t>& request, int timeoutMs = 2000) {
        return Transact(
                   client, [this] { Queue.PumpPending(); }, request, timeoutMs)
            .value_or(std::vector<uint8_t>{});
    }
    // The session id of a mount; 0 when it failed.
    uint32_t MountId(const TUdpClient& client, uint16_t disk, const std::string& name, bool readOnly = false) {
        const auto reply = Ask(client, MountRequest(0x1234, disk, name, readOnly));
        return reply.size() == 14 && Get16(reply, 0) == 0 ? Get32(reply, 4) : 0;
    }
    std::string Image(const std::string& name) const { return Folder.File(name + ".cpmdsk"); }
};

}  // namespace tavrin::test
