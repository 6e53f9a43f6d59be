// The I/O port map: only the low byte of the port is decoded. Data ports with
// nothing to give leave the CPU's destination register as it was. Every
// access also tells the idle watch whether the Z80 works or only waits.

#include "machine/TavrinMachine.h"

#include "machine/MachinePortNumbers.h"

#include <cerrno>
#include <unistd.h>

using namespace MachinePort;

namespace {

bool IsDiskPort(uint8_t port) { return port >= DiskFirst && port <= DiskLast; }

// A console keyboard always takes output and has input while keys wait.
uint8_t KeyboardStatus(const TByteFIFO& keys) {
    return keys.Count() > 0 ? StatusInputReady | StatusOutputReady : StatusOutputReady;
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

uint8_t TTavrinMachine::InputStatus(uint8_t status) {
    if (status & StatusInputReady)
        FIdleWatch.Activity();
    else
        FIdleWatch.EmptyPoll();
    return status;
}

void TTavrinMachine::CpuPortRead(TCpuEmu&, uint16_t port, uint8_t& dataByte) {
    const uint8_t p = port & 0xFF;
    if (IsDiskPort(p)) {
        dataByte = FDiskController.ReadPort(p & 7);
        FIdleWatch.Activity();
        return;
    }
    switch (p) {
        case TtyStatus:
            dataByte = InputStatus(KeyboardStatus(FTtyKeyQueue));
            return;
        case TtyData:
            FTtyKeyQueue.GetByte(FLastTtyKey);
            dataByte = FLastTtyKey;
            break;
        case CrtStatus:
            dataByte = InputStatus(KeyboardStatus(FCrtKeyQueue));
            return;
        case CrtData:
            FCrtKeyQueue.GetByte(FLastCrtKey);
            dataByte = FLastCrtKey;
            break;
        case Com1Status:
            dataByte = InputStatus(SerialStatus(1));
            return;
        case Com2Status:
            dataByte = InputStatus(SerialStatus(2));
            return;
        case Com1Data:
        case Com2Data:
            if (ISerialLine* com = ComLine(p == Com1Data ? 1 : 2)) com->ReadByte(dataByte);
            break;
        case PrinterStatus:
            dataByte = (FPrinter && FPrinter->IsReady()) ? StatusOutputReady : 0x00;
            break;
        case ReaderStatus:
            ReaderRefill();
            dataByte = InputStatus(FReaderIndex < FReaderCount ? StatusInputReady : 0x00);
            return;
        case ReaderData:
            ReaderRefill();
            if (FReaderIndex < FReaderCount) dataByte = FReaderBuffer[static_cast<size_t>(FReaderIndex++)];
            break;
        case PunchStatus:
            dataByte = FPunchFd >= 0 ? StatusOutputReady : 0x00;
            break;
        case Com1Config:
            dataByte = GetComConfigByte(1);
            break;
        case Com2Config:
            dataByte = GetComConfigByte(2);
            break;
        case SysStatusControl:
            dataByte = FSysChannel.StatusPortRead();
            break;
        case SysReplyCommand:
            dataByte = FSysChannel.ReplyPortRead();
            break;
        case DeviceMapping:
            dataByte = FMapping.MappingPortRead();
            break;
        default:  // the printer and punch data ports included: output only
            dataByte = 0xFF;
            break;
    }
    FIdleWatch.Activity();
}

void TTavrinMachine::CpuPortWrite(TCpuEmu&, uint16_t port, uint8_t dataByte) {
    FIdleWatch.Activity();
    const uint8_t p = port & 0xFF;
    if (IsDiskPort(p)) {
        FDiskController.WritePort(p & 7, dataByte);
        return;
    }
    switch (p) {
        case TtyData:
            if (FTtyConsole) FTtyConsole->WriteTtyByte(dataByte);
            break;
        case CrtData:
            if (FCrtConsole) FCrtConsole->WriteChar(dataByte);
            break;
        case Com1Data:
        case Com2Data: {
            ISerialLine* com = ComLine(p == Com1Data ? 1 : 2);
            if (com && com->IsOpen()) com->WriteByte(dataByte);
            break;
        }
        case PrinterData:
            if (FPrinter) FPrinter->WriteChar(dataByte);
            break;
        case PunchData:
            if (FPunchFd >= 0) {
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
            break;
        case Com1Config:
            SetComConfigByte(1, dataByte);
            break;
        case Com2Config:
            SetComConfigByte(2, dataByte);
            break;
        case SysStatusControl:
            FSysChannel.ControlPortWrite(dataByte);
            break;
        case SysReplyCommand:
            FSysChannel.CommandPortWrite(dataByte);
            break;
        default:
            break;
    }
}
