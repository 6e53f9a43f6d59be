// Writes of several records at once: one write of consecutive records that
// the drive's own read window sees at once, and ranges refused before
// anything is written.

#include "CpmTestSupport.h"
#include "disk/DiskDrive.h"

using namespace cpmtest;

namespace {

TEST(BlockWrite, ConsecutiveRecordsLandInPlaceAndInTheReadWindow)
{
    TempDir dir;
    const std::string image = dir.File("w.cpmdsk");
    MakeFreshImage(image);
    TDiskDrive drive(image);
    std::array<uint8_t, 128> record{};
    drive.Track = 3;
    drive.Sector = 16;
    drive.ReadSector(record.data());  // the window now holds the records written below
    const std::vector<uint8_t> data = Pattern(3 * 128, 9);
    drive.WriteSectors(data.data(), 3);
    EXPECT_EQ(Peek(image, (3 * 32 + 16) * 128, 3 * 128), data);
    EXPECT_EQ(Peek(image, (3 * 32 + 19) * 128, 1), std::vector<uint8_t>{0xE5});
    drive.Sector = 18;
    drive.ReadSector(record.data());
    EXPECT_TRUE(std::equal(record.begin(), record.end(), data.begin() + 256));
}

TEST(BlockWrite, RangesPastTheImageAreRefusedUntouched)
{
    TempDir dir;
    const std::string image = dir.File("w.cpmdsk");
    MakeFreshImage(image);
    TDiskDrive drive(image);
    const std::vector<uint8_t> data(4 * 128, 0x11);
    drive.Track = 255;
    drive.Sector = 30;
    for (int count : {3, -1}) {
        try {
            drive.WriteSectors(data.data(), count);
            ADD_FAILURE() << count;
        } catch (const EDiskError& e) {
            EXPECT_EQ(e.Code, EDiskError::BadPosition);
        }
    }
    EXPECT_EQ(ReadFileBytes(image), std::vector<uint8_t>(ImageBytes, 0xE5));
    drive.WriteSectors(data.data(), 2);
    EXPECT_EQ(Peek(image, ImageBytes - 256, 256), std::vector<uint8_t>(256, 0x11));
}

}  // namespace
