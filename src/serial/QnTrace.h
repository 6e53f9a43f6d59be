#pragma once
// The byte trace of a dispatcher: a ring of (kind, byte) entries, 'T' for a
// byte sent and 'R' for a byte received, that overwrites its oldest entries
// and is written to a text file on request. Safe to use from several threads.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct TTraceEntry {
    char Kind;
    uint8_t Byte;
    bool operator==(const TTraceEntry&) const = default;
};

inline constexpr uint32_t MaxTraceEntries = 4000000;

// The text of a dump: one block per run of entries of one kind.
std::string FormatTrace(const std::vector<TTraceEntry>& entries, bool inHex, bool allHex);

class TQnTrace {
public:
    // Allocates the ring (or empties an existing one) and starts recording;
    // -1002 for more than MaxTraceEntries entries, with nothing changed.
    int32_t InitTracing(uint32_t entries);
    void ClearTracing();
    void AbortTracing();
    void StartTracing();  // only when a ring exists
    void StopTracing();
    bool Tracing() const;

    void AddTraceEntry(char kind, uint8_t byte);
    // One entry per byte, added under one lock so a block stays together.
    void AddTraceBlock(char kind, const uint8_t* bytes, std::size_t count);

    // The entries held, oldest first.
    std::vector<TTraceEntry> Entries() const;

    // Write the trace to the file (replacing it or appending to it) and end
    // the trace. An empty trace writes no file. When the file cannot be
    // written the trace is kept in memory, paused, and minus the errno is
    // returned.
    int32_t DumpTrace(const std::string& fileName, bool inHex, bool allHex);
    int32_t AppendTrace(const std::string& fileName, bool inHex, bool allHex);

private:
    int32_t DumpToFile(const std::string& fileName, bool append, bool inHex, bool allHex);
    std::vector<TTraceEntry> EntriesLocked() const;
    void AddLocked(char kind, uint8_t byte);

    mutable std::mutex lock_;
    bool tracing_ = false;
    std::vector<TTraceEntry> ring_;
    uint32_t head_ = 0;
    bool wrapped_ = false;
};
