// The TTY console's character grid and its font. A missing font falls back
// to DejaVu Sans Mono (installed by the install step), so cells and glyphs
// agree on every machine.

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include <string>

#include "console/SimpleTerminal.h"
#include "console/core/SimpleTerminalModel.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"

namespace {

// A row's text without the blanks at its end.
std::string Trimmed(const TSimpleTerminalModel& m, int row) {
    std::string s;
    for (int c = 0; c < m.Columns(); ++c) s.push_back(char(m.GetCell(c, row).Ch));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

struct WriteCase {
    const char* name;
    int rows, columns;
    bool lineWrap, scrollLock;
    int startColumn, startRow;
    std::string input;
    int column, row;  // expected cursor
};

TAVRIN_PRINT_AS_NAME(WriteCase)
class WriteCharCases : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteCharCases, MovesCursor) {
    const WriteCase& p = GetParam();
    TSimpleTerminalModel m;
    ASSERT_TRUE(p.rows == m.Rows() || m.SetRows(p.rows));
    ASSERT_TRUE(p.columns == m.Columns() || m.SetColumns(p.columns));
    m.SetLineWrap(p.lineWrap);
    m.SetScrollLock(p.scrollLock);
    m.GotoXY(p.startColumn, p.startRow);
    m.WriteString(p.input);
    EXPECT_EQ(std::pair(m.CursorColumn(), m.CursorRow()), std::pair(p.column, p.row));
}

INSTANTIATE_TEST_SUITE_P(
    Cursor, WriteCharCases,
    ::testing::Values(WriteCase{"NoWrapSticksOnLastColumn", 24, 80, false, false, 0, 0, std::string(100, 'x'), 79, 0},
                      WriteCase{"WrapMovesToNextRow", 24, 80, true, false, 0, 0, std::string(80, 'x'), 0, 1},
                      WriteCase{"WrapOnLastRowStays", 3, 10, true, false, 0, 2, std::string(10, 'x'), 0, 2},
                      WriteCase{"LineFeedKeepsColumn", 24, 80, true, false, 5, 3, "\n", 5, 4},
                      WriteCase{"LineFeedOnLastRow", 24, 80, true, false, 5, 23, "\n\n", 5, 23},
                      WriteCase{"CarriageReturn", 24, 80, true, false, 7, 2, "\r", 0, 2},
                      WriteCase{"BackspaceAtZero", 24, 80, true, false, 0, 2, "\b", 0, 2},
                      WriteCase{"Backspace", 24, 80, true, false, 4, 2, "\b\b", 2, 2},
                      WriteCase{"IgnoredControls", 24, 80, true, false, 3, 3,
                                std::string("\x00\x01\x07\x09\x0b\x0c\x0e\x1b\x1f", 9), 3, 3},
                      WriteCase{"HighBytesAdvance", 24, 80, true, false, 0, 0, "\x7f\x80\xff", 3, 0}),
    tavrin::test::RowName);

TEST(SimpleTerminalModel, ScrollingDropsTopRowAndBlanksBottom) {
    for (const bool scrollLock : {false, true}) {
        SCOPED_TRACE(scrollLock ? "scroll lock overwrites the bottom row" : "scrolls");
        TSimpleTerminalModel m;
        m.SetRows(3);
        m.SetColumns(4);
        m.SetScrollLock(scrollLock);
        // "cccc" fills the bottom row and wraps off it; "dd" follows.
        m.WriteString("aaaabbbbccccdd");
        EXPECT_EQ(Trimmed(m, 0) + "|" + Trimmed(m, 1) + "|" + Trimmed(m, 2),
                  scrollLock ? "aaaa|bbbb|ddcc" : "bbbb|cccc|dd");
    }
}

class TerminalFontFallbackTest : public ::testing::TestWithParam<const char*> {};

TEST_P(TerminalFontFallbackTest, MissingFamiliesUseARealFixedPitchFamily) {
    tavrin::test::QtTestApp();
    const QFont font = TSimpleTerminal::MakeFont(GetParam(), -12);
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(QFontInfo(font).family(), font.family()) << "asked for by its real name, not an alias";
    EXPECT_EQ(font.pixelSize(), 12);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QLatin1Char('M'));
    for (char c = ' '; c < 0x7F; ++c) EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), width) << c;
}

INSTANTIATE_TEST_SUITE_P(Families, TerminalFontFallbackTest,
                         ::testing::Values("Terminal", "No Such Font Family", "Lucida Console"));

}  // namespace
