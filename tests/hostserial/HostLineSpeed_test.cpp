// Line speeds through termios2, standard and not, from both ends of a
// pseudo-terminal (the master's settings are the slave's).

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>

#include "hostserial/HostLineSpeed.h"
#include "support/Pty.h"

namespace {

TEST(HostLineSpeed, AnyRateWrittenReadsBackAtBothEnds) {
    tavrin::test::TPty pty;
    for (uint32_t baud : {50u, 110u, 9600u, 31250u, 115200u, 250000u, 921600u, 4000000u}) {
        EXPECT_EQ(WriteLineSpeed(pty.Slave(), baud), 0) << baud;
        EXPECT_EQ(ReadLineSpeed(pty.Slave()), baud);
        EXPECT_EQ(ReadLineSpeed(pty.Master()), baud);
    }
}

TEST(HostLineSpeed, DescriptorsWithoutALineFail) {
    const int notATerminal = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ASSERT_GE(notATerminal, 0);
    struct Case {
        int fd;
        int error;
    };
    for (const Case c : {Case{notATerminal, ENOTTY}, Case{-1, EBADF}}) {
        EXPECT_EQ(ReadLineSpeed(c.fd), 0u) << c.fd;
        EXPECT_EQ(WriteLineSpeed(c.fd, 9600), -c.error) << c.fd;
    }
    ::close(notATerminal);
}

}  // namespace
