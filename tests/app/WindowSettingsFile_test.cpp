// The settings file end to end: a fresh window writes the keys and sections
// in the fixed order (against a golden file), every control changed through
// the widgets of every page comes back after a restart in the same program
// folder, and hand-edited values that fail, are out of range or too large for
// the screen are reported and stop nothing after them (an unreadable file:
// frmTavrin_test.cpp).

#include "net/MachineSerialLines.h"
#include "net/NetTestSupport.h"
#include "support/ComRxTestSupport.h"
#include "WindowTestSupport.h"

#include "console/QtPrintTarget.h"
#include "platform/core/FileReplace.h"
#include "platform/WindowPlacement.h"
#include "support/EnvironmentVariable.h"
#include "support/QtEventually.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <regex>
#include <set>

using namespace tavrin::test;

namespace {

const std::string FirstRunFile = std::string(TAVRIN_SOURCE_DIR) + "/tests/app/data/first-run.config";

// With no file the form's values stay, and closing writes them all; only the
// values that depend on the screen and the host's printers are masked.
TEST_F(WindowTest, AFreshWindowWritesEveryKeyInOrder) {
    ASSERT_TRUE(W->close());
    static const std::regex host("(DSP_HEIGHT|DSP_WIDTH|PrinterName)=[^\r]*");
    EXPECT_EQ(std::regex_replace(ReadFile(W->Settings().FileName()), host, "$1=*"), ReadFile(FirstRunFile));
}

TEST_F(WindowTest, CloseStopsTheRunAndWritesTheSettingsFile) {
    const std::string file = W->Settings().FileName();
    EXPECT_EQ(file, H.SettingsFile());
    EXPECT_FALSE(std::filesystem::exists(file));
    LoadProgram(W->Machine(), 0x8000, {0xC3, 0x00, 0x80});
    W->Ui().RunCpuAct->trigger();
    W->Ui().DisksPage->C_CpmSourceFile->setText("mine.hex");
    EXPECT_TRUE(W->close());
    EXPECT_FALSE(W->Ui().RunCpuAct->isChecked());
    EXPECT_TRUE(W->Closing());
    W->Ui().RunCpuAct->trigger();
    EXPECT_FALSE(W->Ui().RunCpuAct->isChecked()) << "no run after a close";
    EXPECT_NE(ReadFile(file).find("\r\n[DISKS]\r\nCpmSourceFile=mine.hex\r\n"), std::string::npos);
}

struct WindowSettingsRestart : ::testing::Test {
    TWindowHarness H;
    std::shared_ptr<TFakeComDevice::TState> Com2Device;
    // Held for both runs, so the second finds the saved server port free.
    const TReservedPort DiskServerPort{SOCK_DGRAM};

    TMainHalvoret& Start() {
        TMainHalvoret& w = H.Open();
        w.SerialLines().ComLines().ComRx2.DeviceOpener = TFakeComDevice::Opener(Com2Device);
        w.Ui().RmtDskMod->BaseUdpRx1.ReuseAddress = true;  // shares the port with the reservation
        w.FormActivate();
        return w;
    }

    // A value other than the first-run one for every key but the window's
    // placement, the printer's name (the host decides), COM1's enable (a
    // real port) and the end-of-stream choices not taken.
    void ChangeEverything(TMainHalvoret& w) {
        w.Ui().CpuPage->HexMemoryDisplayAct->trigger();
        w.Ui().CrtAnsiAct->trigger();
        w.Ui().Crt132Act->trigger();
        w.Ui().TTY132Act->trigger();
        H.Prompts.FontAnswers = {TFontChoice{"DejaVu Sans Mono", 11, false, false},
                                 TFontChoice{"DejaVu Sans Mono", 12, false, false}};
        w.Ui().SetCrtFont->trigger();
        w.Ui().SetTttyFont->trigger();
        w.TtyConsole().SetDisplaySettings({0x0000FFu, 0x00FF00u, 30, 0xFF0000u});  // background, font, rows, cursor
        w.Ui().DisksPage->C_CpmSourceFile->setText("mycpm.hex");
        w.Ui().DisksPage->C_BiosSourceFile->setText("mybios.hex");

        w.Ui().DeviceMappingPanel->C_CpmPunchPortId->setCurrentIndex(2);
        w.Ui().DeviceMappingPanel->SetDefaultMappingsBtn->click();

        for (TComSettingsPanel* com : {w.Ui().PortsPage->Com1Panel, w.Ui().PortsPage->Com2Panel}) {
            com->TwoStopBitsBtn->click();
            com->HandShake->click();
            com->PortNumber->setValue(com->PortNumber->value() + 4);
            com->BaudList->setCurrentIndex(2);
            com->FormatList->setCurrentIndex(1);
        }
        w.Ui().PortsPage->Com1Panel->UseTCP->click();
        w.Ui().PortsPage->Com1Panel->TCPPort->setText("4321");
        emit w.Ui().PortsPage->Com1Panel->TCPPort->textEdited("4321");
        w.Ui().PortsPage->Com2Panel->EnableBtn->click();

        TPrinterPanel& p = *w.Ui().PrinterPanel;
        p.LandscapeBtn->click();
        p.C_TabSpacingEdit->setValue(4);
        p.C_TopBottomMarginEdit->SetValue(0.5);
        p.C_LeftRightMarginEdit->SetValue(0.75);
        p.C_LineSpacingEdit->SetValue(1.5);
        for (QCheckBox* box : {p.C_IgnoreFormFeedsBtn, p.C_AutoLineWrapBtn, p.C_EosEjectsPrinterBtn}) box->click();
        p.C_EnablePrinterBtn->click();

        WriteFile(H.Temp.File("in.txt"), "reader");
        TInputFilePanel& in = *w.Ui().InputFilePanel;
        in.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("in.txt")));
        in.C_InFileEosRestart->click();
        in.C_InFileChangeConList->setCurrentIndex(3);
        in.C_EnableInputFileBtn->click();
        TOutputFilePanel& out = *w.Ui().OutputFilePanel;
        out.C_OutputFileNameEdit->setText(QString::fromStdString(H.Temp.File("out.txt")));
        out.C_AppendOutputFileBtn->click();
        out.EnableOutputFileBtn->click();

        w.Ui().RemoteDiskPanel->C_DiskServerPort->setText(QString::fromStdString(DiskServerPort.Text()));
        w.Ui().RemoteDiskPanel->C_UseRemoteDiskAutoUnMount->click();
        w.Ui().RemoteDiskPanel->ActivateRemoteDiskServerAct->trigger();
    }
};

TEST_F(WindowSettingsRestart, EveryChangedControlComesBack) {
    TMainHalvoret& first = Start();
    ChangeEverything(first);
    ASSERT_TRUE(first.close());
    const std::string saved = ReadFile(first.Settings().FileName());

    TNrKeyValueSections firstRun;
    firstRun.SetText(ReadFile(FirstRunFile));
    TNrKeyValueSections changed;
    changed.SetText(saved);
    const std::set<std::string> unchanged = {"DSP_TOP",       "DSP_LEFT",           "DSP_HEIGHT",
                                             "DSP_WIDTH",     "PrinterName",        "Com1Enable",
                                             "InFileEosDone", "InFileEosReturnEOS", "InFileEosSwitchCon"};
    for (int s = 0; s < firstRun.GetSectionCount(); ++s) {
        const TNrKeyValueList& section = *firstRun.GetSection(s);
        for (int k = 0; k < section.GetCount(); ++k) {
            const std::string key = section.GetPair(k)->Key;
            if (!unchanged.count(key)) {
                EXPECT_NE(changed.ReadString(section.Name, key, ""), section.GetPair(k)->Value)
                    << section.Name << " " << key;
            }
        }
    }

    // The second run starts the devices again and writes the same file.
    TMainHalvoret& second = Start();
    EXPECT_TRUE(H.Prompts.Texts().empty()) << H.Prompts.LastText();
    EXPECT_NE(second.LstPrinter().Device(), nullptr);
    EXPECT_EQ(second.LstPrinter().Device()->TabSpacing(), 4) << "the device took the loaded values";
    EXPECT_TRUE(second.Machine().ReaderOpen());
    EXPECT_TRUE(second.Machine().PunchOpen());
    EXPECT_TRUE(second.SerialLines().ComLines().ComRx2.Active()) << "COM2 opened after its other keys";
    EXPECT_TRUE(second.Ui().RemoteDiskPanel->ActivateRemoteDiskServerAct->isChecked());
    EXPECT_EQ(second.Ui().PageControl1->currentWidget(), second.Ui().CrtPage);
    EXPECT_EQ(second.Ui().SimpleTerminal1->Columns(), 132);
    ASSERT_TRUE(second.close());
    EXPECT_EQ(ReadFile(second.Settings().FileName()), saved);
}

// COM1 and COM2 at opposite ends of every range, then the other way round:
// a key written or read for the wrong line, or a refused end of a range,
// brings a value back that differs from the one set.
TEST_F(WindowSettingsRestart, EachComLineKeepsItsOwnValuesAtTheEndsOfTheRanges) {
    using TLine = std::tuple<int, int, int, bool, bool>;  // port, baud, format, two stop bits, handshake
    const TLine low{1, 0, 0, false, false};
    const TLine high{255, 15, 3, true, true};
    const auto shown = [](const TComSettingsPanel& c) {
        return TLine{c.PortNumber->value(), c.BaudList->currentIndex(), c.FormatList->currentIndex(),
                     c.TwoStopBitsBtn->isChecked(), c.HandShake->isChecked()};
    };
    const auto held = [](const TComLineSettings& c) {
        return TLine{c.PortNumber, c.BaudIndex, c.FormatIndex, c.TwoStopBits, c.HandShake};
    };
    for (const auto& [com1, com2] : {std::pair(low, high), std::pair(high, low)}) {
        SCOPED_TRACE(std::get<0>(com1));
        TMainHalvoret& first = Start();
        for (const auto& [panel, line] :
             {std::pair(first.Ui().PortsPage->Com1Panel, com1), std::pair(first.Ui().PortsPage->Com2Panel, com2)}) {
            const auto& [port, baud, format, twoStopBits, handShake] = line;
            panel->PortNumber->setValue(port);
            panel->BaudList->setCurrentIndex(baud);
            panel->FormatList->setCurrentIndex(format);
            panel->TwoStopBitsBtn->setChecked(twoStopBits);
            panel->HandShake->setChecked(handShake);
        }
        ASSERT_TRUE(first.close());

        TMainHalvoret& second = Start();
        EXPECT_TRUE(H.Prompts.Texts().empty()) << H.Prompts.LastText();
        EXPECT_EQ(held(second.Machine().Settings().Com1), com1);
        EXPECT_EQ(held(second.Machine().Settings().Com2), com2);
        EXPECT_EQ(shown(*second.Ui().PortsPage->Com1Panel), com1);
        EXPECT_EQ(shown(*second.Ui().PortsPage->Com2Panel), com2);
        ASSERT_TRUE(second.close());
    }
}

TEST_F(WindowSettingsRestart, AFailingEnableIsReportedAndLoadingGoesOn) {
    H.WriteSettings({{"PORT_DEVICE_FILE_IN", "InputFileName", H.Temp.File("gone.txt")},
                     {"PORT_DEVICE_FILE_IN", "EnableInputFile", "1"},
                     {"PORT_DEVICE_FILE_OUT", "OutputFileName", H.Temp.File("out.txt")},
                     {"PORT_DEVICE_FILE_OUT", "EnableOutputFile", "1"},
                     {"DISK SERVER", "DiskServerPort", "1234"},
                     {"MAIN", "DSP_TOP", "100"},
                     {"MAIN", "DSP_LEFT", "50"},
                     {"MAIN", "DSP_WIDTH", "700"}});  // room on the screen to the right
    TMainHalvoret& w = Start();
    EXPECT_EQ(H.Prompts.Texts(),
              (std::vector<std::string>{"Unable to open the input file \"" + H.Temp.File("gone.txt") + "\"."}));
    EXPECT_FALSE(w.Ui().EnableInputFileAct->isChecked());
    EXPECT_TRUE(w.Machine().PunchOpen()) << "the keys after the failure still apply";
    EXPECT_EQ(w.Ui().RemoteDiskPanel->C_DiskServerPort->text().toStdString(), "1234");
    EXPECT_EQ(w.pos(), QPoint(50, 100)) << "a position placed by hand";
    ASSERT_TRUE(w.close());
    EXPECT_NE(ReadFile(w.Settings().FileName()).find("DSP_TOP=-1\r\nDSP_LEFT=-1\r\n"), std::string::npos);
}

// A saved printer this computer lacks leaves none selected and is reported
// with the other refused values; the list, Setup, Font and Enable stay
// usable, a saved Enable still makes the device, and the name is kept in
// the file until the user picks another printer.
TEST_F(WindowSettingsRestart, ASavedPrinterThatIsMissingLeavesThePanelUsable) {
    for (const char* enabled : {"0", "1"}) {
        SCOPED_TRACE(enabled);
        H.Prompts.Log.clear();
        H.WriteSettings({{"PORT_DEVICE_PRINTER", "PrinterEnable", enabled},
                         {"PORT_DEVICE_PRINTER", "PrinterName", "Gone Printer"},
                         {"PORT_DEVICE_COM2", "Com2Format", "9"}});
        TMainHalvoret& w = Start();
        ASSERT_EQ(H.Prompts.Log.size(), 1u);
        const std::string& text = H.Prompts.Log[0].Text;
        EXPECT_NE(text.find("PrinterName=Gone Printer"), std::string::npos) << text;
        EXPECT_NE(text.find("Com2Format=9"), std::string::npos) << text;
        EXPECT_EQ(w.Ui().PrinterPanel->PrinterIndex(), -1);
        EXPECT_EQ(w.LstPrinter().Device() != nullptr, *enabled == '1') << "the saved Enable is kept";
        w.UpdateAllActions();
        EXPECT_TRUE(w.Ui().PrinterEnableAct->isEnabled());
        if (!w.LstPrinter().Device()) {
            EXPECT_TRUE(w.Ui().PrinterPanel->C_PrintersList->isEnabled());
            EXPECT_TRUE(w.Ui().PrinterSetupAct->isEnabled());
            EXPECT_TRUE(w.Ui().PrinterFontAct->isEnabled());
        }
        ASSERT_TRUE(w.close());
        TNrKeyValueSections saved;
        ASSERT_TRUE(saved.LoadFromFile(H.SettingsFile()));
        EXPECT_EQ(saved.GetValue("PORT_DEVICE_PRINTER", "PrinterName"), "Gone Printer");
    }
    // Picking a printer replaces the missing one.
    TMainHalvoret& w = Start();
    w.UpdateAllActions();
    if (w.LstPrinter().Device()) w.Ui().PrinterEnableAct->trigger();
    w.UpdateAllActions();
    QComboBox& list = *w.Ui().PrinterPanel->C_PrintersList;
    ASSERT_TRUE(list.isEnabled());
    list.setCurrentIndex(list.count() - 1);
    EXPECT_TRUE(w.LstPrinter().PrinterObject().PdfSelected());
    ASSERT_TRUE(w.close());
    TNrKeyValueSections saved;
    ASSERT_TRUE(saved.LoadFromFile(H.SettingsFile()));
    EXPECT_EQ(saved.GetValue("PORT_DEVICE_PRINTER", "PrinterName"), TQtPrintTarget::PdfEntryName);
}

// Drive A's image named as the output file in the settings file is refused
// at start-up, before the punch could empty it.
TEST_F(WindowSettingsRestart, DriveAsImageIsNoOutputFile) {
    const std::string driveA = H.Temp.File("DiskA.cpmdsk");
    TDiskDrive::FormatDiskImage(driveA);
    const std::string formatted = ReadFile(driveA);
    H.WriteSettings(
        {{"PORT_DEVICE_FILE_OUT", "OutputFileName", driveA}, {"PORT_DEVICE_FILE_OUT", "EnableOutputFile", "1"}});
    TMainHalvoret& w = Start();
    EXPECT_EQ(H.Prompts.Texts(),
              (std::vector<std::string>{"The output file \"" + driveA + "\" is a disk image in use!"}));
    EXPECT_FALSE(w.Ui().EnableOutputFileAct->isChecked());
    EXPECT_EQ(ReadFile(driveA), formatted);
}

// A window saved on a larger screen is clamped to this one and kept on it,
// which is not an error.
TEST(WindowSettingsValuesTest, AHugeWindowFitsTheScreen) {
    TWindowHarness h;
    h.WriteSettings({{"MAIN", "DSP_WIDTH", "40000"},
                     {"MAIN", "DSP_HEIGHT", "40000"},
                     {"MAIN", "DSP_TOP", "90000"},
                     {"MAIN", "DSP_LEFT", "90000"}});
    TMainHalvoret& w = h.Open();
    w.FormActivate();
    const QRect free = w.screen()->availableGeometry();
    EXPECT_LE(w.width(), free.width());
    EXPECT_LE(w.height(), free.height());
    EXPECT_TRUE(free.contains(w.frameGeometry().topLeft()));
    EXPECT_TRUE(h.Prompts.Log.empty());
}

// A size saved on a larger desktop shrinks to this screen's free area, and
// the window moves wholly onto it from wherever it stood when the file was
// read.
TEST(WindowSettingsValuesTest, AWindowSavedOnALargerScreenLiesWhollyOnThisOne) {
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    const QRect free = w.screen()->availableGeometry();
    h.WriteSettings({{"MAIN", "DSP_WIDTH", std::to_string(free.width() * 2)},
                     {"MAIN", "DSP_HEIGHT", std::to_string(free.height() + 232)}});
    w.move(free.center());
    w.FormActivate();
    EXPECT_TRUE(free.contains(w.frameGeometry())) << w.frameGeometry().x() << "," << w.frameGeometry().y() << " "
                                                  << w.frameGeometry().width() << "x" << w.frameGeometry().height();
    EXPECT_EQ(w.frameGeometry().size(), free.size());
    EXPECT_TRUE(h.Prompts.Log.empty());
}

std::string Text(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
}

// Plays a window manager that frames a window some while after it shows:
// the window shows without a frame, and is framed, and activated as
// decorating it ends, only when the test says.
void ShowUnframed(QWidget& window) {
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.show();
}
void Frame(QWidget& window) {
    window.setAttribute(Qt::WA_DontShowOnScreen, false);
    QEvent activation(QEvent::ActivationChange);
    QApplication::sendEvent(&window, &activation);
}

// A window restored from a larger screen fits this one with its frame: the
// frame appears only once the window shows (and, on a desktop, once the
// window manager has decorated it), whether the settings load before that
// or once it shows. Placed twice before its frame appears, it ends at the
// second place.
TEST(WindowSettingsValuesTest, ARestoredWindowsWholeFrameIsOnTheScreen) {
    struct TStart {
        const char* Name;
        bool PlacedBefore;
        bool LoadFirst;
    };
    for (const TStart& start :
         {TStart{"loaded before it shows", false, true}, TStart{"loaded once it shows", false, false},
          TStart{"placed small, then loaded, before it shows", true, true}}) {
        SCOPED_TRACE(start.Name);
        TWindowHarness h;
        TMainHalvoret& w = h.Open();
        const QRect free = w.screen()->availableGeometry();
        h.WriteSettings({{"MAIN", "DSP_WIDTH", std::to_string(free.width() + 300)},
                         {"MAIN", "DSP_HEIGHT", std::to_string(free.height() + 200)}});
        if (start.PlacedBefore) PlaceWindow(w, free.size() / 3, free.center());
        if (start.LoadFirst) w.FormActivate();
        w.show();
        ASSERT_TRUE(EventuallyWithEvents([&] {
            return !FrameMarginsNow(w).isNull() && free.contains(w.frameGeometry()) && w.height() > free.height() / 2;
        })) << Text(w.frameGeometry())
            << " on " << Text(free);
        EXPECT_EQ(Text(w.frameGeometry()), Text(free)) << "as large as the screen allows";
        EXPECT_TRUE(h.Prompts.Log.empty());
    }
}

// With no settings file the window has the form's size, fitted with its
// whole frame to the free area as a restored size is, whenever the frame
// appears. The form is wider than the offscreen screen.
TEST(WindowSettingsValuesTest, AFirstStartsWholeFrameIsOnTheScreen) {
    for (const bool framedLater : {false, true}) {
        SCOPED_TRACE(framedLater ? "framed after it shows" : "framed as it shows");
        TWindowHarness h;
        TMainHalvoret& w = h.Open();
        const QRect free = w.screen()->availableGeometry();
        if (framedLater) {
            ShowUnframed(w);
            w.FormActivate();
            Frame(w);
        } else {
            w.show();
        }
        EXPECT_TRUE(EventuallyWithEvents([&] {
            return !FrameMarginsNow(w).isNull() && free.contains(w.frameGeometry());
        })) << Text(w.frameGeometry())
            << " on " << Text(free);
        EXPECT_EQ(w.frameGeometry().width(), free.width()) << "as wide as the screen allows";
        EXPECT_TRUE(h.Prompts.Log.empty());
    }
}

// Notes where the window's frame stood when a box showed: nowhere while
// the window had none.
struct TPromptsThatSeeTheWindow : TScriptedUiPrompts {
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
        FrameWhenShown.reset();
        if (Window && !FrameMarginsNow(*Window).isNull()) FrameWhenShown = Window->frameGeometry();
        return TScriptedUiPrompts::MessageDlg(text, type, buttons);
    }
    const QWidget* Window = nullptr;
    std::optional<QRect> FrameWhenShown;
};

// The start-up report shows once the window stands with its whole frame on
// the screen, not while it waits for the frame where it was first put; a
// window that is never framed (no window manager) still shows it.
TEST(WindowSettingsValuesTest, TheStartUpReportShowsOnceTheWindowIsPlaced) {
    for (const bool framed : {true, false}) {
        SCOPED_TRACE(framed ? "framed after the settings load" : "never framed");
        TWindowHarness h;
        TPromptsThatSeeTheWindow prompts;
        TMainHalvoret w(&prompts);
        prompts.Window = &w;
        const QRect free = w.screen()->availableGeometry();
        h.WriteSettings({{"MAIN", "DSP_WIDTH", std::to_string(free.width() + 300)},
                         {"MAIN", "DSP_HEIGHT", std::to_string(free.height() + 200)},
                         {"TTY", "DisplayRows", "0"}});
        ShowUnframed(w);
        w.FormActivate();
        if (framed) {
            EXPECT_TRUE(prompts.Log.empty()) << "shown before the window has its frame";
            Frame(w);
        }
        ASSERT_TRUE(EventuallyWithEvents([&] { return !prompts.Log.empty(); }));
        ASSERT_EQ(prompts.Log.size(), 1u) << ::testing::PrintToString(prompts.Texts());
        EXPECT_NE(prompts.Log[0].Text.find("DisplayRows=0"), std::string::npos) << prompts.Log[0].Text;
        if (!framed) continue;
        ASSERT_TRUE(prompts.FrameWhenShown) << "shown before the window has its frame";
        EXPECT_TRUE(free.contains(*prompts.FrameWhenShown)) << Text(*prompts.FrameWhenShown) << " on " << Text(free);
        EXPECT_EQ(prompts.FrameWhenShown->bottom(), free.bottom()) << "placed as the settings say";
    }
}

// A refused value keeps its default and is named in one warning with the
// others; the values in range still apply. One kind of key after the other:
// Boolean, integer, enumerated, float, string and path; a string too long
// for its use is refused, not kept or cut.
TEST(WindowSettingsValuesTest, OutOfRangeValuesKeepTheDefaultAndAreReported) {
    struct TCase {
        TKeyValue Entry;
        std::function<bool(TMainHalvoret&)> KeptDefault;
    };
    const TCase cases[] = {
        {{"CPU", "HexMemoryDisplay", "banana"},
         [](TMainHalvoret& w) { return w.Ui().CpuPage->HexMemoryDisplayAct->isChecked(); }},
        {{"CRT", "Crt132", "2"}, [](TMainHalvoret& w) { return !w.Ui().Crt132Act->isChecked(); }},
        {{"CRT", "CrtAnsi", "-1"}, [](TMainHalvoret& w) { return w.Ui().CrtAnsiAct->isChecked(); }},
        {{"PORT_DEVICE_FILE_OUT", "AppendOutputFile", "yes"},
         [](TMainHalvoret& w) { return !w.Ui().OutputFilePanel->C_AppendOutputFileBtn->isChecked(); }},
        {{"DISK SERVER", "UseRemoteDiskAutoUnMount", "true"},
         [](TMainHalvoret& w) { return w.Ui().RemoteDiskPanel->C_UseRemoteDiskAutoUnMount->isChecked(); }},
        {{"PORTS", "ColdBootDeviceMapping", "999"},
         [](TMainHalvoret& w) { return w.Machine().Mapping().ColdBootMapping() == 1; }},
        {{"PORT_DEVICE_COM1", "Com1Port", "300"},
         [](TMainHalvoret& w) { return w.Machine().Settings().Com1.PortNumber == 1; }},
        {{"PORT_DEVICE_PRINTER", "PrintOrientaion", "2"},
         [](TMainHalvoret& w) { return w.Ui().PrinterPanel->OrientationIndex() == 0; }},
        {{"TTY", "BgColor", "-5"}, [](TMainHalvoret& w) { return w.Ui().SimpleTerminal1->Color() == 0xF0CAA6u; }},
        {{"TTY", "FontSize", "4000"}, [](TMainHalvoret& w) { return w.Ui().SimpleTerminal1->FontSize() == 9; }},
        {{"PORT_DEVICE_PRINTER", "TopBottomMargin", "1e308"},
         [](TMainHalvoret& w) { return w.LstPrinter().Setup().TopBottomMargin == 0.25; }},
        {{"PORT_DEVICE_PRINTER", "LeftRightMargin", "nan"},
         [](TMainHalvoret& w) { return w.LstPrinter().Setup().LeftRightMargin == 0.25; }},
        {{"PORT_DEVICE_PRINTER", "LineSpacing", "inf"},
         [](TMainHalvoret& w) { return w.LstPrinter().Setup().LineSpacing == 1.1; }},
        {{"PORT_DEVICE_PRINTER", "LineSpacing", "0,5"},
         [](TMainHalvoret& w) { return w.LstPrinter().Setup().LineSpacing == 1.1; }},
        {{"CRT", "FontFace", std::string(5'000'000, 'F')},
         [](TMainHalvoret& w) { return w.CrtConsole().FontName() == "Terminal"; }},
        {{"TTY", "FontFace", std::string(256, 'F')},
         [](TMainHalvoret& w) { return w.Ui().SimpleTerminal1->FontName() == "Terminal"; }},
        {{"PORT_DEVICE_COM1", "Com1TCPPort", std::string(32, '9')},
         [](TMainHalvoret& w) { return w.Machine().Settings().Com1TCPPort == "9999"; }},
        {{"DISK SERVER", "DiskServerPort", std::string(40, '9')},
         [](TMainHalvoret& w) { return w.Ui().RemoteDiskPanel->C_DiskServerPort->text() == "999"; }},
        {{"PORT_DEVICE_COM1", "Com1TCPPort", "999999"},
         [](TMainHalvoret& w) { return w.Machine().Settings().Com1TCPPort == "9999"; }},
        {{"PORT_DEVICE_COM1", "Com1TCPPort", "0"},
         [](TMainHalvoret& w) { return w.Machine().Settings().Com1TCPPort == "9999"; }},
        {{"DISK SERVER", "DiskServerPort", "70000"},
         [](TMainHalvoret& w) { return w.Ui().RemoteDiskPanel->C_DiskServerPort->text() == "999"; }},
        {{"DISK SERVER", "DiskServerPort", "port"},
         [](TMainHalvoret& w) { return w.Ui().RemoteDiskPanel->C_DiskServerPort->text() == "999"; }},
        {{"DISKS", "CpmSourceFile", std::string(100'000, 'p')},
         [](TMainHalvoret& w) { return w.Ui().DisksPage->C_CpmSourceFile->text() == "cpm22.hex"; }},
        {{"PORT_DEVICE_FILE_IN", "InputFileName", "/" + std::string(5000, 'i')},
         [](TMainHalvoret& w) { return w.Ui().InputFilePanel->C_InputFileNameEdit->text().isEmpty(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Entry.Key);
        TWindowHarness h;
        h.WriteSettings({c.Entry, {"TTY", "DisplayRows", "40"}, {"PORT_DEVICE_COM2", "Com2Format", "9"}});
        TMainHalvoret& w = h.Open();
        w.FormActivate();
        EXPECT_TRUE(c.KeptDefault(w));
        EXPECT_EQ(w.Ui().SimpleTerminal1->Rows(), 40);
        EXPECT_EQ(w.Machine().Settings().Com2.FormatIndex, 3);
        ASSERT_EQ(h.Prompts.Log.size(), 1u);
        const std::string& text = h.Prompts.Log[0].Text;
        EXPECT_EQ(h.Prompts.Log[0].Type, TMsgDlgType::Warning);
        // A long value is named by its start.
        EXPECT_NE(text.find(std::string(c.Entry.Key) + "=" + c.Entry.Value.substr(0, 32)), std::string::npos)
            << text.substr(0, 300);
        EXPECT_LT(text.size(), 1000u);
        EXPECT_NE(text.find("Com2Format=9"), std::string::npos) << text.substr(0, 300);
        // The refused value is not written back.
        ASSERT_TRUE(w.close());
        TNrKeyValueSections saved;
        ASSERT_TRUE(saved.LoadFromFile(h.SettingsFile()));
        EXPECT_NE(saved.GetValue(c.Entry.Section, c.Entry.Key), c.Entry.Value);
    }
}

// Refused values and the devices that fail while the settings load (COM
// lines whose devices are missing, an input file that is not there) make one
// report, not a box each; the values after them still apply.
TEST(WindowSettingsValuesTest, EveryProblemOfTheLoadIsInOneReport) {
    TWindowHarness h;
    const TEnvironmentVariable com1("TAVRIN_COM1", "/dev/tavrin-missing-1");
    const TEnvironmentVariable com2("TAVRIN_COM2", "/dev/tavrin-missing-2");
    const std::string input = h.Temp.File("no-such-input.txt");
    h.WriteSettings({{"PORT_DEVICE_COM1", "Com1Enable", "1"},
                     {"PORT_DEVICE_COM1", "Com1TCPPort", "999999"},
                     {"PORT_DEVICE_COM2", "Com2Enable", "1"},
                     {"PORT_DEVICE_FILE_IN", "InputFileName", input},
                     {"PORT_DEVICE_FILE_IN", "EnableInputFile", "1"},
                     {"DISK SERVER", "DiskServerPort", "0"},
                     {"DISK SERVER", "UseRemoteDiskAutoUnMount", "0"}});
    TMainHalvoret& w = h.Open();
    w.FormActivate();
    ASSERT_EQ(h.Prompts.Log.size(), 1u) << ::testing::PrintToString(h.Prompts.Texts());
    EXPECT_EQ(h.Prompts.Log[0].Type, TMsgDlgType::Warning);
    const std::string& report = h.Prompts.Log[0].Text;
    for (const std::string& part :
         {std::string("Com1TCPPort=999999"), std::string("DiskServerPort=0"),
          std::string("Unable to activate Com Port 1, "), std::string("/dev/tavrin-missing-1"),
          std::string("Unable to activate Com Port 2, "), std::string("/dev/tavrin-missing-2"), "\"" + input + "\""})
        EXPECT_NE(report.find(part), std::string::npos) << part << " in:\n" << report;
    EXPECT_EQ(w.Machine().Settings().Com1TCPPort, "9999");
    EXPECT_FALSE(w.Ui().RemoteDiskPanel->C_UseRemoteDiskAutoUnMount->isChecked()) << "the keys after them apply";
    EXPECT_FALSE(w.Machine().Settings().Com1.Enabled);

    // Once loaded, a failure shows its own box again.
    h.Prompts.Clear();
    w.Ui().PortsPage->Com1Panel->EnableBtn->click();
    EXPECT_EQ(h.Prompts.Log.size(), 1u);
}

// A save ended between writing and renaming (the process killed) leaves
// the old file whole and a temporary file beside it, which the next start
// removes; other files' temporaries, other names and a save still running
// stay.
TEST(WindowSettingsLeftoversTest, TheNextStartRemovesTheTemporaryFilesOfKilledSaves) {
    TWindowHarness h;
    h.WriteSettings({{"DISKS", "CpmSourceFile", "kept.hex"}});
    auto names = [&h] {
        std::set<std::string> all;
        for (const auto& entry : std::filesystem::directory_iterator(h.Temp.Path()))
            all.insert(entry.path().filename().string());
        return all;
    };
    auto killedSave = [](const std::string& file) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TReplacementFile replacement(file);
            replacement.Write("half a file");
            ::_exit(0);  // no destructor: as if killed before the rename
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    const std::set<std::string> before = names();
    const std::string keyMap = h.Temp.Folder() + ProgramName() + ".kmap";
    for (const std::string& file : {h.SettingsFile(), h.SettingsFile(), keyMap}) ASSERT_TRUE(killedSave(file));
    std::set<std::string> leftovers;
    std::ranges::set_difference(names(), before, std::inserter(leftovers, leftovers.end()));
    ASSERT_EQ(leftovers.size(), 3u);

    WriteFile(h.Temp.File("a.dsk"), "image");
    ASSERT_TRUE(killedSave(h.Temp.File("a.dsk")));
    TReplacementFile running(h.SettingsFile());
    running.Write("still being written");
    for (const char* other : {".tavrin-notes.tmp", "tavrin.config.tmp", ".tavrin.config.x-1-2.tmp"})
        WriteFile(h.Temp.File(other), "not ours");
    std::set<std::string> kept;
    std::ranges::set_difference(names(), leftovers, std::inserter(kept, kept.end()));

    TMainHalvoret& w = h.Open();
    w.FormActivate();
    EXPECT_EQ(w.Ui().DisksPage->C_CpmSourceFile->text().toStdString(), "kept.hex") << "the old file was whole";
    const std::set<std::string> after = names();
    for (const std::string& name : leftovers) EXPECT_FALSE(after.count(name)) << name;
    for (const std::string& name : kept) EXPECT_TRUE(after.count(name)) << name;
    running.Commit();
    EXPECT_EQ(ReadFile(h.SettingsFile()), "still being written");
    EXPECT_TRUE(h.Prompts.Log.empty()) << h.Prompts.LastText();
}

}  // namespace
