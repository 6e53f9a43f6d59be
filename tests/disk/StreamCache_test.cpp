#include "disk/StreamCache.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <stdexcept>
#include <vector>
#include "support/NamedRows.h"

namespace {

// In-memory stream that counts accesses and can be told to misbehave.
class MemoryStream : public TDiskStream {
public:
    explicit MemoryStream(int records, int recordSize = 128) : data(static_cast<size_t>(records * recordSize)) {
        // Each record's bytes hold its own number (low byte) so loads can be checked.
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i / recordSize);
    }
    int64_t Size() const override { return static_cast<int64_t>(data.size()); }
    int64_t Seek(int64_t offset) override {
        ++seeks;
        if (seekSkew != 0) return offset + seekSkew;
        pos = offset;
        return pos;
    }
    int64_t Read(void* buffer, int64_t count) override {
        ++reads;
        if (throwOnRead) throw std::runtime_error("read");
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, Size() - pos));
        std::memcpy(buffer, data.data() + pos, static_cast<size_t>(n));
        pos += n;
        return n;
    }
    int64_t Write(const void* buffer, int64_t count) override {
        ++writes;
        if (throwOnWrite) throw std::runtime_error("write");
        if (shortWrite) count /= 2;
        if (pos + count > Size()) data.resize(static_cast<size_t>(pos + count));
        std::memcpy(data.data() + pos, buffer, static_cast<size_t>(count));
        pos += count;
        return count;
    }

    std::vector<uint8_t> data;
    int64_t pos = 0;
    int seeks = 0, reads = 0, writes = 0;
    int64_t seekSkew = 0;
    bool throwOnRead = false, throwOnWrite = false, shortWrite = false;
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
        WindowCase{"OddWindow", 100, 5, {{50, true, 49, 5}, {40, true, 37, 5}, {99, true, 95, 5}}},
        WindowCase{"WindowOfOne", 10, 1, {{4, true, 4, 1}, {2, true, 2, 1}}}),
    tavrin::test::RowName);

TEST(StreamCache, FailedLoadEmptiesTheWindow) {
    MemoryStream stream(100);
    TStreamCache cache(&stream, 0, 100, 128, 8);
    ASSERT_TRUE(cache.LoadWindow(50));

    stream.throwOnRead = true;
    EXPECT_FALSE(cache.LoadWindow(10));
    EXPECT_EQ(cache.FirstCached(), -1);
    EXPECT_EQ(cache.CachedCount(), 0);
    EXPECT_EQ(cache.GetRecord(50), nullptr);

    stream.throwOnRead = false;
    stream.seekSkew = 1;
    EXPECT_EQ(cache.GetRecord(50), nullptr);
    EXPECT_EQ(cache.FirstCached(), -1);

    // The stream ends before the records it claims: a short read fails.
    stream.seekSkew = 0;
    stream.data.resize(30 * 128);
    EXPECT_EQ(cache.GetRecord(50), nullptr);
    EXPECT_NE(cache.GetRecord(5), nullptr);
}

TEST(StreamCache, WritesGoStraightThroughAndNeverLoad) {
    MemoryStream stream(8192);
    TStreamCache cache(&stream, 0, 8192, 128, 64);
    ASSERT_NE(cache.GetRecord(100), nullptr);  // window 84-147
    const int readsBefore = stream.reads;

    // Inside the window: the file and the cached copy both change.
    std::vector<uint8_t> rec(128, 0xAB);
    EXPECT_EQ(cache.WriteRecord(120, rec.data()), TStreamCache::WriteOk);
    EXPECT_EQ(stream.data[120 * 128 + 7], 0xAB);
    const uint8_t* cached = cache.GetRecord(120);
    ASSERT_NE(cached, nullptr);
    EXPECT_EQ(cached[0], 0xAB);
    EXPECT_EQ(cached[127], 0xAB);

    // Outside it: only the file changes, the window stays where it was.
    rec.assign(128, 0xCD);
    EXPECT_EQ(cache.WriteRecord(5000, rec.data()), TStreamCache::WriteOk);
    EXPECT_EQ(stream.data[5000 * 128], 0xCD);
    EXPECT_EQ(cache.FirstCached(), 84);
    EXPECT_EQ(cache.CachedCount(), 64);
    EXPECT_EQ(cache.GetRecord(100)[0], 100);
    EXPECT_EQ(stream.reads, readsBefore);
}

}  // namespace
