#include "net/ComRxDevice.h"

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "hostserial/HostExclusiveOpen.h"

namespace {

void CopyToKernel(const TComTermios& from, termios2& to) {
    to.c_iflag = from.c_iflag;
    to.c_oflag = from.c_oflag;
    to.c_cflag = from.c_cflag;
    to.c_lflag = from.c_lflag;
    to.c_line = from.c_line;
    static_assert(sizeof(to.c_cc) == sizeof(from.c_cc));
    std::memcpy(to.c_cc, from.c_cc, sizeof(to.c_cc));
    to.c_ispeed = from.c_ispeed;
    to.c_ospeed = from.c_ospeed;
}

class THostComDevice : public IComDevice {
public:
    explicit THostComDevice(int fd) : FFd(fd) {}
    ~THostComDevice() override { CloseExclusive(FFd); }
    int PollFd() const override { return FFd; }
    ssize_t Read(uint8_t* buffer, size_t size) override { return ::read(FFd, buffer, size); }
    ssize_t Write(const uint8_t* data, size_t size) override { return ::write(FFd, data, size); }
    bool WaitWritable(int timeoutMs) override {
        pollfd p{FFd, POLLOUT, 0};
        int n;
        do n = ::poll(&p, 1, timeoutMs);
        while (n < 0 && errno == EINTR);
        return n > 0 && (p.revents & POLLOUT) && !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
    }
    bool ReadModemCounts(TComModemCounts& counts) override {
        serial_icounter_struct icount{};
        if (::ioctl(FFd, TIOCGICOUNT, &icount) != 0) return false;
        counts.Ring = static_cast<uint32_t>(icount.rng);
        counts.Cts = static_cast<uint32_t>(icount.cts);
        counts.Dsr = static_cast<uint32_t>(icount.dsr);
        counts.Dcd = static_cast<uint32_t>(icount.dcd);
        return true;
    }

private:
    int FFd;
};

// Applies the settings; false when the device refuses them.
bool Configure(int fd, const TComTermios& settings) {
    termios2 current{};
    if (::ioctl(fd, TCGETS2, &current) != 0) return false;
    termios2 wanted{};
    CopyToKernel(settings, wanted);
    if (settings.c_ospeed == 0) {  // keep the speed the device has
        wanted.c_ispeed = current.c_ispeed;
        wanted.c_ospeed = current.c_ospeed;
    }
    if (::ioctl(fd, TCSETS2, &wanted) != 0) return false;
    // Ports without modem lines (pseudo-terminals) refuse these; that is fine.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    ::ioctl(fd, settings.RaiseDtr ? TIOCMBIS : TIOCMBIC, &dtr);
    if (!(settings.c_cflag & CRTSCTS)) ::ioctl(fd, settings.RaiseRts ? TIOCMBIS : TIOCMBIC, &rts);
    return true;
}

}  // namespace

std::unique_ptr<IComDevice> OpenHostComDevice(const std::string& path, const TComTermios& settings,
                                              TComOpenError& error) {
    const THostOpenResult opened = OpenExclusive(path);
    if (opened.Fd < 0) {
        if (opened.Failed == THostOpenStep::Exclusive)
            error = TComOpenError::SetOptions;
        else
            error = opened.Error == EBUSY ? TComOpenError::PortInUse : TComOpenError::InvalidPort;
        return nullptr;
    }
    auto device = std::make_unique<THostComDevice>(opened.Fd);
    if (!Configure(opened.Fd, settings)) {
        error = TComOpenError::SetOptions;
        return nullptr;
    }
    error = TComOpenError::None;
    return device;
}
