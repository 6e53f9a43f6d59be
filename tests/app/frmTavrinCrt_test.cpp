// The CRT console in the main window, offscreen: the cold-boot mapping that
// puts CON on the CRT, the example system booting onto the CRT terminal,
// port 13h output reaching the terminal's buffer, and keys typed on the
// terminal reaching ports 12h/13h.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include "platform/ProgramFolder.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

void CrtOut(TMainHalvoret& w, const std::string& bytes)
{
    TTavrinMachine& m = w.Machine();
    for (char c : bytes)
        m.CpuPortWrite(m.CpuEmu1, 0x4113, static_cast<uint8_t>(c));  // the high byte is ignored
}

TEST(CrtConsoleTest, StartsWithConOnTheCrtPage)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TTavrinMachine& m = w.Machine();
    EXPECT_EQ(InPort(m, 0x48), 0x01) << "CON = CRT; LST, RDR and PUN = TTY";
    EXPECT_EQ(m.FMapping.GetMappingByte(), 0x01);
    EXPECT_EQ(w.PageControl1->currentWidget(), w.CrtPage);
    EXPECT_EQ(w.PageControl1->currentIndex(), 0);
    ASSERT_NE(w.QnTerminal1, nullptr);
    EXPECT_EQ(w.QnTerminal1->parentWidget(), w.CrtPage);
    EXPECT_EQ(w.focusWidget(), w.QnTerminal1) << "the CRT terminal is the active control";

    const TQnTerminal& t = *w.QnTerminal1;
    EXPECT_TRUE(t.WantAllKeys());
    EXPECT_FALSE(t.UseLazyDisplay()) << "every data event paints at once";
    EXPECT_EQ(t.CursorType(), ctUnderline);
    EXPECT_EQ(t.Color(), 0x000000u);
    EXPECT_EQ(t.FontColor(), 0x00FF00u);
    EXPECT_EQ(t.Capture(), cmOff);
    EXPECT_EQ(t.Rows(), 24);
    EXPECT_EQ(t.Columns(), 80);
    EXPECT_TRUE(h.Prompts.Log.empty());
}

TEST(CrtConsoleTest, SavedMappingChoosesTheConsolePage)
{
    struct TCase {
        int Mapping;
        bool Tty;
    };
    for (TCase c : {TCase{0x00, true}, TCase{0xFC, true}, TCase{0x95, false}, TCase{0x03, false}}) {
        SCOPED_TRACE(c.Mapping);
        TWindowHarness h(false);
        TNrKeyValueSections store;
        store.WriteInteger("PORTS", "ColdBootDeviceMapping", c.Mapping);
        store.SaveToFile(h.Temp.Folder() + ProgramName() + ".config");
        TMainHalvoret& w = h.Open();
        w.FormActivate();
        EXPECT_EQ(w.PageControl1->currentWidget(), c.Tty ? w.TtyPage : w.CrtPage);
        EXPECT_EQ(InPort(w.Machine(), 0x48), c.Mapping);
    }
}

TEST(CrtConsoleTest, PortOutputIsShownOnTheTerminal)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    CrtOut(w, "Hello\r\nCRT\x07 world\r\n\r\nx\by");
    QApplication::processEvents();
    EXPECT_EQ(h.CrtRow(1), "Hello");
    EXPECT_EQ(h.CrtRow(2), "CRT world");
    EXPECT_EQ(h.CrtRow(3), "");
    EXPECT_EQ(h.CrtRow(4), "y");
    EXPECT_EQ(h.TtyText().find_first_not_of('\n'), std::string::npos) << "nothing reaches the TTY";

    // The TTY port still goes to the TTY only.
    TTavrinMachine& m = w.Machine();
    for (char c : std::string("tty"))
        m.CpuPortWrite(m.CpuEmu1, 0x11, static_cast<uint8_t>(c));
    QApplication::processEvents();
    EXPECT_EQ(h.TtyRow(0), "tty");
    EXPECT_EQ(h.CrtRow(4), "y");

    // Many bytes between two event-loop passes all arrive, in order.
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    CrtOut(w, lines);
    QApplication::processEvents();
    EXPECT_EQ(h.CrtRow(22), "line 28");
    EXPECT_EQ(h.CrtRow(23), "line 29");
    EXPECT_EQ(h.CrtRow(24), "");
}

struct TKeyCase {
    const char* Name;
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    std::string Queued;
    const char* Typed = nullptr;  // typed as text instead of Key
};

TEST(CrtConsoleTest, KeysTypedOnTheTerminalReachTheCrtPorts)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TTavrinMachine& m = w.Machine();
    const TKeyCase cases[] = {
        {"letter", Qt::Key_Q, Qt::NoModifier, "q"},
        {"capital letter", Qt::Key_unknown, Qt::NoModifier, "Q", "Q"},
        {"punctuation", Qt::Key_unknown, Qt::NoModifier, "!", "!"},
        {"digit", Qt::Key_7, Qt::NoModifier, "7"},
        {"Return", Qt::Key_Return, Qt::NoModifier, "\r"},
        {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, "\x03"},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, "\t"},
        {"Shift alone", Qt::Key_Shift, Qt::ShiftModifier, ""},
    };
    for (const TKeyCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(InPort(m, 0x12), 0x04) << "nothing waiting";
        if (c.Typed)
            QTest::keyClicks(w.QnTerminal1, QString::fromLatin1(c.Typed));
        else
            QTest::keyClick(w.QnTerminal1, c.Key, c.Modifiers);
        std::string got;
        for (int i = 0; i < 8 && InPort(m, 0x12) == 0x06; ++i)
            got += static_cast<char>(InPort(m, 0x13));
        EXPECT_EQ(got, c.Queued);
        EXPECT_EQ(m.FTtyKeyQueue.Count(), 0) << "the TTY keyboard is another queue";
    }
    EXPECT_EQ(InPort(m, 0x13, 0x00), '\t') << "an empty queue repeats the last key";
    EXPECT_EQ(h.CrtText().find_first_not_of('\n'), std::string::npos) << "no local echo: the program echoes";
}

class CrtBootTest : public ::testing::Test {
protected:
    void SetUp() override { W = &H.Open(); }
    TWindowHarness H;
    TMainHalvoret* W = nullptr;
};

TEST_F(CrtBootTest, ExampleSystemBootsOntoTheCrtAndEchoesItsKeys)
{
    W->ResetCPMAct->trigger();
    ASSERT_TRUE(H.Prompts.Log.empty()) << H.Prompts.LastText();
    ASSERT_TRUE(W->RunCpuAct->isChecked());

    ASSERT_TRUE(H.RunUntilCrt("Tavrin example system\n>\n")) << H.CrtText();
    EXPECT_EQ(W->Machine().CpuEmu1.ReadMemoryByte(0x0003), 0x01) << "IOBYTE from port 48h";
    EXPECT_EQ(H.CrtRow(1), "Tavrin 64K BIOS");
    EXPECT_EQ(H.CrtRow(2), "Tavrin example system");
    EXPECT_EQ(H.CrtRow(3), ">") << "drive A is empty";
    EXPECT_EQ(H.TtyText().find_first_not_of('\n'), std::string::npos) << H.TtyText();

    // Typed while the CPU is stopped: queued, shown only once the program
    // has read and echoed them.
    W->RunCpuAct->trigger();
    ASSERT_FALSE(W->RunCpuAct->isChecked());
    QTest::keyClicks(W->QnTerminal1, QStringLiteral("dir"));
    QApplication::processEvents();
    EXPECT_EQ(W->Machine().FCrtKeyQueue.Count(), 3);
    EXPECT_EQ(H.CrtRow(3), ">");
    W->RunCpuAct->trigger();
    ASSERT_TRUE(H.RunUntilCrt("> dir\n")) << H.CrtText();
    EXPECT_EQ(W->Machine().FCrtKeyQueue.Count(), 0);

    QTest::keyClick(W->QnTerminal1, Qt::Key_Return);
    QTest::keyClicks(W->QnTerminal1, QStringLiteral("ok"));
    ASSERT_TRUE(H.RunUntilCrt("> dir\n> ok\n")) << H.CrtText();

    // Ctrl+C warm-boots: the system starts again where the cursor stands.
    QTest::keyClick(W->QnTerminal1, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(H.RunUntilCrt("> okTavrin example system\n>\n")) << H.CrtText();
    EXPECT_TRUE(H.Prompts.Log.empty());
    EXPECT_EQ(H.TtyText().find_first_not_of('\n'), std::string::npos);
}

} // namespace
