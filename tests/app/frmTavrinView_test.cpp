// The View menu's console actions: 80 / 132 columns for the CRT and TTY
// consoles, and clearing each of them.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>

#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

void PortOut(TMainHalvoret& w, uint8_t port, const std::string& bytes)
{
    TTavrinMachine& m = w.Machine();
    for (char c : bytes)
        m.CpuPortWrite(m.CpuEmu1, port, static_cast<uint8_t>(c));
    QApplication::processEvents();
}

struct WidthCase {
    int Col;       // cursor column while 132 columns are on
    int ColAfter;  // after switching back to 80
};

class Crt132Test : public ::testing::TestWithParam<WidthCase> {};

TEST_P(Crt132Test, SwitchingOffKeepsTheCursorOnTheNarrowScreen)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    w.Crt132Act->trigger();
    EXPECT_TRUE(w.Crt132Act->isChecked());
    EXPECT_EQ(w.QnTerminal1->Columns(), 132);
    EXPECT_TRUE(w.QnVT100Emulator1->Col132Mode());
    PortOut(w, 0x13, "\x1b[7;" + std::to_string(GetParam().Col) + "H");
    w.Crt132Act->trigger();
    EXPECT_EQ(w.QnTerminal1->Columns(), 80);
    const TQnTerminalBuffer& b = *w.QnVT100Emulator1->Buffer();
    EXPECT_EQ(b.GetRow(), 7);
    EXPECT_EQ(b.GetCol(), GetParam().ColAfter);
}

INSTANTIATE_TEST_SUITE_P(Columns, Crt132Test,
                         ::testing::Values(WidthCase{100, 79}, WidthCase{80, 79}, WidthCase{79, 79}, WidthCase{12, 12}));

TEST(ConsoleViewActionsTest, Tty132OnAndOffReturnsTo80)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    EXPECT_EQ(w.SimpleTerminal1->Columns(), 80);
    w.TTY132Act->trigger();
    EXPECT_EQ(w.SimpleTerminal1->Columns(), 132);
    w.TTY132Act->trigger();
    EXPECT_FALSE(w.TTY132Act->isChecked());
    EXPECT_EQ(w.SimpleTerminal1->Columns(), 80);
}

TEST(ConsoleViewActionsTest, ClearCrtEmptiesScreenAndScrollbackAndLeavesVt52)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    std::string lines;
    for (int i = 0; i < 30; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    PortOut(w, 0x13, lines + "\x1b#6wide\x1b[1;31mred\x1b[?2l");
    TQnVT100Emulator& e = *w.QnVT100Emulator1;
    ASSERT_FALSE(e.ANSIMode());
    const TQnTerminalBuffer& b = *e.Buffer();
    ASSERT_EQ(b.LineText(0).substr(0, 7), "line 6 ");
    w.ClearCrtAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row)
        ASSERT_EQ(h.CrtRow(row), "") << row;
    EXPECT_EQ(b.CursorScreenRow(), 1);
    EXPECT_EQ(b.CursorScreenCol(), 1);
    EXPECT_EQ(e.LineAttrs().GetAttr(24), laNormal);
    // New text is drawn in the terminal's own colours.
    EXPECT_EQ(b.ForeColor(), w.QnTerminal1->FontColor());
    EXPECT_EQ(b.BackColor(), w.QnTerminal1->Color());
    PortOut(w, 0x13, "\x1b[2Jok");
    EXPECT_EQ(h.CrtRow(1), "ok");
}

TEST(ConsoleViewActionsTest, ClearTtyForgetsAHalfReceivedSequence)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    PortOut(w, 0x11, "old text\r\n\x1b" "C");
    w.ClearTTYAct->trigger();
    EXPECT_EQ(h.TtyText().find_first_not_of('\n'), std::string::npos);
    PortOut(w, 0x11, "xy");
    EXPECT_EQ(h.TtyRow(0), "xy") << "the bytes after the clear are text, not the sequence's position";
}

} // namespace
