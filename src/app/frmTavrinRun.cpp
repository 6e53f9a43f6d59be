// Single step, boot and the loading actions of the main window.

#include "app/frmTavrin.h"

#include "app/CpuDisplay.h"
#include "app/RunLoop.h"
#include "ui/DisksPage.h"

#include <QAction>

void TMainHalvoret::UpdateCpuDisplay() { FCpuDisplay->Update(); }

void TMainHalvoret::RunCpuActExecute() {
    if (FRunLoop->Closing()) RunCpuAct->setChecked(false);
}

void TMainHalvoret::StepCpuActExecute() {
    FMachine->StepCpu();
    UpdateCpuDisplay();
}

void TMainHalvoret::ResetCPMActExecute() {
    if (RunCpuAct->isChecked()) RunCpuAct->trigger();
    FMachine->BootSystem();
    UpdateCpuDisplay();
    if (!RunCpuAct->isChecked()) RunCpuAct->trigger();
}

void TMainHalvoret::LoadHexFileActExecute() {
    TFileDialogRequest dialog;
    dialog.Title = "Load Hex File To Memory";
    dialog.Filter = "Hex Files|*.hex|All Files|*.*";
    dialog.DefaultExt = "hex";
    dialog.InitialDir = FDefaultDir;
    dialog.FileName = "*.hex";
    if (!FPrompts->OpenFileDialog(dialog)) return;
    FMachine->LoadHexToMemory(dialog.FileName);
    UpdateCpuDisplay();
}

void TMainHalvoret::LoadBinFileActExecute() {
    TFileDialogRequest dialog;
    dialog.Title = "Load CPM Program Image";
    dialog.Filter = "CPM Programs|*.com;*.cpm|All Files|*.*";
    dialog.InitialDir = FDefaultDir;
    if (!FPrompts->OpenFileDialog(dialog)) return;
    uint32_t blocks = FMachine->LoadBinaryProgram(dialog.FileName);
    FPrompts->MessageDlg("Program loaded, uses " + std::to_string(blocks) + " blocks.", TMsgDlgType::Information, mbOK);
}

void TMainHalvoret::CPMSelectImageNameActExecute() { DisksPage->SelectCpmImageName(FDefaultDir); }

void TMainHalvoret::BIOSSelectImageNameActExecute() { DisksPage->SelectBiosImageName(FDefaultDir); }

void TMainHalvoret::ChangeDriveActExecute(uint8_t drive) { DisksPage->ChangeDrive(drive, FDefaultDir); }
