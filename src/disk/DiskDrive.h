#pragma once
// One open disk image: 256 tracks x 32 sectors x 128 bytes (1,048,576 bytes,
// no header), addressed as a current track and sector. Reads go through a
// 64-record window; writes go straight to the file.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "disk/ImageRegistry.h"
#include "disk/StreamCache.h"

// The disk layer's error; Code becomes the controller's status byte and the
// remote disk server's error reply.
class EDiskError : public std::runtime_error {
public:
    static constexpr int NoDisk = 1;       // no disk, bad disk, already mounted
    static constexpr int BadPosition = 2;  // track or sector out of range
    static constexpr int ReadFailed = 4;
    static constexpr int WriteFailed = 8;
    static constexpr int DiskInUse = 16;    // remote: in use or client mismatch
    static constexpr int DiskMounted = 64;  // remote: mounted

    EDiskError(const std::string& msg, int code) : std::runtime_error(msg), Code(code) {}
    int Code;
};

// How a drive opens an image by name.
enum class TDiskAccess : uint8_t {
    ReadWrite,  // for reading and writing; for reading only when the file cannot be written
    ReadOnly,   // for reading only: a listing or a copy out never keeps another program from writing
};

class TDiskDrive {
public:
    static constexpr int RecordSize = 128;
    static constexpr int kSectorsPerTrack = 32;
    static constexpr int kTrackCount = 256;
    static constexpr int RecordTotal = kSectorsPerTrack * kTrackCount;       // 8192
    static constexpr int64_t ImageSize = int64_t{RecordTotal} * RecordSize;  // 1,048,576
    static constexpr int WindowRecords = 64;
    static constexpr uint8_t FillByte = 0xE5;

    // Opens an existing regular file read/write, or read-only when the file
    // cannot be written or access asks for reading only (its writes then
    // fail with code 8); any failure is EDiskError("Selected disk is bad!",
    // 1). The open image is registered in TImageRegistry under role and
    // owner until the drive is destroyed; an image another program has open
    // for writing is refused for writing with EDiskError("Disk is in use!",
    // 16).
    explicit TDiskDrive(const std::string& fileName, TImageRole role = TImageRole::Other, const void* owner = nullptr,
                        TDiskAccess access = TDiskAccess::ReadWrite);
    // Opens an image file as a drive does: an existing regular file (links
    // followed) of any length, for reading and writing, or for reading only
    // when it cannot be written or access asks for no more. The descriptor
    // belongs to the caller; -1 when the file cannot be used.
    static int OpenImageFile(const std::string& fileName, TDiskAccess access = TDiskAccess::ReadWrite);
    // Takes over a descriptor the caller opened (read-only or read/write,
    // which decides as above); it is closed with the drive, or at once when
    // the constructor raises.
    TDiskDrive(int fd, const std::string& fileName, TImageRole role, const void* owner);
    ~TDiskDrive();
    TDiskDrive(const TDiskDrive&) = delete;
    TDiskDrive& operator=(const TDiskDrive&) = delete;

    // Current position; callers set it before each transfer.
    uint16_t Sector = 0;
    uint16_t Track = 0;
    uint16_t SectorsPerTrack = kSectorsPerTrack;
    uint16_t TrackCount = kTrackCount;

    static int GetBlockSize() { return 2048; }
    static int GetBlockCount() { return 512; }
    static int GetDirEntryCount() { return 256; }

    // Makes a fresh image (1,048,576 bytes of E5h), written to a temporary
    // file and renamed into place. Raises std::runtime_error("Unable to
    // format the virtual drive, the drive could not be written to!") when the
    // image is open anywhere in the process (checked by identity), another
    // program writes it, or the data cannot be written; a file that cannot be
    // created or renamed into place raises EFileReplaceError (a
    // std::system_error). The old file is kept.
    static void FormatDiskImage(const std::string& fileName);

    // Before changing an image: raises EDiskError("The disk image is
    // read-only and can not be changed!", 8) when the file exists but
    // cannot be opened for writing, and EDiskError("Disk is in use!", 16)
    // while another program has it open for writing. Other failures are
    // left to the change.
    static void CheckWritable(const std::string& fileName);

    // EDiskError code 2 when Sector >= 32 (tested first) or Track >= 256.
    void CheckPosition() const;
    // 128 bytes of the current sector; code 4 on failure.
    void ReadSector(uint8_t* buffer);
    // 128 bytes to the current sector; code 8 on failure.
    void WriteSector(const uint8_t* buffer);
    // Count records from the current sector on, in one write (a range
    // past the image's end is code 2, a failure code 8).
    void WriteSectors(const uint8_t* buffer, int count);
    // 2048 bytes: the half track (sectors 0-15 or 16-31) holding Sector.
    void ReadBlock(uint8_t* buffer);
    void WriteBlock(const uint8_t* buffer);

    const std::string& FileName() const { return FFileName; }
    const TImageIdentity& Identity() const { return FRegistration.Identity(); }
    TImageRole Role() const { return FRole; }
    TDiskFileStream& Stream() { return *FStream; }
    TStreamCache& Cache() { return *FCache; }
    const TStreamCache& Cache() const { return *FCache; }

private:
    std::string FFileName;
    TImageRole FRole;
    std::unique_ptr<TDiskFileStream> FStream;
    std::unique_ptr<TStreamCache> FCache;
    TImageRegistry::TRegistration FRegistration;
};
