// The system-manager channel as the machine serves it: IN and OUT
// instructions send each command through ports 40h/41h and read the status
// and the reply, against real disk images in the program folder.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

using namespace tavrin::test;

namespace {

struct TTranscript {
    std::string Reply;
    uint8_t Status = 0;  // IN (40h) right after the command ran
};

// What a CP/M program does, one IN or OUT instruction at a time: OUT (40h),0,
// the command on 41h, OUT (40h),1, IN (40h), then IN (41h) until 1Ah.
TTranscript RunTranscript(TTavrinMachine& m, const std::string& command)
{
    OutPort(m, 0x40, 0);
    for (char c : command)
        OutPort(m, 0x41, static_cast<uint8_t>(c));
    OutPort(m, 0x40, 1);
    TTranscript t;
    t.Status = InPort(m, 0x40);
    for (uint8_t b; t.Reply.size() < 20000 && (b = InPort(m, 0x41)) != 0x1A;)
        t.Reply += static_cast<char>(b);
    return t;
}

struct TDriveCase {
    const char* Name;
    int Held;  // the drive holding Image before the command, -1 none
    const char* Image;
    std::string Command;
    std::string Reply;
    bool ReplyEnding;  // Reply is only the reply's ending
    uint8_t Status;
    int Drive;  // the drive then holding Caption
    const char* Caption;
};

TEST(SysChannelTest, DriveCommandTranscripts)
{
    TTempFolder temp;
    std::vector<uint8_t> cpm;
    for (int i = 0; i < 0x600; ++i)
        cpm.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
    WriteFile(temp.File("cpm22.hex"), MakeHex(0xE400, cpm));
    WriteFile(temp.File("zubios.hex"), MakeHex(0xFA00, {0xC3, 0x00, 0xFA}));
    for (const char* name : {"DiskA", "WORK", "GAMES", ".hidden"})
        TDiskDrive::FormatDiskImage(temp.File(name + std::string(".cpmdsk")));
    WriteFile(temp.File("BAD.cpmdsk"), "too short");

    const TDriveCase cases[] = {
        {"mount into an empty drive", -1, "", "MOUNT B: WORK", Lines({"", "Mounted \"WORK\" in drive \"B\"!"}), false,
         0x06, 1, "\"WORK\""},
        {"mount over a disk reports the change", 1, "WORK", "MOUNT B: GAMES",
         Lines({"", "Mounted \"GAMES\" in drive \"B\"!"}), false, 0x86, 1, "\"GAMES\""},
        {"disk layer refuses the image", 0, "DiskA", "MOUNT A: BAD", Lines({"", "Selected disk is bad!"}), false, 0x06,
         0, "\"DiskA\""},
        {"hidden images are not mountable", 1, "GAMES", "MOUNT B: .hidden", Lines({"", "No such disk as \".hidden\"!"}),
         false, 0x06, 1, "\"GAMES\""},
        {"mount into A writes the system tracks", -1, "", "MOUNT A: WORK",
         Lines({"", "Mounted \"WORK\" in drive \"A\"!"}), false, 0x06, 0, "\"WORK\""},
        {"search lists the images no drive holds, hidden ones neither", 1, "GAMES", "MOUNT *",
         Lines({"", "Available disks to mount:", "", "  BAD", "  WORK"}), false, 0x06, 1, "\"GAMES\""},
        {"unmount with a lower-case letter", 2, "WORK", "UNMOUNT c:", Lines({"", "Disk removed from drive \"C\"!"}),
         false, 0x06, 2, "(no disk)"},
        {"unmount help shows the drives", 3, "GAMES", "UNMOUNT", Lines({"  C: (no disk)", "  D: \"GAMES\"", ""}), true,
         0x06, 3, "\"GAMES\""},
    };
    for (const TDriveCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(temp.Folder());
        if (c.Held >= 0)
            m.MountDrive(static_cast<uint8_t>(c.Held), temp.File(c.Image + std::string(".cpmdsk")));
        const TTranscript t = RunTranscript(m, c.Command);
        const size_t shown = c.ReplyEnding ? std::min(t.Reply.size(), c.Reply.size()) : t.Reply.size();
        EXPECT_EQ(t.Reply.substr(t.Reply.size() - shown), c.Reply);
        EXPECT_EQ(t.Status, c.Status);
        const auto drive = static_cast<uint8_t>(c.Drive);
        EXPECT_EQ(m.DriveCaption(drive), c.Caption);
        const bool mounted = c.Caption != std::string("(no disk)");
        EXPECT_EQ(m.DriveMounted(drive), mounted);
        EXPECT_EQ(m.DrivePath(drive).empty(), !mounted);
        EXPECT_EQ(m.Lamp(drive).NotLitColor == LampMountedColor, mounted);
        EXPECT_EQ(ReadFile(temp.File("BAD.cpmdsk")), "too short");
    }
    EXPECT_EQ(ReadFile(temp.File("WORK.cpmdsk")).substr(0, 128), std::string(cpm.begin(), cpm.begin() + 128))
        << "the system tracks of the disk mounted into A";
}

} // namespace
