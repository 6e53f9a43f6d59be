// Port 13h output on its way to the CRT terminal window.

#include "machine/gui/CrtConsoleAdapter.h"

#include "console/QnTerminal.h"

void TCrtConsoleAdapter::WriteChar(uint8_t ch)
{
    FTerminal.WriteChar(ch);
}
