// The main window's printer, lamps, CPU page and register dialog, end to
// end and offscreen: a Z80 program prints through LST into a PDF that
// pdftotext reads back.

#include <gtest/gtest.h>

#include <QAction>
#include <QTabWidget>
#include <QTest>

#include "console/QtPrintTarget.h"
#include "disk/DiskDrive.h"
#include "console/SimpleTerminal.h"
#include "support/PdfText.h"
#include "support/TerminalText.h"
#include "ui/CpuPage.h"
#include "ui/CpuRegistersDlg.h"
#include "ui/DisksPage.h"
#include "ui/MemoryGridModel.h"
#include "ui/QnStatLt.h"
#include "WindowTestSupport.h"

#include <chrono>
#include <filesystem>

using namespace tavrin::test;

namespace {

// 8000h: LD HL,text; loop: LD A,(HL); OR A; JR Z,done; OUT (19h),A;
// INC HL; JR loop; done: HALT. The text follows at 8010h.
void LoadPrintProgram(TTavrinMachine& m, const std::string& text)
{
    const std::string program =
        std::string("\x21\x10\x80\x7E\xB7\x28\x05\xD3\x19\x23\x18\xF7\x76\0\0\0", 16) + text + '\0';
    LoadProgram(m, 0x8000, std::vector<uint8_t>(program.begin(), program.end()));
}

struct PrinterWindow : ::testing::Test {
    TWindowHarness H{false};
    TMainHalvoret* W = nullptr;
    std::string Pdf;

    void SetUp() override
    {
        W = &H.Open();
        W->PrinterObject().SelectPdf();
        Pdf = H.Temp.File("LstPrinter.pdf");
    }
    void RunOneBurst()
    {
        if (!W->RunCpuAct->isChecked())
            W->RunCpuAct->trigger();
        W->ApplicationEvents1Idle();
        if (W->RunCpuAct->isChecked())
            W->RunCpuAct->trigger();
    }
};

TEST_F(PrinterWindow, AZ80ProgramPrintsTwoPagesIntoAPdf)
{
    W->PrinterEnableAct->trigger();
    ASSERT_NE(W->Printer(), nullptr);
    LoadPrintProgram(W->Machine(), "Invoice 1\r\nTotal 42\r\n\fSecond sheet\r\n");
    RunOneBurst();

    const std::string status = W->Machine().FSysChannel.RunCommand("PRINT");
    EXPECT_NE(status.find("Selected Printer: \"PDF File\""), std::string::npos) << status;
    EXPECT_NE(status.find("Printer is active, 2 pages in the current print job."), std::string::npos) << status;
    W->UpdateAllActions();
    EXPECT_TRUE(W->PrinterEjectAct->isEnabled());
    EXPECT_FALSE(W->PrinterEnableAct->isEnabled()) << "locked while printing";

    W->Machine().FSysChannel.RunCommand("PRINT EJECT");
    std::vector<std::string> pages = PdfPages(Pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("Invoice 1"), std::string::npos);
    EXPECT_NE(pages[0].find("Total 42"), std::string::npos);
    EXPECT_NE(pages[1].find("Second sheet"), std::string::npos);
    EXPECT_EQ(pages[1].find("Invoice"), std::string::npos);
    EXPECT_TRUE(H.Prompts.Log.empty());
}

TEST_F(PrinterWindow, ActionsFollowTheDevice)
{
    W->UpdateAllActions();
    EXPECT_TRUE(W->PrinterEnableAct->isEnabled());
    EXPECT_FALSE(W->PrinterEjectAct->isEnabled());
    EXPECT_FALSE(W->PrinterAbortAct->isEnabled());
    W->PrinterEjectActExecute();  // no device: nothing happens
    W->PrinterAbortActExecute();
    EXPECT_NE(W->Machine().FSysChannel.RunCommand("PRINT EJECT").find("Printer is not enabled."), std::string::npos);

    W->PrinterSetup.AutoLineWrap = false;
    W->PrinterSetup.TabSpacing = 40;
    W->PrinterEnableAct->trigger();
    EXPECT_FALSE(W->Printer()->AutoLineWrap);
    EXPECT_EQ(W->Printer()->TabSpacing(), 16);
    W->PrinterSetup.CtrlZEndsJob = false;
    W->PrinterOptionsChanged();
    EXPECT_FALSE(W->Printer()->CtrlZEndsJob);

    // Abort discards the job; then the device can be disabled.
    LoadPrintProgram(W->Machine(), "thrown away");
    RunOneBurst();
    W->UpdateAllActions();
    ASSERT_TRUE(W->PrinterAbortAct->isEnabled());
    W->PrinterAbortAct->trigger();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    W->UpdateAllActions();
    W->PrinterEnableAct->trigger();
    EXPECT_EQ(W->Printer(), nullptr);
    EXPECT_EQ(W->Machine().Printer, nullptr);
}

TEST_F(PrinterWindow, ClosingPrintsTheRunningJob)
{
    W->PrinterEnableAct->trigger();
    LoadPrintProgram(W->Machine(), "kept at close");
    RunOneBurst();
    H.Window.reset();
    EXPECT_NE(PdfPages(Pdf).at(0).find("kept at close"), std::string::npos);
}

TEST_F(PrinterWindow, PrinterErrorStopsTheRunAndIsReportedOnce)
{
    W->PrinterObject().SetPdfFileName(H.Temp.File("no/such/folder/lst.pdf"));
    W->PrinterEnableAct->trigger();
    LoadPrintProgram(W->Machine(), "lost");
    W->RunCpuAct->trigger();
    for (int i = 0; i < 3; ++i)
        W->ApplicationEvents1Idle();
    EXPECT_FALSE(W->RunCpuAct->isChecked());
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"The printer could not start the print job."}));
}

TEST(MainWindowLamps, ShowMountedEmptyAndActivity)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.ResetCPMAct->trigger();
    h.RunUntilCrt("A>", 50);
    const TQnStatusLight& a = *w.DisksPage->DiskLights[0];
    const TQnStatusLight& b = *w.DisksPage->DiskLights[1];
    EXPECT_EQ(a.NotLitColor(), LampMountedColor);
    EXPECT_TRUE(a.LitColor() == LampReadColor || a.LitColor() == LampWriteColor);
    EXPECT_EQ(b.NotLitColor(), LampEmptyColor);
    EXPECT_FALSE(b.Lit());
    // Only a drive that holds a disk is read (and lights).
    TDiskDrive::FormatDiskImage(h.Temp.File("B.cpmdsk"));
    w.Machine().MountDrive(1, h.Temp.File("B.cpmdsk"));
    w.Machine().DiskReadLight(*w.Machine().FDiskController, 1);
    EXPECT_TRUE(b.Lit());
    EXPECT_EQ(b.LitColor(), LampReadColor);
    w.Machine().DiskLightsOff(*w.Machine().FDiskController);
    EXPECT_FALSE(b.Lit());
}

// Row r of the CPU page's register panel from column 1.
std::string PanelRow(TMainHalvoret& w, int row)
{
    return TerminalRow(*w.CpuPage->SimpleTerminal2, row, 1);
}

TEST(MainWindowCpuPage, RunningRefreshIsRateLimitedAndCatchesUp)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.PageControl1->setCurrentWidget(w.CpuPage);
    int displays = 0;
    w.OnUpdateCpuDisplay = [&](TMainHalvoret&) { ++displays; };
    // 8000h: INC HL; JP 8000h
    LoadProgram(w.Machine(), 0x8000, {0x23, 0xC3, 0x00, 0x80});
    w.RunCpuAct->trigger();
    const auto start = std::chrono::steady_clock::now();
    int bursts = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300)) {
        w.ApplicationEvents1Idle();
        ++bursts;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    w.RunCpuAct->trigger();
    EXPECT_GE(displays, 1);
    EXPECT_LE(displays, elapsed.count() / 100 + 1) << bursts << " bursts";

    QTest::qWait(400);  // the owed refresh, within two ticks
    const TCpuEmu& cpu = w.Machine().CpuEmu1;
    char hl[16];
    std::snprintf(hl, sizeof hl, "HL : %02X %02X", cpu.RegisterH(), cpu.RegisterL());
    EXPECT_EQ(PanelRow(w, 7), hl);
}

TEST(MainWindowCpuPage, RegisterDialogEditsRefreshThePage)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.Machine().CpuEmu1.WriteMemoryByte(0xFF00, 0x76);  // HALT
    w.Machine().CpuEmu1.Reset(0x0000);
    w.CpuPage->ShowCPUWindowAct->trigger();
    ASSERT_TRUE(w.Z80RegistersDlg->isVisible());
    EXPECT_EQ(w.Z80RegistersDlg->Cpu(), &w.Machine().CpuEmu1);
    TRegisterGridModel& model = *w.Z80RegistersDlg->Model();
    model.setData(model.index(0, 0), "FF", Qt::EditRole);
    EXPECT_EQ(PanelRow(w, 1), "PC : FF 00");
    EXPECT_EQ(PanelRow(w, 17), "FF00 HALT");
    w.Z80RegistersDlg->hide();
}

TEST(MainWindowCpuPage, HexDisplayIsSavedAndRestored)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.CpuPage->HexMemoryDisplayAct->trigger();
    TNrKeyValueSections store;
    w.SaveSettings(store);
    EXPECT_FALSE(store.ReadBool("CPU", "HexMemoryDisplay", true));
    store.WriteBool("CPU", "HexMemoryDisplay", true);
    w.LoadSettings(store);
    EXPECT_TRUE(w.CpuPage->HexMemoryDisplayAct->isChecked());
    EXPECT_EQ(w.CpuPage->MemoryModel->CornerText().toStdString(), "Hex");
}

} // namespace
