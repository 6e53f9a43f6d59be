// The serial glue of the main window: the COM panels of the Ports page, the
// host ports and the TCP server behind them, and BREAKs that reboot CP/M.

#include "app/WindowSerialLines.h"

#include "platform/GuardedCall.h"
#include "net/MachineSerialLines.h"
#include "platform/GuiThreadPoster.h"
#include "platform/PlatformEvents.h"
#include "ui/ComSettingsPanel.h"
#include "ui/PortsPage.h"

#include <QCheckBox>
#include <QWidget>

namespace {

TComSettingsPanel* PanelOf(TPortsPage* page, int line) { return line == 1 ? page->Com1Panel : page->Com2Panel; }

}  // namespace

TWindowSerialLines::TWindowSerialLines(TTavrinMachine& machine, TPortsPage& page, IUiPrompts& prompts, QWidget& window)
    : FMachine(machine), FPortsPage(page), FPrompts(prompts), FWindow(window) {
    // The ports' receive threads post their events here as queued calls;
    // ones that arrive after their port closed are dropped by the port.
    FLines = std::make_unique<TMachineSerialLines>(FMachine, GuiThreadPoster(&FWindow));
    // A BREAK goes to the window as WM_COMBREAK, sent rather than posted so
    // that it is handled before the line's next block arrives.
    FLines->OnComBreak = [this](int line) { SendPlatformEvent(&FWindow, WM_COMBREAK, line); };
    FMachine.Events().OnApplyComSettings = [this](TTavrinMachine&, int line) { ApplyComSettings(line); };
    for (int line : {1, 2}) {
        TComSettingsPanel* panel = PanelOf(&FPortsPage, line);
        QObject::connect(panel, &TComSettingsPanel::EnableClicked, &FWindow, [this, panel] {
            RunGuarded(FPrompts, [this, panel] { C_ComPortEnableBtnClick(panel->EnableBtn); });
        });
        QObject::connect(panel, &TComSettingsPanel::SettingsEdited, &FWindow,
                         [this, line] { ComSettingsEdited(line); });
    }
}

TWindowSerialLines::~TWindowSerialLines() {
    // The lines close (their threads joined) while the window still stands.
    FMachine.Events().OnApplyComSettings = nullptr;
    FLines.reset();
}

void TWindowSerialLines::C_ComPortEnableBtnClick(QObject* sender) {
    const int line = sender == FPortsPage.Com1Panel->EnableBtn ? 1 : 2;
    ComSettingsEdited(line);
    ApplyComSettings(line);
}

void TWindowSerialLines::ComSettingsEdited(int line) {
    TMachineSettings& s = FMachine.Settings();
    PanelOf(&FPortsPage, line)->ReadSettings(line == 1 ? s.Com1 : s.Com2, s.UseTCPasCom1, s.Com1TCPPort);
}

void TWindowSerialLines::ApplyComSettings(int line) {
    const std::string warning = FLines->ApplyComSettings(line);
    // A line that opened can take output now.
    FMachine.DeviceReady();
    const TMachineSettings& s = FMachine.Settings();
    PanelOf(&FPortsPage, line)->ShowSettings(line == 1 ? s.Com1 : s.Com2, s.UseTCPasCom1, s.Com1TCPPort);
    if (!warning.empty()) FPrompts.MessageDlg(warning, TMsgDlgType::Warning, mbOK);
}

void TWindowSerialLines::ComBreak(intptr_t line) {
    if (line == 1 || line == 2) FMachine.DropNextComBlock(static_cast<int>(line));
    if (OnReboot) OnReboot();
}
