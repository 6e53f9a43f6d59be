#include "serial/QnTrace.h"

#include "serial/QnDumpText.h"

std::string FormatTrace(const std::vector<TTraceEntry>& entries, bool inHex, bool allHex) {
    std::string out;
    TDumpColumns columns(out, 0, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TTraceEntry& entry = entries[i];
        if (i == 0 || entry.Kind != entries[i - 1].Kind) {
            if (i != 0) {
                out += DumpLineBreak;
                out += DumpLineBreak;
            }
            columns.SetColumn(0);
            if (entry.Kind == 'T')
                out += "Transmit: ";
            else if (entry.Kind == 'R')
                out += "Receive: ";
            else
                out += std::string("Special-") + entry.Kind + ": ";
            out += DumpLineBreak;
        }
        columns.Put(RenderDumpByte(entry.Byte, inHex, allHex));
    }
    return out;
}

int32_t TQnTrace::InitTracing(uint32_t entries) {
    std::lock_guard guard(lock_);
    if (ring_.empty()) {
        if (entries > MaxTraceEntries) return -1002;
        ring_.assign(entries, TTraceEntry{0, 0});
    }
    head_ = 0;
    wrapped_ = false;
    tracing_ = true;
    return 0;
}

void TQnTrace::ClearTracing() {
    std::lock_guard guard(lock_);
    head_ = 0;
    wrapped_ = false;
}

void TQnTrace::AbortTracing() {
    std::lock_guard guard(lock_);
    tracing_ = false;
    std::vector<TTraceEntry>().swap(ring_);
    head_ = 0;
    wrapped_ = false;
}

void TQnTrace::StartTracing() {
    std::lock_guard guard(lock_);
    tracing_ = !ring_.empty();
}

void TQnTrace::StopTracing() {
    std::lock_guard guard(lock_);
    tracing_ = false;
}

bool TQnTrace::Tracing() const {
    std::lock_guard guard(lock_);
    return tracing_;
}

void TQnTrace::AddLocked(char kind, uint8_t byte) {
    if (!tracing_ || ring_.empty()) return;
    ring_[head_] = TTraceEntry{kind, byte};
    if (++head_ == ring_.size()) {
        head_ = 0;
        wrapped_ = true;
    }
}

void TQnTrace::AddTraceEntry(char kind, uint8_t byte) {
    std::lock_guard guard(lock_);
    AddLocked(kind, byte);
}

void TQnTrace::AddTraceBlock(char kind, const uint8_t* bytes, std::size_t count) {
    std::lock_guard guard(lock_);
    for (std::size_t i = 0; i < count; ++i) AddLocked(kind, bytes[i]);
}

std::vector<TTraceEntry> TQnTrace::EntriesLocked() const {
    if (!wrapped_) return {ring_.begin(), ring_.begin() + head_};
    std::vector<TTraceEntry> ordered(ring_.begin() + head_, ring_.end());
    ordered.insert(ordered.end(), ring_.begin(), ring_.begin() + head_);
    return ordered;
}

std::vector<TTraceEntry> TQnTrace::Entries() const {
    std::lock_guard guard(lock_);
    return EntriesLocked();
}

int32_t TQnTrace::DumpToFile(const std::string& fileName, bool append, bool inHex, bool allHex) {
    std::vector<TTraceEntry> entries;
    {
        // Copy under the lock; the file is written without holding it, so
        // recording threads never wait for the disk.
        std::lock_guard guard(lock_);
        if (ring_.empty()) return 0;
        tracing_ = false;
        entries = EntriesLocked();
    }
    if (entries.empty()) {
        AbortTracing();
        return 0;
    }
    const int32_t result = WriteDumpFile(fileName, FormatTrace(entries, inHex, allHex), append);
    if (result == 0) AbortTracing();
    return result;
}

int32_t TQnTrace::DumpTrace(const std::string& fileName, bool inHex, bool allHex) {
    return DumpToFile(fileName, false, inHex, allHex);
}

int32_t TQnTrace::AppendTrace(const std::string& fileName, bool inHex, bool allHex) {
    return DumpToFile(fileName, true, inHex, allHex);
}
