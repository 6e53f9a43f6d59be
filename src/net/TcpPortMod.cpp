#include "net/TcpPortMod.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <linux/sockios.h>
#include <optional>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <span>
#include <stdexcept>
#include <vector>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/PortNumber.h"
#include "net/TcpOutputRuns.h"

namespace {

void SignalEventFd(int fd) {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
}

void DrainEventFd(int fd) {
    uint64_t count;
    [[maybe_unused]] ssize_t n = ::read(fd, &count, sizeof count);
}

constexpr int ClientReceiveBuffer = 64 * 1024;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

[[noreturn]] void ThrowListenError(int error) {
    if (error == EADDRINUSE) throw std::runtime_error("The TCP port is already in use.");
    if (error == EACCES) throw std::runtime_error("Permission to listen on the TCP port was denied.");
    throw std::runtime_error("The TCP port could not be opened for listening.");
}

// A listening socket on every interface; its descriptor and port.
int Listen(uint16_t port, uint16_t& boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) ThrowListenError(errno);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // Inherited by every client: the kernel holds at most about twice this
    // of what a client sent, so one that closes with all of it unread fits
    // in what closed clients may leave behind.
    const int receiveBuffer = ClientReceiveBuffer;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        const int error = errno;
        ::close(fd);
        ThrowListenError(error);
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    boundPort = ntohs(address.sin_port);
    return fd;
}

}  // namespace

// --- the server thread -----------------------------------------------------------

// Serves every connected client (up to MaxClients) in one poll loop. The
// clients share the two queues like a serial line: each byte from the Z80
// goes to one client, whichever takes it first, bytes from several clients
// interleave, and nothing queued either way is cleared when a client comes
// or goes. Output taken from the queue but not yet sent belongs to the line,
// not to a client, so a client leaving costs the others nothing.
//
// Each pass asks two questions of every client, once to choose what the
// poll waits for and again to act on what it reported: may its socket be
// read now (MayRead), and may it be sent output now (MayTakeOutput). The
// pass waits on nothing else but the time gathered output may go and, while
// a client holds all the output it may hold unacknowledged, a short look
// again; with nobody to send to it waits for a client, a wake or the stop.
//
// Input reaches the Z80 in the order each client sent it: each pass reads
// the clients oldest first, a client whose bytes wait for room keeps every
// client after it waiting too, and what clients whose input has ended left
// unread goes after what the clients before them had sent and before
// anything read from a client after it.
//
// A client whose input ends (it shut its sending side, or closed: the two
// look alike until a write fails) gives its place up at once; what it sent
// that the Z80 has not read stays behind for the Z80 (bounded), so it never
// holds COM1 however much it left unread. It stays on the line for output
// that no client still sending can take, until a write to it fails, its
// socket is reset, or a newcomer takes its place.
//
// Output a client has not acknowledged stays the line's until it does: a
// client that has closed for good answers the bytes sent to it with a
// reset, and they go out again, in the order the Z80 wrote them, before
// anything it wrote after them. A client let go while still connected keeps
// what it was sent: no byte reaches two clients.
class TTcpPortModule::TServerThread {
public:
    TServerThread(TTcpPortModule& owner, int listenFd) : FOwner(owner), FListenFd(listenFd) {
        FStopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (FStopFd < 0) {
            ::close(FListenFd);
            throw std::runtime_error("The TCP port could not be opened for listening.");
        }
        FThread = std::thread([this] { Execute(); });
    }
    ~TServerThread() {
        SignalEventFd(FStopFd);
        FThread.join();
        for (const auto& c : FClients) Close(c->Fd);
        FOwner.FClientCount = 0;
        FOwner.FLeftBehind = 0;  // what closed clients left goes with the server
        ::close(FListenFd);
        ::close(FStopFd);
    }
    TServerThread(const TServerThread&) = delete;
    TServerThread& operator=(const TServerThread&) = delete;

private:
    using Clock = TTcpClock;

    struct TClient {
        TClient(int fd, uint32_t address, Clock::time_point now) : Fd(fd), Address(address), LastActive(now) {}
        int Fd;
        uint32_t Address;
        std::array<uint8_t, TransferSize> RecvBuffer{};
        size_t RecvLen = 0;
        size_t RecvPos = 0;
        Clock::time_point LastActive;  // accepted, or last byte moved either way
        // Its input has ended: it holds no place and only takes output.
        // The number orders the ends, the earliest first.
        std::optional<uint64_t> InputEnded;
        short Events = 0;     // what the pass's poll reported
        bool Failed = false;  // reset or failed: let go at the pass's end
        // Its socket had no room at the last look (it took less than it was
        // offered, or the poll found it full): it takes no output until the
        // poll reports room.
        bool Blocked = false;
        // Output sent to it that its peer has not acknowledged yet: the
        // line's still, should the client turn out to be gone.
        TTcpSentOutput Unconfirmed;
        bool InputWaiting() const { return RecvPos < RecvLen; }
        bool AtUnconfirmedLimit() const { return Unconfirmed.Size() >= UnconfirmedLimit; }
        bool Sending() const { return !InputEnded; }
        // Seen in this pass's poll: its input has ended, or its socket has failed.
        bool EndSeen() const { return Events & (POLLRDHUP | POLLHUP | POLLERR); }
        bool SocketFailed() const { return Failed || (Events & (POLLHUP | POLLERR)); }
    };

    void Execute() {
        ::prctl(PR_SET_TIMERSLACK, 1000UL);  // the linger is short: keep its wake-up close
        std::vector<pollfd> fds;
        bool moved = false;
        for (;;) {
            // One instant for the whole plan: output due by then is offered,
            // output due later is waited for.
            const Clock::time_point now = Clock::now();
            const std::optional<Clock::time_point> due = OutputDue(now);
            const bool outputNow = due && *due <= now;
            fds.assign({{FStopFd, POLLIN, 0}, {FOwner.FWakeFd, POLLIN, 0}, {FListenFd, POLLIN, 0}});
            for (const auto& c : FClients) fds.push_back({c->Fd, Interest(*c, outputNow), 0});
            const std::optional<timespec> timeout = moved ? timespec{0, 0} : Timeout(due, now);
            if (::ppoll(fds.data(), fds.size(), timeout ? &*timeout : nullptr, nullptr) < 0 && errno != EINTR) return;
            if (fds[0].revents) return;
            if (fds[1].revents) DrainEventFd(FOwner.FWakeFd);
            for (size_t i = 0; i < FClients.size(); ++i) {
                TClient& c = *FClients[i];
                c.Events = fds[3 + i].revents;
                // Asked whether it has room, its socket says whether it may take output.
                if (fds[3 + i].events & POLLOUT) c.Blocked = !(c.Events & POLLOUT);
                Confirm(c);
            }
            // The clients before a newcomer: what they sent is read out and
            // the ends of their input are settled before a place is given away.
            SettleEnds();
            moved = SendOutput();
            SettleEnds();  // sockets that failed as output went to them
            moved = ReceiveInput() || moved;
            for (size_t i = FClients.size(); i-- > 0;)
                if (FClients[i]->SocketFailed()) Leave(i);
            // A newcomer is served in the next pass, without waiting: output
            // may wait for it that wakes nothing.
            if ((fds[2].revents & POLLIN) && Accept()) moved = true;
        }
    }

    // What the poll waits for on c: what the pass would do with it.
    short Interest(const TClient& c, bool outputNow) const {
        short events = 0;
        // The end of its input is seen at once, even while it may not be read.
        if (c.Sending()) events = static_cast<short>(POLLRDHUP | (MayRead(c) ? POLLIN : 0));
        // A client that could not take all it was offered is watched until it has room again.
        if (c.Blocked || (outputNow && MayTakeOutput(c))) events |= POLLOUT;
        return events;
    }

    // How long the poll may wait for a descriptor: until gathered output may
    // go to a client that may take it, or, while a client holds all the
    // output it may hold unacknowledged, a moment (acknowledgements wake
    // nothing); forever (nullopt) when neither is awaited.
    std::optional<timespec> Timeout(std::optional<Clock::time_point> due, Clock::time_point now) const {
        if (!due) return std::nullopt;
        std::optional<Clock::duration> wait;
        if (*due > now && AnyClient([this](const TClient& c) { return MayTakeOutput(c); })) wait = *due - now;
        if (AnyClient([](const TClient& c) { return !c.SocketFailed() && c.AtUnconfirmedLimit(); }))
            wait = std::min(wait.value_or(AckCheck), AckCheck);
        if (!wait) return std::nullopt;
        const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(*wait);
        return timespec{static_cast<time_t>(nanoseconds.count() / 1'000'000'000),
                        static_cast<long>(nanoseconds.count() % 1'000'000'000)};
    }

    template <typename Predicate>
    bool AnyClient(Predicate predicate) const {
        return std::any_of(FClients.begin(), FClients.end(), [&](const auto& c) { return predicate(*c); });
    }

    // Whether c's input may be handed on now: nothing ended clients left
    // waits, and no client before it has bytes waiting for room.
    bool InputTurn(const TClient& c) const {
        if (FLeftBehind.Size() > 0) return false;
        for (const auto& other : FClients) {
            if (other.get() == &c) break;
            if (other->Sending() && other->InputWaiting()) return false;
        }
        return true;
    }

    // Whether c's socket may be read now: its turn has come and it has
    // handed on all it read before (back-pressure).
    bool MayRead(const TClient& c) const {
        return c.Sending() && !c.SocketFailed() && !c.InputWaiting() && InputTurn(c);
    }

    // Whether c may be sent output now: its socket took all it was offered
    // last, and it holds less than its bound unacknowledged. A client whose
    // input has ended may have gone for good, which only a failed write
    // tells: it takes only output that no client still sending can take, and
    // one such client at a time holds output unacknowledged, so that what a
    // reset hands back goes out before all output sent since.
    bool MayTakeOutput(const TClient& c) const {
        if (c.SocketFailed() || c.Blocked || c.AtUnconfirmedLimit()) return false;
        if (c.Sending()) return true;
        const bool anotherHolds = AnyClient(
            [&c](const TClient& other) { return &other != &c && !other.Sending() && !other.Unconfirmed.Empty(); });
        return !anotherHolds &&
               !AnyClient([this](const TClient& other) { return other.Sending() && MayTakeOutput(other); });
    }

    size_t SendingCount() const {
        return static_cast<size_t>(
            std::count_if(FClients.begin(), FClients.end(), [](const auto& c) { return c->Sending(); }));
    }

    void CountPlaces() { FOwner.FClientCount = SendingCount(); }

    // A newcomer gets a place by the table's rules, or is closed at once;
    // whether it got one. Clients whose input has ended hold no place: an
    // admitted newcomer that replaces nobody still sending takes the place
    // of the one whose input ended first, and that one is let go.
    bool Accept() {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const int fd = ::accept4(FListenFd, reinterpret_cast<sockaddr*>(&from), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return false;
        std::vector<TTcpClientPlace> places;
        std::vector<size_t> placeHolders;  // index into FClients of each place
        for (size_t i = 0; i < FClients.size(); ++i) {
            const TClient& c = *FClients[i];
            if (!c.Sending()) continue;
            places.push_back({c.Address, c.LastActive, c.InputWaiting() || UnreadBytes(c.Fd) > 0});
            placeHolders.push_back(i);
        }
        const uint32_t address = ntohl(from.sin_addr.s_addr);
        const Clock::time_point now = FOwner.FNow();
        const TTcpNewcomerPlace place = TTcpClientPlaces::PlaceNewcomer(places, address, now);
        if (!place.Admitted) {
            ::close(fd);
            return false;
        }
        if (place.Replaces)
            Leave(placeHolders[*place.Replaces]);
        else if (const std::optional<size_t> given = EndedFirst())
            Leave(*given);
        // A terminal line: each byte goes out at once, not held for more.
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        FClients.push_back(std::make_unique<TClient>(fd, address, now));
        CountPlaces();
        return true;
    }

    // The client whose input ended first, if any has.
    std::optional<size_t> EndedFirst() const {
        std::optional<size_t> first;
        for (size_t i = 0; i < FClients.size(); ++i)
            if (FClients[i]->InputEnded && (!first || *FClients[i]->InputEnded < *FClients[*first]->InputEnded))
                first = i;
        return first;
    }

    // What has arrived in fd that nobody has read yet.
    static size_t UnreadBytes(int fd) {
        int unread = 0;
        return ::ioctl(fd, FIONREAD, &unread) == 0 ? static_cast<size_t>(std::max(unread, 0)) : 0;
    }

    // Whether fd's connection has failed (a reset came) though no call on it
    // has said so yet.
    static bool ConnectionFailed(int fd) {
        int error = 0;
        socklen_t length = sizeof error;
        return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0;
    }

    static void Close(int fd) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    // The ends this pass has met, the poll's or a failed socket's: each
    // client gives its place up, in the order of the list, before output is
    // offered, so that it takes output only as a client whose input has ended.
    void SettleEnds() {
        for (const auto& c : FClients)
            if (c->Sending() && (c->EndSeen() || c->Failed)) EndInput(*c);
    }

    // The client's input has ended (or its socket failed, or it is let
    // go): it gives its place up. What it sent that is not in the receive
    // queue yet, in its buffer and then in its socket, stays behind for the
    // Z80, after what others left before and after what the clients before
    // it that still send have sent so far.
    void EndInput(TClient& c) {
        if (c.InputEnded) return;
        for (const auto& other : FClients) {
            if (other.get() == &c) break;
            if (other->Sending()) PutArrivedBehind(*other);
        }
        KeepWaitingBehind(c);
        // The socket holds what arrived (its receive buffer's worth at most);
        // past the bound it is read out only to be refused.
        KeepSocketBehind(c, TTcpLeftBehind::Capacity);
        c.InputEnded = FEndings++;
        CountPlaces();
    }

    // What c, still sending, has sent that is not in the receive queue yet,
    // in its buffer and then in its socket, joins what ended clients left,
    // as far as it fits there; the rest stays with c, so none is lost.
    void PutArrivedBehind(TClient& c) {
        const auto room = [this] { return TTcpLeftBehind::Capacity - FLeftBehind.Size(); };
        if (c.RecvLen - c.RecvPos > room()) return;
        KeepWaitingBehind(c);
        KeepSocketBehind(c, std::min(UnreadBytes(c.Fd), room()));
    }

    // What c read and has not handed on joins what ended clients left.
    void KeepWaitingBehind(TClient& c) {
        KeepLeftBehind(c.RecvBuffer.data() + c.RecvPos, c.RecvLen - c.RecvPos);
        c.RecvPos = c.RecvLen = 0;
    }

    // Reads up to limit bytes out of c's socket into what ended clients left.
    void KeepSocketBehind(TClient& c, size_t limit) {
        std::array<uint8_t, 4096> chunk;
        for (size_t left = limit; left > 0;) {
            const ssize_t n = ::recv(c.Fd, chunk.data(), std::min(left, chunk.size()), MSG_DONTWAIT);
            if (n <= 0) break;
            KeepLeftBehind(chunk.data(), static_cast<size_t>(n));
            left -= static_cast<size_t>(n);
        }
    }

    // Forgets the output c's peer has acknowledged; what it has not stays
    // counted in its socket (unsent or unacknowledged), also after a reset.
    static void Confirm(TClient& c) {
        int unacknowledged = 0;
        if (c.Unconfirmed.Empty() || ::ioctl(c.Fd, SIOCOUTQ, &unacknowledged) != 0) return;
        c.Unconfirmed.KeepLast(static_cast<size_t>(std::max(unacknowledged, 0)));
    }

    // A client goes: one whose socket was reset or failed, or one whose
    // place a newcomer takes. What it sent stays behind for the Z80. Output
    // a failed socket never got acknowledged goes back (its peer refused
    // it), to be sent again before all output written after it. A client
    // still connected keeps what it was sent, which a plain close still
    // delivers: some of it may have reached it already, so none of it may
    // go to another client too.
    void Leave(size_t index) {
        TClient& c = *FClients[index];
        EndInput(c);
        Confirm(c);
        if (c.SocketFailed() || ConnectionFailed(c.Fd)) FReturned.Return(c.Unconfirmed.TakeAll());
        Close(c.Fd);
        FClients.erase(FClients.begin() + static_cast<std::ptrdiff_t>(index));
        CountPlaces();
    }

    void KeepLeftBehind(const uint8_t* data, size_t count) {
        FLeftBehind.Append(data, count);
        FOwner.FLeftBehind = FLeftBehind.Size();
    }

    // Moves what ended clients left into the receive queue as far as it
    // has room; whether any moved.
    bool HandOnLeftBehind() {
        bool moved = false;
        while (FLeftBehind.Size() > 0) {
            const std::span<const uint8_t> oldest = FLeftBehind.Oldest();
            const size_t taken = FOwner.PutRxData(oldest.data(), oldest.size());
            if (taken == 0) break;
            FLeftBehind.Consume(taken);
            FOwner.FLeftBehind = FLeftBehind.Size();
            moved = true;
        }
        return moved;
    }

    // When the waiting output may go: now for what came back or was taken
    // from the transmit queue; for the queue's own bytes, now, or while the
    // Z80 streams (the last send was moments ago) and only a few wait, a
    // moment later, so that they gather and leave in one segment rather than
    // one byte each; nullopt when no output waits.
    std::optional<Clock::time_point> OutputDue(Clock::time_point now) {
        if (!FReturned.Empty() || FPendingPos < FPendingLen) return now;
        const size_t waiting = FOwner.TxCount();
        if (waiting == 0) return std::nullopt;
        if (!FLingerUntil) FLingerUntil = waiting < LingerBytes && now - FLastSend < StreamGap ? now + LingerTime : now;
        return FLingerUntil;
    }

    // Offers waiting output to the clients that may take it, each as far as
    // its socket takes it: the clients still sending first, then those whose
    // input has ended, newest first.
    bool SendOutput() {
        bool moved = false;
        for (const bool sending : {true, false}) {
            for (size_t i = FClients.size(); i-- > 0;) {
                TClient& c = *FClients[i];
                if (c.Sending() != sending || !MayTakeOutput(c) || !Send(c)) continue;
                c.LastActive = FOwner.FNow();
                moved = true;
            }
        }
        return moved;
    }

    // Sends waiting output to c as far as it takes it; whether any went.
    // A failed send marks c failed, a short one blocked. The client keeps a
    // copy of what it was sent until its peer acknowledges it, up to a bound.
    bool Send(TClient& c) {
        if (FReturned.Empty() && FPendingPos == FPendingLen) {
            const Clock::time_point now = Clock::now();
            const std::optional<Clock::time_point> due = OutputDue(now);
            if (!due || *due > now) return false;
            FPendingPlace += FPendingLen;
            FPendingLen = FOwner.GetTxData(FPending.data(), FPending.size());
            FPendingPos = 0;
            FLingerUntil.reset();
        }
        const bool returned = !FReturned.Empty();
        const std::span<const uint8_t> waiting =
            returned ? FReturned.Earliest()
                     : std::span<const uint8_t>(FPending).subspan(FPendingPos, FPendingLen - FPendingPos);
        const uint64_t place = returned ? FReturned.EarliestPlace() : FPendingPlace + FPendingPos;
        const size_t length = std::min(waiting.size(), UnconfirmedLimit - c.Unconfirmed.Size());
        if (length == 0) return false;
        const ssize_t n = ::send(c.Fd, waiting.data(), length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (WouldBlock(errno))
                c.Blocked = true;
            else
                c.Failed = true;
            return false;
        }
        const auto sent = static_cast<size_t>(n);
        c.Blocked = sent < length;
        c.Unconfirmed.Add(place, waiting.first(sent));
        if (returned)
            FReturned.Consume(sent);
        else
            FPendingPos += sent;
        FLastSend = Clock::now();
        return sent > 0;
    }

    // Hands input on in the order it came: first what ended clients left,
    // then each client still sending, oldest first, in its turn. Whether any
    // byte moved, read out of a socket included.
    bool ReceiveInput() {
        bool moved = HandOnLeftBehind();
        for (const auto& client : FClients) {
            TClient& c = *client;
            if (!c.Sending() || !InputTurn(c)) continue;
            const std::optional<bool> received = Receive(c);
            if (!received) {
                EndInput(c);
                moved = HandOnLeftBehind() || moved;
            } else if (*received) {
                c.LastActive = FOwner.FNow();
                moved = true;
            }
        }
        return moved;
    }

    // Hands c's input on and reads more while the receive queue takes it;
    // whether any byte moved, nullopt when its input has ended or its socket
    // has failed.
    std::optional<bool> Receive(TClient& c) {
        bool moved = false;
        for (;;) {
            if (c.InputWaiting()) {
                const size_t taken = FOwner.PutRxData(c.RecvBuffer.data() + c.RecvPos, c.RecvLen - c.RecvPos);
                c.RecvPos += taken;
                moved = moved || taken > 0;
            }
            if (!MayRead(c)) return moved;
            const ssize_t n = ::recv(c.Fd, c.RecvBuffer.data(), c.RecvBuffer.size(), MSG_DONTWAIT);
            if (n == 0) return std::nullopt;
            if (n < 0 && !WouldBlock(errno)) {
                c.Failed = true;
                return std::nullopt;
            }
            if (n < 0) return moved;
            c.RecvLen = static_cast<size_t>(n);
            c.RecvPos = 0;
            moved = true;
        }
    }

    static constexpr size_t LingerBytes = 128;
    // How much output a client may hold unacknowledged, and how soon the
    // server looks again once one holds that much.
    static constexpr size_t UnconfirmedLimit = 64 * 1024;
    static constexpr Clock::duration AckCheck = std::chrono::milliseconds(5);
    static constexpr Clock::duration LingerTime = std::chrono::microseconds(50);
    static constexpr Clock::duration StreamGap = std::chrono::milliseconds(1);

    TTcpPortModule& FOwner;
    int FListenFd;
    int FStopFd = -1;
    std::vector<std::unique_ptr<TClient>> FClients;  // in the order they came
    uint64_t FEndings = 0;
    // Output taken from the transmit queue that no client has sent yet; it
    // waits for whichever client can take it, or for the next to come.
    std::array<uint8_t, TransferSize> FPending{};
    size_t FPendingLen = 0;
    size_t FPendingPos = 0;
    uint64_t FPendingPlace = 0;  // in the line's output, of FPending[0]
    // Output clients that went never acknowledged; it goes before FPending.
    TTcpReturnedOutput FReturned;
    Clock::time_point FLastSend{};
    // When the transmit queue's bytes may go; set when they are first
    // looked at, cleared when they are taken.
    std::optional<Clock::time_point> FLingerUntil;
    TTcpLeftBehind FLeftBehind;
    std::thread FThread;  // last: starts once everything above is set
};

// --- the module ------------------------------------------------------------------

TTcpPortModule::TTcpPortModule(TTcpNow now) : FNow(std::move(now)) {
    FWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (FWakeFd < 0) throw std::runtime_error("Unable to create the TCP server of COM1.");
}

TTcpPortModule::~TTcpPortModule() {
    FThread.reset();
    ::close(FWakeFd);
}

void TTcpPortModule::SetActive(bool value) {
    if (value == GetActive()) return;
    if (!value) {
        FThread.reset();
        FListeningPort = 0;
        return;
    }
    const uint16_t port = ParsePortNumber(Port);
    if (port == 0) throw std::runtime_error(RefusedPortText(Port));
    uint16_t bound = 0;
    const int fd = Listen(port, bound);
    FThread = std::make_unique<TServerThread>(*this, fd);
    FListeningPort = bound;
}

void TTcpPortModule::Wake() { SignalEventFd(FWakeFd); }

bool TTcpPortModule::DataAvailable() {
    if (!GetActive()) return false;
    std::lock_guard lock(FLock);
    return FRxQueue.Count() > 0;
}

bool TTcpPortModule::ReadByte(uint8_t& b) {
    if (!GetActive()) return false;
    bool halfDrained, got;
    {
        std::lock_guard lock(FLock);
        got = FRxQueue.GetByte(b);
        halfDrained = got && FRxQueue.Count() == FRxQueue.Capacity() / 2;
    }
    // Client bytes held back by a full queue move on once half of it is
    // free: one wake-up per half queue rather than per byte.
    if (halfDrained) Wake();
    return got;
}

bool TTcpPortModule::CanWrite() {
    if (!GetActive()) return false;
    std::lock_guard lock(FLock);
    return FTxQueue.Count() < FTxQueue.Capacity();
}

void TTcpPortModule::WriteByte(uint8_t b) {
    if (!GetActive()) return;
    bool wasEmpty;
    {
        std::lock_guard lock(FLock);
        wasEmpty = FTxQueue.Count() == 0;
        FTxQueue.PutByte(b);
    }
    if (wasEmpty) Wake();
}

size_t TTcpPortModule::TxCount() {
    std::lock_guard lock(FLock);
    return FTxQueue.Count();
}

size_t TTcpPortModule::GetTxData(uint8_t* buffer, size_t max) {
    size_t count = 0;
    {
        std::lock_guard lock(FLock);
        while (count < max && FTxQueue.GetByte(buffer[count])) ++count;
    }
    if (count > 0 && OnQueueMoved) OnQueueMoved();
    return count;
}

size_t TTcpPortModule::PutRxData(const uint8_t* buffer, size_t max) {
    size_t count = 0;
    {
        std::lock_guard lock(FLock);
        while (count < max && FRxQueue.PutByte(buffer[count])) ++count;
    }
    if (count > 0 && OnQueueMoved) OnQueueMoved();
    return count;
}
