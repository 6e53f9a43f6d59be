// The system-manager channel as the machine serves it: IN and OUT
// instructions send each command through ports 40h/41h and read the status
// and the reply, against real disk images in the program folder.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

#include <functional>

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

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class SysChannelTest : public ::testing::Test {
public:
    void SetUp() override
    {
        for (int i = 0; i < 0x600; ++i)
            Cpm.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
        WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, Cpm));
        WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, {0xC3, 0x00, 0xFA}));
        for (const char* name : {"DiskA", "WORK", "GAMES", ".hidden"})
            TDiskDrive::FormatDiskImage(Disk(name));
        WriteFile(Disk("BAD"), "too short");
    }
    std::string Disk(const std::string& name) const { return Temp.File(name + ".cpmdsk"); }

    TTempFolder Temp;
    std::vector<uint8_t> Cpm;
};

enum class TMatch : uint8_t { Whole, Ending };

struct TDriveCase {
    const char* Name;
    std::function<void(TTavrinMachine&, const SysChannelTest&)> Arrange;
    std::string Command;
    TMatch Match;
    std::string Reply;
    uint8_t Status;
    std::function<void(TTavrinMachine&, const SysChannelTest&)> Check;
};

TEST_F(SysChannelTest, DriveCommandTranscripts)
{
    auto none = [](TTavrinMachine&, const SysChannelTest&) {};
    auto mountIn = [](uint8_t drive, const char* name) {
        return [drive, name](TTavrinMachine& m, const SysChannelTest& t) { m.MountDrive(drive, t.Disk(name)); };
    };
    const TDriveCase cases[] = {
        {"mount into an empty drive", none, "MOUNT B: WORK", TMatch::Whole,
         Lines({"", "Mounted \"WORK\" in drive \"B\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) {
             EXPECT_TRUE(m.DriveMounted(1));
             EXPECT_EQ(m.DriveCaption(1), "\"WORK\"");
             EXPECT_EQ(m.FDrivePaths[1], t.Disk("WORK"));
         }},
        {"mount over a disk reports the change", mountIn(1, "WORK"), "MOUNT B: GAMES", TMatch::Whole,
         Lines({"", "Mounted \"GAMES\" in drive \"B\"!"}), 0x86,
         [](TTavrinMachine& m, const SysChannelTest&) { EXPECT_EQ(m.DriveCaption(1), "\"GAMES\""); }},
        {"disk layer refuses the image", mountIn(0, "DiskA"), "MOUNT A: BAD", TMatch::Whole,
         Lines({"", "Selected disk is bad!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) {
             EXPECT_TRUE(m.DriveMounted(0));
             EXPECT_EQ(m.DriveCaption(0), "\"DiskA\"");
             EXPECT_EQ(m.Lamp(0).NotLitColor, LampMountedColor);
             EXPECT_EQ(ReadFile(t.Disk("BAD")), "too short");
         }},
        {"hidden images are not mountable", mountIn(1, "GAMES"), "MOUNT B: .hidden", TMatch::Whole,
         Lines({"", "No such disk as \".hidden\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) { EXPECT_EQ(m.FDrivePaths[1], t.Disk("GAMES")); }},
        {"mount into A writes the system tracks", none, "MOUNT A: WORK", TMatch::Whole,
         Lines({"", "Mounted \"WORK\" in drive \"A\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) {
             EXPECT_TRUE(m.DriveMounted(0));
             EXPECT_EQ(ReadFile(t.Disk("WORK")).substr(0, 128), std::string(t.Cpm.begin(), t.Cpm.begin() + 128));
         }},
        {"search lists the images no drive holds, hidden ones neither", mountIn(1, "GAMES"), "MOUNT *", TMatch::Whole,
         Lines({"", "Available disks to mount:", "", "  BAD", "  WORK"}), 0x06, none},
        {"unmount with a lower-case letter", mountIn(2, "WORK"), "UNMOUNT c:", TMatch::Whole,
         Lines({"", "Disk removed from drive \"C\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest&) {
             EXPECT_FALSE(m.DriveMounted(2));
             EXPECT_EQ(m.DrivePath(2), "");
             EXPECT_EQ(m.DriveCaption(2), "(no disk)");
         }},
        {"unmount help shows the drives", mountIn(3, "GAMES"), "UNMOUNT", TMatch::Ending,
         Lines({"  C: (no disk)", "  D: \"GAMES\"", ""}), 0x06, none},
    };
    for (const TDriveCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(Temp.Folder());
        c.Arrange(m, *this);
        TTranscript t = RunTranscript(m, c.Command);
        if (c.Match == TMatch::Whole)
            EXPECT_EQ(t.Reply, c.Reply);
        else
            EXPECT_TRUE(EndsWith(t.Reply, c.Reply)) << t.Reply;
        EXPECT_EQ(t.Status, c.Status);
        c.Check(m, *this);
    }
}

} // namespace
