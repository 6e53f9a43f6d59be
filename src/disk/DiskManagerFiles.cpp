#include "disk/DiskManagerFiles.h"

#include "disk/CpmDiskDrive.h"
#include "disk/DiskManagerText.h"
#include "disk/HexStream.h"
#include "disk/ImageRegistry.h"
#include "platform/core/FileReplace.h"
#include "platform/core/ProgramFolder.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The rest of an open file; Path and What name it in the error.
std::string ReadRest(std::ifstream& in, const std::string& Path, const char* What) {
    std::ostringstream data;
    // Copying an empty buffer counts as a failure, so an empty file is only
    // peeked at.
    if (!in || (in.peek() != std::ifstream::traits_type::eof() && !(data << in.rdbuf())) || in.bad())
        throw std::runtime_error(std::string(What) + " " + Quoted(Path) + " could not be read.");
    return std::move(data).str();
}

// A regular file's bytes; raises naming the file when it cannot be read.
std::string ReadWholeFile(const std::string& Path, const char* What) {
    std::error_code ec;
    if (!fs::is_regular_file(Path, ec))
        throw std::runtime_error(std::string(What) + " " + Quoted(Path) + " could not be opened.");
    std::ifstream in(Path, std::ios::binary);
    return ReadRest(in, Path, What);
}

}  // namespace

std::string CpmDiskAttributesToStr(uint8_t Attributes) {
    std::string s;
    s += (Attributes & CpmAttrReadOnly) ? 'R' : 'r';
    s += (Attributes & CpmAttrSystem) ? 'S' : 's';
    s += (Attributes & CpmAttrArchive) ? 'A' : 'a';
    return s;
}

std::string DiskListHeaderText() {
    char line[128];
    std::snprintf(line, sizeof line, "%3s  %13s  %4s  %4s  %4s  %8s  %8s", "Usr", "FileName", "Attr", "Recs", "Exts",
                  "Size", "Space");
    return line;
}

std::string DiskFileRowText(const TCpmDiskFileInfo& Info, int32_t BlockSize) {
    char line[160];
    std::snprintf(line, sizeof line, "%2d  %14s  %3s  %4d  %4d  %8lld  %8lld", Info.User, Info.FileName.c_str(),
                  CpmDiskAttributesToStr(Info.Attributes).c_str(), Info.Records, Info.ExtentCount,
                  static_cast<long long>(Info.Records) * 128, static_cast<long long>(Info.Blocks) * BlockSize);
    return line;
}

std::string FormatThousands(int64_t Value) {
    std::string digits = std::to_string(Value < 0 ? -Value : Value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ",");
    return Value < 0 ? "-" + digits : digits;
}

void ReadCpmListing(const std::string& DiskFile, TCpmDiskFileInfoList& Listing) {
    TCpmDiskDrive drive(DiskFile, TDiskAccess::ReadOnly);
    drive.GetFileList(Listing);
}

void DeleteCpmFile(const std::string& DiskFile, const std::string& Name, uint8_t User, TCpmDiskFileInfoList& Listing) {
    TCpmDiskDrive drive(DiskFile);
    drive.DeleteFile(Name, User);
    drive.GetFileList(Listing);
}

void SetCpmFileAttributes(const std::string& DiskFile, const std::string& Name, int& Index, uint8_t Attributes,
                          uint8_t NewUser, uint8_t User, TCpmDiskFileInfoList& Listing) {
    TCpmDiskDrive drive(DiskFile);
    drive.SetFileAttributes(Name, Attributes, Index, NewUser, User);
    drive.GetFileList(Listing);
}

int RenameCpmFile(const std::string& DiskFile, const std::string& OldName, const std::string& NewName, uint8_t User,
                  TCpmDiskFileInfoList& Listing) {
    TCpmDiskDrive drive(DiskFile);
    int index = -1;
    drive.RenameFile(OldName, NewName, index, User);
    drive.GetFileList(Listing);
    return index;
}

std::string ReadCpmFile(const std::string& DiskFile, const std::string& Name, bool TextMode, uint8_t User) {
    std::ostringstream out;
    TCpmDiskDrive drive(DiskFile, TDiskAccess::ReadOnly);
    drive.ExportFile(Name, TextMode, out, User);
    return std::move(out).str();
}

namespace {

// An export into a replacement file; unmapped records become holes.
class TReplacementFileSink : public TCpmExportSink {
public:
    explicit TReplacementFileSink(TReplacementFile& File) : FFile(File) {}
    bool Write(const uint8_t* Data, size_t Count) override {
        FFile.Write(std::string_view(reinterpret_cast<const char*>(Data), Count));
        return true;
    }
    bool Skip(uint64_t Count) override {
        FFile.Skip(Count);
        return true;
    }

private:
    TReplacementFile& FFile;
};

}  // namespace

void ExportCpmFile(const std::string& DiskFile, const std::string& Name, const std::string& HostFile, bool TextMode,
                   uint8_t User) {
    TCpmDiskDrive drive(DiskFile, TDiskAccess::ReadOnly);
    TReplacementFile file(HostFile);
    TReplacementFileSink sink(file);
    if (TextMode) {
        TCpmTextExportSink text(sink);
        drive.ExportFile(Name, true, text, User);
        text.Finish();
    } else {
        drive.ExportFile(Name, false, sink, User);
    }
    // The file stays on the image, so the copy is not forced to the device
    // one by one: a many-file export would wait on every flush.
    file.Commit(false);
}

namespace {

// What fills the last record of an imported file past its end.
constexpr uint8_t CpmTextPad = CpmEndOfText;
constexpr uint8_t CpmBinaryPad = 0x00;

// One host file into the open image: raises "The CPM file already exists!"
// when the name is taken in User; returns the file's position in the
// drive's listing.
int ImportHostFile(TCpmDiskDrive& Drive, const std::string& CpmName, const std::string& HostFile, uint8_t User,
                   bool TextMode) {
    if (Drive.FileExists(CpmName, User)) throw std::runtime_error("The CPM file already exists!");
    std::error_code ec;
    const bool regular = fs::is_regular_file(HostFile, ec);
    std::ifstream in(HostFile, std::ios::binary);
    if (!regular || !in) throw std::runtime_error("The file " + Quoted(HostFile) + " could not be opened.");
    const uintmax_t size = fs::file_size(HostFile, ec);
    // Larger than any image: the disk-full refusal of the import.
    int32_t count = ec ? 0 : static_cast<int32_t>(std::min<uintmax_t>(size, INT32_MAX));
    std::istream* source = &in;
    std::istringstream text;
    // A text file too big for the image is refused as it is, unconverted.
    if (TextMode && !ec && size <= uintmax_t(Drive.FileList->Allocation.GetBlockCount()) * Drive.BlockSize) {
        std::string converted = HostTextToCpm(ReadRest(in, HostFile, "The file"));
        count = static_cast<int32_t>(converted.size());
        text.str(std::move(converted));
        source = &text;
    }
    int index = -1;
    Drive.ImportFile(CpmName, *source, count, index, User, TextMode ? CpmTextPad : CpmBinaryPad);
    return index;
}

}  // namespace

void ImportCpmFiles(const std::string& DiskFile, const std::vector<std::string>& HostFiles, uint8_t User, bool TextMode,
                    TCpmDiskFileInfoList& Listing, TCpmImportResult& Result) {
    Result = {};
    TCpmDiskDrive drive(DiskFile);
    try {
        for (const std::string& file : HostFiles) {
            Result.LastIndex = ImportHostFile(drive, MakeCpmShortName(file), file, User, TextMode);
            ++Result.Imported;
        }
    } catch (...) {
        if (Result.Imported > 0) drive.GetFileList(Listing);
        throw;
    }
    drive.GetFileList(Listing);
}

bool SameHostFile(const std::string& A, const std::string& B) {
    const auto a = TImageRegistry::IdentityOfPath(A);
    const auto b = TImageRegistry::IdentityOfPath(B);
    return a && b && *a == *b;
}

void CopyHostFile(const std::string& Source, const std::string& Dest) {
    ReplaceFileContents(Dest, ReadWholeFile(Source, "The disk file"));
}

std::string CheckHex32Save(const std::string& Source, const std::string& Dest) {
    std::error_code ec;
    if (Source.empty() || !fs::is_regular_file(Source, ec))
        return "The disk file named " + Quoted(Source) + " could not be accessed.";
    if (Source == Dest || SameHostFile(Source, Dest))
        return "The source and destination file names can not be the same.";
    if (fs::exists(fs::symlink_status(Dest, ec))) {
        // The new file is renamed over the old one, which needs a writable
        // folder and a plain file in the way.
        const std::string folder = ExtractFileDir(Dest).empty() ? std::string(".") : ExtractFileDir(Dest);
        if (fs::is_directory(Dest, ec) || ::access(folder.c_str(), W_OK | X_OK) != 0)
            return "Output file " + Quoted(Dest) + " already exists and can not be delete.";
    }
    return {};
}

void WriteDiskAsHex32(const std::string& Source, const std::string& Dest, uint32_t StartAddress) {
    const std::string image = ReadWholeFile(Source, "The disk file");
    TZilogHex32WriterStream writer(Dest, StartAddress, 64);
    const auto* data = reinterpret_cast<const uint8_t*>(image.data());
    for (size_t done = 0; done < image.size();) {
        const auto count = static_cast<int32_t>(std::min<size_t>(image.size() - done, 1 << 20));
        writer.Write(data + done, count);
        done += static_cast<size_t>(count);
    }
    writer.Finish();
}
