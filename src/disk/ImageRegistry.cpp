#include "disk/ImageRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "disk/DiskDrive.h"

namespace {

TImageIdentity FromStat(const struct stat& st) {
    return TImageIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// A lock over the whole file, held by the open file description of fd.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

bool SetWriteLock(int fd) {
    struct flock lock = WholeFile(F_WRLCK);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

void ClearWriteLock(int fd) {
    struct flock lock = WholeFile(F_UNLCK);
    (void)::fcntl(fd, F_OFD_SETLK, &lock);
}

// Whether an open file description other than fd's holds a lock on the
// file; false where the file system cannot tell.
bool LockedByOther(int fd) {
    struct flock lock = WholeFile(F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

}  // namespace

// ---- TRegistration ---------------------------------------------------------

TImageRegistry::TRegistration::~TRegistration() { Release(); }

TImageRegistry::TRegistration::TRegistration(TRegistration&& other) noexcept
    : FId(other.FId), FIdentity(other.FIdentity) {
    other.FId = 0;
}

TImageRegistry::TRegistration& TImageRegistry::TRegistration::operator=(TRegistration&& other) noexcept {
    if (this != &other) {
        Release();
        FId = other.FId;
        FIdentity = other.FIdentity;
        other.FId = 0;
    }
    return *this;
}

void TImageRegistry::TRegistration::Release() {
    if (FId == 0) return;
    TImageRegistry::Instance().Unregister(FId);
    FId = 0;
}

// ---- TImageRegistry --------------------------------------------------------

TImageRegistry& TImageRegistry::Instance() {
    // Never destroyed: an image held by a static object may be released
    // after every function-local static has gone at exit.
    static TImageRegistry* const registry = new TImageRegistry;
    return *registry;
}

std::optional<TImageIdentity> TImageRegistry::IdentityOfPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FromStat(st);
}

std::optional<TImageIdentity> TImageRegistry::IdentityOfFd(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
    return FromStat(st);
}

TImageRegistry::TRegistration TImageRegistry::Register(const TImageIdentity& identity, TImageRole role,
                                                       const void* owner, const std::string& path) {
    std::lock_guard<std::mutex> lock(FLock);
    return Add(TEntry{0, identity, role, owner, path, false});
}

TImageRegistry::TRegistration TImageRegistry::RegisterWriter(int fd, const TImageIdentity& identity, TImageRole role,
                                                             const void* owner, const std::string& path) {
    std::lock_guard<std::mutex> lock(FLock);
    TakeWriteHold(fd, identity);
    return Add(TEntry{0, identity, role, owner, path, true});
}

TImageRegistry::TRegistration TImageRegistry::Add(TEntry entry) {
    entry.Id = FNextId++;
    FEntries.push_back(entry);
    return TRegistration(entry.Id, entry.Identity);
}

void TImageRegistry::Unregister(uint64_t id) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto it = std::find_if(FEntries.begin(), FEntries.end(), [id](const TEntry& e) { return e.Id == id; });
    if (it == FEntries.end()) return;
    if (it->Writer) DropWriteHold(it->Identity);
    FEntries.erase(it);
}

// The lock sits on the first writer's open file; a duplicate descriptor
// keeps it after that writer closes, while other writers here go on.
void TImageRegistry::TakeWriteHold(int fd, const TImageIdentity& identity) {
    const auto held = std::find_if(FWriteHolds.begin(), FWriteHolds.end(),
                                   [&](const TWriteHold& h) { return h.Identity == identity; });
    if (held != FWriteHolds.end()) {
        ++held->Writers;
        return;
    }
    int lockFd = -1;
    if (SetWriteLock(fd)) {
        lockFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (lockFd < 0) {
            ClearWriteLock(fd);
            throw EDiskError("Selected disk is bad!", EDiskError::NoDisk);
        }
    } else if (errno == EAGAIN || errno == EACCES) {
        throw EDiskError("Disk is in use!", EDiskError::DiskInUse);
    }
    // Any other failure is a file system without these locks: the image is
    // written as it always could be, unguarded against other programs.
    FWriteHolds.push_back(TWriteHold{identity, lockFd, 1});
}

void TImageRegistry::DropWriteHold(const TImageIdentity& identity) {
    const auto held = std::find_if(FWriteHolds.begin(), FWriteHolds.end(),
                                   [&](const TWriteHold& h) { return h.Identity == identity; });
    if (held == FWriteHolds.end() || --held->Writers > 0) return;
    if (held->LockFd >= 0) {
        ClearWriteLock(held->LockFd);
        ::close(held->LockFd);
    }
    FWriteHolds.erase(held);
}

bool TImageRegistry::HoldsForWriting(const TImageIdentity& identity) const {
    return std::any_of(FWriteHolds.begin(), FWriteHolds.end(),
                       [&](const TWriteHold& h) { return h.Identity == identity; });
}

bool TImageRegistry::HeldByAnotherProgram(const std::string& path) const {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    const auto identity = IdentityOfFd(fd);
    bool held = false;
    if (identity) {
        // While this program writes the image no other program can; the
        // lock it sees then is its own.
        std::lock_guard<std::mutex> lock(FLock);
        held = !HoldsForWriting(*identity) && LockedByOther(fd);
    }
    ::close(fd);
    return held;
}

bool TImageRegistry::IsOpen(const TImageIdentity& identity) const {
    std::lock_guard<std::mutex> lock(FLock);
    return std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Identity == identity; });
}

bool TImageRegistry::IsOpen(const std::string& path) const {
    const auto identity = IdentityOfPath(path);
    return identity && IsOpen(*identity);
}

bool TImageRegistry::OpenInAnyProgram(const std::string& path) const {
    return IsOpen(path) || HeldByAnotherProgram(path);
}

bool TImageRegistry::IsOpenAs(const TImageIdentity& identity, TImageRole role) const {
    std::lock_guard<std::mutex> lock(FLock);
    return std::any_of(FEntries.begin(), FEntries.end(),
                       [&](const TEntry& e) { return e.Identity == identity && e.Role == role; });
}

bool TImageRegistry::IsOpenBy(const TImageIdentity& identity, TImageRole role, const void* owner) const {
    std::lock_guard<std::mutex> lock(FLock);
    return std::any_of(FEntries.begin(), FEntries.end(),
                       [&](const TEntry& e) { return e.Identity == identity && e.Role == role && e.Owner == owner; });
}

std::vector<TImageRegistry::TEntry> TImageRegistry::EntriesFor(const TImageIdentity& identity) const {
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<TEntry> result;
    for (const TEntry& e : FEntries)
        if (e.Identity == identity) result.push_back(e);
    return result;
}

std::vector<TImageRegistry::TEntry> TImageRegistry::EntriesFor(const std::string& path) const {
    const auto identity = IdentityOfPath(path);
    return identity ? EntriesFor(*identity) : std::vector<TEntry>{};
}

size_t TImageRegistry::OpenCount() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FEntries.size();
}

bool TImageRegistry::IsImageInUse(const std::string& path, const std::vector<std::string>& chosenImages) const {
    const auto identity = IdentityOfPath(path);
    if (!identity) return false;
    const auto entries = EntriesFor(*identity);
    const bool openAsDisk =
        std::any_of(entries.begin(), entries.end(), [](const TEntry& e) { return e.Role != TImageRole::DeviceFile; });
    return openAsDisk ||
           std::any_of(chosenImages.begin(), chosenImages.end(),
                       [&](const std::string& image) { return IdentityOfPath(image) == identity; }) ||
           HeldByAnotherProgram(path);
}

void TImageRegistry::CheckNotHeldRemotely(const TImageIdentity& identity) const {
    if (IsOpenAs(identity, TImageRole::RemoteSession))
        throw EDiskError("The remote disk server holds this disk for a client!", EDiskError::NoDisk);
}

void TImageRegistry::CheckMountable(const TImageIdentity& identity) const {
    CheckNotHeldRemotely(identity);
    if (IsOpenAs(identity, TImageRole::DeviceFile)) throw EDiskError("Disk is in use!", EDiskError::DiskInUse);
}
