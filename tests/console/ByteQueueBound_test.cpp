// The terminal's byte queue stays within its bound.

#include <gtest/gtest.h>

#include <climits>

#include "console/QnByteQueue.h"

namespace {

constexpr int Max = TaaByteQueue::MaxCapacity;

struct TBoundCase {
    const char* Name;
    int Queued;     // bytes put first
    int Requested;  // then ReserveTail
    bool Refused;
    int Capacity;   // afterwards
};

class ByteQueueBoundTest : public ::testing::TestWithParam<TBoundCase> {};

TEST_P(ByteQueueBoundTest, ReserveTailWithinTheBound)
{
    const TBoundCase& c = GetParam();
    TaaByteQueue q;
    q.Put(std::vector<uint8_t>(static_cast<size_t>(c.Queued), 0x42).data(), c.Queued);
    if (c.Refused)
        EXPECT_THROW(q.ReserveTail(c.Requested), EaaQueueOverflow);
    else
        q.ReserveTail(c.Requested);
    EXPECT_EQ(q.Capacity(), c.Capacity);
    EXPECT_EQ(q.Count(), c.Queued);
}

INSTANTIATE_TEST_SUITE_P(Requests, ByteQueueBoundTest,
                         ::testing::Values(TBoundCase{"DoublesBelowTheBound", 100, 1000, false, 2048},
                                           TBoundCase{"StopsAtTheBound", 1, Max - 1, false, Max},
                                           TBoundCase{"OnePastTheBound", 10, Max - 9, true, 64},
                                           TBoundCase{"LargestInt", 0, INT_MAX, true, 64}),
                         [](const ::testing::TestParamInfo<TBoundCase>& info) { return std::string(info.param.Name); });

TEST(ByteQueueBound, FullQueueRefusesAPutAndKeepsItsBytes)
{
    TaaByteQueue q;
    q.ReserveTail(Max);
    q.AdvanceTail(Max);
    const uint8_t more = 1;
    EXPECT_THROW(q.Put(&more, 1), EaaQueueOverflow);
    EXPECT_EQ(q.Count(), Max);
    q.SetCapacity(INT_MAX);
    EXPECT_EQ(q.Capacity(), Max);
}

} // namespace
