#pragma once
// Helpers for the CP/M file-system tests: raw access to directory entries
// and blocks by file offset, and file contents (blank images come from
// support/DiskImage.h).

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/DiskImage.h"
#include "disk/CpmDiskDrive.h"

namespace tavrin::test {

constexpr int64_t DirOffset = 2 * 32 * 128;  // track 2 sector 0
constexpr int64_t BlockBytes = 2048;

inline int64_t BlockOffset(int block) { return DirOffset + int64_t{block} * BlockBytes; }

inline std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    const std::string s = ReadFile(path);
    return {s.begin(), s.end()};
}

inline void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

inline void Poke(const std::string& path, int64_t offset, const std::vector<uint8_t>& bytes) {
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(offset);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> Peek(const std::string& path, int64_t offset, size_t count) {
    std::ifstream f(path, std::ios::binary);
    f.seekg(offset);
    std::vector<uint8_t> bytes(count);
    f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(f.gcount()));
    return bytes;
}

// An entry with the given 8+3 name bytes (blank padded, taken as they are).
inline TCpmDirEntry MakeEntry(uint8_t user, const std::string& name, const std::string& ext, uint8_t ex, uint8_t s2,
                              uint8_t rc, std::initializer_list<uint16_t> pointers) {
    TCpmDirEntry e{};
    e[0] = user;
    for (int i = 0; i < 8; ++i) e[1 + i] = static_cast<uint8_t>(i < static_cast<int>(name.size()) ? name[i] : ' ');
    for (int i = 0; i < 3; ++i) e[9 + i] = static_cast<uint8_t>(i < static_cast<int>(ext.size()) ? ext[i] : ' ');
    e[12] = ex;
    e[14] = s2;
    e[15] = rc;
    int p = 0;
    for (uint16_t b : pointers) {
        e[16 + 2 * p] = static_cast<uint8_t>(b);
        e[17 + 2 * p] = static_cast<uint8_t>(b >> 8);
        ++p;
    }
    return e;
}

inline void PokeEntry(const std::string& path, int index, const TCpmDirEntry& e) {
    Poke(path, DirOffset + int64_t{index} * 32, std::vector<uint8_t>(e.begin(), e.end()));
}

inline TCpmDirEntry PeekEntry(const std::string& path, int index) {
    const auto bytes = Peek(path, DirOffset + int64_t{index} * 32, 32);
    TCpmDirEntry e{};
    std::copy(bytes.begin(), bytes.end(), e.begin());
    return e;
}

// Deterministic filler that never contains 1Ah, so text exports keep it all.
inline std::vector<uint8_t> CpmFilePattern(size_t count, uint32_t seed) {
    std::vector<uint8_t> v(count);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
        if (b == 0x1A) b = 0x1B;
    }
    return v;
}

inline std::string AsString(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace tavrin::test
