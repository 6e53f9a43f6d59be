#pragma once
// The main window: owns the emulated machine (a headless TTavrinMachine) and
// shows it on six pages, each a widget of its own (src/ui) that the window
// creates, lays out and wires. It builds the machine in its constructor, runs the
// CPU in bursts from a zero-interval timer while "Run CPU" is checked (a
// few milliseconds apart while the Z80 only waits for input), and saves the
// settings when it closes.
//
// The CRT console is the terminal window QnTerminal1 on the first page: port
// 13h output reaches it through a TCrtConsoleAdapter and its keyboard data
// comes back through QnTerminal1KeyboardData into the CRT key queue.
//
// Devices and pages that come with later units plug in through the seams
// below: SetPrinter, SetSerialLines, SetTcpServer, the OnUpdateCpuDisplay /
// OnLoadSettings / OnSaveSettings hooks. Until then the machine answers for
// them as for an absent or switched-off device. The CRT terminal runs the
// VT100 emulator QnVT100Emulator1, set up in FormCreate; its own teletype
// emulator stays as the fallback.

#include <QMainWindow>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/MapKeys.h"
#include "console/QnTrmVT100.h"
#include "console/SimpTermParser.h"
#include "console/TTYPrinter.h"
#include "machine/ConfigObject.h"
#include "machine/TavrinMachine.h"
#include "app/CrtConsoleAdapter.h"
#include "platform/UiPrompts.h"
#include "platform/VirtualKeys.h"

class QAction;
class QTabWidget;
class QTimer;
class TActionUpdatePump;
class TComGlue;
class TCpuPage;
class TDiskManagerPage;
class TDisksPage;
class TDeviceMappingPanel;
class TInputFilePanel;
class TOutputFilePanel;
class TPrinterPanel;
class TTTYDisplaySettingsDlg;
class TMapTermKeysDlg;
class TPortsPage;
class TQnExceptionDisplayScope;
class TRemoteDiskPanel;
class TRmtDskMod;
class TQtPrintTarget;
class TZ80RegistersDlg;
class TQnTerminal;
class TSetAttributesDlg;
class TSimpleTerminal;
class TTextViewer;

class TMainHalvoret : public QMainWindow, private ITtyConsole {
    Q_OBJECT
public:
    // The cold-boot device mapping at start-up: CON = CRT; LST, RDR and
    // PUN = TTY.
    static constexpr uint8_t DefaultColdBootMapping = 1;

    // prompts: where boxes and dialogs go; null gives the Qt dialogs.
    explicit TMainHalvoret(IUiPrompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TMainHalvoret() override;

    TTavrinMachine& Machine() { return *FMachine; }
    IUiPrompts& Prompts() { return *FPrompts; }
    bool Closing() const { return FClosing; }
    bool Booted() const { return FMachine->Booted(); }
    // The TTY console's key map, loaded from the ".kmap" file at start-up.
    TMapTermKeys& KeyMap() { return *FKeyMap; }
    // The settings file: the program's path with the extension ".config".
    std::string SettingsFileName() const;

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
    // The CRT terminal's emulator; null when it could not be created.
    std::unique_ptr<TQnVT100Emulator> QnVT100Emulator1;
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
    TMapTermKeysDlg* MapTermKeys = nullptr;
    // The remote disk server; its datagrams are handled on this window's thread.
    std::unique_ptr<TRmtDskMod> RmtDskMod;
    TZ80RegistersDlg* Z80RegistersDlg = nullptr;
    TTTYDisplaySettingsDlg* TTYDisplaySettingsDlg = nullptr;
    // Shows the host printer set-up for the printer object; true on OK.
    // Replaceable so that tests can answer it.
    std::function<bool(TQtPrintTarget& printer)> OnPrinterSetupDialog;
    TTextViewer* TextViewer = nullptr;
    TSetAttributesDlg* SetAttributesDlg = nullptr;

    // --- the printer ----------------------------------------------------------
    // The host's printer object: its list, selection, orientation and font.
    TQtPrintTarget& PrinterObject() { return *FPrinterObject; }
    // The LST device; null while printing is disabled.
    TTTYPrinter* Printer() const { return FPrinter.get(); }
    // The values a device takes when "Enable" creates it.
    TTTYPrinterSetup PrinterSetup;
    // The three option flags of PrinterSetup, on the device when it exists.
    void PrinterOptionsChanged();

    // --- operations -----------------------------------------------------------
    // One run burst (the idle handler); public so a test can pump the run.
    void ApplicationEvents1Idle();
    // While the Z80 only polls for input that is not there, bursts come this
    // far apart instead of back to back; arriving input ends the wait at once.
    static constexpr int IdleWaitMs = 5;
    bool RunWaitsForInput() const { return FRunWaiting; }
    void UpdateAllActions();
    void UpdateCpuDisplay();
    // First activation: loads the settings file.
    void FormActivate();
    void SaveSettings(TNrKeyValueSections& store);
    void LoadSettings(const TNrKeyValueSections& store);
    // The TTY console's display values, as the TTY display settings dialog
    // and the settings file take them (colours are Windows colour values).
    struct TTtyDisplaySettings {
        uint32_t Background = 0;
        uint32_t FontColor = 0;  // the low-video text colour
        int Rows = 0;
        uint32_t CursorColor = 0;
    };
    TTtyDisplaySettings GetTtyDisplaySettings() const;
    void SetTtyDisplaySettings(const TTtyDisplaySettings& settings);

    // --- seams for later units ----------------------------------------------
    void SetPrinter(IPrinterDevice* printer) { FMachine->SetPrinter(printer); }
    // The CPU page (and register dialog) redraws from the CPU.
    std::function<void(TMainHalvoret& sender)> OnUpdateCpuDisplay;
    // After a burst while the CPU page is hidden: the register dialog, when
    // it is visible, repaints from the CPU.
    std::function<void(TMainHalvoret& sender)> OnRefreshRegisterDialog;
    // Further settings sections written after / read after the machine's own.
    std::function<void(TMainHalvoret& sender, TNrKeyValueSections& store)> OnSaveSettings;
    std::function<void(TMainHalvoret& sender, const TNrKeyValueSections& store)> OnLoadSettings;

    // --- action handlers ----------------------------------------------------
    // The handlers of a page's controls stay here under their own names and
    // delegate to the page that holds the state.
    void RunCpuActExecute();
    void StepCpuActExecute();
    void ResetCPMActExecute();
    void LoadHexFileActExecute();
    void LoadBinFileActExecute();
    void CPMSelectImageNameActExecute();
    void BIOSSelectImageNameActExecute();
    void ChangeDriveActExecute(uint8_t drive);
    void ShutdownActExecute();
    void TTYMapKeysActExecute();
    void Crt132ActExecute();
    void TTY132ActExecute();
    void ClearCrtActExecute();
    void ClearTTYActExecute();
    void PrinterEnableActExecute();
    void PrinterEnableActUpdate(QAction& action);
    void PrinterAbortActExecute();
    void PrinterEjectActExecute();
    void PrinterJobActUpdate(QAction& action);
    void C_PrintersListChange();
    void C_PrintOrientaionClick();
    // Also locks the printer panel's settings while the device exists.
    void PrinterSetupActUpdate(QAction& action);
    void PrinterSetupActExecute();
    void PrinterFontActUpdate(QAction& action);
    void PrinterFontActExecute();

    // Ports page: reader and punch files. Every page change rereads the
    // Disk Manager's disk and, on the Ports page, the IOBYTE.
    void EnableInputFileActExecute();
    void EnableOutputFileActExecute();
    // Refuses, with a warning, a reader or punch file that is a disk image in
    // use (the punch would empty it); true when it did.
    bool RefusedAsDeviceFile(const std::string& name, const char* which);
    void PageControl1Change();

    // View actions: console fonts and the TTY display settings.
    void SetCrtFontExecute();
    void SetTttyFontExecute();
    void TTYDisplaySettingsActExecute();
    // Checked while the CRT's VT100 emulator is in ANSI mode (not VT52).
    void CrtAnsiActUpdate(QAction& action);
    void CrtAnsiActExecute();
    // The CRT font as the settings keep it: the face asked for and its size
    // in points at 96 dots per inch. The style chosen in the font dialog is
    // kept with it for the run; the settings file has no key for it.
    const std::string& CrtFontName() const { return FCrtFontName; }
    int CrtFontSize() const { return FCrtFontSize; }
    void SetCrtFontNameAndSize(const std::string& name, int pointSize);
    // The CRT's colours (the terminal's font colour on its Color) as the
    // buffer's default and current colours: the text after start, a reset
    // and a clear all shows them.
    void ApplyCrtColors();

    // Serial glue: the COM panels of the Ports page edit the machine's
    // settings model; applying opens or closes the line, shows its controls
    // locked while it is enabled and warns when it cannot be opened.
    void ApplyCom1Settings() { ApplyComSettings(1); }
    void ApplyCom2Settings() { ApplyComSettings(2); }
    // The click of either enable box (sender: the box).
    void C_ComPortEnableBtnClick(QObject* sender);
    // The host ports COM1 and COM2 and the TCP server for COM1.
    TComGlue& ComLines() { return *FComGlue; }

    void EjectDriveActExecute(uint8_t drive);

    // TTY glue.
    void TtyParserCommand(TSimpTermParser& sender, uint8_t cmd, int a, int b);
    void TtyParserWriteChar(TSimpTermParser& sender, uint8_t ch);
    void QnTerminal2KeyPress(char& key);
    void SimpleTerminal1KeyDown(uint16_t& key, TShiftState shift);
    void SimpleTerminal1KeyUp(uint16_t& key, TShiftState shift);
    // Every character the CRT terminal's keyboard produces (escape sequences
    // of function and cursor keys included).
    void QnTerminal1KeyboardData(char ch);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void WriteTtyByte(uint8_t ch) override;
    void FormCreate();
    void CreateToolDialogs();
    void BuildActions();
    void BuildPages();
    void BuildCrtTerminal();
    void BuildCrtEmulator();
    void BuildTtyTerminal();
    void BuildMenus();
    void BuildEjectActions();
    void BuildDiskManagerMenu();
    bool FormCloseQuery();
    void LoadPlacement(const TNrKeyValueSections& store);
    // The console of the page shown (CRT or TTY); null on the other pages.
    QWidget* PageConsole() const;
    void FocusConsoleLater();
    void RunGuarded(const std::function<void()>& body);
    void SetRunning(bool on);
    // Back to bursts one after another (input arrived, or the Z80 works again).
    void WakeRun();
    // While the CPU runs: the CPU page when shown, else the register dialog,
    // at most once a RunRefreshInterval; a refresh skipped is owed to the
    // next tick of FRunRefreshTimer.
    void RefreshCpuDisplayWhileRunning();
    void BuildPrinter();
    void BuildPortsPage();
    // Settings loading: one step in its own guard (a failure is kept for the
    // one report after loading); an action-backed key executes its action
    // when the saved state differs from the checked one.
    void LoadStep(const std::function<void()>& step);
    void LoadActionKey(const TNrKeyValueSections& store, const char* section, const char* key, QAction& action);
    void LoadPrinterSettings(const TNrKeyValueSections& store);
    void LoadFileSettings(const TNrKeyValueSections& store);
    void SaveDeviceSettings(TNrKeyValueSections& store) const;
    void ShowPrinterList();
    void DriveChanged(uint8_t drive);
    void LampChanged(uint8_t drive);
    void WMComBreak(intptr_t line);
    void BuildSerialLines();
    void ApplyComSettings(int line);
    void ComSettingsEdited(int line);

    std::unique_ptr<TTavrinMachine> FMachine;
    // After the machine, so its lines close before the machine goes.
    std::unique_ptr<TComGlue> FComGlue;
    std::unique_ptr<IUiPrompts> FOwnPrompts;
    IUiPrompts* FPrompts = nullptr;
    // Shows what ends a serial-port worker thread; goes before the prompts.
    std::unique_ptr<TQnExceptionDisplayScope> FThreadErrors;
    TSimpTermParser FTtyParser;
    std::unique_ptr<TCrtConsoleAdapter> FCrtConsole;
    std::unique_ptr<TMapTermKeys> FKeyMap;
    TActionUpdatePump* FActionPump = nullptr;
    std::unique_ptr<TQtPrintTarget> FPrinterObject;
    std::unique_ptr<TTTYPrinter> FPrinter;
    QTimer* FRunRefreshTimer = nullptr;
    std::chrono::steady_clock::time_point FLastPageRefresh{};
    std::chrono::steady_clock::time_point FLastDialogRefresh{};
    bool FRunRefreshOwed = false;
    QTimer* FIdleTimer = nullptr;  // the run: one burst per timeout
    bool FRunWaiting = false;      // FIdleTimer runs at IdleWaitMs, not 0
    // Settings read at start-up; a key whose control is missing is written
    // back as it was read.
    TNrKeyValueSections FLoadedSettings;
    // Steps of the last loading that failed, for its one report.
    std::vector<std::string> FLoadFailures;
    std::string FCrtFontName = "Terminal";
    int FCrtFontSize = 9;
    bool FCrtFontBold = false;
    bool FCrtFontItalic = false;
    std::string FDefaultDir;
    bool FFirstActivate = true;
    // The settings file exists but could not be read: it is kept as it is.
    bool FSettingsUnread = false;
    bool FClosing = false;
    bool FInBurst = false;
    int FModalDepth = 0;
};
