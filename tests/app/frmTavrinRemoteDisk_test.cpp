// The remote disk server in the main window: its panel on the Disks page,
// started from the settings file, serving the program folder's images
// through the window's event loop and refusing them to the local drives
// while a client writes them.

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "net/NetTestSupport.h"
#include "platform/ProgramFolder.h"
#include "ui/RemoteDiskPanel.h"

using namespace tavrin::test;

namespace {

TEST(MainWindowRemoteDiskTest, SavedServerStartsAndLendsTheProgramFoldersImages) {
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
    ASSERT_NE(w.RemoteDiskPanel, nullptr);
    EXPECT_TRUE(w.DisksPage->isAncestorOf(w.RemoteDiskPanel));
    w.FormActivate();
    ASSERT_TRUE(w.RmtDskMod->GetActive()) << h.Prompts.LastText();
    EXPECT_TRUE(w.RemoteDiskPanel->ActivateRemoteDiskServerAct->isChecked());
    EXPECT_TRUE(w.RemoteDiskPanel->C_DiskServerPort->isReadOnly());

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
    EXPECT_TRUE(saved.ReadBool("DISK SERVER", "UseRemoteDiskAutoUnMount", false));
}

}  // namespace
