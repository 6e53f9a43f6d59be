#pragma once
// The serial glue of the main window: the COM panels of the Ports page edit
// the machine's settings model; applying opens or closes the line, shows its
// controls locked while it is enabled and warns when it cannot be opened. A
// BREAK on a line reboots CP/M.

#include <functional>
#include <memory>

#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class QObject;
class QWidget;
class TMachineSerialLines;
class TPortsPage;

class TWindowSerialLines {
public:
    // window: where the ports' events are handed over to the GUI thread, and
    // where a BREAK is sent as WM_COMBREAK.
    TWindowSerialLines(TTavrinMachine& machine, TPortsPage& page, IUiPrompts& prompts, QWidget& window);
    ~TWindowSerialLines();
    TWindowSerialLines(const TWindowSerialLines&) = delete;
    TWindowSerialLines& operator=(const TWindowSerialLines&) = delete;

    // The host ports COM1 and COM2 and the TCP server for COM1.
    TMachineSerialLines& ComLines() { return *FLines; }

    void ApplyComSettings(int line);
    // The click of either enable box (sender: the box).
    void C_ComPortEnableBtnClick(QObject* sender);
    // A BREAK arrived on the line (the window's WM_COMBREAK): the block that
    // carries it is dropped and OnReboot runs.
    void ComBreak(intptr_t line);
    std::function<void()> OnReboot;

private:
    void ComSettingsEdited(int line);

    TTavrinMachine& FMachine;
    TPortsPage& FPortsPage;
    IUiPrompts& FPrompts;
    QWidget& FWindow;
    std::unique_ptr<TMachineSerialLines> FLines;
};
