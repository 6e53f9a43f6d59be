#pragma once
// Blank disk images for the tests that need one (disk, remote disk, Disk
// Manager, window and fuzz tests and the benchmarks).

#include <cstdint>
#include <string>

#include "support/TempFolder.h"

namespace tavrin::test {

// The size of a disk image: 1 MB.
constexpr int64_t ImageBytes = 1048576;

// A disk image of fill bytes; E5h is an empty CP/M disk.
inline void MakeImage(const std::string& path, uint8_t fill = 0xE5) {
    WriteFile(path, std::string(ImageBytes, static_cast<char>(fill)));
}

}  // namespace tavrin::test
