// The LST printer of the main window: the host's printer object, the device
// that exists while printing is enabled, and the Enable, Abort and Eject
// actions.

#include "app/frmTavrin.h"

#include "console/QtPrintTarget.h"

#include <QAction>

void TMainHalvoret::BuildPrinter()
{
    // PDF jobs go beside the program; each job gets a file of its own.
    FPrinterObject = std::make_unique<TQtPrintTarget>(FMachine->ProgramFolderPath() + "LstPrinter.pdf");
    FMachine->OnSelectedPrinterName = [this](TTavrinMachine&) { return FPrinterObject->SelectedPrinterName(); };
}

void TMainHalvoret::PrinterEnableActUpdate(QAction& action)
{
    action.setEnabled(FPrinterObject->PrinterSelected() && !FPrinterObject->Printing());
}

void TMainHalvoret::PrinterEnableActExecute()
{
    if (FPrinter && !PrinterEnableAct->isChecked()) {
        // A running job is finished and printed first; a printing error is
        // reported, and the device goes all the same.
        std::unique_ptr<TTTYPrinter> device = std::move(FPrinter);
        FMachine->Printer = nullptr;
        device->EndJob();
    } else if (!FPrinter && PrinterEnableAct->isChecked()) {
        FPrinter = std::make_unique<TTTYPrinter>(*FPrinterObject);
        PrinterSetup.ApplyAll(*FPrinter);
        FMachine->Printer = FPrinter.get();
    }
}

void TMainHalvoret::PrinterOptionsChanged()
{
    if (FPrinter)
        PrinterSetup.ApplyOptions(*FPrinter);
}

void TMainHalvoret::PrinterJobActUpdate(QAction& action)
{
    action.setEnabled(FPrinter && FPrinter->IsPrinting());
}

void TMainHalvoret::PrinterAbortActExecute()
{
    if (FPrinter)
        FPrinter->AbortJob();
}

// Checks for the device as Abort does: the action may be triggered before
// its update handler has run.
void TMainHalvoret::PrinterEjectActExecute()
{
    if (FPrinter)
        FPrinter->EndJob();
}
