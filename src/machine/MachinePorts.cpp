// The I/O port map: only the low byte of the port is decoded. Data ports with
// nothing to give leave the CPU's destination register as it was. Every
// access also tells the idle watch whether the Z80 works or only waits.

#include "machine/TavrinMachine.h"

#include <cerrno>
#include <unistd.h>

namespace {

// A serial line's status port: nothing while the line is closed, even with
// bytes left in its receive queue.
uint8_t SerialStatus(ISerialLine* line, const TByteFIFO& rxQueue)
{
    uint8_t status = 0;
    if (line && line->IsOpen()) {
        if (rxQueue.Count() > 0)
            status |= 0x02;
        if (line->CanWrite())
            status |= 0x04;
    }
    return status;
}

} // namespace

void TTavrinMachine::ReaderRefill()
{
    if (FReaderFd < 0 || FReaderIndex != FReaderCount)
        return;
    auto readBlock = [this]() {
        ssize_t n;
        do
            n = ::read(FReaderFd, FReaderBuffer.data(), FReaderBuffer.size());
        while (n < 0 && errno == EINTR);
        FReaderCount = n > 0 ? static_cast<int>(n) : 0;
    };
    FReaderIndex = 0;
    readBlock();
    if (FReaderCount != 0)
        return;
    switch (Settings.ReaderEnd) {
    case TReaderEndOption::Restart:
        ::lseek(FReaderFd, 0, SEEK_SET);
        readBlock();
        break;
    case TReaderEndOption::ReturnEndOfStream:
        FReaderCount = 1;
        FReaderBuffer[0] = 0x1A;
        break;
    case TReaderEndOption::SwitchConsole:
        FMapping.SetItemIndex(TMappedDevice::Con, Settings.InFileChangeCon);
        [[fallthrough]];
    case TReaderEndOption::ReportNothing:
        CloseReaderFile();
        if (OnReaderClosed)
            OnReaderClosed(*this);
        break;
    }
}

uint8_t TTavrinMachine::InputStatus(uint8_t status)
{
    if (status & 0x02)
        FIdleWatch.Activity();
    else
        FIdleWatch.EmptyPoll();
    return status;
}

void TTavrinMachine::CpuPortRead(TCpuEmu&, uint16_t port, uint8_t& dataByte)
{
    switch (port & 0xFF) {
    case 0x10:
        dataByte = InputStatus(FTtyKeyQueue.Count() > 0 ? 0x06 : 0x04);
        return;
    case 0x11:
        FTtyKeyQueue.GetByte(FLastTtyKey);
        dataByte = FLastTtyKey;
        break;
    case 0x12:
        dataByte = InputStatus(FCrtKeyQueue.Count() > 0 ? 0x06 : 0x04);
        return;
    case 0x13:
        FCrtKeyQueue.GetByte(FLastCrtKey);
        dataByte = FLastCrtKey;
        break;
    case 0x14: {
        uint8_t status = 0;
        if (Settings.UseTCPasCom1) {
            if (TcpPortModule && TcpPortModule->GetActive()) {
                if (TcpPortModule->DataAvailable())
                    status |= 0x02;
                if (TcpPortModule->CanWrite())
                    status |= 0x04;
            }
        } else {
            status = SerialStatus(ComRx1, FCom1RxQueue);
        }
        dataByte = InputStatus(status);
        return;
    }
    case 0x15:
        if (Settings.UseTCPasCom1) {
            if (TcpPortModule)
                TcpPortModule->ReadByte(dataByte);
        } else {
            FCom1RxQueue.GetByte(dataByte);
        }
        break;
    case 0x16:
        dataByte = InputStatus(SerialStatus(ComRx2, FCom2RxQueue));
        return;
    case 0x17:
        FCom2RxQueue.GetByte(dataByte);
        break;
    case 0x18:
        dataByte = (Printer && Printer->IsReady()) ? 0x04 : 0x00;
        break;
    case 0x1A:
        ReaderRefill();
        dataByte = InputStatus(FReaderIndex < FReaderCount ? 0x02 : 0x00);
        return;
    case 0x1B:
        ReaderRefill();
        if (FReaderIndex < FReaderCount)
            dataByte = FReaderBuffer[static_cast<size_t>(FReaderIndex++)];
        break;
    case 0x1C:
        dataByte = FPunchFd >= 0 ? 0x04 : 0x00;
        break;
    case 0x30:
        dataByte = GetComConfigByte(1);
        break;
    case 0x31:
        dataByte = GetComConfigByte(2);
        break;
    case 0x40:
        dataByte = FSysChannel.StatusPortRead();
        break;
    case 0x41:
        dataByte = FSysChannel.ReplyPortRead();
        break;
    case 0x48:
        dataByte = FMapping.MappingPortRead();
        break;
    case 0x70: case 0x71: case 0x72: case 0x73:
    case 0x74: case 0x75: case 0x76: case 0x77:
        if (FDiskController)
            dataByte = FDiskController->ReadPort(port & 7);
        break;
    default:  // 19h and 1Dh included: output-only data ports
        dataByte = 0xFF;
        break;
    }
    FIdleWatch.Activity();
}

void TTavrinMachine::CpuPortWrite(TCpuEmu&, uint16_t port, uint8_t dataByte)
{
    FIdleWatch.Activity();
    switch (port & 0xFF) {
    case 0x11:
        if (TtyConsole)
            TtyConsole->WriteTtyByte(dataByte);
        break;
    case 0x13:
        if (CrtConsole)
            CrtConsole->WriteChar(dataByte);
        break;
    case 0x15:
        if (Settings.UseTCPasCom1) {
            if (TcpPortModule)
                TcpPortModule->WriteByte(dataByte);
        } else if (ComRx1 && ComRx1->IsOpen()) {
            ComRx1->WriteByte(dataByte);
        }
        break;
    case 0x17:
        if (ComRx2 && ComRx2->IsOpen())
            ComRx2->WriteByte(dataByte);
        break;
    case 0x19:
        if (Printer)
            Printer->WriteChar(dataByte);
        break;
    case 0x1D:
        if (FPunchFd >= 0) {
            ssize_t written = -1;
            if (FPunchTruncatePending && ::ftruncate(FPunchFd, 0) == 0)
                FPunchTruncatePending = false;
            if (!FPunchTruncatePending) {
                do
                    written = ::write(FPunchFd, &dataByte, 1);
                while (written < 0 && errno == EINTR);
            }
            if (written != 1) {
                ClosePunchFile();
                if (OnPunchClosed)
                    OnPunchClosed(*this);
            }
        }
        break;
    case 0x30:
        SetComConfigByte(1, dataByte);
        break;
    case 0x31:
        SetComConfigByte(2, dataByte);
        break;
    case 0x40:
        FSysChannel.ControlPortWrite(dataByte);
        break;
    case 0x41:
        FSysChannel.CommandPortWrite(dataByte);
        break;
    case 0x70: case 0x71: case 0x72: case 0x73:
    case 0x74: case 0x75: case 0x76: case 0x77:
        if (FDiskController)
            FDiskController->WritePort(port & 7, dataByte);
        break;
    default:
        break;
    }
}
