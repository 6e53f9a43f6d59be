// The CRT console runs the VT100 emulator: its start-up modes and key map
// additions, escape sequences written to port 13h, a program drawing a screen
// through the BIOS, and cursor and PF keys reaching the CRT key queue.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <fstream>
#include <iterator>
#include <vector>

#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

void CrtOut(TMainHalvoret& w, const std::string& bytes)
{
    TTavrinMachine& m = w.Machine();
    for (char c : bytes)
        m.CpuPortWrite(m.CpuEmu1, 0x13, static_cast<uint8_t>(c));
    QApplication::processEvents();
}

std::string Queued(TTavrinMachine& m)
{
    std::string got;
    for (int i = 0; i < 16 && InPort(m, 0x12) == 0x06; ++i)
        got += static_cast<char>(InPort(m, 0x13));
    return got;
}

TEST(CrtVt100Test, TheTerminalRunsTheVt100Emulator)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    ASSERT_NE(w.QnVT100Emulator1, nullptr);
    TQnVT100Emulator& e = *w.QnVT100Emulator1;
    EXPECT_EQ(w.QnTerminal1->Emulator(), &e);
    EXPECT_EQ(w.QnTerminal1->CurrentEmulator(), &e);
    EXPECT_TRUE(e.ANSIMode());
    EXPECT_FALSE(e.CursorKeyAppMode);
    EXPECT_FALSE(e.KeypadAppMode);
    EXPECT_TRUE(e.AutoRepeat);
    EXPECT_TRUE(e.DisplayUpperASCII);
    EXPECT_EQ(e.Answerback, "");
    EXPECT_EQ(e.MapLoadError(), "");
    EXPECT_EQ(e.KeyboardMap().Get("VK_NEXT"), "DEC_PF3k");
    EXPECT_EQ(e.KeyboardMap().Get("VK_PRIOR"), "DEC_PF4k");
    EXPECT_EQ(e.KeyboardMap().Get("VK_HOME"), "DEC_PF1k");
    EXPECT_EQ(e.KeyboardMap().Get("VK_END"), "DEC_PF2k");
    EXPECT_TRUE(h.Prompts.Log.empty());

    // Closing the window releases the emulator before the terminal.
    h.Window.reset();
}

TEST(CrtVt100Test, EscapeSequencesOnThePortAct)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    CrtOut(w, "first\r\n\x1b[2J\x1b[3;5Hxy");
    EXPECT_EQ(h.CrtRow(1), "");
    EXPECT_EQ(h.CrtRow(3), "    xy");
    CrtOut(w, "\x1b[?3h");
    EXPECT_EQ(w.QnTerminal1->Columns(), 132) << "DECCOLM reaches the terminal";
    EXPECT_EQ(h.CrtRow(3), "") << "and clears the screen";
    CrtOut(w, "\x1b[3;5Hxy");
    CrtOut(w, "\x1b" "c");
    EXPECT_EQ(w.QnTerminal1->Columns(), 80);
    EXPECT_EQ(h.CrtRow(3), "");
    // Replies have no port to go to: nothing reaches the keyboard queue.
    CrtOut(w, "\x1b[6n\x1b[c\x05");
    EXPECT_EQ(Queued(w.Machine()), "");
}

TEST(CrtVt100Test, CursorAndFunctionKeysSendVt100Texts)
{
    TWindowHarness h(false);
    TMainHalvoret& w = h.Open();
    TTavrinMachine& m = w.Machine();
    QTest::keyClick(w.QnTerminal1, Qt::Key_Up);
    EXPECT_EQ(Queued(m), "\x1b[A");
    QTest::keyClick(w.QnTerminal1, Qt::Key_F2);
    EXPECT_EQ(Queued(m), "\x1bOQ");
    QTest::keyClick(w.QnTerminal1, Qt::Key_PageDown);
    EXPECT_EQ(Queued(m), "\x1bOR");
    QTest::keyClick(w.QnTerminal1, Qt::Key_Backspace);
    EXPECT_EQ(Queued(m), "\x7f");
    // The host program switches cursor keys to application mode and to VT52.
    CrtOut(w, "\x1b[?1h");
    QTest::keyClick(w.QnTerminal1, Qt::Key_Left);
    EXPECT_EQ(Queued(m), "\x1bOD");
    CrtOut(w, "\x1b[?2l");
    QTest::keyClick(w.QnTerminal1, Qt::Key_Left);
    EXPECT_EQ(Queued(m), "\x1b" "D");
    QTest::keyClicks(w.QnTerminal1, QStringLiteral("ok"));
    EXPECT_EQ(Queued(m), "ok");
    EXPECT_EQ(h.CrtText().find_first_not_of('\n'), std::string::npos) << "keys are not echoed";
}

class CrtVt100BootTest : public ::testing::Test {
protected:
    void SetUp() override { W = &H.Open(); }
    TWindowHarness H;
    TMainHalvoret* W = nullptr;
};

TEST_F(CrtVt100BootTest, ProgramDrawsItsScreenThroughTheBios)
{
    W->ResetCPMAct->trigger();
    ASSERT_TRUE(H.RunUntilCrt(">")) << H.CrtText();
    W->RunCpuAct->trigger();
    ASSERT_FALSE(W->RunCpuAct->isChecked());

    std::ifstream file(TAVRIN_VT100_SCREEN_BIN, std::ios::binary);
    ASSERT_TRUE(file) << TAVRIN_VT100_SCREEN_BIN;
    std::vector<uint8_t> program((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    TTavrinMachine& m = W->Machine();
    m.CpuEmu1.WriteMemory(0x0100, static_cast<uint16_t>(program.size()), program.data());
    m.CpuEmu1.Reset(0x0100);
    W->RunCpuAct->trigger();
    ASSERT_TRUE(H.RunUntil([this] { return H.CrtRow(24); }, "end", 200)) << H.CrtText();

    EXPECT_EQ(H.CrtRow(1), "VT100 screen");
    EXPECT_EQ(H.CrtRow(2), "");
    EXPECT_EQ(H.CrtRow(3), "rowthree");
    EXPECT_EQ(H.CrtRow(5), "         bold lqk");
    const TQnTerminalBuffer& b = *W->QnVT100Emulator1->Buffer();
    EXPECT_EQ(b.AttrAt(5, 10), atBold);
    EXPECT_EQ(b.AttrAt(5, 14), 0);
    EXPECT_EQ(b.CharSetAt(5, 15), csLineDraw);
    EXPECT_EQ(b.CharSetAt(5, 17), csLineDraw);
    EXPECT_EQ(b.CharSetAt(24, 1), csUSASCII);
    W->RunCpuAct->trigger();
    EXPECT_TRUE(H.Prompts.Log.empty()) << H.Prompts.LastText();
}

} // namespace
