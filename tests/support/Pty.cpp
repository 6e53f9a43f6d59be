#include "support/Pty.h"

#include <cerrno>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tavrin::test {

TPty::TPty() {
    char name[256] = {};
    if (::openpty(&FMaster, &FSlave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    FSlavePath = name;
    termios raw{};
    ::tcgetattr(FMaster, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(FMaster, TCSANOW, &raw);
}

TPty::~TPty() {
    CloseMaster();
    ::close(FSlave);
}

void TPty::CloseMaster() {
    if (FMaster >= 0) ::close(FMaster);
    FMaster = -1;
}

void TPty::Send(const std::string& bytes) const {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(FMaster, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) throw std::runtime_error("write to the pseudo-terminal failed");
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

std::string TPty::Receive(std::size_t count, int quietMs) const {
    std::string got;
    while (got.size() < count) {
        pollfd fd{FMaster, POLLIN, 0};
        if (::poll(&fd, 1, quietMs) <= 0) break;
        char buffer[4096];
        const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

}  // namespace tavrin::test
