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
#include "console/QnTrmVT100.h"
#include "support/QtTestApp.h"

namespace {

class CountingEmulator : public TQnVT100Emulator {
public:
    void LazyPaint(TQnTerminalPainter& painter) override {
        ++lazyPaints;
        TQnVT100Emulator::LazyPaint(painter);
    }
    int lazyPaints = 0;
};

class ViewTest : public testing::Test {
protected:
    void SetUp() override {
        term.SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 16));
        emu.SetTerminal(&term);
        term.SetUseLazyDisplay(false);
        cw = term.CharWidth();
        ch = term.CharHeight();
        term.show();
        Resize(80 * cw, 24 * ch);
    }
    void Resize(int w, int h) {
        term.resize(w, h);
        QApplication::processEvents();
    }
    void Feed(const std::string& bytes) {
        term.WriteString(bytes);
        QApplication::processEvents();
    }
    void FeedLines(int from, int to) {  // "line N" on rows of their own
        std::string text;
        for (int i = from; i <= to; ++i) text += "\r\nline " + std::to_string(i);
        Feed(text);
    }
    void Mouse(QEvent::Type type, int col, int row) {
        const QPointF at((col - 1) * cw + cw / 2, (row - 1) * ch + ch / 2);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
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

    QApplication& app = tavrin::test::QtTestApp();  // before any widget
    CountingEmulator emu;  // outlives the terminal it is paired with
    TQnTerminal term;
    int cw = 1, ch = 1;
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
                                         BarCase{"WideScreen", 0, 40, 132, true, false, 52, 0}), tavrin::test::RowName);

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
                                         DragCase{"TwoRowsBackwards", 2, 3, 7, 2, RowEnd + "ga\r\n"}), tavrin::test::RowName);

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

class Coalescing : public ViewTest, public testing::WithParamInterface<int> {};

TEST_P(Coalescing, CharacterByCharacterOutputRepaintsOncePerInterval) {
    const int interval = GetParam();
    term.SetMinRepaintInterval(interval);
    QTest::qWait(interval + 5);
    emu.lazyPaints = 0;
    for (int i = 0; i < 40; ++i) Feed("x");
    if (interval == 0) EXPECT_GE(emu.lazyPaints, 40);
    else EXPECT_EQ(emu.lazyPaints, 1) << "the first change shows at once, the rest waits";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !emu.NeedsUpdate(); }, interval + 500)) << "the last one is shown";
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, Coalescing, testing::Values(0, 400));

}  // namespace
