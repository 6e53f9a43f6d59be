// The TTY console glue of the main window, offscreen: bytes written to port
// 11h carried out on the console, typed and mapped keys on their way to the
// keyboard ports, the key map read at start-up and edited through "Map TTY
// Keys", typed keys on the CRT console, and typed keys reaching the page's
// console after a menu or dialog.

#include "ui/MapTermKeysDlg.h"
#include "WindowTestSupport.h"

#include <map>

using namespace tavrin::test;
using namespace std::string_literals;

namespace {

TEST(ConsoleGlueTest, TtyCommandsAreCarriedOutOnTheConsole) {
    struct TCase {
        const char* Name;
        std::string Output;
        std::map<int, std::string> Rows;
    };
    const TCase cases[] = {
        {"position: column byte, then row byte",
         "ab\x1B"
         "Cp\x05\x0A"
         "X"s,
         {{0, "ab"}, {10, "     X"}}},
        {"position outside the screen stays",
         "ab\x1B"
         "Cp\xC8\x05"
         "\x1B"
         "Cp\x01\xC8"
         "X"s,
         {{0, "abX"}}},
        {"home",
         "abc\r\nde\x1B"
         "ChZ",
         {{0, "Zbc"}}},
        {"clear screen", "abc\r\nxyz\x1BSc", {{0, ""}, {1, ""}}},
        {"clear line", "keep\r\nabc\x1BLc", {{0, "keep"}, {1, ""}}},
        {"clear to end of line",
         "abcdef\x1B"
         "Cp\x02\x00\x1BL>"s,
         {{0, "ab"}}},
        {"insert line",
         "top\r\nbot\x1B"
         "Cp\x00\x01\x1BLi"s,
         {{0, "top"}, {1, ""}, {2, "bot"}}},
        {"delete line",
         "one\r\ntwo\r\nthree\x1B"
         "Cp\x00\x01\x1BLd"s,
         {{0, "one"}, {1, "three"}}},
        {"unknown sequence is replayed as text", "\x1BSq!", {{0, "Sq!"}}},
        {"high video on and off", "\x1BShH\x1BSlL", {{0, "HL"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TWindowHarness h;
        PortOut(h.Open(), 0x11, c.Output);
        for (const auto& [row, text] : c.Rows) EXPECT_EQ(h.TtyRow(row), text) << row;
    }
    TWindowHarness h;
    PortOut(h.Open(), 0x11, "\x1BShH\x1BSlL");
    const TSimpleTerminal& t = *h.Window->Ui().SimpleTerminal1;
    EXPECT_TRUE(t.GetCell(0, 0).Attributes.Contains(tca_HighVideo));
    EXPECT_FALSE(t.GetCell(1, 0).Attributes.Contains(tca_HighVideo));
    EXPECT_FALSE(t.DefaultAttributes().Contains(tca_HighVideo));
}

TEST_F(WindowTest, TheTtyConsoleStartsWithItsFormValues) {
    TSimpleTerminal& t = *W->Ui().SimpleTerminal1;
    EXPECT_EQ(std::make_tuple(t.Rows(), t.FontName(), t.FontSize(), t.DefaultAttributes().Empty()),
              std::make_tuple(50, std::string("Terminal"), 9, true));
    // Sky blue, yellow font, white and black video, navy cursor.
    EXPECT_EQ(
        (std::vector<TColor>{t.Color(), t.FontColor(), t.HighVideoFontColor(), t.LowVideoFontColor(), t.CursorColor()}),
        (std::vector<TColor>{0xF0CAA6, 0x00FFFF, 0xFFFFFF, 0x000000, 0x800000}));
    // A cursor address below row 24 is obeyed; a long line stays on its row.
    PortOut(*W, 0x11,
            std::string("\x1B"
                        "Cp\x02\x1E") +
                std::string(100, '9'));
    EXPECT_EQ(t.CursorRow(), 30);
    EXPECT_EQ(H.TtyRow(30), "  " + std::string(78, '9'));
}

// Keys typed on either console reach its own keyboard ports: the TTY's
// through the key map, the CRT's as the VT100 emulator's key texts.
TEST_F(WindowTest, KeysQueueExactlyTheirBytesOnTheirConsolesPorts) {
    TMapTermKeys& keys = W->TtyConsole().KeyMap();
    keys.SetMapping(0, tksNormal, "^[[A");  // Up Arrow
    keys.SetMapping(11, tksCtrl, "^C");     // F1
    keys.SetMapping(8, tksNormal, "DEL");   // Backspace
    keys.SetMapping(10, tksShift, "^1");    // Insert: mapped text that decodes to nothing
    struct TCase {
        const char* Name;
        bool Crt;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        std::string Queued;
        const char* Before = "";  // written to port 13h first
    };
    const TCase cases[] = {
        {"TTY: mapped cursor key", false, Qt::Key_Up, Qt::NoModifier, "\x1B[A"},
        {"TTY: no mapping in the Shift state", false, Qt::Key_Up, Qt::ShiftModifier, ""},
        {"TTY: Shift and Ctrl use the Normal mapping", false, Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier,
         "\x1B[A"},
        {"TTY: Ctrl mapping", false, Qt::Key_F1, Qt::ControlModifier, "\x03"},
        {"TTY: unmapped function key", false, Qt::Key_F1, Qt::NoModifier, ""},
        {"TTY: mapped key types no character", false, Qt::Key_Backspace, Qt::NoModifier, "DEL"},
        {"TTY: unmapped state types its character", false, Qt::Key_Backspace, Qt::ShiftModifier, "\x08"},
        {"TTY: mapping without bytes swallows the key", false, Qt::Key_Insert, Qt::ShiftModifier, ""},
        {"TTY: typing is unchanged", false, Qt::Key_Q, Qt::NoModifier, "q"},
        {"CRT: Return", true, Qt::Key_Return, Qt::NoModifier, "\r"},
        {"CRT: Ctrl+C", true, Qt::Key_C, Qt::ControlModifier, "\x03"},
        {"CRT: Shift alone", true, Qt::Key_Shift, Qt::ShiftModifier, ""},
        {"CRT: Backspace", true, Qt::Key_Backspace, Qt::NoModifier, "\x7f"},
        {"CRT: cursor key", true, Qt::Key_Up, Qt::NoModifier, "\x1b[A"},
        {"CRT: F2", true, Qt::Key_F2, Qt::NoModifier, "\x1bOQ"},
        {"CRT: Home is PF1", true, Qt::Key_Home, Qt::NoModifier, "\x1bOP"},
        {"CRT: End is PF2", true, Qt::Key_End, Qt::NoModifier, "\x1bOQ"},
        {"CRT: Page Down is PF3", true, Qt::Key_PageDown, Qt::NoModifier, "\x1bOR"},
        {"CRT: Page Up is PF4", true, Qt::Key_PageUp, Qt::NoModifier, "\x1bOS"},
        {"CRT: application cursor key", true, Qt::Key_Left, Qt::NoModifier, "\x1bOD", "\x1b[?1h"},
        {"CRT: VT52 cursor key", true, Qt::Key_Left, Qt::NoModifier,
         "\x1b"
         "D",
         "\x1b[?2l"},
        {"CRT: Tab", true, Qt::Key_Tab, Qt::NoModifier, "\t"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        PortOut(*W, 0x13, c.Before);
        QTest::keyClick(c.Crt ? static_cast<QWidget*>(W->Ui().QnTerminal1) : W->Ui().SimpleTerminal1, c.Key,
                        c.Modifiers);
        EXPECT_EQ(Keys(W->Machine(), 0x10, 0x11), c.Crt ? "" : c.Queued);
        EXPECT_EQ(Keys(W->Machine(), 0x12, 0x13), c.Crt ? c.Queued : "");
    }
    EXPECT_EQ(InPort(W->Machine(), 0x13, 0x00), '\t') << "an empty queue repeats the last key";
    EXPECT_EQ(H.CrtText().find_first_not_of('\n'), std::string::npos) << "no local echo: the program echoes";

    // Fast typing keeps the first 32 keys of each keyboard.
    const std::string typed = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
    QTest::keyClicks(W->Ui().SimpleTerminal1, QString::fromLatin1(typed.c_str()));
    QTest::keyClicks(W->Ui().QnTerminal1, QString::fromLatin1(typed.c_str()));
    EXPECT_EQ(Keys(W->Machine(), 0x10, 0x11), typed.substr(0, 32));
    EXPECT_EQ(Keys(W->Machine(), 0x12, 0x13), typed.substr(0, 32));

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
        W->TtyConsole().KeyUp(key, c.Shift);
        EXPECT_EQ(key, c.Swallowed ? 0 : c.Key);
    }
    EXPECT_EQ(W->Machine().KeysWaiting(TConsoleKeyboard::Tty), 0) << "key ups queue nothing";
}

// The key map is read from the program folder at start-up; "Map TTY Keys"
// edits it, in effect at once, and writes it whole when its dialog closes.
TEST_F(WindowTest, MapTtyKeysActionEditsTheMapReadAtStartUpAndSavesOnClose) {
    const std::string file = H.Temp.Folder() + ProgramName() + ".kmap";
    {
        TMapTermKeys saved(file);
        saved.SetMapping(7, tksNormal, "^[[4~");  // End
        ASSERT_TRUE(saved.Save());
    }
    W = &H.Open();
    QTest::keyClick(W->Ui().SimpleTerminal1, Qt::Key_End);
    EXPECT_EQ(Keys(W->Machine(), 0x10, 0x11), "\x1B[4~");
    EXPECT_EQ(W->Ui().TTYMapKeysAct->iconText().toStdString(), "Map TTY Keys");
    QMenu* view = nullptr;
    for (QAction* a : W->menuBar()->actions())
        if (a->menu() && a->menu()->actions().contains(W->Ui().TTYMapKeysAct)) view = a->menu();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->title().toStdString(), "&View");

    QTimer::singleShot(0, W->Ui().MapTermKeys, [this] {
        TMapTermKeysDlg* dlg = W->Ui().MapTermKeys;
        EXPECT_EQ(QApplication::activeModalWidget(), dlg);
        dlg->ListBox1->setCurrentRow(3);  // Right Arrow
        dlg->Edit1->setText(QStringLiteral("^[OC^a"));
        dlg->Button1->click();
        dlg->reject();
    });
    W->Ui().TTYMapKeysAct->trigger();
    QTest::keyClick(W->Ui().SimpleTerminal1, Qt::Key_Right);
    EXPECT_EQ(Keys(W->Machine(), 0x10, 0x11), "\x1BOC\x01") << "in effect at once";
    TMapTermKeys reread(file);
    ASSERT_TRUE(reread.Load()) << "written when the dialog closed";
    EXPECT_EQ(reread.GetMapping(3, tksNormal), "^[OC^A");
    EXPECT_EQ(reread.GetMapping(7, tksNormal), "^[[4~");
    EXPECT_TRUE(H.Prompts.Log.empty());
}

// Opens a menu of the bar with the mouse and closes it with Esc.
void OpenAndEscapeMenu(TMainHalvoret& w, const char* title) {
    for (QAction* action : w.menuBar()->actions()) {
        if (action->text() != QString::fromLatin1(title)) continue;
        QTest::mouseClick(w.menuBar(), Qt::LeftButton, {}, w.menuBar()->actionGeometry(action).center());
        QApplication::processEvents();
        ASSERT_NE(QApplication::activePopupWidget(), nullptr) << title;
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QApplication::processEvents();
        return;
    }
    FAIL() << "no menu " << title;
}

// Typed keys reach the console of the page shown after a menu or a dialog
// has closed, instead of the menu bar or a widget the user did not choose.
TEST_F(WindowTest, TypedKeysReachThePagesConsoleAfterAMenuOrDialog) {
    W->show();
    W->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(W));
    struct TCase {
        bool Tty;
        const char* Menu;  // none: the key map dialog
    };
    for (TCase c : {TCase{false, "&Disks"}, TCase{true, "&File"}, TCase{true, nullptr}}) {
        SCOPED_TRACE(c.Menu ? c.Menu : "dialog");
        W->Ui().PageControl1->setCurrentWidget(c.Tty ? W->Ui().TtyPage : W->Ui().CrtPage);
        QApplication::processEvents();
        if (c.Menu) {
            OpenAndEscapeMenu(*W, c.Menu);
        } else {
            QTimer::singleShot(0, W->Ui().MapTermKeys, [this] { W->Ui().MapTermKeys->reject(); });
            W->Ui().TTYMapKeysAct->trigger();
            QApplication::processEvents();
        }
        QWidget* focus = QApplication::focusWidget();
        ASSERT_EQ(focus, c.Tty ? static_cast<QWidget*>(W->Ui().SimpleTerminal1) : W->Ui().QnTerminal1)
            << (focus ? focus->metaObject()->className() : "no widget");
        QTest::keyClick(focus, Qt::Key_D);
        QApplication::processEvents();
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no menu opened";
        EXPECT_EQ(c.Tty ? Keys(W->Machine(), 0x10, 0x11) : Keys(W->Machine(), 0x12, 0x13), "d");
    }
}

}  // namespace
