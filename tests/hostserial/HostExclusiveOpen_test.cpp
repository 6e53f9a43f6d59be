// Taking a terminal device for one opener at a time, on a pseudo-terminal.

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <tuple>

#include "hostserial/HostExclusiveOpen.h"
#include "support/Pty.h"

namespace {

// Whether the terminal refuses further opens (TIOCEXCL is set).
bool IsExclusive(int fd) {
    int exclusive = -1;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
    return exclusive != 0;
}

TEST(HostExclusiveOpen, ASecondOpenerIsRefusedUntilTheFirstCloses) {
    tavrin::test::TPty pty;
    const THostOpenResult first = OpenExclusive(pty.SlavePath());
    ASSERT_GE(first.Fd, 0);
    EXPECT_EQ(first.Failed, THostOpenStep::None);
    EXPECT_TRUE(IsExclusive(pty.Slave()));

    // Without CAP_SYS_ADMIN the open itself is refused; with it, the lock.
    const THostOpenResult second = OpenExclusive(pty.SlavePath());
    EXPECT_EQ(second.Fd, -1);
    EXPECT_TRUE(second.Failed == THostOpenStep::Open || second.Failed == THostOpenStep::Lock);
    EXPECT_EQ(second.Error, EBUSY);

    CloseExclusive(first.Fd);
    EXPECT_FALSE(IsExclusive(pty.Slave()));
    const THostOpenResult third = OpenExclusive(pty.SlavePath());
    ASSERT_GE(third.Fd, 0);
    CloseExclusive(third.Fd);
}

TEST(HostExclusiveOpen, FailuresNameTheirStepAndLeaveNothingOpen) {
    struct Case {
        const char* path;
        THostOpenStep failed;
        int error;
    };
    const Case cases[] = {
        {"/dev/tavrin-no-such-port", THostOpenStep::Open, ENOENT},
        {"", THostOpenStep::Open, ENOENT},
        {"/dev/null", THostOpenStep::Exclusive, ENOTTY},  // not a terminal
    };
    for (const Case& c : cases) {
        const THostOpenResult result = OpenExclusive(c.path);
        EXPECT_EQ(std::tuple(result.Fd, result.Failed, result.Error), std::tuple(-1, c.failed, c.error)) << c.path;
    }
    // The refused device was closed again: the number it took is free.
    const int before = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(before, 0);
    ::close(before);
    EXPECT_EQ(OpenExclusive("/dev/null").Fd, -1);
    const int after = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(after, before);
    ::close(after);
}

}  // namespace
