// Import of a host stream as a new CP/M file. Everything the import changes
// on the image is journalled, so a failure (short stream, full disk, full
// directory, image write error) puts the image back as it was.

#include <algorithm>
#include <array>
#include <vector>
#include <istream>
#include <stdexcept>

#include "disk/CpmDiskDrive.h"

struct TCpmDiskDrive::TImportJournal {
    TCpmDiskFileInfoList Listing;
    std::vector<uint16_t> Claims;
    std::vector<std::pair<uint16_t, TCpmDirEntry>> Entries;
    std::vector<std::pair<int32_t, std::array<uint8_t, TDiskDrive::RecordSize>>> Records;
};

int32_t TCpmDiskDrive::ImportFile(const std::string& Name, std::istream& Stream, int32_t Size, int& Index, uint8_t User,
                                  uint8_t PadByte) {
    Index = -1;
    if (!Disk) return 0;
    CheckCpmFileName(Name);
    const uint8_t user = User & 0x0F;

    TImportJournal journal;
    journal.Listing.Assign(*FileList);
    journal.Claims = FClaims;

    int32_t total = 0;
    TCpmDirEntry last{};
    try {
        int x = 0;
        int p = 0;
        while (total < Size) {
            p = FindFreeDirEntry(p);
            if (p < 0) throw std::runtime_error("Copy to CPM file failed, all available directory entries are used!");
            TCpmDirEntry entry;
            const int32_t n = WriteExtent(entry, Name, user, x, Size - total, Stream, PadByte, journal);
            if (n <= 0) break;
            TCpmDirEntry old;
            ReadDirEntry(static_cast<uint16_t>(p), old);
            journal.Entries.emplace_back(static_cast<uint16_t>(p), old);
            WriteDirEntry(static_cast<uint16_t>(p), entry);
            FileList->AddDirEntry(entry, Use16BitBlocks);
            ClaimBlocks(static_cast<uint16_t>(p), entry);
            last = entry;
            total += n;
            ++x;
            ++p;
        }
    } catch (...) {
        // Undo in reverse order; a write that fails here cannot be helped,
        // and the original error is the one worth reporting.
        for (auto it = journal.Records.rbegin(); it != journal.Records.rend(); ++it) {
            try {
                WriteDataRecord(it->first, it->second.data());
            } catch (...) {
            }
        }
        for (auto it = journal.Entries.rbegin(); it != journal.Entries.rend(); ++it) {
            try {
                WriteDirEntry(it->first, it->second);
            } catch (...) {
            }
        }
        FileList->Assign(journal.Listing);
        FClaims = journal.Claims;
        throw;
    }
    if (total > 0) Index = FileList->IndexOf(CpmFileKey(user, CpmEntryGetFullName(last)));
    return total;
}

int TCpmDiskDrive::FindFreeDirEntry(int From) {
    TCpmDirEntry entry;
    for (int i = std::max(From, 0); i < DirEntries; ++i) {
        ReadDirEntry(static_cast<uint16_t>(i), entry);
        if (entry[0] == CpmFreeEntry) return i;
    }
    return -1;
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
