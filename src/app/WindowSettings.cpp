#include "app/WindowSettings.h"

#include "app/CrtConsole.h"
#include "app/GatheringPrompts.h"
#include "app/LstPrinter.h"
#include "app/TtyConsole.h"
#include "console/SimpleTerminal.h"
#include "machine/MachineSettings.h"
#include "machine/DeviceMapping.h"
#include "platform/core/FileReplace.h"
#include "platform/core/HostTextLimits.h"
#include "platform/core/ProgramFolder.h"
#include "platform/QtUiPrompts.h"
#include "platform/WindowPlacement.h"
#include "ui/DeviceFilePanels.h"
#include "ui/PortSetting.h"
#include "ui/PrinterPanel.h"
#include "ui/Rspin.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

#include <algorithm>
#include <climits>
#include <exception>
#include <optional>
#include <string_view>

namespace {

// Larger console fonts make grids far wider than any screen.
constexpr int MaxFontSize = 72;
// Longer than the name of any font family a system installs.
constexpr size_t MaxFontFaceLength = 255;
// A printer's name is at most 127 characters long.
constexpr size_t MaxPrinterNameLength = 127;
// Colours are 00BBGGRRh.
constexpr int32_t MaxColor = 0x00FFFFFF;

const char* const Main = "MAIN";
const char* const Crt = "CRT";
const char* const Tty = "TTY";
const char* const Com1 = "PORT_DEVICE_COM1";
const char* const Com2 = "PORT_DEVICE_COM2";
const char* const PrinterSection = "PORT_DEVICE_PRINTER";
const char* const InputSection = "PORT_DEVICE_FILE_IN";
const char* const OutputSection = "PORT_DEVICE_FILE_OUT";
const char* const ReaderEndKeys[4] = {"InFileEosDone", "InFileEosReturnEOS", "InFileEosRestart", "InFileEosSwitchCon"};

struct TComKeys {
    const char* Enable;
    const char* TwoStopBits;
    const char* HandShake;
    const char* Port;
    const char* Baud;
    const char* Format;
};
constexpr TComKeys Com1Keys{"Com1Enable", "Com12StopBits", "Com1HandShake", "Com1Port", "Com1Baud", "Com1Format"};
constexpr TComKeys Com2Keys{"Com2Enable", "Com22StopBits", "Com2HandShake", "Com2Port", "Com2Baud", "Com2Format"};

QRect NormalGeometry(const QWidget& window) {
    return window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
}

struct TPlacement {
    int Top = -1;
    int Left = -1;
    int Width = 0;
    int Height = 0;
};

// The saved size and a position placed in the file by hand, kept on the
// screen the window is on: a size saved on a larger screen shrinks until
// the window with its frame fits the free area, and the frame moves as far
// as it must to lie wholly on it, wherever it was put.
void Place(QWidget& w, const TPlacement& p) {
    const QRect frame = w.frameGeometry();
    PlaceWindow(w, {p.Width, p.Height}, {p.Left >= 0 ? p.Left : frame.left(), p.Top >= 0 ? p.Top : frame.top()});
}

}  // namespace

TWindowSettings::TWindowSettings(TWindowSettingsParts parts, TGatheringPrompts& prompts)
    : FParts(std::move(parts)), FPrompts(prompts) {
    FTable = BuildTable();
}

std::string TWindowSettings::FileName() const { return ProgramFilePath(".config"); }

// --- the table --------------------------------------------------------------

TWindowSettings::TKey TWindowSettings::Bool(const char* section, const char* key, std::function<bool()> get,
                                            std::function<void(bool)> set) {
    return {
        section, key,
        [get, set](const TNrKeyValueSections& store, const TKey& k) { set(store.ReadBool(k.Section, k.Key, get())); },
        [get](TNrKeyValueSections& store, const TKey& k) { store.WriteBool(k.Section, k.Key, get()); }};
}

TWindowSettings::TKey TWindowSettings::Integer(const char* section, const char* key, TRange range,
                                               std::function<int32_t()> get, std::function<void(int32_t)> set) {
    return {section, key,
            [get, set, range](const TNrKeyValueSections& store, const TKey& k) {
                set(store.ReadInteger(k.Section, k.Key, get(), static_cast<int32_t>(range.Min),
                                      static_cast<int32_t>(range.Max)));
            },
            [get](TNrKeyValueSections& store, const TKey& k) { store.WriteInteger(k.Section, k.Key, get()); }};
}

TWindowSettings::TKey TWindowSettings::Float(const char* section, const char* key, TRange range,
                                             std::function<double()> get, std::function<void(double)> set) {
    return {section, key,
            [get, set, range](const TNrKeyValueSections& store, const TKey& k) {
                set(store.ReadFloat(k.Section, k.Key, get(), range.Min, range.Max));
            },
            [get](TNrKeyValueSections& store, const TKey& k) { store.WriteFloat(k.Section, k.Key, get()); }};
}

TWindowSettings::TKey TWindowSettings::String(const char* section, const char* key, size_t maxLength,
                                              std::function<std::string()> get,
                                              std::function<void(const std::string&)> set) {
    return {section, key,
            [get, set, maxLength](const TNrKeyValueSections& store, const TKey& k) {
                set(store.ReadString(k.Section, k.Key, get(), maxLength));
            },
            [get](TNrKeyValueSections& store, const TKey& k) { store.WriteString(k.Section, k.Key, get()); }};
}

TWindowSettings::TKey TWindowSettings::Action(const char* section, const char* key, QAction& action) {
    return {section, key,
            [this, &action](const TNrKeyValueSections& store, const TKey& k) {
                if (FParts.UpdateAction) FParts.UpdateAction(action);
                const bool checked = action.isChecked();
                if (store.ReadBool(k.Section, k.Key, checked) != checked && action.isEnabled()) action.trigger();
            },
            [&action](TNrKeyValueSections& store, const TKey& k) {
                store.WriteBool(k.Section, k.Key, action.isChecked());
            }};
}

TWindowSettings::TKey TWindowSettings::Group(const char* section,
                                             std::function<void(const TNrKeyValueSections& store)> read,
                                             std::function<void(TNrKeyValueSections& store)> write) {
    return {section, nullptr, [read](const TNrKeyValueSections& store, const TKey&) { read(store); },
            [write](TNrKeyValueSections& store, const TKey&) { write(store); }};
}

TWindowSettings::TKey TWindowSettings::Step(const char* section, std::function<void()> step) {
    return {section, nullptr, [step](const TNrKeyValueSections&, const TKey&) { step(); }, nullptr};
}

std::vector<TWindowSettings::TKey> TWindowSettings::BuildTable() {
    const TWindowSettingsParts& parts = FParts;
    QWidget& w = parts.Window;
    TMachineSettings& s = parts.Machine;
    TCrtConsole& crt = parts.Crt;
    TTtyConsole& tty = parts.Tty;
    TSimpleTerminal& ttyTerminal = parts.TtyTerminal;
    TLstPrinter& printer = parts.Printer;
    TLstPrinterSetup& setup = printer.Setup();
    TPrinterPanel& printerPanel = parts.PrinterPanel;
    // Each page-kept section reads and writes itself.
    auto page = [this](const char* section, ISettingsSection& owner) {
        return Group(
            section, [&owner](const TNrKeyValueSections& store) { owner.LoadSettings(store); },
            [&owner](TNrKeyValueSections& store) { owner.SaveSettings(store); });
    };
    // A console font changes only when the saved one differs.
    auto font = [this](const char* section, std::function<std::string()> face, std::function<int()> size,
                       std::function<void(const std::string&, int)> set) {
        return Group(
            section,
            [section, face, size, set](const TNrKeyValueSections& store) {
                const std::string savedFace = store.ReadString(section, "FontFace", face(), MaxFontFaceLength);
                const int savedSize = store.ReadInteger(section, "FontSize", size(), 1, MaxFontSize);
                if (savedFace != face() || savedSize != size()) set(savedFace, savedSize);
            },
            [section, face, size](TNrKeyValueSections& store) {
                store.WriteString(section, "FontFace", face());
                store.WriteInteger(section, "FontSize", size());
            });
    };
    auto comLine = [&](const char* section, int line) {
        TComLineSettings& c = line == 1 ? s.Com1 : s.Com2;
        const TComKeys& n = line == 1 ? Com1Keys : Com2Keys;
        std::vector<TKey> keys;
        keys.push_back(Bool(
            section, n.Enable, [&c] { return c.Enabled; }, [&c](bool v) { c.Enabled = v; }));
        keys.push_back(Bool(
            section, n.TwoStopBits, [&c] { return c.TwoStopBits; }, [&c](bool v) { c.TwoStopBits = v; }));
        keys.push_back(Bool(
            section, n.HandShake, [&c] { return c.HandShake; }, [&c](bool v) { c.HandShake = v; }));
        if (line == 1) {
            keys.push_back(Bool(
                section, "UseTCPasCom1", [&s] { return s.UseTCPasCom1; }, [&s](bool v) { s.UseTCPasCom1 = v; }));
            // A port the server could never listen on is refused here, with
            // the other values, not first when COM1 opens over TCP.
            TKey tcpPort = String(
                section, "Com1TCPPort", MaxPortTextLength, [&s] { return s.Com1TCPPort; },
                [&s](const std::string& v) { s.Com1TCPPort = v; });
            tcpPort.Read = [&s](const TNrKeyValueSections& store, const TKey& k) {
                s.Com1TCPPort = ReadPortSetting(store, k.Section, k.Key, s.Com1TCPPort, EEmptyPortText::Refused);
            };
            keys.push_back(std::move(tcpPort));
        }
        keys.push_back(Integer(
            section, n.Port, {1, 255}, [&c] { return c.PortNumber; }, [&c](int32_t v) { c.PortNumber = v; }));
        keys.push_back(Integer(
            section, n.Baud, {-1, 15}, [&c] { return c.BaudIndex; }, [&c](int32_t v) { c.BaudIndex = v; }));
        keys.push_back(Integer(
            section, n.Format, {-1, 3}, [&c] { return c.FormatIndex; }, [&c](int32_t v) { c.FormatIndex = v; }));
        // Opened (or closed) once all its values are in, the enable box
        // last, as if clicked into its saved state.
        keys.push_back(Step(section, [this, line] { FParts.ApplyComSettings(line); }));
        return keys;
    };

    std::vector<TKey> t;
    // The saved size, and a position placed in the file by hand.
    t.push_back(Group(
        Main,
        [&w](const TNrKeyValueSections& store) {
            const QRect now = NormalGeometry(w);
            TPlacement p;
            p.Top = store.ReadInteger(Main, "DSP_TOP", -1, INT32_MIN, INT32_MAX);
            p.Left = store.ReadInteger(Main, "DSP_LEFT", -1, INT32_MIN, INT32_MAX);
            p.Height = store.ReadInteger(Main, "DSP_HEIGHT", now.height(), 1, INT32_MAX);
            p.Width = store.ReadInteger(Main, "DSP_WIDTH", now.width(), 1, INT32_MAX);
            Place(w, p);
        },
        [&w](TNrKeyValueSections& store) {
            const QRect now = NormalGeometry(w);
            store.WriteInteger(Main, "DSP_TOP", -1);
            store.WriteInteger(Main, "DSP_LEFT", -1);
            store.WriteInteger(Main, "DSP_HEIGHT", now.height());
            store.WriteInteger(Main, "DSP_WIDTH", now.width());
        }));

    t.push_back(page("CPU", parts.CpuPage));

    t.push_back(Action(Crt, "Crt132", parts.Crt132Act));
    // Without the emulator the mode is written back as it was read.
    TKey ansi = Action(Crt, "CrtAnsi", parts.CrtAnsiAct);
    ansi.Read = [this, read = ansi.Read](const TNrKeyValueSections& store, const TKey& k) {
        read(store, k);
        // A refused value is not written back either.
        const bool off = NrTrim(store.GetValue(k.Section, k.Key)) == "0";
        FLoadedCrtAnsi.assign(1, off ? '0' : '1');
    };
    ansi.Write = [this, &crt](TNrKeyValueSections& store, const TKey& k) {
        if (const std::optional<bool> on = crt.AnsiMode())
            store.WriteBool(k.Section, k.Key, *on);
        else
            store.WriteString(k.Section, k.Key, FLoadedCrtAnsi);
    };
    t.push_back(ansi);
    t.push_back(font(
        Crt, [&crt] { return crt.FontName(); }, [&crt] { return crt.FontSize(); },
        [&crt](const std::string& face, int size) { crt.SetFontNameAndSize(face, size); }));

    t.push_back(Action(Tty, "TTY132", parts.Tty132Act));
    t.push_back(font(
        Tty, [&ttyTerminal] { return ttyTerminal.FontName(); }, [&ttyTerminal] { return ttyTerminal.FontSize(); },
        [&ttyTerminal](const std::string& face, int size) { ttyTerminal.SetFontNameAndSize(face, size); }));
    // The colours and the rows are applied together.
    t.push_back(Group(
        Tty,
        [&tty](const TNrKeyValueSections& store) {
            TTtyConsole::TDisplaySettings d = tty.DisplaySettings();
            auto color = [&store](const char* key, uint32_t& value) {
                value = static_cast<uint32_t>(store.ReadInteger(Tty, key, static_cast<int32_t>(value), 0, MaxColor));
            };
            color("BgColor", d.Background);
            color("FontColor", d.FontColor);
            color("CursorColor", d.CursorColor);
            d.Rows = store.ReadInteger(Tty, "DisplayRows", d.Rows, 1, 255);
            tty.SetDisplaySettings(d);
        },
        [&tty](TNrKeyValueSections& store) {
            const TTtyConsole::TDisplaySettings d = tty.DisplaySettings();
            store.WriteInteger(Tty, "BgColor", static_cast<int32_t>(d.Background));
            store.WriteInteger(Tty, "FontColor", static_cast<int32_t>(d.FontColor));
            store.WriteInteger(Tty, "CursorColor", static_cast<int32_t>(d.CursorColor));
            store.WriteInteger(Tty, "DisplayRows", d.Rows);
        }));

    t.push_back(page("DISKS", parts.DisksPage));

    TDeviceMapping& mapping = parts.Mapping;
    t.push_back(Integer(
        "PORTS", "ColdBootDeviceMapping", {0, 255}, [&mapping] { return mapping.ColdBootMapping(); },
        [&mapping](int32_t v) {
            mapping.SetColdBootMapping(static_cast<uint8_t>(v));
            mapping.SetMappingCombos(mapping.ColdBootMapping());
        }));

    for (TKey& k : comLine(Com1, 1)) t.push_back(std::move(k));
    for (TKey& k : comLine(Com2, 2)) t.push_back(std::move(k));

    // The values the device is made with are in place before "Enable" runs.
    TKey printerEnable = Action(PrinterSection, "PrinterEnable", parts.PrinterEnableAct);
    printerEnable.Last = true;
    t.push_back(printerEnable);
    // A saved printer this computer does not have leaves none selected and
    // is reported; its name is written back until the user picks another,
    // so a printer that is away for a while is not forgotten.
    TKey printerName = String(
        PrinterSection, "PrinterName", MaxPrinterNameLength,
        [&printerPanel] { return printerPanel.SelectedPrinterName(); },
        [&printerPanel](const std::string& v) { printerPanel.SelectPrinterName(v); });
    printerName.Read = [this, &printerPanel, read = printerName.Read](const TNrKeyValueSections& store, const TKey& k) {
        read(store, k);
        const std::string saved = store.ReadString(k.Section, k.Key, "");
        FMissingPrinterName.clear();
        if (saved.empty() || saved.size() > MaxPrinterNameLength || saved == printerPanel.SelectedPrinterName()) return;
        FMissingPrinterName = saved;
        store.RecordReadProblem(k.Section, k.Key, "not the name of a printer of this computer",
                                "no printer is selected");
    };
    printerName.Write = [this, &printerPanel](TNrKeyValueSections& store, const TKey& k) {
        const std::string selected = printerPanel.SelectedPrinterName();
        store.WriteString(k.Section, k.Key, selected.empty() ? FMissingPrinterName : selected);
    };
    t.push_back(printerName);
    t.push_back(Integer(
        PrinterSection, "PrintOrientaion", {0, 1}, [&printerPanel] { return printerPanel.OrientationIndex(); },
        [&printerPanel, &printer](int32_t v) {
            printerPanel.ShowOrientation(v);
            printer.OrientationClick();
        }));
    t.push_back(Integer(
        PrinterSection, "TabSpacing", {1, 16}, [&setup] { return setup.TabSpacing; },
        [&setup](int32_t v) { setup.TabSpacing = v; }));
    // Each in the range of its edit.
    auto edit = [](const TRSpinEdit& e) { return TRange{e.MinValue(), e.MaxValue()}; };
    t.push_back(Float(
        PrinterSection, "TopBottomMargin", edit(*printerPanel.C_TopBottomMarginEdit),
        [&setup] { return setup.TopBottomMargin; }, [&setup](double v) { setup.TopBottomMargin = v; }));
    t.push_back(Float(
        PrinterSection, "LeftRightMargin", edit(*printerPanel.C_LeftRightMarginEdit),
        [&setup] { return setup.LeftRightMargin; }, [&setup](double v) { setup.LeftRightMargin = v; }));
    t.push_back(Float(
        PrinterSection, "LineSpacing", edit(*printerPanel.C_LineSpacingEdit), [&setup] { return setup.LineSpacing; },
        [&setup](double v) { setup.LineSpacing = v; }));
    t.push_back(Bool(
        PrinterSection, "IgnoreFormFeeds", [&setup] { return setup.IgnoreFormFeed; },
        [&setup](bool v) { setup.IgnoreFormFeed = v; }));
    t.push_back(Bool(
        PrinterSection, "AutoLineWrap", [&setup] { return setup.AutoLineWrap; },
        [&setup](bool v) { setup.AutoLineWrap = v; }));
    t.push_back(Bool(
        PrinterSection, "EosEjectsPrinter", [&setup] { return setup.CtrlZEndsJob; },
        [&setup](bool v) { setup.CtrlZEndsJob = v; }));
    // The edits keep the values in their ranges.
    t.push_back(Step(PrinterSection, [&printerPanel, &printer] {
        printerPanel.ShowSetup();
        printer.OptionsChanged();
    }));

    // Each file's name and options are in place before its "Enable" runs.
    TKey inputEnable = Action(InputSection, "EnableInputFile", parts.EnableInputFileAct);
    inputEnable.Last = true;
    t.push_back(inputEnable);
    QLineEdit& inputName = *parts.InputFilePanel.C_InputFileNameEdit;
    t.push_back(String(
        InputSection, "InputFileName", MaxHostPathLength, [&inputName] { return PathFromQt(inputName.text()); },
        [&inputName](const std::string& v) { inputName.setText(PathToQt(v)); }));
    // The highest option saved as chosen wins; none chosen keeps the option.
    for (int i = 0; i < 4; ++i)
        t.push_back({InputSection, ReaderEndKeys[i],
                     [&s, i](const TNrKeyValueSections& store, const TKey& k) {
                         if (store.ReadBool(k.Section, k.Key, false)) s.ReaderEnd = static_cast<TReaderEndOption>(i);
                     },
                     [&s, i](TNrKeyValueSections& store, const TKey& k) {
                         store.WriteBool(k.Section, k.Key, static_cast<int>(s.ReaderEnd) == i);
                     }});
    t.push_back(Integer(
        InputSection, "InFileChangeCon", {0, 3}, [&s] { return s.InFileChangeCon; },
        [&s](int32_t v) { s.InFileChangeCon = v; }));
    t.push_back(Step(InputSection, [&input = parts.InputFilePanel] { input.ShowSettings(); }));

    TKey outputEnable = Action(OutputSection, "EnableOutputFile", parts.EnableOutputFileAct);
    outputEnable.Last = true;
    t.push_back(outputEnable);
    QLineEdit& outputName = *parts.OutputFilePanel.C_OutputFileNameEdit;
    t.push_back(String(
        OutputSection, "OutputFileName", MaxHostPathLength, [&outputName] { return PathFromQt(outputName.text()); },
        [&outputName](const std::string& v) { outputName.setText(PathToQt(v)); }));
    QCheckBox& append = *parts.OutputFilePanel.C_AppendOutputFileBtn;
    t.push_back(Bool(
        OutputSection, "AppendOutputFile", [&append] { return append.isChecked(); },
        [&append](bool v) { append.setChecked(v); }));

    t.push_back(page("DISK SERVER", parts.DiskServer));
    return t;
}

// --- saving and loading -----------------------------------------------------

void TWindowSettings::Save(TNrKeyValueSections& store) const {
    for (const TKey& k : FTable)
        if (k.Write) k.Write(store, k);
}

void TWindowSettings::Load(const TNrKeyValueSections& store) {
    std::vector<const TKey*> last;
    auto endSection = [&] {
        for (const TKey* k : last) LoadStep([&] { k->Read(store, *k); });
        last.clear();
    };
    std::string_view section;
    for (const TKey& k : FTable) {
        if (k.Section != section) endSection();
        section = k.Section;
        if (k.Last)
            last.push_back(&k);
        else
            LoadStep([&] { k.Read(store, k); });
    }
    endSection();
}

void TWindowSettings::LoadStep(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        FLoadFailures.push_back(e.what());
    }
}

bool TWindowSettings::LoadFile() {
    // A save ended between writing and renaming left its temporary file
    // beside the settings, which themselves stayed whole.
    RemoveLeftoverReplacements(FileName());
    RemoveLeftoverReplacements(FParts.KeyMapFile);
    TNrKeyValueSections store;
    // Until the file has been read, closing must not replace it with the
    // first-run values.
    FUnread = true;
    const bool found = store.LoadFromFile(FileName());
    FUnread = false;
    if (!found) return false;
    FLoadFailures.clear();
    FPrompts.Gather();
    // What was found before an exception that ends the loading is still
    // reported; the exception goes on after it.
    std::exception_ptr ended;
    try {
        Load(store);
    } catch (...) {
        ended = std::current_exception();
    }
    const std::vector<std::string> reports = FPrompts.TakeGathered();
    // Values the reads refused (out of range, not numbers), steps that
    // failed and what the applied actions reported, all in one box.
    std::string problems;
    const auto add = [&problems](const std::vector<std::string>& lines) {
        for (const std::string& line : lines) problems += (problems.empty() ? "" : "\n") + line;
    };
    add(store.TakeReadProblems());
    add(FLoadFailures);
    add(reports);
    const auto report = [&prompts = FPrompts, problems] {
        if (!problems.empty()) prompts.MessageDlg(problems, TMsgDlgType::Warning, mbOK);
    };
    if (ended) {
        // At once: the exception may end the program before the window
        // is placed.
        report();
        std::rethrow_exception(ended);
    }
    // Over the window where it stays, not where it waits for its frame.
    WhenPlaced(FParts.Window, report);
    return true;
}

void TWindowSettings::SaveFile() const {
    if (FUnread) return;
    TNrKeyValueSections store;
    Save(store);
    store.SaveToFile(FileName());
}
