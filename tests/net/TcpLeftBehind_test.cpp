// What closed COM1 clients leave behind: handed on in the order it came,
// across the ring's end, and refused past the bound, the newest bytes first.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <vector>

#include "net/TcpLeftBehind.h"

namespace {

constexpr size_t Capacity = TTcpLeftBehind::Capacity;

// Hands on up to count of the oldest bytes, as the server does: what lies
// together, again and again.
std::vector<uint8_t> HandOn(TTcpLeftBehind& left, size_t count) {
    std::vector<uint8_t> out;
    while (out.size() < count && left.Size() > 0) {
        const auto oldest = left.Oldest();
        const size_t take = std::min(oldest.size(), count - out.size());
        out.insert(out.end(), oldest.begin(), oldest.begin() + static_cast<std::ptrdiff_t>(take));
        left.Consume(take);
    }
    return out;
}

std::vector<uint8_t> Bytes(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return bytes;
}

// Closed clients leave blocks and the Z80 reads between them, so the kept
// bytes wrap around the ring's end; what comes out is what went in, in
// order, less what did not fit when it came.
TEST(TcpLeftBehind, HandsOnInOrderAndRefusesTheNewestPastTheBound) {
    const struct {
        const char* Name;
        std::vector<std::pair<size_t, size_t>> Steps;  // bytes left, then bytes handed on
    } cases[] = {
        {"small blocks", {{100, 40}, {10, 0}, {0, 70}}},
        {"up to the bound exactly", {{Capacity, 0}, {1, Capacity}}},
        {"past the bound", {{Capacity - 10, 5}, {20, 0}, {7, Capacity}}},
        {"around the ring's end", {{Capacity - 100, Capacity - 200}, {300, 50}, {Capacity, 1000}, {500, Capacity}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        TTcpLeftBehind left;
        std::deque<uint8_t> expected;
        uint8_t seed = 0;
        for (const auto& [leaving, read] : row.Steps) {
            const std::vector<uint8_t> block = Bytes(leaving, seed++);
            const size_t room = Capacity - expected.size();
            EXPECT_EQ(left.Append(block.data(), block.size()), std::min(leaving, room));
            expected.insert(expected.end(), block.begin(),
                            block.begin() + static_cast<std::ptrdiff_t>(std::min(leaving, room)));
            const std::vector<uint8_t> out = HandOn(left, read);
            const size_t count = std::min(read, expected.size());
            ASSERT_TRUE(std::equal(out.begin(), out.end(), expected.begin(), expected.begin() + count) &&
                        out.size() == count);
            expected.erase(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(count));
            EXPECT_EQ(left.Size(), expected.size());
        }
    }
}

}  // namespace
