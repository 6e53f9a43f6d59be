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
    if (m.ReaderOpen()) {
        // Nothing read ahead from the old file reaches the CPU.
        m.CloseReaderFile();
    } else {
        const std::string name = PathFromQt(FInputPanel.C_InputFileNameEdit->text());
        if (RefusedAsDeviceFile(name, "input")) {
            FEnableInput.setChecked(false);
            return;
        }
        try {
            m.OpenReaderFile(name);
        } catch (const std::exception&) {
            FEnableInput.setChecked(false);
            FPrompts.MessageDlg("Unable to open the input file \"" + name + "\".", TMsgDlgType::Warning, mbOK);
        }
    }
    FEnableInput.setChecked(m.ReaderOpen());
}

void TReaderPunchFiles::TogglePunch() {
    TTavrinMachine& m = FMachine;
    if (m.PunchOpen()) {
        m.ClosePunchFile();
    } else {
        const std::string name = PathFromQt(FOutputPanel.C_OutputFileNameEdit->text());
        if (RefusedAsDeviceFile(name, "output")) {
            FEnableOutput.setChecked(false);
            return;
        }
        try {
            // Append on a missing file creates it, as the truncate does.
            m.OpenPunchFile(name, FOutputPanel.C_AppendOutputFileBtn->isChecked());
        } catch (const std::exception&) {
            FEnableOutput.setChecked(false);
            FPrompts.MessageDlg("Unable to open the output file \"" + name + "\".", TMsgDlgType::Warning, mbOK);
        }
    }
    FEnableOutput.setChecked(m.PunchOpen());
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
