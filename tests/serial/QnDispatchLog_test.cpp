// The dispatch log: whole-entry ring, dump files byte for byte against the
// golden files, failures, and recording from several threads while dumping.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "serial/QnDispatchLog.h"
#include "support/SerialTestFiles.h"

namespace {

using namespace tavrin::test;

const TLogHeaderInfo kFixedHeader{"TestCC 1.0", "Linux 6.1.0-test", "06/12/26, 01:02:03"};

struct Row {
    uint32_t time;
    uint8_t kind;
    uint8_t subKind;
    uint32_t data;
    std::string bytes;
};

class LogWithClock : public ::testing::Test {
protected:
    void SetUp() override {
        log.SetStartTime(1000);
        log.SetClock([this] { return now; });
        log.SetDeviceName("COM3");
    }
    bool Add(const Row& row) {
        now = 1000 + row.time;
        return log.AddDispatchEntry(row.kind, row.subKind, row.data,
                                    reinterpret_cast<const uint8_t*>(row.bytes.data()),
                                    static_cast<uint32_t>(row.bytes.size()));
    }
    int32_t Dump(const std::string& file, bool allHex) {
        return log.DumpToFile(file, false, true, allHex, kFixedHeader);
    }

    uint64_t now = 0;
    TQnDispatchLog log;
    TempFolder folder;
};

// All-hex dumps still show user entries (kind 19) as characters.
TEST_F(LogWithClock, DumpsMatchTheGoldenFiles) {
    const struct {
        const char* golden;
        bool allHex;
        std::vector<Row> rows;
    } cases[] = {
        {"rows.LOG", false, {{1234, 1, 1, 5, "AB\r\n "}, {2000, 2, 5, 3, ""}, {12345678, 10, 0, 1, ""},
                             {2001, 2, 4, 0x11, "0"}, {2002, 5, 15, 0xABCD, "\x03"},
                             {2003, 1, 2, 60, std::string(60, 'x')}, {2004, 10, 0, 99, ""}}},
        {"allhex.LOG", true, {{0, 1, 1, 2, "A\x01"}, {7, 19, 0, 0, "hi"}}}};
    for (const auto& c : cases) {
        log.InitDispatchLog(4096);
        for (const Row& row : c.rows) ASSERT_TRUE(Add(row));
        ASSERT_EQ(Dump(folder.File(c.golden), c.allHex), 0);
        EXPECT_EQ(ReadFileBytes(folder.File(c.golden)), GoldenFile(c.golden));
        EXPECT_FALSE(log.Logging());
        EXPECT_TRUE(log.Entries().empty());  // the dump ends the log
    }
}

TEST_F(LogWithClock, FullRingDropsWholeOldestEntries) {
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
        // What is held is exactly the newest entries, each whole.
        const std::vector<TLogEntry> newest(added.end() - static_cast<long>(held.size()), added.end());
        EXPECT_EQ(held, newest) << "after entry " << i;
        // Nothing older would have fitted beside them.
        if (held.size() < added.size()) {
            const TLogEntry& dropped = added[added.size() - held.size() - 1];
            EXPECT_GT(used + LogHeaderSize + dropped.Bytes.size(), 100u);
        }
    }
}

TEST_F(LogWithClock, EntryLargerThanTheRingIsNotRecorded) {
    log.InitDispatchLog(64);
    ASSERT_TRUE(Add({1, 1, 1, 1, "keep"}));
    EXPECT_FALSE(Add({2, 1, 2, 49, std::string(49, 'z')}));
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_TRUE(Add({3, 1, 2, 48, std::string(48, 'y')}));  // exactly the ring
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].Bytes.size(), 48u);
}

TEST_F(LogWithClock, PausedOrAbsentLogRecordsNothing) {
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

TEST_F(LogWithClock, EmptyLogWritesNoFileAndAFailedDumpKeepsTheLogPaused) {
    log.InitDispatchLog(256);
    EXPECT_EQ(Dump(folder.File("QUON.LOG"), false), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.File("QUON.LOG")));
    log.InitDispatchLog(256);
    Add({5, 2, 6, 7, ""});
    EXPECT_EQ(Dump(folder.File("missing/QUON.LOG"), false), -ENOENT);
    EXPECT_FALSE(log.Logging());
    EXPECT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(Dump(folder.File("QUON.LOG"), false), 0);
    EXPECT_TRUE(log.Entries().empty());
}

TEST(DispatchLogHeader, NamesTheHost) {
    const TLogHeaderInfo host = TLogHeaderInfo::FromHost();
    EXPECT_EQ(host.OperatingSystem.rfind("Linux ", 0), 0u);
    EXPECT_GT(host.OperatingSystem.size(), 6u);
    EXPECT_FALSE(host.Compiler.empty());
    EXPECT_EQ(host.DateTime.size(), std::string("dd/mm/yy, hh:mm:ss").size());
}

// Several threads log entries while the owner dumps and restarts the log:
// every row of every dump is whole.
TEST(DispatchLogThreads, ConcurrentEntriesWhileDumping) {
    TempFolder folder;
    TQnDispatchLog log;
    log.InitDispatchLog(2048);
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (uint8_t kind = 1; kind <= 4; ++kind) {
        writers.emplace_back([&log, &stop, kind] {
            const std::string bytes(kind * 5, static_cast<char>('a' + kind));
            while (!stop.load())
                log.AddDispatchEntry(kind, 1, kind, reinterpret_cast<const uint8_t*>(bytes.data()),
                                     static_cast<uint32_t>(bytes.size()));
        });
    }
    for (int round = 0; round < 20; ++round) {
        for (const TLogEntry& entry : log.Entries()) {
            EXPECT_EQ(entry.Bytes.size(), entry.Kind * 5u);
            EXPECT_EQ(entry.Data, entry.Kind);
        }
        ASSERT_EQ(log.DumpDispatchLog(folder.File("round.LOG"), true, false), 0);
        log.InitDispatchLog(2048);
    }
    stop = true;
    for (std::thread& writer : writers) writer.join();
}

}  // namespace
