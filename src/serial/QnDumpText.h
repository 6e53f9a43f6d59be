#pragma once
// Pieces shared by the trace and dispatch-log dumps: how a byte is shown,
// line breaking at column 78, the host facts of the log header, and writing
// the finished text through a temporary file and a rename.

#include <cstdint>
#include <string>

inline constexpr const char* DumpLineBreak = "\r\n";

// A byte as the dumps show it: "[hh]" for every byte with allHex; otherwise
// the character itself from the space ("!" with inHex) to "~", else "[hh]"
// with inHex or "[ddd]" in decimal without.
std::string RenderDumpByte(uint8_t byte, bool inHex, bool allHex);

// Appends items to a text, breaking the line before an item that would take
// the column counter past 78. After a break the line starts with `indent`
// blanks and the counter restarts at the item's width plus `restartExtra`.
class TDumpColumns {
public:
    TDumpColumns(std::string& out, int indent, int restartExtra)
        : out_(out), indent_(indent), restartExtra_(restartExtra) {}

    void SetColumn(int column) { column_ = column; }
    void Put(const std::string& item);

private:
    std::string& out_;
    int indent_;
    int restartExtra_;
    int column_ = 0;
};

// Replaces the file with `text`, or with its old content followed by `text`
// when `append` is set and the file exists. The new content is written to a
// temporary file in the same folder and renamed over the old one, so a failed
// dump never leaves a half-written file. 0, or minus the errno of the failure.
int32_t WriteDumpFile(const std::string& fileName, const std::string& text, bool append);

// "Linux " and the kernel release, at most 80 characters.
std::string OperatingSystemText();
// The toolchain the program was built with.
std::string CompilerText();
// The current local date and time as "dd/mm/yy, hh:mm:ss".
std::string DumpDateTimeText();
