// The I/O port map: only the low byte of the port is decoded. Data ports with
// nothing to give leave the CPU's destination register as it was.
//
// Every handler also says what its access tells the idle wait: a status read
// that finds its device not ready is a wait poll, anything else is work. Each
// case returns its own answer, so a port added here cannot take one from its
// neighbour: the compiler warns on a fall-through and on a path without a
// return, and every CI build makes a warning an error.

#include "machine/TavrinMachine.h"

#include "machine/MachinePortNumbers.h"

#include <cerrno>
#include <unistd.h>

using namespace MachinePort;

namespace {

bool IsDiskPort(uint8_t port) { return port >= DiskFirst && port <= DiskLast; }

constexpr uint8_t BothWays = StatusInputReady | StatusOutputReady;

// A console keyboard always takes output and has input while keys wait.
uint8_t KeyboardStatus(const TByteFIFO& keys) {
    return keys.Count() > 0 ? StatusInputReady | StatusOutputReady : StatusOutputReady;
}

// A status read of a device that serves the ways in serves (input, output
// or both): a wait poll unless it is ready every one of those ways. A program
// that finds the device ready for what it waits for acts on it, which is
// work; one that does not polls on, whichever way it waits.
TPortActivity Status(uint8_t& dataByte, uint8_t status, uint8_t serves) {
    dataByte = status;
    return (status & serves) == serves ? TPortActivity::Work : TPortActivity::WaitPoll;
}

}  // namespace

ISerialLine* TTavrinMachine::ComLine(int line) {
    if (line == 1 && FSettings.UseTCPasCom1) return FTcpCom1;
    return &HostLine(line);
}

// A serial line's status port: nothing while the line is closed, even with
// bytes left in its receive queue.
uint8_t TTavrinMachine::SerialStatus(int line) {
    ISerialLine* com = ComLine(line);
    uint8_t status = 0;
    if (com && com->IsOpen()) {
        if (com->DataAvailable()) status |= StatusInputReady;
        if (com->CanWrite()) status |= StatusOutputReady;
    }
    return status;
}

void TTavrinMachine::ReaderRefill() {
    if (FReaderFd < 0 || FReaderIndex != FReaderCount) return;
    auto readBlock = [this]() {
        ssize_t n;
        do n = ::read(FReaderFd, FReaderBuffer.data(), FReaderBuffer.size());
        while (n < 0 && errno == EINTR);
        FReaderCount = n > 0 ? static_cast<int>(n) : 0;
    };
    FReaderIndex = 0;
    readBlock();
    if (FReaderCount != 0) return;
    switch (FSettings.ReaderEnd) {
        case TReaderEndOption::Restart:
            ::lseek(FReaderFd, 0, SEEK_SET);
            readBlock();
            break;
        case TReaderEndOption::ReturnEndOfStream:
            FReaderCount = 1;
            FReaderBuffer[0] = 0x1A;
            break;
        case TReaderEndOption::SwitchConsole:
            FMapping.SetItemIndex(TMappedDevice::Con, FSettings.InFileChangeCon);
            [[fallthrough]];
        case TReaderEndOption::ReportNothing:
            CloseReaderFile();
            if (FEvents.OnReaderClosed) FEvents.OnReaderClosed(*this);
            break;
    }
}

void TTavrinMachine::CpuPortRead(TCpuEmu&, uint16_t port, uint8_t& dataByte) {
    FIdleWatch.Count(ReadPort(port & 0xFF, dataByte));
}

void TTavrinMachine::CpuPortWrite(TCpuEmu&, uint16_t port, uint8_t dataByte) {
    FIdleWatch.Count(WritePort(port & 0xFF, dataByte));
}

TPortActivity TTavrinMachine::ReadPort(uint8_t p, uint8_t& dataByte) {
    if (IsDiskPort(p)) {
        dataByte = FDiskController.ReadPort(p & 7);
        return TPortActivity::Work;
    }
    switch (p) {
        case TtyStatus:
            return Status(dataByte, KeyboardStatus(FTtyKeyQueue), BothWays);
        case TtyData:
            FTtyKeyQueue.GetByte(FLastTtyKey);
            dataByte = FLastTtyKey;
            return TPortActivity::Work;
        case CrtStatus:
            return Status(dataByte, KeyboardStatus(FCrtKeyQueue), BothWays);
        case CrtData:
            FCrtKeyQueue.GetByte(FLastCrtKey);
            dataByte = FLastCrtKey;
            return TPortActivity::Work;
        case Com1Status:
            return Status(dataByte, SerialStatus(1), BothWays);
        case Com2Status:
            return Status(dataByte, SerialStatus(2), BothWays);
        case Com1Data:
        case Com2Data:
            if (ISerialLine* com = ComLine(p == Com1Data ? 1 : 2)) com->ReadByte(dataByte);
            return TPortActivity::Work;
        case PrinterStatus:
            return Status(dataByte, (FPrinter && FPrinter->IsReady()) ? StatusOutputReady : 0x00, StatusOutputReady);
        case ReaderStatus:
            ReaderRefill();
            return Status(dataByte, FReaderIndex < FReaderCount ? StatusInputReady : 0x00, StatusInputReady);
        case ReaderData:
            ReaderRefill();
            if (FReaderIndex < FReaderCount) dataByte = FReaderBuffer[static_cast<size_t>(FReaderIndex++)];
            return TPortActivity::Work;
        case PunchStatus:
            return Status(dataByte, FPunchFd >= 0 ? StatusOutputReady : 0x00, StatusOutputReady);
        case Com1Config:
            dataByte = GetComConfigByte(1);
            return TPortActivity::Work;
        case Com2Config:
            dataByte = GetComConfigByte(2);
            return TPortActivity::Work;
        case SysStatusControl:
            // The channel answers within the program's own OUT; nothing
            // outside the program makes it ready, so its status is no wait.
            dataByte = FSysChannel.StatusPortRead();
            return TPortActivity::Work;
        case SysReplyCommand:
            dataByte = FSysChannel.ReplyPortRead();
            return TPortActivity::Work;
        case DeviceMapping:
            dataByte = FMapping.MappingPortRead();
            return TPortActivity::Work;
        default:  // the printer and punch data ports included: output only
            dataByte = 0xFF;
            return TPortActivity::Work;
    }
}

TPortActivity TTavrinMachine::WritePort(uint8_t p, uint8_t dataByte) {
    if (IsDiskPort(p)) {
        FDiskController.WritePort(p & 7, dataByte);
        return TPortActivity::Work;
    }
    switch (p) {
        case TtyData:
            if (FTtyConsole) FTtyConsole->WriteTtyByte(dataByte);
            return TPortActivity::Work;
        case CrtData:
            if (FCrtConsole) FCrtConsole->WriteChar(dataByte);
            return TPortActivity::Work;
        case Com1Data:
        case Com2Data: {
            ISerialLine* com = ComLine(p == Com1Data ? 1 : 2);
            if (com && com->IsOpen()) com->WriteByte(dataByte);
            return TPortActivity::Work;
        }
        case PrinterData:
            if (FPrinter) FPrinter->WriteChar(dataByte);
            return TPortActivity::Work;
        case PunchData:
            PunchByte(dataByte);
            return TPortActivity::Work;
        case Com1Config:
            SetComConfigByte(1, dataByte);
            return TPortActivity::Work;
        case Com2Config:
            SetComConfigByte(2, dataByte);
            return TPortActivity::Work;
        case SysStatusControl:
            FSysChannel.ControlPortWrite(dataByte);
            return TPortActivity::Work;
        case SysReplyCommand:
            FSysChannel.CommandPortWrite(dataByte);
            return TPortActivity::Work;
        default:  // nothing behind it, the status ports included
            return TPortActivity::Work;
    }
}

// The byte goes to the punch file; a write that fails closes the file.
void TTavrinMachine::PunchByte(uint8_t dataByte) {
    if (FPunchFd < 0) return;
    ssize_t written = -1;
    if (FPunchTruncatePending && ::ftruncate(FPunchFd, 0) == 0) FPunchTruncatePending = false;
    if (!FPunchTruncatePending) {
        do written = ::write(FPunchFd, &dataByte, 1);
        while (written < 0 && errno == EINTR);
    }
    if (written != 1) {
        ClosePunchFile();
        if (FEvents.OnPunchClosed) FEvents.OnPunchClosed(*this);
    }
}
