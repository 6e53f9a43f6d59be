#include "app/ReaderPunchFiles.h"

#include "disk/ImageRegistry.h"
#include "platform/PathText.h"
#include "ui/DeviceFilePanels.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include <vector>

TReaderPunchFiles::TReaderPunchFiles(TTavrinMachine& machine, TInputFilePanel& inputPanel, QAction& enableInput,
                                     TOutputFilePanel& outputPanel, QAction& enableOutput, IUiPrompts& prompts,
                                     std::function<std::string()> managerDiskFile)
    : FMachine(machine),
      FInputPanel(inputPanel),
      FEnableInput(enableInput),
      FOutputPanel(outputPanel),
      FEnableOutput(enableOutput),
      FPrompts(prompts),
      FManagerDiskFile(std::move(managerDiskFile)) {
    FMachine.Events().OnReaderClosed = [this](TTavrinMachine&) { FEnableInput.setChecked(false); };
    FMachine.Events().OnPunchClosed = [this](TTavrinMachine&) { FEnableOutput.setChecked(false); };
}

TReaderPunchFiles::~TReaderPunchFiles() {
    FMachine.Events().OnReaderClosed = nullptr;
    FMachine.Events().OnPunchClosed = nullptr;
}

void TReaderPunchFiles::ToggleReader() {
    TTavrinMachine& m = FMachine;
    if (m.ReaderOpen())
        // Nothing read ahead from the old file reaches the CPU.
        m.CloseReaderFile();
    else
        OpenDeviceFile(FInputPanel.C_InputFileNameEdit->text(), "input", FEnableInput,
                       [&m](const std::string& name) { m.OpenReaderFile(name); });
    FEnableInput.setChecked(m.ReaderOpen());
}

void TReaderPunchFiles::TogglePunch() {
    TTavrinMachine& m = FMachine;
    if (m.PunchOpen())
        m.ClosePunchFile();
    else
        // Append on a missing file creates it, as the truncate does.
        OpenDeviceFile(FOutputPanel.C_OutputFileNameEdit->text(), "output", FEnableOutput,
                       [&m, append = FOutputPanel.C_AppendOutputFileBtn->isChecked()](const std::string& name) {
                           m.OpenPunchFile(name, append);
                       });
    FEnableOutput.setChecked(m.PunchOpen());
}

void TReaderPunchFiles::OpenDeviceFile(const QString& text, const char* which, QAction& enable,
                                       const std::function<void(const std::string&)>& open) {
    const std::string name = PathFromQt(text);
    if (RefusedAsDeviceFile(name, which)) {
        enable.setChecked(false);
        return;
    }
    try {
        open(name);
    } catch (const std::exception&) {
        enable.setChecked(false);
        FPrompts.MessageDlg("Unable to open the " + std::string(which) + " file \"" + name + "\".",
                            TMsgDlgType::Warning, mbOK);
    }
}

// Compared by file identity, so no other name or link of an image gets past.
bool TReaderPunchFiles::RefusedAsDeviceFile(const std::string& name, const char* which) {
    std::vector<std::string> chosen;
    for (uint8_t d = 0; d < 4; ++d) chosen.push_back(FMachine.DrivePath(d));
    chosen.push_back(FManagerDiskFile());
    if (!TImageRegistry::Instance().IsImageInUse(name, chosen)) return false;
    FPrompts.MessageDlg("The " + std::string(which) + " file \"" + name + "\" is a disk image in use!",
                        TMsgDlgType::Warning, mbOK);
    return true;
}
