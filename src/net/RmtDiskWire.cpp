#include "net/RmtDiskWire.h"

#include <algorithm>
#include <cstring>

namespace rmtdsk {

namespace {

void Put16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    Put16(out, offset, static_cast<uint16_t>(value));
    Put16(out, offset + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

std::string TRequestView::Text(size_t offset, size_t count) const {
    if (offset >= FSize) return {};
    return std::string(reinterpret_cast<const char*>(FData + offset), std::min(count, FSize - offset));
}

const uint8_t* TRequestView::Bytes(size_t offset, size_t count) const {
    return offset <= FSize && count <= FSize - offset ? FData + offset : nullptr;
}

std::vector<uint8_t> StatusReply(uint16_t tag) {
    std::vector<uint8_t> out(StatusReplyLength, 0);
    Put16(out, 2, tag);
    return out;
}

std::vector<uint8_t> MountReply(uint16_t tag, uint32_t sessionId) {
    std::vector<uint8_t> out(MountReplyLength, 0);
    Put16(out, 2, tag);
    Put32(out, 4, sessionId);
    Put16(out, 8, static_cast<uint16_t>(BlockSize));
    Put16(out, 10, TrackCount);
    Put16(out, 12, SectorsPerTrack);
    return out;
}

std::vector<uint8_t> ReadReply(uint16_t tag, const uint8_t* block) {
    std::vector<uint8_t> out(ReadReplyLength, 0);
    Put16(out, 2, tag);
    std::memcpy(out.data() + 4, block, BlockSize);
    return out;
}

std::vector<uint8_t> ErrorReply(uint16_t tag, uint16_t code, const std::string& message) {
    std::vector<uint8_t> out(ErrorReplyLength, 0);
    Put16(out, 0, code == 0 ? ErrOther : code);
    Put16(out, 2, tag);
    const size_t length = std::min(message.size(), MaxErrorText);
    out[4] = static_cast<uint8_t>(length);
    std::memcpy(out.data() + 5, message.data(), length);
    return out;
}

}  // namespace rmtdsk
