// The main window end to end, offscreen: start-up and its unusable files,
// boot from drive A with CON mapped to the TTY console, keys, break point,
// single step, the run's bursts, the CPU page's refresh, and the quoted
// messages (and serial worker-thread failures) through the scripted prompts.

#include "serial/QnExcept.h"
#include "support/TerminalText.h"
#include "ui/CpuRegistersDlg.h"
#include "ui/DiskManagerPage.h"
#include "ui/MemoryGridModel.h"
#include "WindowTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <map>
#include <sys/wait.h>
#include <thread>

using namespace tavrin::test;

namespace {

TEST_F(WindowTest, FirstStartCreatesDriveAAndLeavesItOnTheNext) {
    std::string diskA = H.Temp.File("DiskA.cpmdsk");
    EXPECT_EQ(ReadFile(diskA), std::string(1048576, '\xE5'));
    EXPECT_EQ(W->windowTitle().toStdString(), "Tavrin");
    EXPECT_EQ(W->Ui().DisksPage->DiskCaptions[0]->text().toStdString(), "(no disk)");
    // The user finds each command in the menus by its caption.
    std::map<std::string, QAction*> menus;
    for (QAction* top : W->menuBar()->actions())
        if (top->menu())
            for (QAction* item : top->menu()->actions()) menus.emplace(item->text().toStdString(), item);
    const std::pair<QAction*, const char*> captions[] = {{W->Ui().ResetCPMAct, "Boot CPM System"},
                                                         {W->Ui().RunCpuAct, "Run CPU"},
                                                         {W->Ui().StepCpuAct, "Execute Next"},
                                                         {W->Ui().LoadHexFileAct, "Load Hex File"},
                                                         {W->Ui().LoadBinFileAct, "Load Binnary File"},
                                                         {W->Ui().CPMSelectImageNameAct, "Set CPM Hex File"},
                                                         {W->Ui().BIOSSelectImageNameAct, "Set BIOS Hex File"},
                                                         {W->Ui().ChangeDriveActs[0], "Insert A:"},
                                                         {W->Ui().ChangeDriveActs[3], "Insert D:"}};
    for (const auto& [action, caption] : captions) EXPECT_EQ(menus[caption], action) << caption;
    EXPECT_FALSE(W->Ui().RunCpuAct->isChecked()) << "not running after start-up";
    EXPECT_FALSE(W->Ui().ShutdownAct->isEnabled());
    // Choosing a tab by its name, left to right, shows that page.
    const std::pair<QWidget*, QString> tabs[] = {
        {W->Ui().CrtPage, "CRT"},     {W->Ui().TtyPage, "TTY"},
        {W->Ui().CpuPage, "CPU"},     {W->Ui().DiskManagerPage, "Disk Manager"},
        {W->Ui().DisksPage, "Disks"}, {W->Ui().PortsPage, "Ports"}};
    ASSERT_EQ(W->Ui().PageControl1->count(), static_cast<int>(std::size(tabs)));
    int previous = -1;
    for (const auto& [page, name] : tabs) {
        int index = 0;
        while (index < W->Ui().PageControl1->count() && W->Ui().PageControl1->tabText(index) != name) ++index;
        EXPECT_GT(index, previous) << name.toStdString();
        W->Ui().PageControl1->setCurrentIndex(index);
        EXPECT_EQ(W->Ui().PageControl1->currentWidget(), page) << name.toStdString();
        previous = index;
    }
    W->Ui().PageControl1->setCurrentWidget(W->Ui().CrtPage);
    EXPECT_TRUE(H.Prompts.Log.empty());
    H.Window.reset();

    std::string changed = ReadFile(diskA);
    changed[5000] = 'Q';
    WriteFile(diskA, changed);
    H.Open();
    EXPECT_EQ(ReadFile(diskA), changed) << "not reformatted";
}

// A drive A that cannot be made, a key map and a settings file that cannot
// be read: each is reported once, the window still opens, and nothing
// replaces the files it could not read.
TEST(MainWindowStartTest, UnusableFilesAtStartUpAreReportedAndKept) {
    TWindowHarness h;
    std::filesystem::create_directory(h.Temp.File("DiskA.cpmdsk"));  // in the way
    const std::string keyMap = h.Temp.Folder() + ProgramName() + ".kmap";
    std::filesystem::create_directory(keyMap);  // exists, cannot be read as a file
    WriteFile(h.SettingsFile(), "[DISKS]\r\nCpmSourceFile=kept.hex\r\n");
    std::filesystem::resize_file(h.SettingsFile(), 17u * 1024 * 1024);  // far beyond any settings file
    TMainHalvoret& w = h.Open();
    w.show();  // the first activation reads the settings file
    QApplication::processEvents();
    ASSERT_EQ(h.Prompts.Log.size(), 3u);
    for (const auto& shown : h.Prompts.Log) EXPECT_EQ(shown.Kind, TScriptedUiPrompts::TKind::Error) << shown.Text;
    EXPECT_EQ(w.Ui().DisksPage->DiskCaptions[0]->text().toStdString(), "(no disk)");
    w.TtyConsole().KeyMap().SetMapping(0, tksNormal, "x");
    EXPECT_FALSE(w.TtyConsole().KeyMap().Save()) << "the empty map never replaces the unread file";
    EXPECT_TRUE(std::filesystem::is_directory(keyMap));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(std::filesystem::file_size(h.SettingsFile()), 17u * 1024 * 1024);
    EXPECT_EQ(ReadFile(h.SettingsFile()).substr(0, 7), "[DISKS]") << "not replaced by first-run values";
}

// Drive A holds HELLO.TXT, put there by cpmtools; CON is the TTY.
struct MainWindowBootTest : WindowTest {
    void SetUp() override {
        WriteFile(H.Temp.File("HELLO.TXT"), "Hello, world\r\n\x1A");
        WriteFile(H.Temp.File("diskdefs"),
                  "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n"
                  "  blocksize 2048\n  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n");
        const std::string copy = "cd '" + H.Temp.Folder() + "' && cpmcp -f cpmdsk1m -T raw DiskA.cpmdsk HELLO.TXT 0:";
        ASSERT_EQ(std::system(copy.c_str()), 0) << copy;
        W->Machine().Mapping().SetColdBootMapping(0);
    }
};

TEST_F(MainWindowBootTest, BootsFromDriveAAndEchoesOnTheTty) {
    W->Ui().ResetCPMAct->trigger();
    ASSERT_TRUE(W->Booted()) << H.Prompts.LastText();
    EXPECT_EQ(W->Ui().DisksPage->DiskCaptions[0]->text().toStdString(), "\"DiskA\"");
    EXPECT_EQ(W->Ui().ChangeDriveActs[0]->text().toStdString(), "Change A:");

    ASSERT_TRUE(H.RunUntilTty("HELLO.TXT\n>\n")) << H.TtyText();
    EXPECT_THAT(H.TtyText(), StartsWith("Tavrin 64K BIOS\nTavrin example system\nHELLO.TXT\n>\n"));

    QTest::keyClicks(W->Ui().SimpleTerminal1, "dir");
    ASSERT_TRUE(H.RunUntilTty("> dir")) << H.TtyText();
    QTest::keyClick(W->Ui().SimpleTerminal1, Qt::Key_Return);
    W->Machine().QueueKeys(TConsoleKeyboard::Tty, "x");
    ASSERT_TRUE(H.RunUntilTty("\n> x")) << H.TtyText();
    EXPECT_TRUE(H.Prompts.Log.empty());

    // With CON on the TTY the CRT keyboard is not read and the CRT stays blank.
    QTest::keyClicks(W->Ui().QnTerminal1, QStringLiteral("zz"));
    for (int i = 0; i < 5; ++i) {
        W->ApplicationEvents1Idle();
        QApplication::processEvents();
    }
    EXPECT_EQ(H.CrtText().find_first_not_of('\n'), std::string::npos) << H.CrtText();
    EXPECT_EQ(W->Machine().KeysWaiting(TConsoleKeyboard::Crt), 2);
    EXPECT_EQ(H.TtyText().find("zz"), std::string::npos);

    // Booting again while running stops, reloads and starts at the BIOS.
    W->Ui().ResetCPMAct->trigger();
    EXPECT_EQ(W->Machine().Cpu().NextPC, 0xFA00);
    EXPECT_TRUE(W->Ui().RunCpuAct->isChecked());
}

TEST_F(MainWindowBootTest, BreakPointStopsTheRunAndStepExecutesOne) {
    W->Machine().SetBreakPoint(0xE400);
    int displays = 0;
    W->CpuDisplay().OnUpdateCpuDisplay = [&] { ++displays; };
    W->Ui().ResetCPMAct->trigger();
    for (int i = 0; i < 50 && W->Ui().RunCpuAct->isChecked(); ++i) W->ApplicationEvents1Idle();
    EXPECT_FALSE(W->Ui().RunCpuAct->isChecked());
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"Reached break point at E400"}));
    EXPECT_EQ(W->Machine().Cpu().NextPC, 0xE400);
    EXPECT_GE(displays, 2);
    W->UpdateAllActions();
    EXPECT_TRUE(W->Ui().StepCpuAct->isEnabled());

    W->Ui().StepCpuAct->trigger();
    EXPECT_NE(W->Machine().Cpu().NextPC, 0xE400);
    EXPECT_EQ(H.Prompts.Texts().size(), 1u) << "a step never stops at the break point";

    W->Ui().RunCpuAct->trigger();
    W->UpdateAllActions();
    EXPECT_FALSE(W->Ui().StepCpuAct->isEnabled());
    W->ApplicationEvents1Idle();
    EXPECT_TRUE(W->Ui().RunCpuAct->isChecked()) << "the stand-in's echo loop never returns to E400h";
}

// Whether a timer of the window would start a burst at every turn of the
// event loop.
bool BurstsBackToBack(TMainHalvoret& w) {
    const auto timers = w.findChildren<QTimer*>();
    return std::any_of(timers.begin(), timers.end(), [](QTimer* t) { return t->isActive() && t->interval() == 0; });
}

// At the prompt the run waits instead of spinning; a typed key ends the wait
// at once and is echoed, and then the run waits again.
TEST_F(MainWindowBootTest, AtThePromptTheRunWaitsAndAKeyWakesIt) {
    W->Ui().ResetCPMAct->trigger();
    ASSERT_TRUE(W->Booted()) << H.Prompts.LastText();
    auto waitingAt = [&](const std::string& screen) {
        return QTest::qWaitFor(
            [&] {
                return H.TtyText().find(screen) != std::string::npos && W->RunLoop().WaitsForDevice() &&
                       !BurstsBackToBack(*W);
            },
            10000);
    };
    ASSERT_TRUE(waitingAt("HELLO.TXT\n>\n")) << H.TtyText();
    EXPECT_TRUE(W->Ui().RunCpuAct->isChecked());

    QTest::keyClick(W->Ui().SimpleTerminal1, Qt::Key_K);
    EXPECT_FALSE(W->RunLoop().WaitsForDevice());
    EXPECT_TRUE(BurstsBackToBack(*W)) << "the key wakes the run before any timer";
    EXPECT_TRUE(waitingAt("> k")) << H.TtyText();
    EXPECT_TRUE(H.Prompts.Log.empty());
}

// Only a program that does nothing but wait for input is put to sleep.
TEST_F(WindowTest, OnlyWaitingForInputSlowsTheRun) {
    const struct {
        const char* Name;
        std::vector<uint8_t> Loop;
        bool Waits;
    } cases[] = {
        {"polls the tty keyboard", {0xDB, 0x10, 0x18, 0xFC}, true},         // IN A,(10h); JR $-2
        {"computes", {0x23, 0x18, 0xFD}, false},                            // INC HL; JR $-1
        {"polls and prints", {0xDB, 0x10, 0xD3, 0x1D, 0x18, 0xFA}, false},  // ...; OUT (1Dh),A
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        LoadProgram(W->Machine(), 0x8000, c.Loop);
        W->Ui().RunCpuAct->setChecked(true);
        for (int i = 0; i < 3; ++i) W->ApplicationEvents1Idle();
        EXPECT_EQ(W->RunLoop().WaitsForDevice(), c.Waits);
        EXPECT_EQ(BurstsBackToBack(*W), !c.Waits);
        W->Ui().RunCpuAct->setChecked(false);
        EXPECT_FALSE(W->RunLoop().WaitsForDevice());
    }
    EXPECT_TRUE(H.Prompts.Log.empty());
}

TEST_F(WindowTest, NoBurstStartsInsideAnother) {
    // Re-enters the run loop from inside an instruction, as a timer would
    // inside the event loop of a box opened by a port handler.
    TPrinterHook printer;
    printer.OnNextWrite = [this] { W->ApplicationEvents1Idle(); };
    W->Machine().SetPrinter(&printer);
    // 8000h: OUT (19h),A; JP 8000h
    LoadProgram(W->Machine(), 0x8000, {0xD3, 0x19, 0xC3, 0x00, 0x80});
    W->Ui().RunCpuAct->trigger();
    W->ApplicationEvents1Idle();
    EXPECT_EQ(printer.MaxDepth, 1);
    EXPECT_EQ(printer.Writes, static_cast<int>((TTavrinMachine::BurstLength + 1) / 2))
        << "one burst of 100,001 instructions, half of them OUTs";
    EXPECT_TRUE(W->Ui().RunCpuAct->isChecked());
    EXPECT_TRUE(H.Prompts.Log.empty());
    W->Machine().SetPrinter(nullptr);
}

// Row r of the CPU page's register panel from column 1.
std::string PanelRow(TMainHalvoret& w, int row) { return TerminalRow(*w.Ui().CpuPage->SimpleTerminal2, row, 1); }

// Bursts redraw the CPU page only while it is shown, at most every 100 ms,
// and the refresh owed when the run stops follows.
TEST_F(WindowTest, BurstsRedrawTheCpuPageRateLimited) {
    int displays = 0, registerRepaints = 0;
    W->CpuDisplay().OnUpdateCpuDisplay = [&] { ++displays; };
    W->CpuDisplay().OnRefreshRegisterDialog = [&] { ++registerRepaints; };
    // 8000h: INC HL; JP 8000h
    LoadProgram(W->Machine(), 0x8000, {0x23, 0xC3, 0x00, 0x80});
    W->Ui().RunCpuAct->trigger();
    W->ApplicationEvents1Idle();
    EXPECT_EQ(displays, 0) << "the CRT page is shown";
    EXPECT_EQ(registerRepaints, 1);
    W->Ui().PageControl1->setCurrentWidget(W->Ui().CpuPage);
    const auto start = std::chrono::steady_clock::now();
    int bursts = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(300)) {
        W->ApplicationEvents1Idle();
        ++bursts;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    W->Ui().RunCpuAct->trigger();
    EXPECT_GE(displays, 1);
    EXPECT_LE(displays, elapsed / std::chrono::milliseconds(100) + 1) << bursts << " bursts";
    const int shown = displays;
    W->ApplicationEvents1Idle();
    EXPECT_EQ(displays, shown) << "no burst while stopped";

    // The owed refresh comes from the page's tick.
    const TCpuEmu& cpu = W->Machine().Cpu();
    char hl[16];
    std::snprintf(hl, sizeof hl, "HL : %02X %02X", cpu.RegisterH(), cpu.RegisterL());
    EXPECT_TRUE(QTest::qWaitFor([&] { return PanelRow(*W, 7) == hl; }, 5000)) << PanelRow(*W, 7);
}

TEST_F(WindowTest, RegisterDialogEditsRefreshTheCpuPage) {
    W->Machine().Cpu().WriteMemoryByte(0xFF00, 0x76);  // HALT
    W->Machine().Cpu().Reset(0x0000);
    W->Ui().CpuPage->ShowCPUWindowAct->trigger();
    ASSERT_TRUE(W->Ui().Z80RegistersDlg->isVisible());
    EXPECT_EQ(W->Ui().Z80RegistersDlg->Cpu(), &W->Machine().Cpu());
    TRegisterGridModel& model = *W->Ui().Z80RegistersDlg->Model();
    model.setData(model.index(0, 0), "FF", Qt::EditRole);
    EXPECT_EQ(PanelRow(*W, 1), "PC : FF 00");
    EXPECT_EQ(PanelRow(*W, 17), "FF00 HALT");
    W->Ui().Z80RegistersDlg->hide();
}

TEST(MainWindowMessagesTest, BootFailuresAreReportedAndLeaveTheRunStopped) {
    struct TCase {
        const char* Name;
        std::function<void(TWindowHarness&)> Arrange;
        std::string Message;
        const char* CaptionA;
    };
    TImageRegistry::TRegistration remote;  // a remote client writing the image, for one row
    const TCase cases[] = {
        {"no drive A", [](TWindowHarness& h) { std::filesystem::remove(h.Temp.File("DiskA.cpmdsk")); },
         "A disk must be selected for drive A before you may boot CPM!", "(no disk)"},
        {"missing BIOS", [](TWindowHarness& h) { std::filesystem::remove(h.Temp.File("zubios.hex")); },
         "Cannot open file \"@zubios.hex\". No such file or directory", "(no disk)"},
        {"drive A in B", [](TWindowHarness& h) { h.Window->Machine().MountDrive(1, h.Temp.File("DiskA.cpmdsk")); },
         "The disk is already mounted in another drive!", "\"DiskA\""},
        {"drive A written remotely",
         [&remote](TWindowHarness& h) {
             const auto image = TImageRegistry::IdentityOfPath(h.Temp.File("DiskA.cpmdsk"));
             ASSERT_TRUE(image);
             remote = TImageRegistry::Instance().Register(*image, TImageRole::RemoteSession, nullptr, "DiskA");
         },
         "The remote disk server holds this disk for a client!", "(no disk)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowHarness h;
        TMainHalvoret& w = h.Open();
        c.Arrange(h);
        w.Ui().ResetCPMAct->trigger();
        remote.Release();
        std::string expected = c.Message;
        if (size_t at = expected.find('@'); at != std::string::npos) expected.replace(at, 1, h.Temp.Folder());
        EXPECT_EQ(h.Prompts.Texts(), (std::vector<std::string>{expected}));
        EXPECT_FALSE(w.Ui().RunCpuAct->isChecked());
        EXPECT_FALSE(w.Booted());
        EXPECT_EQ(w.Ui().DisksPage->DiskCaptions[0]->text().toStdString(), c.CaptionA);
        EXPECT_EQ(w.Ui().DisksPage->DiskCaptions[1]->text().toStdString(), "(no disk)")
            << "boot stops at the failing drive";
    }
}

// A serial-port worker thread that fails is reported by the window through
// its prompts, on the window's thread; the window takes its display with it.
TEST_F(WindowTest, SerialThreadFailuresAreReportedByTheWindow) {
    const size_t before = H.Prompts.Log.size();
    std::thread([] { ShowException("device read failed"); }).join();
    EXPECT_EQ(H.Prompts.Log.size(), before) << "not shown on the failing thread";
    QApplication::processEvents();
    ASSERT_EQ(H.Prompts.Log.size(), before + 1);
    EXPECT_EQ(H.Prompts.Log.back().Kind, TScriptedUiPrompts::TKind::Error);
    EXPECT_EQ(H.Prompts.Log.back().Text, "device read failed");
    H.Window.reset();
    std::thread([] { ShowException("after the window"); }).join();
    QApplication::processEvents();
    EXPECT_EQ(H.Prompts.Log.size(), before + 1);
}

TEST_F(WindowTest, LoadingActionsUseTheirDialogsAndMessages) {
    WriteFile(H.Temp.File("p.com"), std::string(257, 'p'));
    WriteFile(H.Temp.File("big.com"), std::string(56064, 'b'));
    WriteFile(H.Temp.File("t.hex"), MakeHex(0x3000, {0x3E, 0x01}));

    H.Prompts.FileAnswers = {H.Temp.File("p.com"), H.Temp.File("big.com"), std::nullopt, H.Temp.File("t.hex")};
    W->Ui().LoadBinFileAct->trigger();
    W->Ui().LoadBinFileAct->trigger();
    W->Ui().LoadHexFileAct->trigger();  // cancelled
    W->Ui().LoadHexFileAct->trigger();
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"Program loaded, uses 2 blocks.",
                                                           "Program file is to large to fit into memory!"}));
    EXPECT_EQ(W->Machine().Cpu().ReadMemoryByte(0x0100), 'p');
    EXPECT_EQ(W->Machine().Cpu().NextPC, 0x3000);

    std::vector<std::string> titles;
    std::vector<TFileDialogRequest> dialogs;
    for (const auto& r : H.Prompts.Log)
        if (r.Kind == TScriptedUiPrompts::TKind::OpenFile) {
            titles.push_back(r.Text);
            dialogs.push_back(r.File);
            EXPECT_EQ(r.File.InitialDir, H.Temp.Folder());
        }
    ASSERT_EQ(titles, (std::vector<std::string>{"Load CPM Program Image", "Load CPM Program Image",
                                                "Load Hex File To Memory", "Load Hex File To Memory"}));
    EXPECT_EQ(dialogs[0].Filter, "CPM Programs|*.com;*.cpm|All Files|*.*");
    EXPECT_EQ(dialogs[2].FileName, "*.hex");
}

TEST_F(WindowTest, InsertAndImageSelectionActions) {
    std::string work = H.Temp.File("WORK.cpmdsk");
    TDiskDrive::FormatDiskImage(work);
    // A host path is bytes in the file system's encoding (UTF-8 here).
    const std::string chosen = H.Temp.File("other/my cpm \xC3\xB3\xD0\xB6.hex");
    H.Prompts.FileAnswers = {work, work, chosen};
    W->Ui().ChangeDriveActs[1]->trigger();
    W->Ui().ChangeDriveActs[2]->trigger();
    EXPECT_EQ(H.Prompts.Log[0].Text, "Select Drive B Disk");
    EXPECT_EQ(H.Prompts.Log[0].File.Filter, "Emulator Disk Files|*.cpmdsk|All Files|*.*");
    EXPECT_EQ(H.Prompts.Log[1].Text, "Select Drive C Disk");
    EXPECT_EQ(H.Prompts.Texts(), (std::vector<std::string>{"The disk is already mounted in another drive!"}));
    EXPECT_EQ(W->Ui().DisksPage->DiskCaptions[1]->text().toStdString(), "\"WORK\"");
    EXPECT_EQ(W->Ui().ChangeDriveActs[1]->text().toStdString(), "Change B:");
    EXPECT_EQ(W->Ui().ChangeDriveActs[2]->text().toStdString(), "Insert C:");

    W->Ui().CPMSelectImageNameAct->trigger();
    EXPECT_EQ(H.Prompts.Log.back().Text, "Select CPM Hex File To Load");
    EXPECT_EQ(H.Prompts.Log.back().File.FileName, "cpm22.hex");
    EXPECT_EQ(W->Ui().DisksPage->C_CpmSourceFile->text(), QString::fromUtf8(chosen.c_str()));
    EXPECT_EQ(W->Machine().Settings().CpmSourceFile, chosen);
    W->Ui().DisksPage->C_BiosSourceFile->clear();
    W->Ui().BIOSSelectImageNameAct->trigger();  // cancelled
    EXPECT_EQ(H.Prompts.Log.back().Text, "Select BIOS Hex File To Load");
    EXPECT_EQ(H.Prompts.Log.back().File.FileName, "*.hex");
    EXPECT_EQ(W->Ui().DisksPage->C_BiosSourceFile->text().toStdString(), "");
}

TEST(ProgramStartTest, WithoutAUsableDisplayTheProgramExplainsAndFails) {
    // No display named at all, and one named that cannot be reached (a
    // stale DISPLAY): both end with a plain message, not an abort.
    const char* environments[] = {"env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM",
                                  "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=unreachable.invalid:987"};
    for (const char* environment : environments) {
        SCOPED_TRACE(environment);
        TTempFolder temp;
        std::string err = temp.File("stderr.txt");
        std::string command = std::string(environment) + " TAVRIN_HOME='" + temp.Folder() +
                              "' '" TAVRIN_PROGRAM_DIR "/tavrin' 2>'" + err + "'";
        int status = std::system(command.c_str());
        ASSERT_NE(status, -1);
        EXPECT_TRUE(WIFEXITED(status)) << "no crash";
        EXPECT_NE(WEXITSTATUS(status), 0);
        EXPECT_NE(ReadFile(err).find("tavrin: no display"), std::string::npos) << ReadFile(err);
        EXPECT_FALSE(std::filesystem::exists(temp.File("DiskA.cpmdsk"))) << "nothing built without a window";
    }
}

}  // namespace
