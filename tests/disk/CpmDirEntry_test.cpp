// Directory entry routines, name shaping, the allocation map and the listing
// built from entries, without an image.

#include <stdexcept>

#include "CpmTestSupport.h"

using cpmtest::MakeEntry;

namespace {

struct NameCase {
    std::string name, ext;  // raw 8 + 3 bytes
    uint8_t highBits;       // OR-ed into every name byte
    std::string wantName, wantExt, wantFull;
};

TEST(CpmEntryNames, ReadBackWithoutHighBitsAndTrailingBlanks) {
    const NameCase cases[] = {
        {"README", "TXT", 0x00, "README", "TXT", "README.TXT"},
        {"README", "", 0x00, "README", "", "README"},
        {"README", "TXT", 0x80, "README", "TXT", "README.TXT"},
        {"A B", "C", 0x00, "A B", "C", "A B.C"},             // inner blank stays
        {"X\x01\x02", "\x03", 0x00, "X", "", "X"},           // trailing controls go
        {"", "", 0x00, "", "", ""},
        {"12345678", "123", 0x00, "12345678", "123", "12345678.123"},
    };
    for (const auto& c : cases) {
        TCpmDirEntry e = MakeEntry(0, c.name, c.ext, 0, 0, 0, {});
        for (int i = 1; i <= 11; ++i) e[i] |= c.highBits;
        EXPECT_EQ(CpmEntryGetName(e), c.wantName) << c.name;
        EXPECT_EQ(CpmEntryGetExt(e), c.wantExt) << c.name;
        EXPECT_EQ(CpmEntryGetFullName(e), c.wantFull) << c.name;
    }
}

TEST(CpmEntryAttributes, HighBitsOfTheTypeBytes) {
    struct Case {
        uint8_t b9, b10, b11, want;
    };
    const Case cases[] = {
        {0, 0, 0, 0}, {0x80, 0, 0, 1}, {0, 0x80, 0, 2}, {0, 0, 0x80, 4}, {0x80, 0x80, 0x80, 7},
    };
    for (const auto& c : cases) {
        TCpmDirEntry e = MakeEntry(0, "F", "TXT", 0, 0, 0, {});
        e[9] |= c.b9;
        e[10] |= c.b10;
        e[11] |= c.b11;
        EXPECT_EQ(CpmEntryGetAttributes(e), c.want);
    }
    for (uint8_t a = 0; a < 8; ++a) {
        TCpmDirEntry e = MakeEntry(0, "F", "TXT", 0, 0, 0, {});
        e[10] |= 0x80;  // changed by every call
        CpmEntrySetAttributes(e, a);
        EXPECT_EQ(CpmEntryGetAttributes(e), a);
        EXPECT_EQ(CpmEntryGetExt(e), "TXT") << "characters must survive";
        EXPECT_EQ(e[9] & 0x7F, 'T');
    }
}

TEST(CpmEntryNumbers, ExtentNumberAndBlockCount) {
    struct Case {
        uint8_t ex, s2;
        uint16_t want;
    };
    const Case cases[] = {{0, 0, 0}, {31, 0, 31}, {0, 1, 32}, {5, 2, 69}, {0xFF, 0xFF, 511}};
    for (const auto& c : cases)
        EXPECT_EQ(CpmEntryGetExtentNo(MakeEntry(0, "F", "", c.ex, c.s2, 0, {})), c.want);

    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {}), true), 0);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {5, 0, 7}), true), 2);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}), true), 8);
    // Block 256 is one word but two bytes of which one is zero.
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {256, 0x0101}), true), 2);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {256, 0x0101}), false), 3);
}

TEST(CpmEntryNames, SetNameShapesAndKeepsAttributesOnRequest) {
    struct Case {
        std::string in, wantBytes;
    };
    const Case cases[] = {
        {"letter.text", "LETTER  TEX"},
        {"readme", "README     "},
        {"verylongname.c", "VERYLONGC  "},
        {"B:stat.com", "STAT    COM"},
        {"dir/sub/pip.com", "PIP     COM"},
        {"c:\\cpm\\ed.com", "ED      COM"},
        {"$$$.sub", "$$$     SUB"},
        {"a-b_c.x!", "A-B_C   X! "},
        {"FOO.", "FOO        "},
    };
    for (const auto& c : cases) {
        TCpmDirEntry e{};
        e.fill(0xFF);
        CpmEntrySetName(c.in, e, false);
        EXPECT_EQ(std::string(e.begin() + 1, e.begin() + 12), c.wantBytes) << c.in;
        EXPECT_EQ(e[0], 0xFF) << "user byte untouched";
        EXPECT_EQ(e[12], 0xFF) << "EX untouched";
    }

    TCpmDirEntry e = MakeEntry(0, "OLD", "TXT", 0, 0, 0, {});
    e[1] |= 0x80;                         // a flag in a name byte
    CpmEntrySetAttributes(e, CpmAttrReadOnly | CpmAttrArchive);
    CpmEntrySetName("new.doc", e, true);
    EXPECT_EQ(CpmEntryGetFullName(e), "NEW.DOC");
    EXPECT_EQ(CpmEntryGetAttributes(e), CpmAttrReadOnly | CpmAttrArchive);
    EXPECT_EQ(e[1], 'N' | 0x80);
    CpmEntrySetName("new.doc", e, false);
    EXPECT_EQ(CpmEntryGetAttributes(e), 0);
    EXPECT_EQ(e[1], 'N');
}

TEST(CpmEntryNames, NamesThatCannotBeStoredAreRefused) {
    const std::string bad[] = {
        "", ".txt", "dir/", "a*b.txt", "a?.txt", "a b.txt", "a.b.txt", "a;b", "a=b", "a[1]",
        "a<b", "a,b", "a|b", "a(b)", "a%", "a.t*t", std::string("a\x01.txt"), "\xC4rger.txt",
        std::string("a\x7F"),
    };
    for (const auto& name : bad) {
        EXPECT_FALSE(CpmIsValidName(name)) << name;
        TCpmDirEntry e{};
        e.fill(0x11);
        try {
            CpmEntrySetName(name, e, false);
            ADD_FAILURE() << "accepted " << name;
        } catch (const std::runtime_error& err) {
            EXPECT_EQ(std::string(err.what()), "The name \"" + name + "\" is not a valid CPM file name!");
        }
        EXPECT_EQ(e[1], 0x11) << "a refused name writes nothing: " << name;
    }
    const std::string good[] = {"a", "readme.txt", "$$$.sub", "x-1.#!@", "verylongname.text", "A:B.C",
                                "name.", "~{}.^'&"};
    for (const auto& name : good) EXPECT_TRUE(CpmIsValidName(name)) << name;
}

TEST(CpmNameShaping, ShortNameFromHostName) {
    struct Case {
        std::string in, want;
    };
    const Case cases[] = {
        {"verylongname.text", "verylong.tex"},
        {"readme.markdown", "readme.mar"},
        {"README", "README"},
        {"averyveryverylongname", "averyver"},
        {"a.b.c", "a.b.c"},
        {"my.long.name.txt", "my.long..txt"},
        {"/tmp/some dir/file.txt", "file.txt"},
        {"C.", "C."},
    };
    for (const auto& c : cases) EXPECT_EQ(MakeCpmShortName(c.in), c.want) << c.in;
}

TEST(CpmNameShaping, NamesFromAnImageBecomeSafeHostNames) {
    struct Case {
        std::string in, want;
    };
    const Case cases[] = {
        {"README.TXT", "README.TXT"},
        {"..", "__"},
        {".", "_"},
        {"", "_"},
        {".TXT", "_TXT"},
        {"A/B.C", "A_B.C"},
        {"..\\X", "___X"},
        {std::string("A\x01" "B"), "A_B"},
        {"\xC1" "BC", "_BC"},
        {"A..B", "A..B"},
    };
    for (const auto& c : cases) {
        const std::string out = MakeHostSafeName(c.in);
        EXPECT_EQ(out, c.want) << c.in;
        EXPECT_EQ(out.find('/'), std::string::npos);
        EXPECT_NE(out, "..");
    }
}

TEST(CpmAllocation, BitsCountsAndFirstFit) {
    TCpmDiskAllocationList map(511);
    EXPECT_EQ(map.GetBlockCount(), 512);
    EXPECT_EQ(map.FreeCount, 512);
    EXPECT_EQ(map.ByteCount, 64);

    map.AllocateBlock(9);
    map.AllocateBlock(9);  // twice counts once
    map.AllocateBlock(512);  // past the map: ignored
    map.FreeBlock(10);  // not used: ignored
    EXPECT_EQ(map.FreeCount, 511);
    EXPECT_TRUE(map.TestBit(9));
    EXPECT_EQ(map.Bits[1], 0x02);

    for (uint16_t b = 0; b < 8; ++b) map.AllocateBlock(b);
    EXPECT_EQ(map.TakeFreeBlock(), 8) << "full first byte skipped, lowest free bit taken";
    EXPECT_EQ(map.TakeFreeBlock(), 10);
    EXPECT_EQ(map.FreeCount, 512 - 11);
    map.FreeBlock(3);
    EXPECT_EQ(map.TakeFreeBlock(), 3);

    TCpmDiskAllocationList copy;
    copy.Assign(map);
    EXPECT_EQ(copy.FreeCount, map.FreeCount);
    EXPECT_EQ(copy.MaxBlock, 511);
    EXPECT_TRUE(copy.TestBit(10));
    map.Clear();
    EXPECT_EQ(map.FreeCount, 512);
    EXPECT_FALSE(map.TestBit(10));
    EXPECT_TRUE(copy.TestBit(10));
}

TEST(CpmAllocation, ExhaustionNeverHandsOutBlocksPastTheMap) {
    // 508 blocks: the last byte holds only four real blocks.
    for (uint16_t maxBlock : {uint16_t{507}, uint16_t{8}, uint16_t{0}, uint16_t{15}}) {
        TCpmDiskAllocationList map(maxBlock);
        std::vector<uint16_t> taken;
        for (;;) {
            const uint16_t b = map.TakeFreeBlock();
            if (b == 0xFFFF) break;
            taken.push_back(b);
            ASSERT_LE(taken.size(), maxBlock + 1u);
        }
        ASSERT_EQ(taken.size(), maxBlock + 1u) << "max " << maxBlock;
        EXPECT_EQ(taken.back(), maxBlock);
        EXPECT_EQ(map.FreeCount, 0);
        EXPECT_EQ(map.TakeFreeBlock(), 0xFFFF);
        EXPECT_EQ(map.FreeCount, 0) << "a failed take marks nothing";
    }
}

TEST(CpmListing, KeysSortUsersAsTextAndIgnoreCase) {
    EXPECT_LT(CpmCompareKeys("1:X", "10:X"), 0);
    EXPECT_LT(CpmCompareKeys("10:X", "2:X"), 0);
    EXPECT_EQ(CpmCompareKeys("0:readme.txt", "0:README.TXT"), 0);
    EXPECT_LT(CpmCompareKeys("0:A", "0:B"), 0);
    EXPECT_LT(CpmCompareKeys("0:A", "0:A.B"), 0);
    EXPECT_LT(CpmCompareKeys("0:$X", "0:1X"), 0);
    EXPECT_LT(CpmCompareKeys("0:9X", "0:AX"), 0);
    EXPECT_GT(CpmCompareKeys("0:b", "0:A"), 0);
}

TEST(CpmExtents, SortedByExtentNumberTiesInDirectoryOrder) {
    TCpmDiskExtentList list;
    const struct {
        uint16_t dir;
        uint8_t ex, s2;
    } adds[] = {{0, 3, 0}, {1, 1, 0}, {2, 0, 1}, {3, 1, 0}, {4, 2, 0}};
    for (const auto& a : adds) list.AddExtent(a.dir, MakeEntry(0, "F", "", a.ex, a.s2, 7, {9}));
    ASSERT_EQ(list.Count(), 5);
    const uint16_t wantExtent[] = {1, 1, 2, 3, 32};
    const uint16_t wantDir[] = {1, 3, 4, 0, 2};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list.GetItem(i)->ExtentNo, wantExtent[i]);
        EXPECT_EQ(list.GetItem(i)->DirIndex, wantDir[i]);
        EXPECT_EQ(list.GetItem(i)->RecordCount, 7);
        EXPECT_EQ(list.GetItem(i)->Pointers[0], 9);
    }
    EXPECT_EQ(list.GetItem(5), nullptr);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
