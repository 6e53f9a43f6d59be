// The settings file end to end: a fresh window writes the keys and sections
// in the fixed order (against a golden file), every control changed through
// the widgets of every page comes back after a restart in the same program
// folder, and a failing enable while loading stops nothing after it.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "console/TTYDisplayOptionsDlg.h"
#include "net/ComRxGlue.h"
#include "support/ComRxTestSupport.h"
#include "ui/ComSettingsPanel.h"
#include "ui/CpuPage.h"
#include "ui/DeviceFilePanels.h"
#include "ui/DeviceMappingPanel.h"
#include "ui/DisksPage.h"
#include "ui/PortsPage.h"
#include "ui/PrinterPanel.h"
#include "ui/RemoteDiskPanel.h"
#include "ui/Rspin.h"
#include "platform/ProgramFolder.h"
#include "WindowTestSupport.h"

#include <regex>
#include <set>

using namespace tavrin::test;

namespace {

// The values that depend on the screen and the host's printers.
std::string MaskHostValues(const std::string& text)
{
    static const std::regex host("(DSP_HEIGHT|DSP_WIDTH|PrinterName)=[^\r]*");
    return std::regex_replace(text, host, "$1=*");
}

uint16_t FreeUdpPort()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::close(fd);
    return ntohs(a.sin_port);
}

// With no file the form's values stay, and closing writes them all.
TEST(SettingsFileTest, AFreshWindowWritesEveryKeyInOrder)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    ASSERT_TRUE(w.close());
    const std::string golden = ReadFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/app/data/first-run.config");
    EXPECT_EQ(MaskHostValues(ReadFile(w.SettingsFileName())), golden);
}

struct SettingsRestart : ::testing::Test {
    TWindowHarness H;
    std::shared_ptr<TFakeComDevice::TState> Com2Device;

    TMainHalvoret& Start()
    {
        TMainHalvoret& w = H.Open();
        w.ComLines().ComRx2.DeviceOpener = TFakeComDevice::Opener(Com2Device);
        w.FormActivate();
        return w;
    }

    // A value other than the first-run one for every key but the window's
    // placement, the printer's name (the host decides), COM1's enable (a
    // real port) and the end-of-stream choices not taken.
    void ChangeEverything(TMainHalvoret& w)
    {
        w.CpuPage->HexMemoryDisplayAct->trigger();
        w.CrtAnsiAct->trigger();
        w.Crt132Act->trigger();
        w.TTY132Act->trigger();
        H.Prompts.FontAnswers = {TFontChoice{"DejaVu Sans Mono", 11, false, false},
                                 TFontChoice{"DejaVu Sans Mono", 12, false, false}};
        w.SetCrtFont->trigger();
        w.SetTttyFont->trigger();
        H.Prompts.ColorAnswers = {0x0000FFu, 0x00FF00u, 0xFF0000u};
        TTTYDisplaySettingsDlg* dlg = w.TTYDisplaySettingsDlg;
        QTimer::singleShot(0, dlg, [dlg] {
            dlg->BGColorBtn->click();
            dlg->FontColorBtn->click();
            dlg->CursorColorBtn->click();
            dlg->DisplayRowsSpin->setValue(30);
            dlg->OkBtn->click();
        });
        w.TTYDisplaySettingsAct->trigger();
        w.DisksPage->C_CpmSourceFile->setText("mycpm.hex");
        w.DisksPage->C_BiosSourceFile->setText("mybios.hex");

        w.DeviceMappingPanel->C_CpmPunchPortId->setCurrentIndex(2);
        w.DeviceMappingPanel->SetDefaultMappingsBtn->click();

        for (TComSettingsPanel* com : {w.PortsPage->Com1Panel, w.PortsPage->Com2Panel}) {
            com->TwoStopBitsBtn->click();
            com->HandShake->click();
            com->PortNumber->setValue(com->PortNumber->value() + 4);
            com->BaudList->setCurrentIndex(2);
            com->FormatList->setCurrentIndex(1);
        }
        w.PortsPage->Com1Panel->UseTCP->click();
        w.PortsPage->Com1Panel->TCPPort->setText("4321");
        emit w.PortsPage->Com1Panel->TCPPort->textEdited("4321");
        w.PortsPage->Com2Panel->EnableBtn->click();

        TPrinterPanel& p = *w.PrinterPanel;
        p.LandscapeBtn->click();
        p.C_TabSpacingEdit->setValue(4);
        p.C_TopBottomMarginEdit->SetValue(0.5);
        p.C_LeftRightMarginEdit->SetValue(0.75);
        p.C_LineSpacingEdit->SetValue(1.5);
        for (QCheckBox* box : {p.C_IgnoreFormFeedsBtn, p.C_AutoLineWrapBtn, p.C_EosEjectsPrinterBtn})
            box->click();
        p.C_EnablePrinterBtn->click();

        WriteFile(H.Temp.File("in.txt"), "reader");
        TInputFilePanel& in = *w.InputFilePanel;
        in.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("in.txt")));
        in.C_InFileEosRestart->click();
        in.C_InFileChangeConList->setCurrentIndex(3);
        in.C_EnableInputFileBtn->click();
        TOutputFilePanel& out = *w.OutputFilePanel;
        out.C_OutputFileNameEdit->setText(QString::fromStdString(H.Temp.File("out.txt")));
        out.C_AppendOutputFileBtn->click();
        out.EnableOutputFileBtn->click();

        w.RemoteDiskPanel->C_DiskServerPort->setText(QString::number(FreeUdpPort()));
        w.RemoteDiskPanel->C_UseRemoteDiskAutoUnMount->click();
        w.RemoteDiskPanel->ActivateRemoteDiskServerAct->trigger();
    }
};

TEST_F(SettingsRestart, EveryChangedControlComesBack)
{
    TMainHalvoret& first = Start();
    ChangeEverything(first);
    ASSERT_TRUE(first.PrinterEnableAct->isChecked());
    ASSERT_TRUE(first.EnableInputFileAct->isChecked());
    ASSERT_TRUE(first.ComLines().ComRx2.Active());
    ASSERT_TRUE(first.close());
    const std::string saved = ReadFile(first.SettingsFileName());

    TNrKeyValueSections firstRun;
    firstRun.SetText(ReadFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/app/data/first-run.config"));
    TNrKeyValueSections changed;
    changed.SetText(saved);
    const std::set<std::string> unchanged = {"DSP_TOP", "DSP_LEFT", "DSP_HEIGHT", "DSP_WIDTH", "PrinterName",
                                             "Com1Enable", "InFileEosDone",
                                             "InFileEosReturnEOS", "InFileEosSwitchCon"};
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
    EXPECT_NE(second.Printer(), nullptr);
    EXPECT_EQ(second.Printer()->TabSpacing(), 4) << "the device took the loaded values";
    EXPECT_TRUE(second.Machine().ReaderOpen());
    EXPECT_TRUE(second.Machine().PunchOpen());
    EXPECT_TRUE(second.ComLines().ComRx2.Active()) << "COM2 opened after its other keys";
    EXPECT_TRUE(second.RemoteDiskPanel->ActivateRemoteDiskServerAct->isChecked());
    EXPECT_EQ(second.PageControl1->currentWidget(), second.CrtPage);
    EXPECT_EQ(second.SimpleTerminal1->Columns(), 132);
    ASSERT_TRUE(second.close());
    EXPECT_EQ(ReadFile(second.SettingsFileName()), saved);
}

TEST_F(SettingsRestart, AFailingEnableIsReportedAndLoadingGoesOn)
{
    TNrKeyValueSections store;
    store.WriteString("PORT_DEVICE_FILE_IN", "InputFileName", H.Temp.File("gone.txt"));
    store.WriteBool("PORT_DEVICE_FILE_IN", "EnableInputFile", true);
    store.WriteString("PORT_DEVICE_FILE_OUT", "OutputFileName", H.Temp.File("out.txt"));
    store.WriteBool("PORT_DEVICE_FILE_OUT", "EnableOutputFile", true);
    store.WriteString("DISK SERVER", "DiskServerPort", "1234");
    store.WriteInteger("MAIN", "DSP_TOP", 100);
    store.WriteInteger("MAIN", "DSP_LEFT", 50);
    store.WriteInteger("MAIN", "DSP_WIDTH", 700);  // room on the screen to the right
    store.SaveToFile(H.Temp.Folder() + ProgramName() + ".config");
    TMainHalvoret& w = Start();
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"Unable to open the input file \"" +
                                                             H.Temp.File("gone.txt") + "\"."}));
    EXPECT_FALSE(w.EnableInputFileAct->isChecked());
    EXPECT_TRUE(w.Machine().PunchOpen()) << "the keys after the failure still apply";
    EXPECT_EQ(w.RemoteDiskPanel->C_DiskServerPort->text().toStdString(), "1234");
    EXPECT_EQ(w.pos(), QPoint(50, 100)) << "a position placed by hand";
    ASSERT_TRUE(w.close());
    EXPECT_NE(ReadFile(w.SettingsFileName()).find("DSP_TOP=-1\r\nDSP_LEFT=-1\r\n"), std::string::npos);
}

} // namespace
