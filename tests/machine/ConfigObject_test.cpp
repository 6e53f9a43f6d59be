// The settings store: the text form line by line, typed values, and files
// that are replaced whole or not at all.

#include "machine/ConfigObject.h"

#include <gtest/gtest.h>

#include <system_error>

#include "disk/StoreTestSupport.h"
#include "support/NamedRows.h"

using storetest::ReadFile;
using storetest::TempFolder;
using storetest::WriteFile;

namespace {

// Text -> the value found under section/key (nullptr: the key is absent).
struct ParseCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* value;
};

TAVRIN_PRINT_AS_NAME(ParseCase)
class ConfigParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ConfigParse, ReadsLineByTheRules) {
    const ParseCase& c = GetParam();
    TNrKeyValueSections store;
    store.SetText(c.text);
    EXPECT_EQ(store.KeyExists(c.section, c.key), c.value != nullptr);
    if (c.value) {
        EXPECT_EQ(store.ReadString(c.section, c.key, "default"), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigParse,
    ::testing::Values(
        ParseCase{"Trimmed", "[S]\r\n \t key   =   some value \t\r\n", "S", "key", "some value"},
        ParseCase{"NoEquals", "[S]\r\njustakey\r\n", "S", "justakey", ""},
        ParseCase{"LeadingEqualsIsKey", "[S]\r\n=abc\r\n", "S", "=abc", ""},
        ParseCase{"ValueWithEquals", "[S]\r\nk==x=\r\n", "S", "k", "=x="},
        ParseCase{"BeforeFirstHeaderDropped", "k=1\r\n[S]\r\nj=2\r\n", "S", "k", nullptr},
        ParseCase{"EmptyHeaderKeepsSection", "[S]\r\n[]\r\nk=1\r\n", "S", "k", "1"},
        ParseCase{"LoneCR", "[S]\rk=1\rj=2", "S", "j", "2"}),
    tavrin::test::RowName);

TEST(ConfigTyped, ValuesReadBackAndBadTextGivesTheDefault) {
    TNrKeyValueSections store;
    store.WriteBool("S", "on", true);
    store.WriteBool("S", "off", false);
    EXPECT_TRUE(store.ReadBool("S", "on", false));
    EXPECT_FALSE(store.ReadBool("S", "off", true));
    const struct {
        const char* stored;
        int32_t integer;  // default 7
        bool boolean;     // default true
    } cases[] = {{"1", 1, true},         {"2", 2, false},  {"+1", 1, true},    {"yes", 7, true},
                 {"-2147483648", INT32_MIN, false},        {"2147483648", 7, true}, {"+-1", 7, true}};
    for (const auto& c : cases) {
        store.WriteString("S", "k", c.stored);
        EXPECT_EQ(store.ReadInteger("S", "k", 7), c.integer) << c.stored;
        EXPECT_EQ(store.ReadBool("S", "k", true), c.boolean) << c.stored;
    }
    for (double v : {1.5, 0.1, 1e-7, 3.141592653589793, 6.02214076e23, -2.5e-300}) {
        store.WriteFloat("S", "f", v);
        EXPECT_EQ(store.ReadFloat("S", "f", 0.0), v);
    }
    store.WriteFloat("S", "f", 1e6);
    EXPECT_EQ(store.GetValue("S", "f"), "1000000");
    store.WriteString("S", "f", "-0,25");
    EXPECT_EQ(store.ReadFloat("S", "f", 9.0), -0.25);
}

TEST(ConfigFile, SavedWholeAndKeptWholeWhenWritingFails) {
    TempFolder dir;
    const auto file = dir / "tavrin.config";
    TNrKeyValueSections store;
    EXPECT_FALSE(store.LoadFromFile(file));
    store.WriteString("Main", "Name", "x");
    ASSERT_TRUE(store.SaveToFile(file));
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=x\r\n\r\n");
    TNrKeyValueSections loaded;
    ASSERT_TRUE(loaded.LoadFromFile(file));
    EXPECT_EQ(loaded.GetText(), store.GetText());

    for (int i = 0; i < 2000; ++i) store.WriteString("Section", "Key" + std::to_string(i), std::string(40, 'v'));
    {
        storetest::FileSizeLimit limit(4096);
        EXPECT_THROW(store.SaveToFile(file), std::system_error);
    }
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=x\r\n\r\n");
    EXPECT_EQ(dir.Count(), 1) << "no temporary file left behind";
}

}  // namespace
