// File operations that look files up by name: exists, delete, attributes
// and user area, rename, export.

#include <algorithm>
#include <ostream>
#include <stdexcept>

#include "disk/CpmDiskDrive.h"

namespace {

std::string Q(const std::string& s) { return "\"" + s + "\""; }

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// One entry maps 8 blocks of 16 records.
constexpr int32_t RecordsPerExtent = 128;

// The first of a file's extents (kept in order) numbered ExtentNo or above.
auto ExtentAtOrAfter(const TCpmDiskExtentList& Extents, uint16_t ExtentNo) {
    return std::lower_bound(Extents.Items.begin(), Extents.Items.end(), ExtentNo,
                            [](const TCpmDiskExtentInfo& e, uint16_t no) { return e.ExtentNo < no; });
}

// The block that pointer p of an extent names; 0 for none.
uint16_t BlockPointer(const TCpmDiskExtentInfo& Extent, int p) {
    return static_cast<uint16_t>(Extent.Pointers[2 * p] | (Extent.Pointers[2 * p + 1] << 8));
}

}  // namespace

bool TCpmDiskDrive::FileExists(const std::string& Name, uint8_t User) {
    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        if (EntryBelongs(entry, Name, User)) return true;
    }
    return false;
}

void TCpmDiskDrive::DeleteFile(const std::string& Name, uint8_t User) {
    CheckNoRepeatedExtent(Name, User);
    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        if (!EntryBelongs(entry, Name, User)) continue;
        // Every pointer is released, whatever RC says: blocks past RC are
        // still this entry's.
        ReleaseBlocks(entry);
        entry.fill(CpmFreeEntry);
        WriteDirEntry(i, entry);
    }
    FileList->Delete(FileList->IndexOf(CpmFileKey(User, Name)));
}

void TCpmDiskDrive::SetFileAttributes(const std::string& Name, uint8_t Attributes, int& Index, uint8_t NewUser,
                                      uint8_t User) {
    if (!FileExists(Name, User)) throw std::runtime_error("The file " + Q(Name) + " does not exist!");
    CheckNoRepeatedExtent(Name, User);
    NewUser &= 0x0F;
    if (NewUser != User && FileExists(Name, NewUser))
        throw std::runtime_error("A file named " + Q(Name) + " already exists in user area " + std::to_string(NewUser) +
                                 "!");
    Attributes &= CpmAttrReadOnly | CpmAttrSystem | CpmAttrArchive;

    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        if (!EntryBelongs(entry, Name, User)) continue;
        CpmEntrySetAttributes(entry, Attributes);
        entry[0] = NewUser;
        WriteDirEntry(i, entry);
    }

    Index = -1;
    const int at = FileList->IndexOf(CpmFileKey(User, Name));
    if (at < 0) return;
    TCpmDiskFileInfo info = *FileList->GetItem(at);
    FileList->Delete(at);
    info.Attributes = Attributes;
    info.User = NewUser;
    Index = FileList->Add(CpmFileKey(NewUser, info.FileName), info);
}

void TCpmDiskDrive::RenameFile(const std::string& OldName, const std::string& NewName, int& Index, uint8_t User) {
    Index = -1;
    // The name as it will read back from the entry, so that the existence
    // test and the listing see exactly what is stored.
    const std::string shortName = AsciiUpper(MakeCpmShortName(NewName));
    TCpmDirEntry shaped{};
    CpmEntrySetName(shortName, shaped, false);
    const std::string n = CpmEntryGetFullName(shaped);
    if (FileExists(n, User)) throw std::runtime_error("The file " + Q(n) + " already exists!");
    CheckNoRepeatedExtent(OldName, User);

    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        if (!EntryBelongs(entry, OldName, User)) continue;
        CpmEntrySetName(n, entry, true);
        WriteDirEntry(i, entry);
    }

    const int at = FileList->IndexOf(CpmFileKey(User, OldName));
    if (at < 0) return;
    TCpmDiskFileInfo info = *FileList->GetItem(at);
    FileList->Delete(at);
    info.FileName = n;
    Index = FileList->Add(CpmFileKey(User, n), info);
}

namespace {

// An export into a stream: the unmapped records are written as zeros.
class TStreamExportSink : public TCpmExportSink {
public:
    explicit TStreamExportSink(std::ostream& Stream) : FStream(Stream) {}
    bool Write(const uint8_t* Data, size_t Count) override {
        return static_cast<bool>(
            FStream.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Count)));
    }
    bool Skip(uint64_t Count) override {
        static const char zeros[TDiskDrive::RecordSize] = {};
        for (; Count > 0; Count -= std::min<uint64_t>(Count, sizeof zeros))
            if (!FStream.write(zeros, static_cast<std::streamsize>(std::min<uint64_t>(Count, sizeof zeros))))
                return false;
        return true;
    }

private:
    std::ostream& FStream;
};

}  // namespace

void TCpmDiskDrive::ExportFile(const std::string& Name, bool TextMode, std::ostream& Stream, uint8_t User) {
    TStreamExportSink sink(Stream);
    ExportFile(Name, TextMode, sink, User);
}

void TCpmDiskDrive::ExportFile(const std::string& Name, bool TextMode, TCpmExportSink& Sink, uint8_t User) {
    const uint8_t u = User & 0x0F;
    TCpmDiskExtentList extents;
    TCpmDirEntry entry;
    for (uint16_t i = 0; i < DirEntries; ++i) {
        ReadDirEntry(i, entry);
        if (EntryBelongs(entry, Name, u)) extents.AddExtent(i, entry);
    }
    if (extents.Count() == 0)
        throw std::runtime_error("Unable to locate file " + Q(Name) + " in user area " + std::to_string(u) + "!");
    // A damaged entry is refused before anything is written.
    CheckNoRepeatedExtent(Name, u);
    for (const auto& extent : extents.Items) CheckExtentBlocks(Name, extent);

    // Each extent sits at its own place in the file, whether or not the
    // extents before it exist (a file written at random); the last one's
    // record count ends the file. Unmapped records hold no 1Ah, so a text
    // export passes them as well.
    const TCpmDiskExtentInfo& last = extents.Items.back();
    const int32_t records =
        int32_t{last.ExtentNo} * RecordsPerExtent + std::min<int32_t>(last.RecordCount, RecordsPerExtent);
    uint8_t record[TDiskDrive::RecordSize];
    for (int32_t r = 0; r < records;) {
        const int32_t mapped = NextMappedRecord(extents, r, records);
        if (mapped > r) {
            if (!Sink.Skip(uint64_t(mapped - r) * TDiskDrive::RecordSize))
                throw std::runtime_error("Unable to save data read from CPM file to stream!");
            r = mapped;
            continue;
        }
        ReadFileRecord(extents, r, record);
        const int length = TextMode ? FindByteInRecord(record, CpmEndOfText) : TDiskDrive::RecordSize;
        if (length > 0 && !Sink.Write(record, static_cast<size_t>(length)))
            throw std::runtime_error("Unable to save data read from CPM file to stream!");
        if (TextMode && length < TDiskDrive::RecordSize) return;
        ++r;
    }
}

int TCpmDiskDrive::FindByteInRecord(const uint8_t* Record, uint8_t Value) {
    const uint8_t* end = Record + TDiskDrive::RecordSize;
    return static_cast<int>(std::find(Record, end, Value) - Record);
}

void TCpmDiskDrive::ReadFileRecord(const TCpmDiskExtentList& Extents, int32_t Record, uint8_t* Buffer) {
    const int recordsPerBlock = BlockSize / TDiskDrive::RecordSize;
    const auto extentNo = static_cast<uint16_t>(Record / RecordsPerExtent);
    const auto extent = ExtentAtOrAfter(Extents, extentNo);
    const int inExtent = Record % RecordsPerExtent;
    uint16_t block = 0;
    if (extent != Extents.Items.end() && extent->ExtentNo == extentNo)
        block = BlockPointer(*extent, inExtent / recordsPerBlock);
    if (block == 0) {
        std::fill(Buffer, Buffer + TDiskDrive::RecordSize, uint8_t{0});
        return;
    }
    ReadDataRecord(int32_t{block} * recordsPerBlock + inExtent % recordsPerBlock, Buffer);
}

int32_t TCpmDiskDrive::NextMappedRecord(const TCpmDiskExtentList& Extents, int32_t Record, int32_t Limit) const {
    const int recordsPerBlock = BlockSize / TDiskDrive::RecordSize;
    while (Record < Limit) {
        const auto extentNo = static_cast<uint16_t>(Record / RecordsPerExtent);
        const auto extent = ExtentAtOrAfter(Extents, extentNo);
        if (extent == Extents.Items.end()) return Limit;
        if (extent->ExtentNo != extentNo) {
            Record = int32_t{extent->ExtentNo} * RecordsPerExtent;
            continue;
        }
        if (BlockPointer(*extent, Record % RecordsPerExtent / recordsPerBlock) != 0) return Record;
        Record = (Record / recordsPerBlock + 1) * recordsPerBlock;
    }
    return Limit;
}
