#include "disk/DiskDrive.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>

#include "StoreTestSupport.h"

namespace fs = std::filesystem;
using storetest::ReadFile;
using storetest::TempFolder;
using storetest::WriteFile;

namespace {

const char* const kFormatFailed = "Unable to format the virtual drive, the drive could not be written to!";

// Record r holds r's high byte first, then r's low byte in its other bytes.
std::string NumberedImage(size_t bytes) {
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>(i % 128 == 0 ? (i / 128) >> 8 : i / 128);
    return data;
}

// The EDiskError code an action raises (0 for none), with its message.
int DiskErrorCode(const std::function<void()>& action, std::string* message = nullptr) {
    try {
        action();
    } catch (const EDiskError& e) {
        if (message) *message = e.what();
        return e.Code;
    }
    return 0;
}

TEST(DiskImage, FreshImageIsAllE5) {
    TempFolder dir;
    const std::string image = dir / "DiskA.cpmdsk";
    WriteFile(image, std::string(5000, '\0'));  // formatting replaces what was there
    TDiskDrive::FormatDiskImage(image);
    EXPECT_EQ(ReadFile(image), std::string(1048576, '\xE5'));
    EXPECT_EQ(dir.Count(), 1);

    TDiskDrive drive(image);
    std::array<uint8_t, 128> sector{};
    drive.ReadSector(sector.data());
    EXPECT_TRUE(std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0xE5; }));
    EXPECT_EQ(drive.Cache().RecordCount(), 8192);
}

TEST(DiskImage, OnlyRegularFilesOpen) {
    TempFolder dir;
    fs::create_directory(dir / "folder.cpmdsk");
    ASSERT_EQ(::mkfifo((dir / "pipe.cpmdsk").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", dir / "dangling.cpmdsk");
    for (const std::string& name : {dir / "missing.cpmdsk", dir / "folder.cpmdsk", dir / "pipe.cpmdsk",
                                    dir / "dangling.cpmdsk", std::string("/dev/null"), std::string()}) {
        std::string message;
        EXPECT_EQ(DiskErrorCode([&] { TDiskDrive drive(name); }, &message), 1) << name;
        EXPECT_EQ(message, "Selected disk is bad!") << name;
    }
}

struct PositionCase {
    uint16_t sector;
    uint16_t track;
    const char* message;  // empty when the position is valid
};
void PrintTo(const PositionCase& c, std::ostream* os) { *os << c.track << "/" << c.sector; }

class DiskPosition : public ::testing::TestWithParam<PositionCase> {};

TEST_P(DiskPosition, ChecksSectorThenTrack) {
    TempFolder dir;
    TDiskDrive::FormatDiskImage(dir / "pos.cpmdsk");
    TDiskDrive drive(dir / "pos.cpmdsk");
    drive.Sector = GetParam().sector;
    drive.Track = GetParam().track;
    const std::string want = GetParam().message;
    std::array<uint8_t, 2048> buf{};
    for (const auto& op : std::vector<std::function<void()>>{
             [&] { drive.ReadSector(buf.data()); }, [&] { drive.WriteSector(buf.data()); },
             [&] { drive.ReadBlock(buf.data()); }, [&] { drive.WriteBlock(buf.data()); }}) {
        std::string message;
        EXPECT_EQ(DiskErrorCode(op, &message), want.empty() ? 0 : 2);
        EXPECT_EQ(message, want);
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, DiskPosition,
                         ::testing::Values(PositionCase{32, 300, "Invalid track sector (32)!"},
                                           PositionCase{0, 256, "Invalid disk track (256)!"},
                                           PositionCase{65535, 0, "Invalid track sector (65535)!"},
                                           PositionCase{5, 65535, "Invalid disk track (65535)!"},
                                           PositionCase{0, 0, ""}, PositionCase{31, 255, ""}));

struct ShortCase {
    size_t bytes;
    int32_t records;
};
void PrintTo(const ShortCase& c, std::ostream* os) { *os << c.bytes; }

class DiskShortFile : public ::testing::TestWithParam<ShortCase> {};

TEST_P(DiskShortFile, RecordsPastTheEndFail) {
    TempFolder dir;
    const std::string image = dir / "short.cpmdsk";
    WriteFile(image, NumberedImage(GetParam().bytes));
    TDiskDrive drive(image);
    const int32_t records = GetParam().records;
    EXPECT_EQ(drive.Cache().RecordCount(), records);

    std::array<uint8_t, 128> buf{};
    for (int32_t r = std::max(0, records - 2); r < records + 2; ++r) {
        drive.Track = static_cast<uint16_t>(r / 32);
        drive.Sector = static_cast<uint16_t>(r % 32);
        std::string readMessage, writeMessage;
        if (r < records) {
            EXPECT_EQ(DiskErrorCode([&] { drive.ReadSector(buf.data()); }), 0) << r;
            EXPECT_EQ(buf[1], static_cast<uint8_t>(r));
            continue;
        }
        EXPECT_EQ(DiskErrorCode([&] { drive.ReadSector(buf.data()); }, &readMessage), 4) << r;
        EXPECT_EQ(readMessage, "Read from disk failed!");
        EXPECT_EQ(DiskErrorCode([&] { drive.WriteSector(buf.data()); }, &writeMessage), 8) << r;
        EXPECT_EQ(writeMessage, "Write to disk failed!");
    }
    EXPECT_EQ(fs::file_size(image), GetParam().bytes);  // failed writes do not grow it
}

INSTANTIATE_TEST_SUITE_P(Sizes, DiskShortFile,
                         ::testing::Values(ShortCase{1000, 7}, ShortCase{0, 0}, ShortCase{127, 0},
                                           ShortCase{40 * 128 + 5, 40}));

TEST(DiskImage, BytesPastTheFullImageAreNeverTouched) {
    TempFolder dir;
    const std::string image = dir / "huge.cpmdsk";
    const int fd = ::open(image.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, int64_t{5} << 32), 0);  // sparse, beyond 32 bits
    ::close(fd);

    TDiskDrive drive(image);
    EXPECT_EQ(drive.Cache().RecordCount(), 8192);
    std::array<uint8_t, 2048> block;
    block.fill(0x42);
    drive.Track = 255;
    drive.Sector = 16;
    drive.WriteBlock(block.data());
    EXPECT_EQ(fs::file_size(image), uint64_t{5} << 32);
    std::ifstream in(image, std::ios::binary);
    in.seekg(1048576 - 1);
    EXPECT_EQ(in.get(), 0x42);
    EXPECT_EQ(in.get(), 0);
}

struct BlockCase {
    uint16_t track;
    uint16_t sector;
    int firstRecord;
};
void PrintTo(const BlockCase& c, std::ostream* os) { *os << c.track << "/" << c.sector; }

class DiskBlock : public ::testing::TestWithParam<BlockCase> {};

TEST_P(DiskBlock, ReadsAndWritesTheHalfTrackHoldingTheSector) {
    TempFolder dir;
    const std::string image = dir / "blocks.cpmdsk";
    WriteFile(image, NumberedImage(1048576));
    TDiskDrive drive(image);
    drive.Track = GetParam().track;
    drive.Sector = GetParam().sector;
    const int first = GetParam().firstRecord;
    std::array<uint8_t, 2048> block{};
    drive.ReadBlock(block.data());
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ(block[k * 128], static_cast<uint8_t>((first + k) >> 8)) << k;
        EXPECT_EQ(block[k * 128 + 1], static_cast<uint8_t>(first + k)) << k;
    }

    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(0xA0 + i / 128);
    drive.WriteBlock(block.data());
    const std::string bytes = ReadFile(image);
    const size_t start = static_cast<size_t>(first) * 128;
    EXPECT_EQ(bytes.substr(0, start), NumberedImage(1048576).substr(0, start));
    for (int k = 0; k < 16; ++k) EXPECT_EQ(static_cast<uint8_t>(bytes[start + k * 128 + 9]), 0xA0 + k) << k;
    EXPECT_EQ(bytes.substr(start + 2048), NumberedImage(1048576).substr(start + 2048));
}

INSTANTIATE_TEST_SUITE_P(Halves, DiskBlock,
                         ::testing::Values(BlockCase{0, 17, 16}, BlockCase{0, 15, 0}, BlockCase{3, 31, 3 * 32 + 16},
                                           BlockCase{255, 0, 255 * 32}));

TEST(DiskBlockFaults, ShortFileBlockFailsPartway) {
    TempFolder dir;
    const std::string image = dir / "part.cpmdsk";
    WriteFile(image, std::string(20 * 128, '\xE5'));
    TDiskDrive drive(image);
    std::array<uint8_t, 2048> block;
    drive.Sector = 16;
    EXPECT_EQ(DiskErrorCode([&] { drive.ReadBlock(block.data()); }), 4);
    block.fill(0x33);
    EXPECT_EQ(DiskErrorCode([&] { drive.WriteBlock(block.data()); }), 8);
    // Records before the failing one stay written.
    EXPECT_EQ(ReadFile(image), std::string(16 * 128, '\xE5') + std::string(4 * 128, '\x33'));
}

TEST(DiskSharing, EachDriveHasItsOwnWindow) {
    TempFolder dir;
    const std::string image = dir / "shared.cpmdsk";
    TDiskDrive::FormatDiskImage(image);
    TDiskDrive reader(image);
    TDiskDrive writer(image);
    std::array<uint8_t, 128> buf{};
    reader.ReadSector(buf.data());  // window over records 0-63
    writer.ReadSector(buf.data());

    std::array<uint8_t, 128> data;
    data.fill(0x77);
    writer.Sector = 3;
    writer.WriteSector(data.data());
    EXPECT_EQ(ReadFile(image)[3 * 128], '\x77');  // in the file at once

    reader.Sector = 3;
    reader.ReadSector(buf.data());
    EXPECT_EQ(buf[0], 0xE5);  // not in the reader's window
    writer.ReadSector(buf.data());
    EXPECT_EQ(buf[0], 0x77);  // the writer's own window follows its writes
}

TEST(DiskFormatFaults, RefusedWhileOpenByAnyName) {
    TempFolder dir;
    const std::string image = dir / "busy.cpmdsk";
    WriteFile(image, std::string(4096, '\x01'));
    fs::create_symlink(image, dir / "alias.cpmdsk");
    fs::create_hard_link(image, dir / "hard.cpmdsk");
    {
        TDiskDrive drive(image, TImageRole::DiskManager);
        for (const std::string& name : {image, dir / "alias.cpmdsk", dir / "hard.cpmdsk", dir / "./busy.cpmdsk"}) {
            try {
                TDiskDrive::FormatDiskImage(name);
                ADD_FAILURE() << "formatted an open image: " << name;
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), kFormatFailed);
            }
        }
        EXPECT_EQ(ReadFile(image), std::string(4096, '\x01'));
    }
    TDiskDrive::FormatDiskImage(image);  // closed again: goes ahead
    EXPECT_EQ(fs::file_size(image), 1048576u);
}

TEST(DiskFormatFaults, FailuresKeepWhatIsThere) {
    TempFolder dir;
    const std::string image = dir / "keep.cpmdsk";
    WriteFile(image, std::string(1000, '\x24'));
    std::string message;
    {
        storetest::FileSizeLimit limit(64 * 1024);
        try {
            TDiskDrive::FormatDiskImage(image);
        } catch (const std::runtime_error& e) {
            message = e.what();
        }
    }
    EXPECT_EQ(message, kFormatFailed);
    EXPECT_EQ(ReadFile(image), std::string(1000, '\x24'));

    // A file that cannot be created is the creation error itself, not the
    // message for a failed write.
    fs::create_directory(dir / "folder.cpmdsk");
    for (const std::string& name : {dir / "folder.cpmdsk", dir / "no/such.cpmdsk"}) {
        message.clear();
        try {
            TDiskDrive::FormatDiskImage(name);
        } catch (const std::system_error& e) {
            message = e.what();
        }
        EXPECT_EQ(message.rfind("Cannot create file \"" + name + "\"", 0), 0u) << message;
    }
    EXPECT_TRUE(fs::is_empty(dir / "folder.cpmdsk"));
    EXPECT_EQ(dir.Count(), 2);
}

}  // namespace
