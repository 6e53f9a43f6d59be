#include "disk/StreamCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

// ---- TDiskFileStream -------------------------------------------------------

TDiskFileStream::TDiskFileStream(int fd) : FFd(fd) {}

TDiskFileStream::~TDiskFileStream() {
    if (FFd >= 0) ::close(FFd);
}

int64_t TDiskFileStream::Size() const {
    struct stat st {};
    if (::fstat(FFd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

int64_t TDiskFileStream::Seek(int64_t offset) {
    if (offset < 0) return -1;
    FPosition = offset;
    return FPosition;
}

namespace {

// Repeats a positioned read or write until count bytes are done, the file
// ends, or it fails: the bytes done, or -1 when the first call failed.
template <typename TCall>
int64_t TransferAll(int64_t count, int64_t& position, TCall call) {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = call(done, static_cast<size_t>(count - done), position);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? done : -1;
        }
        if (n == 0) break;
        done += n;
        position += n;
    }
    return done;
}

}  // namespace

int64_t TDiskFileStream::Read(void* buffer, int64_t count) {
    if (count < 0 || !buffer) return -1;
    auto* p = static_cast<uint8_t*>(buffer);
    return TransferAll(count, FPosition,
                       [&](int64_t done, size_t n, int64_t at) { return ::pread(FFd, p + done, n, at); });
}

int64_t TDiskFileStream::Write(const void* buffer, int64_t count) {
    if (count < 0 || !buffer) return -1;
    const auto* p = static_cast<const uint8_t*>(buffer);
    return TransferAll(count, FPosition,
                       [&](int64_t done, size_t n, int64_t at) { return ::pwrite(FFd, p + done, n, at); });
}

// ---- TStreamCache ----------------------------------------------------------

TStreamCache::TStreamCache(TDiskStream* stream, int64_t baseOffset, int32_t recordCount, int32_t recordSize,
                           int32_t windowRecords)
    : FStream(stream),
      FBaseOffset(std::max<int64_t>(baseOffset, 0)),
      FRecordCount(std::max(recordCount, 0)),
      FRecordSize(std::max(recordSize, 1)),
      FWindowRecords(std::max(windowRecords, 1)) {
    // One spare record beyond the window.
    const int64_t bytes = (int64_t{FWindowRecords} + 1) * FRecordSize;
    FBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(bytes));
}

TStreamCache::~TStreamCache() = default;

bool TStreamCache::IsCached(int32_t index) const {
    return FFirstCached >= 0 && index >= FFirstCached && int64_t{index} < int64_t{FFirstCached} + FCachedCount;
}

const uint8_t* TStreamCache::GetCachedRecord(int32_t index) const {
    if (!FBuffer || !IsCached(index)) return nullptr;
    return FBuffer.get() + static_cast<size_t>(index - FFirstCached) * static_cast<size_t>(FRecordSize);
}

bool TStreamCache::LoadWindow(int32_t index) {
    if (index < 0 || index >= FRecordCount) return false;

    const int32_t old = FFirstCached;
    FFirstCached = -1;
    FCachedCount = 0;

    // Read mostly ahead of the record when moving forwards (or from an
    // empty window), mostly behind it when moving backwards.
    const int64_t lead = old > index ? FWindowRecords * int64_t{3} / 4 : FWindowRecords / 4;
    int64_t first = std::max<int64_t>(index - lead, 0);
    if (!FBuffer || !FStream) return false;

    int64_t last = first + FWindowRecords - 1;
    if (last >= FRecordCount) {
        // Near the end keep a full window where the stream has one.
        first = std::max<int64_t>(int64_t{FRecordCount} - FWindowRecords, 0);
        last = FRecordCount - 1;
    }
    const int64_t bytes = (last - first + 1) * FRecordSize;
    if (bytes < 1) return false;

    try {
        const int64_t offset = FBaseOffset + first * FRecordSize;
        if (FStream->Seek(offset) != offset) return false;
        if (FStream->Read(FBuffer.get(), bytes) != bytes) return false;
    } catch (...) {
        return false;
    }
    FFirstCached = static_cast<int32_t>(first);
    FCachedCount = static_cast<int32_t>(bytes / FRecordSize);
    return true;
}

const uint8_t* TStreamCache::GetRecord(int32_t index) {
    if (const uint8_t* p = GetCachedRecord(index)) return p;
    if (!LoadWindow(index)) return nullptr;
    return GetCachedRecord(index);
}

int TStreamCache::WriteRecord(int32_t index, const void* data) { return WriteRecords(index, 1, data); }

int TStreamCache::WriteRecords(int32_t index, int32_t count, const void* data) {
    if (index < 0 || count < 1 || count > FRecordCount - index) return WriteOutOfRange;
    if (!data || !FStream) return WriteFailed;
    try {
        const int64_t offset = FBaseOffset + int64_t{index} * FRecordSize;
        const int64_t bytes = int64_t{count} * FRecordSize;
        if (FStream->Seek(offset) != offset) return WriteSeekFailed;
        if (FStream->Write(data, bytes) != bytes) return WriteFailed;
        const auto* source = static_cast<const uint8_t*>(data);
        for (int32_t k = 0; k < count; ++k) {
            if (!IsCached(index + k)) continue;
            uint8_t* cached =
                FBuffer.get() + static_cast<size_t>(index + k - FFirstCached) * static_cast<size_t>(FRecordSize);
            std::memcpy(cached, source + static_cast<size_t>(k) * static_cast<size_t>(FRecordSize),
                        static_cast<size_t>(FRecordSize));
        }
    } catch (...) {
        return WriteFailed;
    }
    return WriteOk;
}
