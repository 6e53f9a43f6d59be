// The settings store.

#include "platform/core/ConfigObject.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <system_error>

#include "platform/core/FileSizeSignal.h"
#include "support/NamedRows.h"
#include "support/TempFolder.h"

using tavrin::test::ReadFile;

namespace {

// Text -> the value found under section/key (nullptr: the key is absent).
// With write set, that value is then written to the key and the store's
// text must equal saved.
struct ParseCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* value;
    const char* write = nullptr;
    const char* saved = nullptr;
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
    if (c.write) {
        store.WriteString(c.section, c.key, c.write);
        EXPECT_EQ(store.GetText(), c.saved);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigParse,
    ::testing::Values(ParseCase{"Trimmed", "[S]\r\n \t key   =   some value \t\r\n", "S", "key", "some value"},
                      ParseCase{"NoEquals", "[S]\r\njustakey\r\n", "S", "justakey", ""},
                      ParseCase{"LeadingEqualsIsKey", "[S]\r\n=abc\r\n", "S", "=abc", ""},
                      ParseCase{"ValueWithEquals", "[S]\r\nk==x=\r\n", "S", "k", "=x="},
                      ParseCase{"BeforeFirstHeaderDropped", "k=1\r\n[S]\r\nj=2\r\n", "S", "k", nullptr},
                      ParseCase{"EmptyHeaderKeepsSection", "[S]\r\n[]\r\nk=1\r\n", "S", "k", "1"},
                      ParseCase{"LoneCR", "[S]\rk=1\rj=2", "S", "j", "2"},
                      // A changed value rewrites its line (the section's first one here), so a
                      // loaded file saves back as long as it was.
                      ParseCase{"ChangedKeyKeepsItsLine", "[S]\r\nk=1\r\nj=2\r\n\r\n", "S", "k", "1", "9",
                                "[S]\r\nk=9\r\nj=2\r\n\r\n"}),
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
    } cases[] = {
        {"1", 1, true},  {"2", 2, true},          {"+1", 1, true}, {"yes", 7, true}, {"-2147483648", INT32_MIN, true},
        {"0", 0, false}, {"2147483648", 7, true}, {"+-1", 7, true}};
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

// Hand-edited values outside their range or not numbers keep the default
// and are reported once.
TEST(SettingsRangeCheck, OutOfRangeKeepsTheDefault) {
    const struct {
        const char* text;  // nullptr: the key is missing
        int32_t min, max, def, expected;
        bool reported;
    } cases[] = {{"148", 0, 255, 0, 148, false},           {"255", 0, 255, 7, 255, false},
                 {nullptr, 0, 255, 7, 7, false},           {"999", 0, 255, 148, 148, true},
                 {"12abc", 0, 255, 148, 148, true},        {"", 0, 255, 148, 148, true},
                 {"99999999999", 1, 40000, 640, 640, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(missing)");
        TNrKeyValueSections store;
        if (c.text) store.WriteString("PORTS", "ColdBootDeviceMapping", c.text);
        store.WriteString("PORTS", "Other", "1");
        EXPECT_EQ(store.ReadInteger("ports", "ColdBootDeviceMapping", c.def, c.min, c.max), c.expected);
        EXPECT_EQ(store.ReadInteger("PORTS", "ColdBootDeviceMapping", c.def, c.min, c.max), c.expected);
        EXPECT_EQ(store.TakeReadProblems().size(), c.reported ? 1u : 0u);
        EXPECT_TRUE(store.TakeReadProblems().empty());
    }
}

// The same for real numbers: what is no finite number in range (too large,
// not a number, infinite) keeps the default and is reported once.
TEST(SettingsRangeCheck, RealsOutOfRangeKeepTheDefault) {
    const struct {
        const char* text;  // nullptr: the key is missing
        double expected;   // range 0.25 .. 2, default 0.5
        bool reported;
    } cases[] = {{"1.5", 1.5, false},  {"0,25", 0.25, false}, {"2", 2.0, false},  {nullptr, 0.5, false},
                 {"1e308", 0.5, true}, {"nan", 0.5, true},    {"inf", 0.5, true}, {"-inf", 0.5, true},
                 {"0.2", 0.5, true},   {"1.5x", 0.5, true},   {"", 0.5, true},    {"1e-400", 0.5, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(missing)");
        TNrKeyValueSections store;
        if (c.text) store.WriteString("PRINTER", "Margin", c.text);
        EXPECT_EQ(store.ReadFloat("printer", "margin", 0.5, 0.25, 2.0), c.expected);
        EXPECT_EQ(store.ReadFloat("PRINTER", "Margin", 0.5, 0.25, 2.0), c.expected);
        EXPECT_EQ(store.TakeReadProblems().size(), c.reported ? 1u : 0u);
    }
    TNrKeyValueSections store;
    store.SetText("[PRINTER]\r\nLineSpacing=1e308\r\n");
    EXPECT_EQ(store.ReadFloat("PRINTER", "LineSpacing", 1.1, 1.0, 3.0), 1.1);
    EXPECT_EQ(store.TakeReadProblems(),
              std::vector<std::string>{"The setting LineSpacing=1e308 in section [PRINTER] is not a number from 1 "
                                       "to 3; the default 1.1 is used."});
}

// A Boolean is 1 or 0 and a string fits its use; anything else keeps the
// default and is reported once, a long value by its start and its length.
TEST(SettingsRangeCheck, BooleansAndLongStringsKeepTheDefault) {
    const struct {
        const char* name;
        std::string text;
        std::function<std::string(const TNrKeyValueSections&)> read;
        std::string expected;
        std::string problem;  // empty: none
    } cases[] = {
        {"one", "1", [](auto& s) { return std::to_string(s.ReadBool("S", "k", false)); }, "1", ""},
        {"zero", "0", [](auto& s) { return std::to_string(s.ReadBool("S", "k", true)); }, "0", ""},
        {"two", "2", [](auto& s) { return std::to_string(s.ReadBool("S", "k", false)); }, "0",
         "The setting k=2 in section [S] is neither 1 nor 0; the default 0 is used."},
        {"minus one", "-1", [](auto& s) { return std::to_string(s.ReadBool("S", "k", true)); }, "1",
         "The setting k=-1 in section [S] is neither 1 nor 0; the default 1 is used."},
        {"word", "yes", [](auto& s) { return std::to_string(s.ReadBool("S", "k", false)); }, "0",
         "The setting k=yes in section [S] is neither 1 nor 0; the default 0 is used."},
        {"fits", "abcd", [](auto& s) { return s.ReadString("S", "k", "def", 4); }, "abcd", ""},
        {"too long", "abcde", [](auto& s) { return s.ReadString("S", "k", "def", 4); }, "def",
         "The setting k=abcde in section [S] is longer than 4 characters; the default def is used."},
        {"far too long", std::string(100000, 'x'), [](auto& s) { return s.ReadString("S", "k", "def", 4); }, "def",
         "The setting k=" + std::string(60, 'x') +
             "... (100000 characters) in section [S] is longer than 4 characters; the default def is used."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TNrKeyValueSections store;
        store.WriteString("S", "k", c.text);
        EXPECT_EQ(c.read(store), c.expected);
        EXPECT_EQ(c.read(store), c.expected);
        EXPECT_EQ(store.TakeReadProblems(),
                  c.problem.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.problem});
    }
    TNrKeyValueSections empty;
    EXPECT_TRUE(empty.ReadBool("S", "k", true));
    EXPECT_EQ(empty.ReadString("S", "k", "def", 0), "def");
    EXPECT_TRUE(empty.TakeReadProblems().empty()) << "a missing key is no problem";
}

TEST(SettingsRangeCheckReport, NamesKeyValueAndRange) {
    TNrKeyValueSections store;
    store.SetText("[MAIN]\r\nDSP_WIDTH=40000\r\n");
    EXPECT_EQ(store.ReadInteger("MAIN", "DSP_WIDTH", 800, 100, 4096), 800);
    EXPECT_EQ(store.TakeReadProblems(),
              std::vector<std::string>{"The setting DSP_WIDTH=40000 in section [MAIN] is not a whole number from 100 "
                                       "to 4096; the default 800 is used."});
}

// Saving past the file-size limit, in a child process whose limit and
// signal disposition do not touch the test runner: with the signal ignored
// the write fails with EFBIG, the old file stays and no temporary is left.
TEST(ConfigFile, SavedWholeAndKeptWholeWhenWritingFails) {
    tavrin::test::TTempFolder dir;
    const auto file = dir / "tavrin.config";
    TNrKeyValueSections store;
    EXPECT_FALSE(store.LoadFromFile(file));
    store.WriteString("Main", "Name", "x");
    ASSERT_TRUE(store.SaveToFile(file));
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=x\r\n\r\n");
    TNrKeyValueSections loaded;
    ASSERT_TRUE(loaded.LoadFromFile(file));
    EXPECT_EQ(loaded.GetText(), store.GetText());

    const pid_t pid = ::fork();
    if (pid == 0) {
        IgnoreFileSizeSignal();
        struct rlimit limit {
            4096, 4096
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        store.WriteString("DISKS", "CpmSourceFile", std::string(65536, 'x'));
        try {
            store.SaveToFile(file);
        } catch (const std::system_error& e) {
            ::_exit(e.code().value() == EFBIG ? 0 : 2);
        }
        ::_exit(3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: another error, 3: no error";
    EXPECT_EQ(ReadFile(file), "[Main]\r\nName=x\r\n\r\n");
    EXPECT_EQ(dir.Count(), 1) << "no temporary file left behind";
}

}  // namespace
