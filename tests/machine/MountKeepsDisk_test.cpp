// MOUNT through the system-manager channel: an image that is refused leaves
// the drive with the disk it held; hidden images are neither listed nor
// mountable.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

using namespace tavrin::test;

namespace {

struct TMountCase {
    const char* Name;
    char Drive;
    const char* Disk;   // MOUNT d: Disk
    const char* Reply;  // the line after the leading empty one
};

class MountKeepsDiskTest : public ::testing::TestWithParam<TMountCase> {
protected:
    void SetUp() override
    {
        WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, std::vector<uint8_t>(0x1600, 0x11)));
        WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, std::vector<uint8_t>(0x600, 0x22)));
        for (const char* name : {"OLDA.cpmdsk", "OLDB.cpmdsk", "INC.cpmdsk", ".hidden.cpmdsk"})
            TDiskDrive::FormatDiskImage(Temp.File(name));
        WriteFile(Temp.File("SHORT.cpmdsk"), std::string(4096, '\xE5'));
    }
    TTempFolder Temp;
};

TEST_P(MountKeepsDiskTest, RefusedImageKeepsTheOldDisk)
{
    const TMountCase& c = GetParam();
    TTavrinMachine m(Temp.Folder());
    m.MountDrive(0, Temp.File("OLDA.cpmdsk"));
    m.MountDrive(1, Temp.File("OLDB.cpmdsk"));
    m.MountDrive(2, Temp.File("INC.cpmdsk"));
    const auto drive = static_cast<uint8_t>(c.Drive - 'A');
    const std::string path = m.FDrivePaths[drive];
    const std::string caption = m.DriveCaption(drive);
    const std::string shortBefore = ReadFile(Temp.File("SHORT.cpmdsk"));

    const std::string reply = m.FSysChannel.SysMountCommand(std::string(1, c.Drive) + ": " + c.Disk);

    EXPECT_EQ(reply, Lines({"", c.Reply}));
    EXPECT_FALSE(m.FSysChannel.FSysDiskChanged) << "the drive holds the same disk";
    EXPECT_TRUE(m.DriveMounted(drive));
    EXPECT_EQ(m.FDrivePaths[drive], path);
    EXPECT_EQ(m.DriveCaption(drive), caption);
    EXPECT_EQ(m.Lamp(drive).NotLitColor, LampMountedColor);
    EXPECT_EQ(ReadFile(Temp.File("SHORT.cpmdsk")), shortBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Images, MountKeepsDiskTest,
    ::testing::Values(TMountCase{"ShortImageIntoA", 'A', "SHORT", "Selected disk is bad!"},
                      TMountCase{"OtherDrivesImageIntoA", 'A', "INC", "The disk is already mounted in drive \"C\"!"},
                      TMountCase{"HiddenImageIntoB", 'B', ".hidden", "No such disk as \".hidden\"!"}),
    [](const ::testing::TestParamInfo<TMountCase>& info) { return std::string(info.param.Name); });

TEST_F(MountKeepsDiskTest, HiddenImagesAreNotListed)
{
    TTavrinMachine m(Temp.Folder());
    const std::string reply = m.FSysChannel.SysMountCommand("*");
    EXPECT_EQ(reply.find("hidden"), std::string::npos) << reply;
    EXPECT_NE(reply.find("  OLDA"), std::string::npos) << reply;
}

} // namespace
