// The Ports page offscreen: the reader and punch files with their warnings,
// and the mapping lists reaching 0003h.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "ui/DeviceFilePanels.h"
#include "ui/DeviceMappingPanel.h"
#include "ui/PortsPage.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

struct PortsWindow : WindowTest {
    uint8_t Port(uint16_t port)
    {
        uint8_t value = 0xEE;
        W->Machine().CpuPortRead(W->Machine().CpuEmu1, port, value);
        return value;
    }
};

TEST_F(PortsWindow, BrowseButtonsFillTheNameOnlyWhenConfirmed)
{
    H.Prompts.FileAnswers = {std::nullopt, std::string("/tmp/reader.txt"), std::string("/tmp/punch.txt")};
    W->InputFilePanel->InputFileBrowseBtn->click();
    EXPECT_TRUE(W->InputFilePanel->C_InputFileNameEdit->text().isEmpty());
    W->InputFilePanel->InputFileBrowseBtn->click();
    W->OutputFilePanel->OutputFileBrowseBtn->click();
    EXPECT_EQ(W->InputFilePanel->C_InputFileNameEdit->text().toStdString(), "/tmp/reader.txt");
    EXPECT_EQ(W->OutputFilePanel->C_OutputFileNameEdit->text().toStdString(), "/tmp/punch.txt");
    EXPECT_EQ(H.Prompts.Log.at(2).Text, "Select Output File Name");
}

TEST_F(PortsWindow, ThePunchFileAppendsOrTruncatesAsTicked)
{
    const std::string path = H.Temp.File("punch.txt");
    W->OutputFilePanel->C_OutputFileNameEdit->setText(QString::fromStdString(path));
    for (auto [append, expected] : {std::pair{true, "oldN"}, std::pair{false, "N"}}) {
        SCOPED_TRACE(append);
        WriteFile(path, "old");
        W->OutputFilePanel->C_AppendOutputFileBtn->setChecked(append);
        W->OutputFilePanel->EnableOutputFileBtn->click();
        ASSERT_TRUE(W->EnableOutputFileAct->isChecked());
        EXPECT_EQ(Port(0x1C), 0x04);
        W->Machine().CpuPortWrite(W->Machine().CpuEmu1, 0x1D, 'N');
        W->EnableOutputFileAct->trigger();
        EXPECT_FALSE(W->Machine().PunchOpen());
        EXPECT_FALSE(W->OutputFilePanel->EnableOutputFileBtn->isChecked());
        EXPECT_EQ(ReadFile(path), expected);
    }
}

TEST_F(PortsWindow, AFileThatCannotOpenWarnsAndStaysUnchecked)
{
    struct TCase {
        bool Input;
        const char* Name;
        const char* Warning;
    };
    for (TCase c : {TCase{true, "", "Unable to open the input file"},
                    TCase{true, "missing.txt", "Unable to open the input file"},
                    TCase{false, "no/such/folder/out.txt", "Unable to open the output file"}}) {
        SCOPED_TRACE(c.Name);
        QAction* action = c.Input ? W->EnableInputFileAct : W->EnableOutputFileAct;
        QLineEdit* edit = c.Input ? W->InputFilePanel->C_InputFileNameEdit : W->OutputFilePanel->C_OutputFileNameEdit;
        const std::string name = *c.Name ? H.Temp.File(c.Name) : std::string();
        edit->setText(QString::fromStdString(name));
        const size_t shown = H.Prompts.Log.size();
        action->trigger();
        EXPECT_FALSE(action->isChecked());
        ASSERT_EQ(H.Prompts.Log.size(), shown + 1);
        EXPECT_EQ(H.Prompts.Log.back().Type, TMsgDlgType::Warning);
        EXPECT_EQ(H.Prompts.LastText(), std::string(c.Warning) + " \"" + name + "\".");
    }
}

TEST_F(PortsWindow, ANewInputFileStartsWithNoBytesOfTheOldOne)
{
    WriteFile(H.Temp.File("one.txt"), "ABC");
    WriteFile(H.Temp.File("two.txt"), "XYZ");
    TInputFilePanel& p = *W->InputFilePanel;
    p.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("one.txt")));
    p.C_EnableInputFileBtn->click();
    ASSERT_TRUE(p.C_EnableInputFileBtn->isChecked());
    EXPECT_EQ(Port(0x1B), 'A');
    p.C_EnableInputFileBtn->click();
    EXPECT_EQ(Port(0x1A), 0x00) << "nothing left to read once disabled";
    p.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("two.txt")));
    p.C_EnableInputFileBtn->click();
    EXPECT_EQ(Port(0x1B), 'X');
}

TEST_F(PortsWindow, MappingListsReachTheIOByteOnlyAfterBoot)
{
    TTavrinMachine& m = W->Machine();
    TDeviceMappingPanel& p = *W->DeviceMappingPanel;
    m.CpuEmu1.WriteMemoryByte(0x0003, 0x77);
    p.C_CpmListPortId->setCurrentIndex(2);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x77) << "before boot nothing is written";
    p.SetDefaultMappingsBtn->click();
    EXPECT_EQ(m.FMapping.FColdBootMapping, 0x81);
    EXPECT_EQ(p.ConLstDeviceLabel->text().toStdString(), "CON=CRT, LST=LPT");
    EXPECT_EQ(p.PtrPtpDeviceLabel->text().toStdString(), "RDR=TTY, PUN=TTY");

    W->ResetCPMAct->trigger();
    ASSERT_TRUE(W->Booted()) << H.Prompts.LastText();
    if (W->RunCpuAct->isChecked())
        W->RunCpuAct->trigger();
    p.C_CpmConsolePortId->setCurrentIndex(0);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x80);
    p.UseDefaultDeviceMappings->click();
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x81);
    EXPECT_EQ(p.C_CpmConsolePortId->currentIndex(), 1);

    // A CP/M program changes the IOBYTE; the page shows it when it opens.
    m.CpuEmu1.WriteMemoryByte(0x0003, 0x06);
    W->PageControl1->setCurrentWidget(W->PortsPage);
    EXPECT_EQ(p.C_CpmConsolePortId->currentIndex(), 2);
    EXPECT_EQ(p.C_CpmReaderPortId->currentIndex(), 1);
    EXPECT_EQ(p.C_CpmListPortId->currentIndex(), 0);
}

} // namespace
