#include "support/ComRxTestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrin::test {

std::string Pattern(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + seed + i / 256) & 0xFF);
    return bytes;
}

static sockaddr_in Ipv4(const char* address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &a.sin_addr);
    a.sin_port = htons(port);
    return a;
}

int ConnectTcp(uint16_t port, int receiveBuffer) { return ConnectTcpFrom("127.0.0.1", port, receiveBuffer); }

int ConnectTcpFrom(const char* source, uint16_t port, int receiveBuffer) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    const sockaddr_in from = Ipv4(source, 0);
    const sockaddr_in a = Ipv4("127.0.0.1", port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

TFakeComDevice::TState::~TState() {
    if (PeerFd >= 0) ::close(PeerFd);
}

TFakeComDevice::~TFakeComDevice() { ::close(FFd); }

ssize_t TFakeComDevice::Read(uint8_t* buffer, size_t size) { return ::recv(FFd, buffer, size, MSG_DONTWAIT); }

ssize_t TFakeComDevice::Write(const uint8_t* data, size_t size) {
    return ::send(FFd, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
}

bool TFakeComDevice::WaitWritable(int timeoutMs) {
    pollfd p{FFd, POLLOUT, 0};
    return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLOUT);
}

bool TFakeComDevice::ReadModemCounts(TComModemCounts& counts) {
    std::lock_guard lock(FState->Lock);
    counts = FState->Counts;
    return true;
}

TComDeviceOpener TFakeComDevice::Opener(std::shared_ptr<TState>& state) {
    return [&state](const std::string&, const TComTermios&, TComOpenError& error) -> std::unique_ptr<IComDevice> {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            error = TComOpenError::InvalidPort;
            return nullptr;
        }
        state = std::make_shared<TState>();
        state->PeerFd = fds[1];
        error = TComOpenError::None;
        return std::make_unique<TFakeComDevice>(state, fds[0]);
    };
}

}  // namespace tavrin::test
