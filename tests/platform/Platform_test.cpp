// The platform stand-ins: program folder and file names, the scripted and
// Qt prompts' helpers, the action-update pump and the custom events.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "platform/ActionPump.h"
#include "platform/PlatformEvents.h"
#include "platform/ProgramFolder.h"
#include "platform/QtUiPrompts.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"

#include <cstdlib>

namespace {

TEST(ProgramFolderTest, HomeVariableOverridesTheExecutableFolder)
{
    ::unsetenv("TAVRIN_HOME");
    std::string exeFolder = ProgramFolder();
    EXPECT_EQ(exeFolder.back(), '/');
    EXPECT_TRUE(FileExists(exeFolder + ProgramName())) << "the test executable itself";
    ::setenv("TAVRIN_HOME", "/tmp/some where", 1);
    EXPECT_EQ(ProgramFolder(), "/tmp/some where/");
    EXPECT_EQ(ProgramFilePath(".config"), "/tmp/some where/" + ProgramName() + ".config");
    ::setenv("TAVRIN_HOME", "", 1);
    EXPECT_EQ(ProgramFolder(), exeFolder) << "an empty value counts as unset";
    ::unsetenv("TAVRIN_HOME");
}

TEST(ProgramFolderTest, FileNameHelpers)
{
    struct TCase {
        const char* Path;
        const char* Name;
        const char* Dir;
        const char* Bare;
        const char* Changed;  // extension ".config"
    };
    const TCase cases[] = {
        {"/a/b/DiskA.cpmdsk", "DiskA.cpmdsk", "/a/b/", "DiskA", "/a/b/DiskA.config"},
        {"plain", "plain", "", "plain", "plain.config"},
        {"/a.b/name", "name", "/a.b/", "name", "/a.b/name.config"},
        {"/x/two.dots.hex", "two.dots.hex", "/x/", "two.dots", "/x/two.dots.config"},
        {"/root/", "", "/root/", "", "/root/.config"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(ExtractFileName(c.Path), c.Name);
        EXPECT_EQ(ExtractFileDir(c.Path), c.Dir);
        EXPECT_EQ(FileNameWithoutExt(c.Path), c.Bare);
        EXPECT_EQ(ChangeFileExt(c.Path, ".config"), c.Changed);
    }
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists("/"));
    EXPECT_FALSE(FileExists("/no/such/file"));
}

TEST(QtUiPromptsTest, FilterTranslation)
{
    EXPECT_EQ(TQtUiPrompts::QtFilter("Emulator Disk Files|*.cpmdsk|All Files|*.*"),
              "Emulator Disk Files (*.cpmdsk);;All Files (*)");
    EXPECT_EQ(TQtUiPrompts::QtFilter("CPM Programs|*.com;*.cpm|All Files|*.*"),
              "CPM Programs (*.com *.cpm);;All Files (*)");
    EXPECT_EQ(TQtUiPrompts::QtFilter(""), "");
}

TEST(QtUiPromptsTest, HostPathsKeepTheirBytes)
{
    // "/tmp/d\u00e9j\u00e0 \u0436.hex" as the file system stores it.
    const std::string path = "/tmp/d\xC3\xA9j\xC3\xA0 \xD0\xB6.hex";
    const QString shown = PathToQt(path);
    EXPECT_EQ(shown, QString::fromUtf8(path.c_str()));
    EXPECT_EQ(shown.size(), 15);
    EXPECT_EQ(PathFromQt(shown), path);
    EXPECT_EQ(PathFromQt(PathToQt("")), "");
}

TEST(ScriptedUiPromptsTest, RecordsAndAnswersInOrder)
{
    TScriptedUiPrompts p;
    p.DialogAnswers = {mrNo};
    p.FileAnswers = {std::string("/x/y.hex"), std::nullopt};
    p.InputAnswers = {std::string("42")};
    EXPECT_EQ(p.MessageDlg("Sure?", TMsgDlgType::Confirmation, mbYes | mbNo), mrNo);
    EXPECT_EQ(p.MessageDlg("Again?", TMsgDlgType::Confirmation, mbOK | mbCancel), mrOk) << "default: first button";
    p.ShowMessage("hello");
    p.ShowError("bad");
    TFileDialogRequest open{"Open it", "", "", "", "*.hex", true};
    EXPECT_TRUE(p.OpenFileDialog(open));
    EXPECT_EQ(open.FileName, "/x/y.hex");
    TFileDialogRequest save{"Save it", "", "", "", "keep", false};
    EXPECT_FALSE(p.SaveFileDialog(save));
    EXPECT_EQ(save.FileName, "keep");
    std::string value = "1";
    EXPECT_TRUE(p.InputQuery("Cap", "Number:", value));
    EXPECT_EQ(value, "42");
    EXPECT_FALSE(p.InputQuery("Cap", "Again:", value)) << "no answer left: cancelled";
    EXPECT_EQ(value, "42");
    EXPECT_EQ(p.Texts(), (std::vector<std::string>{"Sure?", "Again?", "hello", "bad"}));
    EXPECT_EQ(p.LastText(), "bad");
    ASSERT_EQ(p.Log.size(), 8u);
    EXPECT_EQ(p.Log[4].Kind, TScriptedUiPrompts::TKind::OpenFile);
    EXPECT_EQ(p.Log[4].File.FileName, "*.hex") << "the dialog as shown";
}

TEST(ActionPumpTest, UpdatesEveryActionInOrderAndBeforeMenus)
{
    tavrin::test::QtTestApp();
    TActionUpdatePump pump;
    QAction a(QStringLiteral("a")), b(QStringLiteral("b")), c(QStringLiteral("c"));
    std::string order;
    bool enableB = false;
    pump.Add(&a, [&](QAction&) { order += 'a'; });
    pump.Add(&b, [&](QAction& act) { order += 'b'; act.setEnabled(enableB); });
    pump.Add(&c);
    pump.Add(&a, [&](QAction&) { order += 'A'; });  // replaces, keeps its place
    pump.UpdateAllActions();
    EXPECT_EQ(order, "Ab");
    EXPECT_FALSE(b.isEnabled());
    enableB = true;
    pump.UpdateAction(&b);
    EXPECT_TRUE(b.isEnabled());
    EXPECT_EQ(pump.Actions().size(), 3u);

    QMenu menu;
    pump.WatchMenu(&menu);
    order.clear();
    emit menu.aboutToShow();
    EXPECT_EQ(order, "Ab");
}

class TEventSink : public QObject {
public:
    std::vector<std::pair<int, intptr_t>> Seen;
    bool event(QEvent* e) override
    {
        if (e->type() >= QEvent::User) {
            auto* p = static_cast<TPlatformEvent*>(e);
            Seen.emplace_back(p->Message(), p->WParam);
            return true;
        }
        return QObject::event(e);
    }
};

TEST(PlatformEventsTest, MessagesKeepTheirNumbers)
{
    tavrin::test::QtTestApp();
    EXPECT_EQ(WM_COMBREAK, 1066);
    TEventSink sink;
    EXPECT_TRUE(SendPlatformEvent(&sink, WM_COMBREAK, 2));
    PostPlatformEvent(&sink, WM_SCREEN_CHANGED, 7);
    ASSERT_EQ(sink.Seen.size(), 1u) << "posted events wait for the loop";
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.Seen.size(), 2u);
    EXPECT_EQ(sink.Seen[0], (std::pair<int, intptr_t>{1066, 2}));
    EXPECT_EQ(sink.Seen[1], (std::pair<int, intptr_t>{0x7E8A, 7}));
}

} // namespace
