#pragma once
// A list of host files with their size, attribute bits and time stamps as
// the file system reports them. The Disk Manager builds one from the files
// chosen for an import to total their sizes before anything is copied.
// Plain C++ (POSIX stat), no Qt.

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// Days since 30 December 1899, fractions for the time of day.
using TDateTime = double;

// The time stamp as stored by the file system (no conversion to local time);
// 0 for a time that cannot be represented.
TDateTime FileTimeToDateTime(const struct timespec& FileTime);

class TFileItem {
public:
    TFileItem() { Init(); }

    std::string FileName;     // the path given to TFileItemList::AddFile
    std::string Key;          // optional second lookup key, empty when unused
    int64_t Size = -1;        // bytes; -1 until a successful refresh
    uint32_t Attributes = 0;  // the host's mode bits
    TDateTime CreationTime = 0;
    TDateTime LastWriteTime = 0;
    TDateTime LastAccessTime = 0;

    void Init();
    // Reads the file's figures (links followed); false and the Init values
    // when the file cannot be examined.
    bool Refresh();
};

class TFileItemList {
public:
    std::vector<std::unique_ptr<TFileItem>> Items;
    // Host file names on Linux differ by case, so lookups are exact unless
    // a caller asks otherwise.
    bool CaseSensitive = true;

    void Clear() { Items.clear(); }
    int Count() const { return static_cast<int>(Items.size()); }
    // nullptr when i is out of range.
    TFileItem* GetItem(int i) const;
    // First item whose FileName equals FileName; -1 when none.
    int IndexOf(const std::string& FileName) const;
    // nullptr for an empty FileName. Finds the item by Key (exact) when Key
    // is given, else by FileName; appends a new one when none matches; then
    // refreshes it when asked.
    TFileItem* AddFile(const std::string& FileName, const std::string& Key, bool Refresh);
    // Sum of the sizes, a file that cannot be found counting -1.
    int64_t TotalSize() const;

private:
    TFileItem* Find(const std::string& FileName, const std::string& Key) const;
};
