#include "serial/QnTermiosDevice.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "hostserial/HostExclusiveOpen.h"
#include "hostserial/HostLineSpeed.h"

namespace {

// Flow bits kept beside the descriptor: termios has no DSR flow or DTR
// handshake, and one CRTSCTS switch for both RTS and CTS.
constexpr uint32_t ShadowFlags = QnFlowOutCts | QnFlowOutDsr | QnDtrControlMask | QnRtsControlMask;

int PollRetrying(std::vector<pollfd>& fds, int timeoutMs) {
    for (;;) {
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        if (ready >= 0 || errno != EINTR) return ready;
    }
}

tcflag_t ByteSizeFlag(uint8_t size) {
    switch (size) {
        case 5:
            return CS5;
        case 6:
            return CS6;
        case 7:
            return CS7;
        default:
            return CS8;
    }
}

uint8_t ByteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

// What termios itself holds of the line state; the flow flags only as far
// as XON/XOFF.
void ReadTermiosState(int fd, const termios& settings, TQnLineState& state) {
    state.Baud = ReadLineSpeed(fd);
    state.ByteSize = ByteSizeOf(settings.c_cflag);
    if (!(settings.c_cflag & PARENB))
        state.Parity = 0;
    else if (settings.c_cflag & CMSPAR)
        state.Parity = (settings.c_cflag & PARODD) ? 3 : 4;
    else
        state.Parity = (settings.c_cflag & PARODD) ? 1 : 2;
    state.StopBits = (settings.c_cflag & CSTOPB) ? (state.ByteSize == 5 ? 1 : 2) : 0;
    state.Flags = 0;
    if (settings.c_iflag & IXON) state.Flags |= QnFlowOutX;
    if (settings.c_iflag & IXOFF) state.Flags |= QnFlowInX;
    state.XonChar = settings.c_cc[VSTART];
    state.XoffChar = settings.c_cc[VSTOP];
}

}  // namespace

TQnTermiosDevice::TQnTermiosDevice(int fd, int lenderFlags) : fd_(fd), lenderFlags_(lenderFlags) {}

TQnTermiosDevice::~TQnTermiosDevice() {
    if (lenderFlags_ >= 0) {
        // A duplicate shares its status flags with the lender's descriptor:
        // hand it back as it was lent.
        ::fcntl(fd_, F_SETFL, lenderFlags_);
        ::close(fd_);
    } else {
        CloseExclusive(fd_);
    }
}

std::unique_ptr<TQnTermiosDevice> TQnTermiosDevice::Prepare(int fd, int lenderFlags, int32_t& result) {
    // The descriptor is owned from here on: every failure below closes it.
    std::unique_ptr<TQnTermiosDevice> device(new TQnTermiosDevice(fd, lenderFlags));
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        result = -errno;
        return nullptr;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~CRTSCTS;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        result = -errno;
        return nullptr;
    }
    device->lastLines_ = device->ModemLines();
    device->PollLineErrors();
    device->pendingErrors_ = 0;
    result = 0;
    return device;
}

std::unique_ptr<TQnTermiosDevice> TQnTermiosDevice::Open(const std::string& name, int32_t& result) {
    // Taken exclusively, unlike a lent descriptor: a lock on that would be
    // shared with the lender's and dropped for it too.
    const THostOpenResult opened = OpenExclusive(name);
    if (opened.Fd < 0) {
        result = -opened.Error;
        return nullptr;
    }
    return Prepare(opened.Fd, -1, result);
}

std::unique_ptr<TQnTermiosDevice> TQnTermiosDevice::Adopt(int fd, int32_t& result) {
    const int flags = ::fcntl(fd, F_GETFL);
    const int copy = flags < 0 ? -1 : ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        result = -errno;
        return nullptr;
    }
    if (::fcntl(copy, F_SETFL, flags | O_NONBLOCK) != 0) {
        result = -errno;
        ::close(copy);
        return nullptr;
    }
    return Prepare(copy, flags, result);
}

int32_t TQnTermiosDevice::ReadState(TQnLineState& state) {
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) return -errno;
    std::lock_guard guard(lock_);
    ReadTermiosState(fd_, settings, state);
    state.Flags |= shadowFlags_;
    state.XonLim = xonLim_;
    state.XoffLim = xoffLim_;
    return 0;
}

int32_t TQnTermiosDevice::ReadLentState(int fd, TQnLineState& state) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return -errno;
    ReadTermiosState(fd, settings, state);
    // Nothing was kept beside a descriptor opened elsewhere: its hardware
    // flow is the kernel's one switch for CTS and RTS, and it has no limits.
    if (settings.c_cflag & CRTSCTS) state.Flags |= QnFlowOutCts | QnRtsHandshake;
    state.XonLim = 0;
    state.XoffLim = 0;
    return 0;
}

int32_t TQnTermiosDevice::WriteState(const TQnLineState& state) {
    termios settings{};
    if (::tcgetattr(fd_, &settings) != 0) return -errno;
    settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    settings.c_cflag |= ByteSizeFlag(state.ByteSize);
    static const tcflag_t parity[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR, PARENB | CMSPAR};
    if (state.Parity < std::size(parity)) settings.c_cflag |= parity[state.Parity];
    if (state.StopBits != 0) settings.c_cflag |= CSTOPB;
    // Linux ties CTS output flow and RTS handshaking into one switch.
    if ((state.Flags & QnFlowOutCts) || (state.Flags & QnRtsControlMask) == QnRtsHandshake) settings.c_cflag |= CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (state.Flags & QnFlowOutX) settings.c_iflag |= IXON;
    if (state.Flags & QnFlowInX) settings.c_iflag |= IXOFF;
    settings.c_cc[VSTART] = state.XonChar;
    settings.c_cc[VSTOP] = state.XoffChar;
    if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return -errno;
    // tcsetattr succeeds when any part was taken: a device that kept its own
    // framing (a pseudo-terminal stays 8 bits, no parity) must not pass as set.
    termios taken{};
    constexpr tcflag_t framing = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    if (::tcgetattr(fd_, &taken) != 0) return -errno;
    if ((taken.c_cflag & framing) != (settings.c_cflag & framing)) return -EINVAL;
    if (const int32_t failed = WriteLineSpeed(fd_, state.Baud)) return failed;
    std::lock_guard guard(lock_);
    shadowFlags_ = state.Flags & ShadowFlags;
    xonLim_ = state.XonLim;
    xoffLim_ = state.XoffLim;
    return 0;
}

int32_t TQnTermiosDevice::Read(uint8_t* bytes, uint32_t count) {
    for (;;) {
        const ssize_t n = ::read(fd_, bytes, count);
        if (n >= 0) return static_cast<int32_t>(n);
        if (errno != EINTR) return 0;
    }
}

int32_t TQnTermiosDevice::Write(const uint8_t* bytes, uint32_t count, std::initializer_list<int> cancelFds) {
    uint32_t done = 0;
    std::vector<pollfd> fds{{fd_, POLLOUT, 0}};
    for (int fd : cancelFds) fds.push_back({fd, POLLIN, 0});
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) return done > 0 ? static_cast<int32_t>(done) : -errno;
        // The device is full (or stopped by XOFF): wait for room or a cancel.
        if (PollRetrying(fds, -1) < 0) return -errno;
        for (std::size_t i = 1; i < fds.size(); ++i)
            if (fds[i].revents != 0) return done > 0 ? static_cast<int32_t>(done) : QnWriteCancelled;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return done > 0 ? static_cast<int32_t>(done) : -EIO;
    }
    return static_cast<int32_t>(done);
}

uint32_t TQnTermiosDevice::InputCount() {
    int count = 0;
    if (::ioctl(fd_, FIONREAD, &count) != 0 || count < 0) return 0;
    return static_cast<uint32_t>(count);
}

uint32_t TQnTermiosDevice::PollLineErrors() {
    if (!hasCounters_) return 0;
    serial_icounter_struct counts{};
    if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) {
        hasCounters_ = errno != ENOTTY && errno != EINVAL;  // a pseudo-terminal has none: stop asking
        return 0;
    }
    const int now[5] = {counts.buf_overrun, counts.overrun, counts.parity, counts.frame, counts.brk};
    uint32_t errors = 0;
    if (haveCounts_)
        for (int i = 0; i < 5; ++i)
            if (now[i] != countsAtLastPoll_[i]) errors |= 1u << i;
    std::copy(std::begin(now), std::end(now), countsAtLastPoll_);
    haveCounts_ = true;
    pendingErrors_ |= errors;
    return errors;
}

uint32_t TQnTermiosDevice::TakeLineErrors() {
    std::lock_guard guard(lock_);
    PollLineErrors();
    const uint32_t errors = pendingErrors_;
    pendingErrors_ = 0;
    return errors;
}

uint8_t TQnTermiosDevice::ModemLines() {
    if (!hasModemLines_) return 0;
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
        hasModemLines_ = errno != ENOTTY && errno != EINVAL;  // a pseudo-terminal has none: stop asking
        return 0;
    }
    uint8_t result = 0;
    if (lines & TIOCM_CTS) result |= QnLineCts;
    if (lines & TIOCM_DSR) result |= QnLineDsr;
    if (lines & TIOCM_RI) result |= QnLineRing;
    if (lines & TIOCM_CD) result |= QnLineDcd;
    return result;
}

int32_t TQnTermiosDevice::Escape(QnEscape function) {
    int request = 0;
    int bits = 0;
    switch (function) {
        case QnEscape::SetDtr:
            request = TIOCMBIS;
            bits = TIOCM_DTR;
            break;
        case QnEscape::ClrDtr:
            request = TIOCMBIC;
            bits = TIOCM_DTR;
            break;
        case QnEscape::SetRts:
            request = TIOCMBIS;
            bits = TIOCM_RTS;
            break;
        case QnEscape::ClrRts:
            request = TIOCMBIC;
            bits = TIOCM_RTS;
            break;
        case QnEscape::SetBreak:
            return ::ioctl(fd_, TIOCSBRK) == 0 ? 0 : -errno;
        case QnEscape::ClrBreak:
            return ::ioctl(fd_, TIOCCBRK) == 0 ? 0 : -errno;
        case QnEscape::SetXoff:
            return ::tcflow(fd_, TCOOFF) == 0 ? 0 : -errno;
        case QnEscape::SetXon:
            return ::tcflow(fd_, TCOON) == 0 ? 0 : -errno;
        case QnEscape::ResetDev:
            return 0;
    }
    return ::ioctl(fd_, request, &bits) == 0 ? 0 : -errno;
}

int32_t TQnTermiosDevice::Purge(bool output) { return ::tcflush(fd_, output ? TCOFLUSH : TCIFLUSH) == 0 ? 0 : -errno; }

uint32_t TQnTermiosDevice::WaitLineEvent(int stopFd, int timeoutMs) {
    // Modem lines and error counters have no descriptor to wait on: they are
    // sampled once per wait.
    std::vector<pollfd> stop{{stopFd, POLLIN, 0}};
    if (PollRetrying(stop, timeoutMs) != 0) return 0;
    const uint8_t lines = ModemLines();
    std::lock_guard guard(lock_);
    const uint8_t changed = lines ^ lastLines_;
    lastLines_ = lines;
    uint32_t events = QnModemLineEvents(changed);
    const uint32_t errors = PollLineErrors();
    if (errors & QnErrorBreak) events |= QnEventBreak;
    if (errors & ~QnErrorBreak) events |= QnEventError;
    return events;
}

void TQnTermiosDevice::WaitTransmitterEmpty(int stopFd) {
    for (;;) {
        unsigned int status = 0;
        if (::ioctl(fd_, TIOCSERGETLSR, &status) != 0 || (status & TIOCSER_TEMT)) return;
        std::vector<pollfd> stop{{stopFd, POLLIN, 0}};
        if (PollRetrying(stop, 1) != 0) return;
    }
}
