// The byte trace and the dispatch log: their rings, dump files byte for byte
// against the golden files, failures, and recording from several threads
// while dumping.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "serial/QnDispatchLog.h"
#include "serial/QnTrace.h"
#include "support/TempFolder.h"

namespace {

using tavrin::test::ReadFile;

std::string GoldenFile(const std::string& name) {
    return ReadFile(std::string(TAVRIN_SOURCE_DIR) + "/tests/serial/golden/" + name);
}

void WhileFourWritersRecord(const std::function<void(int)>& record, const std::function<void()>& round) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int writer = 1; writer <= 4; ++writer)
        writers.emplace_back([&, writer] {
            while (!stop.load()) record(writer);
        });
    for (int i = 0; i < 20; ++i) round();
    stop = true;
    for (std::thread& writer : writers) writer.join();
}

class Trace : public ::testing::Test {
protected:
    void Add(char kind, const std::string& bytes) {
        trace.AddTraceBlock(kind, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    tavrin::test::TTempFolder folder;
    const std::string file = folder.File("QUON.TRC");
    TQnTrace trace;
};

struct GoldenCase {
    const char* name;
    std::vector<std::pair<char, std::string>> blocks;
    bool inHex;
    bool allHex;
};

class TraceGolden : public Trace, public ::testing::WithParamInterface<GoldenCase> {};

TEST_P(TraceGolden, DumpMatchesByteForByte) {
    ASSERT_EQ(trace.InitTracing(1000), 0);
    for (const auto& [kind, bytes] : GetParam().blocks) Add(kind, bytes);
    ASSERT_EQ(trace.DumpTrace(file, GetParam().inHex, GetParam().allHex), 0);
    EXPECT_EQ(ReadFile(file), GoldenFile(std::string(GetParam().name) + ".TRC"));
    EXPECT_FALSE(trace.Tracing());
    EXPECT_TRUE(trace.Entries().empty());  // the dump ends the trace
}

INSTANTIATE_TEST_SUITE_P(
    Formats, TraceGolden,
    ::testing::Values(GoldenCase{"inhex", {{'T', "AT\r"}, {'R', "OK\r\n"}, {'T', " x"}}, true, false},
                      GoldenCase{"decimal", {{'T', "A B\r"}, {'R', "\xC8"}, {'X', "\x07"}}, false, false},
                      GoldenCase{"wrap", {{'T', std::string(100, 'a')}}, true, false},
                      GoldenCase{"allhex", {{'R', std::string(25, '\xFF')}}, false, true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Trace, RingKeepsTheNewestEntriesInArrivalOrder) {
    trace.InitTracing(3);
    Add('T', "12345");
    EXPECT_EQ(trace.Entries(), (std::vector<TTraceEntry>{{'T', '3'}, {'T', '4'}, {'T', '5'}}));
    ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
    EXPECT_EQ(ReadFile(file), "Transmit: \r\n345");
}

TEST_F(Trace, PausedAbsentOrRefusedTraceRecordsNothing) {
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

TEST_F(Trace, EmptyTraceWritesNoFileAndAFailedDumpKeepsTheTraceForAnotherTry) {
    EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
    trace.InitTracing(10);
    EXPECT_EQ(trace.DumpTrace(file, true, false), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(trace.Tracing());
    trace.InitTracing(10);
    Add('R', "ok");
    EXPECT_EQ(trace.DumpTrace(folder.File("missing/QUON.TRC"), true, false), -ENOENT);
    EXPECT_FALSE(trace.Tracing());
    EXPECT_EQ(trace.Entries().size(), 2u);
    ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
    EXPECT_EQ(ReadFile(file), "Receive: \r\nok");
}

TEST_F(Trace, AppendKeepsTheOldContentAndDumpReplacesIt) {
    for (bool append : {false, true}) {
        trace.InitTracing(10);
        Add('T', "ab");
        ASSERT_EQ(append ? trace.AppendTrace(file, true, false) : trace.DumpTrace(file, true, false), 0);
    }
    EXPECT_EQ(ReadFile(file), "Transmit: \r\nabTransmit: \r\nab");
    trace.InitTracing(10);
    Add('R', "c");
    ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
    EXPECT_EQ(ReadFile(file), "Receive: \r\nc");
}

// Every dump taken while writers add whole blocks is well formed, and each
// block holds one kind.
TEST_F(Trace, ConcurrentBlocksWhileDumping) {
    trace.InitTracing(4096);
    const std::string kinds = "?TRAB";
    WhileFourWritersRecord([&](int writer) { Add(kinds[writer], std::string(7, kinds[writer])); },
                           [&] {
                               ASSERT_EQ(trace.DumpTrace(file, true, false), 0);
                               const std::string text = ReadFile(file);
                               for (std::size_t at = text.find(": \r\n"); at != std::string::npos;
                                    at = text.find(": \r\n", at + 1)) {
                                   const char kind = text[at + 4];
                                   const std::size_t end = text.find("\r\n\r\n", at + 4);
                                   const std::string bytes =
                                       text.substr(at + 4, end == std::string::npos ? std::string::npos : end - at - 4);
                                   EXPECT_EQ(bytes.find_first_not_of(std::string(1, kind) + "\r\n"), std::string::npos);
                               }
                               trace.InitTracing(4096);
                           });
}

const TLogHeaderInfo kFixedHeader{"TestCC 1.0", "Linux 6.1.0-test", "06/12/26, 01:02:03"};

struct Row {
    uint32_t time;
    uint8_t kind;
    uint8_t subKind;
    uint32_t data;
    std::string bytes;
};

class DispatchLog : public ::testing::Test {
protected:
    void SetUp() override {
        log.SetStartTime(1000);
        log.SetClock([this] { return now.load(); });
        log.SetDeviceName("COM3");
    }
    bool Add(const Row& row) {
        now = 1000 + row.time;
        return log.AddDispatchEntry(row.kind, row.subKind, row.data, reinterpret_cast<const uint8_t*>(row.bytes.data()),
                                    static_cast<uint32_t>(row.bytes.size()));
    }
    int32_t Dump(const std::string& file, bool allHex = false) {
        return log.DumpToFile(file, false, true, allHex, kFixedHeader);
    }

    std::atomic<uint64_t> now = 0;
    TQnDispatchLog log;
    tavrin::test::TTempFolder folder;
};

// All-hex dumps still show user entries (kind 19) as characters.
TEST_F(DispatchLog, DumpsMatchTheGoldenFiles) {
    const struct {
        const char* golden;
        bool allHex;
        std::vector<Row> rows;
    } cases[] = {{"rows.LOG",
                  false,
                  {{1234, 1, 1, 5, "AB\r\n "},
                   {2000, 2, 5, 3, ""},
                   {12345678, 10, 0, 1, ""},
                   {2001, 2, 4, 0x11, "0"},
                   {2002, 5, 15, 0xABCD, "\x03"},
                   {2003, 1, 2, 60, std::string(60, 'x')},
                   {2004, 10, 0, 99, ""}}},
                 {"allhex.LOG", true, {{0, 1, 1, 2, "A\x01"}, {7, 19, 0, 0, "hi"}}}};
    for (const auto& c : cases) {
        log.InitDispatchLog(4096);
        for (const Row& row : c.rows) ASSERT_TRUE(Add(row));
        ASSERT_EQ(Dump(folder.File(c.golden), c.allHex), 0);
        EXPECT_EQ(ReadFile(folder.File(c.golden)), GoldenFile(c.golden));
        EXPECT_FALSE(log.Logging());
        EXPECT_TRUE(log.Entries().empty());  // the dump ends the log
    }
}

// What is held is exactly the newest entries, each whole, and nothing older
// would have fitted beside them.
TEST_F(DispatchLog, FullRingDropsWholeOldestEntries) {
    log.InitDispatchLog(100);
    std::vector<TLogEntry> added;
    for (uint32_t i = 0; i < 20; ++i) {
        const std::string bytes(i % 7, static_cast<char>('a' + i));  // 16 to 22 bytes an entry
        ASSERT_TRUE(Add({i, 1, 1, i, bytes}));
        added.push_back({1, 1, i, i, std::vector<uint8_t>(bytes.begin(), bytes.end())});
        const std::vector<TLogEntry> held = log.Entries();
        std::size_t used = 0;
        for (const TLogEntry& entry : held) used += LogHeaderSize + entry.Bytes.size();
        EXPECT_LE(used, 100u);
        EXPECT_EQ(held, std::vector<TLogEntry>(added.end() - static_cast<long>(held.size()), added.end())) << i;
        if (held.size() < added.size()) {
            EXPECT_GT(used + LogHeaderSize + added[added.size() - held.size() - 1].Bytes.size(), 100u) << i;
        }
    }
}

TEST_F(DispatchLog, EntryLargerThanTheRingIsNotRecorded) {
    log.InitDispatchLog(64);
    ASSERT_TRUE(Add({1, 1, 1, 1, "keep"}));
    EXPECT_FALSE(Add({2, 1, 2, 49, std::string(49, 'z')}));
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_TRUE(Add({3, 1, 2, 48, std::string(48, 'y')}));  // exactly the ring
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].Bytes.size(), 48u);
}

TEST_F(DispatchLog, PausedOrAbsentLogRecordsNothing) {
    EXPECT_FALSE(Add({0, 1, 1, 0, ""}));
    log.StartDispatchLog();
    EXPECT_FALSE(log.Logging());
    log.InitDispatchLog(256);
    log.StopDispatchLog();
    EXPECT_FALSE(Add({0, 1, 1, 0, ""}));
    log.StartDispatchLog();
    EXPECT_TRUE(Add({0, 1, 1, 0, ""}));
    log.ClearDispatchLog();
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(DispatchLog, EmptyLogWritesNoFileAndAFailedDumpKeepsTheLogPaused) {
    log.InitDispatchLog(256);
    EXPECT_EQ(Dump(folder.File("QUON.LOG")), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("QUON.LOG")));
    log.InitDispatchLog(256);
    Add({5, 2, 6, 7, ""});
    EXPECT_EQ(Dump(folder.File("missing/QUON.LOG")), -ENOENT);
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(Dump(folder.File("QUON.LOG")), 0);
    EXPECT_TRUE(log.Entries().empty());
}

TEST(DispatchLogHeader, NamesTheHost) {
    const TLogHeaderInfo host = TLogHeaderInfo::FromHost();
    EXPECT_EQ(host.OperatingSystem.rfind("Linux ", 0), 0u);
    EXPECT_GT(host.OperatingSystem.size(), 6u);
    EXPECT_FALSE(host.Compiler.empty());
    EXPECT_EQ(host.DateTime.size(), std::string("dd/mm/yy, hh:mm:ss").size());
}

// Every row of every dump taken while writers log is whole.
TEST_F(DispatchLog, ConcurrentEntriesWhileDumping) {
    log.InitDispatchLog(2048);
    const auto record = [&](int writer) {
        Add({0, static_cast<uint8_t>(writer), 1, static_cast<uint32_t>(writer), std::string(writer * 5, 'a')});
    };
    WhileFourWritersRecord(record, [&] {
        for (const TLogEntry& entry : log.Entries()) {
            EXPECT_EQ(entry.Bytes.size(), entry.Kind * 5u);
            EXPECT_EQ(entry.Data, entry.Kind);
        }
        ASSERT_EQ(log.DumpDispatchLog(folder.File("round.LOG"), true, false), 0);
        log.InitDispatchLog(2048);
    });
}

}  // namespace
