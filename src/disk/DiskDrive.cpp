#include "disk/DiskDrive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/core/FileReplace.h"

namespace {

const char* const kBadDisk = "Selected disk is bad!";
const char* const kReadFailed = "Read from disk failed!";
const char* const kWriteFailed = "Write to disk failed!";
const char* const kFormatFailed = "Unable to format the virtual drive, the drive could not be written to!";
const char* const kReadOnlyDisk = "The disk image is read-only and can not be changed!";
const char* const kDiskInUse = "Disk is in use!";

int OpenImage(const std::string& fileName, int access) {
    return ::open(fileName.c_str(), access | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

// The open failed because the file may be read but not written: a read-only
// file system, no write permission, an immutable file.
bool WriteRefused(int error) { return error == EROFS || error == EACCES || error == EPERM || error == ETXTBSY; }

}  // namespace

// O_NONBLOCK keeps a FIFO or device from blocking the open; it is cleared
// again once the file is known to be a plain file.
int TDiskDrive::OpenImageFile(const std::string& fileName, TDiskAccess access) {
    if (fileName.empty()) return -1;
    int fd = OpenImage(fileName, access == TDiskAccess::ReadOnly ? O_RDONLY : O_RDWR);
    if (fd < 0 && access == TDiskAccess::ReadWrite && WriteRefused(errno)) fd = OpenImage(fileName, O_RDONLY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

namespace {

bool OpenForWriting(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY;
}

}  // namespace

TDiskDrive::TDiskDrive(const std::string& fileName, TImageRole role, const void* owner, TDiskAccess access)
    : TDiskDrive(OpenImageFile(fileName, access), fileName, role, owner) {}

TDiskDrive::TDiskDrive(int fd, const std::string& fileName, TImageRole role, const void* owner)
    : FFileName(fileName), FRole(role) {
    if (fd < 0) throw EDiskError(kBadDisk, EDiskError::NoDisk);
    FStream = std::make_unique<TDiskFileStream>(fd);

    const auto identity = TImageRegistry::IdentityOfFd(fd);
    const int64_t size = FStream->Size();
    if (!identity || size < 0) throw EDiskError(kBadDisk, EDiskError::NoDisk);

    // A trailing part-record is ignored; nothing past the full image is used.
    const int64_t records = std::min<int64_t>(size / RecordSize, RecordTotal);
    FCache = std::make_unique<TStreamCache>(FStream.get(), 0, static_cast<int32_t>(records), RecordSize, WindowRecords);
    TImageRegistry& registry = TImageRegistry::Instance();
    FRegistration = OpenForWriting(fd) ? registry.RegisterWriter(fd, *identity, role, owner, fileName)
                                       : registry.Register(*identity, role, owner, fileName);
}

TDiskDrive::~TDiskDrive() {
    FRegistration.Release();
    FCache.reset();
    FStream.reset();
}

void TDiskDrive::FormatDiskImage(const std::string& fileName) {
    // Never replace an image that something in this program holds open, or
    // that another program writes.
    if (TImageRegistry::Instance().OpenInAnyProgram(fileName)) throw std::runtime_error(kFormatFailed);

    const std::string image(static_cast<size_t>(ImageSize), static_cast<char>(FillByte));
    try {
        ReplaceFileContents(fileName, image);
    } catch (const EFileReplaceError& e) {
        if (e.Stage == EFileReplaceError::TStage::Write) throw std::runtime_error(kFormatFailed);
        throw;
    }
}

void TDiskDrive::CheckWritable(const std::string& fileName) {
    const int fd = OpenImage(fileName, O_RDWR);
    if (fd >= 0) {
        ::close(fd);
        if (TImageRegistry::Instance().HeldByAnotherProgram(fileName))
            throw EDiskError(kDiskInUse, EDiskError::DiskInUse);
        return;
    }
    if (WriteRefused(errno) && ::access(fileName.c_str(), F_OK) == 0)
        throw EDiskError(kReadOnlyDisk, EDiskError::WriteFailed);
}

void TDiskDrive::CheckPosition() const {
    if (Sector >= kSectorsPerTrack)
        throw EDiskError("Invalid track sector (" + std::to_string(Sector) + ")!", EDiskError::BadPosition);
    if (Track >= kTrackCount)
        throw EDiskError("Invalid disk track (" + std::to_string(Track) + ")!", EDiskError::BadPosition);
}

void TDiskDrive::ReadSector(uint8_t* buffer) {
    CheckPosition();
    const uint8_t* record = FCache->GetRecord(Track * kSectorsPerTrack + Sector);
    if (!record) throw EDiskError(kReadFailed, EDiskError::ReadFailed);
    std::memcpy(buffer, record, RecordSize);
}

void TDiskDrive::WriteSector(const uint8_t* buffer) {
    CheckPosition();
    if (FCache->WriteRecord(Track * kSectorsPerTrack + Sector, buffer) < 0)
        throw EDiskError(kWriteFailed, EDiskError::WriteFailed);
}

void TDiskDrive::WriteSectors(const uint8_t* buffer, int count) {
    CheckPosition();
    const int first = Track * kSectorsPerTrack + Sector;
    if (count < 0 || count > RecordTotal - first)
        throw EDiskError("Invalid record count (" + std::to_string(count) + ")!", EDiskError::BadPosition);
    if (count > 0 && FCache->WriteRecords(first, count, buffer) < 0)
        throw EDiskError(kWriteFailed, EDiskError::WriteFailed);
}

void TDiskDrive::ReadBlock(uint8_t* buffer) {
    CheckPosition();
    // A block is half a track: sectors 0-15 or 16-31.
    const int first = Track * kSectorsPerTrack + (Sector & 0xFFF0);
    for (int k = 0; k < 16; ++k) {
        const uint8_t* record = FCache->GetRecord(first + k);
        if (!record) throw EDiskError(kReadFailed, EDiskError::ReadFailed);
        std::memcpy(buffer + k * RecordSize, record, RecordSize);
    }
}

void TDiskDrive::WriteBlock(const uint8_t* buffer) {
    CheckPosition();
    const int first = Track * kSectorsPerTrack + (Sector & 0xFFF0);
    for (int k = 0; k < 16; ++k)
        if (FCache->WriteRecord(first + k, buffer + k * RecordSize) < 0)
            throw EDiskError(kWriteFailed, EDiskError::WriteFailed);
}
