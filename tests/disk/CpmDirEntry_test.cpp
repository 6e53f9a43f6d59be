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

}  // namespace
