// Host file list: lookups by name and key, letter case, refresh of present
// and missing files, the size total and the time conversion.

#include "ui/FileList.h"

#include "disk/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct AddCase {
    const char* name;
    bool caseSensitive;
    const char* second;
    const char* secondKey;
    int count;
};

void PrintTo(const AddCase& c, std::ostream* os) { *os << c.name; }

class FileListAdd : public ::testing::TestWithParam<AddCase> {};

TEST_P(FileListAdd, FindsOrAppends)
{
    const AddCase& c = GetParam();
    TFileItemList list;
    list.CaseSensitive = c.caseSensitive;
    TFileItem* first = list.AddFile("/tmp/Readme.TXT", "", false);
    TFileItem* second = list.AddFile(c.second, c.secondKey, false);
    EXPECT_EQ(list.Count(), c.count);
    EXPECT_EQ(first == second, c.count == 1);
    EXPECT_EQ(list.IndexOf("/tmp/Readme.TXT"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileListAdd,
    ::testing::Values(AddCase{"SameNameIsOneItem", true, "/tmp/Readme.TXT", "", 1},
                      AddCase{"OtherCaseIsAnotherFileOnLinux", true, "/tmp/README.txt", "", 2},
                      AddCase{"OtherCaseIsOneItemWhenCaseInsensitive", false, "/tmp/README.txt", "", 1},
                      AddCase{"AKeyLooksUpByKeyOnly", false, "/tmp/Readme.TXT", "k", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FileList, EmptyNamesAndKeysAndRangeChecks)
{
    TFileItemList list;
    EXPECT_EQ(list.AddFile("", "key", true), nullptr);
    TFileItem* keyed = list.AddFile("/a", "k1", false);
    EXPECT_EQ(list.AddFile("/b", "k1", false), keyed);
    EXPECT_EQ(keyed->FileName, "/a");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(1), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    EXPECT_EQ(list.IndexOf("/zzz"), -1);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(FileList, RefreshReadsPresentFilesAndResetsMissingOnes)
{
    storetest::TempFolder dir;
    storetest::WriteFile(dir / "five", "12345");
    TFileItemList list;
    TFileItem* present = list.AddFile(dir / "five", "", true);
    TFileItem* missing = list.AddFile(dir / "none", "", true);
    EXPECT_EQ(present->Size, 5);
    EXPECT_NE(present->Attributes, 0u);
    EXPECT_GT(present->LastWriteTime, 40000.0);  // after the year 2009
    EXPECT_GT(present->CreationTime, 0.0);
    EXPECT_EQ(missing->Size, -1);
    EXPECT_FALSE(missing->Refresh());
    EXPECT_EQ(missing->LastWriteTime, 0.0);
    EXPECT_EQ(list.TotalSize(), 4);  // 5 + (-1)
    std::filesystem::remove(dir / "five");
    EXPECT_FALSE(present->Refresh());
    EXPECT_EQ(present->Size, -1);
    EXPECT_EQ(present->Attributes, 0u);
}

TEST(FileList, FileTimesCountDaysFrom1899)
{
    EXPECT_DOUBLE_EQ(FileTimeToDateTime({0, 0}), 25569.0);
    EXPECT_DOUBLE_EQ(FileTimeToDateTime({86400 + 43200, 0}), 25570.5);
    EXPECT_EQ(FileTimeToDateTime({-25569LL * 86400 - 1, 0}), 0.0);
}

}  // namespace
