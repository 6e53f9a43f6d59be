// The Disk Manager and the remote disk server in the main window: the menu,
// the drive eject actions, the reread at every page change and the window's
// text viewer; the server started from the settings file, lending the program
// folder's images through the window's event loop and refusing them to the
// local drives meanwhile.

#include <QListWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <sstream>

#include "disk/CpmDiskDrive.h"
#include "net/NetTestSupport.h"
#include "platform/ProgramFolder.h"
#include "ui/DiskManagerPage.h"
#include "ui/RemoteDiskPanel.h"
#include "ui/TextViewer.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

TEST_F(WindowTest, DiskManagerMenuEjectActionsPageChangeAndViewer)
{
    std::string menu;
    for (QAction* top : W->menuBar()->actions())
        if (top->text() == "&Disk Manager")
            for (QAction* a : top->menu()->actions())
                menu += a->isSeparator() ? "|" : a->text().left(3).toStdString();
    EXPECT_EQ(menu, "ImpImp|ExpExp|SetDelRen|SelEjeRef|CopDis");

    const std::string image = H.Temp.File("m.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    W->Machine().MountDrive(1, image);
    W->UpdateAllActions();
    for (uint8_t d = 0; d < 4; ++d)
        EXPECT_EQ(W->EjectDriveActs[d]->isEnabled(), d == 1) << W->EjectDriveActs[d]->text().toStdString();
    EXPECT_EQ(W->EjectDriveActs[1]->toolTip().toStdString(), "Clear the disk file name for the CPM B: drive");
    W->EjectDriveActs[1]->trigger();
    EXPECT_FALSE(W->Machine().DriveMounted(1));

    W->DiskManagerPage->OpenManagerDisk(image);
    {
        TCpmDiskDrive drive(image);
        std::istringstream in("hello\r\n");
        int index = 0;
        drive.ImportFile("HELLO.TXT", in, 7, index, 2, 0x1A);
    }
    W->PageControl1->setCurrentWidget(W->DisksPage);
    ASSERT_EQ(W->DiskManagerPage->DiskFileList->count(), 1);
    W->DiskManagerPage->DiskFileList->setCurrentRow(0);
    W->DiskManagerPage->DiskFileListDblClick();
    EXPECT_EQ(W->TextViewer->windowTitle().toStdString(), "View [HELLO.TXT user area: 2]");
}

TEST(MainWindowRemoteDiskTest, SavedServerStartsAndLendsTheProgramFoldersImages)
{
    TWindowHarness h;
    const std::string port = nettest::FreeUdpPort();
    {
        TNrKeyValueSections store;
        store.WriteString("DISK SERVER", "DiskServerPort", port);
        store.WriteBool("DISK SERVER", "RemoteDiskServerActive", true);
        store.SaveToFile(h.Temp.Folder() + ProgramName() + ".config");
    }
    nettest::MakeImage(h.Temp.File("Lent.cpmdsk"));
    TMainHalvoret& w = h.Open();
    EXPECT_TRUE(w.DisksPage->isAncestorOf(w.RemoteDiskPanel));
    w.FormActivate();
    ASSERT_TRUE(w.RmtDskMod->GetActive()) << h.Prompts.LastText();

    nettest::TUdpClient client(static_cast<uint16_t>(std::stoi(port)));
    // Answered through the window's event loop.
    const auto mounted = nettest::Transact(
        client, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }, rmtreq::Mount(1, 0, "Lent"));
    ASSERT_TRUE(mounted && mounted->size() == 14u);
    w.RemoteDiskPanel->RemoteDiskStatusTimer();
    ASSERT_EQ(w.RemoteDiskPanel->ItemCount(), 1);
    EXPECT_EQ(w.RemoteDiskPanel->ItemLines(0)[1], "File name: Lent.cpmdsk");

    EXPECT_THROW(w.Machine().MountDrive(1, h.Temp.File("Lent.cpmdsk")), EDiskError);
    EXPECT_FALSE(w.Machine().DriveMounted(1));

    EXPECT_TRUE(w.close());
    TNrKeyValueSections saved;
    ASSERT_TRUE(saved.LoadFromFile(w.SettingsFileName()));
    EXPECT_EQ(saved.ReadString("DISK SERVER", "DiskServerPort", ""), port);
    EXPECT_TRUE(saved.ReadBool("DISK SERVER", "RemoteDiskServerActive", false));
}

} // namespace
