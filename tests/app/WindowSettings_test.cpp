// The settings file on its own, without a main window: the parts it keeps
// are small real widgets and actions, the page-kept sections and the COM
// lines are fakes that record what reaches them, and the user is played by
// scripted prompts. The sections in their order, each enable key after its
// section's values, actions compared with their updated state, one report
// for everything refused or failed, the CRT's values through the CRT
// console, and files never lost.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QWidget>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "WindowTestSupport.h"
#include "app/CrtConsole.h"
#include "app/GatheringPrompts.h"
#include "app/LstPrinter.h"
#include "app/TtyConsole.h"
#include "app/WindowSettings.h"
#include "console/QnTerminal.h"
#include "console/SimpleTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "platform/ScriptedUiPrompts.h"
#include "platform/core/FileReplace.h"
#include "platform/core/ProgramFolder.h"
#include "support/EnvironmentVariable.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"
#include "ui/DeviceFilePanels.h"
#include "ui/PrinterPanel.h"

using namespace tavrin::test;

namespace {

// An exception of no standard type, which no step's guard takes: it ends
// the loading.
struct TLoadingEnded {};

// A section a page keeps itself: one key, "Value".
class TFakeSection : public ISettingsSection {
public:
    TFakeSection(std::string section, std::vector<std::string>& applied)
        : FSection(std::move(section)), FApplied(applied) {}
    void LoadSettings(const TNrKeyValueSections& store) override {
        Value = store.ReadString(FSection, "Value", Value);
        FApplied.push_back(FSection);
        if (Fails) throw std::runtime_error(FSection + " could not be applied");
        if (EndsTheLoading) throw TLoadingEnded{};
    }
    void SaveSettings(TNrKeyValueSections& store) const override { store.WriteString(FSection, "Value", Value); }

    std::string Value = "first run";
    bool Fails = false;
    bool EndsTheLoading = false;

private:
    std::string FSection;
    std::vector<std::string>& FApplied;
};

class WindowSettingsTest : public ::testing::Test {
protected:
    struct TComApplied {
        int Line;
        int Port;
        bool Enabled;
        bool operator==(const TComApplied&) const = default;
    };

    TWindowSettings& Open(TCrtConsole::TEmulatorFactory makeEmulator = {}) {
        Crt = std::make_unique<TCrtConsole>(Machine, CrtTerminal, Prompts, std::move(makeEmulator));
        Printer.Attach(PrinterPanel, PrinterEnable);
        Settings = std::make_unique<TWindowSettings>(
            TWindowSettingsParts{.Window = Window,
                                 .UpdateAction =
                                     [this](QAction& action) {
                                         if (UpdateAction) UpdateAction(action);
                                     },
                                 .CpuPage = Cpu,
                                 .Crt = *Crt,
                                 .Crt132Act = Crt132,
                                 .CrtAnsiAct = CrtAnsi,
                                 .Tty = Tty,
                                 .TtyTerminal = TtyTerminal,
                                 .Tty132Act = Tty132,
                                 .DisksPage = Disks,
                                 .Machine = Machine.Settings(),
                                 .Mapping = Machine.Mapping(),
                                 .ApplyComSettings =
                                     [this](int line) {
                                         const TComLineSettings& c =
                                             line == 1 ? Machine.Settings().Com1 : Machine.Settings().Com2;
                                         ComApplied.push_back({line, c.PortNumber, c.Enabled});
                                     },
                                 .Printer = Printer,
                                 .PrinterPanel = PrinterPanel,
                                 .PrinterEnableAct = PrinterEnable,
                                 .InputFilePanel = InputPanel,
                                 .EnableInputFileAct = EnableInput,
                                 .OutputFilePanel = OutputPanel,
                                 .EnableOutputFileAct = EnableOutput,
                                 .DiskServer = DiskServer,
                                 .KeyMapFile = Temp / "keys.kmap"},
            Gathering);
        return *Settings;
    }
    void WriteSettings(const std::string& text) const { WriteFile(SettingsFile(), text); }
    std::string SettingsFile() const { return Temp.Folder() + ProgramName() + ".config"; }
    std::string Saved(const char* section, const char* key) const {
        TNrKeyValueSections store;
        Settings->Save(store);
        return store.ReadString(section, key, "missing");
    }

    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TEnvironmentVariable Home{"TAVRIN_HOME", Temp.Folder().c_str()};
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    TGatheringPrompts Gathering{Prompts};
    std::vector<std::string> Applied;
    std::vector<TComApplied> ComApplied;
    std::function<void(QAction&)> UpdateAction;
    QWidget Window;
    TFakeSection Cpu{"CPU", Applied};
    TFakeSection Disks{"DISKS", Applied};
    TFakeSection DiskServer{"DISK SERVER", Applied};
    TQnTerminal CrtTerminal;
    TSimpleTerminal TtyTerminal;
    TTtyConsole Tty{Machine, TtyTerminal};
    QAction Crt132, CrtAnsi, Tty132, EnableInput, EnableOutput;
    QAction PrinterEnable, PrinterSetup, PrinterFont, PrinterAbort, PrinterEject;
    TLstPrinter Printer{Machine, Prompts, Window};
    TPrinterPanel PrinterPanel{Printer.Setup(),
                               {&Checkable(PrinterEnable), &PrinterSetup, &PrinterFont, &PrinterAbort, &PrinterEject}};
    TInputFilePanel InputPanel{Machine.Settings(), Checkable(EnableInput), Prompts};
    TOutputFilePanel OutputPanel{Checkable(EnableOutput), Prompts};
    std::unique_ptr<TCrtConsole> Crt;
    std::unique_ptr<TWindowSettings> Settings;
};

TEST_F(WindowSettingsTest, AFirstRunWritesTheTwelveSectionsInOrder) {
    Open().SaveFile();
    const std::string text = ReadFile(SettingsFile());
    size_t at = 0;
    for (const char* section : {"MAIN", "CPU", "CRT", "TTY", "DISKS", "PORTS", "PORT_DEVICE_COM1", "PORT_DEVICE_COM2",
                                "PORT_DEVICE_PRINTER", "PORT_DEVICE_FILE_IN", "PORT_DEVICE_FILE_OUT", "DISK SERVER"}) {
        const size_t found = text.find(std::string("[") + section + "]\r\n", at);
        ASSERT_NE(found, std::string::npos) << section << " after offset " << at;
        at = found + 1;
    }
    EXPECT_EQ(Saved("DISK SERVER", "Value"), "first run") << "the page keeps its own keys";
    EXPECT_EQ(Saved("CRT", "FontFace"), "Terminal");
    EXPECT_EQ(Saved("CRT", "CrtAnsi"), "1");
}

// The enable box comes last, as if clicked into its saved state once the
// values it uses are in place; COM1 is applied before COM2.
TEST_F(WindowSettingsTest, EachSectionsEnablingStepFollowsItsValues) {
    std::string nameWhenEnabled = "not enabled";
    QObject::connect(&EnableInput, &QAction::triggered,
                     [&] { nameWhenEnabled = InputPanel.C_InputFileNameEdit->text().toStdString(); });
    WriteSettings(
        "[PORT_DEVICE_COM1]\r\nCom1Enable=1\r\nCom1Port=7\r\n"
        "[PORT_DEVICE_COM2]\r\nCom2Enable=0\r\nCom2Port=9\r\n"
        "[PORT_DEVICE_FILE_IN]\r\nEnableInputFile=1\r\nInputFileName=reader.txt\r\n");
    ASSERT_TRUE(Open().LoadFile());
    EXPECT_EQ(nameWhenEnabled, "reader.txt");
    EXPECT_EQ(ComApplied, (std::vector<TComApplied>{{1, 7, true}, {2, 9, false}}));
    EXPECT_EQ(Applied, (std::vector<std::string>{"CPU", "DISKS", "DISK SERVER"}));
    EXPECT_TRUE(Prompts.Log.empty());
}

struct TActionCase {
    const char* name;
    bool UpdatedChecked;  // the state the update handler brings
    const char* SavedValue;
    bool Triggered;
};
TAVRIN_PRINT_AS_NAME(TActionCase)

class WindowSettingsActions : public WindowSettingsTest, public ::testing::WithParamInterface<TActionCase> {};

// An action runs only when the saved state differs from the one its update
// handler gives it, not from the one it happened to show.
TEST_P(WindowSettingsActions, RunOnlyWhenTheSavedStateDiffersFromTheUpdatedOne) {
    const TActionCase& c = GetParam();
    int runs = 0;
    QObject::connect(&Crt132, &QAction::triggered, [&runs] { ++runs; });
    Checkable(Crt132);
    UpdateAction = [&c](QAction& action) { action.setChecked(c.UpdatedChecked); };
    WriteSettings(std::string("[CRT]\r\nCrt132=") + c.SavedValue + "\r\n");
    ASSERT_TRUE(Open().LoadFile());
    EXPECT_EQ(runs, c.Triggered ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Crt132, WindowSettingsActions,
                         ::testing::Values(TActionCase{"AlreadyOn", true, "1", false},
                                           TActionCase{"TurnedOn", false, "1", true},
                                           TActionCase{"TurnedOff", true, "0", true},
                                           TActionCase{"AlreadyOff", false, "0", false}),
                         RowName);

// A refused value keeps its default, a failing step stops nothing after it,
// and both are named in one warning.
TEST_F(WindowSettingsTest, RefusedValuesAndFailedStepsAreReportedTogetherOnce) {
    Cpu.Fails = true;
    WriteSettings(
        "[CPU]\r\nValue=saved\r\n[TTY]\r\nDisplayRows=0\r\nBgColor=255\r\n"
        "[DISKS]\r\nValue=saved disks\r\n");
    const int rows = Tty.DisplaySettings().Rows;
    ASSERT_TRUE(Open().LoadFile());
    ASSERT_EQ(Prompts.Log.size(), 1u);
    EXPECT_EQ(Prompts.Log[0].Type, TMsgDlgType::Warning);
    EXPECT_NE(Prompts.Log[0].Text.find("DisplayRows"), std::string::npos) << Prompts.Log[0].Text;
    EXPECT_NE(Prompts.Log[0].Text.find("CPU could not be applied"), std::string::npos) << Prompts.Log[0].Text;
    EXPECT_EQ(Tty.DisplaySettings().Rows, rows);
    EXPECT_EQ(Tty.DisplaySettings().Background, 255u);
    EXPECT_EQ(Disks.Value, "saved disks");
    EXPECT_EQ(Applied, (std::vector<std::string>{"CPU", "DISKS", "DISK SERVER"}));
}

// A loading that an exception ends still shows, in its one report, the
// refused values, the failed steps and what the actions reported before
// it; the exception goes on to the caller, and later boxes show at once.
TEST_F(WindowSettingsTest, WhatTheLoadingFoundBeforeAnExceptionEndedItIsReported) {
    Disks.Fails = true;
    DiskServer.EndsTheLoading = true;
    UpdateAction = [this](QAction& action) {
        if (&action == &Tty132) Gathering.ShowError("reported by TTY 132");
    };
    WriteSettings("[TTY]\r\nDisplayRows=0\r\n[DISKS]\r\nValue=saved disks\r\n");
    EXPECT_THROW(Open().LoadFile(), TLoadingEnded);
    ASSERT_EQ(Prompts.Log.size(), 1u) << ::testing::PrintToString(Prompts.Texts());
    EXPECT_EQ(Prompts.Log[0].Type, TMsgDlgType::Warning);
    for (const char* part : {"DisplayRows=0", "DISKS could not be applied", "reported by TTY 132"})
        EXPECT_NE(Prompts.Log[0].Text.find(part), std::string::npos) << part << " in:\n" << Prompts.Log[0].Text;
    Gathering.ShowError("after the loading");
    EXPECT_EQ(Prompts.LastText(), "after the loading");
}

TEST_F(WindowSettingsTest, TheCrtFontIsTheCrtConsoles) {
    WriteSettings("[CRT]\r\nFontFace=DejaVu Sans Mono\r\nFontSize=12\r\n");
    ASSERT_TRUE(Open().LoadFile());
    EXPECT_EQ(std::make_pair(Crt->FontName(), Crt->FontSize()), std::make_pair(std::string("DejaVu Sans Mono"), 12));
    Crt->SetFontNameAndSize("Terminal", 14);
    EXPECT_EQ(Saved("CRT", "FontFace") + " " + Saved("CRT", "FontSize"), "Terminal 14");
}

// A CRT without its emulator has no mode to save: the one read at start-up,
// or the first-run one, is written back.
TEST_F(WindowSettingsTest, TheCrtModeIsWrittenBackWhenTheCrtHasNoEmulator) {
    for (const char* saved : {"0", "1", ""}) {
        SCOPED_TRACE(saved);
        std::filesystem::remove(SettingsFile());
        if (*saved) WriteSettings(std::string("[CRT]\r\nCrtAnsi=") + saved + "\r\n");
        Settings.reset();
        Open([]() -> std::unique_ptr<TQnVT100Emulator> { throw std::runtime_error("no emulator"); }).LoadFile();
        EXPECT_EQ(Saved("CRT", "CrtAnsi"), *saved ? saved : "1");
    }
}

// A file that exists but could not be read is kept as it is, not replaced
// by the first-run values.
TEST_F(WindowSettingsTest, AFileThatCouldNotBeReadIsNeverReplaced) {
    WriteSettings("[DISKS]\r\nValue=kept\r\n");
    std::filesystem::resize_file(SettingsFile(), 17u * 1024 * 1024);  // far beyond any settings file
    TWindowSettings& settings = Open();
    EXPECT_ANY_THROW(settings.LoadFile());
    settings.SaveFile();
    EXPECT_EQ(std::filesystem::file_size(SettingsFile()), 17u * 1024 * 1024);
    EXPECT_EQ(ReadFile(SettingsFile()).substr(0, 7), "[DISKS]");
}

// The temporary file a killed save of the key map left beside it goes at
// loading, like the settings' own.
TEST_F(WindowSettingsTest, LoadingRemovesTheKeyMapsLeftoverTemporaryFiles) {
    const auto entries = [this] { return Temp.Count(); };
    const long before = entries();
    const pid_t pid = ::fork();
    if (pid == 0) {
        TReplacementFile replacement(Temp / "keys.kmap");
        replacement.Write("half a key map");
        ::_exit(0);  // no destructor: as if killed before the rename
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_EQ(entries(), before + 1);
    EXPECT_FALSE(Open().LoadFile()) << "no settings file";
    EXPECT_EQ(entries(), before);
}

}  // namespace
