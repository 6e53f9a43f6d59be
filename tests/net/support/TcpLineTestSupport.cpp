#include "support/TcpLineTestSupport.h"

#include <algorithm>
#include <cstdint>
#include <linux/sockios.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "support/ComRxTestSupport.h"
#include "support/Eventually.h"
#include "support/FdIo.h"
#include "support/ReservedPort.h"

namespace tavrin::test {

std::string FillOutput(ISerialLine& line, const std::function<uint8_t(size_t)>& byteAt) {
    std::string written;
    // Full means no room for half a second on end: long enough that a server
    // thread held off the processor by a busy machine has had its turn to
    // take what it can, so what stays held is really held.
    auto lastWrite = std::chrono::steady_clock::now();
    const bool full = Eventually(
        [&] {
            for (int i = 0; i < 100000; ++i) {
                if (line.CanWrite()) {
                    const uint8_t b = byteAt(written.size());
                    line.WriteByte(b);
                    written += static_cast<char>(b);
                    lastWrite = std::chrono::steady_clock::now();
                }
            }
            return std::chrono::steady_clock::now() - lastWrite >= 500ms;
        },
        // Byte by byte into the kernel's socket buffers: slow under the
        // thread checker on a busy machine, so the deadline is generous.
        60s);
    if (!full) throw std::runtime_error("the line never stayed full");
    return written;
}

std::string ReadZ80(ISerialLine& line, size_t count) {
    std::string got;
    while (got.size() < count && Eventually([&] { return line.DataAvailable(); })) {
        uint8_t b = 0;
        if (line.ReadByte(b)) got += static_cast<char>(b);
    }
    return got;
}

void ActivateOnReservedPort(TTcpPortModule& module) {
    const TReservedPort reserved{SOCK_STREAM};  // held until the server has bound it
    module.Port = reserved.Text();
    module.SetActive(true);
    if (!module.GetActive()) throw std::runtime_error("the server did not listen");
}

int ConnectFromHost(const TTcpPortModule& module, int host, int receiveBuffer) {
    const int fd = ConnectTcpFrom(("127.0.0." + std::to_string(host)).c_str(), module.ListeningPort(), receiveBuffer);
    if (fd < 0) throw std::runtime_error("the server refused a connection");
    return fd;
}

bool ClosedByServer(int fd, std::chrono::milliseconds limit) {
    pollfd p{fd, POLLIN, 0};
    char c;
    return ::poll(&p, 1, static_cast<int>(limit.count())) > 0 && ::recv(fd, &c, 1, MSG_DONTWAIT) <= 0;
}

std::string ReadInputUntilAlone(ISerialLine& line, const TTcpPortModule& server, std::chrono::milliseconds limit) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        // Before reading, so what came is queued by then; clients first: one
        // that leaves adds what it left behind before it goes.
        const bool alone = server.ClientCount() == 0 && server.LeftBehind() == 0;
        for (uint8_t b = 0; line.ReadByte(b);) got += static_cast<char>(b);
        if (alone) break;
        std::this_thread::yield();
    }
    return got;
}

std::string ReadUntilZ80Ends(int fd, ISerialLine& line) {
    std::string got;
    bool ended = false;
    const bool cameBack = Eventually([&] {
        got += ReadFor(fd, SIZE_MAX, 0ms);
        if (!ended && line.CanWrite()) {
            line.WriteByte('\n');
            ended = true;
        }
        return !got.empty() && got.back() == '\n';
    });
    if (!cameBack) throw std::runtime_error("the Z80's line feed never came");
    got.pop_back();
    return got;
}

size_t SameTailSize(const std::string& a, const std::string& b) {
    const auto [endA, endB] = std::mismatch(a.rbegin(), a.rend(), b.rbegin(), b.rend());
    return static_cast<size_t>(endA - a.rbegin());
}

void WaitUntilDelivered(int fd) {
    // Counts what the other end has not acknowledged, a shut end included.
    if (!Eventually([fd] {
            int unsent = 0;
            return ::ioctl(fd, SIOCOUTQ, &unsent) == 0 && unsent == 0;
        }))
        throw std::runtime_error("the bytes never left");
}

void SendThenLeave(int fd, const std::string& bytes, TTcpLeave how) {
    WriteAll(fd, bytes);
    switch (how) {
        case TTcpLeave::Close:
            ::close(fd);
            break;
        case TTcpLeave::HalfClose:
            ::shutdown(fd, SHUT_WR);
            break;
        case TTcpLeave::Reset: {
            WaitUntilDelivered(fd);
            const linger now{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
            ::close(fd);
            break;
        }
    }
}

}  // namespace tavrin::test
