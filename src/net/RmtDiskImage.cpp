#include "net/RmtDiskImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kBadDisk = "Selected disk is bad!";

constexpr size_t MaxNameLength = 63;

[[noreturn]] void BadDisk() { throw EDiskError(kBadDisk, EDiskError::NoDisk); }

// The folder as a descriptor to resolve names against; -1 when it cannot be
// used. An empty folder is refused rather than taken as the current one.
int OpenFolder(const std::string& folder) {
    return folder.empty() ? -1 : ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

bool IsValidRemoteImageName(std::string_view name) {
    if (name.empty() || name.size() > MaxNameLength) return false;
    for (char c : name) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

std::optional<TImageIdentity> RemoteImageIdentity(const std::string& folder, const std::string& name) {
    if (!IsValidRemoteImageName(name)) return std::nullopt;
    const int dir = OpenFolder(folder);
    if (dir < 0) return std::nullopt;
    struct stat st {};
    const int r = ::fstatat(dir, (name + RemoteImageExtension).c_str(), &st, AT_SYMLINK_NOFOLLOW);
    ::close(dir);
    if (r != 0) return std::nullopt;
    return TImageIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

int OpenRemoteImage(const std::string& folder, const std::string& name, bool readOnly) {
    if (!IsValidRemoteImageName(name)) BadDisk();
    const int dir = OpenFolder(folder);
    if (dir < 0) BadDisk();
    // O_NONBLOCK keeps a FIFO from blocking the open; O_NOFOLLOW refuses a link.
    const int fd = ::openat(dir, (name + RemoteImageExtension).c_str(),
                            (readOnly ? O_RDONLY : O_RDWR) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    ::close(dir);
    if (fd < 0) BadDisk();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != TDiskDrive::ImageSize) {
        ::close(fd);
        BadDisk();
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}
