#pragma once
// A file size limit that makes writes fail for real, where permissions
// cannot (root ignores them).

#include <signal.h>
#include <sys/resource.h>

#include <stdexcept>

namespace tavrin::test {

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
