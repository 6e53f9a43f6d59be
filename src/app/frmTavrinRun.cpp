// The run loop, single step, boot and the loading actions of the main window.

#include "app/frmTavrin.h"

#include "platform/ActionPump.h"
#include "platform/ProgramFolder.h"
#include "platform/QtUiPrompts.h"
#include "ui/CpuPage.h"
#include "ui/DisksPage.h"

#include <QAction>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>

void TMainHalvoret::SetRunning(bool on)
{
    FRunWaiting = false;
    FIdleTimer->setInterval(0);
    if (on && !FClosing)
        FIdleTimer->start();
    else
        FIdleTimer->stop();
}

void TMainHalvoret::WakeRun()
{
    if (!FRunWaiting)
        return;
    FRunWaiting = false;
    // Restarts the timer when it runs; a stopped run stays stopped.
    FIdleTimer->setInterval(0);
}

void TMainHalvoret::ApplicationEvents1Idle()
{
    if (!RunCpuAct->isChecked() || FClosing) {
        FIdleTimer->stop();
        return;
    }
    // A burst never starts inside another, nor inside a box opened by one.
    if (FInBurst || FModalDepth > 0)
        return;

    TBurstResult result = TBurstResult::Completed;
    std::string failure;
    FInBurst = true;
    try {
        result = FMachine->RunBurst(TTavrinMachine::BurstLength);
    } catch (const std::exception& e) {
        failure = e.what();
    } catch (...) {
        failure = "Unknown error in a device.";
    }
    FInBurst = false;

    if (!failure.empty()) {
        // A failing device stops the run, so the error is reported once.
        if (RunCpuAct->isChecked())
            RunCpuAct->trigger();
        UpdateCpuDisplay();
        FPrompts->ShowError(failure);
    } else if (result == TBurstResult::BreakPoint) {
        if (RunCpuAct->isChecked())
            RunCpuAct->trigger();
        UpdateCpuDisplay();
        char text[40];
        std::snprintf(text, sizeof text, "Reached break point at %04X", FMachine->BreakPoint());
        FPrompts->ShowMessage(text);
    }

    if (result == TBurstResult::Idle && !FRunWaiting) {
        // Waiting costs next to no CPU; keys and received data end it at
        // once, and the short timer bounds the wait for input that arrives
        // without telling the machine (the TCP server's queues).
        FRunWaiting = true;
        FIdleTimer->setInterval(IdleWaitMs);
    } else if (result != TBurstResult::Idle) {
        WakeRun();
    }

    if (RunCpuAct->isChecked() && !FClosing)
        RefreshCpuDisplayWhileRunning();
    if (FClosing) {
        if (RunCpuAct->isChecked())
            RunCpuAct->trigger();
        close();
    } else {
        UpdateAllActions();
    }
}

void TMainHalvoret::UpdateAllActions()
{
    FActionPump->UpdateAllActions();
}

void TMainHalvoret::RefreshCpuDisplayWhileRunning()
{
    const auto now = std::chrono::steady_clock::now();
    const bool pageShown = PageControl1->currentWidget() == CpuPage;
    auto& last = pageShown ? FLastPageRefresh : FLastDialogRefresh;
    if (now - last < TCpuPage::RunRefreshInterval) {
        FRunRefreshOwed = true;
        return;
    }
    last = now;
    FRunRefreshOwed = false;
    if (pageShown) {
        UpdateCpuDisplay();
        return;
    }
    CpuPage->RefreshRegisterDialog();
    if (OnRefreshRegisterDialog)
        OnRefreshRegisterDialog(*this);
}

void TMainHalvoret::UpdateCpuDisplay()
{
    CpuPage->UpdateCpuDisplay();
    if (OnUpdateCpuDisplay)
        OnUpdateCpuDisplay(*this);
}

void TMainHalvoret::RunCpuActExecute()
{
    if (FClosing)
        RunCpuAct->setChecked(false);
}

void TMainHalvoret::StepCpuActExecute()
{
    FMachine->StepCpu();
    UpdateCpuDisplay();
}

void TMainHalvoret::ResetCPMActExecute()
{
    if (RunCpuAct->isChecked())
        RunCpuAct->trigger();
    FMachine->BootSystem();
    UpdateCpuDisplay();
    if (!RunCpuAct->isChecked())
        RunCpuAct->trigger();
}

void TMainHalvoret::LoadHexFileActExecute()
{
    TFileDialogRequest dialog;
    dialog.Title = "Load Hex File To Memory";
    dialog.Filter = "Hex Files|*.hex|All Files|*.*";
    dialog.DefaultExt = "hex";
    dialog.InitialDir = FDefaultDir;
    dialog.FileName = "*.hex";
    if (!FPrompts->OpenFileDialog(dialog))
        return;
    FMachine->LoadHexToMemory(dialog.FileName);
    UpdateCpuDisplay();
}

void TMainHalvoret::LoadBinFileActExecute()
{
    TFileDialogRequest dialog;
    dialog.Title = "Load CPM Program Image";
    dialog.Filter = "CPM Programs|*.com;*.cpm|All Files|*.*";
    dialog.InitialDir = FDefaultDir;
    if (!FPrompts->OpenFileDialog(dialog))
        return;
    uint32_t blocks = FMachine->LoadBinaryProgram(dialog.FileName);
    FPrompts->MessageDlg("Program loaded, uses " + std::to_string(blocks) + " blocks.",
                         TMsgDlgType::Information, mbOK);
}

void TMainHalvoret::CPMSelectImageNameActExecute()
{
    DisksPage->SelectCpmImageName(FDefaultDir);
}

void TMainHalvoret::BIOSSelectImageNameActExecute()
{
    DisksPage->SelectBiosImageName(FDefaultDir);
}

void TMainHalvoret::ChangeDriveActExecute(uint8_t drive)
{
    DisksPage->ChangeDrive(drive, FDefaultDir);
}
