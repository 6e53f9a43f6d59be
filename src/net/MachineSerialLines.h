#pragma once
// The serial lines of the machine: the host ports COM1 and COM2 and the TCP
// server that can stand in for COM1, wired to the machine's port map and
// receive queues and configured from the machine's settings model. The main
// window owns one, gives it a dispatcher onto the GUI thread and shows the
// warnings that applying settings returns.

#include <functional>
#include <string>

#include "machine/TavrinMachine.h"
#include "net/ComRx.h"
#include "net/TcpPortMod.h"

// A host port as the port map sees it. A write waits a bounded time for the
// line, then drops the byte, so a stalled line never hangs the machine.
class TComRxLine : public IHostSerialPort {
public:
    static constexpr int WriteTimeoutMs = 100;
    explicit TComRxLine(TComRx& port) : FPort(port) {}
    bool IsOpen() override { return FPort.Active(); }
    bool CanWrite() override { return FPort.CanWrite(); }
    void WriteByte(uint8_t b) override { FPort.WriteByte(b, WriteTimeoutMs); }

private:
    TComRx& FPort;
};

// The port's baud rate of a baud-list index 0-15 (300 .. 921600 baud).
TComBaudRate ComBaudRateOfListIndex(int index);

class TMachineSerialLines {
public:
    // dispatcher: runs the ports' events on the machine's thread, in order.
    TMachineSerialLines(TTavrinMachine& machine, TComDispatcher dispatcher);
    ~TMachineSerialLines();
    TMachineSerialLines(const TMachineSerialLines&) = delete;
    TMachineSerialLines& operator=(const TMachineSerialLines&) = delete;

    TComRx ComRx1;
    TComRx ComRx2;
    TTcpPortModule TcpPortModule;

    // A BREAK arrived on line 1 or 2; called through the dispatcher before
    // the block that carries the break's byte.
    std::function<void(int line)> OnComBreak;

    // Empties the line's receive queue, closes the line and opens it again
    // from the settings model when it is enabled. On failure the line is
    // disabled in the model and applied again closed; the warning text
    // ("Unable to activate Com Port n, " and the reason) is returned. Empty
    // on success.
    std::string ApplyComSettings(int line);

private:
    void ConfigurePort(TComRx& port, const TComLineSettings& settings);
    void ModemSignal(int line, TComModemEvents events);

    TTavrinMachine& FMachine;
    TComRxLine FLine1{ComRx1};
    TComRxLine FLine2{ComRx2};
};
