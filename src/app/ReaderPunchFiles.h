#pragma once
// The reader and punch files of the Ports page: "Enable Input File" opens
// the file named on the Input File panel as the reader (RDR) or closes it,
// "Enable Output File" the one on the Output File panel as the punch (PUN),
// appending when the panel says so. A file that cannot be opened, or that is
// a disk image in use (the punch would empty it), is refused with a warning.
// Each action stays checked exactly while its file is open, also when the
// machine closes the file itself (the reader at its end, the punch after a
// failed write).

#include <functional>
#include <string>

#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"

class QAction;
class QString;
class TInputFilePanel;
class TOutputFilePanel;

class TReaderPunchFiles {
public:
    // managerDiskFile: the Disk Manager's image, in use like the drives'.
    TReaderPunchFiles(TTavrinMachine& machine, TInputFilePanel& inputPanel, QAction& enableInput,
                      TOutputFilePanel& outputPanel, QAction& enableOutput, IUiPrompts& prompts,
                      std::function<std::string()> managerDiskFile);
    ~TReaderPunchFiles();
    TReaderPunchFiles(const TReaderPunchFiles&) = delete;
    TReaderPunchFiles& operator=(const TReaderPunchFiles&) = delete;

    // Closes the open file, or opens the panel's one.
    void ToggleReader();
    void TogglePunch();

private:
    // Opens the file the panel's text names with open, unless it is refused;
    // which ("input", "output") names it in the warnings.
    void OpenDeviceFile(const QString& text, const char* which, QAction& enable,
                        const std::function<void(const std::string&)>& open);
    // Refuses, with a warning, a file that is a disk image in use; true when
    // it did.
    bool RefusedAsDeviceFile(const std::string& name, const char* which);

    TTavrinMachine& FMachine;
    TInputFilePanel& FInputPanel;
    QAction& FEnableInput;
    TOutputFilePanel& FOutputPanel;
    QAction& FEnableOutput;
    IUiPrompts& FPrompts;
    std::function<std::string()> FManagerDiskFile;
};
