#pragma once
// The four-drive disk controller as the CPU sees it, on ports 70h-77h:
//
//   70h  write: command (0 reset, 1 home, 2 read, 3 write); read: status
//   71h  drive select (bits 0-1)
//   72h/73h sector, 74h/75h track, 76h/77h DMA address (low, high)
//
// Status: 0 done, 1 no disk, 2 bad position, 4 read failed, 8 write failed,
// 9 unknown command. Sector data moves between SectorBuffer and CPU memory
// through the DMA events.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "disk/DiskDrive.h"

class TDiskController;

// Count is always 128 and Buffer is the controller's SectorBuffer.
using TDiskDmaEvent = std::function<void(TDiskController& sender, uint16_t address, uint16_t count, uint8_t* buffer)>;
// Drive 0-3.
using TDiskActivityEvent = std::function<void(TDiskController& sender, uint8_t drive)>;
using TDiskNotifyEvent = std::function<void(TDiskController& sender)>;

class TDiskController {
public:
    static constexpr int DriveCount = 4;
    static constexpr int RegisterCount = 8;
    static constexpr uint8_t StatusOk = 0;
    static constexpr uint8_t StatusNoDisk = 1;
    static constexpr uint8_t StatusBadCommand = 9;

    TDiskController();
    ~TDiskController();
    TDiskController(const TDiskController&) = delete;
    TDiskController& operator=(const TDiskController&) = delete;

    std::array<uint8_t, RegisterCount> Registers{};
    std::array<uint8_t, 128> SectorBuffer{};

    TDiskDmaEvent OnDmaFromMemory;  // fill SectorBuffer from CPU memory
    TDiskDmaEvent OnDmaToMemory;    // copy SectorBuffer into CPU memory
    TDiskActivityEvent OnDiskRead;
    TDiskActivityEvent OnDiskWrite;
    TDiskNotifyEvent OnReset;

    // Port is the register number (0-7); 8-15 read FFh and ignore writes.
    void WritePort(uint8_t port, uint8_t value);
    uint8_t ReadPort(uint8_t port) const;
    void ExecuteCommand(uint8_t command);

    bool IsDriveMounted(uint8_t drive) const;
    // True when some drive holds this file: by identity (any name, path or
    // link of it); for a name that names no file, by name ignoring ASCII case.
    bool IsImageMounted(const std::string& fileName) const;
    // EDiskError("The disk is already mounted in another drive!", 1) when the
    // image is in any drive (this one included); otherwise replaces drive
    // (drive & 3). An open failure leaves the drive empty and passes on.
    void MountDisk(const std::string& fileName, uint8_t drive);
    void UnmountDisk(uint8_t drive);
    void UnmountAll();
    // Reopens a mounted image (dropping its read window); a failure
    // leaves the drive empty and is not reported.
    void RemountDisk(uint8_t drive);
    void RemountAll();

    // Command handlers (also reached through register 0).
    void Reset();
    void Home();
    void ReadSectorCmd();
    void WriteSectorCmd();

    static uint16_t MakeWord(uint8_t hi, uint8_t lo) { return static_cast<uint16_t>(hi * 256 + lo); }
    uint16_t GetSectorReg() const { return MakeWord(Registers[3], Registers[2]); }
    uint16_t GetTrackReg() const { return MakeWord(Registers[5], Registers[4]); }
    uint16_t GetDmaAddress() const { return MakeWord(Registers[7], Registers[6]); }
    uint8_t GetSelectedIndex() const { return Registers[1] & 3; }
    // Nullptr when the selected drive is empty.
    TDiskDrive* GetSelectedDrive() const;
    // The drive (drive & 3) and its image name; nullptr / empty when empty.
    TDiskDrive* GetDrive(uint8_t drive) const;
    const std::string& GetDriveFileName(uint8_t drive) const;

    void DoDmaToMemory();
    void DoDmaFromMemory();

private:
    struct TDriveSlot {
        std::unique_ptr<TDiskDrive> Disk;
        std::string FileName;
    };
    std::array<TDriveSlot, DriveCount> FDrives;
};
