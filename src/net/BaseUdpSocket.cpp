#include "net/BaseUdpSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "net/PortNumber.h"

namespace {

bool WaitFor(int fd, short events, int timeoutMs) {
    if (fd < 0) return false;
    pollfd p{fd, events, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0 && (p.revents & events) != 0;
    }
}

std::string BindFailureText(int error, uint16_t port) {
    switch (error) {
        case EADDRINUSE:
            return "UDP port " + std::to_string(port) + " is in use by another program!";
        case EACCES:
            return "UDP port " + std::to_string(port) + " needs administrator rights (ports below 1024 are reserved)!";
        case EADDRNOTAVAIL:
            return "The adapter address is not available on this computer!";
        default:
            return "Unable to open UDP port " + std::to_string(port) + "!";
    }
}

}  // namespace

TBaseUdpSocket::TBaseUdpSocket() {
    FLastSender.sin_family = AF_INET;
    FLastSender.sin_addr.s_addr = INADDR_NONE;
}

TBaseUdpSocket::~TBaseUdpSocket() { Close(); }

void TBaseUdpSocket::SetTTL(int value) { FTTL = value < 0 ? 0 : (value > 255 ? 255 : value); }

uint16_t TBaseUdpSocket::BoundPort() const {
    if (!FActive) return 0;
    sockaddr_in local{};
    socklen_t len = sizeof(local);
    if (::getsockname(FHandle, reinterpret_cast<sockaddr*>(&local), &len) != 0) return 0;
    return ntohs(local.sin_port);
}

std::string TBaseUdpSocket::ResolveHost(const std::string& name) {
    if (name.empty()) return "0.0.0.0";
    in_addr parsed{};
    if (name[0] >= '0' && name[0] <= '9') return ::inet_pton(AF_INET, name.c_str(), &parsed) == 1 ? name : "";
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return "";
    const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text));
    ::freeaddrinfo(found);
    return text;
}

uint16_t TBaseUdpSocket::ResolvePort(const std::string& text) {
    if (text.empty()) return 0;
    if (servent* service = ::getservbyname(text.c_str(), "udp")) return ntohs(static_cast<uint16_t>(service->s_port));
    const uint16_t port = ParsePortNumber(text);
    if (port == 0) throw EUdpSocketError(RefusedPortText(text));
    return port;
}

void TBaseUdpSocket::SetAdapterAddress(const std::string& name) {
    const std::string dotted = ResolveHost(name);
    in_addr address{};
    if (dotted.empty() || ::inet_pton(AF_INET, dotted.c_str(), &address) != 1)
        throw EUdpSocketError("The adapter address could not be resolved!");
    BindAddress = address.s_addr;
}

bool TBaseUdpSocket::SetActive(bool value) {
    if (value == FActive) return true;
    if (value) return Open();
    Close();
    return true;
}

bool TBaseUdpSocket::Fail(const std::string& message) {
    if (FHandle >= 0) ::close(FHandle);
    FHandle = -1;
    FActive = false;
    FLastError = message;
    return false;
}

bool TBaseUdpSocket::Open() {
    if (FActive) return true;
    FLastSender = sockaddr_in{};
    FLastSender.sin_family = AF_INET;
    FLastSender.sin_addr.s_addr = INADDR_NONE;

    uint16_t port = 0;
    try {
        port = ResolvePort(Port);
    } catch (const EUdpSocketError& e) {
        return Fail(e.what());
    }
    FHandle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (FHandle < 0) return Fail("Unable to create a UDP socket!");

    const int on = 1;
    // A TTL of 0 would keep every datagram on this host; the socket gets 1.
    const int ttl = FTTL == 0 ? 1 : FTTL;
    if ((ReuseAddress && ::setsockopt(FHandle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) ||
        (Broadcast && ::setsockopt(FHandle, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) ||
        ::setsockopt(FHandle, IPPROTO_IP, IP_TTL, &ttl, sizeof(ttl)) != 0)
        return Fail("Unable to set the UDP socket options!");

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = BindAddress;
    local.sin_port = htons(port);
    if (::bind(FHandle, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0)
        return Fail(BindFailureText(errno, port));
    FActive = true;
    FLastError.clear();
    return true;
}

void TBaseUdpSocket::Close() {
    if (FHandle >= 0) ::close(FHandle);
    FHandle = -1;
    FActive = false;
}

bool TBaseUdpSocket::WaitReadable(int timeoutMs) const { return FActive && WaitFor(FHandle, POLLIN, timeoutMs); }

bool TBaseUdpSocket::WaitWritable(int timeoutMs) const { return FActive && WaitFor(FHandle, POLLOUT, timeoutMs); }

int TBaseUdpSocket::RecvFrom(void* buffer, size_t size, int timeoutMs, sockaddr_in& from) {
    if (!WaitReadable(timeoutMs)) return 0;
    socklen_t len = sizeof(from);
    const ssize_t n = ::recvfrom(FHandle, buffer, size, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 1) return static_cast<int>(n);
    FLastSender = from;
    return static_cast<int>(n);
}

int TBaseUdpSocket::SendTo(const void* buffer, size_t length, int timeoutMs, const sockaddr_in& to) {
    if (!WaitWritable(timeoutMs)) return 0;
    return static_cast<int>(
        ::sendto(FHandle, buffer, length, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&to), sizeof(to)));
}

// ---- TBaseUdpSocketThread --------------------------------------------------

TBaseUdpSocketThread::TBaseUdpSocketThread(std::unique_ptr<TBaseUdpSocket> socket, TDatagramProc onDatagram)
    : FSocket(std::move(socket)), FOnDatagram(std::move(onDatagram)), FBuffer(BufferSize) {
    FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FStopFd < 0) throw EUdpSocketError("Unable to start the UDP receive thread!");
    try {
        FThread = std::thread([this] { Execute(); });
    } catch (...) {
        ::close(FStopFd);
        throw EUdpSocketError("Unable to start the UDP receive thread!");
    }
}

TBaseUdpSocketThread::~TBaseUdpSocketThread() {
    Stop();
    ::close(FStopFd);
}

void TBaseUdpSocketThread::Stop() {
    if (!FThread.joinable()) return;
    const uint64_t one = 1;
    while (::write(FStopFd, &one, sizeof(one)) < 0 && errno == EINTR) {
    }
    FThread.join();
    FSocket->Close();
}

namespace {
constexpr int ReceivesPerWake = 64;
}  // namespace

void TBaseUdpSocketThread::Execute() {
    pollfd fds[2] = {{FSocket->Handle(), POLLIN, 0}, {FStopFd, POLLIN, 0}};
    for (;;) {
        const int r = ::poll(fds, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if (fds[0].revents & POLLNVAL) return;
        if ((fds[0].revents & (POLLIN | POLLERR)) == 0) continue;
        // Several datagrams per wake-up while they queue up, so a flood costs
        // one receive call each rather than two; the stop is looked at between.
        for (int i = 0; i < ReceivesPerWake; ++i) {
            sockaddr_in from{};
            socklen_t len = sizeof(from);
            // Errors such as a refused earlier datagram are reported here once and skipped.
            const ssize_t n = ::recvfrom(FSocket->Handle(), FBuffer.data(), FBuffer.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
            if (n < 1 || !FOnDatagram) continue;
            try {
                FOnDatagram(FBuffer.data(), static_cast<size_t>(n), from);
            } catch (...) {
                // One datagram that could not be handed on is dropped, as the network may drop it.
            }
        }
    }
}
