#pragma once
// The emulated computer, without any window: the Z80, its six byte queues,
// the disk controller, the staging image for HEX loads, the reader and punch
// files, the break point and the I/O port map that ties them together. The
// main window owns one and reaches the devices it adds (consoles, printer,
// serial lines, TCP server) through the interfaces of MachineDevices.h;
// settings the ports consult live in the plain model Settings. The
// system-manager channel (ports 40h/41h) and the device mapping byte (port
// 48h, IOBYTE at 0003h) are units of their own that the machine holds and
// serves as their host.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "cpu/z80Cpu.h"
#include "disk/DiskController.h"
#include "disk/ImageRegistry.h"
#include "machine/ByteFIFO.h"
#include "machine/HexImage.h"
#include "machine/IdlePollWatch.h"
#include "machine/IdleWake.h"
#include "machine/MachineDevices.h"
#include "machine/MachineSettings.h"
#include "machine/DeviceMapping.h"
#include "machine/SysCommandChannel.h"

// Lamp colours as Windows colour values (00BBGGRRh).
inline constexpr uint32_t LampReadColor = 0x00FFFF;     // yellow
inline constexpr uint32_t LampWriteColor = 0x0000FF;    // red
inline constexpr uint32_t LampMountedColor = 0xFF0000;  // blue
inline constexpr uint32_t LampEmptyColor = 0x808080;    // grey

struct TDriveLamp {
    bool Lit = false;
    uint32_t LitColor = LampReadColor;
    uint32_t NotLitColor = LampEmptyColor;
};

// How a run burst ended. Idle: the Z80 has done nothing but poll devices
// that are not ready for about a burst's length, so the burst ended early
// (or just at its end) and the run may wait until a device is ready.
enum class TBurstResult : uint8_t { Completed, BreakPoint, Idle };

// The two keyboards the CPU reads: TTY on ports 10h/11h, CRT on 12h/13h.
enum class TConsoleKeyboard : uint8_t { Tty, Crt };

class TTavrinMachine;

// Who the machine tells about changes. The window fills in the ones it
// needs; an empty one is not called.
struct TMachineEvents {
    // A drive's caption, lamp colours or mount state changed.
    std::function<void(TTavrinMachine& sender, uint8_t drive)> OnDriveChanged;
    // A lamp lit or went out (drive 0-3).
    std::function<void(TTavrinMachine& sender, uint8_t drive)> OnLampChanged;
    // Apply the COM line's settings (1 or 2) after the CPU changed them.
    std::function<void(TTavrinMachine& sender, int line)> OnApplyComSettings;
    // The selected system printer's name for the PRINT command; none while
    // the host has no printer (or no handler is set).
    std::function<std::optional<std::string>(TTavrinMachine& sender)> OnSelectedPrinterName;
    // The reader file was closed at its end of file.
    std::function<void(TTavrinMachine& sender)> OnReaderClosed;
    // The punch file was closed after a failed write.
    std::function<void(TTavrinMachine& sender)> OnPunchClosed;
    // A device may have become ready (see DeviceReady), so a run waiting
    // for one should go on at once.
    std::function<void(TTavrinMachine& sender)> OnDeviceReady;
};

class TTavrinMachine : public ISysHost {
public:
    static constexpr uint32_t BurstLength = 100001;
    static constexpr uint32_t SystemTrackBytes = 2 * 32 * 128;  // 8192
    static constexpr int64_t DiskImageSize = 1048576;
    static constexpr int64_t ProgramSizeLimit = 0xDB00;  // 56064

    // programFolder: where images and disks resolve, with trailing separator.
    explicit TTavrinMachine(const std::string& programFolder);
    ~TTavrinMachine() override;
    TTavrinMachine(const TTavrinMachine&) = delete;
    TTavrinMachine& operator=(const TTavrinMachine&) = delete;

    // --- the machine --------------------------------------------------------
    TCpuEmu& Cpu() { return FCpu; }
    const TCpuEmu& Cpu() const { return FCpu; }
    // The settings model the window's controls edit.
    TMachineSettings& Settings() { return FSettings; }
    const TMachineSettings& Settings() const { return FSettings; }
    // The mapping lists and the cold-boot default (port 48h); their changes
    // reach 0003h once the system is booted.
    TDeviceMapping& Mapping() { return FMapping; }
    const TDeviceMapping& Mapping() const { return FMapping; }
    // Set by a successful BootSystem, never cleared.
    bool Booted() const { return FBooted; }
    // True while some drive has this image open.
    bool ImageMounted(const std::string& fileName) const { return FDiskController.IsImageMounted(fileName); }
    TMachineEvents& Events() { return FEvents; }

    // --- break point ----------------------------------------------------------
    void SetBreakPoint(uint16_t address) {
        FBreakPoint = address;
        FBreakPointSet = true;
    }
    void ClearBreakPoint() { FBreakPointSet = false; }
    bool BreakPointSet() const { return FBreakPointSet; }
    // The last address armed; kept while the break point is cleared.
    uint16_t BreakPoint() const { return FBreakPoint; }

    // --- devices (null = absent) -------------------------------------------
    void SetTtyConsole(ITtyConsole* console) { FTtyConsole = console; }
    void SetCrtConsole(ICrtConsole* console) { FCrtConsole = console; }
    // A printer given wakes a run that waits for one.
    void SetPrinter(IPrinterDevice* printer);
    // The host ports behind COM1 and COM2; their received bytes come in
    // through ComDataBlock.
    void SetHostComPorts(IHostSerialPort* com1, IHostSerialPort* com2);
    // The TCP server that serves COM1 while the settings say so.
    void SetTcpCom1(ISerialLine* server) { FTcpCom1 = server; }

    // --- drive lamps ------------------------------------------------------
    const TDriveLamp& Lamp(uint8_t drive) const { return FLamps[drive & 3]; }

    // --- reader and punch files --------------------------------------------
    // Throw std::runtime_error with the system's reason when the file cannot
    // be opened; an open file is closed first. The punch is refused, as a
    // drive is, with EDiskError("Disk is in use!") while another program
    // writes the file, and holds it against other programs while open.
    void OpenReaderFile(const std::string& fileName);
    void CloseReaderFile();
    bool ReaderOpen() const { return FReaderFd >= 0; }
    void OpenPunchFile(const std::string& fileName, bool append);
    void ClosePunchFile();
    bool PunchOpen() const { return FPunchFd >= 0; }

    // --- keyboards ------------------------------------------------------------
    // The one road of typed bytes to the CPU: appended in order to the
    // keyboard's queue; bytes that find it full are dropped.
    void QueueKeys(TConsoleKeyboard keyboard, std::string_view bytes);
    // Bytes the CPU has not read yet; reading them through the ports would
    // take them away.
    uint16_t KeysWaiting(TConsoleKeyboard keyboard) const;

    // --- serial glue helpers -----------------------------------------------
    // Bytes received on line 1 or 2 (dropped when the drop flag is set).
    void ComDataBlock(int line, const uint8_t* data, size_t count);
    // A BREAK arrived: the block that carries its byte is not received.
    void DropNextComBlock(int line);
    // The line is reopened: what it received before goes.
    void ClearComReceived(int line);
    // Like KeysWaiting, for line 1 or 2.
    uint16_t ComBytesWaiting(int line) const;

    // --- system-manager channel (host side) ---------------------------------
    std::string DrivePath(uint8_t d) const override { return d < 4 ? FDrivePaths[d] : std::string(); }
    std::optional<std::string> SelectedPrinterName() override;

    // --- boot and loading --------------------------------------------------
    void MountDrive(uint8_t drive, const std::string& fileName) override;
    void UnmountDrive(uint8_t drive) override;
    bool DriveMounted(uint8_t drive) const override;
    // "(no disk)" or the image name in double quotes.
    const std::string& DriveCaption(uint8_t drive) const override { return FDriveCaptions[drive & 3]; }
    // The machine part of "Boot CPM System" between stopping and starting the
    // run: queues cleared, images loaded, drives mounted, CPU reset to the
    // BIOS; from then on mapping changes reach 0003h. Throws on failure (the
    // CPU is then not reset and the booted state is unchanged).
    void BootSystem();
    // "Load Hex File": loads into memory and resets the CPU to the first record.
    THexLoadResult LoadHexToMemory(const std::string& fileName);
    // "Load Binnary File": the program at 0100h; returns its 256-byte pages.
    uint32_t LoadBinaryProgram(const std::string& fileName);
    // Creates the drive A image (1 MB of E5h) when it is missing.
    void EnsureDriveAImage();

    // --- run ---------------------------------------------------------------
    // Up to maxCount instructions; stops after the instruction that leaves
    // the next PC on the armed break point, or with Idle once the Z80 has
    // done nothing but poll for input that is not there, without a break,
    // for about a burst's length (unless IdleWait is off, which benchmarks
    // use for comparison).
    TBurstResult RunBurst(uint32_t maxCount = BurstLength);
    void SetIdleWait(bool on) { FIdleWait = on; }
    void StepCpu() { FCpu.ExecuteOpcode(); }
    // Something outside the port map may have made a device ready: a key,
    // received data, a file, a printer, a line opened, a mapping changed.
    // Tells OnDeviceReady; the machine calls it for what it is given itself.
    void DeviceReady();
    // How devices served by other threads wake a waiting run: the run arms
    // it, a Ready that returns true is handed to DeviceReady on this thread.
    TIdleWake& IdleWake() { return FIdleWake; }

    const std::string& ProgramFolderPath() const override { return FProgramFolder; }

private:
    // --- port map ----------------------------------------------------------
    void CpuPortRead(TCpuEmu& sender, uint16_t port, uint8_t& dataByte);
    void CpuPortWrite(TCpuEmu& sender, uint16_t port, uint8_t dataByte);
    // One handler per port (the low byte); each says what its access tells
    // the idle wait.
    TPortActivity ReadPort(uint8_t port, uint8_t& dataByte);
    TPortActivity WritePort(uint8_t port, uint8_t dataByte);
    void DiskDmaToMemory(TDiskController& sender, uint16_t address, uint16_t count, uint8_t* buffer);
    void DiskDmaFromMemory(TDiskController& sender, uint16_t address, uint16_t count, uint8_t* buffer);
    void DiskReadLight(TDiskController& sender, uint8_t drive);
    void DiskWriteLight(TDiskController& sender, uint8_t drive);
    void DiskLightsOff(TDiskController& sender);
    // The COM line's settings as the byte of port 30h or 31h.
    uint8_t GetComConfigByte(int line) const;
    void SetComConfigByte(int line, uint8_t value);
    // The printer device when it also serves the PRINT command.
    ISysPrinter* SysPrinter() override { return dynamic_cast<ISysPrinter*>(FPrinter); }

    // --- boot and loading --------------------------------------------------
    std::string ResolveImagePath(const std::string& name, const std::string& defaultName) const;
    struct TSystemLoad {
        uint16_t BiosFirst = 0;
        uint16_t CpmFirst = 0;
        uint16_t NextFree = 0;
        uint16_t Start = 0;   // the loaded span: CpmFirst when CP/M lies lowest
        uint32_t Length = 0;  // bytes of the span
    };
    TSystemLoad LoadSystemImages(TMemoryImage& image);
    // After a failed mount: puts the previous image back (its caption,
    // lamp and path were never changed); false when there is none or it
    // cannot be opened again.
    bool RestoreDrive(uint8_t drive, const std::string& previous);
    void WriteSystemTracks(const std::string& fileName);
    // Refusals of MountDrive that come before anything changes: an image in
    // another drive, a missing file, or one that is no disk image.
    void CheckImageToMount(uint8_t drive, const std::string& fileName) const;

    // COM2, or COM1 on its host port: the port sends, the machine's queue
    // holds what it received.
    class THostComLine : public ISerialLine {
    public:
        IHostSerialPort* Port = nullptr;
        TByteFIFO Received{512};
        bool DropNextBlock = false;
        bool IsOpen() override { return Port && Port->IsOpen(); }
        bool DataAvailable() override { return Received.Count() > 0; }
        bool ReadByte(uint8_t& b) override { return Received.GetByte(b); }
        bool CanWrite() override { return Port && Port->CanWrite(); }
        void WriteByte(uint8_t b) override { Port->WriteByte(b); }
    };
    THostComLine& HostLine(int line) { return line == 1 ? FCom1 : FCom2; }
    const THostComLine& HostLine(int line) const { return line == 1 ? FCom1 : FCom2; }
    // What the port map talks to for line 1 or 2; null for an absent TCP server.
    ISerialLine* ComLine(int line);
    uint8_t SerialStatus(int line);
    void ReaderRefill();
    void PunchByte(uint8_t dataByte);
    void SetLamp(uint8_t drive, bool lit, uint32_t color);

    TCpuEmu FCpu;
    TMachineSettings FSettings;
    TMachineEvents FEvents;
    TDeviceMapping FMapping;
    // From a successful boot on, mapping changes reach 0003h.
    bool FBooted = false;
    TDiskController FDiskController;
    TMemoryImage FStagingImage{};
    std::array<std::string, 4> FDrivePaths;

    TByteFIFO FTtyKeyQueue{32};
    uint8_t FLastTtyKey = 0;
    TByteFIFO FCrtKeyQueue{32};
    uint8_t FLastCrtKey = 0;
    THostComLine FCom1;
    THostComLine FCom2;
    ISerialLine* FTcpCom1 = nullptr;

    uint16_t FBreakPoint = 0;
    bool FBreakPointSet = false;
    bool FIdleWait = true;

    ITtyConsole* FTtyConsole = nullptr;
    ICrtConsole* FCrtConsole = nullptr;
    IPrinterDevice* FPrinter = nullptr;

    TSysCommandChannel FSysChannel{*this};

    std::string FProgramFolder;
    std::array<TDriveLamp, 4> FLamps;
    std::array<std::string, 4> FDriveCaptions;

    int FReaderFd = -1;
    TImageRegistry::TRegistration FReaderRegistration;
    int FReaderIndex = 0;
    int FReaderCount = 0;
    std::array<uint8_t, 512> FReaderBuffer{};
    int FPunchFd = -1;
    TImageRegistry::TRegistration FPunchRegistration;
    TIdlePollWatch FIdleWatch;
    TIdleWake FIdleWake;
    bool FPunchTruncatePending = false;  // the old contents go at the first byte
};
