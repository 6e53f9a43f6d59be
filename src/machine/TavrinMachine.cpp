#include "machine/TavrinMachine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <stdexcept>
#include <unistd.h>

namespace {

// Non-blocking, so a FIFO or device named by mistake can neither hang the
// open nor a port access: it simply has nothing to give or take.
int OpenOrThrow(const std::string& fileName, int flags) {
    int fd = ::open(fileName.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) throw std::runtime_error("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    return fd;
}

// A plain file open as the reader or punch is known to the image registry
// for as long as it is open, so no drive, Disk Manager or remote client
// takes it for a disk (the punch would overwrite it under them). The punch
// writes, so it holds the file against other programs as a drive holds its
// image; it raises EDiskError while another program writes the file.
TImageRegistry::TRegistration RegisterDeviceFile(int fd, const std::string& fileName, const void* owner, bool writes) {
    const auto identity = TImageRegistry::IdentityOfFd(fd);
    struct stat st {};
    if (!identity || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    TImageRegistry& registry = TImageRegistry::Instance();
    return writes ? registry.RegisterWriter(fd, *identity, TImageRole::DeviceFile, owner, fileName)
                  : registry.Register(*identity, TImageRole::DeviceFile, owner, fileName);
}

}  // namespace

TTavrinMachine::TTavrinMachine(const std::string& programFolder) : FProgramFolder(programFolder) {
    FCpu.OnPortRead = [this](TCpuEmu& s, uint16_t port, uint8_t& b) { CpuPortRead(s, port, b); };
    FCpu.OnPortWrite = [this](TCpuEmu& s, uint16_t port, uint8_t b) { CpuPortWrite(s, port, b); };

    FDiskController.OnDmaFromMemory = [this](TDiskController& s, uint16_t a, uint16_t n, uint8_t* buf) {
        DiskDmaFromMemory(s, a, n, buf);
    };
    FDiskController.OnDmaToMemory = [this](TDiskController& s, uint16_t a, uint16_t n, uint8_t* buf) {
        DiskDmaToMemory(s, a, n, buf);
    };
    FDiskController.OnDiskRead = [this](TDiskController& s, uint8_t d) { DiskReadLight(s, d); };
    FDiskController.OnDiskWrite = [this](TDiskController& s, uint8_t d) { DiskWriteLight(s, d); };
    FDiskController.OnReset = [this](TDiskController& s) { DiskLightsOff(s); };

    // The IOBYTE is CP/M's own memory; the lists reach it only once booted.
    // A routine waiting on one device may find another there now.
    FMapping.OnIOByteChanged = [this](TDeviceMapping&, uint8_t value) {
        if (!FBooted) return;
        FCpu.WriteMemoryByte(TDeviceMapping::IOByteAddress, value);
        DeviceReady();
    };

    FDrivePaths[0] = FProgramFolder + "DiskA" + ".cpmdsk";
    FDriveCaptions.fill("(no disk)");
}

TTavrinMachine::~TTavrinMachine() {
    // The images are released with the machine, so another machine in the
    // same process (or a later format) does not find them still in use.
    try {
        FDiskController.UnmountAll();
    } catch (...) {
    }
    CloseReaderFile();
    ClosePunchFile();
}

// --- disk controller callbacks ---------------------------------------------

void TTavrinMachine::DiskDmaToMemory(TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
    FCpu.WriteMemory(address, count, buffer);
}

void TTavrinMachine::DiskDmaFromMemory(TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
    FCpu.ReadMemory(address, count, buffer);
}

void TTavrinMachine::SetLamp(uint8_t drive, bool lit, uint32_t color) {
    if (drive > 3) return;
    TDriveLamp& lamp = FLamps[drive];
    if (lamp.Lit == lit && lamp.LitColor == color) return;
    lamp.Lit = lit;
    lamp.LitColor = color;
    if (FEvents.OnLampChanged) FEvents.OnLampChanged(*this, drive);
}

void TTavrinMachine::DiskReadLight(TDiskController&, uint8_t drive) { SetLamp(drive, true, LampReadColor); }

void TTavrinMachine::DiskWriteLight(TDiskController&, uint8_t drive) { SetLamp(drive, true, LampWriteColor); }

void TTavrinMachine::DiskLightsOff(TDiskController&) {
    for (uint8_t d = 0; d < 4; ++d) {
        SetLamp(d, false, FLamps[d].LitColor);
        // The reset reopened every image; one that has gone from the host
        // left its drive empty, and the drive's caption says so too.
        if (!DriveMounted(d) && FLamps[d].NotLitColor != LampEmptyColor) {
            FDriveCaptions[d] = "(no disk)";
            FLamps[d].NotLitColor = LampEmptyColor;
            if (FEvents.OnDriveChanged) FEvents.OnDriveChanged(*this, d);
        }
    }
}

// --- reader and punch -------------------------------------------------------

void TTavrinMachine::OpenReaderFile(const std::string& fileName) {
    CloseReaderFile();
    FReaderFd = OpenOrThrow(fileName, O_RDONLY);
    FReaderRegistration = RegisterDeviceFile(FReaderFd, fileName, this, false);
    FReaderIndex = 0;
    FReaderCount = 0;
    DeviceReady();
}

void TTavrinMachine::CloseReaderFile() {
    FReaderRegistration.Release();
    if (FReaderFd >= 0) ::close(FReaderFd);
    FReaderFd = -1;
    FReaderIndex = 0;
    FReaderCount = 0;
}

void TTavrinMachine::OpenPunchFile(const std::string& fileName, bool append) {
    ClosePunchFile();
    // Without append the old contents go only when this run writes its
    // first byte: enabling the file (as loading the settings does) loses
    // nothing by itself. Devices and pipes have nothing to empty.
    const int fd = OpenOrThrow(fileName, O_WRONLY | O_CREAT | (append ? O_APPEND : 0));
    try {
        FPunchRegistration = RegisterDeviceFile(fd, fileName, this, true);
    } catch (...) {
        ::close(fd);
        throw;
    }
    FPunchFd = fd;
    struct stat st {};
    FPunchTruncatePending = !append && ::fstat(FPunchFd, &st) == 0 && S_ISREG(st.st_mode);
    DeviceReady();
}

void TTavrinMachine::ClosePunchFile() {
    FPunchRegistration.Release();
    if (FPunchFd >= 0) ::close(FPunchFd);
    FPunchFd = -1;
    FPunchTruncatePending = false;
}

// --- keyboards ----------------------------------------------------------------

void TTavrinMachine::QueueKeys(TConsoleKeyboard keyboard, std::string_view bytes) {
    TByteFIFO& queue = keyboard == TConsoleKeyboard::Tty ? FTtyKeyQueue : FCrtKeyQueue;
    for (char c : bytes) queue.PutByte(static_cast<uint8_t>(c));
    if (!bytes.empty()) DeviceReady();
}

uint16_t TTavrinMachine::KeysWaiting(TConsoleKeyboard keyboard) const {
    return (keyboard == TConsoleKeyboard::Tty ? FTtyKeyQueue : FCrtKeyQueue).Count();
}

void TTavrinMachine::DeviceReady() {
    if (FEvents.OnDeviceReady) FEvents.OnDeviceReady(*this);
}

void TTavrinMachine::SetPrinter(IPrinterDevice* printer) {
    FPrinter = printer;
    if (printer) DeviceReady();
}

// --- serial glue ------------------------------------------------------------

uint8_t TTavrinMachine::GetComConfigByte(int line) const {
    const TComLineSettings& s = line == 1 ? FSettings.Com1 : FSettings.Com2;
    uint8_t value = static_cast<uint8_t>((s.BaudIndex & 7) | (s.FormatIndex & 3) << 3);
    if (s.TwoStopBits) value |= 0x20;
    if (s.HandShake) value |= 0x40;
    return value;
}

void TTavrinMachine::SetComConfigByte(int line, uint8_t value) {
    TComLineSettings& s = line == 1 ? FSettings.Com1 : FSettings.Com2;
    s.BaudIndex = value & 7;
    s.FormatIndex = (value >> 3) & 3;
    s.TwoStopBits = (value & 0x20) != 0;
    s.HandShake = (value & 0x40) != 0;
    if (FEvents.OnApplyComSettings) FEvents.OnApplyComSettings(*this, line);
}

void TTavrinMachine::ComDataBlock(int line, const uint8_t* data, size_t count) {
    bool& drop = HostLine(line).DropNextBlock;
    TByteFIFO& queue = HostLine(line).Received;
    if (drop) {
        drop = false;
        return;
    }
    for (size_t i = 0; i < count; ++i) queue.PutByte(data[i]);
    if (count > 0) DeviceReady();
}

void TTavrinMachine::DropNextComBlock(int line) { HostLine(line).DropNextBlock = true; }

void TTavrinMachine::ClearComReceived(int line) { HostLine(line).Received.Clear(); }

uint16_t TTavrinMachine::ComBytesWaiting(int line) const { return HostLine(line).Received.Count(); }

void TTavrinMachine::SetHostComPorts(IHostSerialPort* com1, IHostSerialPort* com2) {
    FCom1.Port = com1;
    FCom2.Port = com2;
}

// --- system-manager channel -------------------------------------------------

std::optional<std::string> TTavrinMachine::SelectedPrinterName() {
    if (FEvents.OnSelectedPrinterName) return FEvents.OnSelectedPrinterName(*this);
    return std::nullopt;
}

// --- run --------------------------------------------------------------------

TBurstResult TTavrinMachine::RunBurst(uint32_t maxCount) {
    // Chunks keep the idle check out of the per-instruction loop, so
    // programs that work run as fast as without it.
    const bool breakPointSet = FBreakPointSet;
    const uint16_t breakPoint = FBreakPoint;
    FIdleWatch.StartBurst();
    FIdleWake.BurstStarts();
    for (uint32_t done = 0; done < maxCount;) {
        const uint32_t chunk = std::min(maxCount - done, TIdlePollWatch::ChunkLength);
        if (!breakPointSet) {
            for (uint32_t i = 0; i < chunk; ++i) FCpu.ExecuteOpcode();
        } else {
            for (uint32_t i = 0; i < chunk; ++i) {
                FCpu.ExecuteOpcode();
                if (FCpu.NextPC == breakPoint) return TBurstResult::BreakPoint;
            }
        }
        done += chunk;
        if (FIdleWatch.EndChunk(chunk) && FIdleWait) return TBurstResult::Idle;
    }
    return TBurstResult::Completed;
}
