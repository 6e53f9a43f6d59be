// The Ports page offscreen: the reader and punch files with their warnings,
// the mapping lists reaching 0003h, and the printer: a Z80 program prints
// through LST into a PDF that pdftotext reads back, and the printer panel
// feeds the device and is locked while it exists.

#include <QFontInfo>
#include <QGroupBox>

#include <filesystem>

#include "console/QtPrintTarget.h"
#include "support/PdfText.h"
#include "ui/DiskManagerPage.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

TEST_F(WindowTest, BrowseButtonsFillTheNameOnlyWhenConfirmed) {
    H.Prompts.FileAnswers = {std::nullopt, std::string("/tmp/reader.txt"), std::string("/tmp/punch.txt")};
    W->Ui().InputFilePanel->InputFileBrowseBtn->click();
    EXPECT_TRUE(W->Ui().InputFilePanel->C_InputFileNameEdit->text().isEmpty());
    W->Ui().InputFilePanel->InputFileBrowseBtn->click();
    W->Ui().OutputFilePanel->OutputFileBrowseBtn->click();
    EXPECT_EQ(W->Ui().InputFilePanel->C_InputFileNameEdit->text().toStdString(), "/tmp/reader.txt");
    EXPECT_EQ(W->Ui().OutputFilePanel->C_OutputFileNameEdit->text().toStdString(), "/tmp/punch.txt");
    EXPECT_EQ(H.Prompts.Log.at(2).Text, "Select Output File Name");
}

// Without "Append" the old contents go only when a byte is written, so
// enabling the file (as loading the settings at start-up does) and closing
// it again loses nothing.
TEST_F(WindowTest, ThePunchFileAppendsOrTruncatesAsTicked) {
    const std::string path = H.Temp.File("punch.txt");
    W->Ui().OutputFilePanel->C_OutputFileNameEdit->setText(QString::fromStdString(path));
    struct Row {
        bool Append;
        const char* Written;
        const char* Expected;
    };
    for (const Row& r : {Row{true, "N", "oldN"}, Row{false, "N", "N"}, Row{false, "NO", "NO"}, Row{false, "", "old"},
                         Row{true, "", "old"}}) {
        SCOPED_TRACE(std::string(r.Append ? "append " : "") + r.Written);
        WriteFile(path, "old");
        W->Ui().OutputFilePanel->C_AppendOutputFileBtn->setChecked(r.Append);
        W->Ui().OutputFilePanel->EnableOutputFileBtn->click();
        ASSERT_TRUE(W->Ui().EnableOutputFileAct->isChecked());
        EXPECT_EQ(InPort(W->Machine(), 0x1C), 0x04);
        PortOut(*W, 0x1D, r.Written);
        W->Ui().EnableOutputFileAct->trigger();
        EXPECT_FALSE(W->Machine().PunchOpen());
        EXPECT_FALSE(W->Ui().OutputFilePanel->EnableOutputFileBtn->isChecked());
        EXPECT_EQ(ReadFile(path), r.Expected);
    }
}

TEST_F(WindowTest, AFileThatCannotOpenWarnsAndStaysUnchecked) {
    for (auto [input, file, warning] : {std::tuple{true, "", "Unable to open the input file"},
                                        std::tuple{false, "no/dir/out.txt", "Unable to open the output file"}}) {
        SCOPED_TRACE(file);
        QAction* action = input ? W->Ui().EnableInputFileAct : W->Ui().EnableOutputFileAct;
        QLineEdit* edit =
            input ? W->Ui().InputFilePanel->C_InputFileNameEdit : W->Ui().OutputFilePanel->C_OutputFileNameEdit;
        const std::string name = *file ? H.Temp.File(file) : std::string();
        edit->setText(QString::fromStdString(name));
        const size_t shown = H.Prompts.Log.size();
        action->trigger();
        EXPECT_FALSE(action->isChecked());
        ASSERT_EQ(H.Prompts.Log.size(), shown + 1);
        EXPECT_EQ(H.Prompts.Log.back().Type, TMsgDlgType::Warning);
        EXPECT_EQ(H.Prompts.LastText(), std::string(warning) + " \"" + name + "\".");
    }
}

// Names the input or output file and turns it on; its Enable action.
QAction* TurnDeviceFileOn(TMainHalvoret& w, bool input, const std::string& name) {
    QAction* action = input ? w.Ui().EnableInputFileAct : w.Ui().EnableOutputFileAct;
    QLineEdit* edit = input ? w.Ui().InputFilePanel->C_InputFileNameEdit : w.Ui().OutputFilePanel->C_OutputFileNameEdit;
    edit->setText(QString::fromStdString(name));
    action->trigger();
    return action;
}

// A disk image the program uses is no reader or punch file, by any name or
// link: the punch would empty it, even under a running CP/M.
TEST_F(WindowTest, ADiskImageInUseIsRefusedAsInputOrOutputFile) {
    const std::string driveA = W->Machine().DrivePath(0);
    const std::string mounted = H.Temp.File("WORK.cpmdsk");
    const std::string managed = H.Temp.File("MANAGED.cpmdsk");
    const std::string remote = H.Temp.File("REMOTE.cpmdsk");
    for (const std::string& image : {driveA, mounted, managed, remote}) TDiskDrive::FormatDiskImage(image);
    const std::string link = H.Temp.File("link.txt");
    std::filesystem::create_symlink(driveA, link);
    W->Machine().MountDrive(2, mounted);
    H.Prompts.FileAnswers = {managed};
    W->Ui().DiskManagerPage->DM_SelectDiskFileAct->trigger();
    const auto remoteImage = TImageRegistry::IdentityOfPath(remote);
    ASSERT_TRUE(remoteImage);
    const auto held = TImageRegistry::Instance().Register(*remoteImage, TImageRole::RemoteReader, nullptr, remote);
    const std::string formatted = ReadFile(driveA);

    const std::pair<const char*, std::string> images[] = {{"drive A's, before boot", driveA},
                                                          {"drive A's by a link", link},
                                                          {"a mounted drive's", mounted},
                                                          {"the Disk Manager's", managed},
                                                          {"a remote client's", remote}};
    for (const auto& [row, image] : images) {
        for (const bool input : {true, false}) {
            SCOPED_TRACE(std::string(row) + (input ? ", input" : ", output"));
            const QAction* action = TurnDeviceFileOn(*W, input, image);
            EXPECT_FALSE(action->isChecked());
            EXPECT_FALSE(input ? W->Machine().ReaderOpen() : W->Machine().PunchOpen());
            EXPECT_EQ(H.Prompts.LastText(), std::string("The ") + (input ? "input" : "output") + " file \"" + image +
                                                "\" is a disk image in use!");
            EXPECT_EQ(ReadFile(image), formatted) << "the image keeps its bytes";
        }
    }
}

// The other way round: an image turned on as the input or output file
// first is no disk for the Disk Manager, so nothing it imports meets the
// punch's first byte; turned off, the image is a disk again.
TEST_F(WindowTest, TheDiskManagerRefusesTheInputOrOutputFilesImage) {
    const std::string image = H.Temp.File("P2.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    const std::string formatted = ReadFile(image);
    TDiskManagerPage& manager = *W->Ui().DiskManagerPage;
    for (const bool input : {true, false}) {
        SCOPED_TRACE(input ? "input" : "output");
        QAction* action = TurnDeviceFileOn(*W, input, image);
        ASSERT_TRUE(action->isChecked());
        H.Prompts.FileAnswers = {image};
        manager.DM_SelectDiskFileAct->trigger();
        EXPECT_EQ(H.Prompts.LastText(), "Disk is in use!");
        EXPECT_TRUE(manager.ManagerDiskFile().empty());
        EXPECT_EQ(manager.DiskFileList->count(), 0);
        EXPECT_EQ(ReadFile(image), formatted);

        action->trigger();
        H.Prompts.FileAnswers = {image};
        manager.DM_SelectDiskFileAct->trigger();
        EXPECT_EQ(manager.ManagerDiskFile(), image);
        manager.DM_EjectDiskAct->trigger();
    }
}

TEST_F(WindowTest, ANewInputFileStartsWithNoBytesOfTheOldOne) {
    WriteFile(H.Temp.File("one.txt"), "ABC");
    WriteFile(H.Temp.File("two.txt"), "XYZ");
    TInputFilePanel& p = *W->Ui().InputFilePanel;
    p.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("one.txt")));
    p.C_EnableInputFileBtn->click();
    ASSERT_TRUE(p.C_EnableInputFileBtn->isChecked());
    EXPECT_EQ(InPort(W->Machine(), 0x1B), 'A');
    p.C_EnableInputFileBtn->click();
    EXPECT_EQ(InPort(W->Machine(), 0x1A), 0x00) << "nothing left to read once disabled";
    p.C_InputFileNameEdit->setText(QString::fromStdString(H.Temp.File("two.txt")));
    p.C_EnableInputFileBtn->click();
    EXPECT_EQ(InPort(W->Machine(), 0x1B), 'X');
}

TEST_F(WindowTest, MappingListsReachTheIOByteOnlyAfterBoot) {
    TTavrinMachine& m = W->Machine();
    TDeviceMappingPanel& p = *W->Ui().DeviceMappingPanel;
    m.Cpu().WriteMemoryByte(0x0003, 0x77);
    p.C_CpmListPortId->setCurrentIndex(2);
    EXPECT_EQ(m.Cpu().ReadMemoryByte(0x0003), 0x77) << "before boot nothing is written";
    p.SetDefaultMappingsBtn->click();
    EXPECT_EQ(m.Mapping().ColdBootMapping(), 0x81);
    EXPECT_EQ(p.ConLstDeviceLabel->text().toStdString(), "CON=CRT, LST=LPT");
    EXPECT_EQ(p.PtrPtpDeviceLabel->text().toStdString(), "RDR=TTY, PUN=TTY");

    W->Ui().ResetCPMAct->trigger();
    ASSERT_TRUE(W->Booted()) << H.Prompts.LastText();
    if (W->Ui().RunCpuAct->isChecked()) W->Ui().RunCpuAct->trigger();
    p.C_CpmConsolePortId->setCurrentIndex(0);
    EXPECT_EQ(m.Cpu().ReadMemoryByte(0x0003), 0x80);
    p.UseDefaultDeviceMappings->click();
    EXPECT_EQ(m.Cpu().ReadMemoryByte(0x0003), 0x81);
    EXPECT_EQ(p.C_CpmConsolePortId->currentIndex(), 1);

    // A CP/M program changes the IOBYTE; the page shows it when it opens.
    m.Cpu().WriteMemoryByte(0x0003, 0x06);
    W->Ui().PageControl1->setCurrentWidget(W->Ui().PortsPage);
    EXPECT_EQ(p.C_CpmConsolePortId->currentIndex(), 2);
    EXPECT_EQ(p.C_CpmReaderPortId->currentIndex(), 1);
    EXPECT_EQ(p.C_CpmListPortId->currentIndex(), 0);
}

struct PrinterWindow : WindowTest {
    std::string Pdf = H.Temp.File("LstPrinter.pdf");

    void SetUp() override { W->LstPrinter().PrinterObject().SelectPdf(); }
    // 8000h: LD HL,text; loop: LD A,(HL); OR A; JR Z,done; OUT (19h),A;
    // INC HL; JR loop; done: HALT. The text follows at 8010h.
    void LoadPrint(const std::string& text) {
        const std::string program =
            std::string("\x21\x10\x80\x7E\xB7\x28\x05\xD3\x19\x23\x18\xF7\x76\0\0\0", 16) + text + '\0';
        LoadProgram(W->Machine(), 0x8000, std::vector<uint8_t>(program.begin(), program.end()));
        W->Ui().RunCpuAct->trigger();
    }
    void PrintOneBurst(const std::string& text) {
        LoadPrint(text);
        W->ApplicationEvents1Idle();
        if (W->Ui().RunCpuAct->isChecked()) W->Ui().RunCpuAct->trigger();
    }
};

TEST_F(PrinterWindow, AZ80ProgramPrintsTwoPagesIntoAPdf) {
    W->Ui().PrinterEnableAct->trigger();
    ASSERT_NE(W->LstPrinter().Device(), nullptr);
    PrintOneBurst("Invoice 1\r\nTotal 42\r\n\fSecond sheet\r\n");

    const std::string status = RunTranscript(W->Machine(), "PRINT").Reply;
    EXPECT_NE(status.find("Selected Printer: \"PDF File\""), std::string::npos) << status;
    EXPECT_NE(status.find("Printer is active, 2 pages in the current print job."), std::string::npos) << status;
    W->UpdateAllActions();
    EXPECT_TRUE(W->Ui().PrinterEjectAct->isEnabled());
    EXPECT_FALSE(W->Ui().PrinterEnableAct->isEnabled()) << "locked while printing";

    RunTranscript(W->Machine(), "PRINT EJECT");
    std::vector<std::string> pages = PdfPages(Pdf);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].find("Invoice 1"), std::string::npos);
    EXPECT_NE(pages[0].find("Total 42"), std::string::npos);
    EXPECT_NE(pages[1].find("Second sheet"), std::string::npos);
    EXPECT_EQ(pages[1].find("Invoice"), std::string::npos);
    EXPECT_TRUE(H.Prompts.Log.empty());
}

TEST_F(PrinterWindow, TheDeviceTakesThePanelsValuesAndLocksThem) {
    const TPrinterPanel& p = *W->Ui().PrinterPanel;
    const QWidget* locked[] = {p.C_PrintersList,        p.C_PrintOrientaion,     p.C_TabSpacingEdit,
                               p.C_TopBottomMarginEdit, p.C_LeftRightMarginEdit, p.C_LineSpacingEdit};
    W->UpdateAllActions();
    for (const QWidget* w : locked) EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(W->Ui().PrinterEjectAct->isEnabled());
    EXPECT_FALSE(W->Ui().PrinterAbortAct->isEnabled());
    W->LstPrinter().EjectJob();  // no device: nothing happens
    W->LstPrinter().AbortJob();

    p.C_TabSpacingEdit->setValue(4);
    p.C_EnablePrinterBtn->click();
    ASSERT_NE(W->LstPrinter().Device(), nullptr);
    EXPECT_EQ(W->LstPrinter().Device()->TabSpacing(), 4) << "the spin edit is read when the device is made";
    W->UpdateAllActions();
    for (const QWidget* w : locked) EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(W->Ui().PrinterSetupAct->isEnabled());
    EXPECT_FALSE(W->Ui().PrinterFontAct->isEnabled());
    p.C_AutoLineWrapBtn->click();
    EXPECT_FALSE(W->LstPrinter().Device()->AutoLineWrap) << "the option reaches the device at once";

    // Abort discards the job; then the device can be disabled.
    PrintOneBurst("thrown away");
    W->UpdateAllActions();
    ASSERT_TRUE(W->Ui().PrinterAbortAct->isEnabled());
    W->Ui().PrinterAbortAct->trigger();
    EXPECT_FALSE(std::filesystem::exists(Pdf));
    W->UpdateAllActions();
    p.C_EnablePrinterBtn->click();
    EXPECT_EQ(W->LstPrinter().Device(), nullptr);
    EXPECT_EQ(RunTranscript(W->Machine(), "PRINT EJECT").Reply, Lines({"", "Printer is not enabled."}));
    W->UpdateAllActions();
    EXPECT_TRUE(p.C_PrintersList->isEnabled());

    // With no printer selected the list stays usable to pick one, and so do
    // the actions: they ask only that the host has printers.
    W->Ui().PrinterPanel->SelectPrinterName("no such printer");
    EXPECT_FALSE(W->LstPrinter().PrinterObject().PrinterSelected());
    W->UpdateAllActions();
    EXPECT_TRUE(p.C_PrintersList->isEnabled());
    for (QAction* a : {W->Ui().PrinterSetupAct, W->Ui().PrinterFontAct, W->Ui().PrinterEnableAct})
        EXPECT_TRUE(a->isEnabled()) << "none selected: " << a->objectName().toStdString();
}

// The font dialog opens on the face that really prints the CRT's font the
// printer starts with; OK without a change keeps that font exactly, and the
// next job prints in the same face; a real choice is taken with its style.
TEST_F(PrinterWindow, TheFontDialogKeepsTheFontWhenConfirmedUnchanged) {
    TQtPrintTarget& printer = W->LstPrinter().PrinterObject();
    W->FormActivate();  // the printer takes the CRT terminal's font
    const QFont before = printer.Font();
    int jobs = 0;
    // One job into its own PDF (LstPrinter.pdf, then LstPrinter-2.pdf, ...);
    // the fonts it was printed with.
    const auto printJob = [&] {
        W->Ui().PrinterEnableAct->trigger();
        PrintOneBurst("Font check\r\n");
        RunTranscript(W->Machine(), "PRINT EJECT");
        W->UpdateAllActions();
        W->Ui().PrinterEnableAct->trigger();
        W->UpdateAllActions();
        return PdfFontNames(++jobs == 1 ? Pdf : H.Temp.File("LstPrinter-" + std::to_string(jobs) + ".pdf"));
    };
    const std::vector<std::string> printedBefore = printJob();
    ASSERT_FALSE(printedBefore.empty());

    ASSERT_TRUE(W->Ui().PrinterFontAct->isEnabled());
    W->Ui().PrinterFontAct->trigger();  // cancelled
    ASSERT_EQ(H.Prompts.FontsShown.size(), 1u);
    const TFontChoice shown = H.Prompts.FontsShown[0];
    EXPECT_EQ(shown.Family, QFontInfo(before).family().toStdString());
    EXPECT_EQ(std::tuple(shown.PointSize, shown.Bold, shown.Italic), std::tuple(before.pointSize(), false, false));

    H.Prompts.FontAnswers = {shown};
    W->Ui().PrinterFontAct->trigger();
    EXPECT_EQ(printer.Font(), before) << printer.Font().toString().toStdString();
    EXPECT_EQ(printJob(), printedBefore);

    H.Prompts.FontAnswers = {TFontChoice{shown.Family, 12, true, false}};
    W->Ui().PrinterFontAct->trigger();
    EXPECT_EQ(std::tuple(printer.Font().pointSize(), printer.Font().bold(), printer.Font().italic()),
              std::tuple(12, true, false));
    const std::vector<std::string> printedBold = printJob();
    ASSERT_EQ(printedBold.size(), 1u);
    EXPECT_THAT(printedBold[0], testing::EndsWith("-Bold"));
}

// Every value of the panel, each row at the opposite end of its range from
// the other, is the device's once it is made.
TEST_F(PrinterWindow, TheDeviceTakesEveryPanelValue) {
    TPrinterPanel& p = *W->Ui().PrinterPanel;
    const double widest = p.C_LeftRightMarginEdit->MaxValue();  // the panel stops short of the device's limit
    const TLstPrinterSetup rows[] = {
        {TTTYPrinter::MinTabSpacing, widest, TTTYPrinter::MinMargin, TTTYPrinter::MaxLineSpacing, true, false, true},
        {TTTYPrinter::MaxTabSpacing, TTTYPrinter::MinMargin, widest, TTTYPrinter::MinLineSpacing, false, true, false}};
    for (const TLstPrinterSetup& r : rows) {
        SCOPED_TRACE(r.TabSpacing);
        p.C_TabSpacingEdit->setValue(r.TabSpacing);
        p.C_TopBottomMarginEdit->SetValue(r.TopBottomMargin);
        p.C_LeftRightMarginEdit->SetValue(r.LeftRightMargin);
        p.C_LineSpacingEdit->SetValue(r.LineSpacing);
        p.C_IgnoreFormFeedsBtn->setChecked(r.IgnoreFormFeed);
        p.C_AutoLineWrapBtn->setChecked(r.AutoLineWrap);
        p.C_EosEjectsPrinterBtn->setChecked(r.CtrlZEndsJob);
        W->UpdateAllActions();
        p.C_EnablePrinterBtn->click();
        ASSERT_NE(W->LstPrinter().Device(), nullptr);
        const TTTYPrinter& d = *W->LstPrinter().Device();
        EXPECT_EQ(std::tuple(d.TabSpacing(), d.TopMargin(), d.BottomMargin(), d.LeftMargin(), d.RightMargin(),
                             d.LineSpacing(), d.IgnoreFormFeed, d.AutoLineWrap, d.CtrlZEndsJob),
                  std::tuple(r.TabSpacing, r.TopBottomMargin, r.TopBottomMargin, r.LeftRightMargin, r.LeftRightMargin,
                             r.LineSpacing, r.IgnoreFormFeed, r.AutoLineWrap, r.CtrlZEndsJob));
        W->UpdateAllActions();
        p.C_EnablePrinterBtn->click();
        ASSERT_EQ(W->LstPrinter().Device(), nullptr);
    }
}

TEST_F(PrinterWindow, PrinterSetupReloadsThePanelOnlyOnOk) {
    int shown = 0;
    bool answer = false;
    W->LstPrinter().OnPrinterSetupDialog = [&](TQtPrintTarget& printer) {
        ++shown;
        printer.SetLandscape(true);
        return answer;
    };
    W->Ui().PrinterSetupAct->trigger();
    EXPECT_EQ(W->Ui().PrinterPanel->OrientationIndex(), 0) << "cancelled: the panel is not reloaded";
    answer = true;
    W->Ui().PrinterSetupAct->trigger();
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(W->Ui().PrinterPanel->OrientationIndex(), 1);
    W->Ui().PrinterPanel->PortraitBtn->click();
    EXPECT_FALSE(W->LstPrinter().PrinterObject().Landscape()) << "the panel's choice reaches the printer object";
}

TEST_F(PrinterWindow, ClosingPrintsTheRunningJob) {
    W->Ui().PrinterEnableAct->trigger();
    PrintOneBurst("kept at close");
    H.Window.reset();
    EXPECT_NE(PdfPages(Pdf).at(0).find("kept at close"), std::string::npos);
}

TEST_F(PrinterWindow, PrinterErrorStopsTheRunAndIsReportedOnce) {
    W->LstPrinter().PrinterObject().SetPdfFileName(H.Temp.File("no/such/folder/lst.pdf"));
    W->Ui().PrinterEnableAct->trigger();
    LoadPrint("lost");
    for (int i = 0; i < 3; ++i) W->ApplicationEvents1Idle();
    EXPECT_FALSE(W->Ui().RunCpuAct->isChecked());
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"The printer could not start the print job."}));
}

}  // namespace
