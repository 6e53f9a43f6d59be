// Writes of several records at once land in place and in the drive's read
// window; ranges past the image are refused before anything is written.

#include "CpmTestSupport.h"
#include "disk/DiskDrive.h"

using namespace cpmtest;

namespace {

TEST(BlockWrite, RecordsLandInPlaceAndInTheWindowOrNotAtAll)
{
    TempDir dir;
    const std::string image = dir.File("w.cpmdsk");
    MakeFreshImage(image);
    TDiskDrive drive(image);
    std::array<uint8_t, 128> record{};
    drive.Track = 255;
    drive.Sector = 29;
    drive.ReadSector(record.data());  // the window holds the records written below
    const std::vector<uint8_t> data = Pattern(4 * 128, 9);
    for (int count : {4, -1})
        EXPECT_THROW(drive.WriteSectors(data.data(), count), EDiskError);
    EXPECT_EQ(ReadFileBytes(image), std::vector<uint8_t>(ImageBytes, 0xE5));
    drive.WriteSectors(data.data(), 3);
    EXPECT_EQ(Peek(image, ImageBytes - 3 * 128, 3 * 128), std::vector<uint8_t>(data.begin(), data.end() - 128));
    drive.Sector = 31;
    drive.ReadSector(record.data());
    EXPECT_TRUE(std::equal(record.begin(), record.end(), data.begin() + 256));
}

}  // namespace
