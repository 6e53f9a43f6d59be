// Host paths keep every byte through the text a widget shows, whether or not
// they are valid UTF-8.

#include <gtest/gtest.h>

#include <QString>

#include "platform/HostPathText.h"
#include "platform/QtUiPrompts.h"

namespace {

struct TPathCase {
    const char* Name;
    std::string Path;
    std::u16string Shown;  // empty: not checked
};

class HostPathBytesTest : public ::testing::TestWithParam<TPathCase> {};

TEST_P(HostPathBytesTest, RoundTripKeepsTheBytes)
{
    const TPathCase& c = GetParam();
    const QString shown = PathToQt(c.Path);
    if (!c.Shown.empty()) {
        EXPECT_EQ(shown.toStdU16String(), c.Shown);
    }
    EXPECT_EQ(PathFromQt(shown), c.Path);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HostPathBytesTest,
    ::testing::Values(TPathCase{"Latin1Byte", "/tmp/caf\xE9.hex", u"/tmp/caf\xDCE9.hex"},
                      TPathCase{"Utf8Text", "/tmp/caf\xC3\xA9 \xF0\x9F\x92\xBE.hex", u"/tmp/caf\u00E9 \U0001F4BE.hex"},
                      TPathCase{"CutSequence", "a\xE2\x82", u"a\xDCE2\xDC82"},
                      TPathCase{"Overlong", "\xC0\xAF", u"\xDCC0\xDCAF"},
                      TPathCase{"EncodedSurrogate", "\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9"},
                      TPathCase{"PastU10FFFF", "\xF4\x90\x80\x80", u""}),
    [](const ::testing::TestParamInfo<TPathCase>& info) { return std::string(info.param.Name); });

TEST(HostPathBytes, EveryByteStringOfTwoBytesRoundTrips)
{
    for (int a = 1; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const std::string path{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(HostPathFromUtf16(HostPathToUtf16(path)), path) << a << " " << b;
        }
}

TEST(HostPathBytes, TypedLoneSurrogatesBecomeReplacementCharacters)
{
    EXPECT_EQ(HostPathFromUtf16(u"x\xD800y\xDC41"), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

} // namespace
