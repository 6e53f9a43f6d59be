#include "hostserial/HostLineSpeed.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

uint32_t ReadLineSpeed(int fd) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return 0;
    return settings.c_ospeed;
}

int32_t WriteLineSpeed(int fd, uint32_t baud) {
    struct termios2 settings {};
    if (::ioctl(fd, TCGETS2, &settings) != 0) return -errno;
    settings.c_cflag &= ~CBAUD;
    settings.c_cflag |= BOTHER;
    settings.c_cflag &= ~(CBAUD << IBSHIFT);
    settings.c_cflag |= BOTHER << IBSHIFT;
    settings.c_ispeed = baud;
    settings.c_ospeed = baud;
    if (::ioctl(fd, TCSETS2, &settings) != 0) return -errno;
    return 0;
}
