// The Ports page of the main window: the device mapping, the printer panel
// and the reader and punch files, and the main page control's change.

#include "app/frmTavrin.h"

#include "app/LstPrinter.h"

#include "disk/ImageRegistry.h"
#include "platform/QtUiPrompts.h"
#include "platform/ActionPump.h"
#include "ui/CpuPage.h"
#include "ui/DiskManagerPage.h"
#include "ui/DeviceFilePanels.h"
#include "ui/DeviceMappingPanel.h"
#include "ui/MemoryGridView.h"
#include "ui/PortsPage.h"
#include "ui/PrinterPanel.h"

#include <QAction>
#include <QLineEdit>
#include <QCheckBox>
#include <QTabWidget>

void TMainHalvoret::BuildPortsPage() {
    TTavrinMachine& m = *FMachine;
    DeviceMappingPanel = new TDeviceMappingPanel(m.Mapping(), PortsPage);
    PortsPage->SetMappingPanel(DeviceMappingPanel);

    TPrinterPanelActions printerActions{PrinterEnableAct, PrinterSetupAct, PrinterFontAct, PrinterAbortAct,
                                        PrinterEjectAct};
    TLstPrinter& printer = *FLstPrinter;
    PrinterPanel = new TPrinterPanel(printer.Setup(), printerActions, PortsPage);
    connect(PrinterPanel, &TPrinterPanel::PrinterSelected, this,
            [this, &printer] { RunGuarded([&printer] { printer.PrintersListChange(); }); });
    connect(PrinterPanel, &TPrinterPanel::OrientationClicked, this,
            [this, &printer] { RunGuarded([&printer] { printer.OrientationClick(); }); });
    connect(PrinterPanel, &TPrinterPanel::OptionsChanged, this,
            [this, &printer] { RunGuarded([&printer] { printer.OptionsChanged(); }); });
    PortsPage->AddDevicePanel(PrinterPanel, QStringLiteral("Printer"));

    InputFilePanel = new TInputFilePanel(m.Settings(), *EnableInputFileAct, *FPrompts, PortsPage);
    PortsPage->AddDevicePanel(InputFilePanel, QStringLiteral("Input File"));
    OutputFilePanel = new TOutputFilePanel(*EnableOutputFileAct, *FPrompts, PortsPage);
    PortsPage->AddDevicePanel(OutputFilePanel, QStringLiteral("Output File"));

    // The reader closes itself at its end; the punch after a failed write.
    m.Events().OnReaderClosed = [this](TTavrinMachine&) { EnableInputFileAct->setChecked(false); };
    m.Events().OnPunchClosed = [this](TTavrinMachine&) { EnableOutputFileAct->setChecked(false); };
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { RunGuarded([this] { PageControl1Change(); }); });
}

void TMainHalvoret::EnableInputFileActExecute() {
    TTavrinMachine& m = *FMachine;
    if (m.ReaderOpen()) {
        // Nothing read ahead from the old file reaches the CPU.
        m.CloseReaderFile();
    } else {
        const std::string name = PathFromQt(InputFilePanel->C_InputFileNameEdit->text());
        if (RefusedAsDeviceFile(name, "input")) {
            EnableInputFileAct->setChecked(false);
            return;
        }
        try {
            m.OpenReaderFile(name);
        } catch (const std::exception&) {
            EnableInputFileAct->setChecked(false);
            FPrompts->MessageDlg("Unable to open the input file \"" + name + "\".", TMsgDlgType::Warning, mbOK);
        }
    }
    EnableInputFileAct->setChecked(m.ReaderOpen());
}

void TMainHalvoret::EnableOutputFileActExecute() {
    TTavrinMachine& m = *FMachine;
    if (m.PunchOpen()) {
        m.ClosePunchFile();
    } else {
        const std::string name = PathFromQt(OutputFilePanel->C_OutputFileNameEdit->text());
        if (RefusedAsDeviceFile(name, "output")) {
            EnableOutputFileAct->setChecked(false);
            return;
        }
        try {
            // Append on a missing file creates it, as the truncate does.
            m.OpenPunchFile(name, OutputFilePanel->C_AppendOutputFileBtn->isChecked());
        } catch (const std::exception&) {
            EnableOutputFileAct->setChecked(false);
            FPrompts->MessageDlg("Unable to open the output file \"" + name + "\".", TMsgDlgType::Warning, mbOK);
        }
    }
    EnableOutputFileAct->setChecked(m.PunchOpen());
}

// Compared by file identity, so no other name or link of an image gets past.
bool TMainHalvoret::RefusedAsDeviceFile(const std::string& name, const char* which) {
    const TTavrinMachine& m = *FMachine;
    std::vector<std::string> chosen;
    for (uint8_t d = 0; d < 4; ++d) chosen.push_back(m.DrivePath(d));
    chosen.push_back(DiskManagerPage->ManagerDiskFile());
    if (!TImageRegistry::Instance().IsImageInUse(name, chosen)) return false;
    FPrompts->MessageDlg("The " + std::string(which) + " file \"" + name + "\" is a disk image in use!",
                         TMsgDlgType::Warning, mbOK);
    return true;
}

void TMainHalvoret::PageControl1Change() {
    FActionPump->UpdateAction(DiskManagerPage->DM_RefreshDisplayAct);
    if (DiskManagerPage->DM_RefreshDisplayAct->isEnabled()) DiskManagerPage->DM_RefreshDisplayAct->trigger();
    CpuPage->CpuMemoryGrid->viewport()->update();
    // A CP/M program may have changed the IOBYTE since the page was last shown.
    if (PageControl1->currentWidget() == PortsPage && Booted())
        FMachine->Mapping().ShowIOByte(FMachine->Cpu().ReadMemoryByte(TDeviceMapping::IOByteAddress));
}
