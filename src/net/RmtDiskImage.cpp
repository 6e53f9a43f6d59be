#include "net/RmtDiskImage.h"

#include <climits>
#include <filesystem>

namespace {

// The longest name whose file name (with the extension) fits in a directory entry.
constexpr size_t MaxNameLength = NAME_MAX - std::string_view(RemoteImageExtension).size();

// folder/name.cpmdsk; nullopt for a refused name. An empty folder is
// refused rather than taken as the current one.
std::optional<std::string> ImagePath(const std::string& folder, const std::string& name) {
    if (folder.empty() || !IsValidRemoteImageName(name)) return std::nullopt;
    return (std::filesystem::path(folder) / (name + RemoteImageExtension)).string();
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
    const auto path = ImagePath(folder, name);
    return path ? TImageRegistry::IdentityOfPath(*path) : std::nullopt;
}

int OpenRemoteImage(const std::string& folder, const std::string& name, bool readOnly) {
    const auto path = ImagePath(folder, name);
    const int fd =
        path ? TDiskDrive::OpenImageFile(*path, readOnly ? TDiskAccess::ReadOnly : TDiskAccess::ReadWrite) : -1;
    if (fd < 0) throw EDiskError("Selected disk is bad!", EDiskError::NoDisk);
    return fd;
}
