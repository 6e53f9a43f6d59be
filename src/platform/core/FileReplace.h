#pragma once
// Safe replacement of a file: the new contents go to a temporary file in the
// same folder, are flushed, and the temporary file is renamed over the old
// one. A failure at any step removes the temporary file and leaves the old
// file as it was.

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

// Failure of ReplaceFileContents, with the step that failed.
class EFileReplaceError : public std::system_error {
public:
    enum class TStage { Create, Write, Rename };
    EFileReplaceError(TStage stage, int err, const std::string& what)
        : std::system_error(err, std::generic_category(), what), Stage(stage) {}
    TStage Stage;
};

// A new file written beside path and put in its place by Commit. Until then
// the old file stays as it was; a replacement destroyed uncommitted removes
// its temporary file, and one whose process dies leaves it unlocked for
// RemoveLeftoverReplacements. A path that is a link to a file replaces the file the
// link points to, keeping the link. Failures throw EFileReplaceError naming
// the path.
class TReplacementFile {
public:
    explicit TReplacementFile(const std::string& path);
    ~TReplacementFile();
    TReplacementFile(const TReplacementFile&) = delete;
    TReplacementFile& operator=(const TReplacementFile&) = delete;

    void Write(std::string_view data);
    // Count zero bytes left as a hole: the file grows without taking space
    // on the host disk for them.
    void Skip(uint64_t count);
    // Flushes the data to the device and renames the file into place.
    // Without toDevice the flush is left to the system: the rename still
    // never shows a partial file, but a power loss may lose the new one
    // (for copies whose source stays, such as exports from an image).
    void Commit(bool toDevice = true);
    // Drops the temporary file; the old file stays. Also done on destruction.
    void Abandon();
    bool Open() const { return FFd >= 0; }

private:
    std::string FPath;    // as given, for messages
    std::string FTarget;  // the file that is replaced
    std::string FTempPath;
    int FFd = -1;
    int FLockFd = -1;  // holds the temporary file's lock until it is renamed or removed

    void ReleaseLock();
};

// The whole contents at once.
void ReplaceFileContents(const std::string& path, std::string_view data, bool toDevice = true);

// Removes the temporary files that replacements of path left behind when
// their process ended between writing and renaming (killed, or a power
// loss). Only names of this unit's own pattern for path count, and only
// files whose writer has gone: a writer holds a lock on its temporary file
// while it lives, whatever process id its name carries. Returns how many
// went. Errors are ignored: a leftover only takes room.
int RemoveLeftoverReplacements(const std::string& path);
// The same for the leftovers of replacements of any file in folder.
int RemoveLeftoverReplacementsIn(const std::string& folder);
