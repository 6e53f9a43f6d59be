#pragma once
// The main window: owns the emulated machine (a headless TTavrinMachine) and
// shows it on six pages, each a widget of its own (src/ui) that the window
// creates, lays out and wires. Each feature keeps its state in a class of
// its own that the window owns: the run of the CPU (TRunLoop), the CPU
// display, the LST printer, the CRT and TTY consoles, the reader and punch
// files, the serial lines and the settings file. The handlers of the actions
// stay here under their own names and delegate to them.

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "app/MainWindowUi.h"
#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class TActionUpdatePump;
class TCpuDisplay;
class TCrtConsole;
class TGatheringPrompts;
class TLstPrinter;
class TMapTermKeysDlg;
class TQnExceptionDisplayScope;
class TReaderPunchFiles;
class TRunLoop;
class TTtyConsole;
class TWindowSerialLines;
class TWindowSettings;
struct TWindowSettingsParts;

class TMainHalvoret : public QMainWindow, private TMainWindowUi {
    Q_OBJECT
public:
    // The cold-boot device mapping at start-up: CON = CRT; LST, RDR and
    // PUN = TTY.
    static constexpr uint8_t DefaultColdBootMapping = 1;

    // prompts: where boxes and dialogs go; null gives the Qt dialogs.
    explicit TMainHalvoret(IUiPrompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TMainHalvoret() override;

    // The widgets, actions and tool dialogs.
    TMainWindowUi& Ui() { return *this; }
    const TMainWindowUi& Ui() const { return *this; }
    TTavrinMachine& Machine() { return *FMachine; }
    IUiPrompts& Prompts() { return *FPrompts; }
    bool Closing() const;
    bool Booted() const { return FMachine->Booted(); }

    // --- the features --------------------------------------------------------
    TRunLoop& RunLoop() { return *FRunLoop; }
    TCpuDisplay& CpuDisplay() { return *FCpuDisplay; }
    TLstPrinter& LstPrinter() { return *FLstPrinter; }
    TTtyConsole& TtyConsole() { return *FTtyConsole; }
    TCrtConsole& CrtConsole() { return *FCrtConsole; }
    TReaderPunchFiles& ReaderPunchFiles() { return *FReaderPunchFiles; }
    TWindowSerialLines& SerialLines() { return *FSerialLines; }
    TWindowSettings& Settings() { return *FSettings; }

    // One run burst (the idle handler).
    void ApplicationEvents1Idle();
    void UpdateAllActions();
    // First activation: loads the settings file.
    void FormActivate();
    // Refreshes one action from its update handler.
    void UpdateAction(QAction& action);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void FormCreate();
    void CreateToolDialogs();
    void BuildActions();
    void BuildPages();
    void BuildTtyTerminal();
    void BuildMenus();
    void BuildEjectActions();
    void BuildDiskManagerMenu();
    void BuildPortsPage();
    TWindowSettingsParts SettingsParts();
    bool FormCloseQuery();
    // The console of the page shown (CRT or TTY); null on the other pages.
    QWidget* PageConsole() const;
    void FocusConsoleLater();
    void RunGuarded(const std::function<void()>& body);
    void DriveChanged(uint8_t drive);
    void LampChanged(uint8_t drive);
    void WMComBreak(intptr_t line);

    // --- action handlers ----------------------------------------------------
    void UpdateCpuDisplay();
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
    void EjectDriveActExecute(uint8_t drive);
    // Ports page: reader and punch files. Every page change rereads the
    // Disk Manager's disk and, on the Ports page, the IOBYTE.
    void EnableInputFileActExecute();
    void EnableOutputFileActExecute();
    void PageControl1Change();
    // View actions: console fonts and the TTY display settings.
    void SetCrtFontExecute();
    void SetTttyFontExecute();
    void TTYDisplaySettingsActExecute();
    // Checked while the CRT's VT100 emulator is in ANSI mode (not VT52).
    void CrtAnsiActUpdate(QAction& action);
    void CrtAnsiActExecute();
    // Every character the CRT terminal's keyboard produces (escape sequences
    // of function and cursor keys included).
    void QnTerminal1KeyboardData(char ch);

    // The members go in the reverse of their order here, each before what it
    // uses, and all before the widgets, which as the window's children go
    // last. So the features go before the machine they work on, and the
    // serial lines are closed (their threads joined) while the window they
    // post to still stands.
    IUiPrompts* FPrompts = nullptr;
    std::unique_ptr<IUiPrompts> FOwnPrompts;
    // In front of the prompts: holds back reports while the settings load.
    std::unique_ptr<TGatheringPrompts> FGatheringPrompts;
    // Shows what ends a serial-port worker thread.
    std::unique_ptr<TQnExceptionDisplayScope> FThreadErrors;
    // Fires no event while it goes.
    std::unique_ptr<TTavrinMachine> FMachine;
    // A running job is finished and printed when it goes.
    std::unique_ptr<TLstPrinter> FLstPrinter;
    std::unique_ptr<TCpuDisplay> FCpuDisplay;
    std::unique_ptr<TTtyConsole> FTtyConsole;
    // The "Map TTY Keys" dialog works on the TTY console's key map.
    std::unique_ptr<TMapTermKeysDlg> FMapTermKeys;
    std::unique_ptr<TCrtConsole> FCrtConsole;
    std::unique_ptr<TReaderPunchFiles> FReaderPunchFiles;
    std::unique_ptr<TWindowSerialLines> FSerialLines;
    std::unique_ptr<TWindowSettings> FSettings;
    // Its update handlers reach every feature above.
    std::unique_ptr<TActionUpdatePump> FActionPump;
    // The first to go: no burst runs on a window that is going.
    std::unique_ptr<TRunLoop> FRunLoop;
    std::string FDefaultDir;
    bool FFirstActivate = true;
};
