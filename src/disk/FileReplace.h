#pragma once
// Safe replacement of a file: the new contents go to a temporary file in the
// same folder, are flushed, and the temporary file is renamed over the old
// one. A failure at any step removes the temporary file and leaves the old
// file as it was.

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

// Throws EFileReplaceError naming the path on failure. A path that is a
// link to a file replaces the file the link points to, keeping the link.
void ReplaceFileContents(const std::string& path, std::string_view data);
