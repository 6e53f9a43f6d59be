// The read window over a disk image: where it lands around a record.

#include "disk/StreamCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "support/NamedRows.h"

namespace {

// An in-memory image whose every record holds its own number (low byte), so
// loads can be checked.
class MemoryStream : public TDiskStream {
public:
    explicit MemoryStream(int records) : data(static_cast<size_t>(records * 128)) {
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / 128);
    }
    int64_t Size() const override { return static_cast<int64_t>(data.size()); }
    int64_t Seek(int64_t offset) override { return pos = offset; }
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, Size() - pos));
        std::memcpy(buffer, data.data() + pos, static_cast<size_t>(n));
        pos += n;
        return n;
    }
    int64_t Write(const void*, int64_t) override { return -1; }

    std::vector<uint8_t> data;
    int64_t pos = 0;
};

// A sequence of record requests and the window each one leaves.
struct WindowStep {
    int32_t index;
    bool ok;
    int32_t first;
    int32_t count;
};

struct WindowCase {
    const char* name;
    int32_t records;
    int32_t window;
    std::vector<WindowStep> steps;
};

TAVRIN_PRINT_AS_NAME(WindowCase)
class StreamCacheWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(StreamCacheWindow, LoadsAroundTheRecord) {
    const WindowCase& c = GetParam();
    MemoryStream stream(c.records);
    TStreamCache cache(&stream, 0, c.records, 128, c.window);
    EXPECT_EQ(cache.FirstCached(), -1);
    for (const WindowStep& s : c.steps) {
        EXPECT_EQ(cache.LoadWindow(s.index), s.ok) << "record " << s.index;
        EXPECT_EQ(cache.FirstCached(), s.first) << "record " << s.index;
        EXPECT_EQ(cache.CachedCount(), s.count) << "record " << s.index;
        if (s.ok) {
            const uint8_t* rec = cache.GetCachedRecord(s.index);
            ASSERT_NE(rec, nullptr);
            EXPECT_EQ(rec[0], static_cast<uint8_t>(s.index));
            EXPECT_EQ(rec[127], static_cast<uint8_t>(s.index));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, StreamCacheWindow,
    ::testing::Values(
        WindowCase{"FullImageWorkedFigures", 8192, 64, {{100, true, 84, 64}, {80, true, 32, 64}, {8190, true, 8128, 64}}},
        WindowCase{"StartClampsAtZero", 8192, 64, {{10, true, 0, 64}, {0, true, 0, 64}}},
        WindowCase{"BackwardsFromEnd", 8192, 64, {{8191, true, 8128, 64}, {8000, true, 7952, 64}}},
        WindowCase{"ForwardAfterBackward", 8192, 64, {{500, true, 484, 64}, {400, true, 352, 64}, {401, true, 385, 64}}},
        WindowCase{"ShortStreamWhole", 7, 64, {{3, true, 0, 7}, {6, true, 0, 7}}},
        WindowCase{"OutOfRangeKeepsWindow", 7, 64, {{3, true, 0, 7}, {7, false, 0, 7}, {-1, false, 0, 7}}},
        WindowCase{"EmptyStream", 0, 64, {{0, false, -1, 0}}},
        WindowCase{"OddWindow", 100, 5, {{50, true, 49, 5}, {40, true, 37, 5}, {97, true, 95, 5}, {99, true, 95, 5}}},
        WindowCase{"WindowOfOne", 10, 1, {{4, true, 4, 1}, {2, true, 2, 1}}}),
    tavrin::test::RowName);

}  // namespace
