// The View menu's console actions: 80 / 132 columns for the CRT and TTY
// consoles, and clearing each of them.

#include <gtest/gtest.h>

#include <QAction>

#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

void PortOut(TMainHalvoret& w, uint8_t port, const std::string& bytes)
{
    for (char c : bytes)
        w.Machine().CpuPortWrite(w.Machine().CpuEmu1, port, static_cast<uint8_t>(c));
    QApplication::processEvents();
}

class Crt132Test : public ::testing::TestWithParam<std::pair<int, int>> {};

// The cursor column while 132 columns are on, and after switching back.
TEST_P(Crt132Test, SwitchingOffKeepsTheCursorOnTheNarrowScreen)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    w.Crt132Act->trigger();
    EXPECT_EQ(w.QnTerminal1->Columns(), 132);
    PortOut(w, 0x13, "\x1b[7;" + std::to_string(GetParam().first) + "H");
    w.Crt132Act->trigger();
    EXPECT_EQ(w.QnTerminal1->Columns(), 80);
    const TQnTerminalBuffer& b = *w.QnVT100Emulator1->Buffer();
    EXPECT_EQ(b.GetRow(), 7);
    EXPECT_EQ(b.GetCol(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Columns, Crt132Test,
                         ::testing::Values(std::pair{100, 79}, std::pair{80, 79}, std::pair{12, 12}));

TEST(ConsoleViewActionsTest, ClearEmptiesScreenAndScrollbackAndForgetsHalfSequences)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    for (int i = 0; i < 30; ++i)
        PortOut(w, 0x13, "line\r\n");
    PortOut(w, 0x13, "\x1b#6wide\x1b[1;31mred\x1b[?2l");
    TQnVT100Emulator& e = *w.QnVT100Emulator1;
    const TQnTerminalBuffer& b = *e.Buffer();
    w.ClearCrtAct->trigger();
    EXPECT_TRUE(e.ANSIMode());
    for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row)
        ASSERT_EQ(h.CrtRow(row), "") << row;
    EXPECT_EQ(b.CursorScreenRow() * 100 + b.CursorScreenCol(), 101);
    EXPECT_EQ(e.LineAttrs().GetAttr(24), laNormal);
    EXPECT_EQ(b.ForeColor(), w.QnTerminal1->FontColor());
    EXPECT_EQ(b.BackColor(), w.QnTerminal1->Color());

    // The TTY's width, and a clear that forgets a half-received sequence.
    w.TTY132Act->trigger();
    EXPECT_EQ(w.SimpleTerminal1->Columns(), 132);
    w.TTY132Act->trigger();
    EXPECT_EQ(w.SimpleTerminal1->Columns(), 80);
    PortOut(w, 0x11, "old text\r\n\x1b" "C");
    w.ClearTTYAct->trigger();
    EXPECT_EQ(h.TtyText().find_first_not_of('\n'), std::string::npos);
    PortOut(w, 0x11, "xy");
    EXPECT_EQ(h.TtyRow(0), "xy") << "the bytes after the clear are text, not a position";
}

} // namespace
