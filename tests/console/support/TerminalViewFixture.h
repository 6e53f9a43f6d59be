#pragma once
// A terminal window shown offscreen with an emulator of the test's choice,
// its client area sized to 80 x 24 cells of the terminal font, painting at
// once (no lazy display), so what a test feeds is on screen when Feed returns.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

#include <string>

#include "console/QnTerminal.h"
#include "support/QtTestApp.h"

namespace tavrin::test {

template <typename Emulator>
class TTerminalViewFixture : public testing::Test {
protected:
    void Open(int pixelSize) {
        font = TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), pixelSize);
        term.SetTerminalFont(font);
        emu.SetTerminal(&term);
        term.SetUseLazyDisplay(false);
        cw = term.CharWidth();
        ch = term.CharHeight();
        term.show();
        Resize(80 * cw, 24 * ch);
    }
    // The client area's size: the window is as much bigger as its border takes.
    void Resize(int w, int h) {
        const int border = term.ClientRect().left();
        term.resize(w + 2 * border, h + 2 * border);
        QApplication::processEvents();
    }
    void Feed(const std::string& bytes) {
        term.WriteString(bytes);
        QApplication::processEvents();
    }

    QApplication& app = QtTestApp();  // before any widget
    Emulator emu;                     // outlives the terminal it is paired with
    TQnTerminal term;
    QFont font;
    int cw = 1, ch = 1;  // cell pitch in pixels
};

}  // namespace tavrin::test
