#pragma once
// Opening a disk image named by a remote client. The name is taken as
// given (CP/M names such as WORK.1 or A$B included) with ".cpmdsk" added,
// unless it could leave the image folder or name something else there: an
// empty name, one holding a slash, a backslash or a control byte, one
// starting with '.', or one too long for a file name. It is resolved in
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
