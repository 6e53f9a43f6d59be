// Import of a host stream as a new CP/M file. The file's data blocks are
// written first and its directory entries last, all in one write, so a
// process killed part-way leaves the whole file or none of it: blocks that no
// entry names are free again at the next opening. A full disk or directory
// is refused before anything is written; any other failure (short stream,
// image write error) puts back what the import had overwritten.

#include <algorithm>
#include <array>
#include <cstring>
#include <istream>
#include <stdexcept>
#include <vector>

#include "disk/CpmDiskDrive.h"

namespace {

constexpr int EntriesPerRecord = TDiskDrive::RecordSize / static_cast<int>(sizeof(TCpmDirEntry));

}  // namespace

struct TCpmDiskDrive::TImportJournal {
    TCpmDiskFileInfoList Listing;
    std::vector<uint16_t> Claims;
    std::vector<std::pair<int32_t, std::array<uint8_t, TDiskDrive::RecordSize>>> Records;
};

int32_t TCpmDiskDrive::ImportFile(const std::string& Name, std::istream& Stream, int32_t Size, int& Index, uint8_t User,
                                  uint8_t PadByte) {
    Index = -1;
    if (!Disk) return 0;
    CheckCpmFileName(Name);
    const uint8_t user = User & 0x0F;
    const std::vector<uint16_t> slots = FindImportEntries(Size);
    if (slots.empty()) return 0;

    TImportJournal journal;
    journal.Listing.Assign(*FileList);
    journal.Claims = FClaims;

    int32_t total = 0;
    std::vector<TCpmDirEntry> entries;
    try {
        for (int x = 0; total < Size && entries.size() < slots.size(); ++x) {
            TCpmDirEntry entry;
            const int32_t n = WriteExtent(entry, Name, user, x, Size - total, Stream, PadByte, journal);
            if (n <= 0) break;
            entries.push_back(entry);
            total += n;
        }
        WriteDirEntries(slots, entries, journal);
    } catch (...) {
        // Undo in reverse order; a write that fails here cannot be helped,
        // and the original error is the one worth reporting.
        for (auto it = journal.Records.rbegin(); it != journal.Records.rend(); ++it) {
            try {
                WriteDataRecord(it->first, it->second.data());
            } catch (...) {
            }
        }
        FileList->Assign(journal.Listing);
        FClaims = journal.Claims;
        throw;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        FileList->AddDirEntry(entries[i], Use16BitBlocks);
        ClaimBlocks(slots[i], entries[i]);
    }
    if (!entries.empty()) Index = FileList->IndexOf(CpmFileKey(user, CpmEntryGetFullName(entries.back())));
    return total;
}

// One free entry per extent of a file of Size bytes, first fit. Refuses the
// file as writing it extent by extent would: an extent with no entry left
// is a full directory, one whose blocks are not free a full disk.
std::vector<uint16_t> TCpmDiskDrive::FindImportEntries(int32_t Size) {
    const int recordsPerBlock = BlockSize / TDiskDrive::RecordSize;
    const int recordsPerEntry = 8 * recordsPerBlock;
    int64_t records = (int64_t{std::max(Size, 0)} + TDiskDrive::RecordSize - 1) / TDiskDrive::RecordSize;
    int64_t blocks = 0;
    std::vector<uint16_t> slots;
    for (int from = 0; records > 0; records -= recordsPerEntry) {
        const int p = FindFreeDirEntry(from);
        if (p < 0) throw std::runtime_error("Copy to CPM file failed, all available directory entries are used!");
        slots.push_back(static_cast<uint16_t>(p));
        from = p + 1;
        blocks += (std::min<int64_t>(records, recordsPerEntry) + recordsPerBlock - 1) / recordsPerBlock;
        if (blocks > FileList->Allocation.FreeCount)
            throw std::runtime_error("Unable to write CPM file, not enough free space remaining!");
    }
    return slots;
}

int TCpmDiskDrive::FindFreeDirEntry(int From) {
    TCpmDirEntry entry;
    for (int i = std::max(From, 0); i < DirEntries; ++i) {
        ReadDirEntry(static_cast<uint16_t>(i), entry);
        if (entry[0] == CpmFreeEntry) return i;
    }
    return -1;
}

// The directory records from the first entry's to the last one's, with the
// entries put in, go out in one write: the file appears whole or not at all.
// The records in between go out as they were.
void TCpmDiskDrive::WriteDirEntries(const std::vector<uint16_t>& Slots, const std::vector<TCpmDirEntry>& Entries,
                                    TImportJournal& Journal) {
    if (Entries.empty()) return;
    constexpr int recordSize = TDiskDrive::RecordSize;
    const int first = Slots.front() / EntriesPerRecord;
    const int count = Slots[Entries.size() - 1] / EntriesPerRecord - first + 1;
    std::vector<uint8_t> records(static_cast<size_t>(count) * recordSize);
    std::array<uint8_t, recordSize> old;
    // The directory's records are counted from track 2 sector 0, as the data.
    for (int k = 0; k < count; ++k) {
        ReadDataRecord(first + k, old.data());
        Journal.Records.emplace_back(first + k, old);
        std::copy(old.begin(), old.end(), records.begin() + k * recordSize);
    }
    for (size_t i = 0; i < Entries.size(); ++i)
        std::memcpy(records.data() + (Slots[i] - first * EntriesPerRecord) * sizeof(TCpmDirEntry), Entries[i].data(),
                    sizeof(TCpmDirEntry));
    SelectRecord(first);
    Disk->WriteSectors(records.data(), count);
}

int32_t TCpmDiskDrive::WriteExtent(TCpmDirEntry& Entry, const std::string& Name, uint8_t User, int X, int32_t Remaining,
                                   std::istream& Stream, uint8_t PadByte, TImportJournal& Journal) {
    Entry.fill(0);
    CpmEntrySetName(Name, Entry, false);
    Entry[0] = User & 0x0F;
    Entry[12] = static_cast<uint8_t>(X & 0x1F);
    Entry[14] = X > 31 ? static_cast<uint8_t>((X >> 5) & 0x0F) : 0;

    const int recordsPerEntry = 8 * (BlockSize / TDiskDrive::RecordSize);
    int32_t written = 0;
    int p = 0;
    while (written < Remaining && Entry[15] < recordsPerEntry && p < 8) {
        const uint16_t b = FileList->Allocation.TakeFreeBlock();
        if (b == 0xFFFF) throw std::runtime_error("Unable to write CPM file, not enough free space remaining!");
        int records = 0;
        const int32_t m = WriteDataBlock(b, records, Remaining - written, Stream, PadByte, Journal);
        if (m < 1) {
            FileList->Allocation.FreeBlock(b);
            break;
        }
        written += m;
        Entry[15] = static_cast<uint8_t>(Entry[15] + records);
        Entry[16 + 2 * p] = static_cast<uint8_t>(b);
        Entry[17 + 2 * p] = static_cast<uint8_t>(b >> 8);
        ++p;
    }
    return written;
}

// The block's records are read from the stream and the old ones journalled
// before anything is written; then the block goes out in one write.
int32_t TCpmDiskDrive::WriteDataBlock(uint16_t Block, int& Records, int32_t Remaining, std::istream& Stream,
                                      uint8_t PadByte, TImportJournal& Journal) {
    constexpr int recordSize = TDiskDrive::RecordSize;
    const int recordsPerBlock = BlockSize / recordSize;
    const int32_t first = int32_t{Block} * recordsPerBlock;
    const auto want = static_cast<std::streamsize>(std::min<int64_t>(Remaining, int64_t{recordsPerBlock} * recordSize));
    Records = 0;
    if (want <= 0) return 0;
    std::vector<uint8_t> data(static_cast<size_t>(BlockSize));
    Stream.read(reinterpret_cast<char*>(data.data()), want);
    // The caller promised Size bytes: a stream that ends or fails sooner
    // would leave a silently shortened file.
    if (Stream.gcount() < want) throw std::runtime_error("Unable to read the data for the CPM file from the stream!");
    Records = static_cast<int>((want + recordSize - 1) / recordSize);
    std::fill(data.begin() + want, data.begin() + int64_t{Records} * recordSize, PadByte);
    std::array<uint8_t, recordSize> old;
    for (int k = 0; k < Records; ++k) {
        try {
            ReadDataRecord(first + k, old.data());
            Journal.Records.emplace_back(first + k, old);
        } catch (const EDiskError&) {
            // Unreadable, so the write below fails as well.
        }
    }
    SelectRecord(first);
    Disk->WriteSectors(data.data(), Records);
    return int32_t{Records} * recordSize;
}
