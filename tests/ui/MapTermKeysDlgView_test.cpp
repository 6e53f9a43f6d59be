// What the user of "Map Terminal Keys" sees: whole key names without a
// horizontal scroll bar, readable text on the blue and olive cells, and the
// edit box showing the mapping of the state that is chosen.

#include "ui/MapTermKeysDlg.h"
#include "support/NamedRows.h"

#include "console/MapKeys.h"
#include "support/QtTestApp.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QRadioButton* StateButton(TMapTermKeysDlg& dlg, int state)
{
    return dlg.KeyState->findChildren<QRadioButton*>().at(state);
}

// Whether the cell holds a pixel of text in the given colour's neighbourhood
// (white on blue, black on olive: either reads well).
bool HasTextPixel(const QImage& image, const QRect& cell, const QColor& text)
{
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = std::abs(c.red() - text.red()) + std::abs(c.green() - text.green()) +
                                 std::abs(c.blue() - text.blue());
            if (distance < 48)
                return true;
        }
    return false;
}

class MapTermKeysViewTest : public ::testing::Test {
protected:
    void SetUp() override { tavrin::test::QtTestApp(); }
    QTemporaryDir Temp;
    TMapTermKeys Keys{Temp.filePath("k.kmap").toStdString()};
};

TEST_F(MapTermKeysViewTest, NamesAreNeverCutAndTextReadsWellOnEveryCell)
{
    Keys.SetMapping(0, tksNormal, "MMMM");
    Keys.SetMapping(1, tksNormal, "MMMM");
    Keys.SetMapping(3, tksNormal, std::string(200, 'x'));  // wider than the list
    TMapTermKeysDlg dlg(Keys);
    for (int width : {338, 240, 600}) {
        dlg.resize(width, 401);
        dlg.show();
        QApplication::processEvents();
        EXPECT_FALSE(dlg.ListBox1->horizontalScrollBar()->isVisible()) << width;
        EXPECT_EQ(dlg.ListBox1->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(dlg.ListBox1->visualItemRect(dlg.ListBox1->item(1)).left(), 0);
    }
    dlg.ListBox1->setCurrentRow(1);
    QApplication::processEvents();
    const QImage image = dlg.ListBox1->viewport()->grab().toImage();
    const int captionWidth = dlg.CaptionWidth();
    const QColor blue(0, 0, 255), olive(128, 128, 0);
    struct TCell {
        const char* name;
        int Row;
        bool Caption;
        QColor Background;
    };
    for (const TCell& c : {TCell{"caption", 0, true, blue}, TCell{"mapping", 0, false, olive},
                           TCell{"selected caption", 1, true, blue}, TCell{"selected mapping", 1, false, blue}}) {
        const QRect row = dlg.ListBox1->visualItemRect(dlg.ListBox1->item(c.Row));
        const QRect cell = c.Caption ? QRect(row.left(), row.top(), captionWidth, row.height())
                                     : QRect(captionWidth, row.top(), 60, row.height());
        EXPECT_EQ(image.pixelColor(cell.left() + 1, cell.bottom() - 1), c.Background) << c.name;
        EXPECT_TRUE(HasTextPixel(image, cell, c.Background == blue ? Qt::white : Qt::black)) << c.name;
    }
}

struct TSwitchCase {
    const char* name;
    int To;
    const char* Shown;
};

TAVRIN_PRINT_AS_NAME(TSwitchCase)

class MapTermKeysStateSwitchTest : public MapTermKeysViewTest, public ::testing::WithParamInterface<TSwitchCase> {};

TEST_P(MapTermKeysStateSwitchTest, TheEditShowsTheChosenStatesTextAndUpdateKeepsTheOthers)
{
    const TSwitchCase& c = GetParam();
    Keys.SetMapping(0, tksNormal, "^[A");
    Keys.SetMapping(0, tksShift, "^[[1;2A");
    TMapTermKeysDlg dlg(Keys);
    dlg.ListBox1->setCurrentRow(0);
    ASSERT_EQ(dlg.Edit1->text(), "^[A");
    StateButton(dlg, c.To)->click();
    EXPECT_EQ(dlg.Edit1->text().toStdString(), c.Shown);
    dlg.Button1->click();
    EXPECT_EQ(Keys.GetMapping(0, tksNormal), "^[A");
    EXPECT_EQ(Keys.GetMapping(0, tksShift), "^[[1;2A");
    EXPECT_EQ(Keys.GetMapping(0, tksCtrl), "");
}

INSTANTIATE_TEST_SUITE_P(States, MapTermKeysStateSwitchTest,
                         ::testing::Values(TSwitchCase{"ToShift", tksShift, "^[[1;2A"},
                                           TSwitchCase{"ToCtrl", tksCtrl, ""},
                                           TSwitchCase{"BackToNormal", tksNormal, "^[A"}), tavrin::test::RowName);

} // namespace
