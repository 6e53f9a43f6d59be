// Ranged integer reads of hand-edited settings: values outside their range
// or not numbers keep the default and are reported once.

#include <gtest/gtest.h>

#include "machine/ConfigObject.h"

namespace {

struct TRangeCase {
    const char* Name;
    const char* Text;  // nullptr: the key is missing
    int32_t Min, Max, Default;
    int32_t Expected;
    bool Reported;
};

class SettingsRangeCheckTest : public ::testing::TestWithParam<TRangeCase> {};

TEST_P(SettingsRangeCheckTest, OutOfRangeKeepsTheDefault)
{
    const TRangeCase& c = GetParam();
    TNrKeyValueSections store;
    if (c.Text)
        store.WriteString("PORTS", "ColdBootDeviceMapping", c.Text);
    store.WriteString("PORTS", "Other", "1");
    EXPECT_EQ(store.ReadInteger("ports", "ColdBootDeviceMapping", c.Default, c.Min, c.Max), c.Expected);
    // A second read of the same key adds no second report.
    EXPECT_EQ(store.ReadInteger("PORTS", "ColdBootDeviceMapping", c.Default, c.Min, c.Max), c.Expected);
    std::vector<std::string> problems = store.TakeReadProblems();
    EXPECT_EQ(problems.size(), c.Reported ? 1u : 0u);
    EXPECT_TRUE(store.TakeReadProblems().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsRangeCheckTest,
    ::testing::Values(TRangeCase{"InRange", "148", 0, 255, 0, 148, false},
                      TRangeCase{"AtBothEnds", "255", 0, 255, 7, 255, false},
                      TRangeCase{"Missing", nullptr, 0, 255, 7, 7, false},
                      TRangeCase{"AboveTheRange", "999", 0, 255, 148, 148, true},
                      TRangeCase{"NoNumber", "12abc", 0, 255, 148, 148, true},
                      TRangeCase{"Empty", "", 0, 255, 148, 148, true},
                      TRangeCase{"PastInt32", "99999999999", 1, 40000, 640, 640, true}),
    [](const ::testing::TestParamInfo<TRangeCase>& info) { return std::string(info.param.Name); });

TEST(SettingsRangeCheck, ReportNamesKeyValueAndRange)
{
    TNrKeyValueSections store;
    store.SetText("[MAIN]\r\nDSP_WIDTH=40000\r\n");
    EXPECT_EQ(store.ReadInteger("MAIN", "DSP_WIDTH", 800, 100, 4096), 800);
    const std::vector<std::string> problems = store.TakeReadProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              "The setting DSP_WIDTH=40000 in section [MAIN] is not a whole number from 100 to 4096; "
              "the default 800 is used.");
}

} // namespace
