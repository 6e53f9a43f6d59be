// Boot and program loading: HEX images into the staging image and memory,
// the system tracks of drive A, and the drive mounting the BIOS relies on.

#include "machine/TavrinMachine.h"

#include "disk/ImageRegistry.h"
#include "platform/core/ConfigObject.h"
#include "platform/core/ProgramFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies image[first .. first+length-1] (wrapping at FFFFh) into CPU memory
// at the same addresses.
void CopyToMemory(TCpuEmu& cpu, const TMemoryImage& image, uint16_t first, uint32_t length) {
    uint32_t address = first;
    while (length > 0) {
        uint32_t chunk = std::min<uint32_t>(length, 65536 - address);
        chunk = std::min<uint32_t>(chunk, 0x8000);
        cpu.WriteMemory(static_cast<uint16_t>(address), static_cast<uint16_t>(chunk), image.data() + address);
        address = (address + chunk) & 0xFFFF;
        length -= chunk;
    }
}

}  // namespace

std::string TTavrinMachine::ResolveImagePath(const std::string& name, const std::string& defaultName) const {
    if (name.empty()) return FProgramFolder + defaultName;
    if (name.find('/') == std::string::npos) return FProgramFolder + name;
    return name;
}

TTavrinMachine::TSystemLoad TTavrinMachine::LoadSystemImages(TMemoryImage& image) {
    std::string cpmPath = ResolveImagePath(NrTrim(FSettings.CpmSourceFile), "cpm22.hex");
    std::string biosPath = ResolveImagePath(NrTrim(FSettings.BiosSourceFile), "zubios.hex");
    image.fill(0);
    THexLoadResult cpm = LoadHexImage(cpmPath, image);
    THexLoadResult bios = LoadHexImage(biosPath, image);
    TSystemLoad load;
    load.CpmFirst = cpm.First;
    load.BiosFirst = bios.First;
    load.NextFree = bios.NextFree;
    THexSpan span = HexLoadedSpan(cpm.Stored | bios.Stored, cpm.First);
    load.Start = span.Start;
    load.Length = span.Length;
    return load;
}

void TTavrinMachine::WriteSystemTracks(const std::string& fileName) {
    TSystemLoad load = LoadSystemImages(FStagingImage);
    if (!FileExists(fileName))
        throw std::runtime_error("The disk \"" + ExtractFileName(fileName) + "\" could not be found!");
    // Tracks 0-1 are the system area; more would overwrite the directory.
    if (load.Length > SystemTrackBytes)
        throw std::runtime_error("The CPM and BIOS images need " + std::to_string(load.Length) +
                                 " bytes, more than the 8192 bytes of the system tracks!");
    // A write-protected disk cannot take the system tracks drive A needs.
    TDiskDrive::CheckWritable(fileName);
    uint32_t records = (load.Length + 127) / 128;
    TDiskDrive drive(fileName);
    drive.Sector = 0;
    drive.Track = 0;
    uint32_t cursor = load.Start;
    uint8_t buffer[128];
    for (uint32_t r = 0; r < records; ++r) {
        for (uint32_t i = 0; i < 128; ++i) buffer[i] = cursor + i <= 0xFFFF ? FStagingImage[cursor + i] : 0;
        drive.WriteSector(buffer);
        cursor += 128;
        if (++drive.Sector >= drive.SectorsPerTrack) {
            drive.Sector = 0;
            ++drive.Track;
        }
    }
}

bool TTavrinMachine::DriveMounted(uint8_t drive) const { return drive < 4 && FDiskController.IsDriveMounted(drive); }

void TTavrinMachine::CheckImageToMount(uint8_t drive, const std::string& fileName) const {
    std::optional<TImageIdentity> id = TImageRegistry::IdentityOfPath(fileName);
    if (id) TImageRegistry::Instance().CheckMountable(*id);
    for (uint8_t d = 0; d < 4 && id; ++d) {
        TDiskDrive* other = d == drive ? nullptr : FDiskController.GetDrive(d);
        if (other && other->Identity() == *id)
            throw EDiskError("The disk is already mounted in another drive!", EDiskError::NoDisk);
    }
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) {
        // Drive A's system tracks need the file; the other drives report
        // a missing one as the open does.
        if (drive == 0) throw std::runtime_error("The disk \"" + ExtractFileName(fileName) + "\" could not be found!");
        throw EDiskError("Selected disk is bad!", EDiskError::NoDisk);
    }
    if (!S_ISREG(st.st_mode) || (drive == 0 && st.st_size != DiskImageSize))
        throw EDiskError("Selected disk is bad!", EDiskError::NoDisk);
}

void TTavrinMachine::MountDrive(uint8_t drive, const std::string& fileName) {
    if (drive > 3) return;
    const std::string previous = FDiskController.IsDriveMounted(drive) ? FDrivePaths[drive] : std::string();
    std::string caption = "\"" + FileNameWithoutExt(fileName) + "\"";
    try {
        // Checked before anything changes, so a refused image leaves the
        // drive with the disk it held (and drive A's new image untouched).
        CheckImageToMount(drive, fileName);
        // Inserting the image a drive already holds is a fresh mount of it,
        // not a clash with "another drive" that would leave the drive empty.
        if (TDiskDrive* current = FDiskController.GetDrive(drive)) {
            std::optional<TImageIdentity> id = TImageRegistry::IdentityOfPath(fileName);
            if (id && current->Identity() == *id) FDiskController.UnmountDisk(drive);
        }
        if (drive == 0) WriteSystemTracks(fileName);
        FDiskController.MountDisk(fileName, drive);
        FDriveCaptions[drive] = caption;
        FLamps[drive].NotLitColor = LampMountedColor;
        FDrivePaths[drive] = fileName;
        if (FEvents.OnDriveChanged) FEvents.OnDriveChanged(*this, drive);
    } catch (...) {
        if (!RestoreDrive(drive, previous)) UnmountDrive(drive);
        throw;
    }
}

bool TTavrinMachine::RestoreDrive(uint8_t drive, const std::string& previous) {
    if (previous.empty()) return false;
    if (FDiskController.IsDriveMounted(drive)) return true;  // the failure came before the old disk was taken out
    try {
        FDiskController.MountDisk(previous, drive);
    } catch (...) {
        return false;
    }
    return true;
}

void TTavrinMachine::UnmountDrive(uint8_t drive) {
    if (drive > 3) return;
    FDrivePaths[drive].clear();
    FDiskController.UnmountDisk(drive);
    FDriveCaptions[drive] = "(no disk)";
    FLamps[drive].NotLitColor = LampEmptyColor;
    if (FEvents.OnDriveChanged) FEvents.OnDriveChanged(*this, drive);
}

void TTavrinMachine::BootSystem() {
    FCom1.Received.Clear();
    FCom2.Received.Clear();
    FCrtKeyQueue.Clear();
    FTtyKeyQueue.Clear();
    FLastCrtKey = 0;
    FLastTtyKey = 0;
    FDiskController.UnmountAll();
    for (uint8_t d = 0; d < 4; ++d) {
        // The paths stay: they are mounted again below.
        FDriveCaptions[d] = "(no disk)";
        FLamps[d].NotLitColor = LampEmptyColor;
        if (FEvents.OnDriveChanged) FEvents.OnDriveChanged(*this, d);
    }
    TSystemLoad load = LoadSystemImages(FStagingImage);
    CopyToMemory(FCpu, FStagingImage, load.Start, load.Length);
    if (!FileExists(FDrivePaths[0]))
        throw std::runtime_error("A disk must be selected for drive A before you may boot CPM!");
    MountDrive(0, FDrivePaths[0]);
    for (uint8_t d = 1; d < 4; ++d)
        if (FileExists(FDrivePaths[d])) MountDrive(d, FDrivePaths[d]);
    FCpu.Reset(load.BiosFirst);
    FBooted = true;
}

THexLoadResult TTavrinMachine::LoadHexToMemory(const std::string& fileName) {
    FStagingImage.fill(0);
    THexLoadResult load = LoadHexImage(fileName, FStagingImage);
    THexSpan span = HexLoadedSpan(load.Stored, load.First);
    CopyToMemory(FCpu, FStagingImage, span.Start, span.Length);
    FCpu.Reset(load.First);
    return load;
}

uint32_t TTavrinMachine::LoadBinaryProgram(const std::string& fileName) {
    FStagingImage.fill(0);
    // Non-blocking open: a FIFO chosen by mistake must not hang the window.
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw std::runtime_error("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    struct TCloser {
        int Fd;
        ~TCloser() { ::close(Fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw std::runtime_error("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw std::runtime_error("Cannot open file \"" + fileName + "\". Not a regular file");
    if (st.st_size >= ProgramSizeLimit) throw std::runtime_error("Program file is to large to fit into memory!");
    size_t size = static_cast<size_t>(st.st_size);
    size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, FStagingImage.data() + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got < size) throw std::runtime_error("Unable to read entire program file!");
    FCpu.WriteMemory(0x0100, static_cast<uint16_t>(size), FStagingImage.data());
    return static_cast<uint32_t>((size + 255) / 256);
}

void TTavrinMachine::EnsureDriveAImage() {
    if (!FileExists(FDrivePaths[0])) TDiskDrive::FormatDiskImage(FDrivePaths[0]);
}
