// "Map Terminal Keys" dialog: captions, editing a mapping per key state, the
// painted rows, and saving when the dialog closes.

#include "ui/MapTermKeysDlg.h"

#include "console/MapKeys.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class MapTermKeysDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        std::string pattern = (fs::temp_directory_path() / "mapdlg-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        FFolder = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(FFolder, ec);
    }
    std::string File(const char* name) const { return (FFolder / name).string(); }

    QRadioButton* StateButton(TMapTermKeysDlg& dlg, int state) {
        const auto buttons = dlg.KeyState->findChildren<QRadioButton*>();
        return state < buttons.size() ? buttons[state] : nullptr;
    }

    fs::path FFolder;
};

TEST_F(MapTermKeysDlgTest, ShowsItsCaptions) {
    TMapTermKeys keys(File("k.kmap"));
    TMapTermKeysDlg dlg(keys);
    EXPECT_EQ(dlg.windowTitle(), "Map Terminal Keys");
    EXPECT_EQ(dlg.size(), QSize(338, 401));
    EXPECT_EQ(dlg.KeyState->title(), " Key State ");
    EXPECT_EQ(dlg.Button1->text(), "Update");
    const QStringList expected = {"Normal", "Shift", "Ctrl"};
    for (int s = 0; s < 3; ++s) {
        ASSERT_NE(StateButton(dlg, s), nullptr);
        EXPECT_EQ(StateButton(dlg, s)->text(), expected[s]);
    }
    EXPECT_TRUE(StateButton(dlg, 0)->isChecked());
    EXPECT_EQ(dlg.GetKeyState(), tksNormal);
    EXPECT_EQ(dlg.ListBox1->count(), TermKeyCount);
    EXPECT_EQ(dlg.Panel1->height(), 90);
    const QFontMetrics metrics(dlg.ListBox1->font());
    EXPECT_GE(dlg.CaptionWidth(), metrics.horizontalAdvance("Shift-Right Arrow") + 4);
}

TEST_F(MapTermKeysDlgTest, UpdateStoresTheNormalisedTextForTheChosenState) {
    TMapTermKeys keys(File("k.kmap"));
    keys.SetMapping(0, tksShift, "^[[1;2A");
    TMapTermKeysDlg dlg(keys);

    dlg.ListBox1->setCurrentRow(0);
    EXPECT_EQ(dlg.Edit1->text(), "");
    dlg.Edit1->setText("^a");
    dlg.Button1->click();
    EXPECT_EQ(dlg.Edit1->text(), "^A");
    EXPECT_EQ(keys.GetKeyBytes(VK_UP, TShiftState()), std::string(1, '\x01'));

    StateButton(dlg, tksShift)->click();
    EXPECT_EQ(dlg.GetKeyState(), tksShift);
    dlg.ListBox1->setCurrentRow(1);
    dlg.ListBox1->setCurrentRow(0);
    EXPECT_EQ(dlg.Edit1->text(), "^[[1;2A");
    dlg.Edit1->clear();
    dlg.Button1->click();
    EXPECT_FALSE(keys.IsKeyMapped(VK_UP, TShiftState().Include(ssShift)));
    EXPECT_TRUE(keys.IsKeyMapped(VK_UP, TShiftState()));

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

TEST_F(MapTermKeysDlgTest, RecordSeparatorSurvivesTheEditBox) {
    // 1Eh has no caret form; the edit box must hand the raw byte back intact.
    TMapTermKeys keys(File("k.kmap"));
    keys.SetMapping(2, tksNormal, TMapTermKeys::EncodeKeyString("\x1E"));
    keys.SetMapping(3, tksNormal, "x^^");
    TMapTermKeysDlg dlg(keys);
    for (int row : {2, 3}) {
        dlg.ListBox1->setCurrentRow(row);
        dlg.Button1->click();
    }
    EXPECT_EQ(keys.GetKeyBytes(VK_LEFT, TShiftState()), "\x1E");
    EXPECT_EQ(keys.GetKeyBytes(VK_RIGHT, TShiftState()), "x^");
}

TEST_F(MapTermKeysDlgTest, RowsPaintCaptionAndMappingCells) {
    TMapTermKeys keys(File("k.kmap"));
    TMapTermKeysDlg dlg(keys);
    dlg.show();
    dlg.ListBox1->setCurrentRow(1);
    QApplication::processEvents();
    const QImage image = dlg.ListBox1->viewport()->grab().toImage();
    const QRect row0 = dlg.ListBox1->visualItemRect(dlg.ListBox1->item(0));
    const QRect row1 = dlg.ListBox1->visualItemRect(dlg.ListBox1->item(1));
    EXPECT_EQ(row0.height(), dlg.ItemHeight());
    struct Probe {
        const char* what;
        QPoint at;
        QColor colour;
    };
    const int mappingX = dlg.CaptionWidth() + 20;
    const std::vector<Probe> probes = {
        {"caption cell", QPoint(1, row0.bottom() - 1), QColor(0, 0, 255)},
        {"mapping cell", QPoint(mappingX, row0.bottom() - 1), QColor(128, 128, 0)},
        {"selected caption cell", QPoint(1, row1.bottom() - 1), QColor(0, 0, 255)},
        {"selected mapping cell", QPoint(mappingX, row1.bottom() - 1), QColor(0, 0, 255)},
    };
    for (const auto& p : probes) {
        const qreal dpr = image.devicePixelRatio();
        EXPECT_EQ(image.pixelColor(p.at * dpr).rgb(), p.colour.rgb()) << p.what;
    }
}

TEST_F(MapTermKeysDlgTest, ClosingSavesTheKeyMap) {
    const std::string file = File("k.kmap");
    TMapTermKeys keys(file);
    TMapTermKeysDlg dlg(keys);
    dlg.ListBox1->setCurrentRow(11);
    StateButton(dlg, tksCtrl)->click();
    dlg.Edit1->setText(" ^[OP");
    dlg.Button1->click();
    EXPECT_FALSE(fs::exists(file));
    dlg.reject();
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("[State_Ctrl]\r\nF1=^`^[OP\r\n"), std::string::npos) << text.str();
}

TEST_F(MapTermKeysDlgTest, FailedSaveIsReportedAndClosingGoesOn) {
    TScriptedUiPrompts prompts;
    TMapTermKeys keys(File("no-such-folder/k.kmap"));
    TMapTermKeysDlg dlg(keys, &prompts);
    dlg.show();
    dlg.accept();
    EXPECT_FALSE(dlg.isVisible());
    ASSERT_EQ(prompts.Log.size(), 1u);
    EXPECT_EQ(prompts.Log[0].Kind, TScriptedUiPrompts::TKind::Error);
}

}  // namespace
