#pragma once
// The widgets, actions and tool dialogs of the main window: created, laid
// out and wired by the window, which inherits this privately (as forms do
// from their generated UI class) and hands it out through Ui() to code that
// must reach a control, such as the window tests.

#include <array>
#include <memory>

class QAction;
class QTabWidget;
class QWidget;
class TCpuPage;
class TDeviceMappingPanel;
class TDiskManagerPage;
class TDisksPage;
class TInputFilePanel;
class TMapTermKeysDlg;
class TOutputFilePanel;
class TPortsPage;
class TPrinterPanel;
class TQnTerminal;
class TQnVT100Emulator;
class TRemoteDiskPanel;
class TRmtDskMod;
class TSetAttributesDlg;
class TSimpleTerminal;
class TTextViewer;
class TTTYDisplaySettingsDlg;
class TZ80RegistersDlg;

struct TMainWindowUi {
    TMainWindowUi();
    ~TMainWindowUi();
    TMainWindowUi(const TMainWindowUi&) = delete;
    TMainWindowUi& operator=(const TMainWindowUi&) = delete;

    // --- pages and controls -------------------------------------------------
    QTabWidget* PageControl1 = nullptr;
    QWidget* CrtPage = nullptr;
    QWidget* TtyPage = nullptr;
    TCpuPage* CpuPage = nullptr;
    TDiskManagerPage* DiskManagerPage = nullptr;
    TDisksPage* DisksPage = nullptr;
    TPortsPage* PortsPage = nullptr;
    // On the Ports page.
    TDeviceMappingPanel* DeviceMappingPanel = nullptr;
    TPrinterPanel* PrinterPanel = nullptr;
    TInputFilePanel* InputFilePanel = nullptr;
    TOutputFilePanel* OutputFilePanel = nullptr;
    // On the Disks page: starts and stops the remote disk server, lists its clients.
    TRemoteDiskPanel* RemoteDiskPanel = nullptr;
    TQnTerminal* QnTerminal1 = nullptr;
    // The CRT terminal's emulator, which the CRT console owns; null when it
    // could not be created.
    TQnVT100Emulator* QnVT100Emulator1 = nullptr;
    TSimpleTerminal* SimpleTerminal1 = nullptr;

    // --- actions ------------------------------------------------------------
    QAction* RunCpuAct = nullptr;
    QAction* StepCpuAct = nullptr;
    QAction* ResetCPMAct = nullptr;
    QAction* LoadHexFileAct = nullptr;
    QAction* LoadBinFileAct = nullptr;
    QAction* CPMSelectImageNameAct = nullptr;
    QAction* BIOSSelectImageNameAct = nullptr;
    std::array<QAction*, 4> ChangeDriveActs{};
    QAction* ShutdownAct = nullptr;
    QAction* TTYMapKeysAct = nullptr;
    // View: console widths (checkable) and clearing.
    QAction* Crt132Act = nullptr;
    QAction* TTY132Act = nullptr;
    QAction* ClearCrtAct = nullptr;
    QAction* ClearTTYAct = nullptr;
    // "Eject A:" ... "Eject D:".
    std::array<QAction*, 4> EjectDriveActs{};

    QAction* PrinterEnableAct = nullptr;
    QAction* PrinterAbortAct = nullptr;
    QAction* PrinterEjectAct = nullptr;
    QAction* PrinterSetupAct = nullptr;
    QAction* PrinterFontAct = nullptr;
    QAction* EnableInputFileAct = nullptr;
    QAction* EnableOutputFileAct = nullptr;
    QAction* SetCrtFont = nullptr;
    QAction* SetTttyFont = nullptr;
    QAction* TTYDisplaySettingsAct = nullptr;
    QAction* CrtAnsiAct = nullptr;

    // --- tool dialogs, created once and reused ----------------------------
    // Owned by the window, to go before the TTY console whose key map it
    // edits.
    TMapTermKeysDlg* MapTermKeys = nullptr;
    // The remote disk server; its datagrams are handled on the window's thread.
    // Its thread is joined when it goes, after the window's features and
    // before the widgets.
    std::unique_ptr<TRmtDskMod> RmtDskMod;
    TZ80RegistersDlg* Z80RegistersDlg = nullptr;
    TTTYDisplaySettingsDlg* TTYDisplaySettingsDlg = nullptr;
    TTextViewer* TextViewer = nullptr;
    TSetAttributesDlg* SetAttributesDlg = nullptr;
};
