// The Disk Manager in the main window: its menu, the drive eject actions,
// the reread at every page change and the shared text viewer.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolBar>

#include "disk/DiskDrive.h"
#include "ui/DiskManagerPage.h"
#include "ui/TextViewer.h"
#include "WindowTestSupport.h"

#include <sstream>

#include "disk/CpmDiskDrive.h"

using namespace tavrin::test;

namespace {

QMenu* MenuNamed(TMainHalvoret& w, const QString& title)
{
    for (QAction* a : w.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

std::vector<std::string> Captions(QWidget& menu)
{
    std::vector<std::string> captions;
    for (QAction* a : menu.actions())
        captions.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    return captions;
}

TEST(MainWindowDiskManagerTest, MenuAndToolBarHoldThePageActions)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    QMenu* menu = MenuNamed(w, "&Disk Manager");
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Captions(*menu),
              (std::vector<std::string>{"Import Text", "Import Binary", "-", "Export as Text", "Export as Binary", "-",
                                        "Set Attributes", "Delete", "Rename", "-", "Select Disk", "Eject Disk",
                                        "Refresh Display", "-", "Copy Disk", "Disk to Hex32"}));
    EXPECT_EQ(Captions(*w.DiskManagerPage->ActionToolBar2),
              (std::vector<std::string>{"Select Disk", "Refresh Display", "Create Disk", "Eject Disk",
                                        "Disk to Hex32", "Copy Disk"}));
    w.UpdateAllActions();
    EXPECT_FALSE(w.DiskManagerPage->DM_EjectDiskAct->isEnabled());
    EXPECT_TRUE(w.DiskManagerPage->DM_CreateDiskAct->isEnabled());
}

TEST(MainWindowDiskManagerTest, EjectActionsFollowTheDrivesAndEmptyThem)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    const std::string image = h.Temp.File("b.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    w.Machine().MountDrive(1, image);
    w.UpdateAllActions();
    for (uint8_t d = 0; d < 4; ++d) {
        EXPECT_EQ(w.EjectDriveActs[d]->text().toStdString(), std::string("Eject ") + char('A' + d) + ":");
        EXPECT_EQ(w.EjectDriveActs[d]->isEnabled(), d == 1) << int(d);
    }
    EXPECT_EQ(w.EjectDriveActs[1]->toolTip().toStdString(), "Clear the disk file name for the CPM B: drive");
    w.EjectDriveActs[1]->trigger();
    EXPECT_FALSE(w.Machine().DriveMounted(1));
    w.UpdateAllActions();
    EXPECT_FALSE(w.EjectDriveActs[1]->isEnabled());
}

TEST(MainWindowDiskManagerTest, APageChangeRereadsTheDiskAndViewUsesTheWindowsViewer)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    const std::string image = h.Temp.File("m.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    w.DiskManagerPage->OpenManagerDisk(image);
    EXPECT_EQ(w.DiskManagerPage->DiskFileList->count(), 0);
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
    ASSERT_NE(w.TextViewer, nullptr);
    EXPECT_TRUE(w.TextViewer->isVisible());
    EXPECT_EQ(w.TextViewer->windowTitle().toStdString(), "View [HELLO.TXT user area: 2]");
}

}  // namespace
