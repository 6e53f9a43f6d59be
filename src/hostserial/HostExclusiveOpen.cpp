#include "hostserial/HostExclusiveOpen.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

THostOpenResult OpenExclusive(const std::string& path) {
    THostOpenResult result;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.Failed = THostOpenStep::Open;
        result.Error = errno;
        return result;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        result.Failed = THostOpenStep::Lock;
        result.Error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return result;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        result.Failed = THostOpenStep::Exclusive;
        result.Error = errno;
        ::close(fd);  // also releases the flock
        return result;
    }
    result.Fd = fd;
    return result;
}

void CloseExclusive(int fd) {
    ::ioctl(fd, TIOCNXCL);
    // Unlocked explicitly: a descriptor duplicated elsewhere would keep the lock.
    ::flock(fd, LOCK_UN);
    ::close(fd);
}
