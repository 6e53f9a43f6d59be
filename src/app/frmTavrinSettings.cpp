// The settings file: twelve sections, every key in a fixed order, each from
// its control, action or model. Loading applies them section by section;
// within a section the values an enabling step uses come before it. Should
// the CRT's emulator be missing, its ANSI key is written back as it was read.

#include "app/frmTavrin.h"

#include "console/MapKeys.h"
#include "console/QnTerminal.h"
#include "console/QnTrmVT100.h"
#include "console/QtPrintTarget.h"
#include "console/SimpleTerminal.h"
#include "disk/FileReplace.h"
#include "platform/QtUiPrompts.h"
#include "ui/CpuPage.h"
#include "ui/DisksPage.h"
#include "ui/RemoteDiskPanel.h"

#include <QScreen>
#include <QTabWidget>

#include <algorithm>
#include <climits>

namespace {

// Larger console fonts make grids far wider than any screen.
constexpr int MaxFontSize = 72;
// Colours are 00BBGGRRh.
constexpr int32_t MaxColor = 0x00FFFFFF;

} // namespace

void TMainHalvoret::SaveSettings(TNrKeyValueSections& store)
{
    const TTavrinMachine& m = *FMachine;
    const TMachineSettings& s = m.Settings();
    auto carried = [this](const char* section, const char* key, const std::string& firstRun) {
        return FLoadedSettings.ReadString(section, key, firstRun);
    };
    QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();

    store.WriteInteger("MAIN", "DSP_TOP", -1);
    store.WriteInteger("MAIN", "DSP_LEFT", -1);
    store.WriteInteger("MAIN", "DSP_HEIGHT", normal.height());
    store.WriteInteger("MAIN", "DSP_WIDTH", normal.width());
    CpuPage->SaveSettings(store);
    store.WriteBool("CRT", "Crt132", Crt132Act->isChecked());
    if (QnVT100Emulator1)
        store.WriteBool("CRT", "CrtAnsi", QnVT100Emulator1->ANSIMode());
    else
        store.WriteString("CRT", "CrtAnsi", carried("CRT", "CrtAnsi", "1"));
    store.WriteString("CRT", "FontFace", FCrtFontName);
    store.WriteInteger("CRT", "FontSize", FCrtFontSize);
    store.WriteBool("TTY", "TTY132", TTY132Act->isChecked());
    store.WriteString("TTY", "FontFace", SimpleTerminal1->FontName());
    store.WriteInteger("TTY", "FontSize", SimpleTerminal1->FontSize());
    const TTtyDisplaySettings tty = GetTtyDisplaySettings();
    store.WriteInteger("TTY", "BgColor", static_cast<int32_t>(tty.Background));
    store.WriteInteger("TTY", "FontColor", static_cast<int32_t>(tty.FontColor));
    store.WriteInteger("TTY", "CursorColor", static_cast<int32_t>(tty.CursorColor));
    store.WriteInteger("TTY", "DisplayRows", tty.Rows);
    DisksPage->SaveSettings(store);
    store.WriteInteger("PORTS", "ColdBootDeviceMapping", m.Mapping().FColdBootMapping);

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

    SaveDeviceSettings(store);
    RemoteDiskPanel->SaveSettings(store);

    if (OnSaveSettings)
        OnSaveSettings(*this, store);
}

void TMainHalvoret::LoadSettings(const TNrKeyValueSections& store)
{
    TTavrinMachine& m = *FMachine;
    TMachineSettings& s = m.Settings();

    LoadStep([&] { LoadPlacement(store); });
    LoadStep([&] { CpuPage->LoadSettings(store); });

    LoadActionKey(store, "CRT", "Crt132", *Crt132Act);
    LoadActionKey(store, "CRT", "CrtAnsi", *CrtAnsiAct);
    LoadStep([&] {
        const std::string face = store.ReadString("CRT", "FontFace", FCrtFontName);
        const int size = store.ReadInteger("CRT", "FontSize", FCrtFontSize, 1, MaxFontSize);
        if (face != FCrtFontName || size != FCrtFontSize)
            SetCrtFontNameAndSize(face, size);
    });

    LoadActionKey(store, "TTY", "TTY132", *TTY132Act);
    LoadStep([&] {
        const std::string face = store.ReadString("TTY", "FontFace", SimpleTerminal1->FontName());
        const int size = store.ReadInteger("TTY", "FontSize", SimpleTerminal1->FontSize(), 1, MaxFontSize);
        if (face != SimpleTerminal1->FontName() || size != SimpleTerminal1->FontSize())
            SimpleTerminal1->SetFontNameAndSize(face, size);
    });
    LoadStep([&] {
        TTtyDisplaySettings tty = GetTtyDisplaySettings();
        auto readColor = [&store](const char* key, uint32_t def) {
            return static_cast<uint32_t>(store.ReadInteger("TTY", key, static_cast<int32_t>(def), 0, MaxColor));
        };
        tty.Background = readColor("BgColor", tty.Background);
        tty.FontColor = readColor("FontColor", tty.FontColor);
        tty.CursorColor = readColor("CursorColor", tty.CursorColor);
        tty.Rows = store.ReadInteger("TTY", "DisplayRows", tty.Rows, 1, 255);
        SetTtyDisplaySettings(tty);
    });

    LoadStep([&] { DisksPage->LoadSettings(store); });

    LoadStep([&] {
        m.Mapping().FColdBootMapping = static_cast<uint8_t>(
            store.ReadInteger("PORTS", "ColdBootDeviceMapping", m.Mapping().FColdBootMapping, 0, 255));
        m.Mapping().SetMappingCombos(m.Mapping().FColdBootMapping);
    });

    auto readLine = [&store](const char* section, const std::string& n, const std::string& stop, TComLineSettings& c) {
        c.TwoStopBits = store.ReadBool(section, stop, c.TwoStopBits);
        c.HandShake = store.ReadBool(section, "Com" + n + "HandShake", c.HandShake);
        c.PortNumber = store.ReadInteger(section, "Com" + n + "Port", c.PortNumber, 1, 255);
        c.BaudIndex = store.ReadInteger(section, "Com" + n + "Baud", c.BaudIndex, -1, 15);
        c.FormatIndex = store.ReadInteger(section, "Com" + n + "Format", c.FormatIndex, -1, 3);
        c.Enabled = store.ReadBool(section, "Com" + n + "Enable", c.Enabled);
    };
    // Each line's enable box last, as if clicked into its saved state.
    LoadStep([&] {
        s.UseTCPasCom1 = store.ReadBool("PORT_DEVICE_COM1", "UseTCPasCom1", s.UseTCPasCom1);
        s.Com1TCPPort = store.ReadString("PORT_DEVICE_COM1", "Com1TCPPort", s.Com1TCPPort);
        readLine("PORT_DEVICE_COM1", "1", "Com12StopBits", s.Com1);
        ApplyCom1Settings();
    });
    LoadStep([&] {
        readLine("PORT_DEVICE_COM2", "2", "Com22StopBits", s.Com2);
        ApplyCom2Settings();
    });

    LoadPrinterSettings(store);
    LoadFileSettings(store);
    LoadStep([&] { RemoteDiskPanel->LoadSettings(store); });

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
    // The printer starts with the CRT terminal's font.
    if (FPrinterObject->PrinterSelected())
        FPrinterObject->SetFont(
            TQnCustomTerminal::TerminalFont(QString::fromStdString(FCrtFontName), 0, FCrtFontSize));
    RemoteDiskPanel->SetupRemoteDiskStatusList();
    // A save ended between writing and renaming left its temporary file
    // beside the settings, which themselves stayed whole.
    RemoveLeftoverReplacements(SettingsFileName());
    if (FKeyMap)
        RemoveLeftoverReplacements(FKeyMap->FileName());
    TNrKeyValueSections store;
    // Until the file has been read, closing must not replace it with the
    // first-run values.
    FSettingsUnread = true;
    const bool found = store.LoadFromFile(SettingsFileName());
    FSettingsUnread = false;
    if (!found)
        return;
    FLoadFailures.clear();
    LoadSettings(store);
    // Values the reads refused (out of range, not numbers) and steps that
    // failed, all in one box.
    std::string problems;
    for (const std::string& problem : store.TakeReadProblems())
        problems += (problems.empty() ? "" : "\n") + problem;
    for (const std::string& failure : FLoadFailures)
        problems += (problems.empty() ? "" : "\n") + failure;
    if (!problems.empty())
        FPrompts->MessageDlg(problems, TMsgDlgType::Warning, mbOK);
    FLoadedSettings.SetText(store.GetText());
    PageControl1->setCurrentWidget(FMachine->Mapping().ItemIndex(TMappedDevice::Con) == 0 ? TtyPage : CrtPage);
}
