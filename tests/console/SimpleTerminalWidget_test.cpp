// The TTY console widget drawn off-screen: text, attributes, code page 437
// glyphs, the cursor bar, scrolling, scroll bars and key events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QtTest/QTest>

#include <string>
#include <vector>

#include "console/CodePage437.h"
#include "console/SimpleTerminal.h"
#include "platform/VirtualKeys.h"
#include "support/QtTestApp.h"

namespace {

constexpr TColor kWhite = 0x00FFFFFF;
constexpr TColor kBlack = 0x00000000;
constexpr TColor kRed = 0x000000FF;   // 00BBGGRR
constexpr TColor kBlue = 0x00FF0000;

class SimpleTerminalWidget : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        term = std::make_unique<TSimpleTerminal>();
        term->SetColor(kWhite);
        term->SetLowVideoFontColor(kBlack);
        term->SetHighVideoFontColor(kBlue);
        term->SetCursorColor(kRed);
        term->SetRows(5);
        term->SetColumns(20);
        term->show();
        QApplication::processEvents();
    }

    QImage Grab() { return term->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Pixels of a colour inside one cell (the bottom bar rows excluded when asked).
    int CountInCell(const QImage& img, int column, int row, QColor color, bool withoutBar = false) {
        const int w = term->CellWidth(), h = term->CellHeight();
        int n = 0;
        for (int y = row * h; y < (row + 1) * h - (withoutBar ? 4 : 0); ++y)
            for (int x = column * w; x < (column + 1) * w; ++x)
                if (img.pixelColor(x, y) == color) ++n;
        return n;
    }
    int CellArea() const { return term->CellWidth() * term->CellHeight(); }
    // True when the whole cell shows only the given colour.
    bool CellIs(const QImage& img, int column, int row, QColor color) {
        return CountInCell(img, column, row, color) == CellArea();
    }
    QImage CellImage(const QImage& img, int column, int row) {
        return img.copy(column * term->CellWidth(), row * term->CellHeight(), term->CellWidth(), term->CellHeight());
    }

    std::unique_ptr<TSimpleTerminal> term;
};

TEST_F(SimpleTerminalWidget, TextAndCursorAppearWhereWritten) {
    term->GotoXY(3, 2);
    term->WriteString("AB");
    const QImage img = Grab();
    const QColor white = TSimpleTerminal::ToQColor(kWhite);
    const QColor red = TSimpleTerminal::ToQColor(kRed);
    // Text pixels (not background) in both written cells, none in blank ones.
    EXPECT_LT(CountInCell(img, 3, 2, white), CellArea());
    EXPECT_LT(CountInCell(img, 4, 2, white), CellArea());
    EXPECT_TRUE(CellIs(img, 2, 2, white));
    EXPECT_TRUE(CellIs(img, 3, 1, white));
    // The cursor bar: 4 rows of the cursor colour along the bottom of cell (5, 2).
    EXPECT_EQ(CountInCell(img, 5, 2, red), term->CellWidth() * 4);
    EXPECT_EQ(CountInCell(img, 5, 2, red, true), 0);
    EXPECT_EQ(img.pixelColor(5 * term->CellWidth(), 3 * term->CellHeight() - 1), red);

    term->SetDisplayCursor(false);
    EXPECT_TRUE(CellIs(Grab(), 5, 2, white));
}

TEST_F(SimpleTerminalWidget, AttributesChooseColours) {
    struct Case {
        const char* name;
        TTerminalCharAttributes attrs;
        TColor background;  // expected colour of the cell's background
        TColor text;
    };
    for (const Case& c : {Case{"Low", {}, kWhite, kBlack},
                          Case{"High", {tca_HighVideo}, kWhite, kBlue},
                          Case{"InvertedLow", {tca_Inverted}, kBlack, kWhite},
                          Case{"InvertedHigh", {tca_HighVideo, tca_Inverted}, kBlue, kWhite}}) {
        SCOPED_TRACE(c.name);
        term->ClearScreen();
        term->CursorHome();
        term->SetDefaultAttributes(c.attrs);
        term->WriteChar('#');
        const QImage img = Grab();
        const int back = CountInCell(img, 0, 0, TSimpleTerminal::ToQColor(c.background));
        const int text = CountInCell(img, 0, 0, TSimpleTerminal::ToQColor(c.text));
        EXPECT_GT(back, CellArea() / 2);
        EXPECT_GT(text, 0);
    }
}

TEST_F(SimpleTerminalWidget, HighBytesUseCodePage437Glyphs) {
    // DBh is the full block: it covers most of its cell, unlike any letter.
    term->WriteChar(0xDB);
    term->WriteChar('i');
    term->SetDisplayCursor(false);
    const QImage img = Grab();
    const QColor black = TSimpleTerminal::ToQColor(kBlack);
    EXPECT_GT(CountInCell(img, 0, 0, black), CellArea() / 2);
    EXPECT_LT(CountInCell(img, 1, 0, black), CellArea() / 4);
}

TEST_F(SimpleTerminalWidget, ScrollMovesPixelsUpAndBlanksBottomRow) {
    term->SetDisplayCursor(false);
    term->WriteString("r0\r\nr1\r\nr2\r\nr3\r\nr4");
    const QImage before = Grab();
    term->WriteString("\r\n");
    const QImage after = Grab();
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(CellImage(after, 1, row), CellImage(before, 1, row + 1)) << "row " << row;
    for (int col = 0; col < 20; ++col) EXPECT_TRUE(CellIs(after, col, 4, TSimpleTerminal::ToQColor(kWhite)));
}

TEST_F(SimpleTerminalWidget, BufferKeepsUpWhileHidden) {
    term->hide();
    term->WriteString("hidden\r\nwrite");
    term->SetRows(7);
    EXPECT_EQ(term->GetCell(0, 0).Ch, 'h');
    EXPECT_EQ(term->GetCell(4, 1).Ch, 'e');
    term->show();
    const QImage img = Grab();
    EXPECT_LT(CountInCell(img, 0, 0, TSimpleTerminal::ToQColor(kWhite)), CellArea());
}

TEST_F(SimpleTerminalWidget, RebuildWithoutTextClearsAndHomes) {
    term->WriteString("abc\r\ndef");
    term->RebuildScreen(false);
    EXPECT_EQ(term->CursorColumn(), 0);
    EXPECT_EQ(term->CursorRow(), 0);
    EXPECT_EQ(term->GetCell(1, 1), BlankTerminalCell);
    term->SetDisplayCursor(false);
    const QImage img = Grab();
    EXPECT_TRUE(CellIs(img, 1, 1, TSimpleTerminal::ToQColor(kWhite)));
}

TEST_F(SimpleTerminalWidget, AutoSizeFitsGridAndScrollBarsFollowCursor) {
    EXPECT_EQ(term->viewport()->size(), QSize(20 * term->CellWidth(), 5 * term->CellHeight()));
    EXPECT_EQ(term->verticalScrollBar()->maximum(), 0);

    term->SetAutoSize(false);
    term->SetRows(50);
    term->resize(10 * term->CellWidth(), 10 * term->CellHeight());
    QApplication::processEvents();
    ASSERT_GT(term->verticalScrollBar()->maximum(), 0);
    ASSERT_GT(term->horizontalScrollBar()->maximum(), 0);
    term->GotoXY(19, 49);
    const int bottom = term->verticalScrollBar()->value() + term->viewport()->height();
    const int right = term->horizontalScrollBar()->value() + term->viewport()->width();
    EXPECT_GE(bottom, 50 * term->CellHeight());
    EXPECT_GE(right, 20 * term->CellWidth());
    term->CursorHome();
    EXPECT_EQ(term->verticalScrollBar()->value(), 0);
    EXPECT_EQ(term->horizontalScrollBar()->value(), 0);
    // The cursor bar is drawn at the top-left again.
    EXPECT_EQ(CountInCell(Grab(), 0, 0, TSimpleTerminal::ToQColor(kRed)), term->CellWidth() * 4);
}

TEST_F(SimpleTerminalWidget, OneBarCoveringTheGridBringsTheOther) {
    term->SetAutoSize(false);
    term->SetRows(50);
    const int frame = 2 * term->frameWidth();
    term->resize(20 * term->CellWidth() + frame, 10 * term->CellHeight());  // width fits exactly
    QApplication::processEvents();
    EXPECT_GT(term->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(term->horizontalScrollBar()->maximum(), 0);
    term->GotoXY(19, 49);
    QApplication::processEvents();
    const QRect view(term->horizontalScrollBar()->value(), term->verticalScrollBar()->value(),
                     term->viewport()->width(), term->viewport()->height());
    const QRect cell(19 * term->CellWidth(), 49 * term->CellHeight(), term->CellWidth(), term->CellHeight());
    EXPECT_TRUE(view.contains(cell)) << view.x() << "," << view.y() << " " << view.width() << "x" << view.height();
}

TEST_F(SimpleTerminalWidget, SystemColoursResolve) {
    EXPECT_EQ(TSimpleTerminal::ToQColor(0x00123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(TSimpleTerminal::ToQColor(0xFF000005), QColor(255, 255, 255));  // window
    EXPECT_EQ(TSimpleTerminal::ToQColor(0xFF000008), QColor(0, 0, 0));        // window text
}

TEST_F(SimpleTerminalWidget, MissingFontFallsBackToFixedPitchAndKeepsItsName) {
    const QFont font = TSimpleTerminal::MakeFont("No Such Font Family", -12);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
    EXPECT_EQ(font.pixelSize(), 12);

    const int smallHeight = term->CellHeight();
    term->WriteString("kept");
    term->SetFontNameAndSize("No Such Font Family", 18);
    EXPECT_EQ(term->FontName(), "No Such Font Family");
    EXPECT_EQ(term->FontSize(), 18);
    EXPECT_EQ(term->TerminalFont().pixelSize(), 24);
    EXPECT_GT(term->CellHeight(), smallHeight);
    EXPECT_EQ(term->GetCell(3, 0).Ch, 't');
}

// A line typed a byte at a time shows each glyph exactly as it looks drawn
// alone on its cell, and whole: the cell holds all of its ink, and neither
// the neighbours painted later nor the cursor bar cut into it.
TEST_F(SimpleTerminalWidget, TypedLineShowsEveryGlyphWhole) {
    const std::string line = "> hello world";
    enum Way { ByteByByte, OneWrite, ThenRedrawn };
    struct Case { const char* name; int points; Way way; };
    for (const Case& c : {Case{"a byte per event-loop turn", 9, ByteByByte}, Case{"the line in one write", 9, OneWrite},
                          Case{"then everything redrawn", 9, ThenRedrawn}, Case{"small font", 6, ByteByByte},
                          Case{"large font", 14, ByteByByte}}) {
        SCOPED_TRACE(c.name);
        term->SetFontNameAndSize("Terminal", c.points);
        term->ClearScreen();
        term->CursorHome();
        QApplication::processEvents();
        if (c.way == OneWrite) {
            term->WriteString(line);
        } else {
            for (char ch : line) {
                term->WriteChar(static_cast<uint8_t>(ch));
                QApplication::processEvents();
            }
        }
        if (c.way == ThenRedrawn) term->RedrawAll();
        const QImage img = Grab();
        const int w = term->CellWidth(), h = term->CellHeight();
        const QColor back = TSimpleTerminal::ToQColor(kWhite), text = TSimpleTerminal::ToQColor(kBlack);
        for (size_t i = 0; i < line.size(); ++i) {
            // The glyph alone in an image one cell larger on every side.
            QImage lone(w * 3, h * 3, QImage::Format_RGB32);
            lone.fill(back);
            {
                QPainter p(&lone);
                p.setFont(term->TerminalFont());
                p.setPen(text);
                p.drawText(w, h + QFontMetrics(term->TerminalFont()).ascent(), QString(QChar(line[i])));
            }
            const QRect middle(w, h, w, h);
            int outside = 0;
            for (int y = 0; y < lone.height(); ++y)
                for (int x = 0; x < lone.width(); ++x)
                    if (!middle.contains(x, y) && lone.pixelColor(x, y) != back) ++outside;
            EXPECT_EQ(outside, 0) << "'" << line[i] << "' leaves its cell";
            EXPECT_EQ(CellImage(img, int(i), 0), lone.copy(middle)) << "cell " << i << " '" << line[i] << "'";
        }
        // The cursor bar stands in the next cell, below nothing but background.
        EXPECT_EQ(CountInCell(img, int(line.size()), 0, back, true), w * (h - 4));
    }
}

// --- keys -------------------------------------------------------------------

struct KeyLog {
    std::vector<std::string> events;
    void Bind(TSimpleTerminal& t, bool swallow = false) {
        t.OnKeyDown = [this, swallow](TSimpleTerminal&, uint16_t& key, TShiftState shift) {
            events.push_back("down " + std::to_string(key) + "/" + std::to_string(shift.Bits));
            if (swallow) key = 0;
        };
        t.OnKeyUp = [this](TSimpleTerminal&, uint16_t& key, TShiftState shift) {
            events.push_back("up " + std::to_string(key) + "/" + std::to_string(shift.Bits));
        };
        t.OnKeyPress = [this](TSimpleTerminal&, char& ch) {
            events.push_back("press " + std::to_string(uint8_t(ch)));
        };
    }
};

// Presses and releases one key the way the window system delivers it.
void Click(QWidget& w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(&w, &release);
}

TEST_F(SimpleTerminalWidget, KeyEventsCarryVirtualKeysAndCharacters) {
    struct Case {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QString text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"Letter", Qt::Key_A, Qt::NoModifier, "a", {"down 65/0", "press 97", "up 65/0"}},
        {"ShiftLetter", Qt::Key_A, Qt::ShiftModifier, "A", {"down 65/1", "press 65", "up 65/1"}},
        {"CtrlC", Qt::Key_C, Qt::ControlModifier, "", {"down 67/4", "press 3", "up 67/4"}},
        {"Arrow", Qt::Key_Up, Qt::NoModifier, "", {"down 38/0", "up 38/0"}},
        {"Return", Qt::Key_Return, Qt::NoModifier, "\r", {"down 13/0", "press 13", "up 13/0"}},
        {"Tab", Qt::Key_Tab, Qt::NoModifier, "\t", {"down 9/0", "press 9", "up 9/0"}},
        {"F5", Qt::Key_F5, Qt::NoModifier, "", {"down 116/0", "up 116/0"}},
        {"Delete", Qt::Key_Delete, Qt::NoModifier, "\x7f", {"down 46/0", "up 46/0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyLog log;
        log.Bind(*term);
        Click(*term, c.key, c.mods, c.text);
        EXPECT_EQ(log.events, c.expected);
    }
}

TEST_F(SimpleTerminalWidget, SwallowedKeyDownGivesNoCharacter) {
    KeyLog log;
    log.Bind(*term, true);
    Click(*term, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(log.events, (std::vector<std::string>{"down 65/0", "up 65/0"}));
}

TEST_F(SimpleTerminalWidget, UnwantedKeysPassToParent) {
    struct Case {
        const char* name;
        void (TSimpleTerminal::*set)(bool);
        Qt::Key key;
    };
    for (const Case& c : {Case{"Returns", &TSimpleTerminal::SetWantReturns, Qt::Key_Return},
                          Case{"Arrows", &TSimpleTerminal::SetWantArrowKeys, Qt::Key_Left},
                          Case{"Tabs", &TSimpleTerminal::SetWantTabs, Qt::Key_Tab}}) {
        SCOPED_TRACE(c.name);
        (term.get()->*c.set)(false);
        KeyLog log;
        log.Bind(*term);
        Click(*term, c.key);
        EXPECT_TRUE(log.events.empty());
        (term.get()->*c.set)(true);
        Click(*term, c.key);
        EXPECT_FALSE(log.events.empty());
    }
}

TEST(VirtualKeys, TranslatesKeyEvents) {
    tavrin::test::QtTestApp();
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
        uint16_t vk;
        uint8_t shift;
        int ch;
    };
    const std::vector<Case> cases = {
        {"Digit", Qt::Key_7, Qt::NoModifier, "7", '7', 0, '7'},
        {"KeypadDigit", Qt::Key_7, Qt::KeypadModifier, "7", VK_NUMPAD0 + 7, 0, '7'},
        {"KeypadPlus", Qt::Key_Plus, Qt::KeypadModifier, "+", VK_ADD, 0, '+'},
        {"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r", VK_RETURN, 0, 0x0D},
        {"ShiftedDigit", Qt::Key_Exclam, Qt::ShiftModifier, "!", '1', 1, '!'},
        {"PageDown", Qt::Key_PageDown, Qt::NoModifier, "", VK_NEXT, 0, -1},
        {"CtrlHome", Qt::Key_Home, Qt::ControlModifier, "", VK_HOME, 4, -1},
        {"AltX", Qt::Key_X, Qt::AltModifier, "x", 'X', 2, -1},
        {"Escape", Qt::Key_Escape, Qt::NoModifier, "\x1b", VK_ESCAPE, 0, 0x1B},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, "\b", VK_BACK, 0, 0x08},
        {"CtrlBracket", Qt::Key_BracketLeft, Qt::ControlModifier, "", VK_OEM_4, 4, 0x1B},
        {"Latin1", Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)), 0, 0, 0xE9},
        {"BeyondLatin1", Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)), 0, 0, -1},
        {"F12", Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier, "", VK_F12, 5, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QKeyEvent ev(QEvent::KeyPress, c.key, c.mods, c.text);
        const TVirtualKey vk = TranslateKeyEvent(ev);
        EXPECT_EQ(vk.Key, c.vk);
        EXPECT_EQ(vk.Shift.Bits, c.shift);
        EXPECT_EQ(KeyEventCharacter(ev), c.ch);
    }
}

TEST(CodePage437, MapsBothWays) {
    struct Case {
        uint8_t byte;
        char16_t unicode;
    };
    for (const Case& c : {Case{0x41, u'A'}, Case{0x80, u'\u00C7'}, Case{0x9E, u'\u20A7'}, Case{0xB3, u'\u2502'},
                          Case{0xC9, u'\u2554'}, Case{0xDB, u'\u2588'}, Case{0xE1, u'\u00DF'},
                          Case{0xE3, u'\u03C0'}, Case{0xFE, u'\u25A0'}, Case{0xFF, u'\u00A0'}}) {
        EXPECT_EQ(Cp437ToUnicode(c.byte), c.unicode) << int(c.byte);
        EXPECT_EQ(UnicodeToCp437(c.unicode), c.byte) << int(c.byte);
    }
    EXPECT_EQ(Cp437ToUnicode(0x7F), u'\u2302');
    EXPECT_EQ(Cp437ToUnicode(0x01), u'\u263A');
    EXPECT_EQ(UnicodeToCp437(u'\u20AC'), -1);
    EXPECT_EQ(UnicodeToCp437(u'\x0d'), 0x0D);
    // Every high byte has its own code point.
    std::vector<char16_t> seen;
    for (int b = 0x80; b < 0x100; ++b) seen.push_back(Cp437Table()[size_t(b)]);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

}  // namespace
