// The text viewer: search forward with its options and the not-found box,
// Find Next's enabling, the caret's line and column, the caption, and that
// the text cannot be edited.

#include "ui/TextViewer.h"

#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest/QTest>

#include <gtest/gtest.h>

namespace {

class TextViewerTest : public ::testing::Test {
protected:
    TextViewerTest()
    {
        Viewer.LoadText("The cat sat.\r\nA Cat and a category.\r\n");
    }
    int SelectionStart() const { return Viewer.TextViewer->textCursor().selectionStart(); }

    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    TScriptedUiPrompts Prompts;
    TTextViewer Viewer{Prompts};
};

TEST_F(TextViewerTest, SearchesOnFromTheLastMatchThenReportsTheMiss)
{
    EXPECT_TRUE(Viewer.FindPhrase("cat", true, false));
    EXPECT_EQ(SelectionStart(), 4);
    EXPECT_TRUE(Viewer.FindPhrase("cat", true, false));
    EXPECT_EQ(SelectionStart(), 25);  // inside "category"
    EXPECT_EQ(Viewer.TextViewer->textCursor().selectedText(), "cat");
    EXPECT_FALSE(Viewer.FindPhrase("cat", true, false));
    EXPECT_EQ(Prompts.LastText(), "Unable to find search phrase \"cat\".");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Information);
    EXPECT_EQ(SelectionStart(), 25);
}

struct FindCase {
    const char* name;
    bool matchCase, wholeWord;
    std::vector<int> starts;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << c.name; }

class TextViewerOptions : public TextViewerTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(TextViewerOptions, MatchCaseAndWholeWordNarrowTheMatches)
{
    std::vector<int> starts;
    while (Viewer.FindPhrase("cat", GetParam().matchCase, GetParam().wholeWord))
        starts.push_back(SelectionStart());
    EXPECT_EQ(starts, GetParam().starts);
}

INSTANTIATE_TEST_SUITE_P(Options, TextViewerOptions,
                         ::testing::Values(FindCase{"Plain", false, false, {4, 15, 25}},
                                           FindCase{"MatchCase", true, false, {4, 25}},
                                           FindCase{"WholeWord", false, true, {4, 15}},
                                           FindCase{"Both", true, true, {4}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TextViewerTest, FindNextNeedsANonBlankPhraseAndUsesTheOptions)
{
    Viewer.FindTextEdit->setText("   ");
    EXPECT_FALSE(Viewer.FindNextAct->isEnabled());
    Viewer.FindNextActExecute();
    EXPECT_TRUE(Prompts.Log.empty());
    Viewer.FindTextEdit->setText("Cat");
    Viewer.MatchCaseBtn->setChecked(true);
    EXPECT_TRUE(Viewer.FindNextAct->isEnabled());
    Viewer.FindNextActExecute();
    EXPECT_EQ(SelectionStart(), 15);
    // Enter in the find box searches on.
    Viewer.TextViewer->setTextCursor(QTextCursor(Viewer.TextViewer->document()));
    QTest::keyClick(Viewer.FindTextEdit, Qt::Key_Return);
    EXPECT_EQ(SelectionStart(), 15);
}

TEST_F(TextViewerTest, StatusShowsCaretLineAndColumnAndTheImage)
{
    QTextCursor cursor(Viewer.TextViewer->document());
    cursor.setPosition(17);
    Viewer.TextViewer->setTextCursor(cursor);
    EXPECT_EQ(Viewer.LineValue->text(), "2");
    EXPECT_EQ(Viewer.ColumnValue->text(), "5");
    Viewer.SetFileInfo("/images/games.cpmdsk", "ZORK.TXT", 7);
    EXPECT_EQ(Viewer.windowTitle(), "View [ZORK.TXT user area: 7]");
    EXPECT_EQ(Viewer.DiskFileValue->text(), "games");
}

TEST_F(TextViewerTest, TypingChangesNothing)
{
    Viewer.TextViewer->setFocus();
    QTest::keyClicks(Viewer.TextViewer, "xyz");
    QTest::keyClick(Viewer.TextViewer, Qt::Key_Delete);
    EXPECT_EQ(Viewer.TextViewer->toPlainText(), "The cat sat.\nA Cat and a category.\n");
}

}  // namespace
