#pragma once
// The LST printer as the machine sees it: the status and data ports (18h,
// 19h) and the PRINT command reach the printer engine through this adapter,
// which owns the engine. The machine core holds only its interfaces, and the
// engine knows nothing of the machine.

#include <cstdint>

#include "console/core/TTYPrinter.h"
#include "machine/MachineDevices.h"
#include "machine/SysCommandChannel.h"

class TLstPrinterAdapter : public IPrinterDevice, public ISysPrinter {
public:
    // target: the printing system; it must outlive the adapter.
    explicit TLstPrinterAdapter(IPrintTarget& target) : FPrinter(target) {}

    TTTYPrinter& Printer() { return FPrinter; }

    bool IsReady() override { return FPrinter.IsReady(); }
    void WriteChar(uint8_t ch) override { FPrinter.WriteChar(ch); }
    bool IsPrinting() override { return FPrinter.IsPrinting(); }
    int GetPageCount() override { return FPrinter.GetPageCount(); }
    void EndJob() override { FPrinter.EndJob(); }
    void AbortJob() override { FPrinter.AbortJob(); }

private:
    TTTYPrinter FPrinter;
};
