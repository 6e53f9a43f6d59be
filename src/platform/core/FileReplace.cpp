#include "platform/core/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <random>
#include <system_error>

namespace {

using TStage = EFileReplaceError::TStage;

[[noreturn]] void Fail(TStage stage, int err, const std::string& what) { throw EFileReplaceError(stage, err, what); }

// The file a link points to, so that replacing keeps the link; the path
// itself when it is no link or its target is missing.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string result(real);
    std::free(real);
    return result;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary names: "." + the file's name + "." + pid-counter-random + ".tmp",
// so a leftover tells which file it belonged to; the numbers keep the names
// of writers apart.
std::string TempPrefix(const std::string& target) { return "." + NameOf(target) + "."; }
constexpr std::string_view TempSuffix = ".tmp";

// Takes a run of decimal digits off the front of text; false when there is
// none or it does not fit a long.
bool TakeNumber(std::string_view& text, long& value) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return ec == std::errc();
}

bool TakeDash(std::string_view& text) {
    if (!text.starts_with('-')) return false;
    text.remove_prefix(1);
    return true;
}

// True when name is a temporary name made for prefix: prefix, then
// pid-counter-random in decimal, then the suffix.
bool IsTempNameFor(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() + TempSuffix.size() || !name.starts_with(prefix) || !name.ends_with(TempSuffix))
        return false;
    std::string_view middle = name.substr(prefix.size(), name.size() - prefix.size() - TempSuffix.size());
    long pid = 0, counter = 0, random = 0;
    const bool wellFormed = TakeNumber(middle, pid) && TakeDash(middle) && TakeNumber(middle, counter) &&
                            TakeDash(middle) && TakeNumber(middle, random) && middle.empty();
    return wellFormed && pid > 0;
}

// True when name is a temporary name made for any file: "." + a name + "." +
// pid-counter-random + ".tmp".
bool IsTempName(std::string_view name) {
    if (!name.starts_with('.') || !name.ends_with(TempSuffix)) return false;
    const auto dot = name.substr(0, name.size() - TempSuffix.size()).rfind('.');
    return dot != std::string_view::npos && dot > 1 && IsTempNameFor(name, name.substr(0, dot + 1));
}

// True when path still names the file open on fd.
bool NamesOpenFile(const std::string& path, int fd) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
           named.st_ino == opened.st_ino;
}

// Removes the file at path (of a temporary name) when its writer has gone;
// true when it did. Each writer holds a lock on its temporary file from its
// creation until it is renamed or removed, and the system drops the lock
// with the process, however it ends; a process id in the name tells nothing
// once that process is gone or in another pid namespace. The file is
// removed while this holds the lock, so no new writer can be using it.
bool RemoveIfAbandoned(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    // A lock that cannot be taken, for whatever reason, keeps the file.
    const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                         NamesOpenFile(path, fd) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

// True when fd holds the lock on the file path names: a sweep of leftovers
// may have locked or removed the new file before this writer locked it.
bool LockAsWriter(int fd, const std::string& path) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno != EWOULDBLOCK;  // no locks here: nobody sweeps by them
    return NamesOpenFile(path, fd);
}

// Creates a fresh temporary file beside target, locked; returns its
// descriptor.
int CreateTemp(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const std::string base = FolderOf(target) + "/" + TempPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = base + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                   std::to_string(rd() % 1000000u) + std::string(TempSuffix);
        // 0666 so the process umask decides, as for any new file.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            if (LockAsWriter(fd, tempPath)) return fd;
            ::close(fd);  // a sweep has it and removes it
            continue;
        }
        if (errno != EEXIST) Fail(TStage::Create, errno, "Cannot create file \"" + target + "\"");
    }
    Fail(TStage::Create, EEXIST, "Cannot create file \"" + target + "\"");
}

// Removes the abandoned temporary files in folder whose names pass Ours.
template <typename TOurs>
int RemoveLeftovers(const std::string& folder, TOurs ours) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir))
        if (ours(std::string_view(entry->d_name)) && RemoveIfAbandoned(folder + "/" + entry->d_name)) ++removed;
    ::closedir(dir);
    return removed;
}

}  // namespace

TReplacementFile::TReplacementFile(const std::string& path) : FPath(path) {
    if (path.empty()) Fail(TStage::Create, ENOENT, "Cannot create file \"\"");
    FTarget = ResolveTarget(path);

    // Refuse early what rename would refuse anyway, before writing anything.
    struct stat old {};
    const bool exists = ::stat(FTarget.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) Fail(TStage::Create, EISDIR, "Cannot create file \"" + path + "\"");
    // Never swap a device node, pipe or socket for a plain file.
    if (exists && !S_ISREG(old.st_mode)) Fail(TStage::Create, EINVAL, "Cannot create file \"" + path + "\"");

    FFd = CreateTemp(FTarget, FTempPath);
    // A second descriptor of the same open file keeps its lock after FFd is
    // closed to catch late write errors, until the rename is done.
    FLockFd = ::fcntl(FFd, F_DUPFD_CLOEXEC, 0);
    if (FLockFd < 0) {
        const int err = errno;
        Abandon();
        Fail(TStage::Create, err, "Cannot create file \"" + path + "\"");
    }
    // Keep the old file's permission bits.
    if (exists) (void)::fchmod(FFd, old.st_mode & 07777);
}

TReplacementFile::~TReplacementFile() { Abandon(); }

void TReplacementFile::Abandon() {
    if (FFd < 0) return;
    // Removed while still locked, so no sweep takes it for a leftover.
    ::unlink(FTempPath.c_str());
    ::close(FFd);
    FFd = -1;
    ReleaseLock();
}

void TReplacementFile::ReleaseLock() {
    if (FLockFd < 0) return;
    ::close(FLockFd);
    FLockFd = -1;
}

void TReplacementFile::Write(std::string_view data) {
    if (FFd < 0) Fail(TStage::Write, EBADF, "Error writing file \"" + FPath + "\"");
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(FFd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : EIO;
            Abandon();
            Fail(TStage::Write, err, "Error writing file \"" + FPath + "\"");
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void TReplacementFile::Skip(uint64_t count) {
    if (FFd < 0) Fail(TStage::Write, EBADF, "Error writing file \"" + FPath + "\"");
    if (count == 0) return;
    // The size is set at once, so a hole at the end is part of the file too.
    const off_t at = ::lseek(FFd, 0, SEEK_CUR);
    const bool fits = at >= 0 && count <= static_cast<uint64_t>(std::numeric_limits<off_t>::max() - at);
    const off_t end = fits ? at + static_cast<off_t>(count) : -1;
    if (!fits || ::ftruncate(FFd, end) != 0 || ::lseek(FFd, end, SEEK_SET) != end) {
        const int err = fits ? errno : EFBIG;
        Abandon();
        Fail(TStage::Write, err, "Error writing file \"" + FPath + "\"");
    }
}

void TReplacementFile::Commit(bool toDevice) {
    if (FFd < 0) Fail(TStage::Write, EBADF, "Error writing file \"" + FPath + "\"");
    if (toDevice && ::fsync(FFd) != 0) {
        const int err = errno;
        Abandon();
        Fail(TStage::Write, err, "Error writing file \"" + FPath + "\"");
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(FTempPath.c_str());
        ReleaseLock();
        Fail(TStage::Write, err, "Error writing file \"" + FPath + "\"");
    }
    const bool renamed = ::rename(FTempPath.c_str(), FTarget.c_str()) == 0;
    const int err = errno;
    if (!renamed) ::unlink(FTempPath.c_str());
    ReleaseLock();
    if (!renamed) Fail(TStage::Rename, err, "Cannot create file \"" + FPath + "\"");
    if (!toDevice) return;
    // Make the new name itself durable; a failure here loses nothing.
    const int dirFd = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

void ReplaceFileContents(const std::string& path, std::string_view data, bool toDevice) {
    TReplacementFile file(path);
    file.Write(data);
    file.Commit(toDevice);
}

int RemoveLeftoverReplacements(const std::string& path) {
    if (path.empty()) return 0;
    const std::string target = ResolveTarget(path);
    const std::string prefix = TempPrefix(target);
    return RemoveLeftovers(FolderOf(target), [&](std::string_view name) { return IsTempNameFor(name, prefix); });
}

int RemoveLeftoverReplacementsIn(const std::string& folder) {
    if (folder.empty()) return 0;
    return RemoveLeftovers(folder, IsTempName);
}
