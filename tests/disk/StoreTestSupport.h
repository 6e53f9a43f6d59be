#pragma once
// Helpers for the disk image, controller and settings-store tests: the
// shared temporary folder, and a file size limit that makes writes fail for
// real (permissions do not stop root).

#include <signal.h>
#include <sys/resource.h>

#include <stdexcept>

#include "support/TempFolder.h"

namespace storetest {

using TempFolder = tavrin::test::TTempFolder;
using tavrin::test::ReadFile;
using tavrin::test::WriteFile;

// While alive, no file of this process may grow past the given size.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &FSaved);
        FHandler = ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = FSaved;
        small.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) throw std::runtime_error("setrlimit failed");
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &FSaved);
        ::signal(SIGXFSZ, FHandler);
    }

private:
    struct rlimit FSaved {};
    sighandler_t FHandler;
};

}  // namespace storetest
