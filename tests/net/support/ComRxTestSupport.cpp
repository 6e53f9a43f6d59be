#include "support/ComRxTestSupport.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrin::test {

void WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) throw std::runtime_error("write failed");
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

std::string ReadFor(int fd, size_t count, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string got;
    char buffer[4096];
    while (got.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
            if (left.count() <= 0) break;
            continue;
        }
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) break;
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

std::string Pattern(size_t count, unsigned seed) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + seed + i / 256) & 0xFF);
    return bytes;
}

static sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

int ConnectTcp(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
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
