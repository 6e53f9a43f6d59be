// Host file list: lookups by name (with and without letter case) and key,
// refresh of present and missing files, the size total and the time stamps.

#include "ui/FileList.h"

#include "disk/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FileList, FindsByNameOrKeyAndAppendsTheRest)
{
    TFileItemList list;
    EXPECT_EQ(list.AddFile("", "key", true), nullptr);
    TFileItem* first = list.AddFile("/tmp/Read.Me", "", false);
    EXPECT_EQ(list.AddFile("/tmp/Read.Me", "", false), first);
    EXPECT_NE(list.AddFile("/tmp/READ.ME", "", false), first);  // another file on Linux
    list.CaseSensitive = false;
    EXPECT_EQ(list.AddFile("/tmp/read.me", "", false), first);
    TFileItem* keyed = list.AddFile("/a", "k", false);
    EXPECT_EQ(list.AddFile("/b", "k", false), keyed);  // a key decides alone
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.IndexOf("/none"), -1);
    EXPECT_EQ(list.GetItem(3), nullptr);
}

TEST(FileList, RefreshReadsPresentFilesAndResetsMissingOnes)
{
    storetest::TempFolder dir;
    storetest::WriteFile(dir / "five", "12345");
    TFileItemList list;
    TFileItem* present = list.AddFile(dir / "five", "", true);
    list.AddFile(dir / "none", "", true);
    EXPECT_EQ(present->Size, 5);
    EXPECT_GT(present->LastWriteTime, 40000.0);  // after 2009
    EXPECT_EQ(list.TotalSize(), 4);              // 5 and -1
    std::filesystem::remove(dir / "five");
    EXPECT_FALSE(present->Refresh());
    EXPECT_EQ(present->Size + present->Attributes + present->LastWriteTime, -1);
    EXPECT_DOUBLE_EQ(FileTimeToDateTime({86400 + 43200, 0}), 25570.5);
    EXPECT_EQ(FileTimeToDateTime({-25569LL * 86400 - 1, 0}), 0.0);
}

}  // namespace
