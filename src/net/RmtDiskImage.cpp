#include "net/RmtDiskImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

const char* const kBadDisk = "Selected disk is bad!";

// The longest name whose file name (with the extension) fits in a directory entry.
constexpr size_t MaxNameLength = NAME_MAX - std::string_view(RemoteImageExtension).size();

[[noreturn]] void BadDisk() { throw EDiskError(kBadDisk, EDiskError::NoDisk); }

// The folder as a descriptor to resolve names against; -1 when it cannot be
// used. An empty folder is refused rather than taken as the current one.
int OpenFolder(const std::string& folder) {
    return folder.empty() ? -1 : ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

bool IsValidRemoteImageName(std::string_view name) {
    // A leading '.' would reach hidden files, "." and "..".
    if (name.empty() || name.size() > MaxNameLength || name.front() == '.') return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) return false;
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
