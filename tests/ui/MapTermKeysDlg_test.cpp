// "Map Terminal Keys" dialog: captions, whole key names with readable text
// on the painted cells, editing a mapping per key state, and saving when the
// dialog closes.

#include "ui/MapTermKeysDlg.h"

#include "console/core/MapKeys.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Whether the cell holds a pixel near the text colour (white on blue, black
// on olive: either reads well).
bool HasTextPixel(const QImage& image, const QRect& cell, const QColor& text) {
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) + std::abs(c.blue() - text.blue()) <
                48)
                return true;
        }
    return false;
}

class MapTermKeysDlgTest : public ::testing::Test {
protected:
    QRadioButton* StateButton(TMapTermKeysDlg& d, int s) { return d.KeyState->findChildren<QRadioButton*>().at(s); }
    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    tavrin::test::TTempFolder Temp;
    TMapTermKeys Keys{Temp / "k.kmap"};
};

TEST_F(MapTermKeysDlgTest, UpdateStoresTheNormalisedTextForTheChosenState) {
    Keys.SetMapping(0, tksShift, "^[[1;2A");
    // 1Eh has no caret form; the edit box must hand the raw byte back intact.
    Keys.SetMapping(2, tksNormal, TMapTermKeys::EncodeKeyString("\x1E"));
    Keys.SetMapping(3, tksNormal, "x^^");
    TMapTermKeysDlg dlg(Keys);
    for (int row : {2, 3}) {
        dlg.ListBox1->setCurrentRow(row);
        dlg.Button1->click();
    }
    EXPECT_EQ(Keys.GetKeyBytes(VK_LEFT, TShiftState()), "\x1E");
    EXPECT_EQ(Keys.GetKeyBytes(VK_RIGHT, TShiftState()), "x^");

    dlg.ListBox1->setCurrentRow(0);
    EXPECT_EQ(dlg.Edit1->text(), "");
    dlg.Edit1->setText("^a");
    dlg.Button1->click();
    EXPECT_EQ(dlg.Edit1->text(), "^A");
    EXPECT_EQ(Keys.GetKeyBytes(VK_UP, TShiftState()), std::string(1, '\x01'));

    // A state click repaints the list in that state and leaves the edit box
    // alone: the text typed is stored for whichever state Update finds.
    dlg.Edit1->setText("^[Ox");
    for (int state : {tksCtrl, tksShift, tksNormal, tksCtrl}) {
        StateButton(dlg, state)->click();
        EXPECT_EQ(dlg.GetKeyState(), state);
        EXPECT_EQ(dlg.Edit1->text().toStdString(), "^[Ox") << state;
    }
    dlg.Button1->click();
    EXPECT_EQ(Keys.GetMapping(0, tksShift) + "|" + Keys.GetMapping(0, tksCtrl) + "|" + Keys.GetMapping(0, tksNormal),
              "^[[1;2A|^[Ox|^A");

    StateButton(dlg, tksShift)->click();
    dlg.Edit1->clear();
    dlg.Button1->click();
    EXPECT_FALSE(Keys.IsKeyMapped(VK_UP, TShiftState().Include(ssShift)));
    EXPECT_TRUE(Keys.IsKeyMapped(VK_UP, TShiftState()));

    // Clicking the selected row again drops an edit that was not applied.
    StateButton(dlg, tksNormal)->click();
    dlg.show();
    QApplication::processEvents();
    dlg.Edit1->setText("not applied");
    const QRect row0 = dlg.ListBox1->visualItemRect(dlg.ListBox1->item(0));
    QTest::mouseClick(dlg.ListBox1->viewport(), Qt::LeftButton, {}, row0.center());
    EXPECT_EQ(dlg.ListBox1->currentRow(), 0);
    EXPECT_EQ(dlg.Edit1->text(), "^A");
}

TEST_F(MapTermKeysDlgTest, CaptionsWholeKeyNamesAndTextThatReadsWellOnEveryCell) {
    Keys.SetMapping(0, tksNormal, "MMMM");
    Keys.SetMapping(1, tksNormal, "MMMM");
    Keys.SetMapping(3, tksNormal, std::string(200, 'x'));  // wider than the list
    TMapTermKeysDlg dlg(Keys);
    EXPECT_EQ(dlg.windowTitle(), "Map Terminal Keys");
    EXPECT_EQ(dlg.size(), QSize(338, 401));
    EXPECT_EQ(dlg.KeyState->title() + dlg.Button1->text(), " Key State Update");
    for (int s = 0; s < 3; ++s) EXPECT_EQ(StateButton(dlg, s)->text(), QStringList({"Normal", "Shift", "Ctrl"})[s]);
    EXPECT_TRUE(StateButton(dlg, 0)->isChecked());
    EXPECT_EQ(dlg.ListBox1->count(), TermKeyCount);
    const QFontMetrics metrics(dlg.ListBox1->font());
    EXPECT_GE(dlg.CaptionWidth(), metrics.horizontalAdvance("Shift-Right Arrow") + 4);
    for (int width : {338, 240, 600}) {
        dlg.resize(width, 401);
        dlg.show();
        QApplication::processEvents();
        EXPECT_FALSE(dlg.ListBox1->horizontalScrollBar()->isVisible()) << width;
        EXPECT_EQ(dlg.ListBox1->visualItemRect(dlg.ListBox1->item(1)).left(), 0);
    }
    dlg.ListBox1->setCurrentRow(1);
    QApplication::processEvents();
    const QImage image = dlg.ListBox1->viewport()->grab().toImage();
    const int captionWidth = dlg.CaptionWidth();
    const QColor blue(0, 0, 255), olive(128, 128, 0);
    const struct {
        const char* name;
        int Row;
        bool Caption;
        QColor Background;
    } cells[] = {{"caption", 0, true, blue},
                 {"mapping", 0, false, olive},
                 {"selected caption", 1, true, blue},
                 {"selected mapping", 1, false, blue}};
    for (const auto& c : cells) {
        const QRect row = dlg.ListBox1->visualItemRect(dlg.ListBox1->item(c.Row));
        EXPECT_EQ(row.height(), dlg.ItemHeight());
        const QRect cell = c.Caption ? QRect(row.left(), row.top(), captionWidth, row.height())
                                     : QRect(captionWidth, row.top(), 60, row.height());
        EXPECT_EQ(image.pixelColor(cell.left() + 1, cell.bottom() - 1), c.Background) << c.name;
        EXPECT_TRUE(HasTextPixel(image, cell, c.Background == blue ? Qt::white : Qt::black)) << c.name;
    }
}

TEST_F(MapTermKeysDlgTest, ClosingSavesTheKeyMapOrReportsAFailedSave) {
    TMapTermKeysDlg dlg(Keys);
    dlg.ListBox1->setCurrentRow(11);
    StateButton(dlg, tksCtrl)->click();
    dlg.Edit1->setText(" ^[OP");
    dlg.Button1->click();
    EXPECT_EQ(Temp.Count(), 0);
    dlg.reject();
    const std::string text = tavrin::test::ReadFile(Temp / "k.kmap");
    EXPECT_NE(text.find("[State_Ctrl]\r\nF1=^`^[OP\r\n"), std::string::npos) << text;

    TScriptedUiPrompts prompts;
    TMapTermKeys lost(Temp / "no-such-folder/k.kmap");
    TMapTermKeysDlg lostDlg(lost, &prompts);
    lostDlg.show();
    lostDlg.accept();
    EXPECT_FALSE(lostDlg.isVisible());
    ASSERT_EQ(prompts.Log.size(), 1u);
    EXPECT_EQ(prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
}

}  // namespace
