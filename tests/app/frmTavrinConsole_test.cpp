// The console glue of the main window, offscreen: bytes written to port 11h
// carried out on the TTY console, typed and mapped keys on their way to the
// keyboard ports, the key map loaded at start-up and edited through "Map TTY
// Keys", and the Disks page following a mount made by the CPU.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "disk/DiskDrive.h"
#include "platform/ProgramFolder.h"
#include "ui/MapTermKeysDlg.h"
#include "WindowTestSupport.h"

#include <filesystem>
#include <functional>

using namespace tavrin::test;
using namespace std::string_literals;

namespace {

void TtyOut(TMainHalvoret& w, const std::string& bytes)
{
    TTavrinMachine& m = w.Machine();
    for (char c : bytes)
        m.CpuPortWrite(m.CpuEmu1, 0x0011, static_cast<uint8_t>(c));
}

// Every byte the CPU can take from a keyboard data port right now.
std::string DrainKeys(TTavrinMachine& m, uint8_t statusPort, uint8_t dataPort)
{
    std::string bytes;
    for (int i = 0; i < 64 && InPort(m, statusPort) == 0x06; ++i)
        bytes += static_cast<char>(InPort(m, dataPort));
    return bytes;
}

struct TTtyCase {
    const char* Name;
    std::string Output;
    std::function<void(const TWindowHarness&)> Check;
};

TEST(ConsoleGlueTest, TtyCommandsAreCarriedOutOnTheConsole)
{
    const TTtyCase cases[] = {
        {"position: column byte, then row byte", "ab\x1B" "Cp\x05\x0A" "X"s,
         [](const TWindowHarness& h) {
             EXPECT_EQ(h.TtyRow(10), "     X");
             EXPECT_EQ(h.Window->SimpleTerminal1->CursorColumn(), 6);
             EXPECT_EQ(h.Window->SimpleTerminal1->CursorRow(), 10);
         }},
        {"position outside the screen stays", "ab\x1B" "Cp\xC8\x05" "\x1B" "Cp\x01\xC8" "X"s,
         [](const TWindowHarness& h) { EXPECT_EQ(h.TtyRow(0), "abX"); }},
        {"home", "abc\r\nde\x1B" "ChZ", [](const TWindowHarness& h) { EXPECT_EQ(h.TtyRow(0), "Zbc"); }},
        {"clear screen", "abc\r\nxyz\x1BSc",
         [](const TWindowHarness& h) {
             EXPECT_EQ(h.TtyRow(0), "");
             EXPECT_EQ(h.TtyRow(1), "");
         }},
        {"high video on and off", "\x1BShH\x1BSlL",
         [](const TWindowHarness& h) {
             const TSimpleTerminal& t = *h.Window->SimpleTerminal1;
             EXPECT_EQ(h.TtyRow(0), "HL");
             EXPECT_TRUE(t.GetCell(0, 0).Attributes.Contains(tca_HighVideo));
             EXPECT_FALSE(t.GetCell(1, 0).Attributes.Contains(tca_HighVideo));
             EXPECT_FALSE(t.DefaultAttributes().Contains(tca_HighVideo));
         }},
        {"clear line", "keep\r\nabc\x1BLc",
         [](const TWindowHarness& h) {
             EXPECT_EQ(h.TtyRow(0), "keep");
             EXPECT_EQ(h.TtyRow(1), "");
         }},
        {"clear to end of line", "abcdef\x1B" "Cp\x02\x00\x1BL>"s, [](const TWindowHarness& h) { EXPECT_EQ(h.TtyRow(0), "ab"); }},
        {"insert line", "top\r\nbot\x1B" "Cp\x00\x01\x1BLi"s,
         [](const TWindowHarness& h) {
             EXPECT_EQ(h.TtyRow(0), "top");
             EXPECT_EQ(h.TtyRow(1), "");
             EXPECT_EQ(h.TtyRow(2), "bot");
         }},
        {"delete line", "one\r\ntwo\r\nthree\x1B" "Cp\x00\x01\x1BLd"s,
         [](const TWindowHarness& h) {
             EXPECT_EQ(h.TtyRow(0), "one");
             EXPECT_EQ(h.TtyRow(1), "three");
         }},
        {"unknown sequence is replayed as text", "\x1BSq!",
         [](const TWindowHarness& h) { EXPECT_NE(h.TtyRow(0).find("Sq!"), std::string::npos) << h.TtyRow(0); }},
    };
    for (const TTtyCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowHarness h(false);
        TMainHalvoret& w = h.Open();
        TtyOut(w, c.Output);
        c.Check(h);
    }
}

TEST(ConsoleGlueTest, FastTypingKeepsTheFirst32KeysOfEachKeyboard)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TTavrinMachine& m = w.Machine();
    const std::string typed = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";  // 40 keys
    ASSERT_FALSE(w.RunCpuAct->isChecked());
    QTest::keyClicks(w.SimpleTerminal1, QString::fromLatin1(typed.c_str()));
    QTest::keyClicks(w.QnTerminal1, QString::fromLatin1(typed.c_str()));
    EXPECT_EQ(DrainKeys(m, 0x10, 0x11), typed.substr(0, 32));
    EXPECT_EQ(DrainKeys(m, 0x12, 0x13), typed.substr(0, 32));
    EXPECT_EQ(InPort(m, 0x11), typed[31]) << "the last key repeats";
}

struct TKeyCase {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    std::string Queued;
};

TEST(ConsoleGlueTest, MappedKeysQueueExactlyTheirBytes)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TMapTermKeys& keys = w.KeyMap();
    keys.SetMapping(0, tksNormal, "^[[A");  // Up Arrow
    keys.SetMapping(11, tksCtrl, "^C");     // F1
    keys.SetMapping(8, tksNormal, "DEL");   // Backspace
    keys.SetMapping(10, tksShift, "^1");    // Insert: mapped text that decodes to nothing
    const TKeyCase cases[] = {
        {"mapped cursor key", Qt::Key_Up, Qt::NoModifier, "\x1B[A"},
        {"no mapping in the Shift state", Qt::Key_Up, Qt::ShiftModifier, ""},
        {"Shift and Ctrl use the Normal mapping", Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier, "\x1B[A"},
        {"Ctrl mapping", Qt::Key_F1, Qt::ControlModifier, "\x03"},
        {"unmapped function key", Qt::Key_F1, Qt::NoModifier, ""},
        {"mapped key types no character", Qt::Key_Backspace, Qt::NoModifier, "DEL"},
        {"unmapped state types its character", Qt::Key_Backspace, Qt::ShiftModifier, "\x08"},
        {"mapping without bytes swallows the key", Qt::Key_Insert, Qt::ShiftModifier, ""},
        {"typing is unchanged", Qt::Key_Q, Qt::NoModifier, "q"},
    };
    for (const TKeyCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QTest::keyClick(w.SimpleTerminal1, c.Key, c.Modifiers);
        EXPECT_EQ(DrainKeys(w.Machine(), 0x10, 0x11), c.Queued);
    }

    // Key ups: a mapped key is swallowed, any other passes on.
    struct TUpCase {
        uint16_t Key;
        TShiftState Shift;
        bool Swallowed;
    };
    const TShiftState none, shift = TShiftState().Include(ssShift);
    for (TUpCase c : {TUpCase{VK_UP, none, true}, TUpCase{VK_UP, shift, false}, TUpCase{VK_INSERT, shift, true},
                      TUpCase{VK_F1 + 1, none, false}, TUpCase{'A', none, false}}) {
        SCOPED_TRACE(c.Key);
        uint16_t key = c.Key;
        w.SimpleTerminal1KeyUp(key, c.Shift);
        EXPECT_EQ(key, c.Swallowed ? 0 : c.Key);
    }
    EXPECT_EQ(w.Machine().FTtyKeyQueue.Count(), 0) << "key ups queue nothing";
}

TEST(ConsoleGlueTest, KeyMapIsReadFromTheProgramFolderAtStartUp)
{
    TWindowHarness h(false);
    const std::string file = h.Temp.Folder() + ProgramName() + ".kmap";
    {
        TMapTermKeys saved(file);
        saved.SetMapping(7, tksNormal, "^[[4~");  // End
        ASSERT_TRUE(saved.Save());
    }
    TMainHalvoret& w = h.Open();
    EXPECT_EQ(w.KeyMap().FileName(), file);
    QTest::keyClick(w.SimpleTerminal1, Qt::Key_End);
    EXPECT_EQ(DrainKeys(w.Machine(), 0x10, 0x11), "\x1B[4~");
    EXPECT_TRUE(h.Prompts.Log.empty());
}

TEST(ConsoleGlueTest, AnUnreadableKeyMapIsReportedAndKept)
{
    TWindowHarness h(false);
    const std::string file = h.Temp.Folder() + ProgramName() + ".kmap";
    std::filesystem::create_directory(file);  // exists, cannot be read as a file
    TMainHalvoret& w = h.Open();
    QApplication::processEvents();
    ASSERT_EQ(h.Prompts.Log.size(), 1u);
    EXPECT_EQ(h.Prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
    w.KeyMap().SetMapping(0, tksNormal, "x");
    EXPECT_FALSE(w.KeyMap().Save()) << "the empty map never replaces the unread file";
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST(ConsoleGlueTest, MapTtyKeysActionEditsTheMapAndSavesOnClose)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    ASSERT_NE(w.TTYMapKeysAct, nullptr);
    EXPECT_EQ(w.TTYMapKeysAct->iconText().toStdString(), "Map TTY Keys");
    QMenu* view = nullptr;
    for (QAction* a : w.menuBar()->actions())
        if (a->menu() && a->menu()->actions().contains(w.TTYMapKeysAct))
            view = a->menu();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->title().toStdString(), "&View");

    bool edited = false;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<TMapTermKeysDlg*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        closer.stop();
        EXPECT_EQ(dlg, w.MapTermKeys);
        EXPECT_EQ(dlg->windowTitle().toStdString(), "Map Terminal Keys");
        dlg->ListBox1->setCurrentRow(3);  // Right Arrow
        dlg->Edit1->setText(QStringLiteral("^[OC^a"));
        dlg->Button1->click();
        edited = dlg->Edit1->text() == QStringLiteral("^[OC^A");
        dlg->reject();
    });
    closer.start();
    w.TTYMapKeysAct->trigger();
    closer.stop();
    EXPECT_TRUE(edited);

    QTest::keyClick(w.SimpleTerminal1, Qt::Key_Right);
    EXPECT_EQ(DrainKeys(w.Machine(), 0x10, 0x11), "\x1BOC\x01") << "in effect at once";
    TMapTermKeys reread(w.KeyMap().FileName());
    ASSERT_TRUE(reread.Load()) << "written when the dialog closed";
    EXPECT_EQ(reread.GetMapping(3, tksNormal), "^[OC^A");
}

TEST(ConsoleGlueTest, DisksPageFollowsAMountByTheCpu)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TDiskDrive::FormatDiskImage(h.Temp.File("WORK.cpmdsk"));
    TTavrinMachine& m = w.Machine();
    auto command = [&](const std::string& text) {
        m.CpuPortWrite(m.CpuEmu1, 0x40, 0);
        for (char c : text)
            m.CpuPortWrite(m.CpuEmu1, 0x41, static_cast<uint8_t>(c));
        m.CpuPortWrite(m.CpuEmu1, 0x40, 1);
    };
    command("MOUNT B: WORK");
    EXPECT_EQ(w.DisksPage->DiskCaptions[1]->text().toStdString(), "\"WORK\"");
    EXPECT_EQ(w.ChangeDriveActs[1]->text().toStdString(), "Change B:");
    command("UNMOUNT B:");
    EXPECT_EQ(w.DisksPage->DiskCaptions[1]->text().toStdString(), "(no disk)");
    EXPECT_EQ(w.ChangeDriveActs[1]->text().toStdString(), "Insert B:");
    EXPECT_TRUE(h.Prompts.Log.empty());
}

} // namespace
