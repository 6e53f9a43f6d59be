#include "disk/ImageRegistry.h"

#include <sys/stat.h>

#include <algorithm>

#include "disk/DiskDrive.h"

namespace {

TImageIdentity FromStat(const struct stat& st) {
    return TImageIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
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
    const uint64_t id = FNextId++;
    FEntries.push_back(TEntry{id, identity, role, owner, path});
    return TRegistration(id, identity);
}

void TImageRegistry::Unregister(uint64_t id) {
    std::lock_guard<std::mutex> lock(FLock);
    std::erase_if(FEntries, [id](const TEntry& e) { return e.Id == id; });
}

bool TImageRegistry::IsOpen(const TImageIdentity& identity) const {
    std::lock_guard<std::mutex> lock(FLock);
    return std::any_of(FEntries.begin(), FEntries.end(), [&](const TEntry& e) { return e.Identity == identity; });
}

bool TImageRegistry::IsOpen(const std::string& path) const {
    const auto identity = IdentityOfPath(path);
    return identity && IsOpen(*identity);
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
    return openAsDisk || std::any_of(chosenImages.begin(), chosenImages.end(),
                                     [&](const std::string& image) { return IdentityOfPath(image) == identity; });
}

void TImageRegistry::CheckNotHeldRemotely(const TImageIdentity& identity) const {
    if (IsOpenAs(identity, TImageRole::RemoteSession))
        throw EDiskError("The remote disk server holds this disk for a client!", EDiskError::NoDisk);
}

void TImageRegistry::CheckMountable(const TImageIdentity& identity) const {
    CheckNotHeldRemotely(identity);
    if (IsOpenAs(identity, TImageRole::DeviceFile)) throw EDiskError("Disk is in use!", EDiskError::DiskInUse);
}
