// Port 13h output on its way to the CRT terminal window.

#include "app/CrtConsoleAdapter.h"

#include "console/QnTerminal.h"

void TCrtConsoleAdapter::WriteChar(uint8_t ch) { FTerminal.WriteChar(ch); }
