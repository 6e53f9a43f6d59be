// The block allocation map, the directory listing and the extent list.

#include <algorithm>

#include "disk/CpmDiskDrive.h"

namespace {

constexpr int StandardBlockCount = 508;
constexpr int StandardBlockSize = 2048;
constexpr int StandardDirEntries = 256;
constexpr int DirEntrySize = 32;

// Collation rank: punctuation and controls, then digits, then letters
// (without regard to case), then 8-bit characters.
int CharRank(unsigned char c) {
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    int cls = 0;
    if (c >= '0' && c <= '9')
        cls = 1;
    else if (c >= 'A' && c <= 'Z')
        cls = 2;
    else if (c >= 0x80)
        cls = 3;
    return cls * 256 + c;
}

}  // namespace

int CpmDataBlockCount(const TDiskDrive& Drive, int ReservedTracks) {
    const int64_t dataRecords = int64_t{std::max(0, Drive.TrackCount - ReservedTracks)} * Drive.SectorsPerTrack;
    const int64_t blocks = dataRecords * TDiskDrive::RecordSize / TDiskDrive::GetBlockSize();
    return static_cast<int>(std::clamp<int64_t>(blocks, 1, TDiskDrive::GetBlockCount()));
}

// --------------------------------------------------------------------------
// TCpmDiskAllocationList

TCpmDiskAllocationList::TCpmDiskAllocationList(uint16_t MaxBlock_)
    : ByteCount(static_cast<uint16_t>(MaxBlock_ / 8 + 1)), MaxBlock(MaxBlock_) {
    // One byte more than (MaxBlock + 7) div 8 when MaxBlock is a multiple
    // of 8: the highest block needs a bit of its own.
    Bits.assign(ByteCount, 0);
    Clear();
}

void TCpmDiskAllocationList::Clear() {
    std::fill(Bits.begin(), Bits.end(), uint8_t{0});
    FreeCount = static_cast<uint16_t>(MaxBlock + 1);
}

void TCpmDiskAllocationList::Assign(const TCpmDiskAllocationList& Source) { *this = Source; }

void TCpmDiskAllocationList::SetBit(uint16_t Block) {
    if (Block / 8u < Bits.size()) Bits[Block / 8u] |= static_cast<uint8_t>(1u << (Block % 8u));
}

void TCpmDiskAllocationList::ClearBit(uint16_t Block) {
    if (Block / 8u < Bits.size()) Bits[Block / 8u] &= static_cast<uint8_t>(~(1u << (Block % 8u)));
}

bool TCpmDiskAllocationList::TestBit(uint16_t Block) const {
    return Block / 8u < Bits.size() && (Bits[Block / 8u] & (1u << (Block % 8u))) != 0;
}

void TCpmDiskAllocationList::AllocateBlock(uint16_t Block) {
    if (Block > MaxBlock || TestBit(Block)) return;
    SetBit(Block);
    --FreeCount;
}

void TCpmDiskAllocationList::FreeBlock(uint16_t Block) {
    if (Block > MaxBlock || !TestBit(Block)) return;
    ClearBit(Block);
    ++FreeCount;
}

uint16_t TCpmDiskAllocationList::TakeFreeBlock() {
    for (size_t i = 0; i < Bits.size(); ++i) {
        if (Bits[i] == 0xFF) continue;
        for (unsigned j = 0; j < 8; ++j) {
            if (Bits[i] & (1u << j)) continue;
            const size_t block = i * 8 + j;
            if (block > MaxBlock) return 0xFFFF;
            SetBit(static_cast<uint16_t>(block));
            --FreeCount;
            return static_cast<uint16_t>(block);
        }
    }
    return 0xFFFF;
}

// --------------------------------------------------------------------------
// Listing

int CpmCompareKeys(const std::string& A, const std::string& B) {
    const size_t n = std::min(A.size(), B.size());
    for (size_t i = 0; i < n; ++i) {
        const int a = CharRank(static_cast<unsigned char>(A[i]));
        const int b = CharRank(static_cast<unsigned char>(B[i]));
        if (a != b) return a < b ? -1 : 1;
    }
    if (A.size() == B.size()) return 0;
    return A.size() < B.size() ? -1 : 1;
}

std::string CpmFileKey(uint8_t User, const std::string& FileName) { return std::to_string(User) + ":" + FileName; }

TCpmDiskFileInfoList::TCpmDiskFileInfoList()
    : TCpmDiskFileInfoList(StandardBlockCount, StandardBlockSize, StandardDirEntries) {}

TCpmDiskFileInfoList::TCpmDiskFileInfoList(int BlockCount, int BlockSize_, int DirEntries)
    : Allocation(static_cast<uint16_t>(std::clamp(BlockCount, 1, 65535) - 1)), BlockSize(std::max(BlockSize_, 1)) {
    DirBlocks = static_cast<uint16_t>((int64_t{std::max(DirEntries, 0)} * DirEntrySize + BlockSize - 1) / BlockSize);
    MarkDirectoryBlocks();
}

TCpmDiskFileInfoList::TCpmDiskFileInfoList(const TDiskDrive& Drive)
    : TCpmDiskFileInfoList(CpmDataBlockCount(Drive, 2), TDiskDrive::GetBlockSize(), TDiskDrive::GetDirEntryCount()) {}

void TCpmDiskFileInfoList::MarkDirectoryBlocks() {
    for (uint16_t b = 0; b < DirBlocks; ++b) Allocation.AllocateBlock(b);
}

void TCpmDiskFileInfoList::Clear() {
    FItems.clear();
    Allocation.Clear();
    MarkDirectoryBlocks();
}

void TCpmDiskFileInfoList::Assign(const TCpmDiskFileInfoList& Source) {
    if (this == &Source) return;
    FItems = Source.FItems;
    Allocation.Assign(Source.Allocation);
    DirBlocks = Source.DirBlocks;
    BlockSize = Source.BlockSize;
}

std::string TCpmDiskFileInfoList::GetKey(int i) const {
    return (i >= 0 && i < GetCount()) ? FItems[static_cast<size_t>(i)].first : std::string();
}

TCpmDiskFileInfo* TCpmDiskFileInfoList::GetItem(int i) {
    return (i >= 0 && i < GetCount()) ? &FItems[static_cast<size_t>(i)].second : nullptr;
}

const TCpmDiskFileInfo* TCpmDiskFileInfoList::GetItem(int i) const {
    return (i >= 0 && i < GetCount()) ? &FItems[static_cast<size_t>(i)].second : nullptr;
}

int TCpmDiskFileInfoList::IndexOf(const std::string& Key) const {
    const auto it = std::lower_bound(FItems.begin(), FItems.end(), Key, [](const auto& item, const std::string& key) {
        return CpmCompareKeys(item.first, key) < 0;
    });
    if (it == FItems.end() || CpmCompareKeys(it->first, Key) != 0) return -1;
    return static_cast<int>(it - FItems.begin());
}

int TCpmDiskFileInfoList::Add(const std::string& Key, const TCpmDiskFileInfo& Item) {
    const auto it = std::lower_bound(FItems.begin(), FItems.end(), Key, [](const auto& item, const std::string& key) {
        return CpmCompareKeys(item.first, key) < 0;
    });
    const int at = static_cast<int>(it - FItems.begin());
    if (it != FItems.end() && CpmCompareKeys(it->first, Key) == 0) {
        *it = {Key, Item};
    } else {
        FItems.insert(it, {Key, Item});
    }
    return at;
}

void TCpmDiskFileInfoList::Delete(int i) {
    if (i >= 0 && i < GetCount()) FItems.erase(FItems.begin() + i);
}

void TCpmDiskFileInfoList::AddDirEntry(const TCpmDirEntry& Entry, bool Use16BitBlocks) {
    const uint8_t user = Entry[0];
    if (!CpmEntryOwnsBlocks(Entry)) return;

    // Blocks of every owning entry are in use, listed or not; pointers into
    // the directory or past the map are never marked (they are not data).
    const int pointers = Use16BitBlocks ? 8 : 16;
    for (int p = 0; p < pointers; ++p) {
        const uint16_t b = Use16BitBlocks ? CpmEntryGetPointer(Entry, p) : Entry[16 + p];
        if (b >= DirBlocks) Allocation.AllocateBlock(b);
    }
    if (user > CpmMaxUser) return;

    const std::string name = CpmEntryGetFullName(Entry);
    const std::string key = CpmFileKey(user, name);
    const int blocks = CpmEntryCountBlocks(Entry, Use16BitBlocks);
    const int at = IndexOf(key);
    if (at < 0) {
        TCpmDiskFileInfo info;
        info.User = user;
        info.FileName = name;
        info.Records = Entry[15];
        info.ExtentCount = 1;
        info.Blocks = blocks;
        info.Attributes = CpmEntryGetAttributes(Entry);
        Add(key, info);
    } else {
        TCpmDiskFileInfo& info = FItems[static_cast<size_t>(at)].second;
        info.Records += Entry[15];
        info.ExtentCount += 1;
        info.Blocks += blocks;
    }
}

// --------------------------------------------------------------------------
// Extent list

int CompareExtents(const TCpmDiskExtentInfo& A, const TCpmDiskExtentInfo& B) {
    if (A.ExtentNo == B.ExtentNo) return 0;
    return A.ExtentNo < B.ExtentNo ? -1 : 1;
}

void TCpmDiskExtentList::AddExtent(uint16_t DirIndex, const TCpmDirEntry& Entry) {
    TCpmDiskExtentInfo info;
    std::copy(Entry.begin() + 16, Entry.end(), info.Pointers.begin());
    info.ExtentNo = CpmEntryGetExtentNo(Entry);
    info.DirIndex = DirIndex;
    info.RecordCount = Entry[15];
    // After every entry of an equal number, so ties keep directory order.
    const auto at = std::upper_bound(
        Items.begin(), Items.end(), info,
        [](const TCpmDiskExtentInfo& a, const TCpmDiskExtentInfo& b) { return CompareExtents(a, b) < 0; });
    Items.insert(at, info);
}

const TCpmDiskExtentInfo* TCpmDiskExtentList::GetItem(int i) const {
    return (i >= 0 && i < Count()) ? &Items[static_cast<size_t>(i)] : nullptr;
}
