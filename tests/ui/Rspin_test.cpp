// The real-number spin edit: clamping, decimals, arrows and refused keys,
// whose beeps reach the prompts hook.

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "ui/Rspin.h"

namespace {

// A margin edit as the printer panel has one.
class Rspin : public ::testing::Test {
protected:
    Rspin() {
        Edit.SetPrompts(&Prompts);
        Edit.SetMinValue(0.25);
        Edit.SetMaxValue(2.0);
        Edit.SetIncrement(0.25);
    }
    std::string Text() const { return Edit.text().toStdString(); }
    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    TScriptedUiPrompts Prompts;
    TRSpinEdit Edit;
};

TEST_F(Rspin, ValuesAreClampedAndFormatted) {
    const struct {
        double minValue, maxValue;
        int digits;
        double value;
        const char* text;
    } rows[] = {{0.25, 2.0, 2, 3, "2.00"},        {0.25, 2.0, 2, -1, "0.25"},
                {0.25, 2.0, 3, 1.5, "1.500"},     {0.25, 2.0, 0, 1.24, "1.2"},  // at least one decimal
                {0, 0, 1, 123.45, "123.5"},                                     // equal bounds mean no limits
                {0.1, 1.0, 9, 0.1, "0.100000001"}};  // the minimum is held in single precision
    for (const auto& r : rows) {
        Edit.SetMinValue(r.minValue);
        Edit.SetMaxValue(r.maxValue);
        Edit.SetDecimalDigits(r.digits);
        Edit.SetValue(r.value);
        EXPECT_EQ(Text(), r.text) << r.value;
    }
}

TEST_F(Rspin, ArrowsAndLeavingKeepTheBoundsAndUnreadableTextIsTheMinimum) {
    EXPECT_EQ(TRSpinEdit().text().toStdString(), "0.0");
    Edit.SetValue(1.75);
    Edit.UpButton()->click();
    EXPECT_EQ(Text(), "2.00");
    Edit.UpClick();
    EXPECT_EQ(Text(), "2.00");
    QTest::keyClick(&Edit, Qt::Key_Down);
    EXPECT_EQ(Text(), "1.75");
    Edit.setReadOnly(true);
    Edit.DownClick();
    EXPECT_EQ(Text(), "1.75");
    EXPECT_EQ(Prompts.Beeps, 1);
    Edit.setText("abc");
    EXPECT_EQ(Edit.Value(), 0.25);
    // Leaving rewrites an out-of-range text only.
    QFocusEvent out(QEvent::FocusOut);
    Edit.setText("5");
    QApplication::sendEvent(&Edit, &out);
    EXPECT_EQ(Text(), "2.00");
    Edit.setText("1.3");
    QApplication::sendEvent(&Edit, &out);
    EXPECT_EQ(Text(), "1.3");
}

TEST_F(Rspin, KeysAreTypedOrRefusedWithABeep) {
    // The key, and whether it is taken without a beep.
    const std::pair<Qt::Key, bool> rows[] = {{Qt::Key_7, true},         {Qt::Key_Minus, true}, {Qt::Key_Period, true},
                                             {Qt::Key_Backspace, true}, {Qt::Key_A, false},    {Qt::Key_Space, false},
                                             {Qt::Key_Return, false}};
    for (const auto& [key, accepted] : rows) {
        Prompts.Clear();
        Edit.setText("1");
        QTest::keyClick(&Edit, key);
        EXPECT_EQ(Prompts.Beeps, accepted ? 0 : 1) << "key " << key;
    }
}

}  // namespace
