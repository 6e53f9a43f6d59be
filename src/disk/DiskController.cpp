#include "disk/DiskController.h"

#include <algorithm>

namespace {

const std::string kEmptyName;

bool SameNameIgnoringAsciiCase(const std::string& a, const std::string& b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

TDiskController::TDiskController() = default;

TDiskController::~TDiskController() = default;

// ---- ports -----------------------------------------------------------------

void TDiskController::WritePort(uint8_t port, uint8_t value) {
    const uint8_t reg = port & 15;
    if (reg == 0) {
        ExecuteCommand(value);
    } else if (reg < RegisterCount) {
        Registers[reg] = value;
    }
    // Register numbers 8-15 name nothing; writes there are dropped.
}

uint8_t TDiskController::ReadPort(uint8_t port) const {
    const uint8_t reg = port & 15;
    return reg < RegisterCount ? Registers[reg] : 0xFF;
}

void TDiskController::ExecuteCommand(uint8_t command) {
    switch (command) {
        case 0:
            Reset();
            break;
        case 1:
            Home();
            break;
        case 2:
            ReadSectorCmd();
            break;
        case 3:
            WriteSectorCmd();
            break;
        default:
            Registers[0] = StatusBadCommand;
            break;
    }
}

// ---- commands --------------------------------------------------------------

void TDiskController::Reset() {
    Registers.fill(0);
    // Reopening drops every read window, so the CPU sees the images as they
    // now are on the host; an image that is gone leaves its drive empty.
    RemountAll();
    Registers[0] = StatusOk;
    if (OnReset) OnReset(*this);
}

void TDiskController::Home() {
    if (!GetSelectedDrive()) {
        Registers[0] = StatusNoDisk;
        return;
    }
    Registers[2] = Registers[3] = Registers[4] = Registers[5] = 0;
    Registers[0] = StatusOk;
}

void TDiskController::ReadSectorCmd() {
    if (!GetSelectedDrive()) {
        Registers[0] = StatusNoDisk;
        return;
    }
    try {
        if (OnDiskRead) OnDiskRead(*this, GetSelectedIndex());
        // Fetched again: an event handler may have changed the drive.
        TDiskDrive* drive = GetSelectedDrive();
        if (!drive) {
            Registers[0] = StatusNoDisk;
            return;
        }
        drive->Sector = GetSectorReg();
        drive->Track = GetTrackReg();
        drive->ReadSector(SectorBuffer.data());
        DoDmaToMemory();
        Registers[0] = StatusOk;
    } catch (const EDiskError& e) {
        Registers[0] = static_cast<uint8_t>(e.Code & 0xFF);
    }
}

void TDiskController::WriteSectorCmd() {
    if (!GetSelectedDrive()) {
        Registers[0] = StatusNoDisk;
        return;
    }
    try {
        if (OnDiskWrite) OnDiskWrite(*this, GetSelectedIndex());
        const uint16_t sector = GetSectorReg();
        const uint16_t track = GetTrackReg();
        // The data is fetched before the position is checked.
        DoDmaFromMemory();
        TDiskDrive* drive = GetSelectedDrive();
        if (!drive) {
            Registers[0] = StatusNoDisk;
            return;
        }
        drive->Sector = sector;
        drive->Track = track;
        drive->WriteSector(SectorBuffer.data());
        Registers[0] = StatusOk;
    } catch (const EDiskError& e) {
        Registers[0] = static_cast<uint8_t>(e.Code & 0xFF);
    }
}

void TDiskController::DoDmaToMemory() {
    if (OnDmaToMemory) OnDmaToMemory(*this, GetDmaAddress(), 128, SectorBuffer.data());
}

void TDiskController::DoDmaFromMemory() {
    if (OnDmaFromMemory) OnDmaFromMemory(*this, GetDmaAddress(), 128, SectorBuffer.data());
}

// ---- drives ----------------------------------------------------------------

TDiskDrive* TDiskController::GetSelectedDrive() const { return GetDrive(GetSelectedIndex()); }

TDiskDrive* TDiskController::GetDrive(uint8_t drive) const { return FDrives[drive & 3].Disk.get(); }

const std::string& TDiskController::GetDriveFileName(uint8_t drive) const {
    const auto& slot = FDrives[drive & 3];
    return slot.Disk ? slot.FileName : kEmptyName;
}

bool TDiskController::IsDriveMounted(uint8_t drive) const { return GetDrive(drive) != nullptr; }

bool TDiskController::IsImageMounted(const std::string& fileName) const {
    if (const auto identity = TImageRegistry::IdentityOfPath(fileName))
        return TImageRegistry::Instance().IsOpenBy(*identity, TImageRole::Drive, this);
    // A name that reaches no file can still be the name a drive was mounted
    // by (its file since deleted or renamed on the host).
    return std::any_of(FDrives.begin(), FDrives.end(), [&](const TDriveSlot& slot) {
        return slot.Disk && SameNameIgnoringAsciiCase(slot.FileName, fileName);
    });
}

void TDiskController::MountDisk(const std::string& fileName, uint8_t drive) {
    static const char* const kAlreadyMounted = "The disk is already mounted in another drive!";
    if (IsImageMounted(fileName)) throw EDiskError(kAlreadyMounted, EDiskError::NoDisk);

    const uint8_t d = drive & 3;
    UnmountDisk(d);
    auto disk = std::make_unique<TDiskDrive>(fileName, TImageRole::Drive, this);
    TImageRegistry::Instance().CheckMountable(disk->Identity());

    // The path may have been swapped for another drive's image between the
    // check and the open; the opened file decides.
    for (uint8_t other = 0; other < DriveCount; ++other) {
        if (other != d && FDrives[other].Disk && FDrives[other].Disk->Identity() == disk->Identity())
            throw EDiskError(kAlreadyMounted, EDiskError::NoDisk);
    }
    FDrives[d].Disk = std::move(disk);
    FDrives[d].FileName = fileName;
}

void TDiskController::UnmountDisk(uint8_t drive) {
    auto& slot = FDrives[drive & 3];
    slot.Disk.reset();
    slot.FileName.clear();
}

void TDiskController::UnmountAll() {
    for (uint8_t d = 0; d < DriveCount; ++d) UnmountDisk(d);
}

void TDiskController::RemountDisk(uint8_t drive) {
    const uint8_t d = drive & 3;
    if (!FDrives[d].Disk) return;
    const std::string name = FDrives[d].FileName;
    UnmountDisk(d);
    try {
        MountDisk(name, d);
    } catch (...) {
        UnmountDisk(d);
    }
}

void TDiskController::RemountAll() {
    for (uint8_t d = 0; d < DriveCount; ++d) RemountDisk(d);
}
