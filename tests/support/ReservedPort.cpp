#include "support/ReservedPort.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tavrin::test {

TReservedPort::TReservedPort(int type) {
    FFd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    // Bound before SO_REUSEADDR is set, so the system picks a port nobody
    // holds rather than one it could share with another reusing socket.
    if (FFd < 0 || ::bind(FFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("no port to reserve");
    const int on = 1;
    ::setsockopt(FFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    socklen_t length = sizeof address;
    ::getsockname(FFd, reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
}

TReservedPort::~TReservedPort() { Release(); }

void TReservedPort::Release() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
}

}  // namespace tavrin::test
