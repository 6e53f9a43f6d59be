#include "net/TcpPortMod.h"

#include <array>
#include <chrono>
#include <optional>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void SignalEventFd(int fd)
{
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
}

void DrainEventFd(int fd)
{
    uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
}

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

[[noreturn]] void ThrowListenError(int error)
{
    if (error == EADDRINUSE)
        throw std::runtime_error("The TCP port is already in use.");
    if (error == EACCES)
        throw std::runtime_error("Permission to listen on the TCP port was denied.");
    throw std::runtime_error("The TCP port could not be opened for listening.");
}

// A listening socket on every interface; its descriptor and port.
int Listen(uint16_t port, uint16_t& boundPort)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        ThrowListenError(errno);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
        const int error = errno;
        ::close(fd);
        ThrowListenError(error);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return fd;
}

} // namespace

uint16_t ParseTcpPort(const std::string& text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    const unsigned long value = std::stoul(text);
    return value >= 1 && value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

// --- the server thread -----------------------------------------------------------

// Accepts one client at a time (a second is closed at once) and pumps bytes
// both ways in every pass. Bytes taken from the transmit queue but not yet
// sent, and bytes received but not yet queued, stay in its buffers across
// clients, so nothing is lost when a client leaves.
class TTcpPortModule::TServerThread {
public:
    TServerThread(TTcpPortModule& owner, int listenFd) : FOwner(owner), FListenFd(listenFd)
    {
        FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (FStopFd < 0) {
            ::close(FListenFd);
            throw std::runtime_error("The TCP port could not be opened for listening.");
        }
        FThread = std::thread([this] { Execute(); });
    }
    ~TServerThread()
    {
        SignalEventFd(FStopFd);
        FThread.join();
        Disconnect();
        ::close(FListenFd);
        ::close(FStopFd);
    }
    TServerThread(const TServerThread&) = delete;
    TServerThread& operator=(const TServerThread&) = delete;

private:
    void Execute()
    {
        ::prctl(PR_SET_TIMERSLACK, 1000UL);  // the linger is short: keep its wake-up close
        bool moved = false;
        for (;;) {
            std::array<pollfd, 4> fds{{{FStopFd, POLLIN, 0},
                                       {FOwner.FWakeFd, POLLIN, 0},
                                       {FListenFd, POLLIN, 0},
                                       {FClientFd, 0, 0}}};
            if (FClientFd >= 0)
                fds[3].events = static_cast<short>((FRecvPos == FRecvLen ? POLLIN : 0) |
                                                   (FSendPos < FSendLen ? POLLOUT : 0));
            timespec wait{0, 0};
            if (FLingerUntil && !moved) {
                const auto left = std::max(*FLingerUntil - Clock::now(), Clock::duration::zero());
                wait.tv_nsec = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            }
            const bool forever = !moved && !FLingerUntil;
            if (::ppoll(fds.data(), FClientFd >= 0 ? 4 : 3, forever ? nullptr : &wait, nullptr) < 0 &&
                errno != EINTR)
                return;
            if (fds[0].revents)
                return;
            if (fds[1].revents)
                DrainEventFd(FOwner.FWakeFd);
            if (FClientFd >= 0 && (fds[3].revents & (POLLHUP | POLLERR)))
                Disconnect();  // reset or failed: bytes already taken stay buffered
            if (fds[2].revents & POLLIN)
                Accept();
            moved = FClientFd >= 0 && Pump();
        }
    }

    void Accept()
    {
        const int fd = ::accept4(FListenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (FClientFd >= 0) {  // one client at a time
            ::close(fd);
            return;
        }
        // A terminal line: each byte goes out at once, not held for more.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        FClientFd = fd;
        FOwner.FClientConnected = true;
    }

    void Disconnect()
    {
        if (FClientFd < 0)
            return;
        ::shutdown(FClientFd, SHUT_RDWR);
        ::close(FClientFd);
        FClientFd = -1;
        FOwner.FClientConnected = false;
    }

    // While the Z80 streams (the last send was moments ago), a few bytes in
    // the queue are left to gather for a moment so they leave in one segment
    // rather than one byte each; a byte after a pause goes out at once.
    bool RefillDue()
    {
        const auto now = Clock::now();
        if (FLingerUntil) {
            if (now < *FLingerUntil)
                return false;
            FLingerUntil.reset();
            return true;
        }
        const size_t waiting = FOwner.TxCount();
        if (waiting > 0 && waiting < LingerBytes && now - FLastSend < StreamGap) {
            FLingerUntil = now + LingerTime;
            return false;
        }
        return true;
    }

    // One pass each way; true when any byte moved.
    bool Pump()
    {
        bool moved = false;
        if (FSendPos == FSendLen && RefillDue()) {
            FSendLen = FOwner.GetTxData(FSendBuffer.data(), FSendBuffer.size());
            FSendPos = 0;
        }
        if (FSendPos < FSendLen) {
            const ssize_t n = ::send(FClientFd, FSendBuffer.data() + FSendPos, FSendLen - FSendPos,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                FSendPos += static_cast<size_t>(n);
                FLastSend = Clock::now();
                moved = true;
            } else if (n < 0 && !WouldBlock(errno)) {
                Disconnect();
                return moved;
            }
        }
        if (FRecvPos == FRecvLen) {
            const ssize_t n = ::recv(FClientFd, FRecvBuffer.data(), FRecvBuffer.size(), MSG_DONTWAIT);
            if (n == 0 || (n < 0 && !WouldBlock(errno))) {
                Disconnect();
                return moved;
            }
            if (n > 0) {
                FRecvLen = static_cast<size_t>(n);
                FRecvPos = 0;
            }
        }
        if (FRecvPos < FRecvLen) {
            const size_t taken = FOwner.PutRxData(FRecvBuffer.data() + FRecvPos, FRecvLen - FRecvPos);
            FRecvPos += taken;
            moved = moved || taken > 0;
        }
        return moved;
    }

    using Clock = std::chrono::steady_clock;
    static constexpr size_t LingerBytes = 128;
    static constexpr Clock::duration LingerTime = std::chrono::microseconds(50);
    static constexpr Clock::duration StreamGap = std::chrono::milliseconds(1);

    TTcpPortModule& FOwner;
    int FListenFd;
    int FStopFd = -1;
    int FClientFd = -1;
    std::array<uint8_t, TransferSize> FSendBuffer{};
    size_t FSendLen = 0;
    size_t FSendPos = 0;
    std::array<uint8_t, TransferSize> FRecvBuffer{};
    size_t FRecvLen = 0;
    size_t FRecvPos = 0;
    Clock::time_point FLastSend{};
    std::optional<Clock::time_point> FLingerUntil;
    std::thread FThread;  // last: starts once everything above is set
};

// --- the module ------------------------------------------------------------------

TTcpPortModule::TTcpPortModule()
{
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWakeFd < 0)
        throw std::runtime_error("Unable to create the TCP server of COM1.");
}

TTcpPortModule::~TTcpPortModule()
{
    FThread.reset();
    ::close(FWakeFd);
}

void TTcpPortModule::SetActive(bool value)
{
    if (value == GetActive())
        return;
    if (!value) {
        FThread.reset();
        FListeningPort = 0;
        return;
    }
    const uint16_t port = ParseTcpPort(Port);
    if (port == 0)
        throw std::runtime_error("The TCP port must be a number from 1 to 65535.");
    uint16_t bound = 0;
    const int fd = Listen(port, bound);
    FThread = std::make_unique<TServerThread>(*this, fd);
    FListeningPort = bound;
}

void TTcpPortModule::Wake() { SignalEventFd(FWakeFd); }

bool TTcpPortModule::DataAvailable()
{
    if (!GetActive())
        return false;
    std::lock_guard lock(FLock);
    return FRxQueue.Count() > 0;
}

bool TTcpPortModule::ReadByte(uint8_t& b)
{
    if (!GetActive())
        return false;
    bool halfDrained, got;
    {
        std::lock_guard lock(FLock);
        got = FRxQueue.GetByte(b);
        halfDrained = got && FRxQueue.Count() == FRxQueue.Capacity() / 2;
    }
    // Client bytes held back by a full queue move on once half of it is
    // free: one wake-up per half queue rather than per byte.
    if (halfDrained)
        Wake();
    return got;
}

bool TTcpPortModule::CanWrite()
{
    if (!GetActive())
        return false;
    std::lock_guard lock(FLock);
    return FTxQueue.Count() < FTxQueue.Capacity();
}

void TTcpPortModule::WriteByte(uint8_t b)
{
    if (!GetActive())
        return;
    bool wasEmpty;
    {
        std::lock_guard lock(FLock);
        wasEmpty = FTxQueue.Count() == 0;
        FTxQueue.PutByte(b);
    }
    if (wasEmpty)
        Wake();
}

size_t TTcpPortModule::TxCount()
{
    std::lock_guard lock(FLock);
    return FTxQueue.Count();
}

size_t TTcpPortModule::GetTxData(uint8_t* buffer, size_t max)
{
    std::lock_guard lock(FLock);
    size_t count = 0;
    while (count < max && FTxQueue.GetByte(buffer[count]))
        ++count;
    return count;
}

size_t TTcpPortModule::PutRxData(const uint8_t* buffer, size_t max)
{
    std::lock_guard lock(FLock);
    size_t count = 0;
    while (count < max && FRxQueue.PutByte(buffer[count]))
        ++count;
    return count;
}
