#pragma once
// A file the calling thread can read but not open for writing, as a disk
// image on a read-only medium is. The file loses its write bits; and since
// the tests often run as root, whose CAP_DAC_OVERRIDE ignores them, the
// thread also drops that capability from its effective set while the guard
// lives (it stays permitted and is taken back at the end). A read-only
// mount would need privileges a CI container does not have; this works
// there, as root or not.

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace tavrin::test {

class TWriteProtectedFile {
public:
    explicit TWriteProtectedFile(std::string path) : FPath(std::move(path)) {
        struct stat st {};
        if (::stat(FPath.c_str(), &st) != 0) throw std::runtime_error("no file to protect: " + FPath);
        FMode = st.st_mode & 07777;
        if (::chmod(FPath.c_str(), FMode & ~mode_t{0222}) != 0 || !ReadCapabilities(FSaved))
            throw std::runtime_error("cannot protect " + FPath);
        __user_cap_data_struct lowered[2] = {FSaved[0], FSaved[1]};
        lowered[CAP_TO_INDEX(CAP_DAC_OVERRIDE)].effective &= ~CAP_TO_MASK(CAP_DAC_OVERRIDE);
        if (!WriteCapabilities(lowered)) throw std::runtime_error("cannot drop CAP_DAC_OVERRIDE");
    }
    ~TWriteProtectedFile() {
        WriteCapabilities(FSaved);
        ::chmod(FPath.c_str(), FMode);
    }
    TWriteProtectedFile(const TWriteProtectedFile&) = delete;
    TWriteProtectedFile& operator=(const TWriteProtectedFile&) = delete;

    // Whether the protection holds here: an open for writing fails.
    bool Holds() const {
        const int fd = ::open(FPath.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return true;
        ::close(fd);
        return false;
    }

private:
    static bool ReadCapabilities(__user_cap_data_struct (&data)[2]) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capget, &header, data) == 0;
    }
    static bool WriteCapabilities(__user_cap_data_struct (&data)[2]) {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return ::syscall(SYS_capset, &header, data) == 0;
    }

    std::string FPath;
    mode_t FMode = 0;
    __user_cap_data_struct FSaved[2] = {};
};

}  // namespace tavrin::test
