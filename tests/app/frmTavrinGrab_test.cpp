// End to end, offscreen: the example system boots, a Z80 program draws a
// VT100 screen through the BIOS, and a grab of the CRT terminal window
// matches, cell by cell, the same bytes painted straight from an emulator.

#include <QTest>

#include "WindowTestSupport.h"
#include "console/QnTerminalPaint.h"
#include "support/FakeTerminalHost.h"

using namespace tavrin::test;

namespace {

// What the program writes (see z80/vt100_grab.asm).
const std::string Screen =
    "\x1b[2J\x1b[HAttr: \x1b[1mbold\x1b[0m \x1b[4munder\x1b[0m \x1b[7mrev\x1b[0m \x1b[1;31mred\x1b[0m "
    "\x1b[5mblink\x1b[0m\x1b[3;1H\x1b#6Wide line\x1b[5;1H\x1b#3Tall\r\n\x1b#4Tall\x1b[8;1H\x1b(0lqqk\r\nx  x\r\n"
    "mqqj\x1b(B\x1b[24;1Hend";

TEST(CrtGrabTest, WindowShowsTheProgramsScreenCellByCell)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    w.resize(1200, 900);
    w.show();
    TQnTerminal& term = *w.QnTerminal1;
    term.SetCursorType(ctNone);
    term.SetBlinkTime(0);  // the blinking text stays in its visible phase
    ASSERT_TRUE(h.RunCrtProgram(TAVRIN_VT100_GRAB_BIN)) << h.CrtText();
    w.RunCpuAct->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.QnVT100Emulator1->NeedsUpdate(); }, 2000));
    QTest::qWait(2 * term.MinRepaintInterval());
    const QImage grab = term.grab().toImage().convertToFormat(QImage::Format_RGB32);

    // The same bytes, painted by an emulator of the same colours onto an image.
    TFakeTerminalHost host;
    host.view = term.View();
    TQnVT100Emulator reference;
    reference.SetTerminal(&host);
    const TQnTerminalBuffer& shown = *w.QnVT100Emulator1->Buffer();
    reference.Buffer()->SetDefForeColor(shown.DefForeColor());
    reference.Buffer()->SetDefBackColor(shown.DefBackColor());
    reference.ProcessBlock(reinterpret_cast<const uint8_t*>(Screen.data()), static_cast<int>(Screen.size()), csPort);
    const int cw = term.CharWidth(), ch = term.CharHeight();
    QImage expected(grab.size(), QImage::Format_RGB32);
    expected.fill(QnToQColor(term.Color()));
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

} // namespace
