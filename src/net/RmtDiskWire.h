#pragma once
// Datagram layouts of the remote disk protocol. Every multi-byte field is
// little-endian; offsets count from the first byte of the UDP payload.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rmtdsk {

enum TCommand : uint8_t { CmdNop = 0, CmdMount = 1, CmdUnmount = 2, CmdRead = 3, CmdWrite = 4 };
// The commands the server answers; any other is ignored.
inline bool IsKnownCommand(uint8_t command) { return command <= CmdWrite; }

inline constexpr size_t BlockSize = 2048;
inline constexpr uint16_t TrackCount = 256;
inline constexpr uint16_t SectorsPerTrack = 32;

// Request lengths.
inline constexpr size_t SessionRequestLength = 10;  // nop and unmount
inline constexpr size_t MountMinLength = 10;
inline constexpr size_t MountMaxLength = 72;
inline constexpr size_t ReadRequestLength = 14;
inline constexpr size_t WriteRequestLength = 14 + BlockSize;

// Request offsets.
inline constexpr size_t TagOffset = 2;
inline constexpr size_t SessionIdOffset = 4;
inline constexpr size_t ClientDiskOffset = 8;
inline constexpr size_t MountFlagsOffset = 4;
inline constexpr size_t MountClientDiskOffset = 6;
inline constexpr size_t MountNameLengthOffset = 8;
inline constexpr size_t MountNameOffset = 9;
inline constexpr size_t TrackOffset = 10;
inline constexpr size_t SectorOffset = 12;
inline constexpr size_t WriteDataOffset = 14;

inline constexpr uint8_t MountReadOnlyFlag = 0x01;

// Reply lengths.
inline constexpr size_t StatusReplyLength = 4;
inline constexpr size_t MountReplyLength = 14;
inline constexpr size_t ReadReplyLength = 4 + BlockSize;
inline constexpr size_t ErrorReplyLength = 68;
inline constexpr size_t MaxErrorText = 63;

// Error codes beyond the disk layer's own.
inline constexpr uint16_t ErrBadRequest = 32;
inline constexpr uint16_t ErrOther = 255;

// A received datagram, read field by field. Bytes past its end read as 0,
// so nothing is ever read beyond what arrived.
class TRequestView {
public:
    TRequestView(const uint8_t* data, size_t size) : FData(data), FSize(data ? size : 0) {}
    size_t Size() const { return FSize; }
    uint8_t U8(size_t offset) const { return offset < FSize ? FData[offset] : 0; }
    uint16_t U16(size_t offset) const { return static_cast<uint16_t>(U8(offset) | U8(offset + 1) << 8); }
    uint32_t U32(size_t offset) const { return U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16; }
    // Count bytes from offset, cut to what arrived.
    std::string Text(size_t offset, size_t count) const;
    // Pointer to count bytes at offset, or nullptr when they did not all arrive.
    const uint8_t* Bytes(size_t offset, size_t count) const;

    uint8_t Command() const { return U8(0) & 0x7F; }
    uint16_t Tag() const { return U16(TagOffset); }

private:
    const uint8_t* FData;
    size_t FSize;
};

std::vector<uint8_t> StatusReply(uint16_t tag);
std::vector<uint8_t> MountReply(uint16_t tag, uint32_t sessionId);
std::vector<uint8_t> ReadReply(uint16_t tag, const uint8_t* block);
// Code never 0 (0 becomes 255); the text is cut to 63 characters.
std::vector<uint8_t> ErrorReply(uint16_t tag, uint16_t code, const std::string& message);

}  // namespace rmtdsk
