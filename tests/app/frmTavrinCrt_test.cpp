// The CRT console in the main window, offscreen: the cold-boot mapping that
// puts CON on it, port 13h output through the VT100 emulator, the example
// system booting onto it, and a program drawing through the BIOS checked on a
// grab of the window (the keys: frmTavrinConsole_test.cpp).

#include "console/QnTerminalPaint.h"
#include "support/FakeTerminalHost.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

TEST_F(WindowTest, StartsWithConOnTheCrtPageAndTheVt100Emulator) {
    EXPECT_EQ(InPort(W->Machine(), 0x48), 0x01) << "CON = CRT; LST, RDR and PUN = TTY";
    EXPECT_EQ(W->Ui().PageControl1->currentWidget(), W->Ui().CrtPage);
    EXPECT_EQ(W->focusWidget(), W->Ui().QnTerminal1) << "the CRT terminal is the active control";
    const TQnTerminal& t = *W->Ui().QnTerminal1;
    EXPECT_TRUE(t.WantAllKeys());
    EXPECT_FALSE(t.UseLazyDisplay()) << "every data event paints at once";
    EXPECT_EQ(std::make_tuple(t.CursorType(), t.Color(), t.FontColor(), t.Rows(), t.Columns()),
              std::make_tuple(ctUnderline, 0x000000u, 0x00FF00u, 24, 80));
    EXPECT_EQ(W->Ui().QnVT100Emulator1->MapLoadError(), "");
    EXPECT_TRUE(H.Prompts.Log.empty());
}

TEST(CrtConsoleTest, SavedMappingChoosesTheConsolePage) {
    for (auto [mapping, tty] :
         {std::pair{0x00, true}, std::pair{0xFC, true}, std::pair{0x95, false}, std::pair{0x03, false}}) {
        SCOPED_TRACE(mapping);
        TWindowHarness h;
        h.WriteSettings({{"PORTS", "ColdBootDeviceMapping", std::to_string(mapping)}});
        TMainHalvoret& w = h.Open();
        w.FormActivate();
        EXPECT_EQ(w.Ui().PageControl1->currentWidget(), tty ? w.Ui().TtyPage : w.Ui().CrtPage);
        EXPECT_EQ(InPort(w.Machine(), 0x48), mapping);
    }
}

TEST_F(WindowTest, PortOutputIsShownOnTheTerminal) {
    PortOut(*W, 0x4113, "Hello\r\nCRT\x07 world\r\n\r\nx\by");  // the high byte is ignored
    EXPECT_THAT(H.CrtText(), StartsWith("Hello\nCRT world\n\ny\n"));

    // Many bytes between two event-loop passes all arrive, in order.
    std::string lines;
    for (int i = 0; i < 30; ++i) lines += "line " + std::to_string(i) + "\r\n";
    PortOut(*W, 0x13, lines);
    EXPECT_EQ(H.CrtRow(22), "line 28");
    EXPECT_EQ(H.CrtRow(23), "line 29");
    EXPECT_EQ(H.CrtRow(24), "");
}

TEST_F(WindowTest, EscapeSequencesOnThePortAct) {
    PortOut(*W, 0x13, "first\r\n\x1b[2J\x1b[3;5Hxy");
    EXPECT_EQ(H.CrtRow(1), "");
    EXPECT_EQ(H.CrtRow(3), "    xy");
    PortOut(*W, 0x13, "\x1b[?3h");
    EXPECT_EQ(W->Ui().QnTerminal1->Columns(), 132) << "DECCOLM reaches the terminal";
    EXPECT_EQ(H.CrtRow(3), "") << "and clears the screen";
    PortOut(*W, 0x13,
            "\x1b[3;5Hxy\x1b"
            "c");
    EXPECT_EQ(W->Ui().QnTerminal1->Columns(), 80);
    EXPECT_EQ(H.CrtRow(3), "");
    // Replies have no port to go to: nothing reaches the keyboard queue.
    PortOut(*W, 0x13, "\x1b[6n\x1b[c\x05");
    EXPECT_EQ(Keys(W->Machine(), 0x12, 0x13), "");
}

TEST_F(WindowTest, ExampleSystemBootsOntoTheCrtAndEchoesItsKeys) {
    W->Ui().ResetCPMAct->trigger();
    ASSERT_TRUE(H.RunUntilCrt("Tavrin example system\n>\n")) << H.CrtText() << H.Prompts.LastText();
    EXPECT_EQ(W->Machine().Cpu().ReadMemoryByte(0x0003), 0x01) << "IOBYTE from port 48h";
    EXPECT_THAT(H.CrtText(), StartsWith("Tavrin 64K BIOS\nTavrin example system\n>\n")) << "drive A is empty";

    // Typed while the CPU is stopped: queued, shown only once the program
    // has read and echoed them.
    W->Ui().RunCpuAct->trigger();
    QTest::keyClicks(W->Ui().QnTerminal1, QStringLiteral("dir"));
    QApplication::processEvents();
    EXPECT_EQ(W->Machine().KeysWaiting(TConsoleKeyboard::Crt), 3);
    EXPECT_EQ(H.CrtRow(3), ">");
    W->Ui().RunCpuAct->trigger();
    QTest::keyClick(W->Ui().QnTerminal1, Qt::Key_Return);
    QTest::keyClicks(W->Ui().QnTerminal1, QStringLiteral("ok"));
    ASSERT_TRUE(H.RunUntilCrt("> dir\n> ok\n")) << H.CrtText();

    // Ctrl+C warm-boots: the system starts again where the cursor stands.
    QTest::keyClick(W->Ui().QnTerminal1, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(H.RunUntilCrt("> okTavrin example system\n>\n")) << H.CrtText();
    EXPECT_TRUE(H.Prompts.Log.empty());
    EXPECT_EQ(H.TtyText().find_first_not_of('\n'), std::string::npos) << "nothing reaches the TTY";
}

// A grab of the CRT terminal window matches, cell by cell, the same bytes
// painted straight from an emulator.
// What the grab program writes (see z80/vt100_grab.asm).
const std::string Screen =
    "\x1b[2J\x1b[HAttr: \x1b[1mbold\x1b[0m \x1b[4munder\x1b[0m \x1b[7mrev\x1b[0m \x1b[1;31mred\x1b[0m "
    "\x1b[5mblink\x1b[0m\x1b[3;1H\x1b#6Wide line\x1b[5;1H\x1b#3Tall\r\n\x1b#4Tall\x1b[8;1H\x1b(0lqqk\r\nx  x\r\n"
    "mqqj\x1b(B\x1b[24;1Hend";

TEST(CrtGrabTest, WindowShowsTheProgramsScreenCellByCell) {
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.resize(1200, 900);
    w.show();
    TQnTerminal& term = *w.Ui().QnTerminal1;
    term.SetCursorType(ctNone);
    term.SetBlinkTime(0);           // the blinking text stays in its visible phase
    term.SetMinRepaintInterval(0);  // every change painted at once: settled is shown
    w.Ui().ResetCPMAct->trigger();
    ASSERT_TRUE(h.RunUntilCrt(">")) << h.CrtText();
    const std::string program = ReadFile(TAVRIN_VT100_GRAB_BIN);
    LoadProgram(w.Machine(), 0x0100, std::vector<uint8_t>(program.begin(), program.end()));
    ASSERT_TRUE(h.RunUntil([&h] { return h.CrtRow(24); }, "end", 400)) << h.CrtText();
    w.Ui().RunCpuAct->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.Ui().QnVT100Emulator1->NeedsUpdate(); }, 2000));
    const QImage grab = term.grab(term.ClientRect()).toImage().convertToFormat(QImage::Format_RGB32);

    // The same bytes, painted by an emulator of the same colours onto an image.
    TFakeTerminalHost host;
    host.view = term.View();
    TQnVT100Emulator reference;
    reference.SetTerminal(&host);
    const TQnTerminalBuffer& shown = *w.Ui().QnVT100Emulator1->Buffer();
    reference.Buffer()->SetDefForeColor(shown.DefForeColor());
    reference.Buffer()->SetDefBackColor(shown.DefBackColor());
    reference.Buffer()->SetForeColor(shown.DefForeColor());
    reference.Buffer()->SetBackColor(shown.DefBackColor());
    reference.ProcessBlock(reinterpret_cast<const uint8_t*>(Screen.data()), static_cast<int>(Screen.size()), csPort);
    const int cw = term.CharWidth(), ch = term.CharHeight();
    QImage expected(grab.size(), QImage::Format_RGB32);
    expected.fill(ToQColor(term.Color()));
    {
        TQnQtPainter painter(expected, term.font(), QRect(0, 0, cw * host.view.DrawCols, ch * host.view.DrawRows),
                             nullptr, QnGlyphCellOf(term.font()).Ascent);
        reference.Paint(painter);
    }

    int differing = 0, inked = 0;
    std::string report;
    for (int row = 0; row < term.FullRows(); ++row)
        for (int col = 0; col < term.FullCols(); ++col) {
            const QRect cell(col * cw, row * ch, cw, ch);
            bool same = true, ink = false;
            for (int y = cell.top(); y <= cell.bottom(); ++y)
                for (int x = cell.left(); x <= cell.right(); ++x) {
                    same &= grab.pixel(x, y) == expected.pixel(x, y);
                    ink |= expected.pixel(x, y) != expected.pixel(cell.topLeft());
                }
            inked += ink;
            if (!same && ++differing <= 5)
                report += " (" + std::to_string(col + term.LeftCol()) + "," + std::to_string(row + term.TopRow()) + ")";
        }
    EXPECT_EQ(differing, 0) << "cells that differ:" << report;
    EXPECT_GT(inked, 40) << "the screen holds the program's text";
    EXPECT_GE(term.FullRows(), 24);
}

}  // namespace
