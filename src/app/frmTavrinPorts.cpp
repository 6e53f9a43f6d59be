// The Ports page of the main window: the device mapping, the printer panel
// and the reader and punch files, and the main page control's change.

#include "app/frmTavrin.h"

#include "app/LstPrinter.h"
#include "app/ReaderPunchFiles.h"

#include "platform/ActionUpdatePump.h"
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

    FReaderPunchFiles = std::make_unique<TReaderPunchFiles>(m, *InputFilePanel, *EnableInputFileAct, *OutputFilePanel,
                                                            *EnableOutputFileAct, *FPrompts,
                                                            [this] { return DiskManagerPage->ManagerDiskFile(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { RunGuarded([this] { PageControl1Change(); }); });
}

void TMainHalvoret::EnableInputFileActExecute() { FReaderPunchFiles->ToggleReader(); }

void TMainHalvoret::EnableOutputFileActExecute() { FReaderPunchFiles->TogglePunch(); }

void TMainHalvoret::PageControl1Change() {
    FActionPump->UpdateAction(DiskManagerPage->DM_RefreshDisplayAct);
    if (DiskManagerPage->DM_RefreshDisplayAct->isEnabled()) DiskManagerPage->DM_RefreshDisplayAct->trigger();
    CpuPage->CpuMemoryGrid->viewport()->update();
    // A CP/M program may have changed the IOBYTE since the page was last shown.
    if (PageControl1->currentWidget() == PortsPage && Booted())
        FMachine->Mapping().ShowIOByte(FMachine->Cpu().ReadMemoryByte(TDeviceMapping::IOByteAddress));
}
