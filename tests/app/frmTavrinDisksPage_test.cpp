// The Disks page as a user sees it: each drive's caption, lamp and button
// agree with the controller after mounts that fail, mounts by the CPU and
// images that vanish; host path bytes that are not UTF-8 survive; long names
// never widen the window; edits, captions and buttons line up on one grid.
// The Disk Manager's menu, eject actions, reread at every page change and
// viewer; the remote disk server started from the settings file, lending the
// program folder's images through the window's event loop and refusing them
// to the local drives meanwhile; a second copy of the program on the same
// folder leaving the first one's drive A alone.

#include "disk/CpmDiskDrive.h"
#include "net/NetTestSupport.h"
#include "support/ImageHeldElsewhere.h"
#include "support/ReservedPort.h"
#include "ui/DiskManagerPage.h"
#include "ui/PathLabel.h"
#include "ui/QnStatLt.h"
#include "ui/TextViewer.h"
#include "WindowTestSupport.h"

#include <sstream>

using namespace tavrin::test;

namespace {

// The colour a drive's lamp shows (a Windows colour value).
uint32_t LampColor(TMainHalvoret& w, int drive) {
    const TQnStatusLight& light = *w.Ui().DisksPage->DiskLights[drive];
    return light.Lit() ? light.LitColor() : light.NotLitColor();
}

const uint32_t Grey = LampEmptyColor, Blue = LampMountedColor, Yellow = LampReadColor;

// Caption, lamp colour and button text of a drive's row.
using TDriveRow = std::tuple<std::string, uint32_t, std::string>;

TDriveRow Row(TMainHalvoret& w, int drive) {
    return {w.Ui().DisksPage->DiskCaptions[drive]->text().toStdString(), LampColor(w, drive),
            w.Ui().ChangeDriveActs[drive]->text().toStdString()};
}

struct TMountCase {
    const char* name;
    int Drive;
    // Runs with drive mounted from "Disk.cpmdsk" and its lamp lit by a read.
    std::function<void(TWindowHarness& h, TMainHalvoret& w)> Act;
    TDriveRow Expected;
};

TAVRIN_PRINT_AS_NAME(TMountCase)

class DriveRowTest : public WindowTest, public ::testing::WithParamInterface<TMountCase> {};

TEST_P(DriveRowTest, FollowsTheControllersMountState) {
    const TMountCase& c = GetParam();
    TTavrinMachine& m = W->Machine();
    const std::string image = H.Temp.File("Disk.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    m.MountDrive(static_cast<uint8_t>(c.Drive), image);
    OutPort(m, 0x71, static_cast<uint8_t>(c.Drive));
    OutPort(m, 0x70, 2);  // a sector read
    ASSERT_EQ(LampColor(*W, c.Drive), Yellow);
    c.Act(H, *W);
    W->UpdateAllActions();
    EXPECT_EQ(Row(*W, c.Drive), c.Expected);
}

const TDriveRow EmptyA{"(no disk)", Grey, "Insert A:"};
const TDriveRow EmptyB{"(no disk)", Grey, "Insert B:"};

INSTANTIATE_TEST_SUITE_P(
    Scenarios, DriveRowTest,
    ::testing::Values(TMountCase{"FailedChangeA",
                                 0,
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     WriteFile(h.Temp.File("Short.cpmdsk"), std::string(1000, '\xE5'));
                                     h.Prompts.FileAnswers = {h.Temp.File("Short.cpmdsk")};
                                     w.Ui().ChangeDriveActs[0]->trigger();
                                     EXPECT_EQ(h.Prompts.LastText(), "Selected disk is bad!");
                                     EXPECT_EQ(w.Machine().DrivePath(0), h.Temp.File("Disk.cpmdsk"))
                                         << "the disk stays";
                                 },
                                 {"\"Disk\"", Yellow, "Change A:"}},
                      TMountCase{"FailedBoot", 0,
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     std::filesystem::remove(h.Temp.File("cpm22.hex"));
                                     w.Ui().ResetCPMAct->trigger();
                                     EXPECT_EQ(h.Prompts.Log.size(), 1u);
                                 },
                                 EmptyA},
                      TMountCase{"VanishedImage", 1,
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     std::filesystem::remove(h.Temp.File("Disk.cpmdsk"));
                                     OutPort(w.Machine(), 0x70, 0);  // the warm boot's controller reset
                                     EXPECT_EQ(w.Machine().DriveCaption(1), "(no disk)");
                                 },
                                 EmptyB},
                      TMountCase{"UnmountedByTheCpu", 1,
                                 [](TWindowHarness&, TMainHalvoret& w) { RunTranscript(w.Machine(), "UNMOUNT B:"); },
                                 EmptyB},
                      TMountCase{"MountedByTheCpu",
                                 2,
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     TDiskDrive::FormatDiskImage(h.Temp.File("WORK.cpmdsk"));
                                     RunTranscript(w.Machine(), "UNMOUNT C:");
                                     OutPort(w.Machine(), 0x70, 0);
                                     RunTranscript(w.Machine(), "MOUNT C: WORK");
                                 },
                                 {"\"WORK\"", Blue, "Change C:"}}),
    tavrin::test::RowName);

// A name in Latin-1 ("café"), as an older system or a copied disk may have
// made it, put in through the settings file or edited around in the Disks
// page, reaches the machine and the settings file byte for byte.
TEST(PathBytesTest, SurviveTheRoundTripToTheSettingsFile) {
    const std::string latin1 = "caf\xE9.hex";
    for (bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "settings file" : "edited");
        TWindowHarness h;
        TMainHalvoret& w = h.Open();
        if (fromFile) {
            h.WriteSettings({{"DISKS", "CpmSourceFile", latin1}});
            w.FormActivate();
        } else {
            h.Prompts.FileAnswers = {"x" + latin1};
            w.Ui().CPMSelectImageNameAct->trigger();
            QLineEdit& edit = *w.Ui().DisksPage->C_CpmSourceFile;
            edit.setText(edit.text().mid(1));  // the user deletes the "x"
        }
        EXPECT_EQ(w.Machine().Settings().CpmSourceFile, latin1);
        ASSERT_TRUE(w.close());
        EXPECT_NE(ReadFile(w.Settings().FileName()).find("CpmSourceFile=" + latin1 + "\r\n"), std::string::npos);
    }
}

TEST_F(WindowTest, AnImageNamedInLatin1MountsAndShowsItsName) {
    const std::string image = H.Temp.File("Disk\xE9.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    H.Prompts.FileAnswers = {image};
    W->Ui().ChangeDriveActs[1]->trigger();
    EXPECT_EQ(W->Machine().DrivePath(1), image);
    EXPECT_TRUE(W->Machine().DriveMounted(1));
    EXPECT_EQ(W->Ui().DisksPage->DiskCaptions[1]->text(), QStringLiteral("\"Disk\uFFFD\""));
}

// A long name (in UTF-8, the file system's encoding) shows decoded, elides in
// the middle and never widens the window; the page's edits, captions and
// buttons (one "Change", three "Insert") line up.
TEST_F(WindowTest, ALongNameElidesAndEditsCaptionsAndButtonsLineUp) {
    W->show();
    W->Ui().PageControl1->setCurrentWidget(W->Ui().DisksPage);
    QApplication::processEvents();
    const std::string name = std::string(100, 'a') + "\xC3\x9C" + std::string(100, 'z');
    const std::string image = H.Temp.File(name + ".cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    W->Machine().MountDrive(1, image);
    QApplication::processEvents();

    const QRect free = W->screen()->availableGeometry();
    EXPECT_LE(W->width(), free.width());
    EXPECT_LE(W->minimumSizeHint().width(), free.width());
    auto* caption = static_cast<TPathLabel*>(W->Ui().DisksPage->DiskCaptions[1]);
    EXPECT_EQ(caption->text().toStdString(), "\"" + name + "\"");
    const QString shown = caption->ShownText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("\"aaa")) && shown.endsWith(QStringLiteral("zzz\"")))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_EQ(caption->toolTip().toStdString(), image);

    TDisksPage& page = *W->Ui().DisksPage;
    auto right = [&page](QWidget* widget) { return widget->mapTo(&page, QPoint(widget->width(), 0)).x(); };
    EXPECT_EQ(right(page.C_CpmSourceFile), right(page.C_BiosSourceFile));
    for (QLabel* label : page.DiskCaptions) EXPECT_EQ(right(label), right(page.C_CpmSourceFile));
    const QList<QToolButton*> buttons = page.findChildren<QToolButton*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(buttons.size(), 6);
    for (QToolButton* button : buttons) {
        EXPECT_EQ(button->width(), buttons.front()->width()) << button->text().toStdString();
        EXPECT_EQ(right(button), right(buttons.front()));
    }
}

TEST_F(WindowTest, DiskManagerMenuEjectActionsPageChangeAndViewer) {
    // The menu's entries are the page's own commands (the same actions its
    // buttons trigger), grouped between separators.
    std::vector<std::vector<QAction*>> groups{{}};
    for (QAction* top : W->menuBar()->actions())
        if (top->menu() && top->menu()->actions().contains(W->Ui().DiskManagerPage->DM_ImportTextFileAct))
            for (QAction* a : top->menu()->actions()) {
                if (a->isSeparator())
                    groups.emplace_back();
                else
                    groups.back().push_back(a);
            }
    const TDiskManagerPage& page = *W->Ui().DiskManagerPage;
    EXPECT_EQ(groups, (std::vector<std::vector<QAction*>>{
                          {page.DM_ImportTextFileAct, page.DM_ImportBinaryFileAct},
                          {page.DM_ExportTextFileAct, page.DM_ExportBinaryFileAct},
                          {page.DM_SetAttributesAct, page.DM_DeleteFileAct, page.DM_RenameFileAct},
                          {page.DM_SelectDiskFileAct, page.DM_EjectDiskAct, page.DM_RefreshDisplayAct},
                          {page.DM_BackupDiskAct, page.DM_SaveDiskToHexAct}}));

    const std::string image = H.Temp.File("m.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    W->Machine().MountDrive(1, image);
    W->UpdateAllActions();
    for (uint8_t d = 0; d < 4; ++d)
        EXPECT_EQ(W->Ui().EjectDriveActs[d]->isEnabled(), d == 1) << W->Ui().EjectDriveActs[d]->text().toStdString();
    EXPECT_EQ(W->Ui().EjectDriveActs[1]->toolTip().toStdString(), "Clear the disk file name for the CPM B: drive");
    W->Ui().EjectDriveActs[1]->trigger();
    EXPECT_FALSE(W->Machine().DriveMounted(1));

    W->Ui().DiskManagerPage->OpenManagerDisk(image);
    {
        TCpmDiskDrive drive(image);
        std::istringstream in("hello\r\n");
        int index = 0;
        drive.ImportFile("HELLO.TXT", in, 7, index, 2, 0x1A);
    }
    W->Ui().PageControl1->setCurrentWidget(W->Ui().DisksPage);
    ASSERT_EQ(W->Ui().DiskManagerPage->DiskFileList->count(), 1);
    W->Ui().DiskManagerPage->DiskFileList->setCurrentRow(0);
    W->Ui().DiskManagerPage->DiskFileListDblClick();
    EXPECT_EQ(W->Ui().TextViewer->windowTitle().toStdString(), "View [HELLO.TXT user area: 2]");
}

TEST(MainWindowRemoteDiskTest, SavedServerStartsAndLendsTheProgramFoldersImages) {
    TWindowHarness h;
    const tavrin::test::TReservedPort reserved(SOCK_DGRAM);
    h.WriteSettings(
        {{"DISK SERVER", "DiskServerPort", reserved.Text()}, {"DISK SERVER", "RemoteDiskServerActive", "1"}});
    MakeImage(h.Temp.File("Lent.cpmdsk"));
    TMainHalvoret& w = h.Open();
    EXPECT_TRUE(w.Ui().DisksPage->isAncestorOf(w.Ui().RemoteDiskPanel));
    w.Ui().RmtDskMod->BaseUdpRx1.ReuseAddress = true;  // shares the port with the reservation until it is bound
    w.FormActivate();
    ASSERT_TRUE(w.Ui().RmtDskMod->GetActive()) << h.Prompts.LastText();

    TUdpClient client(reserved.Port());
    // Answered through the window's event loop.
    const auto mounted = Transact(
        client, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }, MountRequest(1, 0, "Lent"));
    ASSERT_TRUE(mounted && mounted->size() == 14u);
    w.Ui().RemoteDiskPanel->RemoteDiskStatusTimer();
    ASSERT_EQ(w.Ui().RemoteDiskPanel->ItemCount(), 1);
    EXPECT_EQ(w.Ui().RemoteDiskPanel->ItemLines(0)[1], "File name: Lent.cpmdsk");

    EXPECT_THROW(w.Machine().MountDrive(1, h.Temp.File("Lent.cpmdsk")), EDiskError);
    EXPECT_FALSE(w.Machine().DriveMounted(1));

    EXPECT_TRUE(w.close()) << "with a client's disk lent";
}

// Two copies of the program started on one folder both boot from its
// DiskA: the second is refused with "Disk is in use!" and writes nothing
// (not even the system tracks) while the first runs; once the first has
// gone, the second may insert it.
TEST_F(WindowTest, ASecondCopyOnTheSameFolderLeavesTheFirstOnesDriveAAlone) {
    const std::string diskA = H.Temp.File("DiskA.cpmdsk");
    ASSERT_EQ(W->Machine().DrivePath(0), diskA);
    ASSERT_TRUE(std::filesystem::exists(diskA));
    TImageHeldElsewhere first(diskA);
    ASSERT_TRUE(first.Holding());
    const std::string before = ReadFile(diskA);

    W->Ui().ResetCPMAct->trigger();
    EXPECT_EQ(H.Prompts.Texts(), std::vector<std::string>{"Disk is in use!"});
    EXPECT_FALSE(W->Machine().DriveMounted(0));
    EXPECT_TRUE(ReadFile(diskA) == before) << "the second copy wrote the first one's disk";

    first.Kill();
    H.Prompts.Clear();
    H.Prompts.FileAnswers = {diskA};
    W->Ui().ChangeDriveActs[0]->trigger();
    EXPECT_TRUE(W->Machine().DriveMounted(0)) << H.Prompts.LastText();
}

}  // namespace
