#pragma once
// The LST printer of the main window: the host's printer object, the device
// that exists while printing is enabled (and serves the machine's port 18h
// and 19h and its PRINT command), and the printer panel's handlers.

#include <functional>
#include <memory>

#include "app/LstPrinterAdapter.h"
#include "console/core/TTYPrinter.h"
#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class QAction;
class QWidget;
class TPrinterPanel;
class TQtPrintTarget;

class TLstPrinter {
public:
    // PDF jobs go into the machine's program folder; parent: the set-up dialog's.
    TLstPrinter(TTavrinMachine& machine, IUiPrompts& prompts, QWidget& parent);
    // A running job is finished and printed.
    ~TLstPrinter();
    TLstPrinter(const TLstPrinter&) = delete;
    TLstPrinter& operator=(const TLstPrinter&) = delete;

    // The panel and "Enable" action it serves, once they exist.
    void Attach(TPrinterPanel& panel, QAction& enableAct);

    // The host's printer object: its list, selection, orientation and font.
    TQtPrintTarget& PrinterObject() { return *FPrinterObject; }
    // The LST device; null while printing is disabled.
    TTTYPrinter* Device() const { return FDevice ? &FDevice->Printer() : nullptr; }
    // The values a device takes when "Enable" creates it.
    TLstPrinterSetup& Setup() { return FSetup; }
    const TLstPrinterSetup& Setup() const { return FSetup; }
    // Shows the host printer set-up for the printer object; true on OK.
    // Replaceable so that tests can answer it.
    std::function<bool(TQtPrintTarget& printer)> OnPrinterSetupDialog;

    // The three option flags of Setup, on the device when it exists.
    void OptionsChanged();
    void ShowPrinterList();
    void PrintersListChange();
    void OrientationClick();
    void EnableActUpdate(QAction& action);
    // Creates or ends the device as "Enable" now says.
    void EnableActExecute();
    void JobActUpdate(QAction& action);
    void AbortJob();
    void EjectJob();
    // Also locks the printer panel's settings while the device exists.
    void SetupActUpdate(QAction& action);
    void SetupActExecute();
    void FontActUpdate(QAction& action);
    void FontActExecute();

private:
    // The printer object has at least one printer to offer. Whether one is
    // selected does not matter: the list must stay usable to pick one.
    bool HasPrinters() const;

    TTavrinMachine& FMachine;
    IUiPrompts& FPrompts;
    TPrinterPanel* FPanel = nullptr;
    QAction* FEnableAct = nullptr;
    std::unique_ptr<TQtPrintTarget> FPrinterObject;
    std::unique_ptr<TLstPrinterAdapter> FDevice;
    TLstPrinterSetup FSetup;
};
