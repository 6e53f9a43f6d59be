// The settings file: every key is written in a fixed order. Keys the window
// holds come from the machine's model and the window; the others are written
// back as they were read, or with their first-run values.

#include "app/frmTavrin.h"

#include "console/SimpleTerminal.h"
#include "platform/QtUiPrompts.h"
#include "ui/CpuPage.h"
#include "ui/DisksPage.h"
#include "ui/RemoteDiskPanel.h"

#include <QScreen>
#include <QTabWidget>

#include <algorithm>
#include <climits>

namespace {

struct TDefaultKey {
    const char* Section;
    const char* Key;
    const char* FirstRun;
};

// Keys held by units that plug into the window later, with first-run values.
const TDefaultKey DeviceDefaults[] = {
    {"PORT_DEVICE_PRINTER", "PrinterEnable", "0"},
    {"PORT_DEVICE_PRINTER", "PrinterName", ""},
    {"PORT_DEVICE_PRINTER", "PrintOrientaion", "0"},
    {"PORT_DEVICE_PRINTER", "TabSpacing", "8"},
    {"PORT_DEVICE_PRINTER", "TopBottomMargin", "0.25"},
    {"PORT_DEVICE_PRINTER", "LeftRightMargin", "0.25"},
    {"PORT_DEVICE_PRINTER", "LineSpacing", "1.1"},
    {"PORT_DEVICE_PRINTER", "IgnoreFormFeeds", "0"},
    {"PORT_DEVICE_PRINTER", "AutoLineWrap", "1"},
    {"PORT_DEVICE_PRINTER", "EosEjectsPrinter", "1"},
};

// Larger console fonts make grids far wider than any screen.
constexpr int MaxFontSize = 72;
// Colours are 00BBGGRRh.
constexpr int32_t MaxColor = 0x00FFFFFF;

const char* const ReaderEndKeys[4] = {"InFileEosDone", "InFileEosReturnEOS", "InFileEosRestart", "InFileEosSwitchCon"};

} // namespace

void TMainHalvoret::SaveSettings(TNrKeyValueSections& store)
{
    const TTavrinMachine& m = *FMachine;
    const TMachineSettings& s = m.Settings;
    auto carried = [this](const char* section, const char* key, const std::string& firstRun) {
        return FLoadedSettings.ReadString(section, key, firstRun);
    };
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();

    store.WriteInteger("MAIN", "DSP_TOP", -1);
    store.WriteInteger("MAIN", "DSP_LEFT", -1);
    store.WriteInteger("MAIN", "DSP_HEIGHT", normal.height());
    store.WriteInteger("MAIN", "DSP_WIDTH", normal.width());
    CpuPage->SaveSettings(store);
    store.WriteString("CRT", "Crt132", carried("CRT", "Crt132", "0"));
    store.WriteString("CRT", "CrtAnsi", carried("CRT", "CrtAnsi", "1"));
    store.WriteString("CRT", "FontFace", carried("CRT", "FontFace", "Terminal"));
    store.WriteString("CRT", "FontSize", carried("CRT", "FontSize", "9"));
    store.WriteString("TTY", "TTY132", carried("TTY", "TTY132", "0"));
    store.WriteString("TTY", "FontFace", SimpleTerminal1->FontName());
    store.WriteInteger("TTY", "FontSize", SimpleTerminal1->FontSize());
    const TTtyDisplaySettings tty = GetTtyDisplaySettings();
    store.WriteInteger("TTY", "BgColor", static_cast<int32_t>(tty.Background));
    store.WriteInteger("TTY", "FontColor", static_cast<int32_t>(tty.FontColor));
    store.WriteInteger("TTY", "CursorColor", static_cast<int32_t>(tty.CursorColor));
    store.WriteInteger("TTY", "DisplayRows", tty.Rows);
    DisksPage->SaveSettings(store);
    store.WriteInteger("PORTS", "ColdBootDeviceMapping", m.FMapping.FColdBootMapping);

    const char* com1 = "PORT_DEVICE_COM1";
    store.WriteBool(com1, "Com1Enable", s.Com1.Enabled);
    store.WriteBool(com1, "Com12StopBits", s.Com1.TwoStopBits);
    store.WriteBool(com1, "Com1HandShake", s.Com1.HandShake);
    store.WriteBool(com1, "UseTCPasCom1", s.UseTCPasCom1);
    store.WriteString(com1, "Com1TCPPort", s.Com1TCPPort);
    store.WriteInteger(com1, "Com1Port", s.Com1.PortNumber);
    store.WriteInteger(com1, "Com1Baud", s.Com1.BaudIndex);
    store.WriteInteger(com1, "Com1Format", s.Com1.FormatIndex);
    const char* com2 = "PORT_DEVICE_COM2";
    store.WriteBool(com2, "Com2Enable", s.Com2.Enabled);
    store.WriteBool(com2, "Com22StopBits", s.Com2.TwoStopBits);
    store.WriteBool(com2, "Com2HandShake", s.Com2.HandShake);
    store.WriteInteger(com2, "Com2Port", s.Com2.PortNumber);
    store.WriteInteger(com2, "Com2Baud", s.Com2.BaudIndex);
    store.WriteInteger(com2, "Com2Format", s.Com2.FormatIndex);

    for (const TDefaultKey& k : DeviceDefaults)
        store.WriteString(k.Section, k.Key, carried(k.Section, k.Key, k.FirstRun));

    const char* in = "PORT_DEVICE_FILE_IN";
    store.WriteString(in, "EnableInputFile", carried(in, "EnableInputFile", "0"));
    store.WriteString(in, "InputFileName", carried(in, "InputFileName", ""));
    for (int i = 0; i < 4; ++i)
        store.WriteBool(in, ReaderEndKeys[i], static_cast<int>(s.ReaderEnd) == i);
    store.WriteInteger(in, "InFileChangeCon", s.InFileChangeCon);
    const char* out = "PORT_DEVICE_FILE_OUT";
    store.WriteString(out, "EnableOutputFile", carried(out, "EnableOutputFile", "0"));
    store.WriteString(out, "OutputFileName", carried(out, "OutputFileName", ""));
    store.WriteString(out, "AppendOutputFile", carried(out, "AppendOutputFile", "0"));
    RemoteDiskPanel->SaveSettings(store);

    if (OnSaveSettings)
        OnSaveSettings(*this, store);
}

void TMainHalvoret::LoadSettings(const TNrKeyValueSections& store)
{
    TTavrinMachine& m = *FMachine;
    TMachineSettings& s = m.Settings;

    LoadPlacement(store);

    const std::string face = store.ReadString("TTY", "FontFace", SimpleTerminal1->FontName());
    const int size = store.ReadInteger("TTY", "FontSize", SimpleTerminal1->FontSize(), 1, MaxFontSize);
    if (face != SimpleTerminal1->FontName() || size != SimpleTerminal1->FontSize())
        SimpleTerminal1->SetFontNameAndSize(face, size);
    TTtyDisplaySettings tty = GetTtyDisplaySettings();
    auto readColor = [&store](const char* key, uint32_t def) {
        return static_cast<uint32_t>(store.ReadInteger("TTY", key, static_cast<int32_t>(def), 0, MaxColor));
    };
    tty.Background = readColor("BgColor", tty.Background);
    tty.FontColor = readColor("FontColor", tty.FontColor);
    tty.CursorColor = readColor("CursorColor", tty.CursorColor);
    tty.Rows = store.ReadInteger("TTY", "DisplayRows", tty.Rows, 1, 255);
    SetTtyDisplaySettings(tty);

    DisksPage->LoadSettings(store);
    CpuPage->LoadSettings(store);

    m.FMapping.FColdBootMapping = static_cast<uint8_t>(
        store.ReadInteger("PORTS", "ColdBootDeviceMapping", m.FMapping.FColdBootMapping, 0, 255));
    m.FMapping.SetMappingCombos(m.FMapping.FColdBootMapping);

    auto readLine = [&store](const char* section, const std::string& n, const std::string& stop, TComLineSettings& c) {
        c.TwoStopBits = store.ReadBool(section, stop, c.TwoStopBits);
        c.HandShake = store.ReadBool(section, "Com" + n + "HandShake", c.HandShake);
        c.PortNumber = store.ReadInteger(section, "Com" + n + "Port", c.PortNumber, 1, 255);
        c.BaudIndex = store.ReadInteger(section, "Com" + n + "Baud", c.BaudIndex, -1, 15);
        c.FormatIndex = store.ReadInteger(section, "Com" + n + "Format", c.FormatIndex, -1, 3);
        c.Enabled = store.ReadBool(section, "Com" + n + "Enable", c.Enabled);
    };
    s.UseTCPasCom1 = store.ReadBool("PORT_DEVICE_COM1", "UseTCPasCom1", s.UseTCPasCom1);
    s.Com1TCPPort = store.ReadString("PORT_DEVICE_COM1", "Com1TCPPort", s.Com1TCPPort);
    readLine("PORT_DEVICE_COM1", "1", "Com12StopBits", s.Com1);
    readLine("PORT_DEVICE_COM2", "2", "Com22StopBits", s.Com2);
    // As if the enable boxes were clicked into their saved state.
    ApplyCom1Settings();
    ApplyCom2Settings();

    for (int i = 3; i >= 0; --i)
        if (store.ReadBool("PORT_DEVICE_FILE_IN", ReaderEndKeys[i], false)) {
            s.ReaderEnd = static_cast<TReaderEndOption>(i);
            break;
        }
    s.InFileChangeCon = store.ReadInteger("PORT_DEVICE_FILE_IN", "InFileChangeCon", s.InFileChangeCon, 0, 3);

    RemoteDiskPanel->LoadSettings(store);

    if (OnLoadSettings)
        OnLoadSettings(*this, store);
}

// The saved size and a position placed in the file by hand, kept on the
// screen the window is on: nothing wider or taller than its free area, and
// no corner outside it.
void TMainHalvoret::LoadPlacement(const TNrKeyValueSections& store)
{
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    const QRect free = screen()->availableGeometry();
    const int top = store.ReadInteger("MAIN", "DSP_TOP", -1, INT32_MIN, INT32_MAX);
    const int left = store.ReadInteger("MAIN", "DSP_LEFT", -1, INT32_MIN, INT32_MAX);
    int width = store.ReadInteger("MAIN", "DSP_WIDTH", normal.width(), 1, INT32_MAX);
    int height = store.ReadInteger("MAIN", "DSP_HEIGHT", normal.height(), 1, INT32_MAX);
    width = std::clamp(width, std::min(minimumSizeHint().width(), free.width()), free.width());
    height = std::clamp(height, std::min(minimumSizeHint().height(), free.height()), free.height());
    resize(width, height);
    if (top >= 0 || left >= 0) {
        // The frame may be a little wider than the free area.
        const QRect frame = frameGeometry();
        const int lastX = std::max(free.left(), free.right() + 1 - frame.width());
        const int lastY = std::max(free.top(), free.bottom() + 1 - frame.height());
        move(std::clamp(left >= 0 ? left : pos().x(), free.left(), lastX),
             std::clamp(top >= 0 ? top : pos().y(), free.top(), lastY));
    }
}

void TMainHalvoret::FormActivate()
{
    FFirstActivate = false;
    RemoteDiskPanel->SetupRemoteDiskStatusList();
    TNrKeyValueSections store;
    // Until the file has been read, closing must not replace it with the
    // first-run values.
    FSettingsUnread = true;
    const bool found = store.LoadFromFile(SettingsFileName());
    FSettingsUnread = false;
    if (!found)
        return;
    LoadSettings(store);
    // Values the reads refused (out of range, not numbers), all in one box.
    std::string problems;
    for (const std::string& problem : store.TakeReadProblems())
        problems += (problems.empty() ? "" : "\n") + problem;
    if (!problems.empty())
        FPrompts->MessageDlg(problems, TMsgDlgType::Warning, mbOK);
    FLoadedSettings.SetText(store.GetText());
    PageControl1->setCurrentWidget(FMachine->FMapping.ItemIndex(TMappedDevice::Con) == 0 ? TtyPage : CrtPage);
}
