#pragma once
// A port for code that must be given a port number (it refuses 0): the
// system picks a free one for a socket of the test's own, which holds it so
// no other test is handed it, and lets the code under test bind it too
// (SO_REUSEADDR, not listening). Release it once the code under test holds
// the port; nothing else ever uses it in between.

#include <cstdint>
#include <string>
#include <sys/socket.h>  // SOCK_STREAM, SOCK_DGRAM

namespace tavrin::test {

class TReservedPort {
public:
    // type: SOCK_STREAM or SOCK_DGRAM. The code under test must ask for
    // SO_REUSEADDR as well (TCP listeners usually do; a UDP one must be told).
    explicit TReservedPort(int type);
    ~TReservedPort();
    TReservedPort(const TReservedPort&) = delete;
    TReservedPort& operator=(const TReservedPort&) = delete;

    uint16_t Port() const { return FPort; }
    std::string Text() const { return std::to_string(FPort); }
    void Release();

private:
    int FFd = -1;
    uint16_t FPort = 0;
};

}  // namespace tavrin::test
