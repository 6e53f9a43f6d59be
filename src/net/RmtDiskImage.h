#pragma once
// Opening a disk image named by a remote client. The name is taken as
// given (CP/M names such as WORK.1 or A$B included) with ".cpmdsk" added,
// unless it could leave the image folder or name something else there: an
// empty name, one holding a slash, a backslash or a control byte, one
// starting with '.', or one too long for a file name. What the name finds
// in the image folder is opened as a local drive opens it: a regular file
// of any length, also through a link placed there. Nothing is ever created.

#include <optional>
#include <string>
#include <string_view>

#include "disk/DiskDrive.h"

inline constexpr const char* RemoteImageExtension = ".cpmdsk";

bool IsValidRemoteImageName(std::string_view name);

// The identity of the file folder/name.cpmdsk leads to; nullopt when the
// name is invalid or nothing is there.
std::optional<TImageIdentity> RemoteImageIdentity(const std::string& folder, const std::string& name);

// An open descriptor on folder/name.cpmdsk (read-only when asked, or when
// the file cannot be written), owned by the caller. Any refusal raises
// EDiskError 1 "Selected disk is bad!".
int OpenRemoteImage(const std::string& folder, const std::string& name, bool readOnly);
