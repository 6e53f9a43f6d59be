#include "serial/QnDispatchLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "console/core/QnMisc.h"
#include "serial/QnDumpText.h"
#include "serial/QnExcept.h"
#include "serial/QnTicks.h"

namespace {

constexpr int MessageKindBase = 15001;
constexpr int MessageSubKindBase = 15100;
constexpr int MessageTelnetOptionBase = 15700;
constexpr int MessageModemLineBase = 15601;
constexpr uint8_t LastKind = 20;
constexpr uint8_t KindTelnet = 10;
constexpr uint8_t KindUser = 19;
constexpr uint8_t SubKindStatusTrigger = 15;
constexpr uint8_t SubKindModemStatus = 4;
constexpr int RowIndent = 44;
constexpr int RowDataColumn = 45;

std::string LogTimeText(uint32_t milliseconds) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07u", milliseconds);
    std::string text = digits;
    text.insert(text.size() - 3, ".");
    return text;
}

std::string KindText(uint8_t kind) { return kind <= LastKind ? FindMessageText(MessageKindBase + kind) : ""; }

std::string SubKindText(uint8_t subKind) { return subKind == 0 ? "" : FindMessageText(MessageSubKindBase + subKind); }

std::string StatusKindText(uint8_t kind) {
    static const char* const names[] = {"(Not active)",         "(Modem status)",       "(Line status)",
                                        "(Output buffer free)", "(Output buffer used)", "(Output sent)"};
    return kind < std::size(names) ? names[kind] : "";
}

std::string ModemLineNames(uint32_t data) {
    std::string names;
    for (int bit = 0; bit < 8; ++bit)
        if (data & (1u << bit)) names += FindMessageText(MessageModemLineBase + bit);
    const auto first = names.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return names.substr(first, names.find_last_not_of(' ') - first + 1);
}

void AppendRow(std::string& out, const TLogEntry& entry, bool inHex, bool allHex) {
    char row[128];
    std::snprintf(row, sizeof row, "%8s  %-8s  %-12s  %08X  ", LogTimeText(entry.Time).c_str(),
                  KindText(entry.Kind).c_str(), SubKindText(entry.SubKind).c_str(), entry.Data);
    out += row;
    if (entry.Bytes.empty()) {
        if (entry.Kind == KindTelnet) {
            const std::string name =
                entry.Data <= 42 ? FindMessageText(MessageTelnetOptionBase + static_cast<int>(entry.Data)) : "";
            out += "[" + name + "]";
        }
        out += DumpLineBreak;
        return;
    }
    if (entry.SubKind == SubKindStatusTrigger && (entry.Kind == 5 || entry.Kind == 6)) {
        out += StatusKindText(entry.Bytes[0]);
    } else {
        TDumpColumns columns(out, RowIndent, RowDataColumn);
        columns.SetColumn(RowDataColumn);
        for (uint8_t byte : entry.Bytes) {
            if (allHex && entry.Kind == KindUser)
                columns.Put(std::string(1, static_cast<char>(byte)));
            else
                columns.Put(RenderDumpByte(byte, inHex, allHex));
        }
    }
    if (entry.SubKind == SubKindModemStatus) out += " (" + ModemLineNames(entry.Data) + ")";
    out += DumpLineBreak;
}

void PutU32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, sizeof value); }
uint32_t GetU32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

TLogHeaderInfo TLogHeaderInfo::FromHost() { return {CompilerText(), OperatingSystemText(), DumpDateTimeText()}; }

std::string FormatDispatchLog(const std::vector<TLogEntry>& entries, const std::string& deviceName,
                              const TLogHeaderInfo& header, bool inHex, bool allHex) {
    std::string out;
    for (const std::string& line :
         {std::string("QUON ") + QnFamilyVersion, "Compiler : " + header.Compiler,
          "Operating System : " + header.OperatingSystem.substr(0, 80), "Device: " + deviceName,
          "Date/time: " + header.DateTime.substr(0, 80), FindMessageText(15501), FindMessageText(15502)}) {
        out += line;
        out += DumpLineBreak;
    }
    for (const TLogEntry& entry : entries) AppendRow(out, entry, inHex, allHex);
    return out;
}

TQnDispatchLog::TQnDispatchLog() : clock_(MillisecondClock) {}

void TQnDispatchLog::InitDispatchLog(uint32_t size) {
    std::lock_guard guard(lock_);
    if (ring_.empty()) ring_.assign(size, 0);
    head_ = tail_ = 0;
    free_ = static_cast<uint32_t>(ring_.size());
    logging_ = true;
}

void TQnDispatchLog::ClearDispatchLog() {
    std::lock_guard guard(lock_);
    head_ = tail_ = 0;
    free_ = static_cast<uint32_t>(ring_.size());
}

void TQnDispatchLog::AbortDispatchLog() {
    std::lock_guard guard(lock_);
    logging_ = false;
    std::vector<uint8_t>().swap(ring_);
    head_ = tail_ = free_ = 0;
}

void TQnDispatchLog::StartDispatchLog() {
    std::lock_guard guard(lock_);
    logging_ = !ring_.empty();
}

void TQnDispatchLog::StopDispatchLog() {
    std::lock_guard guard(lock_);
    logging_ = false;
}

bool TQnDispatchLog::Logging() const {
    std::lock_guard guard(lock_);
    return logging_;
}

void TQnDispatchLog::SetStartTime(uint64_t milliseconds) {
    std::lock_guard guard(lock_);
    startTime_ = milliseconds;
}

void TQnDispatchLog::SetClock(std::function<uint64_t()> clock) {
    std::lock_guard guard(lock_);
    clock_ = std::move(clock);
}

void TQnDispatchLog::SetDeviceName(const std::string& name) {
    std::lock_guard guard(lock_);
    deviceName_ = name;
}

void TQnDispatchLog::PutBytes(const uint8_t* bytes, uint32_t count) {
    if (count == 0) return;
    const auto size = static_cast<uint32_t>(ring_.size());
    const uint32_t first = std::min(count, size - head_);
    std::memcpy(ring_.data() + head_, bytes, first);
    std::memcpy(ring_.data(), bytes + first, count - first);
    head_ = (head_ + count) % size;
    free_ -= count;
}

void TQnDispatchLog::CopyOut(uint32_t from, uint8_t* bytes, uint32_t count) const {
    if (count == 0) return;
    const auto size = static_cast<uint32_t>(ring_.size());
    const uint32_t first = std::min(count, size - from);
    std::memcpy(bytes, ring_.data() + from, first);
    std::memcpy(bytes + first, ring_.data(), count - first);
}

uint32_t TQnDispatchLog::EntrySizeAt(uint32_t position) const {
    uint8_t header[LogHeaderSize];
    CopyOut(position, header, LogHeaderSize);
    return LogHeaderSize + GetU32(header + 12);
}

void TQnDispatchLog::DropOldest() {
    const uint32_t size = EntrySizeAt(tail_);
    tail_ = (tail_ + size) % static_cast<uint32_t>(ring_.size());
    free_ += size;
}

bool TQnDispatchLog::AddDispatchEntry(uint8_t kind, uint8_t subKind, uint32_t data, const uint8_t* bytes,
                                      uint32_t length) {
    std::lock_guard guard(lock_);
    if (!logging_) return false;
    const auto capacity = static_cast<uint32_t>(ring_.size());
    // An entry is stored whole or not at all: one larger than the ring would
    // leave a header without its data.
    if (capacity < LogHeaderSize || length > capacity - LogHeaderSize) return false;
    while (LogHeaderSize + length > free_) DropOldest();

    uint8_t header[LogHeaderSize] = {kind, subKind, 0, 0};
    PutU32(header + 4, static_cast<uint32_t>(clock_() - startTime_));
    PutU32(header + 8, data);
    PutU32(header + 12, length);
    PutBytes(header, LogHeaderSize);
    if (length != 0) PutBytes(bytes, length);
    return true;
}

std::vector<TLogEntry> TQnDispatchLog::EntriesLocked() const {
    std::vector<TLogEntry> entries;
    if (ring_.empty()) return entries;
    const auto capacity = static_cast<uint32_t>(ring_.size());
    uint32_t position = tail_;
    for (uint32_t used = capacity - free_; used > 0;) {
        uint8_t header[LogHeaderSize];
        CopyOut(position, header, LogHeaderSize);
        TLogEntry entry{header[0], header[1], GetU32(header + 4), GetU32(header + 8), {}};
        const uint32_t length = GetU32(header + 12);
        entry.Bytes.resize(length);
        CopyOut((position + LogHeaderSize) % capacity, entry.Bytes.data(), length);
        entries.push_back(std::move(entry));
        position = (position + LogHeaderSize + length) % capacity;
        used -= LogHeaderSize + length;
    }
    return entries;
}

std::vector<TLogEntry> TQnDispatchLog::Entries() const {
    std::lock_guard guard(lock_);
    return EntriesLocked();
}

int32_t TQnDispatchLog::DumpToFile(const std::string& fileName, bool append, bool inHex, bool allHex,
                                   const TLogHeaderInfo& header) {
    std::vector<TLogEntry> entries;
    std::string deviceName;
    {
        // Copy under the lock; the file is written without holding it.
        std::lock_guard guard(lock_);
        logging_ = false;
        entries = EntriesLocked();
        deviceName = deviceName_;
    }
    if (entries.empty()) {
        AbortDispatchLog();
        return 0;
    }
    const int32_t result =
        WriteDumpFile(fileName, FormatDispatchLog(entries, deviceName, header, inHex, allHex), append);
    if (result == 0) AbortDispatchLog();
    return result;
}

int32_t TQnDispatchLog::DumpDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
    return DumpToFile(fileName, false, inHex, allHex, TLogHeaderInfo::FromHost());
}

int32_t TQnDispatchLog::AppendDispatchLog(const std::string& fileName, bool inHex, bool allHex) {
    return DumpToFile(fileName, true, inHex, allHex, TLogHeaderInfo::FromHost());
}
