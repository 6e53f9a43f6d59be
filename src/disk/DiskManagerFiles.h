#pragma once
// The Disk Manager's work on an image and on host files, without widgets.
// Every routine opens a TCpmDiskDrive on the image, does one thing, copies
// the new listing out (where it changes) and closes the drive, also when the
// action fails. Host files are written beside their final name and renamed
// into place, so a failure never leaves a damaged file behind. The listing,
// reading and export open the image for reading only: they go on while
// another program writes it.

#include <cstdint>
#include <string>
#include <vector>

class TCpmDiskFileInfoList;
struct TCpmDiskFileInfo;

// "R"/"r", "S"/"s", "A"/"a": upper case when the bit is set.
std::string CpmDiskAttributesToStr(uint8_t Attributes);
// The list header and one row of the listing.
std::string DiskListHeaderText();
std::string DiskFileRowText(const TCpmDiskFileInfo& Info, int32_t BlockSize);
// A count with thousands separators ("1,040,384").
std::string FormatThousands(int64_t Value);

// The listing of the image (with its geometry).
void ReadCpmListing(const std::string& DiskFile, TCpmDiskFileInfoList& Listing);

void DeleteCpmFile(const std::string& DiskFile, const std::string& Name, uint8_t User, TCpmDiskFileInfoList& Listing);
void SetCpmFileAttributes(const std::string& DiskFile, const std::string& Name, int& Index, uint8_t Attributes,
                          uint8_t NewUser, uint8_t User, TCpmDiskFileInfoList& Listing);
// Returns the renamed file's position in the new listing.
int RenameCpmFile(const std::string& DiskFile, const std::string& OldName, const std::string& NewName, uint8_t User,
                  TCpmDiskFileInfoList& Listing);
// The file's bytes as exported (text mode stops at the first 1Ah).
std::string ReadCpmFile(const std::string& DiskFile, const std::string& Name, bool TextMode, uint8_t User);
// Replaces HostFile with the exported file: text with LF line ends, records
// that no entry maps as holes.
void ExportCpmFile(const std::string& DiskFile, const std::string& Name, const std::string& HostFile, bool TextMode,
                   uint8_t User);
// Imports host files in order, each under MakeCpmShortName of its name,
// through one opening of the image, so the cost per file does not grow with
// the files already on it. A name taken in User raises "The CPM file
// already exists!". The first refusal ends the import and is raised; the
// files before it stay, and Listing and Result describe them. Text gets CR
// LF line ends and the 1Ah end marker, and its last record is padded with
// 1Ah; binary is copied as it is and padded with 00h.
struct TCpmImportResult {
    int Imported = 0;    // files imported
    int LastIndex = -1;  // listing position of the last one
};
void ImportCpmFiles(const std::string& DiskFile, const std::vector<std::string>& HostFiles, uint8_t User, bool TextMode,
                    TCpmDiskFileInfoList& Listing, TCpmImportResult& Result);

// True when both names reach the same file (identity, not spelling).
bool SameHostFile(const std::string& A, const std::string& B);
// Replaces Dest with a copy of Source; raises with the reason on failure.
void CopyHostFile(const std::string& Source, const std::string& Dest);
// The check before a HEX-32 save: the message to show, or empty when the
// save may go ahead.
std::string CheckHex32Save(const std::string& Source, const std::string& Dest);
// The whole image as Intel HEX-32 records of 64 bytes from StartAddress.
void WriteDiskAsHex32(const std::string& Source, const std::string& Dest, uint32_t StartAddress);
