#pragma once
// Request datagrams of the remote disk protocol, built the way a client
// builds them, for the tests, the fuzz target and the benchmark.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

inline void Put16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    Put16(out, offset, static_cast<uint16_t>(value));
    Put16(out, offset + 2, static_cast<uint16_t>(value >> 16));
}

inline uint16_t Get16(const std::vector<uint8_t>& in, size_t offset) {
    return static_cast<uint16_t>(in.at(offset) | in.at(offset + 1) << 8);
}

inline uint32_t Get32(const std::vector<uint8_t>& in, size_t offset) {
    return Get16(in, offset) | static_cast<uint32_t>(Get16(in, offset + 2)) << 16;
}

inline std::vector<uint8_t> MountRequest(uint16_t tag, uint16_t disk, const std::string& name, bool readOnly = false) {
    std::vector<uint8_t> out(9 + name.size(), 0);
    out[0] = 1;
    Put16(out, 2, tag);
    out[4] = readOnly ? 1 : 0;
    Put16(out, 6, disk);
    out[8] = static_cast<uint8_t>(name.size());
    for (size_t i = 0; i < name.size(); ++i) out[9 + i] = static_cast<uint8_t>(name[i]);
    if (out.size() < 10) out.resize(10, 0);
    return out;
}

// Nop (command 0) or unmount (command 2).
inline std::vector<uint8_t> SessionRequest(uint8_t command, uint16_t tag, uint32_t id, uint16_t disk) {
    std::vector<uint8_t> out(10, 0);
    out[0] = command;
    Put16(out, 2, tag);
    Put32(out, 4, id);
    Put16(out, 8, disk);
    return out;
}

inline std::vector<uint8_t> ReadRequest(uint16_t tag, uint32_t id, uint16_t disk, uint16_t track, uint16_t sector) {
    std::vector<uint8_t> out(14, 0);
    out[0] = 3;
    Put16(out, 2, tag);
    Put32(out, 4, id);
    Put16(out, 8, disk);
    Put16(out, 10, track);
    Put16(out, 12, sector);
    return out;
}

inline std::vector<uint8_t> WriteRequest(uint16_t tag, uint32_t id, uint16_t disk, uint16_t track, uint16_t sector,
                                         const std::vector<uint8_t>& block) {
    std::vector<uint8_t> out(14 + 2048, 0);
    const std::vector<uint8_t> header = ReadRequest(tag, id, disk, track, sector);
    std::copy(header.begin(), header.end(), out.begin());
    out[0] = 4;
    std::copy_n(block.begin(), std::min<size_t>(block.size(), 2048), out.begin() + 14);
    return out;
}

// The 68-byte error reply a server must send.
inline std::vector<uint8_t> ErrorReply(uint16_t tag, uint16_t code, const std::string& text) {
    std::vector<uint8_t> out(68, 0);
    Put16(out, 0, code);
    Put16(out, 2, tag);
    out[4] = static_cast<uint8_t>(text.size());
    for (size_t i = 0; i < text.size() && i < 63; ++i) out[5 + i] = static_cast<uint8_t>(text[i]);
    return out;
}

inline std::vector<uint8_t> StatusReply(uint16_t tag) {
    std::vector<uint8_t> out(4, 0);
    Put16(out, 2, tag);
    return out;
}

}  // namespace tavrin::test
