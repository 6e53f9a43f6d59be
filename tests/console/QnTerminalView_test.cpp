// The terminal window's view onto a VT100 screen, offscreen: scroll bars as
// the window and the text change, following the cursor, scroll-back viewing
// with and without freezing, mouse selection and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest/QTest>

#include <memory>
#include <string>

#include "console/QnTerminal.h"
#include "console/QnTrmVT100.h"
#include "support/QtTestApp.h"

namespace {

class ViewTest : public testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        term = std::make_unique<TQnTerminal>();
        term->SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 16));
        emu = std::make_unique<TQnVT100Emulator>();
        emu->SetTerminal(term.get());
        term->SetUseLazyDisplay(false);
        cw = term->CharWidth();
        ch = term->CharHeight();
        term->show();
        Resize(80 * cw, 24 * ch);
    }
    void TearDown() override {
        emu.reset();
        term.reset();
    }
    void Resize(int w, int h) {
        term->resize(w, h);
        QApplication::processEvents();
    }
    void Feed(const std::string& bytes) {
        term->WriteString(bytes);
        QApplication::processEvents();
    }
    // Lines "line 1" .. "line n", each on its own row.
    void FeedLines(int from, int to) {
        std::string text;
        for (int i = from; i <= to; ++i) text += "\r\nline " + std::to_string(i);
        Feed(text);
    }
    QPoint CellCentre(int col, int row) const { return QPoint((col - 1) * cw + cw / 2, (row - 1) * ch + ch / 2); }
    void Mouse(QEvent::Type type, const QPoint& at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(at), term->mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(term.get(), &e);
    }
    void Drag(int col0, int row0, int col1, int row1) {
        Mouse(QEvent::MouseButtonPress, CellCentre(col0, row0));
        Mouse(QEvent::MouseMove, CellCentre(col1, row1));
        Mouse(QEvent::MouseButtonRelease, CellCentre(col1, row1));
    }
    int SelectedCells() const {
        const TQnTerminalBuffer& b = *emu->Buffer();
        int n = 0;
        for (int row = b.RowCount() - b.SVRowCount() + 1; row <= b.RowCount(); ++row)
            for (int col = 1; col <= b.ColCount(); ++col) n += (b.AttrAt(row, col) & atSelected) ? 1 : 0;
        return n;
    }

    std::unique_ptr<TQnTerminal> term;
    std::unique_ptr<TQnVT100Emulator> emu;
    int cw = 1, ch = 1;
};

struct BarCase {
    const char* name;
    int dw, dh;  // pixels added to the 80 x 24 cells
    int columns;
    bool horz, vert;
    int horzMax, vertMax;
};

class ScrollBars : public ViewTest, public testing::WithParamInterface<BarCase> {};

TEST_P(ScrollBars, ShowWhenTheCellsDoNotFit) {
    const BarCase& c = GetParam();
    if (c.columns == 132) Feed("\x1b[?3h");
    Resize(80 * cw + c.dw, 24 * ch + c.dh);
    EXPECT_EQ(!term->HorzScrollBar()->isHidden(), c.horz);
    EXPECT_EQ(!term->VertScrollBar()->isHidden(), c.vert);
    if (c.horz) {
        EXPECT_EQ(term->HorzScrollBar()->maximum(), c.horzMax);
        EXPECT_EQ(term->HorzScrollBar()->pageStep(), term->FullCols());
    }
    if (c.vert) {
        EXPECT_EQ(term->VertScrollBar()->maximum(), c.vertMax);
    }
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, ScrollBars,
                         testing::Values(BarCase{"ExactFit", 0, 0, 80, false, false, 0, 0},
                                         BarCase{"OnePixelNarrow", -1, 40, 80, true, false, 1, 0},
                                         BarCase{"OnePixelShort", 40, -1, 80, false, true, 0, 1},
                                         BarCase{"WideScreen", 0, 40, 132, true, false, 52, 0}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST_F(ViewTest, CursorIsFollowedIntoViewAndBarsTrackIt) {
    Resize(40 * cw, 10 * ch);
    Feed("\x1b[20;60Hx");
    const int fullCols = term->FullCols(), fullRows = term->FullRows();
    EXPECT_EQ(term->LeftCol(), 61 - fullCols + 1);
    EXPECT_EQ(term->TopRow(), 20 - fullRows + 1);
    EXPECT_EQ(term->HorzScrollBar()->value(), term->LeftCol() - 1);
    EXPECT_EQ(term->VertScrollBar()->value(), term->TopRow() - 1);
    // The bars move the view.
    term->VertScrollBar()->setValue(0);
    term->HorzScrollBar()->setValue(3);
    EXPECT_EQ(term->TopRow(), 1);
    EXPECT_EQ(term->LeftCol(), 4);
    term->SetFollowCursor(false);
    Feed("\x1b[24;80H");
    EXPECT_EQ(term->TopRow(), 1);
}

struct ScrollbackCase {
    bool freeze;
    bool keepsText;  // else the view follows the cursor back to the screen
};

class Scrollback : public ViewTest, public testing::WithParamInterface<ScrollbackCase> {};

TEST_P(Scrollback, ArrivingTextAndTheFrozenView) {
    term->SetScrollback(true);
    term->SetFreezeScrollBack(GetParam().freeze);
    ASSERT_FALSE(term->VertScrollBar()->isHidden());
    EXPECT_EQ(term->VertScrollBar()->minimum(), term->Rows() - term->ScrollbackRows());
    FeedLines(1, 40);
    term->SetTopRow(-5);
    ASSERT_EQ(term->TopRow(), -5);
    const std::string shown = emu->Buffer()->LineText(-5);
    FeedLines(41, 43);
    if (GetParam().keepsText) {
        EXPECT_EQ(term->TopRow(), -8);
        EXPECT_EQ(emu->Buffer()->LineText(term->TopRow()), shown);
        EXPECT_EQ(term->VertScrollBar()->value(), -9);
    } else {
        EXPECT_EQ(term->TopRow() + term->FullRows() - 1, 24);
    }
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, Scrollback,
                         testing::Values(ScrollbackCase{true, true}, ScrollbackCase{false, false}));

TEST_F(ViewTest, LineUpOnTheFirstRowEntersTheScrollback) {
    Resize(80 * cw + 40, 10 * ch);
    FeedLines(1, 30);
    term->VertScrollBar()->setValue(0);
    ASSERT_EQ(term->TopRow(), 1);
    term->VertScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_TRUE(term->Scrollback());
    EXPECT_EQ(term->TopRow(), 0);
    EXPECT_EQ(emu->Buffer()->LineText(0).substr(0, 7), "line 6 ");
}

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
    EXPECT_TRUE(term->HasSelection());
    EXPECT_EQ(term->SelectedText(), c.text);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.text) << "copied when the button goes up";
    int cells = 0;
    for (size_t i = 0; i < c.text.size(); ++i) cells += c.text[i] != '\r' && c.text[i] != '\n';
    EXPECT_EQ(SelectedCells(), cells);
    term->ClearSelection();
    EXPECT_EQ(SelectedCells(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    QnTerminalView, MouseSelection,
    testing::Values(DragCase{"OneRow", 3, 2, 7, 2, "pha b\r\n"}, DragCase{"Backwards", 7, 2, 3, 2, "pha b\r\n"},
                    DragCase{"TwoRows", 7, 2, 2, 3, "beta" + std::string(70, ' ') + "\r\nga\r\n"},
                    DragCase{"TwoRowsBackwards", 2, 3, 7, 2, "beta" + std::string(70, ' ') + "\r\nga\r\n"}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(ViewTest, CopyKeysNeedASelectionAndCtrlAlone) {
    std::string typed;
    term->OnKeyboardData = [&typed](TQnTerminalEmulator&, char c) { typed += c; };
    Feed("hello");
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    const auto press = [this](Qt::Key key, Qt::KeyboardModifiers mods, const QString& text) {
        QKeyEvent e(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(term.get(), &e);
    };
    press(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(typed, "\x03") << "without a selection Ctrl+C goes to the program";
    term->SetAutoCopy(false);
    Drag(1, 1, 3, 1);
    press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("\x03"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    press(Qt::Key_Insert, Qt::ControlModifier, QString());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("hel\r\n"));
    typed.clear();
    press(Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    EXPECT_EQ(typed, "") << "a copy key is swallowed";
}

TEST_F(ViewTest, ScrolledTextEndsTheSelectionAndEmptyCopiesNothing) {
    Feed("\x1b[2;1Hselected");
    Drag(1, 2, 8, 2);
    ASSERT_EQ(SelectedCells(), 8);
    FeedLines(1, 30);
    EXPECT_FALSE(term->HasSelection());
    EXPECT_EQ(SelectedCells(), 0);
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    term->CopyToClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

// Counts the repaints of changed cells.
class CountingEmulator : public TQnVT100Emulator {
public:
    void LazyPaint(TQnTerminalPainter& painter) override {
        ++lazyPaints;
        TQnVT100Emulator::LazyPaint(painter);
    }
    int lazyPaints = 0;
};

struct CoalesceCase {
    int interval;
    int least, most;  // repaints for 40 characters written one event loop apart
};

class Coalescing : public ViewTest, public testing::WithParamInterface<CoalesceCase> {};

TEST_P(Coalescing, CharacterByCharacterOutputRepaintsOncePerInterval) {
    CountingEmulator counting;
    counting.SetTerminal(term.get());
    term->SetMinRepaintInterval(GetParam().interval);
    QTest::qWait(GetParam().interval + 5);
    counting.lazyPaints = 0;
    for (int i = 0; i < 40; ++i) Feed("x");
    EXPECT_LE(counting.lazyPaints, GetParam().most);
    EXPECT_GE(counting.lazyPaints, GetParam().least) << "the first change shows at once";
    // The last change is shown when the interval ends.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !counting.NeedsUpdate(); }, GetParam().interval + 500));
}

INSTANTIATE_TEST_SUITE_P(QnTerminalView, Coalescing, testing::Values(CoalesceCase{0, 40, 80}, CoalesceCase{400, 1, 1}));

}  // namespace
