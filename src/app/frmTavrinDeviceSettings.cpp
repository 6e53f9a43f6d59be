// The settings of the Ports page's printer and file panels, and the rules
// every section's loading shares: a key backed by an action executes the
// action when the saved state differs, and each step runs in its own guard.

#include "app/frmTavrin.h"

#include "platform/ActionPump.h"
#include "platform/QtUiPrompts.h"
#include "ui/DeviceFilePanels.h"
#include "ui/PrinterPanel.h"
#include "ui/Rspin.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace {

const char* const PrinterSection = "PORT_DEVICE_PRINTER";
const char* const InputSection = "PORT_DEVICE_FILE_IN";
const char* const OutputSection = "PORT_DEVICE_FILE_OUT";
const char* const ReaderEndKeys[4] = {"InFileEosDone", "InFileEosReturnEOS", "InFileEosRestart", "InFileEosSwitchCon"};

} // namespace

void TMainHalvoret::LoadStep(const std::function<void()>& step)
{
    try {
        step();
    } catch (const std::exception& e) {
        FLoadFailures.push_back(e.what());
    }
}

void TMainHalvoret::LoadActionKey(const TNrKeyValueSections& store, const char* section, const char* key,
                                  QAction& action)
{
    LoadStep([&] {
        FActionPump->UpdateAction(&action);
        const bool checked = action.isChecked();
        if (store.ReadBool(section, key, checked) != checked && action.isEnabled())
            action.trigger();
    });
}

void TMainHalvoret::SaveDeviceSettings(TNrKeyValueSections& store) const
{
    const TPrinterPanel& p = *PrinterPanel;
    store.WriteBool(PrinterSection, "PrinterEnable", PrinterEnableAct->isChecked());
    store.WriteString(PrinterSection, "PrinterName", p.SelectedPrinterName());
    store.WriteInteger(PrinterSection, "PrintOrientaion", p.OrientationIndex());
    store.WriteInteger(PrinterSection, "TabSpacing", PrinterSetup.TabSpacing);
    store.WriteFloat(PrinterSection, "TopBottomMargin", PrinterSetup.TopBottomMargin);
    store.WriteFloat(PrinterSection, "LeftRightMargin", PrinterSetup.LeftRightMargin);
    store.WriteFloat(PrinterSection, "LineSpacing", PrinterSetup.LineSpacing);
    store.WriteBool(PrinterSection, "IgnoreFormFeeds", PrinterSetup.IgnoreFormFeed);
    store.WriteBool(PrinterSection, "AutoLineWrap", PrinterSetup.AutoLineWrap);
    store.WriteBool(PrinterSection, "EosEjectsPrinter", PrinterSetup.CtrlZEndsJob);

    const TMachineSettings& s = FMachine->Settings();
    store.WriteBool(InputSection, "EnableInputFile", EnableInputFileAct->isChecked());
    store.WriteString(InputSection, "InputFileName", PathFromQt(InputFilePanel->C_InputFileNameEdit->text()));
    for (int i = 0; i < 4; ++i)
        store.WriteBool(InputSection, ReaderEndKeys[i], static_cast<int>(s.ReaderEnd) == i);
    store.WriteInteger(InputSection, "InFileChangeCon", s.InFileChangeCon);

    store.WriteBool(OutputSection, "EnableOutputFile", EnableOutputFileAct->isChecked());
    store.WriteString(OutputSection, "OutputFileName", PathFromQt(OutputFilePanel->C_OutputFileNameEdit->text()));
    store.WriteBool(OutputSection, "AppendOutputFile", OutputFilePanel->C_AppendOutputFileBtn->isChecked());
}

// The values the device is made with are in place before "Enable" runs.
void TMainHalvoret::LoadPrinterSettings(const TNrKeyValueSections& store)
{
    TPrinterPanel& p = *PrinterPanel;
    LoadStep([&] { p.SelectPrinterName(store.ReadString(PrinterSection, "PrinterName", p.SelectedPrinterName())); });
    LoadStep([&] {
        p.ShowOrientation(store.ReadInteger(PrinterSection, "PrintOrientaion", p.OrientationIndex(), 0, 1));
        C_PrintOrientaionClick();
    });
    LoadStep([&] {
        TTTYPrinterSetup& s = PrinterSetup;
        s.TabSpacing = store.ReadInteger(PrinterSection, "TabSpacing", s.TabSpacing, 1, 16);
        // Each in the range of its edit.
        auto readReal = [&store](const char* key, double def, const TRSpinEdit& edit) {
            return store.ReadFloat(PrinterSection, key, def, edit.MinValue(), edit.MaxValue());
        };
        s.TopBottomMargin = readReal("TopBottomMargin", s.TopBottomMargin, *p.C_TopBottomMarginEdit);
        s.LeftRightMargin = readReal("LeftRightMargin", s.LeftRightMargin, *p.C_LeftRightMarginEdit);
        s.LineSpacing = readReal("LineSpacing", s.LineSpacing, *p.C_LineSpacingEdit);
        s.IgnoreFormFeed = store.ReadBool(PrinterSection, "IgnoreFormFeeds", s.IgnoreFormFeed);
        s.AutoLineWrap = store.ReadBool(PrinterSection, "AutoLineWrap", s.AutoLineWrap);
        s.CtrlZEndsJob = store.ReadBool(PrinterSection, "EosEjectsPrinter", s.CtrlZEndsJob);
        // The edits keep the values in their ranges.
        p.ShowSetup();
        PrinterOptionsChanged();
    });
    LoadActionKey(store, PrinterSection, "PrinterEnable", *PrinterEnableAct);
}

// Each file's name and options are in place before its "Enable" runs.
void TMainHalvoret::LoadFileSettings(const TNrKeyValueSections& store)
{
    TMachineSettings& s = FMachine->Settings();
    LoadStep([&] {
        QLineEdit& name = *InputFilePanel->C_InputFileNameEdit;
        name.setText(PathToQt(store.ReadString(InputSection, "InputFileName", PathFromQt(name.text()))));
        for (int i = 3; i >= 0; --i)
            if (store.ReadBool(InputSection, ReaderEndKeys[i], false)) {
                s.ReaderEnd = static_cast<TReaderEndOption>(i);
                break;
            }
        s.InFileChangeCon = store.ReadInteger(InputSection, "InFileChangeCon", s.InFileChangeCon, 0, 3);
        InputFilePanel->ShowSettings();
    });
    LoadActionKey(store, InputSection, "EnableInputFile", *EnableInputFileAct);
    LoadStep([&] {
        QLineEdit& name = *OutputFilePanel->C_OutputFileNameEdit;
        name.setText(PathToQt(store.ReadString(OutputSection, "OutputFileName", PathFromQt(name.text()))));
        QCheckBox& append = *OutputFilePanel->C_AppendOutputFileBtn;
        append.setChecked(store.ReadBool(OutputSection, "AppendOutputFile", append.isChecked()));
    });
    LoadActionKey(store, OutputSection, "EnableOutputFile", *EnableOutputFileAct);
}
