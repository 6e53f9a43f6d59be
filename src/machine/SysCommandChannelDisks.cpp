// MOUNT and UNMOUNT: disk images are NAME + ".cpmdsk" in the program folder.
// Names come from the emulated program, so they never leave that folder, and
// they match file names without regard to case, as CP/M users expect.

#include "machine/SysCommandChannel.h"

#include <algorithm>
#include <dirent.h>
#include <exception>
#include <sys/stat.h>

namespace {

const char* const DiskExtension = ".cpmdsk";

bool IsDriveLetter(char c) { return c >= 'A' && c <= 'D'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The entries of a folder, in a stable order: case-insensitive by name,
// then by exact name. Hidden entries (leading ".") are left out.
std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (!name.empty() && name[0] != '.') names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = a, lb = b;
        std::transform(la.begin(), la.end(), la.begin(), LowerAscii);
        std::transform(lb.begin(), lb.end(), lb.begin(), LowerAscii);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

}  // namespace

bool IsValidDiskName(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos) return false;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F) return false;
    }
    return true;
}

bool SysWildcardMatch(const std::string& pattern, const std::string& name) {
    // Greedy match with one back-track point for the last "*".
    size_t p = 0, n = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void TSysCommandChannel::AddDriveLine(TLines& lines, char letter) const {
    lines.push_back(std::string("  ") + letter + ": " + FHost.DriveCaption(static_cast<uint8_t>(letter - 'A')));
}

void TSysCommandChannel::AddDriveList(TLines& lines) const {
    for (char letter = 'A'; letter <= 'D'; ++letter) AddDriveLine(lines, letter);
}

char TSysCommandChannel::FindMountedDrive(const std::string& fileName) const {
    // Images are the same when they are the same file, whatever path named
    // them; a path that cannot be examined compares by its text.
    struct stat file {};
    const bool fileKnown = ::stat(fileName.c_str(), &file) == 0;
    for (uint8_t d = 0; d < 4; ++d) {
        const std::string path = FHost.DrivePath(d);
        if (path.empty()) continue;
        if (path == fileName) return static_cast<char>('A' + d);
        struct stat other {};
        if (fileKnown && ::stat(path.c_str(), &other) == 0 && other.st_dev == file.st_dev &&
            other.st_ino == file.st_ino)
            return static_cast<char>('A' + d);
    }
    return 0;
}

std::string TSysCommandChannel::FindDiskFile(const std::string& name) const {
    // Hidden files are not listed, so they cannot be mounted either.
    if (name.empty() || name[0] == '.') return {};
    const std::string& folder = FHost.ProgramFolderPath();
    const std::string wanted = name + DiskExtension;
    if (IsRegularFile(folder + wanted)) return folder + wanted;
    for (const std::string& entry : FolderEntries(folder))
        if (SameTextIgnoringCase(entry, wanted) && IsRegularFile(folder + entry)) return folder + entry;
    return {};
}

void TSysCommandChannel::SysListDisks(TLines& lines, const std::string& search) {
    lines.push_back("Available disks to mount:");
    lines.push_back("");
    if (!IsValidDiskName(search)) {
        lines.push_back("Invalid disk identifier \"" + search + "\"!");
        return;
    }
    const std::string& folder = FHost.ProgramFolderPath();
    const std::string pattern = search + DiskExtension;
    const size_t extLength = std::char_traits<char>::length(DiskExtension);
    bool found = false;
    for (const std::string& entry : FolderEntries(folder)) {
        if (entry.size() <= extLength || !SysWildcardMatch(pattern, entry)) continue;
        const std::string path = folder + entry;
        if (!IsRegularFile(path) || FindMountedDrive(path) != 0) continue;
        lines.push_back("  " + entry.substr(0, entry.size() - extLength));
        found = true;
    }
    if (!found) lines.push_back("No mountable disks found!");
}

void TSysCommandChannel::SysMountDisk(TLines& lines, char letter, const std::string& name) {
    if (!IsDriveLetter(letter)) {
        lines.push_back(std::string("Invalid drive identifier \"") + letter + "\"!");
        return;
    }
    if (!IsValidDiskName(name)) {
        lines.push_back("Invalid disk identifier \"" + name + "\"!");
        return;
    }
    const std::string file = FindDiskFile(name);
    if (file.empty()) {
        lines.push_back("No such disk as \"" + name + "\"!");
        return;
    }
    if (char mounted = FindMountedDrive(file)) {
        lines.push_back(std::string("The disk is already mounted in drive \"") + mounted + "\"!");
        return;
    }
    const auto drive = static_cast<uint8_t>(letter - 'A');
    // A disk the drive held counts as changed unless a refused mount left
    // that same disk in place.
    const bool held = FHost.DriveMounted(drive);
    const std::string heldPath = FHost.DrivePath(drive);
    bool mounted = false;
    try {
        FHost.MountDrive(drive, file);
        mounted = FHost.DriveMounted(drive);
        lines.push_back(mounted ? "Mounted \"" + name + "\" in drive \"" + letter + "\"!"
                                : "An error occurred while mounting the disk!");
    } catch (const std::exception& e) {
        lines.push_back(e.what());
    } catch (...) {
        lines.push_back("An error occurred while mounting the disk!");
    }
    const bool keptOld = !mounted && FHost.DriveMounted(drive) && FHost.DrivePath(drive) == heldPath;
    FSysDiskChanged = held && !keptOld;
}

std::string TSysCommandChannel::SysMountCommand(const std::string& arguments) {
    TLines lines{""};
    const std::string& arg = arguments;
    if (arg.empty()) {
        lines.insert(lines.end(), {
                                      "Mount a disk into any drive, or view a list of disks:",
                                      "",
                                      "  \"MOUNT d: disk_name\" -- mount a disk",
                                      "  \"MOUNT search_name\" -- list matching unmounted disks",
                                      "",
                                      "    \"d\" is a drive letter.",
                                      "    \"disk_name\" is a valid disk name.",
                                      "    \"search_name\" is a valid file search name.",
                                      "",
                                      "  (ie. \"MOUNT a: text edit\" -- mounts disk \"text edit\" into drive A:)",
                                      "  (ie. \"MOUNT work*\" -- lists all disks that start with \"work\")",
                                      "",
                                      "Currently mounted disks:",
                                      "",
                                  });
        AddDriveList(lines);
        lines.push_back("");
    } else if (arg == "*") {
        SysListDisks(lines, arg);
    } else if (arg.size() == 1) {
        if (IsDriveLetter(arg[0]))
            AddDriveLine(lines, arg[0]);
        else
            lines.push_back("Invalid drive identifier \"" + arg + "\"!");
    } else if (arg.find_first_of("*?") != std::string::npos) {
        SysListDisks(lines, arg);
    } else if (arg.size() == 2 && arg[1] == ':') {
        if (IsDriveLetter(arg[0]))
            AddDriveLine(lines, arg[0]);
        else
            lines.push_back("Invalid drive identifier \"" + arg + "\"!");
    } else if (arg[1] == ':') {
        SysMountDisk(lines, arg[0], SysTrim(arg.substr(2)));
    } else {
        lines.push_back("You must indicate the drive to mount the disk!");
    }
    return JoinLines(lines);
}

void TSysCommandChannel::SysEjectDrive(TLines& lines, char letter) {
    FHost.UnmountDrive(static_cast<uint8_t>(letter - 'A'));
    lines.push_back(std::string("Disk removed from drive \"") + letter + "\"!");
}

std::string TSysCommandChannel::SysUnmountCommand(const std::string& arguments) {
    TLines lines{""};
    const std::string& arg = arguments;
    if (arg.empty()) {
        lines.insert(lines.end(), {
                                      "Remove a disk from any drive:",
                                      "",
                                      "  \"UNMOUNT d:\" -- remove the disk from the drive \"d\"",
                                      "",
                                      "    \"d\" is the drive letter to remove the disk from.",
                                      "",
                                      "  (ie. \"UNMOUNT b:\" -- removes the disk from drive B:)",
                                      "",
                                      "Currently mounted disks:",
                                      "",
                                  });
        AddDriveList(lines);
        lines.push_back("");
    } else if (arg.size() == 2 && arg[1] == ':') {
        const char letter = (arg[0] >= 'a' && arg[0] <= 'z') ? static_cast<char>(arg[0] - 'a' + 'A') : arg[0];
        if (letter == 'A') {
            lines.push_back("You may not remove the boot disk in drive A:");
            lines.push_back("Use the MOUNT command to change boot disk!");
        } else if (IsDriveLetter(letter)) {
            SysEjectDrive(lines, letter);
        } else {
            lines.push_back(std::string("Invalid drive identifier \"") + letter + "\"!");
        }
    } else {
        lines.push_back("Invalid drive identifier \"" + arg + "\"!");
    }
    return JoinLines(lines);
}
