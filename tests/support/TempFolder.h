#pragma once
// A fresh folder under the system's temporary folder, removed with its
// contents on destruction, and whole-file reads and writes.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace tavrin::test {

class TTempFolder {
public:
    TTempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavrin-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        FPath = pattern;
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The folder with a trailing separator, as the machine expects it.
    std::string Folder() const { return FPath.string() + "/"; }
    std::string File(const std::string& name) const { return (FPath / name).string(); }
    std::string operator/(const std::string& name) const { return File(name); }
    // Entries in the folder: stray temporary files show up here.
    long Count() const {
        return std::distance(std::filesystem::directory_iterator(FPath), std::filesystem::directory_iterator());
    }

private:
    std::filesystem::path FPath;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

}  // namespace tavrin::test
