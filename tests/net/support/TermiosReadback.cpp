// Kept apart from the other helpers: the kernel's termios2 header and the C
// library's <termios.h> cannot meet in one file.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

#include "support/ComRxTestSupport.h"

namespace tavrin::test {

TComTermios ReadTermios(int fd) {
    termios2 k{};
    ::ioctl(fd, TCGETS2, &k);
    TComTermios t;
    t.c_iflag = k.c_iflag;
    t.c_oflag = k.c_oflag;
    t.c_cflag = k.c_cflag;
    t.c_lflag = k.c_lflag;
    std::memcpy(t.c_cc, k.c_cc, sizeof t.c_cc);
    t.c_ispeed = k.c_ispeed;
    t.c_ospeed = k.c_ospeed;
    return t;
}

}  // namespace tavrin::test
