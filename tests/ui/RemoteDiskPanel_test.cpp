// The remote disk server panel offscreen: captions, starting and stopping
// the server, refusals the user is told about, the client list with its
// refresh on change only, and the settings.

#include "ui/RemoteDiskPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/core/ConfigObject.h"
#include "net/NetTestSupport.h"
#include "platform/GuiThreadPoster.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "support/ReservedPort.h"

using namespace tavrin::test;

namespace {

class RemoteDiskPanel : public ::testing::Test {
protected:
    void SetUp() override {
        Server.BaseUdpRx1.AdapterAddress = "127.0.0.1";
        Server.BaseUdpRx1.Poster = GuiThreadPoster(QCoreApplication::instance());
        MakeImage(Folder.File("Remote.cpmdsk"));
    }

    void Start() {
        tavrin::test::TReservedPort port(SOCK_DGRAM);
        Server.BaseUdpRx1.ReuseAddress = true;  // shares the port with the reservation until it is bound
        Panel.C_DiskServerPort->setText(QString::fromStdString(port.Text()));
        Panel.ActivateRemoteDiskServerAct->trigger();
        ASSERT_TRUE(Server.GetActive()) << Prompts.LastText();
    }

    // A client request answered through the Qt event loop, as in the program.
    std::vector<uint8_t> Ask(const TUdpClient& client, const std::vector<uint8_t>& request) {
        return Transact(
                   client, [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); }, request)
            .value_or(std::vector<uint8_t>{});
    }

    QApplication& App = tavrin::test::QtTestApp();
    TTempFolder Folder;
    TRmtDskMod Server{Folder.Path().string() + "/"};
    TScriptedUiPrompts Prompts;
    TRemoteDiskPanel Panel{&Server, Prompts};
};

TEST_F(RemoteDiskPanel, CaptionsHintsAndFirstState) {
    const QAction& act = *Panel.ActivateRemoteDiskServerAct;
    EXPECT_EQ(act.text() + "|" + act.property("Category").toString(), "Activate Disk Server|Disk Manager");
    EXPECT_EQ(Panel.C_RemoteDiskServerActive->text(), "Activate Disk Server");
    EXPECT_EQ(Panel.C_DiskServerPort->text() + "|" + Panel.C_DiskServerPort->toolTip(),
              "999|IP port used by disk server (default 999)");
    EXPECT_EQ(Panel.C_UseRemoteDiskAutoUnMount->text() + "|" + Panel.C_UseRemoteDiskAutoUnMount->toolTip(),
              "Allow auto unmount|Auto unmount current disk if new disk mount requested");
    EXPECT_TRUE(Panel.C_UseRemoteDiskAutoUnMount->isChecked());
    EXPECT_EQ(Panel.RemoteDiskServerStatus->toolTip(), "Shows a list of active clients");
    EXPECT_EQ(Panel.Refresh->text() + "|" + Panel.Refresh->toolTip(), "Refresh|Update client status display");
    QStringList labels;
    for (const QLabel* label : Panel.findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("Remote Disk Server"));
    EXPECT_TRUE(labels.contains("Server Port"));
    EXPECT_TRUE(act.isEnabled());
    EXPECT_FALSE(act.isChecked());
}

TEST_F(RemoteDiskPanel, StartAndStopLockAndFreeThePortEdit) {
    Start();
    EXPECT_TRUE(Panel.ActivateRemoteDiskServerAct->isChecked());
    EXPECT_TRUE(Panel.C_RemoteDiskServerActive->isChecked());
    EXPECT_TRUE(Panel.C_DiskServerPort->isReadOnly());
    EXPECT_TRUE(Panel.RemoteDiskStatus->isActive());
    EXPECT_EQ(Server.BaseUdpRx1.LocalPort, Panel.C_DiskServerPort->text().toStdString());

    Panel.C_RemoteDiskServerActive->click();
    EXPECT_FALSE(Server.GetActive());
    EXPECT_FALSE(Panel.ActivateRemoteDiskServerAct->isChecked());
    EXPECT_FALSE(Panel.C_DiskServerPort->isReadOnly());
    EXPECT_FALSE(Panel.RemoteDiskStatus->isActive());
    EXPECT_TRUE(Prompts.Log.empty());
    // A tick while the server is stopped stops the timer.
    Panel.RemoteDiskStatus->start();
    Panel.RemoteDiskStatusTimer();
    EXPECT_FALSE(Panel.RemoteDiskStatus->isActive());
}

TEST_F(RemoteDiskPanel, RefusedPortsAreReportedAndNothingStarts) {
    TBaseUdpSocket holder;
    ASSERT_TRUE(holder.Open());
    const std::string held = std::to_string(holder.BoundPort());
    const std::string badNumber = " is not a port number from 1 to 65535.";
    const std::pair<std::string, std::string> rows[] = {
        {"0", "\"0\"" + badNumber},
        {"65536", "\"65536\"" + badNumber},
        {"123456", "\"123456\"" + badNumber},
        {"12 3", "\"12 3\"" + badNumber},
        {held, "The remote disk server could not be started. UDP port " + held + " is in use by another program!"}};
    for (const auto& [port, message] : rows) {
        Panel.C_DiskServerPort->setText(QString::fromStdString(port));
        Panel.ActivateRemoteDiskServerAct->trigger();
        EXPECT_FALSE(Server.GetActive()) << port;
        EXPECT_FALSE(Panel.ActivateRemoteDiskServerAct->isChecked()) << port;
        EXPECT_FALSE(Panel.RemoteDiskStatus->isActive()) << port;
        EXPECT_EQ(Prompts.LastText(), message);
    }
    // An empty edit asks for the default port; an adapter that cannot be
    // resolved stops the start before anything is bound (999 is privileged).
    Server.BaseUdpRx1.AdapterAddress = "no-such-host.invalid";
    Panel.C_DiskServerPort->clear();
    Panel.ActivateRemoteDiskServerAct->trigger();
    EXPECT_EQ(Server.BaseUdpRx1.LocalPort, "999");
    EXPECT_FALSE(Server.GetActive());
    EXPECT_EQ(Prompts.LastText(),
              "The remote disk server could not be started. The adapter address could not be resolved!");
}

TEST_F(RemoteDiskPanel, ClientAppearsAtTheNextTickAndReadsDoNotRepaint) {
    Panel.SetupRemoteDiskStatusList();
    EXPECT_GT(Panel.ServerListLineHeight(), 4);
    Start();
    Panel.RemoteDiskStatusTimer();
    EXPECT_EQ(Panel.ItemCount(), 0);

    TUdpClient client(Server.BaseUdpRx1.BoundPort());
    const auto mounted = Ask(client, MountRequest(1, 2, "Remote", true));
    ASSERT_EQ(mounted.size(), 14u);
    EXPECT_EQ(Panel.ItemCount(), 0) << "nothing before the tick";
    Panel.RemoteDiskStatusTimer();
    EXPECT_TRUE(Panel.RemoteDiskStatus->isActive());
    ASSERT_EQ(Panel.ItemCount(), 1);
    const auto lines = Panel.ItemLines(0);
    EXPECT_EQ(lines[0], "Client: 127.0.0.1:" + std::to_string(client.Port()) + "  Disk: 2 RO");
    EXPECT_EQ(Panel.RemoteDiskServerStatus->sizeHintForRow(0), 3 * Panel.ServerListLineHeight());

    // A read moves the session's time but not the server's activity mark.
    Server.Sessions().GetSession(0)->LastUsed = std::chrono::system_clock::from_time_t(0);
    ASSERT_EQ(Ask(client, ReadRequest(2, Get32(mounted, 4), 2, 0, 0)).size(), 2052u);
    Server.Sessions().GetSession(0)->LastUsed = std::chrono::system_clock::from_time_t(86400 * 3);
    Panel.RemoteDiskStatusTimer();
    EXPECT_EQ(Panel.ItemLines(0), lines);
    Panel.Refresh->click();
    EXPECT_NE(Panel.ItemLines(0)[2], lines[2]);

    ASSERT_EQ(Ask(client, SessionRequest(2, 3, Get32(mounted, 4), 2)), StatusReply(3));
    Panel.RemoteDiskStatusTimer();
    EXPECT_EQ(Panel.ItemCount(), 0);
}

// Every mount is use: mounting the same image again shows at the next tick.
TEST_F(RemoteDiskPanel, ARepeatedMountShowsInLastUsed) {
    const auto at = [](const char* text) {
        std::tm when{};
        strptime(text, "%Y-%m-%d %H:%M:%S", &when);
        when.tm_isdst = -1;
        return std::chrono::system_clock::from_time_t(std::mktime(&when));
    };
    TRmtDskTime now = at("2026-01-05 09:08:07");
    Server.Sessions().Clock = [&now] { return now; };
    Start();
    TUdpClient client(Server.BaseUdpRx1.BoundPort());
    const auto mounted = Ask(client, MountRequest(1, 2, "Remote", true));
    ASSERT_EQ(mounted.size(), 14u);
    Panel.RemoteDiskStatusTimer();
    ASSERT_EQ(Panel.ItemCount(), 1);
    EXPECT_EQ(Panel.ItemLines(0)[2], "Last used: Mon Jan 05 @ 09:08:07");

    now = at("2026-01-06 10:00:00");
    ASSERT_EQ(Get32(Ask(client, MountRequest(2, 2, "Remote", true)), 4), Get32(mounted, 4)) << "the same session";
    Panel.RemoteDiskStatusTimer();
    EXPECT_EQ(Panel.ItemLines(0)[2], "Last used: Tue Jan 06 @ 10:00:00");
}

TEST(RemoteSessionLines, ShowTheClientTheImageAndTheTime) {
    in_addr address{};
    inet_pton(AF_INET, "192.168.1.20", &address);
    TRmtDskSession session(7, true, "Work.cpmdsk", {address.s_addr, htons(1025), 2}, nullptr);
    std::tm when{};
    strptime("2026-01-05 09:08:07", "%Y-%m-%d %H:%M:%S", &when);
    when.tm_isdst = -1;
    session.LastUsed = std::chrono::system_clock::from_time_t(std::mktime(&when));
    EXPECT_EQ(RemoteSessionLines(session),
              (std::array<std::string, 3>{"Client: 192.168.1.20:1025  Disk: 2 RO", "File name: Work.cpmdsk",
                                          "Last used: Mon Jan 05 @ 09:08:07"}));
    session.ReadOnly = false;
    EXPECT_EQ(RemoteSessionLines(session)[0], "Client: 192.168.1.20:1025  Disk: 2 RW");
}

TEST_F(RemoteDiskPanel, SettingsRestartASavedServer) {
    TNrKeyValueSections store;
    tavrin::test::TReservedPort reserved(SOCK_DGRAM);
    Server.BaseUdpRx1.ReuseAddress = true;
    store.WriteString("DISK SERVER", "DiskServerPort", reserved.Text());
    store.WriteBool("DISK SERVER", "UseRemoteDiskAutoUnMount", false);
    store.WriteBool("DISK SERVER", "RemoteDiskServerActive", true);
    Panel.LoadSettings(store);
    EXPECT_TRUE(Server.GetActive()) << Prompts.LastText();
    EXPECT_EQ(Server.BaseUdpRx1.BoundPort(), reserved.Port());
    EXPECT_FALSE(Server.GetAutoUnmount());
    TNrKeyValueSections saved;
    Panel.SaveSettings(saved);
    EXPECT_FALSE(saved.ReadBool("DISK SERVER", "UseRemoteDiskAutoUnMount", true));
    Panel.C_UseRemoteDiskAutoUnMount->click();
    EXPECT_TRUE(Server.GetAutoUnmount());
}

// The saved port text: empty means the default port and is kept as it is, a
// port number stays, anything else is reported and the default shown.
TEST_F(RemoteDiskPanel, SavedPortTexts) {
    const struct {
        std::string Saved, Shown;
        bool Reported;
    } rows[] = {{"", "", false}, {"1234", "1234", false}, {"0", "999", true}, {"http", "999", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE("DiskServerPort=" + row.Saved);
        TNrKeyValueSections store;
        store.WriteString("DISK SERVER", "DiskServerPort", row.Saved);
        Panel.LoadSettings(store);
        EXPECT_EQ(Panel.C_DiskServerPort->text().toStdString(), row.Shown);
        EXPECT_EQ(store.TakeReadProblems().size(), row.Reported ? 1u : 0u);
    }
}

}  // namespace
