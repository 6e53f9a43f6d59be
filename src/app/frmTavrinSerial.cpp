// The serial glue of the main window: the COM panels of the Ports page, the
// host ports and the TCP server behind them, and BREAKs that reboot CP/M.

#include "app/frmTavrin.h"

#include "net/ComRxGlue.h"
#include "ui/ComSettingsPanel.h"
#include "ui/PortsPage.h"

#include <QCheckBox>

namespace {

TComSettingsPanel* PanelOf(TPortsPage* page, int line) { return line == 1 ? page->Com1Panel : page->Com2Panel; }

} // namespace

void TMainHalvoret::BuildSerialLines()
{
    // The ports' receive threads post their events here as queued calls;
    // ones that arrive after their port closed are dropped by the port.
    FComGlue = std::make_unique<TComGlue>(*FMachine, [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, [call = std::move(call)] { call(); }, Qt::QueuedConnection);
    });
    // A BREAK is handled at once, before the line's next block arrives.
    FComGlue->OnComBreak = [this](int line) { WMComBreak(line); };
    FMachine->Events().OnApplyComSettings = [this](TTavrinMachine&, int line) { ApplyComSettings(line); };
    for (int line : {1, 2}) {
        TComSettingsPanel* panel = PanelOf(PortsPage, line);
        connect(panel, &TComSettingsPanel::EnableClicked, this,
                [this, panel] { RunGuarded([this, panel] { C_ComPortEnableBtnClick(panel->EnableBtn); }); });
        connect(panel, &TComSettingsPanel::SettingsEdited, this, [this, line] { ComSettingsEdited(line); });
    }
}

void TMainHalvoret::C_ComPortEnableBtnClick(QObject* sender)
{
    const int line = sender == PortsPage->Com1Panel->EnableBtn ? 1 : 2;
    ComSettingsEdited(line);
    ApplyComSettings(line);
}

void TMainHalvoret::ComSettingsEdited(int line)
{
    TMachineSettings& s = FMachine->Settings();
    PanelOf(PortsPage, line)->ReadSettings(line == 1 ? s.Com1 : s.Com2, s.UseTCPasCom1, s.Com1TCPPort);
}

void TMainHalvoret::ApplyComSettings(int line)
{
    const std::string warning = FComGlue->ApplyComSettings(line);
    const TMachineSettings& s = FMachine->Settings();
    PanelOf(PortsPage, line)->ShowSettings(line == 1 ? s.Com1 : s.Com2, s.UseTCPasCom1, s.Com1TCPPort);
    if (!warning.empty())
        FPrompts->MessageDlg(warning, TMsgDlgType::Warning, mbOK);
}
