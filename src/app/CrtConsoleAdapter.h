#pragma once
// The CRT console as the machine sees it: every byte the program writes to
// the CRT data port goes to the terminal window's WriteChar, which queues it
// and interprets it when the window handles its data event. The machine core
// holds only this interface, never the widget.

#include "machine/MachineDevices.h"

class TQnCustomTerminal;

class TCrtConsoleAdapter : public ICrtConsole {
public:
    explicit TCrtConsoleAdapter(TQnCustomTerminal& terminal) : FTerminal(terminal) {}

    void WriteChar(uint8_t ch) override;
    TQnCustomTerminal& Terminal() const { return FTerminal; }

private:
    TQnCustomTerminal& FTerminal;
};
