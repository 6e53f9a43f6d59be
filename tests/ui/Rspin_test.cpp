// The real-number spin edit: clamping, decimals, arrows and refused keys,
// whose beeps reach the prompts hook.

#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "ui/Rspin.h"

using tavrin::test::QtTestApp;

namespace {

// A margin edit as the printer panel has one.
struct MarginEdit {
    QApplication& app = QtTestApp();
    TScriptedUiPrompts prompts;
    TRSpinEdit edit;
    MarginEdit()
    {
        edit.SetPrompts(&prompts);
        edit.SetMinValue(0.25);
        edit.SetMaxValue(2.0);
        edit.SetIncrement(0.25);
    }
    std::string Text() const { return edit.text().toStdString(); }
};

struct ValueCase {
    const char* name;
    double minValue, maxValue;
    int digits;
    double value;
    const char* text;
};

class RspinValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(RspinValue, IsClampedAndFormatted)
{
    const ValueCase& c = GetParam();
    MarginEdit m;
    m.edit.SetMinValue(c.minValue);
    m.edit.SetMaxValue(c.maxValue);
    m.edit.SetDecimalDigits(c.digits);
    m.edit.SetValue(c.value);
    EXPECT_EQ(m.Text(), c.text);
}

INSTANTIATE_TEST_SUITE_P(Values, RspinValue,
                         ::testing::Values(ValueCase{"AboveMaxIsMax", 0.25, 2.0, 2, 3, "2.00"},
                                           ValueCase{"BelowMinIsMin", 0.25, 2.0, 2, -1, "0.25"},
                                           ValueCase{"InsideKept", 0.25, 2.0, 3, 1.5, "1.500"},
                                           ValueCase{"DecimalsAtLeastOne", 0.25, 2.0, 0, 1.24, "1.2"},
                                           ValueCase{"EqualBoundsMeanNoLimits", 0, 0, 1, 123.45, "123.5"},
                                           ValueCase{"MinHeldInSinglePrecision", 0.1, 1.0, 9, 0.1, "0.100000001"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rspin, DefaultsArrowsAndUnreadableText)
{
    MarginEdit m;
    TRSpinEdit plain;
    EXPECT_EQ(plain.text().toStdString(), "0.0");
    EXPECT_EQ(std::make_pair(plain.MinValue(), plain.MaxValue()), std::make_pair(0.0, 10.0));
    EXPECT_EQ(plain.Increment(), 0.1);
    EXPECT_EQ(plain.DecimalDigits(), 2);

    m.edit.SetValue(1.75);
    m.edit.UpButton()->click();
    EXPECT_EQ(m.Text(), "2.00");
    m.edit.UpClick();
    EXPECT_EQ(m.Text(), "2.00");
    QTest::keyClick(&m.edit, Qt::Key_Down);
    EXPECT_EQ(m.Text(), "1.75");
    m.edit.setReadOnly(true);
    m.edit.DownClick();
    EXPECT_EQ(m.Text(), "1.75");
    EXPECT_EQ(m.prompts.Beeps, 1);
    m.edit.setText("abc");
    EXPECT_EQ(m.edit.Value(), 0.25);
}

struct KeyCase {
    const char* name;
    bool editorEnabled;
    Qt::Key key;
    bool accepted;
};

class RspinKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RspinKey, IsTypedOrRefusedWithABeep)
{
    const KeyCase& c = GetParam();
    MarginEdit m;
    m.edit.SetEditorEnabled(c.editorEnabled);
    m.edit.setText("1");
    QTest::keyClick(&m.edit, c.key);
    EXPECT_EQ(m.prompts.Beeps, c.accepted ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Keys, RspinKey,
                         ::testing::Values(KeyCase{"Digit", true, Qt::Key_7, true}, KeyCase{"Minus", true, Qt::Key_Minus, true},
                                           KeyCase{"Point", true, Qt::Key_Period, true}, KeyCase{"Letter", true, Qt::Key_A, false},
                                           KeyCase{"Space", true, Qt::Key_Space, false}, KeyCase{"EnterBeeps", true, Qt::Key_Return, false},
                                           KeyCase{"Backspace", true, Qt::Key_Backspace, true},
                                           KeyCase{"DigitWhenEditorDisabled", false, Qt::Key_7, false},
                                           KeyCase{"BackspaceWhenEditorDisabled", false, Qt::Key_Backspace, false},
                                           KeyCase{"TabWhenEditorDisabled", false, Qt::Key_Tab, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rspin, LeavingRewritesAnOutOfRangeText)
{
    MarginEdit m;
    QFocusEvent out(QEvent::FocusOut);
    m.edit.setText("5");
    QApplication::sendEvent(&m.edit, &out);
    EXPECT_EQ(m.Text(), "2.00");
    m.edit.setText("1.3");
    QApplication::sendEvent(&m.edit, &out);
    EXPECT_EQ(m.Text(), "1.3");
}

} // namespace
