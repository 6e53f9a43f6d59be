#include "machine/ByteFIFO.h"

#include <gtest/gtest.h>

#include <ostream>

#include <deque>

namespace {

struct SizeCase {
    uint16_t requested;
    uint16_t capacity;
    int32_t allocated;
};
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.requested; }

class ByteFifoSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ByteFifoSize, HoldsExactlyItsCapacity) {
    const SizeCase c = GetParam();
    TByteFIFO fifo(c.requested);
    EXPECT_EQ(fifo.Capacity(), c.capacity);
    EXPECT_EQ(fifo.AllocatedSize(), c.allocated);

    for (unsigned i = 0; i < c.capacity; ++i) ASSERT_TRUE(fifo.PutByte(static_cast<uint8_t>(i))) << i;
    EXPECT_FALSE(fifo.PutByte(0xAA));
    EXPECT_EQ(fifo.Count(), c.capacity);

    // One get makes room for exactly one put.
    uint8_t b = 0xFF;
    ASSERT_TRUE(fifo.GetByte(b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(fifo.PutByte(0xAA));
    EXPECT_FALSE(fifo.PutByte(0xBB));
    for (unsigned i = 1; i < c.capacity; ++i) {
        ASSERT_TRUE(fifo.GetByte(b));
        ASSERT_EQ(b, static_cast<uint8_t>(i));
    }
    ASSERT_TRUE(fifo.GetByte(b));
    EXPECT_EQ(b, 0xAA);
    EXPECT_EQ(fifo.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Capacities, ByteFifoSize,
                         ::testing::Values(SizeCase{0, 4, 32}, SizeCase{1, 4, 32}, SizeCase{3, 4, 32},
                                           SizeCase{16, 16, 32}, SizeCase{17, 17, 48},
                                           SizeCase{512, 512, 528}, SizeCase{16384, 16384, 16400},
                                           SizeCase{65535, 65535, 65552}));

TEST(ByteFifo, KeepsOrderAcrossTheWrapPoint) {
    for (uint16_t capacity : {4, 5, 32, 513}) {
        TByteFIFO fifo(capacity);
        std::deque<uint8_t> expected;
        uint8_t next = 1;
        // Uneven puts and gets walk the indexes round the ring several times.
        for (int round = 0; round < 3 * capacity; ++round) {
            for (int i = 0; i < round % 3 + 1; ++i, ++next)
                if (fifo.PutByte(next)) expected.push_back(next);
            for (int i = 0; i < round % 2 + 1 && !expected.empty(); ++i) {
                uint8_t b = 0;
                ASSERT_TRUE(fifo.GetByte(b));
                ASSERT_EQ(b, expected.front()) << "capacity " << capacity << " round " << round;
                expected.pop_front();
            }
            ASSERT_EQ(fifo.Count(), expected.size());
        }
    }
}

TEST(ByteFifo, EmptyQueueLeavesCallersByte) {
    TByteFIFO fifo(6);
    uint8_t b = 0x5A;
    EXPECT_FALSE(fifo.GetByte(b));
    EXPECT_EQ(b, 0x5A);

    for (uint8_t i = 0; i < 6; ++i) ASSERT_TRUE(fifo.PutByte(i));
    fifo.Clear();
    EXPECT_EQ(fifo.Count(), 0);
    EXPECT_FALSE(fifo.GetByte(b));
    EXPECT_EQ(b, 0x5A);
    // Full capacity again after clearing, oldest first.
    for (uint8_t i = 10; i < 16; ++i) ASSERT_TRUE(fifo.PutByte(i));
    EXPECT_FALSE(fifo.PutByte(0));
    ASSERT_TRUE(fifo.GetByte(b));
    EXPECT_EQ(b, 10);
}

}  // namespace
