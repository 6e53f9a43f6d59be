#pragma once
// The settings file of the main window: twelve sections, every key in a
// fixed order, each from its control, action or model. One table drives
// both saving and loading. Loading applies the keys section by section in
// the table's order: a section's closing step (opening its line, placing
// the window) follows its values, and its enable key, where it has one,
// comes last, as if clicked into its saved state. Each step runs in its own
// guard; the refused values, the failed steps and what the applied actions
// report are shown once, together.

#include <functional>
#include <string>
#include <vector>

#include "platform/core/ConfigObject.h"
#include "platform/core/SettingsSection.h"
class QAction;
class QWidget;
class TCrtConsole;
class TGatheringPrompts;
class TDeviceMapping;
class TInputFilePanel;
class TLstPrinter;
class TOutputFilePanel;
class TPrinterPanel;
class TSimpleTerminal;
class TTtyConsole;
struct TMachineSettings;

// What the file keeps, section by section; every part outlives the settings.
struct TWindowSettingsParts {
    // MAIN: its size, and a position placed in the file by hand.
    QWidget& Window;
    // Brings an action's checked state up to date before a saved one is
    // compared with it.
    std::function<void(QAction& action)> UpdateAction;
    ISettingsSection& CpuPage;
    TCrtConsole& Crt;
    QAction& Crt132Act;
    QAction& CrtAnsiAct;
    TTtyConsole& Tty;
    TSimpleTerminal& TtyTerminal;
    QAction& Tty132Act;
    ISettingsSection& DisksPage;
    // The COM lines' values, the reader's options and the device mapping.
    TMachineSettings& Machine;
    TDeviceMapping& Mapping;
    // Opens or closes COM line 1 or 2 as its values now say.
    std::function<void(int line)> ApplyComSettings;
    // Attached to PrinterPanel and PrinterEnableAct.
    TLstPrinter& Printer;
    TPrinterPanel& PrinterPanel;
    QAction& PrinterEnableAct;
    TInputFilePanel& InputFilePanel;
    QAction& EnableInputFileAct;
    TOutputFilePanel& OutputFilePanel;
    QAction& EnableOutputFileAct;
    ISettingsSection& DiskServer;
    // The TTY key map's file, whose left-over temporary files go at loading
    // like the settings' own.
    std::string KeyMapFile;
};

class TWindowSettings {
public:
    // prompts: those the parts report through, so that loading can gather
    // their reports.
    TWindowSettings(TWindowSettingsParts parts, TGatheringPrompts& prompts);
    TWindowSettings(const TWindowSettings&) = delete;
    TWindowSettings& operator=(const TWindowSettings&) = delete;

    // The program's path with the extension ".config".
    std::string FileName() const;
    void Save(TNrKeyValueSections& store) const;
    void Load(const TNrKeyValueSections& store);
    // Reads and applies the file, when there is one, and reports what was
    // refused or failed, and what the applied actions reported, in one box,
    // once the window is placed; false without a file. An exception that
    // ends the loading leaves after the box, which then shows at once.
    bool LoadFile();
    // Writes the file, unless it exists but could not be read.
    void SaveFile() const;

private:
    struct TRange {
        double Min = 0;
        double Max = 0;
    };
    // One key of the file. A row without a key is a step of its section:
    // keys read together and applied at once, or a page that keeps its keys
    // itself (read and write), or a closing step of loading (read only).
    struct TKey {
        const char* Section;
        const char* Key;
        std::function<void(const TNrKeyValueSections& store, const TKey& key)> Read;
        std::function<void(TNrKeyValueSections& store, const TKey& key)> Write;
        // Loaded after the section's other rows: its enable key.
        bool Last = false;
    };

    std::vector<TKey> BuildTable();
    TKey Bool(const char* section, const char* key, std::function<bool()> get, std::function<void(bool)> set);
    TKey Integer(const char* section, const char* key, TRange range, std::function<int32_t()> get,
                 std::function<void(int32_t)> set);
    TKey Float(const char* section, const char* key, TRange range, std::function<double()> get,
               std::function<void(double)> set);
    // A value longer than maxLength is refused.
    TKey String(const char* section, const char* key, size_t maxLength, std::function<std::string()> get,
                std::function<void(const std::string&)> set);
    // A key backed by an action: the action executes when the saved state
    // differs from the checked one.
    TKey Action(const char* section, const char* key, QAction& action);
    // Keys of the section read and written by one row, in the order both
    // give them.
    TKey Group(const char* section, std::function<void(const TNrKeyValueSections& store)> read,
               std::function<void(TNrKeyValueSections& store)> write);
    TKey Step(const char* section, std::function<void()> step);
    void LoadStep(const std::function<void()>& step);

    TWindowSettingsParts FParts;
    TGatheringPrompts& FPrompts;
    std::vector<TKey> FTable;
    // The CRT's mode as read at start-up, written back when the CRT has no
    // emulator.
    std::string FLoadedCrtAnsi = "1";
    // The saved printer this computer does not have, written back while no
    // printer is selected.
    std::string FMissingPrinterName;
    // Steps of the last loading that failed, for its one report.
    std::vector<std::string> FLoadFailures;
    // The settings file exists but could not be read: it is kept as it is.
    bool FUnread = false;
};
