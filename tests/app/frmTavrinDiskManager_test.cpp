// The Disk Manager in the main window: its menu, the drive eject actions,
// the reread at every page change and the window's text viewer.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include <sstream>

#include "disk/CpmDiskDrive.h"
#include "ui/DiskManagerPage.h"
#include "ui/TextViewer.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

TEST(MainWindowDiskManagerTest, MenuEjectActionsPageChangeAndViewer)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    std::string menu;
    for (QAction* top : w.menuBar()->actions())
        if (top->text() == "&Disk Manager")
            for (QAction* a : top->menu()->actions())
                menu += a->isSeparator() ? "|" : a->text().left(3).toStdString();
    EXPECT_EQ(menu, "ImpImp|ExpExp|SetDelRen|SelEjeRef|CopDis");

    const std::string image = h.Temp.File("m.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    w.Machine().MountDrive(1, image);
    w.UpdateAllActions();
    for (uint8_t d = 0; d < 4; ++d)
        EXPECT_EQ(w.EjectDriveActs[d]->isEnabled(), d == 1) << w.EjectDriveActs[d]->text().toStdString();
    EXPECT_EQ(w.EjectDriveActs[1]->toolTip().toStdString(), "Clear the disk file name for the CPM B: drive");
    w.EjectDriveActs[1]->trigger();
    EXPECT_FALSE(w.Machine().DriveMounted(1));

    w.DiskManagerPage->OpenManagerDisk(image);
    {
        TCpmDiskDrive drive(image);
        std::istringstream in("hello\r\n");
        int index = 0;
        drive.ImportFile("HELLO.TXT", in, 7, index, 2, 0x1A);
    }
    w.PageControl1->setCurrentWidget(w.DisksPage);
    ASSERT_EQ(w.DiskManagerPage->DiskFileList->count(), 1);
    w.DiskManagerPage->DiskFileList->setCurrentRow(0);
    w.DiskManagerPage->DiskFileListDblClick();
    EXPECT_EQ(w.TextViewer->windowTitle().toStdString(), "View [HELLO.TXT user area: 2]");
}

}  // namespace
