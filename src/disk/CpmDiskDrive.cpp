// Opening an image as a CP/M file system: directory access, data records and
// the scan that builds the listing and finds a damaged directory.

#include "disk/CpmDiskDrive.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int EntriesPerRecord = 4;
constexpr int DirEntrySize = 32;

}  // namespace

TCpmDiskDrive::TCpmDiskDrive(const std::string& FileName, TDiskAccess Access) {
    Disk = std::make_unique<TDiskDrive>(FileName, TImageRole::DiskManager, this, Access);
    TImageRegistry::Instance().CheckMountable(Disk->Identity());
    ReservedTracks = 2;
    DirEntries = static_cast<uint16_t>(TDiskDrive::GetDirEntryCount());
    BlockSize = static_cast<uint16_t>(TDiskDrive::GetBlockSize());
    BlockCount = static_cast<uint16_t>(CpmDataBlockCount(*Disk, ReservedTracks));
    Use16BitBlocks = true;
    FileList = std::make_unique<TCpmDiskFileInfoList>(BlockCount, BlockSize, DirEntries);
    ReadDirectory();
}

TCpmDiskDrive::~TCpmDiskDrive() = default;

void TCpmDiskDrive::ReadDirectory() {
    FileList->Clear();
    FClaims.assign(BlockCount, 0);
    FProblems.clear();
    FRepeatedExtents.clear();
    std::map<std::string, uint16_t> seen;  // "user:NAME:extent" -> first entry
    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        FileList->AddDirEntry(entry, Use16BitBlocks);
        ClaimBlocks(i, entry);
        NoteRepeatedExtent(i, entry, seen);
    }
}

namespace {

std::string FileIdentity(uint8_t User, std::string Name) {
    for (char& c : Name)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return CpmFileKey(User, Name);
}

}  // namespace

void TCpmDiskDrive::NoteRepeatedExtent(uint16_t DirIndex, const TCpmDirEntry& Entry,
                                       std::map<std::string, uint16_t>& Seen) {
    if (Entry[0] > CpmMaxUser) return;
    const std::string name = CpmEntryGetFullName(Entry);
    const std::string file = FileIdentity(Entry[0], name);
    const uint16_t extent = CpmEntryGetExtentNo(Entry);
    const auto [first, fresh] = Seen.emplace(file + ":" + std::to_string(extent), DirIndex);
    if (fresh) return;
    FProblems.push_back("Directory entries " + std::to_string(first->second) + " and " + std::to_string(DirIndex) +
                        " both hold extent " + std::to_string(extent) + " of the file \"" + name + "\" in user area " +
                        std::to_string(Entry[0]) + ".");
    FRepeatedExtents.emplace(file, extent);
}

void TCpmDiskDrive::CheckNoRepeatedExtent(const std::string& Name, uint8_t User) const {
    const auto found = FRepeatedExtents.find(FileIdentity(User, Name));
    if (found == FRepeatedExtents.end()) return;
    throw EDiskError(
        "The file \"" + Name + "\" has more than one directory entry for extent " + std::to_string(found->second) + "!",
        EDiskError::BadPosition);
}

// Points the drive at a record counted from track 2 sector 0. A record
// outside the image's tracks is refused here, before the track number could
// wrap round in the drive's 16-bit position.
void TCpmDiskDrive::SelectRecord(int32_t Record) {
    if (!Disk) throw EDiskError("No disk file is currently selected!", EDiskError::NoDisk);
    const int64_t track = Record < 0 ? -1 : int64_t{Record} / Disk->SectorsPerTrack + ReservedTracks;
    if (track < 0 || track >= Disk->TrackCount)
        throw EDiskError("Invalid disk track (" + std::to_string(track) + ")!", EDiskError::BadPosition);
    Disk->Sector = static_cast<uint16_t>(Record % Disk->SectorsPerTrack);
    Disk->Track = static_cast<uint16_t>(track);
}

// Reads the directory record that holds entry Index into SectorBuffer.
void TCpmDiskDrive::LoadDirRecord(uint16_t Index) {
    if (!Disk) throw EDiskError("No disk file is currently selected!", EDiskError::NoDisk);
    if (Index >= DirEntries) throw EDiskError("Directory entry does not exist!", EDiskError::BadPosition);
    SelectRecord(Index / EntriesPerRecord);
    Disk->ReadSector(SectorBuffer.data());
}

void TCpmDiskDrive::ReadDirEntry(uint16_t Index, TCpmDirEntry& Entry) {
    LoadDirRecord(Index);
    std::memcpy(Entry.data(), SectorBuffer.data() + (Index % EntriesPerRecord) * DirEntrySize, DirEntrySize);
}

void TCpmDiskDrive::WriteDirEntry(uint16_t Index, const TCpmDirEntry& Entry) {
    LoadDirRecord(Index);
    std::memcpy(SectorBuffer.data() + (Index % EntriesPerRecord) * DirEntrySize, Entry.data(), DirEntrySize);
    Disk->WriteSector(SectorBuffer.data());
}

void TCpmDiskDrive::ReadDataRecord(int32_t Record, uint8_t* Buffer) {
    SelectRecord(Record);
    Disk->ReadSector(Buffer);
}

void TCpmDiskDrive::WriteDataRecord(int32_t Record, const uint8_t* Buffer) {
    SelectRecord(Record);
    Disk->WriteSector(Buffer);
}

void TCpmDiskDrive::GetFileList(TCpmDiskFileInfoList& Dest) const { Dest.Assign(*FileList); }

bool TCpmDiskDrive::IsDataBlock(uint16_t Block) const { return Block >= FileList->DirBlocks && Block < BlockCount; }

// Counts the entry's claims on its blocks and notes pointers that cannot be
// followed. Only entries that own blocks (all but free ones) take part.
void TCpmDiskDrive::ClaimBlocks(uint16_t DirIndex, const TCpmDirEntry& Entry) {
    if (!CpmEntryOwnsBlocks(Entry)) return;
    for (int p = 0; p < 8; ++p) {
        const uint16_t b = CpmEntryGetPointer(Entry, p);
        if (b == 0) continue;
        if (!IsDataBlock(b)) {
            FProblems.push_back("Directory entry " + std::to_string(DirIndex) + " refers to block " +
                                std::to_string(b) + " outside the data area.");
        } else if (++FClaims[b] == 2) {
            FProblems.push_back("Block " + std::to_string(b) + " is claimed by more than one directory entry.");
        }
    }
}

// Drops the entry's claims; a block returns to the free map only when no
// other entry still names it, and directory blocks never do.
void TCpmDiskDrive::ReleaseBlocks(const TCpmDirEntry& Entry) {
    if (!CpmEntryOwnsBlocks(Entry)) return;
    for (int p = 0; p < 8; ++p) {
        const uint16_t b = CpmEntryGetPointer(Entry, p);
        if (b == 0 || !IsDataBlock(b)) continue;
        if (FClaims[b] > 0) --FClaims[b];
        if (FClaims[b] == 0) FileList->Allocation.FreeBlock(b);
    }
}

void TCpmDiskDrive::CheckExtentBlocks(const std::string& Name, const TCpmDiskExtentInfo& Extent) const {
    for (int p = 0; p < 8; ++p) {
        const auto b = static_cast<uint16_t>(Extent.Pointers[2 * p] | (Extent.Pointers[2 * p + 1] << 8));
        if (b == 0) continue;
        if (!IsDataBlock(b))
            throw EDiskError(
                "The file \"" + Name + "\" refers to block " + std::to_string(b) + " outside the data area!",
                EDiskError::BadPosition);
        if (FClaims[b] > 1)
            throw EDiskError(
                "The file \"" + Name + "\" shares block " + std::to_string(b) + " with another directory entry!",
                EDiskError::BadPosition);
    }
}

bool TCpmDiskDrive::EntryBelongs(const TCpmDirEntry& Entry, const std::string& Name, uint8_t User) const {
    if (Entry[0] != User || Entry[0] == CpmFreeEntry) return false;
    const std::string full = CpmEntryGetFullName(Entry);
    return full.size() == Name.size() && std::equal(full.begin(), full.end(), Name.begin(), [](char a, char b) {
               auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
               return up(a) == up(b);
           });
}
