#pragma once
// Files for the recorder tests: a fresh temporary folder per test, whole-file
// reads, and the golden dumps kept beside the tests.

#include <filesystem>
#include <string>

namespace tavrin::test {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::string& path);
std::string GoldenFile(const std::string& name);

}  // namespace tavrin::test
