#pragma once
// A main window in a temporary program folder (TAVRIN_HOME), with the
// scripted prompts and helpers that read the TTY grid and the CRT buffer.
// The widgets, pages and panels the window tests reach are included here.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "app/CpuDisplay.h"
#include "app/CrtConsole.h"
#include "app/LstPrinter.h"
#include "app/ReaderPunchFiles.h"
#include "app/RunLoop.h"
#include "app/TtyConsole.h"
#include "app/WindowSerialLines.h"
#include "app/WindowSettings.h"
#include "app/frmTavrin.h"
#include "console/core/MapKeys.h"
#include "console/core/QnTrmVT100.h"
#include "platform/core/ConfigObject.h"
#include "console/QnTerminal.h"
#include "console/SimpleTerminal.h"
#include "disk/DiskDrive.h"
#include "machine/MachineDevices.h"
#include "platform/core/ProgramFolder.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/MachineTestSupport.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"
#include "ui/ComSettingsPanel.h"
#include "ui/CpuPage.h"
#include "ui/DeviceFilePanels.h"
#include "ui/DeviceMappingPanel.h"
#include "ui/DisksPage.h"
#include "ui/PortsPage.h"
#include "ui/PrinterPanel.h"
#include "ui/RemoteDiskPanel.h"
#include "ui/Rspin.h"

namespace tavrin::test {

using ::testing::StartsWith;

// A printer whose next byte runs what the test gives it, from inside an
// instruction of the burst.
struct TPrinterHook : IPrinterDevice {
    std::function<void()> OnNextWrite;
    int Writes = 0;
    int Depth = 0;
    int MaxDepth = 0;
    bool IsReady() override { return true; }
    void WriteChar(uint8_t) override {
        ++Writes;
        MaxDepth = std::max(MaxDepth, ++Depth);
        struct TLeave {
            int& Depth;
            ~TLeave() { --Depth; }
        } leave{Depth};
        if (OnNextWrite) std::exchange(OnNextWrite, nullptr)();
    }
};

// The action, made checkable, as the window's toggles are.
inline QAction& Checkable(QAction& action) {
    action.setCheckable(true);
    return action;
}

struct TKeyValue {
    const char* Section;
    const char* Key;
    std::string Value;
};

class TWindowHarness {
public:
    // The example zubios.hex and cpm22.hex go into the folder.
    TWindowHarness() {
        QtTestApp();
        ::setenv("TAVRIN_HOME", Temp.Folder().c_str(), 1);
        for (const char* name : {"zubios.hex", "cpm22.hex"})
            WriteFile(Temp.File(name), ReadFile(std::string(TAVRIN_EXAMPLES_DIR) + "/" + name));
    }
    ~TWindowHarness() {
        Window.reset();
        ::unsetenv("TAVRIN_HOME");
    }
    TMainHalvoret& Open() {
        Window = std::make_unique<TMainHalvoret>(&Prompts);
        return *Window;
    }
    // The settings file the window reads at its first activation.
    std::string SettingsFile() const { return Temp.Folder() + ProgramName() + ".config"; }
    void WriteSettings(std::initializer_list<TKeyValue> values) const {
        TNrKeyValueSections store;
        for (const TKeyValue& v : values) store.WriteString(v.Section, v.Key, v.Value);
        store.SaveToFile(SettingsFile());
    }

    // Row r of the TTY grid, and screen row r (1-based) of the CRT
    // terminal's buffer, trailing blanks removed.
    std::string TtyRow(int row) const {
        const TSimpleTerminal& t = *Window->Ui().SimpleTerminal1;
        std::string text;
        for (int c = 0; c < t.Columns(); ++c) text += static_cast<char>(t.GetCell(c, row).Ch);
        return Trimmed(text);
    }
    std::string CrtRow(int row) const {
        const TQnTerminalBuffer* b = Window->Ui().QnTerminal1->CurrentEmulator()->Buffer();
        return Trimmed(b ? b->LineText(row) : std::string());
    }
    std::string TtyText() const {
        std::string all;
        for (int r = 0; r < Window->Ui().SimpleTerminal1->Rows(); ++r) all += TtyRow(r) + "\n";
        return all;
    }
    std::string CrtText() const {
        std::string all;
        for (int r = 1; r <= Window->Ui().QnTerminal1->Rows(); ++r) all += CrtRow(r) + "\n";
        return all;
    }
    // Runs bursts (and the event loop between them) until the console shows
    // text, the run stops, or maxBursts bursts have run.
    bool RunUntilTty(const std::string& text, int maxBursts = 200) {
        return RunUntil([this] { return TtyText(); }, text, maxBursts);
    }
    bool RunUntilCrt(const std::string& text, int maxBursts = 200) {
        return RunUntil([this] { return CrtText(); }, text, maxBursts);
    }
    bool RunUntil(const std::function<std::string()>& screen, const std::string& text, int maxBursts) {
        for (int i = 0; i < maxBursts; ++i) {
            if (screen().find(text) != std::string::npos) return true;
            if (!Window->Ui().RunCpuAct->isChecked()) return false;
            Window->ApplicationEvents1Idle();
            QApplication::processEvents();
        }
        QApplication::processEvents();
        return screen().find(text) != std::string::npos;
    }

    TTempFolder Temp;
    TScriptedUiPrompts Prompts;
    std::unique_ptr<TMainHalvoret> Window;

private:
    static std::string Trimmed(std::string text) {
        std::replace(text.begin(), text.end(), '\0', ' ');
        return text.erase(text.find_last_not_of(' ') + 1);
    }
};

// A window opened for each test.
struct WindowTest : ::testing::Test {
    TWindowHarness H;
    TMainHalvoret* W = &H.Open();
};

// Bytes written to an output port as the CPU would, then handed on by the
// event loop.
inline void PortOut(TMainHalvoret& w, uint16_t port, const std::string& bytes) {
    for (char c : bytes) OutPortBC(w.Machine(), port, static_cast<uint8_t>(c));
    QApplication::processEvents();
}

// Every byte the CPU can take from a keyboard's data port now (status 06h:
// a key waits).
inline std::string Keys(TTavrinMachine& m, uint8_t statusPort, uint8_t dataPort) {
    std::string bytes;
    for (int i = 0; i < 64 && InPort(m, statusPort) == 0x06; ++i) bytes += static_cast<char>(InPort(m, dataPort));
    return bytes;
}

}  // namespace tavrin::test
