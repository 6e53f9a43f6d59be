// Start-up and shut-down of the main window, its pages and actions.

#include "app/frmTavrin.h"

#include "app/CpuDisplay.h"
#include "app/CrtConsole.h"
#include "app/GatheringPrompts.h"
#include "platform/GuardedCall.h"
#include "app/LstPrinter.h"
#include "app/ReaderPunchFiles.h"
#include "app/RunLoop.h"
#include "app/TtyConsole.h"
#include "app/WindowSerialLines.h"
#include "app/WindowSettings.h"

#include "console/QnTerminal.h"
#include "console/SimpleTerminal.h"
#include "console/QtPrintTarget.h"
#include "console/TTYDisplayOptionsDlg.h"
#include "ui/CpuPage.h"
#include "ui/CpuRegistersDlg.h"
#include "ui/DiskManagerPage.h"
#include "ui/DisksPage.h"
#include "ui/MapTermKeysDlg.h"
#include "ui/PortsPage.h"
#include "ui/RemoteDiskPanel.h"
#include "net/RmtDisk.h"
#include "platform/GuiThreadPoster.h"
#include "ui/SetAttributesDlg.h"
#include "ui/TextViewer.h"
#include "platform/ActionUpdatePump.h"
#include "platform/PlatformEvents.h"
#include "platform/core/ProgramFolder.h"
#include "platform/QtUiPrompts.h"
#include "platform/WindowPlacement.h"
#include "serial/QnExceptionDisplayScope.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

TMainHalvoret::TMainHalvoret(IUiPrompts* prompts, QWidget* parent) : QMainWindow(parent) {
    if (prompts) {
        FPrompts = prompts;
    } else {
        auto qtPrompts = std::make_unique<TQtUiPrompts>(this);
        // No burst starts inside a box's own event loop.
        qtPrompts->OnModal = [this](bool entering) {
            if (!FRunLoop) return;
            if (entering)
                FRunLoop->EnterModal();
            else if (FRunLoop->LeaveModal())
                FocusConsoleLater();
        };
        FPrompts = qtPrompts.get();
        FOwnPrompts = std::move(qtPrompts);
    }
    // Everything the window builds reports through it.
    FGatheringPrompts = std::make_unique<TGatheringPrompts>(*FPrompts);
    FPrompts = FGatheringPrompts.get();
    FThreadErrors = std::make_unique<TQnExceptionDisplayScope>(*FPrompts, *this);
    FormCreate();
    CreateToolDialogs();
}

// Each member goes in its turn (see the header).
TMainHalvoret::~TMainHalvoret() = default;

void TMainHalvoret::FormCreate() {
    setWindowTitle(QStringLiteral("Tavrin"));
    FMachine = std::make_unique<TTavrinMachine>(ProgramFolder());
    TTavrinMachine& m = *FMachine;

    m.Mapping().SetColdBootMapping(DefaultColdBootMapping);
    m.Mapping().SetMappingCombos(DefaultColdBootMapping);

    FLstPrinter = std::make_unique<TLstPrinter>(m, *FPrompts, *this);
    BuildActions();
    FRunLoop = std::make_unique<TRunLoop>(
        m, *RunCpuAct, *FPrompts, *this,
        TRunLoop::THooks{[this] { UpdateCpuDisplay(); }, [this] { FCpuDisplay->RefreshWhileRunning(); },
                         [this] { UpdateAllActions(); }, [this] { close(); }});
    BuildPages();
    FTtyConsole = std::make_unique<TTtyConsole>(m, *SimpleTerminal1);
    BuildMenus();
    FLstPrinter->Attach(*PrinterPanel, *PrinterEnableAct);
    FSerialLines = std::make_unique<TWindowSerialLines>(m, *PortsPage, *FPrompts, *this);
    FSerialLines->OnReboot = [this] { ResetCPMAct->trigger(); };
    FSerialLines->ApplyComSettings(1);  // start-up applies COM1 only; the settings apply both

    QnTerminal1->SetWantAllKeys(true);
    QnTerminal1->OnKeyboardData = [this](TQnTerminalEmulator&, char ch) { QnTerminal1KeyboardData(ch); };
    PageControl1->setCurrentWidget(CrtPage);

    m.Events().OnDriveChanged = [this](TTavrinMachine&, uint8_t d) { DriveChanged(d); };
    m.Events().OnLampChanged = [this](TTavrinMachine&, uint8_t d) { LampChanged(d); };
    for (uint8_t d = 0; d < 4; ++d) {
        DriveChanged(d);
        LampChanged(d);
    }

    FDefaultDir = m.ProgramFolderPath();

    FCpuDisplay = std::make_unique<TCpuDisplay>(*CpuPage, *PageControl1, *FPrompts, *this);
    FSettings = std::make_unique<TWindowSettings>(SettingsParts(), *FGatheringPrompts);

    QnTerminal1->setFocus();
    UpdateCpuDisplay();
    FActionPump->StartTimer(100);

    // A drive A that cannot be created is reported; the window still opens.
    try {
        m.EnsureDriveAImage();
    } catch (const std::exception& e) {
        QTimer::singleShot(0, this, [this, text = std::string(e.what())] { FPrompts->ShowError(text); });
    }
}

TWindowSettingsParts TMainHalvoret::SettingsParts() {
    TTavrinMachine& m = *FMachine;
    return {.Window = *this,
            .UpdateAction = [this](QAction& action) { UpdateAction(action); },
            .CpuPage = *CpuPage,
            .Crt = *FCrtConsole,
            .Crt132Act = *Crt132Act,
            .CrtAnsiAct = *CrtAnsiAct,
            .Tty = *FTtyConsole,
            .TtyTerminal = *SimpleTerminal1,
            .Tty132Act = *TTY132Act,
            .DisksPage = *DisksPage,
            .Machine = m.Settings(),
            .Mapping = m.Mapping(),
            .ApplyComSettings = [this](int line) { FSerialLines->ApplyComSettings(line); },
            .Printer = *FLstPrinter,
            .PrinterPanel = *PrinterPanel,
            .PrinterEnableAct = *PrinterEnableAct,
            .InputFilePanel = *InputFilePanel,
            .EnableInputFileAct = *EnableInputFileAct,
            .OutputFilePanel = *OutputFilePanel,
            .EnableOutputFileAct = *EnableOutputFileAct,
            .DiskServer = *RemoteDiskPanel,
            .KeyMapFile = FTtyConsole->KeyMap().FileName()};
}

// The tool dialogs exist after the window has built the machine, as the
// window's start-up expects; uses from the window test them for null.
void TMainHalvoret::CreateToolDialogs() {
    try {
        FTtyConsole->KeyMap().Load();
    } catch (const std::exception& e) {
        // An unreadable key map is reported and left as it is: the empty map
        // in its place is never saved over it.
        QTimer::singleShot(0, this, [this, text = std::string(e.what())] { FPrompts->ShowError(text); });
    }
    FMapTermKeys = std::make_unique<TMapTermKeysDlg>(FTtyConsole->KeyMap(), FPrompts, this);
    MapTermKeys = FMapTermKeys.get();
    Z80RegistersDlg = new TZ80RegistersDlg(this);
    TTYDisplaySettingsDlg = new TTTYDisplaySettingsDlg(*FPrompts, this);
    CpuPage->SetRegisterDialog(Z80RegistersDlg);
    TextViewer = new TTextViewer(*FPrompts, this);
    SetAttributesDlg = new TSetAttributesDlg(this);
    DiskManagerPage->SetToolDialogs(TextViewer, SetAttributesDlg);
}

void TMainHalvoret::BuildActions() {
    FActionPump = std::make_unique<TActionUpdatePump>();
    auto make = [this](const char* name, const char* caption, std::function<void()> execute,
                       std::function<void(QAction&)> update = {}) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, execute] { RunGuarded(execute); });
        FActionPump->Add(action, std::move(update));
        return action;
    };

    ResetCPMAct = make("ResetCPMAct", "Boot CPM System", [this] { ResetCPMActExecute(); });
    RunCpuAct = make("RunCpuAct", "Run CPU", [this] { RunCpuActExecute(); });
    RunCpuAct->setCheckable(true);
    connect(RunCpuAct, &QAction::toggled, this, [this](bool on) {
        FRunLoop->SetRunning(on);
        if (!on && FCpuDisplay) FCpuDisplay->RunStopped();
    });
    StepCpuAct = make(
        "StepCpuAct", "Execute Next", [this] { StepCpuActExecute(); },
        [this](QAction& a) { a.setEnabled(!RunCpuAct->isChecked()); });
    LoadHexFileAct = make("LoadHexFileAct", "Load Hex File", [this] { LoadHexFileActExecute(); });
    LoadBinFileAct = make("LoadBinFileAct", "Load Binnary File", [this] { LoadBinFileActExecute(); });
    CPMSelectImageNameAct =
        make("CPMSelectImageNameAct", "Set CPM Hex File", [this] { CPMSelectImageNameActExecute(); });
    BIOSSelectImageNameAct =
        make("BIOSSelectImageNameAct", "Set BIOS Hex File", [this] { BIOSSelectImageNameActExecute(); });
    static const char* names[4] = {"ChangeADriveAct", "ChangeBDriveAct", "ChangeCDriveAct", "ChangeDDriveAct"};
    static const char* captions[4] = {"Insert A:", "Insert B:", "Insert C:", "Insert D:"};
    for (uint8_t d = 0; d < 4; ++d) {
        // The pump keeps the drive's row true to the controller, which may
        // drop an image on its own (a reset that finds it gone).
        ChangeDriveActs[d] = make(
            names[d], captions[d], [this, d] { ChangeDriveActExecute(d); }, [this, d](QAction&) { DriveChanged(d); });
        ChangeDriveActs[d]->setProperty("ImageIndex", 4);
    }
    ShutdownAct = make("ShutdownAct", "Shutdown", [this] { ShutdownActExecute(); });
    ShutdownAct->setEnabled(false);
    TTYMapKeysAct = make("TTYMapKeysAct", "&Map TTY Keys", [this] { TTYMapKeysActExecute(); });
    Crt132Act = make("Crt132Act", "&CRT 132 Columns", [this] { Crt132ActExecute(); });
    Crt132Act->setCheckable(true);
    TTY132Act = make("TTY132Act", "&TTY 132 Columns", [this] { TTY132ActExecute(); });
    TTY132Act->setCheckable(true);
    ClearCrtAct = make("ClearCrtAct", "C&lear CRT Display", [this] { ClearCrtActExecute(); });
    ClearTTYAct = make("ClearTTYAct", "Cl&ear TTY Display", [this] { ClearTTYActExecute(); });
    TLstPrinter& printer = *FLstPrinter;
    PrinterEnableAct = make(
        "PrinterEnableAct", "Enable", [&printer] { printer.EnableActExecute(); },
        [&printer](QAction& a) { printer.EnableActUpdate(a); });
    PrinterEnableAct->setCheckable(true);
    PrinterAbortAct = make(
        "PrinterAbortAct", "Abort", [&printer] { printer.AbortJob(); },
        [&printer](QAction& a) { printer.JobActUpdate(a); });
    PrinterEjectAct = make(
        "PrinterEjectAct", "Eject", [&printer] { printer.EjectJob(); },
        [&printer](QAction& a) { printer.JobActUpdate(a); });
    PrinterSetupAct = make(
        "PrinterSetupAct", "Setup", [&printer] { printer.SetupActExecute(); },
        [&printer](QAction& a) { printer.SetupActUpdate(a); });
    PrinterFontAct = make(
        "PrinterFontAct", "Font", [&printer] { printer.FontActExecute(); },
        [&printer](QAction& a) { printer.FontActUpdate(a); });
    EnableInputFileAct = make("EnableInputFileAct", "Enable Input File", [this] { EnableInputFileActExecute(); });
    EnableInputFileAct->setCheckable(true);
    EnableInputFileAct->setToolTip(QStringLiteral("Enable the input file for the reader port"));
    EnableOutputFileAct = make("EnableOutputFileAct", "Enable Output File", [this] { EnableOutputFileActExecute(); });
    EnableOutputFileAct->setCheckable(true);
    EnableOutputFileAct->setToolTip(QStringLiteral("Activate the output file for the list and punch devices"));
    SetCrtFont = make("SetCrtFont", "CRT &Font", [this] { SetCrtFontExecute(); });
    SetCrtFont->setToolTip(QStringLiteral("Set the font to use for the CRT terminal"));
    SetTttyFont = make("SetTttyFont", "TT&Y Font", [this] { SetTttyFontExecute(); });
    SetTttyFont->setToolTip(QStringLiteral("Set the font to use for the TTY terminal"));
    TTYDisplaySettingsAct =
        make("TTYDisplaySettingsAct", "TTY Display Settings", [this] { TTYDisplaySettingsActExecute(); });
    CrtAnsiAct = make(
        "CrtAnsiAct", "C&RT ANSI", [this] { CrtAnsiActExecute(); }, [this](QAction& a) { CrtAnsiActUpdate(a); });
    CrtAnsiAct->setCheckable(true);
    BuildEjectActions();
}

void TMainHalvoret::BuildPages() {
    PageControl1 = new QTabWidget(this);
    setCentralWidget(PageControl1);

    CrtPage = new QWidget(PageControl1);
    {
        auto* layout = new QVBoxLayout(CrtPage);
        layout->setContentsMargins(0, 0, 0, 0);
        QnTerminal1 = new TQnTerminal(CrtPage);
        QnTerminal1->setObjectName(QStringLiteral("QnTerminal1"));
        FCrtConsole = std::make_unique<TCrtConsole>(*FMachine, *QnTerminal1, *FPrompts);
        QnVT100Emulator1 = FCrtConsole->Emulator();
        layout->addWidget(QnTerminal1);
    }
    TtyPage = new QWidget(PageControl1);
    {
        auto* layout = new QVBoxLayout(TtyPage);
        layout->setContentsMargins(0, 0, 0, 0);
        BuildTtyTerminal();
        layout->addWidget(SimpleTerminal1);
    }
    CpuPage = new TCpuPage(*FMachine, *FPrompts, TCpuPageActions{ResetCPMAct, RunCpuAct, StepCpuAct}, PageControl1);
    FActionPump->Add(CpuPage->HexMemoryDisplayAct);
    FActionPump->Add(CpuPage->SetBreakPoint);
    FActionPump->Add(CpuPage->ClearBreakPointAct, [this](QAction& a) { CpuPage->ClearBreakPointActUpdate(a); });
    FActionPump->Add(CpuPage->ShowCPUWindowAct);
    DiskManagerPage = new TDiskManagerPage(*FMachine, *FPrompts, FMachine->ProgramFolderPath(), PageControl1);
    TDisksPageActions disksActions;
    disksActions.SelectCpmImage = CPMSelectImageNameAct;
    disksActions.SelectBiosImage = BIOSSelectImageNameAct;
    disksActions.ChangeDrive = ChangeDriveActs;
    disksActions.Boot = ResetCPMAct;
    DisksPage = new TDisksPage(*FMachine, *FPrompts, disksActions, PageControl1);
    RmtDskMod = std::make_unique<TRmtDskMod>(ProgramFolder());
    RmtDskMod->BaseUdpRx1.Poster = GuiThreadPoster(this);
    RemoteDiskPanel = new TRemoteDiskPanel(RmtDskMod.get(), *FPrompts, DisksPage);
    FActionPump->Add(RemoteDiskPanel->ActivateRemoteDiskServerAct,
                     [this](QAction& a) { RemoteDiskPanel->ActivateRemoteDiskServerActUpdate(a); });
    DisksPage->AddPanel(RemoteDiskPanel);
    PortsPage = new TPortsPage(PageControl1);
    BuildPortsPage();

    // A click on a console page's tab leaves the keys with its console.
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { FocusConsoleLater(); });
    PageControl1->addTab(CrtPage, QStringLiteral("CRT"));
    PageControl1->addTab(TtyPage, QStringLiteral("TTY"));
    PageControl1->addTab(CpuPage, QStringLiteral("CPU"));
    PageControl1->addTab(DiskManagerPage, QStringLiteral("Disk Manager"));
    PageControl1->addTab(DisksPage, QStringLiteral("Disks"));
    PageControl1->addTab(PortsPage, QStringLiteral("Ports"));
    // The form's size, fitted with the whole frame to the screen's free area
    // as a restored size is; the window system chooses the place.
    PlaceWindow(*this, {900, 700});
}

void TMainHalvoret::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(LoadHexFileAct);
    file->addAction(LoadBinFileAct);
    file->addSeparator();
    file->addAction(CPMSelectImageNameAct);
    file->addAction(BIOSSelectImageNameAct);
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("E&xit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* cpu = menuBar()->addMenu(QStringLiteral("&CPU"));
    cpu->addAction(ResetCPMAct);
    cpu->addAction(RunCpuAct);
    cpu->addAction(StepCpuAct);
    cpu->addSeparator();
    cpu->addAction(CpuPage->SetBreakPoint);
    cpu->addAction(CpuPage->ClearBreakPointAct);
    cpu->addAction(CpuPage->ShowCPUWindowAct);

    QMenu* disks = menuBar()->addMenu(QStringLiteral("&Disks"));
    for (QAction* a : ChangeDriveActs) disks->addAction(a);
    disks->addSeparator();
    for (QAction* a : EjectDriveActs) disks->addAction(a);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    for (QAction* a : {CrtAnsiAct, Crt132Act, ClearCrtAct, SetCrtFont}) view->addAction(a);
    view->addSeparator();
    for (QAction* a : {TTY132Act, ClearTTYAct, SetTttyFont, TTYDisplaySettingsAct, TTYMapKeysAct}) view->addAction(a);
    view->addSeparator();
    view->addAction(CpuPage->HexMemoryDisplayAct);

    // The CRT terminal's pop-up menu.
    QnTerminal1->setContextMenuPolicy(Qt::ActionsContextMenu);
    QnTerminal1->addAction(CrtAnsiAct);

    for (QMenu* menu : {file, cpu, disks, view}) {
        FActionPump->WatchMenu(menu);
        // A menu closed with Esc leaves the bar in keyboard mode, where
        // typed letters open menus; typing belongs to the console.
        connect(menu, &QMenu::aboutToHide, this, [this] { FocusConsoleLater(); });
    }
    BuildDiskManagerMenu();

    QToolBar* bar = addToolBar(QStringLiteral("Machine"));
    bar->setObjectName(QStringLiteral("MachineToolBar"));
    bar->addAction(ResetCPMAct);
    bar->addAction(RunCpuAct);
    bar->addAction(StepCpuAct);
}

bool TMainHalvoret::Closing() const { return FRunLoop->Closing(); }

void TMainHalvoret::ApplicationEvents1Idle() { FRunLoop->Burst(); }

void TMainHalvoret::UpdateAllActions() { FActionPump->UpdateAllActions(); }

void TMainHalvoret::UpdateAction(QAction& action) { FActionPump->UpdateAction(&action); }

void TMainHalvoret::RunGuarded(const std::function<void()>& body) { ::RunGuarded(*FPrompts, body); }

void TMainHalvoret::DriveChanged(uint8_t drive) {
    if (drive > 3 || !DisksPage) return;
    DisksPage->ShowDrive(drive);
}

void TMainHalvoret::LampChanged(uint8_t drive) {
    if (DisksPage) DisksPage->ShowLamp(drive);
}

void TMainHalvoret::QnTerminal1KeyboardData(char ch) { FCrtConsole->KeyboardData(ch); }

void TMainHalvoret::TTYMapKeysActExecute() {
    if (MapTermKeys) MapTermKeys->exec();
    FocusConsoleLater();
}

QWidget* TMainHalvoret::PageConsole() const {
    QWidget* page = PageControl1->currentWidget();
    return page == CrtPage ? static_cast<QWidget*>(QnTerminal1) : page == TtyPage ? SimpleTerminal1 : nullptr;
}

// After the menu or dialog has finished closing (it restores the focus it
// found), unless another menu or box has opened meanwhile.
void TMainHalvoret::FocusConsoleLater() {
    QTimer::singleShot(0, this, [this] {
        QWidget* console = PageConsole();
        if (!console || QApplication::activePopupWidget() || QApplication::activeModalWidget()) return;
        // A closed dialog may still count as the active window where no
        // window manager hands activation back (never taken from another
        // program, though).
        QWidget* active = QApplication::activeWindow();
        if (active && active != this && !active->isVisible()) activateWindow();
        console->setFocus(Qt::OtherFocusReason);
    });
}

// --- window events ----------------------------------------------------------

void TMainHalvoret::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Offscreen and some window managers never activate the window.
    if (FFirstActivate)
        QTimer::singleShot(0, this, [this] {
            if (FFirstActivate) RunGuarded([this] { FormActivate(); });
        });
}

void TMainHalvoret::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && FFirstActivate)
        RunGuarded([this] { FormActivate(); });
}

bool TMainHalvoret::event(QEvent* event) {
    if (static_cast<int>(event->type()) == WM_COMBREAK) {
        if (auto* message = dynamic_cast<TPlatformEvent*>(event)) WMComBreak(message->WParam);
        return true;
    }
    return QMainWindow::event(event);
}

void TMainHalvoret::WMComBreak(intptr_t line) { FSerialLines->ComBreak(line); }

void TMainHalvoret::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

bool TMainHalvoret::FormCloseQuery() {
    if (RunCpuAct->isChecked()) RunCpuAct->trigger();
    FRunLoop->BeginClosing();
    RunGuarded([this] { FSettings->SaveFile(); });
    return true;
}

void TMainHalvoret::FormActivate() {
    FFirstActivate = false;
    // The printer starts with the CRT terminal's font.
    TQtPrintTarget& printer = FLstPrinter->PrinterObject();
    if (printer.PrinterSelected())
        printer.SetFont(TQnCustomTerminal::TerminalFont(QString::fromStdString(FCrtConsole->FontName()), 0,
                                                        FCrtConsole->FontSize()));
    RemoteDiskPanel->SetupRemoteDiskStatusList();
    if (!FSettings->LoadFile()) return;
    PageControl1->setCurrentWidget(FMachine->Mapping().ItemIndex(TMappedDevice::Con) == 0 ? TtyPage : CrtPage);
}

void TMainHalvoret::ShutdownActExecute() { close(); }
