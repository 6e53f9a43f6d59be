// A console font that is not installed falls back to a family the font
// database itself reports as fixed-pitch: DejaVu Sans Mono, which the
// install step installs, so cells and glyphs agree on every machine.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

#include "console/SimpleTerminal.h"
#include "support/QtTestApp.h"

namespace {

class TerminalFontFallbackTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { tavrin::test::QtTestApp(); }
};

TEST_P(TerminalFontFallbackTest, MissingFamiliesUseARealFixedPitchFamily)
{
    const QFont font = TSimpleTerminal::MakeFont(GetParam(), -12);
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_TRUE(QFontDatabase::isFixedPitch(font.family()));
    EXPECT_EQ(QFontInfo(font).family(), font.family()) << "asked for by its real name, not an alias";
    EXPECT_EQ(font.pixelSize(), 12);
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QLatin1Char('M'));
    for (char c = ' '; c < 0x7F; ++c)
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char(c)), width) << c;
}

INSTANTIATE_TEST_SUITE_P(Families, TerminalFontFallbackTest,
                         ::testing::Values("Terminal", "No Such Font Family", "Lucida Console"));

} // namespace
