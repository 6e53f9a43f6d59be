#include "serial/QnEvent.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

#include <system_error>

namespace {

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int ready = ::poll(fds, count, timeoutMs);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

}  // namespace

TQnEvent::TQnEvent(bool manualReset) : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), manualReset_(manualReset) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "Cannot create a wake-up event");
}

TQnEvent::~TQnEvent() { ::close(fd_); }

void TQnEvent::Signal() {
    const uint64_t one = 1;
    // A full counter already means "signalled"; nothing else can fail here.
    [[maybe_unused]] const ssize_t ignored = ::write(fd_, &one, sizeof one);
}

void TQnEvent::Reset() {
    uint64_t value;
    [[maybe_unused]] const ssize_t ignored = ::read(fd_, &value, sizeof value);
}

bool TQnEvent::Wait(int timeoutMs) { return WaitAny({this}, timeoutMs) == 0; }

bool TQnEvent::IsSet() const { return AnyReadable({fd_}, 0); }

int WaitAny(std::initializer_list<TQnEvent*> events, int timeoutMs) {
    std::vector<pollfd> fds;
    for (TQnEvent* event : events) fds.push_back({event->Fd(), POLLIN, 0});
    for (;;) {
        if (PollRetrying(fds.data(), fds.size(), timeoutMs) <= 0) return -1;
        int index = 0;
        for (TQnEvent* event : events) {
            uint64_t value;
            if (fds[index].revents != 0 &&
                (event->ManualReset() || ::read(event->Fd(), &value, sizeof value) == sizeof value))
                return index;
            ++index;
        }
        // Another waiter took the signal first; wait again.
    }
}

bool AnyReadable(std::initializer_list<int> fds, int timeoutMs) {
    std::vector<pollfd> polled;
    for (int fd : fds) polled.push_back({fd, POLLIN, 0});
    return PollRetrying(polled.data(), polled.size(), timeoutMs) > 0;
}
