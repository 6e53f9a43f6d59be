#pragma once
// Helpers for the tests that need disk images (here, and in the remote disk,
// Disk Manager and window tests and the benchmarks): blank disk images, and a
// file size limit that makes writes fail for real (permissions do not stop
// root). The temporary folder is the shared one.

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "support/TempFolder.h"

namespace tavrin::test {

// The size of a disk image: 1 MB.
constexpr int64_t ImageBytes = 1048576;

// A disk image of fill bytes; E5h is an empty CP/M disk.
inline void MakeImage(const std::string& path, uint8_t fill = 0xE5) {
    WriteFile(path, std::string(ImageBytes, static_cast<char>(fill)));
}

// While alive, no file of this process may grow past the given size.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FHandler = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = FSaved;
        small.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("setrlimit failed");
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        ::signal(SIGXFSZ, FHandler);
    }

private:
    struct rlimit FSaved {};
    sighandler_t FHandler;
};

}  // namespace tavrin::test
