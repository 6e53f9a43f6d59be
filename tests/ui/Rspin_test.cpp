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

struct MarginEdit {
    TScriptedUiPrompts prompts;
    TRSpinEdit edit;
    MarginEdit()
    {
        edit.SetPrompts(&prompts);
        edit.SetMinValue(0.25);
        edit.SetMaxValue(2.0);
        edit.SetIncrement(0.25);
        edit.SetDecimalDigits(2);
    }
};

TEST(Rspin, Defaults)
{
    QtTestApp();
    TRSpinEdit edit;
    EXPECT_EQ(edit.text().toStdString(), "0.0");
    EXPECT_EQ(edit.MinValue(), 0.0);
    EXPECT_EQ(edit.MaxValue(), 10.0);
    EXPECT_EQ(edit.Increment(), 0.1);
    EXPECT_EQ(edit.DecimalDigits(), 2);
    EXPECT_TRUE(edit.EditorEnabled());
    edit.SetDecimalDigits(0);
    EXPECT_EQ(edit.DecimalDigits(), 1);
}

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
    QtTestApp();
    const ValueCase& c = GetParam();
    TRSpinEdit edit;
    edit.SetMinValue(c.minValue);
    edit.SetMaxValue(c.maxValue);
    edit.SetDecimalDigits(c.digits);
    edit.SetValue(c.value);
    EXPECT_EQ(edit.text().toStdString(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RspinValue,
    ::testing::Values(ValueCase{"AboveMaxIsMax", 0.25, 2.0, 2, 3, "2.00"},
                      ValueCase{"BelowMinIsMin", 0.25, 2.0, 2, -1, "0.25"},
                      ValueCase{"InsideKept", 0.25, 2.0, 3, 1.5, "1.500"},
                      ValueCase{"EqualBoundsMeanNoLimits", 0, 0, 1, 123.45, "123.5"},
                      ValueCase{"MinHeldInSinglePrecision", 0.1, 1.0, 9, 0.1, "0.100000001"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rspin, ArrowsStepWithinTheBounds)
{
    QtTestApp();
    MarginEdit m;
    m.edit.SetValue(1.75);
    m.edit.UpClick();
    EXPECT_EQ(m.edit.text().toStdString(), "2.00");
    m.edit.UpButton()->click();
    EXPECT_EQ(m.edit.text().toStdString(), "2.00");
    QTest::keyClick(&m.edit, Qt::Key_Down);
    EXPECT_EQ(m.edit.text().toStdString(), "1.75");
    m.edit.setReadOnly(true);
    m.edit.DownClick();
    EXPECT_EQ(m.edit.text().toStdString(), "1.75");
    EXPECT_EQ(m.prompts.Beeps, 1);
}

TEST(Rspin, TextThatIsNoNumberReadsAsMin)
{
    QtTestApp();
    MarginEdit m;
    m.edit.setText("abc");
    EXPECT_EQ(m.edit.Value(), 0.25);
    m.edit.setText("1.5");
    EXPECT_EQ(m.edit.Value(), 1.5);
}

struct KeyCase {
    const char* name;
    bool editorEnabled;
    Qt::Key key;
    char text;
    bool accepted;
};

class RspinKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(RspinKey, IsTypedOrRefusedWithABeep)
{
    QtTestApp();
    const KeyCase& c = GetParam();
    MarginEdit m;
    m.edit.SetEditorEnabled(c.editorEnabled);
    m.edit.setText("1");
    m.edit.end(false);
    QTest::keyClick(&m.edit, c.key, Qt::NoModifier);
    EXPECT_EQ(m.prompts.Beeps, c.accepted ? 0 : 1);
    EXPECT_EQ(m.edit.IsValidChar(static_cast<unsigned char>(c.text)), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, RspinKey,
    ::testing::Values(KeyCase{"Digit", true, Qt::Key_7, '7', true},
                      KeyCase{"Minus", true, Qt::Key_Minus, '-', true},
                      KeyCase{"Point", true, Qt::Key_Period, '.', true},
                      KeyCase{"Letter", true, Qt::Key_A, 'a', false},
                      KeyCase{"Space", true, Qt::Key_Space, ' ', false},
                      KeyCase{"EnterBeeps", true, Qt::Key_Return, '\r', false},
                      KeyCase{"Backspace", true, Qt::Key_Backspace, '\b', true},
                      KeyCase{"DigitWhenEditorDisabled", false, Qt::Key_7, '7', false},
                      KeyCase{"BackspaceWhenEditorDisabled", false, Qt::Key_Backspace, '\b', false},
                      KeyCase{"TabWhenEditorDisabled", false, Qt::Key_Tab, '\t', true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rspin, LeavingRewritesAnOutOfRangeText)
{
    QtTestApp();
    MarginEdit m;
    m.edit.setText("5");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(&m.edit, &out);
    EXPECT_EQ(m.edit.text().toStdString(), "2.00");
    m.edit.setText("1.3");
    QApplication::sendEvent(&m.edit, &out);
    EXPECT_EQ(m.edit.text().toStdString(), "1.3");
}

} // namespace
