// The text viewer: search forward with its options and the not-found box,
// Find Next's enabling, the caret's line and column, and that the text
// cannot be edited.

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
    TextViewerTest() { Viewer.LoadText("The cat sat.\r\nA Cat and a category.\r\n"); }
    // Where each search in turn finds the phrase, up to the miss.
    std::string Matches(bool matchCase, bool wholeWord)
    {
        std::string starts;
        while (Viewer.FindPhrase("cat", matchCase, wholeWord))
            starts += std::to_string(Viewer.TextViewer->textCursor().selectionStart()) + " ";
        return starts;
    }
    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    TScriptedUiPrompts Prompts;
    TTextViewer Viewer{Prompts};
};

TEST_F(TextViewerTest, SearchesOnFromTheLastMatchWithTheOptions)
{
    EXPECT_EQ(Matches(false, false), "4 15 25 ");
    EXPECT_EQ(Prompts.LastText(), "Unable to find search phrase \"cat\".");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Information);
    EXPECT_EQ(Viewer.TextViewer->textCursor().selectedText(), "cat");  // stays on the last match
    const std::pair<std::pair<bool, bool>, std::string> options[] = {
        {{true, false}, "4 25 "}, {{false, true}, "4 15 "}, {{true, true}, "4 "}};
    for (const auto& [flags, expected] : options) {
        Viewer.TextViewer->moveCursor(QTextCursor::Start);
        EXPECT_EQ(Matches(flags.first, flags.second), expected);
    }
}

TEST_F(TextViewerTest, FindNextNeedsANonBlankPhraseAndEnterSearches)
{
    Viewer.FindTextEdit->setText("   ");
    EXPECT_FALSE(Viewer.FindNextAct->isEnabled());
    Viewer.FindNextActExecute();
    EXPECT_TRUE(Prompts.Log.empty());
    Viewer.FindTextEdit->setText("Cat");
    Viewer.MatchCaseBtn->setChecked(true);
    QTest::keyClick(Viewer.FindTextEdit, Qt::Key_Return);
    EXPECT_EQ(Viewer.TextViewer->textCursor().selectionStart(), 15);
    EXPECT_EQ(Viewer.LineValue->text() + "," + Viewer.ColumnValue->text(), "2,3");
    QTest::keyClicks(Viewer.TextViewer, "xyz");
    QTest::keyClick(Viewer.TextViewer, Qt::Key_Delete);
    EXPECT_EQ(Viewer.TextViewer->toPlainText(), "The cat sat.\nA Cat and a category.\n");
}

}  // namespace
