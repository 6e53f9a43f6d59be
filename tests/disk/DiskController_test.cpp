// The disk layer's devices and streams: the controller through its ports,
// multi-record writes, the read window and the Intel HEX-32 writer.

#include "disk/DiskController.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "CpmTestSupport.h"
#include "disk/DiskDrive.h"
#include "disk/HexStream.h"
#include "disk/StreamCache.h"
#include "support/NamedRows.h"
#include "support/WriteProtectedFile.h"

using namespace tavrin::test;

namespace {

// A controller wired to a 64 KB memory that records every event.
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ctl.OnDmaToMemory = [this](TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
            log.push_back("to:" + std::to_string(address) + ":" + std::to_string(count));
            for (int i = 0; i < count; ++i) memory[(address + i) & 0xFFFF] = buffer[i];
        };
        ctl.OnDmaFromMemory = [this](TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
            log.push_back("from:" + std::to_string(address) + ":" + std::to_string(count));
            for (int i = 0; i < count; ++i) buffer[i] = memory[(address + i) & 0xFFFF];
        };
        ctl.OnDiskRead = [this](TDiskController&, uint8_t drive) { log.push_back("read:" + std::to_string(drive)); };
        ctl.OnDiskWrite = [this](TDiskController&, uint8_t drive) { log.push_back("write:" + std::to_string(drive)); };
        ctl.OnReset = [this](TDiskController&) { log.push_back("reset"); };
    }
    void TearDown() override { ctl.UnmountAll(); }

    // Programs drive, track, sector and DMA address through the ports.
    void Select(uint8_t drive, uint16_t track, uint16_t sector, uint16_t dma) {
        const uint16_t values[] = {
            drive, sector, uint16_t(sector >> 8), track, uint16_t(track >> 8), dma, uint16_t(dma >> 8)};
        for (int i = 0; i < 7; ++i) ctl.WritePort(uint8_t(0x71 + i), uint8_t(values[i]));
    }
    uint8_t Command(uint8_t command) {
        log.clear();
        ctl.WritePort(0x70, command);
        return ctl.ReadPort(0x70);
    }

    TTempFolder dir;
    TDiskController ctl;
    std::array<uint8_t, 65536> memory{};
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

// One command on a prepared controller: the status, registers and events it leaves.
struct CommandCase {
    const char* name;
    bool mounted;
    uint16_t track;
    uint16_t sector;
    uint8_t command;
    uint8_t status;
    Log events;
};

TAVRIN_PRINT_AS_NAME(CommandCase)
class ControllerCommand : public ControllerTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ControllerCommand, StatusAndEvents) {
    const CommandCase& c = GetParam();
    if (c.mounted) {
        TDiskDrive::FormatDiskImage(dir / "b.cpmdsk");
        ctl.MountDisk(dir / "b.cpmdsk", 1);
    }
    Select(1, c.track, c.sector, 0x1234);
    const auto image = c.mounted ? ReadFile(ctl.GetDriveFileName(1)) : std::string();
    // Only reset and a successful home change registers other than the status.
    auto registers = ctl.Registers;
    if (c.command == 0) registers.fill(0);
    if (c.command == 1 && c.status == 0) registers[2] = registers[3] = registers[4] = registers[5] = 0;
    registers[0] = c.status;
    EXPECT_EQ(Command(c.command), c.status);
    EXPECT_EQ(ctl.Registers, registers);
    EXPECT_EQ(ctl.IsDriveMounted(1), c.mounted);
    EXPECT_EQ(log, c.events);
    if (c.mounted && c.status != 0) {
        EXPECT_EQ(ReadFile(ctl.GetDriveFileName(1)), image) << "image changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ControllerCommand,
    ::testing::Values(CommandCase{"ReadOk", true, 2, 5, 2, 0, {"read:1", "to:4660:128"}},
                      CommandCase{"WriteOk", true, 2, 5, 3, 0, {"write:1", "from:4660:128"}},
                      CommandCase{"ReadBadSector", true, 0, 40, 2, 2, {"read:1"}},
                      CommandCase{"ReadBadTrack", true, 256, 0, 2, 2, {"read:1"}},
                      CommandCase{"WriteBadTrack", true, 300, 0, 3, 2, {"write:1", "from:4660:128"}},
                      CommandCase{"WriteBadSector", true, 0, 32, 3, 2, {"write:1", "from:4660:128"}},
                      CommandCase{"ReadEmpty", false, 0, 0, 2, 1, {}}, CommandCase{"WriteEmpty", false, 0, 0, 3, 1, {}},
                      CommandCase{"HomeEmpty", false, 3, 4, 1, 1, {}}, CommandCase{"HomeMounted", true, 3, 4, 1, 0, {}},
                      CommandCase{"Undefined4", true, 0, 0, 4, 9, {}}, CommandCase{"Undefined7", true, 0, 0, 7, 9, {}},
                      CommandCase{"Undefined255", false, 0, 0, 255, 9, {}},
                      CommandCase{"Reset", true, 9, 9, 0, 0, {"reset"}}),
    tavrin::test::RowName);

// An image that can be read but not written (on a read-only medium) is a
// write-protected disk: it mounts and reads, and every write gets status 8,
// also after the reset has opened it again.
TEST_F(ControllerTest, AnImageThatCannotBeWrittenIsAWriteProtectedDisk) {
    const std::string image = dir / "ro.cpmdsk";
    const std::vector<uint8_t> data = CpmFilePattern(ImageBytes, 3);
    WriteFileBytes(image, data);
    tavrin::test::TWriteProtectedFile protect(image);
    ASSERT_TRUE(protect.Holds());
    ctl.MountDisk(image, 1);
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "after the reset" : "as mounted");
        if (reset) {
            EXPECT_EQ(Command(0), 0);
        }
        Select(1, 7, 3, 0x2000);
        EXPECT_EQ(Command(2), 0);
        const auto sector = data.begin() + (7 * 32 + 3) * 128;
        EXPECT_TRUE(std::equal(sector, sector + 128, memory.begin() + 0x2000));
        EXPECT_EQ(Command(3), 8);
        EXPECT_TRUE(ctl.IsDriveMounted(1));
    }
    EXPECT_EQ(ReadFileBytes(image), data);
}

// Changes are refused up front only for an image that cannot be written;
// any other trouble is left to the change itself.
TEST(DiskDriveCheckWritable, RefusesOnlyAnImageThatCannotBeWritten) {
    TTempFolder dir;
    const std::string writable = dir / "rw.cpmdsk";
    const std::string readOnly = dir / "ro.cpmdsk";
    for (const std::string& image : {writable, readOnly}) MakeImage(image);
    tavrin::test::TWriteProtectedFile protect(readOnly);
    ASSERT_TRUE(protect.Holds());
    const std::pair<std::string, bool> rows[] = {{writable, false}, {readOnly, true}, {dir / "missing.cpmdsk", false}};
    for (const auto& [image, refused] : rows) {
        SCOPED_TRACE(image);
        std::string refusal;
        int code = 0;
        try {
            TDiskDrive::CheckWritable(image);
        } catch (const EDiskError& e) {
            refusal = e.what();
            code = e.Code;
        }
        EXPECT_EQ(refusal, refused ? "The disk image is read-only and can not be changed!" : "");
        EXPECT_EQ(code, refused ? EDiskError::WriteFailed : 0);
    }
}

// Records land in place and in the drive's read window; ranges past the
// image are refused before anything is written.
TEST(BlockWrite, RecordsLandInPlaceAndInTheWindowOrNotAtAll) {
    TTempFolder dir;
    const std::string image = dir.File("w.cpmdsk");
    MakeImage(image);
    TDiskDrive drive(image);
    std::array<uint8_t, 128> record{};
    drive.Track = 255;
    drive.Sector = 29;
    drive.ReadSector(record.data());  // the window holds the records written below
    const std::vector<uint8_t> data = CpmFilePattern(4 * 128, 9);
    for (int count : {4, -1}) EXPECT_THROW(drive.WriteSectors(data.data(), count), EDiskError);
    EXPECT_EQ(ReadFile(image), std::string(ImageBytes, '\xE5'));
    drive.WriteSectors(data.data(), 3);
    EXPECT_EQ(Peek(image, ImageBytes - 3 * 128, 3 * 128), std::vector<uint8_t>(data.begin(), data.end() - 128));
    drive.Sector = 31;
    drive.ReadSector(record.data());
    EXPECT_TRUE(std::equal(record.begin(), record.end(), data.begin() + 256));
}

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
    // Every record holds its own number (low byte), so loads can be checked.
    std::string image(static_cast<size_t>(c.records) * 128, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i / 128);
    TTempFolder dir;
    WriteFile(dir / "records", image);
    TDiskFileStream stream(::open((dir / "records").c_str(), O_RDONLY));
    TStreamCache cache(&stream, 0, c.records, 128, c.window);
    EXPECT_EQ(cache.FirstCached(), -1);
    for (const WindowStep& s : c.steps) {
        const bool ok = cache.LoadWindow(s.index);
        EXPECT_EQ(std::tuple(ok, cache.FirstCached(), cache.CachedCount()), std::tuple(s.ok, s.first, s.count))
            << "record " << s.index;
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
        WindowCase{
            "FullImageWorkedFigures", 8192, 64, {{100, true, 84, 64}, {80, true, 32, 64}, {8190, true, 8128, 64}}},
        WindowCase{"StartClampsAtZero", 8192, 64, {{10, true, 0, 64}, {0, true, 0, 64}}},
        WindowCase{"BackwardsFromEnd", 8192, 64, {{8191, true, 8128, 64}, {8000, true, 7952, 64}}},
        WindowCase{
            "ForwardAfterBackward", 8192, 64, {{500, true, 484, 64}, {400, true, 352, 64}, {401, true, 385, 64}}},
        WindowCase{"ShortStreamWhole", 7, 64, {{3, true, 0, 7}, {6, true, 0, 7}}},
        WindowCase{"OutOfRangeKeepsWindow", 7, 64, {{3, true, 0, 7}, {7, false, 0, 7}, {-1, false, 0, 7}}},
        WindowCase{"EmptyStream", 0, 64, {{0, false, -1, 0}}},
        WindowCase{"OddWindow", 100, 5, {{50, true, 49, 5}, {40, true, 37, 5}, {97, true, 95, 5}, {99, true, 95, 5}}},
        WindowCase{"WindowOfOne", 10, 1, {{4, true, 4, 1}, {2, true, 2, 1}}}),
    tavrin::test::RowName);

// Writes data in pieces of chunk bytes; the file is finished by Finish, or
// with finishByDestructor by the destructor alone.
std::string WriteHex(const std::string& path, uint32_t start, uint16_t recordLength, const std::vector<uint8_t>& data,
                     size_t chunk = 1000, bool finishByDestructor = false) {
    {
        TZilogHex32WriterStream out(path, start, recordLength);
        for (size_t at = 0; at < data.size(); at += chunk) {
            const auto n = static_cast<int32_t>(std::min(chunk, data.size() - at));
            EXPECT_EQ(out.Write(data.data() + at, n), n);
        }
        if (!finishByDestructor) out.Finish();
    }
    return ReadFile(path);
}

TEST(HexWriter, ExactFilesForSmallCases) {
    TTempFolder dir;
    std::vector<uint8_t> ramp(64);
    for (int i = 0; i < 64; ++i) ramp[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    std::string fff0 = TZilogHex32WriterStream::FormatDataRecord(0xFFF0, ramp.data(), 16);
    fff0 += ":020000040001F9\r\n";
    fff0 += TZilogHex32WriterStream::FormatDataRecord(0, ramp.data() + 16, 48);
    fff0 += ":00000001FF\r\n";
    // From 1FFF0h the very first record crosses a boundary: segment 1 must be
    // announced before its first half, not only segment 2 before the second.
    std::string high = ":020000040001F9\r\n";
    high += TZilogHex32WriterStream::FormatDataRecord(0xFFF0, ramp.data(), 16);
    high += ":020000040002F8\r\n";
    high += TZilogHex32WriterStream::FormatDataRecord(0, ramp.data() + 16, 48);
    high += ":00000001FF\r\n";

    const struct {
        std::string label;
        uint32_t start;
        uint16_t recordLength;
        std::vector<uint8_t> data;
        std::string want;
    } cases[] = {
        {"nothing, low", 0x0100, 64, {}, ":00000001FF\r\n"},
        {"nothing, high start writes no type 04", 0x10000, 64, {}, ":00000001FF\r\n"},
        {"three bytes", 0x0100, 64, {1, 2, 3}, ":03010000010203F6\r\n:00000001FF\r\n"},
        {"ten bytes at 100000h", 0x100000, 64, std::vector<uint8_t>(10, 0xAA),
         ":020000040010EA\r\n:0A000000AAAAAAAAAAAAAAAAAAAA52\r\n:00000001FF\r\n"},
        {"split at a segment boundary", 0xFFF0, 64, ramp, fff0},
        {"split at 20000h, the start's segment announced first", 0x1FFF0, 64, ramp, high},
        {"full record then a short one",
         0x0000,
         2,
         {0x10, 0x20, 0x30},
         ":020000001020CE\r\n:0100020030CD\r\n:00000001FF\r\n"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File("out.hex");
        for (size_t chunk : {size_t{1}, size_t{7}, size_t{1000}})
            EXPECT_EQ(WriteHex(path, c.start, c.recordLength, c.data, chunk, chunk == 7), c.want)
                << c.label << ", chunk " << chunk;
    }
}

}  // namespace
