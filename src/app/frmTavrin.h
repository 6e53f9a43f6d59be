#pragma once
// The main window: owns the emulated machine (a headless TTavrinMachine) and
// shows it on six pages, each a widget of its own (src/ui) that the window
// creates, lays out and wires. Each feature keeps its state in a class of
// its own that the window owns: the run of the CPU (TRunLoop), the CPU
// display, the LST printer, the TTY console, the serial lines and the
// settings file. The handlers of the actions stay here under their own names
// and delegate to them.
//
// The CRT console is the terminal window QnTerminal1 on the first page: port
// 13h output reaches it through a TCrtConsoleAdapter and its keyboard data
// comes back through QnTerminal1KeyboardData into the CRT key queue. It runs
// the VT100 emulator QnVT100Emulator1, set up in FormCreate; the terminal's
// own teletype emulator stays as the fallback.

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "app/CrtConsoleAdapter.h"
#include "app/MainWindowUi.h"
#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class TActionUpdatePump;
class TCpuDisplay;
class TLstPrinter;
class TQnExceptionDisplayScope;
class TRunLoop;
class TTtyConsole;
class TWindowSerialLines;
class TWindowSettings;

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
    TWindowSerialLines& SerialLines() { return *FSerialLines; }
    TWindowSettings& Settings() { return *FSettings; }

    // One run burst (the idle handler).
    void ApplicationEvents1Idle();
    void UpdateAllActions();
    // First activation: loads the settings file.
    void FormActivate();

    // The CRT font as the settings keep it: the face asked for and its size
    // in points at 96 dots per inch. The style chosen in the font dialog is
    // kept with it for the run; the settings file has no key for it.
    const std::string& CrtFontName() const { return FCrtFontName; }
    int CrtFontSize() const { return FCrtFontSize; }
    void SetCrtFontNameAndSize(const std::string& name, int pointSize);
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
    void BuildCrtTerminal();
    void BuildCrtEmulator();
    void BuildTtyTerminal();
    void BuildMenus();
    void BuildEjectActions();
    void BuildDiskManagerMenu();
    void BuildPortsPage();
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
    // The CRT's colours (the terminal's font colour on its Color) as the
    // buffer's default and current colours: the text after start, a reset
    // and a clear all shows them.
    void ApplyCrtColors();
    // Every character the CRT terminal's keyboard produces (escape sequences
    // of function and cursor keys included).
    void QnTerminal1KeyboardData(char ch);

    std::unique_ptr<TTavrinMachine> FMachine;
    std::unique_ptr<IUiPrompts> FOwnPrompts;
    IUiPrompts* FPrompts = nullptr;
    // Shows what ends a serial-port worker thread; goes before the prompts.
    std::unique_ptr<TQnExceptionDisplayScope> FThreadErrors;
    std::unique_ptr<TCrtConsoleAdapter> FCrtConsole;
    TActionUpdatePump* FActionPump = nullptr;
    std::unique_ptr<TRunLoop> FRunLoop;
    std::unique_ptr<TCpuDisplay> FCpuDisplay;
    std::unique_ptr<TLstPrinter> FLstPrinter;
    std::unique_ptr<TTtyConsole> FTtyConsole;
    // After the machine, so its lines close before the machine goes.
    std::unique_ptr<TWindowSerialLines> FSerialLines;
    std::unique_ptr<TWindowSettings> FSettings;
    std::string FCrtFontName = "Terminal";
    int FCrtFontSize = 9;
    bool FCrtFontBold = false;
    bool FCrtFontItalic = false;
    std::string FDefaultDir;
    bool FFirstActivate = true;
};
