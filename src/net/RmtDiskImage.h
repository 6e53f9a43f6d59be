#pragma once
// Opening a disk image named by a remote client. Only plain names are
// taken ([A-Za-z0-9_-], 1 to 63 characters, ".cpmdsk" added), resolved in
// the image folder, never through a link, and only a regular file of
// exactly one image's size is opened. Nothing is ever created.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "disk/DiskDrive.h"

inline constexpr const char* RemoteImageExtension = ".cpmdsk";

bool IsValidRemoteImageName(std::string_view name);

// The identity of folder/name.cpmdsk without following a link; nullopt
// when the name is invalid or nothing is there.
std::optional<TImageIdentity> RemoteImageIdentity(const std::string& folder, const std::string& name);

// An open descriptor on folder/name.cpmdsk (read-only when asked), owned by
// the caller. Any refusal raises EDiskError 1 "Selected disk is bad!".
int OpenRemoteImage(const std::string& folder, const std::string& name, bool readOnly);
