// The terminal window's view onto a VT100 screen, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest/QTest>

#include <string>

#include "console/QnTerminal.h"
#include "support/NamedRows.h"
#include "console/core/QnTrmVT100.h"
#include "support/PixelGrab.h"
#include "support/QtEventually.h"
#include "support/TerminalViewFixture.h"

namespace {

class CountingEmulator : public TQnVT100Emulator {
public:
    void LazyPaint(TQnTerminalPainter& painter) override {
        ++lazyPaints;
        TQnVT100Emulator::LazyPaint(painter);
    }
    void BlinkPaint(TQnTerminalPainter& painter, bool phase) override {
        ++blinkPaints;
        blinkPhase = phase;
        TQnVT100Emulator::BlinkPaint(painter, phase);
    }
    int lazyPaints = 0;
    int blinkPaints = 0;
    bool blinkPhase = false;
};

class ViewTest : public tavrin::test::TTerminalViewFixture<CountingEmulator> {
protected:
    void SetUp() override { Open(16); }
    void FeedLines(int from, int to) {  // "line N" on rows of their own
        std::string text;
        for (int i = from; i <= to; ++i) text += "\r\nline " + std::to_string(i);
        Feed(text);
    }
    void Mouse(QEvent::Type type, int col, int row) {  // cells of the view
        MouseAt(type, QPointF((col - 1) * cw + cw / 2, (row - 1) * ch + ch / 2));
    }
    void MouseAt(QEvent::Type type, const QPointF& client) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        const QPointF at = client + term.ClientRect().topLeft();
        QMouseEvent e(type, at, term.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&term, &e);
    }
    void Drag(int col0, int row0, int col1, int row1) {
        Mouse(QEvent::MouseButtonPress, col0, row0);
        Mouse(QEvent::MouseMove, col1, row1);
        Mouse(QEvent::MouseButtonRelease, col1, row1);
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods, const QString& text = QString()) {
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(&term, &e);
    }
    int SelectedCells() const {
        const TQnTerminalBuffer& b = *emu.Buffer();
        int n = 0;
        for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row)
            for (int col = 1; col <= b.ColCount(); ++col) n += (b.AttrAt(row, col) & atSelected) ? 1 : 0;
        return n;
    }
    std::string Clipboard() const { return QGuiApplication::clipboard()->text().toStdString(); }
};

struct BarCase {
    const char* name;
    int dw, dh, columns;  // pixels added to 80 x 24 cells; screen columns
    bool horz, vert;
    int horzMax, vertMax;
};
class ScrollBars : public ViewTest, public testing::WithParamInterface<BarCase> {};

TEST_P(ScrollBars, ShowWhenTheCellsDoNotFit) {
    const BarCase& c = GetParam();
    if (c.columns == 132) Feed("\x1b[?3h");
    Resize(80 * cw + c.dw, 24 * ch + c.dh);
    EXPECT_EQ(std::pair(!term.HorzScrollBar()->isHidden(), !term.VertScrollBar()->isHidden()),
              std::pair(c.horz, c.vert));
    EXPECT_EQ(std::pair(term.HorzScrollBar()->maximum(), term.VertScrollBar()->maximum()),
              std::pair(c.horzMax, c.vertMax));
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, ScrollBars,
                         testing::Values(BarCase{"ExactFit", 0, 0, 80, false, false, 0, 0},
                                         BarCase{"OnePixelNarrow", -1, 40, 80, true, false, 1, 0},
                                         BarCase{"OnePixelShort", 40, -1, 80, false, true, 0, 1},
                                         BarCase{"WideScreen", 0, 40, 132, true, false, 52, 0}),
                         tavrin::test::RowName);

TEST_F(ViewTest, CursorIsFollowedAndTheBarsMoveTheView) {
    Resize(40 * cw, 10 * ch);
    Feed("\x1b[20;60Hx");
    EXPECT_EQ(std::pair(term.LeftCol(), term.TopRow()), std::pair(61 - term.FullCols() + 1, 20 - term.FullRows() + 1));
    EXPECT_EQ(std::pair(term.HorzScrollBar()->value(), term.VertScrollBar()->value()),
              std::pair(term.LeftCol() - 1, term.TopRow() - 1));
    term.VertScrollBar()->setValue(0);
    term.HorzScrollBar()->setValue(3);
    EXPECT_EQ(std::pair(term.LeftCol(), term.TopRow()), std::pair(4, 1));
    term.SetFollowCursor(false);
    // Line up on the first row enters the scroll-back.
    FeedLines(1, 30);
    term.VertScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_TRUE(term.Scrollback());
    EXPECT_EQ(term.TopRow(), 0);
    // Hidden bars show only for a cursor beyond the full cells.
    term.SetScrollback(false);
    term.SetHideScrollbars(true);
    Feed("\x1b[5;5H");
    EXPECT_TRUE(term.HorzScrollBar()->isHidden() && term.VertScrollBar()->isHidden());
    Feed("\x1b[20;60H");
    EXPECT_FALSE(term.HorzScrollBar()->isHidden() || term.VertScrollBar()->isHidden());
}

class Scrollback : public ViewTest, public testing::WithParamInterface<bool> {};

TEST_P(Scrollback, FrozenViewKeepsItsTextElseFollowsTheCursor) {
    term.SetScrollback(true);
    term.SetFreezeScrollBack(GetParam());
    EXPECT_EQ(term.VertScrollBar()->minimum(), term.Rows() - term.ScrollbackRows());
    FeedLines(1, 40);
    term.SetTopRow(-5);
    const std::string shown = emu.Buffer()->LineText(-5);
    FeedLines(41, 43);
    if (GetParam()) {
        EXPECT_EQ(term.TopRow(), -8);
        EXPECT_EQ(emu.Buffer()->LineText(-8), shown);
        EXPECT_EQ(term.VertScrollBar()->value(), -9);
    } else {
        EXPECT_EQ(term.TopRow() + term.FullRows() - 1, 24);
    }
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, Scrollback, testing::Bool());

struct DragCase {
    const char* name;
    int col0, row0, col1, row1;
    std::string text;
};
class MouseSelection : public ViewTest, public testing::WithParamInterface<DragCase> {};

TEST_P(MouseSelection, MarksAndCopiesInReadingOrder) {
    const DragCase& c = GetParam();
    Feed("\x1b[2;1Halpha beta\x1b[3;1Hgamma");
    Drag(c.col0, c.row0, c.col1, c.row1);
    EXPECT_EQ(term.SelectedText(), c.text);
    EXPECT_EQ(Clipboard(), c.text) << "copied when the button goes up";
    EXPECT_EQ(SelectedCells(), static_cast<int>(c.text.size()) - 2 * (c.row1 == c.row0 ? 1 : 2));
}

const std::string RowEnd = "beta" + std::string(70, ' ') + "\r\n";
INSTANTIATE_TEST_SUITE_P(QnTerminalView, MouseSelection,
                         testing::Values(DragCase{"OneRow", 3, 2, 7, 2, "pha b\r\n"},
                                         DragCase{"Backwards", 7, 2, 3, 2, "pha b\r\n"},
                                         DragCase{"TwoRows", 7, 2, 2, 3, RowEnd + "ga\r\n"},
                                         DragCase{"TwoRowsBackwards", 2, 3, 7, 2, RowEnd + "ga\r\n"}),
                         tavrin::test::RowName);

TEST_F(ViewTest, CopyKeysAndTheEndOfASelection) {
    std::string typed;
    term.OnKeyboardData = [&typed](TQnTerminalEmulator&, char c) { typed += c; };
    Feed("hello");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Key(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(typed, "\x03") << "without a selection Ctrl+C goes to the program";
    term.SetAutoCopy(false);
    Drag(1, 1, 3, 1);
    Key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("\x03"));
    EXPECT_EQ(Clipboard(), "before");
    Key(Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(Clipboard(), "hel\r\n");
    Key(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(typed, "\x03\x03") << "a copy key is swallowed";
    // A region scrolling elsewhere keeps the selection; text scrolling under
    // it ends it, and then a copy copies nothing.
    Feed("\x1b[10;20r\x1b[20;1H\n\n\x1b[r");
    EXPECT_TRUE(term.HasSelection());
    FeedLines(1, 30);
    EXPECT_FALSE(term.HasSelection());
    EXPECT_EQ(SelectedCells(), 0);
    term.CopyToClipboard();
    EXPECT_EQ(Clipboard(), "hel\r\n");
}

// Esc while the button is down ends the selection and is not typed; at any
// other time, or on a terminal without mouse selection, it goes to the program.
struct EscCase {
    const char* name;
    bool mouseSelect, releasedFirst;
    std::string typed, clipboard;
    int selected;
};
TAVRIN_PRINT_AS_NAME(EscCase)
class EscapeKey : public ViewTest, public testing::WithParamInterface<EscCase> {};

TEST_P(EscapeKey, CancelsOnlyASelectionInProgress) {
    const EscCase& c = GetParam();
    std::string typed;
    term.OnKeyboardData = [&typed](TQnTerminalEmulator&, char key) { typed += key; };
    term.SetMouseSelect(c.mouseSelect);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Feed("hello world");
    Mouse(QEvent::MouseButtonPress, 1, 1);
    Mouse(QEvent::MouseMove, 5, 1);
    if (c.releasedFirst) Mouse(QEvent::MouseButtonRelease, 5, 1);
    Key(Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
    // What the mouse does afterwards belongs to no selection.
    Mouse(QEvent::MouseMove, 9, 1);
    Mouse(QEvent::MouseButtonRelease, 9, 1);
    EXPECT_EQ(typed, c.typed);
    EXPECT_EQ(SelectedCells(), c.selected);
    EXPECT_EQ(term.HasSelection(), c.selected > 0);
    EXPECT_EQ(Clipboard(), c.clipboard);
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, EscapeKey,
                         testing::Values(EscCase{"DuringDrag", true, false, "", "before", 0},
                                         EscCase{"AfterRelease", true, true, "\x1b", "hello\r\n", 5},
                                         EscCase{"WithoutMouseSelect", false, false, "\x1b", "before", 0}),
                         tavrin::test::RowName);

// A drag held past an edge of the window scrolls the view a step per timer
// tick that way, sideways as well as up and down, and the selection follows.
struct EdgeCase {
    const char* name;
    int dx, dy;  // -1 past the left (top) edge, 1 past the right (bottom), 0 inside
};
TAVRIN_PRINT_AS_NAME(EdgeCase)
class DragPastEdge : public ViewTest, public testing::WithParamInterface<EdgeCase> {};

TEST_P(DragPastEdge, ScrollsTheViewThatWay) {
    const EdgeCase& c = GetParam();
    term.SetFollowCursor(false);
    Resize(40 * cw, 10 * ch);
    term.SetLeftCol(20);
    term.SetTopRow(8);
    const int left = term.LeftCol(), top = term.TopRow(), cols = term.FullCols(), rows = term.FullRows();
    ASSERT_EQ(std::pair(left, top), std::pair(20, 8));
    Mouse(QEvent::MouseButtonPress, 10, 5);
    const QPointF outside(c.dx < 0   ? -5
                          : c.dx > 0 ? term.ClientWidth() + 5
                                     : 9 * cw + cw / 2,
                          c.dy < 0   ? -5
                          : c.dy > 0 ? term.ClientHeight() + 5
                                     : 4 * ch + ch / 2);
    MouseAt(QEvent::MouseMove, outside);
    const auto movedWhereAsked = [&] {
        return (c.dx == 0 || (term.LeftCol() - left) * c.dx >= 2) && (c.dy == 0 || (term.TopRow() - top) * c.dy >= 2);
    };
    EXPECT_TRUE(QTest::qWaitFor(movedWhereAsked, 5000)) << "view at " << term.LeftCol() << ";" << term.TopRow();
    MouseAt(QEvent::MouseButtonRelease, outside);
    EXPECT_EQ(std::pair(term.LeftCol() == left, term.TopRow() == top), std::pair(c.dx == 0, c.dy == 0));
    // The selection reaches past what was in view at the start: its start
    // (left, top) or its end (right, bottom) is the cell at the edge.
    const TQnRect sel = term.Selection();
    const int endCol = c.dx < 0 ? sel.Left : sel.Right, endRow = c.dy < 0 ? sel.Top : sel.Bottom;
    EXPECT_TRUE(c.dx < 0 ? endCol < left : c.dx > 0 ? endCol > left + cols - 1 : endCol == left + 9) << endCol;
    EXPECT_TRUE(c.dy < 0 ? endRow < top : c.dy > 0 ? endRow > top + rows - 1 : endRow == top + 4) << endRow;
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, DragPastEdge,
                         testing::Values(EdgeCase{"Right", 1, 0}, EdgeCase{"Left", -1, 0}, EdgeCase{"Down", 0, 1},
                                         EdgeCase{"Up", 0, -1}, EdgeCase{"DownRight", 1, 1}),
                         tavrin::test::RowName);

// The window's timer blinks what is left of a blinking word after some of
// its letters were overwritten with plain text: off, then on again.
TEST_F(ViewTest, WordOverwrittenInPartKeepsBlinkingWhatIsLeft) {
    term.SetBlinkTime(250);
    Feed("\x1b[5mHELLO");                 // the word in one write
    Feed("\x1b[0m\x1b[1;2Hxy\x1b[5;1H");  // "EL" made plain; the caret leaves the row
    const QRect client = term.ClientRect();
    auto ink = [&](const QImage& image, int col) {
        return tavrin::test::InkPixels(image, QRect(client.left() + (col - 1) * cw, client.top(), cw, ch), Qt::black);
    };
    for (const bool phase : {false, true}) {
        SCOPED_TRACE(phase ? "blink on" : "blink off");
        const int before = emu.blinkPaints;
        ASSERT_TRUE(tavrin::test::EventuallyWithEvents([&] {
            return emu.blinkPaints > before && emu.blinkPhase == phase;
        })) << "the blink timer runs on";
        const QImage image = tavrin::test::RenderAt(term, 1);
        EXPECT_EQ(ink(image, 1) > 0, phase) << "H";
        EXPECT_GT(ink(image, 2), 0) << "x, plain";
        EXPECT_GT(ink(image, 3), 0) << "y, plain";
        EXPECT_EQ(ink(image, 4) > 0, phase) << "L";
        EXPECT_EQ(ink(image, 5) > 0, phase) << "O";
    }
}

class Coalescing : public ViewTest, public testing::WithParamInterface<int> {};

TEST_P(Coalescing, CharacterByCharacterOutputRepaintsOncePerInterval) {
    const int interval = GetParam();
    term.SetMinRepaintInterval(interval);  // nothing painted through the emulator yet: the first is due
    emu.lazyPaints = 0;
    for (int i = 0; i < 40; ++i) Feed("x");
    if (interval == 0)
        EXPECT_GE(emu.lazyPaints, 40);
    else
        EXPECT_EQ(emu.lazyPaints, 1) << "the first change shows at once, the rest waits";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !emu.NeedsUpdate(); }, interval + 500)) << "the last one is shown";
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, Coalescing, testing::Values(0, 400));

}  // namespace
