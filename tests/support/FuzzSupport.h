#pragma once
// Shared by the libFuzzer targets: a broken invariant ends the run as a
// finding, and one scratch file per process in $TMPDIR, removed at exit.

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace tavrin::test {

inline void Check(bool ok) {
    if (!ok) __builtin_trap();
}

struct TScratchFile {
    std::string Path;
    int Fd = -1;
};

inline const TScratchFile& ScratchFile() {
    static const TScratchFile file = [] {
        const char* tmp = std::getenv("TMPDIR");
        TScratchFile f{std::string(tmp && *tmp ? tmp : "/tmp") + "/tavrin-fuzz-XXXXXX"};
        f.Fd = ::mkstemp(f.Path.data());
        Check(f.Fd >= 0);
        std::atexit([] { ::unlink(ScratchFile().Path.c_str()); });
        return f;
    }();
    return file;
}

}  // namespace tavrin::test
