#include "support/Pty.h"

#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "support/FdIo.h"

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

void TPty::Send(const std::string& bytes) const { WriteAll(FMaster, bytes); }

std::string TPty::Receive(std::size_t count, int limitMs) const {
    return ReadFor(FMaster, count, std::chrono::milliseconds(limitMs));
}

}  // namespace tavrin::test
