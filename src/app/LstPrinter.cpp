#include "app/LstPrinter.h"

#include "console/QtPrintTarget.h"
#include "platform/QtUiPrompts.h"
#include "ui/PrinterPanel.h"

#include <QAction>
#include <QFontInfo>
#include <QPageSetupDialog>

TLstPrinter::TLstPrinter(TTavrinMachine& machine, IUiPrompts& prompts, QWidget& parent)
    : FMachine(machine), FPrompts(prompts) {
    // PDF jobs go beside the program; each job gets a file of its own.
    FPrinterObject = std::make_unique<TQtPrintTarget>(FMachine.ProgramFolderPath() + "LstPrinter.pdf");
    FMachine.Events().OnSelectedPrinterName = [this](TTavrinMachine&) { return FPrinterObject->SelectedPrinterName(); };
    OnPrinterSetupDialog = [&parent](TQtPrintTarget& printer) {
        QPageSetupDialog dialog(&printer.Printer(), &parent);
        return dialog.exec() == QDialog::Accepted;
    };
}

TLstPrinter::~TLstPrinter() {
    // A running print job is finished and printed before the printer object goes.
    FMachine.SetPrinter(nullptr);
    FMachine.Events().OnSelectedPrinterName = nullptr;
    FDevice.reset();
}

void TLstPrinter::Attach(TPrinterPanel& panel, QAction& enableAct) {
    FPanel = &panel;
    FEnableAct = &enableAct;
    ShowPrinterList();
}

void TLstPrinter::ShowPrinterList() {
    FPanel->ShowPrinters(FPrinterObject->Printers(), FPrinterObject->PrinterIndex());
    FPanel->ShowOrientation(FPrinterObject->Landscape() ? 1 : 0);
}

bool TLstPrinter::HasPrinters() const { return !FPrinterObject->Printers().isEmpty(); }

void TLstPrinter::PrintersListChange() {
    if (!HasPrinters() || FPrinterObject->Printing()) return;
    FPrinterObject->SetPrinterIndex(FPanel->PrinterIndex());
    // An enabled device with a printer chosen now is ready for output.
    if (FDevice) FMachine.DeviceReady();
}

void TLstPrinter::OrientationClick() {
    if (!HasPrinters() || FPrinterObject->Printing()) return;
    FPrinterObject->SetLandscape(FPanel->OrientationIndex() == 1);
}

void TLstPrinter::SetupActUpdate(QAction& action) {
    FontActUpdate(action);
    FPanel->SetSettingsEnabled(action.isEnabled());
}

void TLstPrinter::FontActUpdate(QAction& action) {
    action.setEnabled(!FDevice && HasPrinters() && !FPrinterObject->Printing());
}

void TLstPrinter::SetupActExecute() {
    if (!HasPrinters() || !OnPrinterSetupDialog || !OnPrinterSetupDialog(*FPrinterObject)) return;
    FPrinterObject->RefreshPrinters();
    ShowPrinterList();
}

void TLstPrinter::FontActExecute() {
    if (!HasPrinters() || FPrinterObject->Printing()) return;
    const QFont& current = FPrinterObject->Font();
    // The dialog opens on the face that really prints, as the consoles' do;
    // confirmed as it opened, it keeps the font as it was, stand-in faces
    // and hints included.
    const TFontChoice shown =
        FontChoiceInUse(current, current.pointSize() > 0 ? current.pointSize() : QFontInfo(current).pointSize());
    TFontChoice font = shown;
    if (!FPrompts.ChooseFont(font, true) || font == shown) return;
    QFont chosen(QString::fromStdString(font.Family), font.PointSize);
    chosen.setBold(font.Bold);
    chosen.setItalic(font.Italic);
    FPrinterObject->SetFont(chosen);
}

void TLstPrinter::EnableActUpdate(QAction& action) { action.setEnabled(HasPrinters() && !FPrinterObject->Printing()); }

void TLstPrinter::EnableActExecute() {
    if (FDevice && !FEnableAct->isChecked()) {
        // A running job is finished and printed first; a printing error is
        // reported, and the device goes all the same.
        std::unique_ptr<TLstPrinterAdapter> device = std::move(FDevice);
        FMachine.SetPrinter(nullptr);
        device->EndJob();
    } else if (!FDevice && FEnableAct->isChecked()) {
        FDevice = std::make_unique<TLstPrinterAdapter>(*FPrinterObject);
        FSetup.ApplyAll(FDevice->Printer());
        FMachine.SetPrinter(FDevice.get());
    }
}

void TLstPrinter::OptionsChanged() {
    if (FDevice) FSetup.ApplyOptions(FDevice->Printer());
}

void TLstPrinter::JobActUpdate(QAction& action) { action.setEnabled(FDevice && FDevice->IsPrinting()); }

void TLstPrinter::AbortJob() {
    if (FDevice) FDevice->AbortJob();
}

// Checks for the device as Abort does: the action may be triggered before
// its update handler has run.
void TLstPrinter::EjectJob() {
    if (FDevice) FDevice->EndJob();
}
