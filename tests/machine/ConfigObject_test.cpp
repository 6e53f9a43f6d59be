#include "machine/ConfigObject.h"

#include <gtest/gtest.h>

#include <ostream>

#include <filesystem>
#include <sstream>
#include <system_error>

#include "disk/StoreTestSupport.h"
#include "support/NamedRows.h"

namespace fs = std::filesystem;
using storetest::ReadFile;
using storetest::TempFolder;
using storetest::WriteFile;

namespace {

TEST(ConfigText, RoundTripOfTwoSections) {
    TNrKeyValueSections store;
    store.WriteString("A", "x", "1");
    store.WriteString("B", "y", "a=b");

    std::vector<std::string> lines;
    store.SaveToStrings(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"[A]", "x=1", "", "[B]", "y=a=b", ""}));
    EXPECT_EQ(store.GetText(), "[A]\r\nx=1\r\n\r\n[B]\r\ny=a=b\r\n\r\n");

    TNrKeyValueSections loaded;
    loaded.LoadFromStrings(lines);
    EXPECT_EQ(loaded.GetText(), store.GetText());

    std::ostringstream out;
    ASSERT_TRUE(store.SaveToStream(out));
    std::istringstream in(out.str());
    TNrKeyValueSections streamed;
    ASSERT_TRUE(streamed.LoadFromStream(in));
    EXPECT_EQ(streamed.GetValue("b", "Y"), "a=b");
}

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
        EXPECT_EQ(store.GetValue(c.section, c.key), c.value);
        EXPECT_EQ(store.ReadString(c.section, c.key, "default"), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigParse,
    ::testing::Values(
        ParseCase{"Trimmed", "[S]\r\n \t key   =   some value \t\r\n", "S", "key", "some value"},
        ParseCase{"EndsWithEquals", "[S]\r\nkey=\r\n", "S", "key", ""},
        ParseCase{"NoEquals", "[S]\r\njustakey\r\n", "S", "justakey", ""},
        ParseCase{"LeadingEqualsIsKey", "[S]\r\n=abc\r\n", "S", "=abc", ""},
        ParseCase{"UnclosedBracketIsKey", "[S]\r\n[T\r\n", "S", "[T", ""},
        ParseCase{"ValueWithEquals", "[S]\r\nk==x=\r\n", "S", "k", "=x="},
        ParseCase{"BeforeFirstHeaderDropped", "k=1\r\n[S]\r\nj=2\r\n", "S", "k", nullptr},
        ParseCase{"BlankHeaderKeepsSection", "[S]\r\n[   ]\r\nk=1\r\n", "S", "k", "1"},
        ParseCase{"EmptyHeaderKeepsSection", "[S]\r\n[]\r\nk=1\r\n", "S", "k", "1"},
        ParseCase{"HeaderNameTrimmed", "[  Spaced Name ]\r\nk=1\r\n", "Spaced Name", "k", "1"},
        ParseCase{"LoneCR", "[S]\rk=1\rj=2", "S", "j", "2"},
        ParseCase{"LoneLF", "[S]\nk=1\nj=2\n", "S", "k", "1"}),
    tavrin::test::RowName);

struct TypedCase {
    const char* stored;
    int32_t intWant;  // with default 7
    bool boolWantDefFalse;
    bool boolWantDefTrue;
};
void PrintTo(const TypedCase& c, std::ostream* os) { *os << "\"" << c.stored << "\""; }

class ConfigTyped : public ::testing::TestWithParam<TypedCase> {};

TEST_P(ConfigTyped, IntegerAndBoolean) {
    const TypedCase& c = GetParam();
    TNrKeyValueSections store;
    store.WriteString("S", "k", c.stored);
    EXPECT_EQ(store.ReadInteger("S", "k", 7), c.intWant) << '"' << c.stored << '"';
    EXPECT_EQ(store.ReadBool("S", "k", false), c.boolWantDefFalse) << '"' << c.stored << '"';
    EXPECT_EQ(store.ReadBool("S", "k", true), c.boolWantDefTrue) << '"' << c.stored << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConfigTyped,
    ::testing::Values(TypedCase{"1", 1, true, true}, TypedCase{"0", 0, false, false},
                      TypedCase{"2", 2, false, false}, TypedCase{"-1", -1, false, false},
                      TypedCase{"+1", 1, true, true}, TypedCase{"yes", 7, false, true},
                      TypedCase{"12a", 7, false, true}, TypedCase{"", 7, false, true},
                      TypedCase{"-2147483648", INT32_MIN, false, false},
                      TypedCase{"2147483648", 7, false, true}, TypedCase{"+-1", 7, false, true},
                      TypedCase{"1.0", 7, false, true}));

struct FloatCase {
    const char* stored;
    double want;  // 99.5, the default, when the text is no number
};
void PrintTo(const FloatCase& c, std::ostream* os) { *os << "\"" << c.stored << "\""; }

class ConfigFloatRead : public ::testing::TestWithParam<FloatCase> {};

TEST_P(ConfigFloatRead, AcceptsPointOrComma) {
    TNrKeyValueSections store;
    store.WriteString("S", "f", GetParam().stored);
    EXPECT_DOUBLE_EQ(store.ReadFloat("S", "f", 99.5), GetParam().want) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Texts, ConfigFloatRead,
                         ::testing::Values(FloatCase{"1.5", 1.5}, FloatCase{"1,5", 1.5}, FloatCase{"-0,25", -0.25},
                                           FloatCase{"+2", 2.0}, FloatCase{"2.5E-2", 0.025},
                                           FloatCase{"1,234.5", 99.5}, FloatCase{"abc", 99.5},
                                           FloatCase{"", 99.5}, FloatCase{"1.5x", 99.5},
                                           FloatCase{"inf", 99.5}));

TEST(ConfigFloat, WritesPointAndReadsBackExactly) {
    TNrKeyValueSections store;
    const struct {
        double value;
        const char* text;
    } cases[] = {{1.5, "1.5"}, {-0.125, "-0.125"}, {100.0, "100"}, {0.1, "0.1"}, {1e6, "1000000"}};
    for (const auto& c : cases) {
        store.WriteFloat("S", "f", c.value);
        EXPECT_EQ(store.GetValue("S", "f"), c.text);
    }
    for (double v : {1e-7, 3.141592653589793, 6.02214076e23, -2.5e-300}) {
        store.WriteFloat("S", "f", v);
        EXPECT_EQ(store.ReadFloat("S", "f", 0.0), v);
    }
}

TEST(ConfigFile, SaveLoadAndMissingFile) {
    TempFolder dir;
    const auto file = dir / "tavrin.config";
    TNrKeyValueSections store;
    EXPECT_FALSE(store.LoadFromFile(file));
    store.WriteString("Main", "Name", "v");
    EXPECT_FALSE(store.LoadFromFile(file));  // a missing file leaves the store as it was
    ASSERT_TRUE(store.SaveToFile(file));
    store.WriteString("Main", "Name", "x");
    ASSERT_TRUE(store.SaveToFile(file));
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=x\r\n\r\n");
    EXPECT_EQ(dir.Count(), 1);

    TNrKeyValueSections loaded;
    ASSERT_TRUE(loaded.LoadFromFile(file));
    EXPECT_EQ(loaded.GetText(), store.GetText());

    // Saving through a link writes the file it points to and keeps the link.
    fs::create_symlink(file, dir / "link.config");
    store.WriteString("Main", "Name", "y");
    ASSERT_TRUE(store.SaveToFile(dir / "link.config"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.config"));
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=y\r\n\r\n");
}

TEST(ConfigFileFaults, WriteFailureKeepsOldFile) {
    TempFolder dir;
    const auto file = dir / "big.config";
    WriteFile(file, "[S]\r\nk=old\r\n\r\n");
    TNrKeyValueSections store;
    for (int i = 0; i < 2000; ++i) store.WriteString("Section", "Key" + std::to_string(i), std::string(40, 'v'));
    {
        storetest::FileSizeLimit limit(4096);
        EXPECT_THROW(store.SaveToFile(file), std::system_error);
    }
    EXPECT_EQ(ReadFile(file), "[S]\r\nk=old\r\n\r\n");
    EXPECT_EQ(dir.Count(), 1);
}

}  // namespace
