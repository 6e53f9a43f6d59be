// The LST printer of the main window: the host's printer object, the device
// that exists while printing is enabled, and the printer panel's actions and
// handlers.

#include "app/frmTavrin.h"

#include "console/QtPrintTarget.h"
#include "ui/PrinterPanel.h"

#include <QAction>
#include <QPageSetupDialog>

void TMainHalvoret::BuildPrinter()
{
    // PDF jobs go beside the program; each job gets a file of its own.
    FPrinterObject = std::make_unique<TQtPrintTarget>(FMachine->ProgramFolderPath() + "LstPrinter.pdf");
    FMachine->Events().OnSelectedPrinterName = [this](TTavrinMachine&) { return FPrinterObject->SelectedPrinterName(); };
    OnPrinterSetupDialog = [this](TQtPrintTarget& printer) {
        QPageSetupDialog dialog(&printer.Printer(), this);
        return dialog.exec() == QDialog::Accepted;
    };
    ShowPrinterList();
}

void TMainHalvoret::ShowPrinterList()
{
    PrinterPanel->ShowPrinters(FPrinterObject->Printers(), FPrinterObject->PrinterIndex());
    PrinterPanel->ShowOrientation(FPrinterObject->Landscape() ? 1 : 0);
}

void TMainHalvoret::C_PrintersListChange()
{
    if (FPrinterObject->Printers().isEmpty() || FPrinterObject->Printing())
        return;
    FPrinterObject->SetPrinterIndex(PrinterPanel->PrinterIndex());
}

void TMainHalvoret::C_PrintOrientaionClick()
{
    if (FPrinterObject->Printers().isEmpty() || FPrinterObject->Printing())
        return;
    FPrinterObject->SetLandscape(PrinterPanel->OrientationIndex() == 1);
}

void TMainHalvoret::PrinterSetupActUpdate(QAction& action)
{
    PrinterFontActUpdate(action);
    PrinterPanel->SetSettingsEnabled(action.isEnabled());
}

void TMainHalvoret::PrinterFontActUpdate(QAction& action)
{
    action.setEnabled(!FPrinter && FPrinterObject->PrinterSelected() && !FPrinterObject->Printing());
}

void TMainHalvoret::PrinterSetupActExecute()
{
    if (FPrinterObject->Printers().isEmpty() || !OnPrinterSetupDialog || !OnPrinterSetupDialog(*FPrinterObject))
        return;
    FPrinterObject->RefreshPrinters();
    ShowPrinterList();
}

void TMainHalvoret::PrinterFontActExecute()
{
    if (FPrinterObject->Printers().isEmpty() || FPrinterObject->Printing())
        return;
    const QFont& current = FPrinterObject->Font();
    TFontChoice font{current.family().toStdString(), current.pointSize(), current.bold(), current.italic()};
    if (!FPrompts->ChooseFont(font, true))
        return;
    QFont chosen(QString::fromStdString(font.Family), font.PointSize);
    chosen.setBold(font.Bold);
    chosen.setItalic(font.Italic);
    FPrinterObject->SetFont(chosen);
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
        FMachine->SetPrinter(nullptr);
        device->EndJob();
    } else if (!FPrinter && PrinterEnableAct->isChecked()) {
        FPrinter = std::make_unique<TTTYPrinter>(*FPrinterObject);
        PrinterSetup.ApplyAll(*FPrinter);
        FMachine->SetPrinter(FPrinter.get());
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
