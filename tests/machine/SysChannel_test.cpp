// The system-manager channel as the machine serves it: a Z80 program sends
// each command through ports 40h/41h and stores the status and the reply in
// memory, against real disk images in the program folder.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

#include <functional>
#include <initializer_list>

using namespace tavrin::test;

namespace {

constexpr uint16_t ProgramAddress = 0x8000;
constexpr uint16_t CommandAddress = 0x9000;
constexpr uint16_t StatusAddress = 0x8F00;
constexpr uint16_t LengthAddress = 0x8F02;
constexpr uint16_t ReplyAddress = 0xA000;

struct TTranscript {
    std::string Reply;
    uint8_t Status = 0;  // IN (40h) right after the command ran
};

// Runs the transcript program on the machine until it halts.
TTranscript RunTranscript(TTavrinMachine& m, const std::string& command)
{
    const std::string program = ReadFile(TAVRIN_SYS_TRANSCRIPT_BIN);
    EXPECT_FALSE(program.empty()) << "assembled program missing: " << TAVRIN_SYS_TRANSCRIPT_BIN;
    TCpuEmu& cpu = m.CpuEmu1;
    cpu.WriteMemory(ProgramAddress, static_cast<uint16_t>(program.size()),
                    reinterpret_cast<const uint8_t*>(program.data()));
    const std::string text = command + '\0';
    cpu.WriteMemory(CommandAddress, static_cast<uint16_t>(text.size()), reinterpret_cast<const uint8_t*>(text.data()));
    cpu.Reset(ProgramAddress);
    for (int i = 0; i < 40 && !(cpu.CpuState() & TCpuEmu::kStateHalted); ++i)
        m.RunBurst(10000);
    EXPECT_TRUE(cpu.CpuState() & TCpuEmu::kStateHalted) << "transcript program did not finish";

    TTranscript t;
    t.Status = cpu.ReadMemoryByte(StatusAddress);
    const uint16_t length =
        static_cast<uint16_t>(cpu.ReadMemoryByte(LengthAddress) | cpu.ReadMemoryByte(LengthAddress + 1) << 8);
    for (uint16_t i = 0; i < length; ++i)
        t.Reply += static_cast<char>(cpu.ReadMemoryByte(static_cast<uint16_t>(ReplyAddress + i)));
    return t;
}


bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A printer that also answers the PRINT command.
struct TJobPrinter : IPrinterDevice, ISysPrinter {
    bool Printing = false;
    int Pages = 0;
    int EndJobs = 0;
    int AbortJobs = 0;
    bool IsReady() override { return true; }
    void WriteChar(uint8_t) override {}
    bool IsPrinting() override { return Printing; }
    int GetPageCount() override { return Pages; }
    void EndJob() override { ++EndJobs; }
    void AbortJob() override { ++AbortJobs; }
};

class SysChannelTest : public ::testing::Test {
public:
    void SetUp() override
    {
        for (int i = 0; i < 0x600; ++i)
            Cpm.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
        WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, Cpm));
        WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, {0xC3, 0x00, 0xFA}));
        for (const char* name : {"DiskA", "WORK", "GAMES"})
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
        {"name matched without regard to case", none, "MOUNT C: work", TMatch::Whole,
         Lines({"", "Mounted \"work\" in drive \"C\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) { EXPECT_EQ(m.FDrivePaths[2], t.Disk("WORK")); }},
        {"already mounted elsewhere", mountIn(2, "WORK"), "MOUNT B: WORK", TMatch::Whole,
         Lines({"", "The disk is already mounted in drive \"C\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest&) { EXPECT_FALSE(m.DriveMounted(1)); }},
        {"disk layer refuses the image", mountIn(0, "DiskA"), "MOUNT A: BAD", TMatch::Whole,
         Lines({"", "Selected disk is bad!"}), 0x86,
         [](TTavrinMachine& m, const SysChannelTest&) {
             EXPECT_FALSE(m.DriveMounted(0));
             EXPECT_EQ(m.DriveCaption(0), "(no disk)");
         }},
        {"mount into A writes the system tracks", none, "MOUNT A: WORK", TMatch::Whole,
         Lines({"", "Mounted \"WORK\" in drive \"A\"!"}), 0x06,
         [](TTavrinMachine& m, const SysChannelTest& t) {
             EXPECT_TRUE(m.DriveMounted(0));
             EXPECT_EQ(ReadFile(t.Disk("WORK")).substr(0, 128), std::string(t.Cpm.begin(), t.Cpm.begin() + 128));
         }},
        {"one drive's caption", mountIn(1, "WORK"), "MOUNT B:", TMatch::Whole, Lines({"", "  B: \"WORK\""}), 0x06,
         none},
        // Drive A's image is its drive's path from start-up on.
        {"search lists the images no drive holds", mountIn(1, "GAMES"), "MOUNT *", TMatch::Whole,
         Lines({"", "Available disks to mount:", "", "  BAD", "  WORK"}), 0x06, none},
        {"search without a match", none, "MOUNT ZZ*", TMatch::Whole,
         Lines({"", "Available disks to mount:", "", "No mountable disks found!"}), 0x06, none},
        {"mount help shows the drives", mountIn(1, "WORK"), "MOUNT", TMatch::Ending,
         Lines({"Currently mounted disks:", "", "  A: (no disk)", "  B: \"WORK\"", "  C: (no disk)", "  D: (no disk)",
                ""}),
         0x06, none},
        {"boot disk stays", mountIn(0, "DiskA"), "UNMOUNT A:", TMatch::Whole,
         Lines({"", "You may not remove the boot disk in drive A:", "Use the MOUNT command to change boot disk!"}),
         0x06, [](TTavrinMachine& m, const SysChannelTest&) { EXPECT_TRUE(m.DriveMounted(0)); }},
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

struct TOtherCase {
    const char* Name;
    std::function<void(TTavrinMachine&, TJobPrinter&)> Arrange;
    std::string Command;
    std::string Reply;
    std::function<void(const TJobPrinter&)> Check;
};

} // namespace
