#pragma once
// The dispatch log of a dispatcher: timed records of device reads and writes,
// trigger messages and handler changes, kept back to back in a byte ring
// (16-byte header + data) that drops whole oldest entries when full, and
// written to a text file on request. Safe to use from several threads.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct TLogEntry {
    uint8_t Kind = 0;
    uint8_t SubKind = 0;
    uint32_t Time = 0;  // milliseconds since the log's start time
    uint32_t Data = 0;
    std::vector<uint8_t> Bytes;
    bool operator==(const TLogEntry&) const = default;
};

inline constexpr uint32_t LogHeaderSize = 16;

// Host facts of the dump header; filled from the host unless a test fixes them.
struct TLogHeaderInfo {
    std::string Compiler;
    std::string OperatingSystem;
    std::string DateTime;
    static TLogHeaderInfo FromHost();
};

// The whole text of a dump: the seven header lines and one row per entry.
std::string FormatDispatchLog(const std::vector<TLogEntry>& entries, const std::string& deviceName,
                              const TLogHeaderInfo& header, bool inHex, bool allHex);

class TQnDispatchLog {
public:
    TQnDispatchLog();

    // Allocates the ring (or empties an existing one) and starts logging.
    void InitDispatchLog(uint32_t size);
    void ClearDispatchLog();
    void AbortDispatchLog();
    void StartDispatchLog();  // only when a ring exists
    void StopDispatchLog();
    bool Logging() const;

    // Origin of entry times, and the clock they are read from.
    void SetStartTime(uint64_t milliseconds);
    void SetClock(std::function<uint64_t()> clock);
    void SetDeviceName(const std::string& name);

    // Records one entry whole, or nothing: false when not logging or when
    // the entry is larger than the whole ring.
    bool AddDispatchEntry(uint8_t kind, uint8_t subKind, uint32_t data, const uint8_t* bytes, uint32_t length);

    // The entries held, oldest first.
    std::vector<TLogEntry> Entries() const;

    // Write the log to the file (replacing or appending) and end the log. An
    // empty log writes no file. When the file cannot be written the log is
    // kept, paused, and minus the errno is returned.
    int32_t DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex);
    int32_t AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex);
    int32_t DumpToFile(const std::string& fileName, bool append, bool inHex, bool allHex, const TLogHeaderInfo& header);

private:
    void PutBytes(const uint8_t* bytes, uint32_t count);
    void CopyOut(uint32_t from, uint8_t* bytes, uint32_t count) const;
    uint32_t EntrySizeAt(uint32_t position) const;
    void DropOldest();
    std::vector<TLogEntry> EntriesLocked() const;

    mutable std::mutex lock_;
    bool logging_ = false;
    std::vector<uint8_t> ring_;
    uint32_t head_ = 0;
    uint32_t tail_ = 0;
    uint32_t free_ = 0;
    uint64_t startTime_ = 0;
    std::function<uint64_t()> clock_;
    std::string deviceName_;
};
