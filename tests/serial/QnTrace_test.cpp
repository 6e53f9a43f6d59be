// The byte trace: ring wrap, dump files byte for byte, failures, and
// recording from several threads while dumping.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "serial/QnTrace.h"
#include "support/SerialTestFiles.h"

namespace {

using namespace tavrin::test;

void Add(TQnTrace& trace, char kind, const std::string& bytes) {
    trace.AddTraceBlock(kind, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

struct GoldenCase {
    const char* golden;
    std::vector<std::pair<char, std::string>> blocks;
    bool inHex;
    bool allHex;
};

class TraceGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(TraceGolden, DumpMatchesByteForByte) {
    TempFolder folder;
    TQnTrace trace;
    ASSERT_EQ(trace.InitTracing(1000), 0);
    for (const auto& [kind, bytes] : GetParam().blocks) Add(trace, kind, bytes);
    const std::string file = folder.File("QUON.TRC");
    ASSERT_EQ(trace.DumpTrace(file, GetParam().inHex, GetParam().allHex), 0);
    EXPECT_EQ(ReadFileBytes(file), GoldenFile(GetParam().golden));
    EXPECT_FALSE(trace.Tracing());
    EXPECT_TRUE(trace.Entries().empty());  // the dump ends the trace
}

INSTANTIATE_TEST_SUITE_P(Formats, TraceGolden, ::testing::Values(
    GoldenCase{"inhex.TRC", {{'T', "AT\r"}, {'R', "OK\r\n"}, {'T', " x"}}, true, false},
    GoldenCase{"decimal.TRC", {{'T', "A B\r"}, {'R', "\xC8"}, {'X', "\x07"}}, false, false},
    GoldenCase{"wrap.TRC", {{'T', std::string(100, 'a')}}, true, false},
    GoldenCase{"allhex.TRC", {{'R', std::string(25, '\xFF')}}, false, true}),
    [](const auto& info) { return std::string(info.param.golden).substr(0, std::string(info.param.golden).find('.')); });

TEST(Trace, RingKeepsTheNewestEntriesInArrivalOrder) {
    TempFolder folder;
    TQnTrace trace;
    trace.InitTracing(3);
    Add(trace, 'T', "12345");
    EXPECT_EQ(trace.Entries(), (std::vector<TTraceEntry>{{'T', '3'}, {'T', '4'}, {'T', '5'}}));
    ASSERT_EQ(trace.DumpTrace(folder.File("t.TRC"), true, false), 0);
    EXPECT_EQ(ReadFileBytes(folder.File("t.TRC")), "Transmit: \r\n345");
}

TEST(Trace, PausedAbsentOrRefusedTraceRecordsNothing) {
    TQnTrace trace;
    trace.StartTracing();  // no ring yet
    EXPECT_FALSE(trace.Tracing());
    trace.AddTraceEntry('T', 1);
    EXPECT_EQ(trace.InitTracing(MaxTraceEntries + 1), -1002);
    EXPECT_FALSE(trace.Tracing());
    ASSERT_EQ(trace.InitTracing(MaxTraceEntries), 0);
    trace.InitTracing(10);
    trace.StopTracing();
    trace.AddTraceEntry('T', 2);
    trace.StartTracing();
    trace.AddTraceEntry('R', 3);
    EXPECT_EQ(trace.Entries(), (std::vector<TTraceEntry>{{'R', 3}}));
    trace.ClearTracing();
    EXPECT_TRUE(trace.Entries().empty());
}

TEST(Trace, EmptyTraceWritesNoFileAndAFailedDumpKeepsTheTraceForAnotherTry) {
    TempFolder folder;
    TQnTrace trace;
    EXPECT_EQ(trace.DumpTrace(folder.File("QUON.TRC"), true, false), 0);
    trace.InitTracing(10);
    EXPECT_EQ(trace.DumpTrace(folder.File("QUON.TRC"), true, false), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("QUON.TRC")));
    EXPECT_FALSE(trace.Tracing());
    trace.InitTracing(10);
    Add(trace, 'R', "ok");
    EXPECT_EQ(trace.DumpTrace(folder.File("missing/QUON.TRC"), true, false), -ENOENT);
    EXPECT_FALSE(trace.Tracing());
    EXPECT_EQ(trace.Entries().size(), 2u);
    ASSERT_EQ(trace.DumpTrace(folder.File("QUON.TRC"), true, false), 0);
    EXPECT_EQ(ReadFileBytes(folder.File("QUON.TRC")), "Receive: \r\nok");
}

TEST(Trace, AppendKeepsTheOldContentAndDumpReplacesIt) {
    TempFolder folder;
    const std::string file = folder.File("QUON.TRC");
    TQnTrace trace;
    for (bool append : {false, true}) {
        trace.InitTracing(10);
        Add(trace, 'T', "ab");
        ASSERT_EQ(append ? trace.AppendTrace(file, true, false) : trace.DumpTrace(file, true, false), 0);
    }
    EXPECT_EQ(ReadFileBytes(file), "Transmit: \r\nabTransmit: \r\nab");
    trace.InitTracing(10);
    Add(trace, 'R', "c");
    ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
    EXPECT_EQ(ReadFileBytes(file), "Receive: \r\nc");
}

// Writers in several threads add whole blocks while the owner dumps and
// restarts the trace; every dump is well formed and each block is one kind.
TEST(Trace, ConcurrentBlocksWhileDumping) {
    TempFolder folder;
    TQnTrace trace;
    trace.InitTracing(4096);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (char kind : {'T', 'R', 'A', 'B'}) {
        writers.emplace_back([&trace, &stop, kind] {
            const std::string block(7, kind);
            while (!stop.load()) Add(trace, kind, block);
        });
    }
    for (int round = 0; round < 20; ++round) {
        const std::string file = folder.File("round.TRC");
        ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
        const std::string text = ReadFileBytes(file);
        for (std::size_t at = text.find(": \r\n"); at != std::string::npos; at = text.find(": \r\n", at + 1)) {
            const char kind = text[at + 4];
            const std::size_t end = text.find("\r\n\r\n", at + 4);
            const std::string bytes = text.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
            EXPECT_EQ(bytes.find_first_not_of(std::string(1, kind) + "\r\n"), std::string::npos);
        }
        trace.InitTracing(4096);
    }
    stop = true;
    for (std::thread& writer : writers) writer.join();
}

}  // namespace
