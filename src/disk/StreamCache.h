#pragma once
// A read window over a stream of fixed-size records, with write-through.
//
// The window holds up to WindowRecords consecutive records. A miss reloads
// it around the wanted record: a quarter of the window lies before it when
// moving forwards, three quarters when moving backwards, so sequential access
// in either direction costs one seek and one read per window. Writes go
// straight to the stream and refresh the cached copy; the window is never
// dirty and a write outside it loads nothing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// Minimal positioned byte stream under a record cache. Results follow the
// read(2)/write(2) convention: a byte count, or -1 on failure.
class TDiskStream {
public:
    virtual ~TDiskStream() = default;
    virtual int64_t Size() const = 0;
    // Moves to an absolute offset; returns the new position or -1.
    virtual int64_t Seek(int64_t offset) = 0;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
};

// A stream on an open host file descriptor (owned, closed on destruction).
class TDiskFileStream : public TDiskStream {
public:
    explicit TDiskFileStream(int fd);
    ~TDiskFileStream() override;
    TDiskFileStream(const TDiskFileStream&) = delete;
    TDiskFileStream& operator=(const TDiskFileStream&) = delete;

    int64_t Size() const override;
    int64_t Seek(int64_t offset) override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int Fd() const { return FFd; }

private:
    int FFd;
    int64_t FPosition = 0;
};

class TStreamCache {
public:
    // WriteRecord results.
    static constexpr int WriteOk = 0;
    static constexpr int WriteFailed = -1;
    static constexpr int WriteSeekFailed = -3;
    static constexpr int WriteOutOfRange = -4;

    // The stream is not owned. Negative counts are taken as 0; record size
    // and window are at least 1.
    TStreamCache(TDiskStream* stream, int64_t baseOffset, int32_t recordCount, int32_t recordSize,
                 int32_t windowRecords);
    ~TStreamCache();
    TStreamCache(const TStreamCache&) = delete;
    TStreamCache& operator=(const TStreamCache&) = delete;

    bool IsCached(int32_t index) const;
    // The record inside the window, or nullptr when it is not loaded.
    const uint8_t* GetCachedRecord(int32_t index) const;
    // Reloads the window around index; false (window empty unless index
    // was out of range, when the window stays as it was) on failure.
    bool LoadWindow(int32_t index);
    // The record, loading the window when needed; nullptr on failure. Valid
    // until the next window load.
    const uint8_t* GetRecord(int32_t index);
    // Writes RecordSize bytes of data at index: WriteOk, WriteFailed,
    // WriteSeekFailed or WriteOutOfRange.
    int WriteRecord(int32_t index, const void* data);
    // Count consecutive records from index in one write; the same results.
    int WriteRecords(int32_t index, int32_t count, const void* data);

    TDiskStream* Stream() const { return FStream; }
    int64_t BaseOffset() const { return FBaseOffset; }
    int32_t RecordCount() const { return FRecordCount; }
    int32_t RecordSize() const { return FRecordSize; }
    int32_t WindowRecords() const { return FWindowRecords; }
    // -1 when the window is empty.
    int32_t FirstCached() const { return FFirstCached; }
    int32_t CachedCount() const { return FCachedCount; }

private:
    TDiskStream* FStream;
    int64_t FBaseOffset;
    int32_t FRecordCount;
    int32_t FRecordSize;
    int32_t FWindowRecords;
    int32_t FFirstCached = -1;
    int32_t FCachedCount = 0;
    std::unique_ptr<uint8_t[]> FBuffer;
};
