#pragma once
// The CP/M 2.2 file system on a disk image: directory entries, the block
// allocation map, the directory listing and the file operations (exists,
// delete, rename, attributes and user area, export, import).
//
// Layout: tracks 0-1 are the system tracks; the directory (256 entries of
// 32 bytes) starts at track 2 sector 0 and fills blocks 0-3; a block is
// 2048 bytes (16 records) counted from track 2 sector 0, so the 254 data
// tracks hold blocks 0-507. Each entry has 8 little-endian 16-bit block
// pointers (16 KiB per entry).
//
// A TCpmDiskDrive reads the whole directory when it is created and then
// keeps its listing and map in step with its own changes; it is meant to
// live for one operation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "disk/DiskDrive.h"

// ---------------------------------------------------------------------------
// Directory entries

using TCpmDirEntry = std::array<uint8_t, 32>;

constexpr uint8_t CpmFreeEntry = 0xE5;  // user byte of a free entry
constexpr uint8_t CpmMaxUser = 15;      // highest listed user area
// Every entry but a free one owns the blocks it names: whatever wrote a
// user byte above 31 may still hold data there, so no import reuses them.
inline bool CpmEntryOwnsBlocks(const TCpmDirEntry& Entry) { return Entry[0] != CpmFreeEntry; }

// Ends CP/M text: a text read stops at the first one, and an imported text
// file's last record is padded with it.
constexpr uint8_t CpmEndOfText = 0x1A;

// File attribute bits.
constexpr uint8_t CpmAttrReadOnly = 1;
constexpr uint8_t CpmAttrSystem = 2;
constexpr uint8_t CpmAttrArchive = 4;

// Name bytes 1-8 with bit 7 cleared, control characters and trailing blanks
// removed.
std::string CpmEntryGetName(const TCpmDirEntry& Entry);
// Type bytes 9-11, the same way.
std::string CpmEntryGetExt(const TCpmDirEntry& Entry);
// NAME.EXT, or NAME alone when the type is blank.
std::string CpmEntryGetFullName(const TCpmDirEntry& Entry);
// Bit set 1/2/4 from bit 7 of bytes 9/10/11.
uint8_t CpmEntryGetAttributes(const TCpmDirEntry& Entry);
// Sets or clears bit 7 of bytes 9-11; the characters stay.
void CpmEntrySetAttributes(TCpmDirEntry& Entry, uint8_t Attributes);
// (S2 and 0Fh) * 32 + (EX and 1Fh).
uint16_t CpmEntryGetExtentNo(const TCpmDirEntry& Entry);
// Block pointer p (0-7), little-endian.
uint16_t CpmEntryGetPointer(const TCpmDirEntry& Entry, int p);
// Non-zero pointers among the 8 words (16-bit form) or 16 bytes from offset 16.
int CpmEntryCountBlocks(const TCpmDirEntry& Entry, bool Use16BitBlocks);

// Splits a name as it is stored: the folder part (up to the last "/", "\"
// or ":") is dropped, the base is what comes before the last ".", the type
// what follows it; both upper-cased and cut to 8 and 3 characters.
void CpmSplitName(const std::string& Name, std::string& Base, std::string& Ext);
// True when the shaped name can be stored: a non-empty base, and only
// printable 7-bit characters that CP/M allows in a name.
bool CpmIsValidName(const std::string& Name);
// Raises std::runtime_error("The name "X" is not a valid CPM file name!")
// unless CpmIsValidName.
void CheckCpmFileName(const std::string& Name);
// Stores the shaped name into bytes 1-11 (blank padded). With KeepHighBits
// each byte keeps its own bit 7, so attributes survive a rename. Raises as
// CheckCpmFileName for a name that cannot be stored.
void CpmEntrySetName(const std::string& Name, TCpmDirEntry& Entry, bool KeepHighBits);

// First 8 characters of the host file's base name and the first 4 of its
// extension including the dot; no case change. Folders are dropped.
std::string MakeCpmShortName(const std::string& HostName);
// A name read from an image made safe as a host file name: no separator,
// no control or 8-bit character, no leading dot (so never "." or ".."),
// never empty.
std::string MakeHostSafeName(const std::string& CpmName);

// Blocks of 2048 bytes that lie on the image after the reserved tracks (508
// for a full-size image), never more than the drive's block count.
int CpmDataBlockCount(const TDiskDrive& Drive, int ReservedTracks);

// ---------------------------------------------------------------------------
// Allocation map: block b is bit (b mod 8) of byte b div 8.

class TCpmDiskAllocationList {
public:
    explicit TCpmDiskAllocationList(uint16_t MaxBlock = 0);

    std::vector<uint8_t> Bits;
    uint16_t ByteCount = 0;
    uint16_t MaxBlock = 0;   // highest block number
    uint16_t FreeCount = 0;  // number of free blocks

    void Clear();
    void Assign(const TCpmDiskAllocationList& Source);
    int GetBlockCount() const { return MaxBlock + 1; }
    // Marks a free block at or below MaxBlock used; anything else is ignored.
    void AllocateBlock(uint16_t Block);
    // Marks a used block at or below MaxBlock free; anything else is ignored.
    void FreeBlock(uint16_t Block);
    // The lowest free block, marked used; FFFFh when none is free.
    uint16_t TakeFreeBlock();

    void SetBit(uint16_t Block);
    void ClearBit(uint16_t Block);
    bool TestBit(uint16_t Block) const;
};

// ---------------------------------------------------------------------------
// Listing

struct TCpmDiskFileInfo {
    uint8_t User = 0;
    std::string FileName;  // NAME.EXT, or NAME with a blank type
    int32_t Records = 0;   // sum of RC over the file's entries
    int32_t ExtentCount = 0;
    int32_t Blocks = 0;  // non-zero block pointers over the entries
    uint8_t Attributes = 0;

    void Assign(const TCpmDiskFileInfo& Source) { *this = Source; }
};

// Order of listing keys: ASCII letters without regard to case, punctuation
// before digits before letters, so "1:X" < "10:X" < "2:X".
int CpmCompareKeys(const std::string& A, const std::string& B);
// User in decimal + ":" + FileName.
std::string CpmFileKey(uint8_t User, const std::string& FileName);

class TCpmDiskFileInfoList {
public:
    // An empty listing of the standard image: 508 blocks of 2048 bytes, 256
    // directory entries.
    TCpmDiskFileInfoList();
    TCpmDiskFileInfoList(int BlockCount, int BlockSize, int DirEntries);
    // An empty listing with the geometry of the CP/M file system on Drive.
    explicit TCpmDiskFileInfoList(const TDiskDrive& Drive);

    TCpmDiskAllocationList Allocation;
    uint16_t DirBlocks = 0;  // blocks taken by the directory (always used)
    int32_t BlockSize = 0;

    void Clear();
    void Assign(const TCpmDiskFileInfoList& Source);
    std::string GetKey(int i) const;
    // nullptr when i is out of range; valid until the listing changes.
    TCpmDiskFileInfo* GetItem(int i);
    const TCpmDiskFileInfo* GetItem(int i) const;
    int GetCount() const { return static_cast<int>(FItems.size()); }
    // Position of the key, -1 when it is absent.
    int IndexOf(const std::string& Key) const;
    // Inserts under Key (replacing an item of an equal key); returns its
    // position.
    int Add(const std::string& Key, const TCpmDiskFileInfo& Item);
    void Delete(int i);

    // Adds one directory entry: user areas 0-15 are listed; the blocks of
    // every entry that is not free are marked used when they lie in the
    // data area, so no other file's data is ever handed out again.
    void AddDirEntry(const TCpmDirEntry& Entry, bool Use16BitBlocks);

private:
    void MarkDirectoryBlocks();
    std::vector<std::pair<std::string, TCpmDiskFileInfo>> FItems;  // sorted by key
};

// ---------------------------------------------------------------------------
// Extents of a file being exported, by ascending extent number (entries of
// equal number stay in directory order).

struct TCpmDiskExtentInfo {
    std::array<uint8_t, 16> Pointers{};
    uint16_t ExtentNo = 0;
    uint16_t DirIndex = 0;
    uint8_t RecordCount = 0;
};

int CompareExtents(const TCpmDiskExtentInfo& A, const TCpmDiskExtentInfo& B);

class TCpmDiskExtentList {
public:
    void AddExtent(uint16_t DirIndex, const TCpmDirEntry& Entry);
    int Count() const { return static_cast<int>(Items.size()); }
    const TCpmDiskExtentInfo* GetItem(int i) const;
    void Clear() { Items.clear(); }

    std::vector<TCpmDiskExtentInfo> Items;
};

// ---------------------------------------------------------------------------
// Where an export's bytes go. Records that no entry maps (missing extents,
// zero block pointers) arrive as Skip, so a host file can leave them as
// holes instead of writing zeros. A false result is a refused write.

class TCpmExportSink {
public:
    virtual ~TCpmExportSink() = default;
    virtual bool Write(const uint8_t* Data, size_t Count) = 0;
    // Count zero bytes.
    virtual bool Skip(uint64_t Count) = 0;
};

// ---------------------------------------------------------------------------
// The file system on one image.

class TCpmDiskDrive {
public:
    // Opens the image (EDiskError 1 "Selected disk is bad!" when it cannot)
    // and reads the directory. A damaged directory does not stop the open:
    // its faults are listed by Problems() and refused when followed. Access
    // ReadOnly serves a listing or an export: it never keeps another program
    // from writing the image, nor is refused while one does.
    explicit TCpmDiskDrive(const std::string& FileName, TDiskAccess Access = TDiskAccess::ReadWrite);
    ~TCpmDiskDrive();
    TCpmDiskDrive(const TCpmDiskDrive&) = delete;
    TCpmDiskDrive& operator=(const TCpmDiskDrive&) = delete;

    std::unique_ptr<TDiskDrive> Disk;
    std::unique_ptr<TCpmDiskFileInfoList> FileList;
    uint16_t ReservedTracks = 2;
    uint16_t DirEntries = 0;
    uint16_t BlockSize = 0;
    uint16_t BlockCount = 0;  // blocks that lie on the image (508)
    bool Use16BitBlocks = true;
    std::array<uint8_t, 128> SectorBuffer{};

    void ReadDirEntry(uint16_t Index, TCpmDirEntry& Entry);
    void WriteDirEntry(uint16_t Index, const TCpmDirEntry& Entry);
    void GetFileList(TCpmDiskFileInfoList& Dest) const;
    // Faults found in the directory when it was read: block pointers outside
    // the data area, blocks claimed by more than one entry and extents of a
    // file held by more than one entry.
    const std::vector<std::string>& Problems() const { return FProblems; }

    bool FileExists(const std::string& Name, uint8_t User);
    void DeleteFile(const std::string& Name, uint8_t User);
    void SetFileAttributes(const std::string& Name, uint8_t Attributes, int& Index, uint8_t NewUser, uint8_t User);
    void RenameFile(const std::string& OldName, const std::string& NewName, int& Index, uint8_t User);
    void ExportFile(const std::string& Name, bool TextMode, std::ostream& Stream, uint8_t User);
    void ExportFile(const std::string& Name, bool TextMode, TCpmExportSink& Sink, uint8_t User);
    // Copies Size bytes of Stream into a new file; returns the bytes written
    // (whole records). A failure of any kind leaves the image as it was, and
    // so does a process killed part-way: the directory entries, written
    // last and at once, are all that make the file.
    int32_t ImportFile(const std::string& Name, std::istream& Stream, int32_t Size, int& Index, uint8_t User,
                       uint8_t PadByte);

    // Records counted from track 2 sector 0 (block b starts at record 16 b);
    // a record outside the image's tracks is EDiskError code 2.
    void ReadDataRecord(int32_t Record, uint8_t* Buffer);
    void WriteDataRecord(int32_t Record, const uint8_t* Buffer);

private:
    struct TImportJournal;

    void ReadDirectory();
    void SelectRecord(int32_t Record);
    void LoadDirRecord(uint16_t Index);
    bool EntryBelongs(const TCpmDirEntry& Entry, const std::string& Name, uint8_t User) const;
    bool IsDataBlock(uint16_t Block) const;
    void ClaimBlocks(uint16_t DirIndex, const TCpmDirEntry& Entry);
    void ReleaseBlocks(const TCpmDirEntry& Entry);
    void CheckExtentBlocks(const std::string& Name, const TCpmDiskExtentInfo& Extent) const;
    // Refuses to follow a file whose extent is held by two entries: joining
    // or changing both would spread the damage.
    void CheckNoRepeatedExtent(const std::string& Name, uint8_t User) const;
    void NoteRepeatedExtent(uint16_t DirIndex, const TCpmDirEntry& Entry, std::map<std::string, uint16_t>& Seen);

    static int FindByteInRecord(const uint8_t* Record, uint8_t Value);
    // Record Record of the file (counted from its start) into Buffer: zeros
    // where no entry holds its extent or its block pointer is 0.
    void ReadFileRecord(const TCpmDiskExtentList& Extents, int32_t Record, uint8_t* Buffer);
    // The first record at or after Record (below Limit) that an entry maps;
    // Limit when there is none.
    int32_t NextMappedRecord(const TCpmDiskExtentList& Extents, int32_t Record, int32_t Limit) const;
    int FindFreeDirEntry(int From);
    std::vector<uint16_t> FindImportEntries(int32_t Size);
    void WriteDirEntries(const std::vector<uint16_t>& Slots, const std::vector<TCpmDirEntry>& Entries,
                         TImportJournal& Journal);
    int32_t WriteExtent(TCpmDirEntry& Entry, const std::string& Name, uint8_t User, int X, int32_t Remaining,
                        std::istream& Stream, uint8_t PadByte, TImportJournal& Journal);
    int32_t WriteDataBlock(uint16_t Block, int& Records, int32_t Remaining, std::istream& Stream, uint8_t PadByte,
                           TImportJournal& Journal);

    std::vector<uint16_t> FClaims;  // entries naming each block
    std::vector<std::string> FProblems;
    std::map<std::string, uint16_t> FRepeatedExtents;  // "user:NAME" -> extent number
};
