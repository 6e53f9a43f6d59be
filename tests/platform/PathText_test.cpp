// Host paths through the text that widgets show and edit.

#include <gtest/gtest.h>

#include <QString>

#include "platform/PathText.h"

namespace {

struct TPathCase {
    const char* Name;
    std::string Bytes;
    qsizetype ShownLength;
};

void PrintTo(const TPathCase& c, std::ostream* os) { *os << c.Name; }


class PathTextTest : public ::testing::TestWithParam<TPathCase> {};

TEST_P(PathTextTest, EveryByteComesBack)
{
    const TPathCase& c = GetParam();
    const QString shown = PathToQt(c.Bytes);
    EXPECT_EQ(shown.size(), c.ShownLength);
    EXPECT_EQ(PathFromQt(shown), c.Bytes);
    // Edited text keeps the bytes it did not touch.
    EXPECT_EQ(PathFromQt(QStringLiteral("/x/") + shown), "/x/" + c.Bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, PathTextTest,
    ::testing::Values(TPathCase{"Empty", "", 0}, TPathCase{"Ascii", "/tmp/cpm22.hex", 14},
                      TPathCase{"Utf8", "/tmp/d\xC3\xA9j\xC3\xA0 \xD0\xB6.hex", 15},
                      TPathCase{"Latin1Byte", "caf\xE9.hex", 8}, TPathCase{"FourByte", "\xF0\x9F\x92\xBE", 2},
                      TPathCase{"LoneContinuation", "a\x80z", 3}, TPathCase{"Overlong", "\xC0\xAF", 2},
                      TPathCase{"EncodedSurrogate", "\xED\xA0\x80", 3}, TPathCase{"CutShort", "x\xF0\x9F\x92", 4},
                      TPathCase{"HighBytes", "\xFE\xFF", 2}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DisplayTextTest, NamesShowInTheFileSystemEncoding)
{
    EXPECT_EQ(DisplayText("\xC3\x9C" "bung"), QStringLiteral("\u00DCbung"));
    EXPECT_EQ(DisplayText("caf\xE9"), QStringLiteral("caf\uFFFD"));
}

TEST(DisplayTextTest, LongRunsGetWrapPointsAndKeepTheirCharacters)
{
    const std::string path = "/home/user/" + std::string(200, 'x') + ".cpmdsk";
    const QString shown = WrappableText("Cannot open \"" + path + "\".");
    QString visible = shown;
    visible.remove(QChar(0x200B));
    EXPECT_EQ(visible.toStdString(), "Cannot open \"" + path + "\".");
    int longest = 0, run = 0;
    for (QChar c : shown) {
        run = c.isSpace() || c.unicode() == 0x200B ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 40);
    EXPECT_EQ(WrappableText("short words stay"), QStringLiteral("short words stay"));
    EXPECT_EQ(DisplayText(path), QString::fromStdString(path)) << "captions elide instead";
}

} // namespace
