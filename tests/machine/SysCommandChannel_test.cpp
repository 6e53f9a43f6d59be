// The system-manager channel against a recording host over real files, and
// as the machine serves it through IN and OUT instructions.

#include "disk/DiskDrive.h"
#include "machine/SysCommandChannel.h"
#include "support/MachineTestSupport.h"
#include "support/WriteProtectedFile.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <ostream>
#include <set>
#include <stdexcept>
#include <tuple>
#include <vector>

using namespace tavrin::test;

namespace {

namespace fs = std::filesystem;

class FakePrinter : public ISysPrinter {
public:
    bool Printing = false;
    int Pages = 0;
    int EndJobs = 0;
    int AbortJobs = 0;
    bool IsPrinting() override { return Printing; }
    int GetPageCount() override { return Pages; }
    void EndJob() override { ++EndJobs; }
    void AbortJob() override { ++AbortJobs; }
};

// Mounts by recording the request; the image name becomes the caption.
class FakeHost : public ISysHost {
public:
    explicit FakeHost(std::string folder) : Folder(std::move(folder)) { Captions.fill("(no disk)"); }

    std::string Folder;
    std::array<std::string, 4> Paths;
    std::array<std::string, 4> Captions;
    std::vector<std::pair<int, std::string>> MountCalls;
    std::vector<int> UnmountCalls;
    std::string MountError;  // thrown by MountDrive when not empty
    bool MountLeavesEmpty = false;
    FakePrinter* Printer = nullptr;
    std::optional<std::string> Selected;

    // An empty path ejects the disk.
    void Insert(uint8_t d, const std::string& path) {
        Paths.at(d) = path;
        Captions.at(d) = path.empty() ? "(no disk)" : "\"" + fs::path(path).stem().string() + "\"";
    }

    const std::string& ProgramFolderPath() const override { return Folder; }
    const std::string& DriveCaption(uint8_t d) const override { return Captions.at(d); }
    std::string DrivePath(uint8_t d) const override { return Paths.at(d); }
    bool DriveMounted(uint8_t d) const override { return !Paths.at(d).empty(); }
    void MountDrive(uint8_t d, const std::string& fileName) override {
        MountCalls.emplace_back(d, fileName);
        Insert(d, MountError.empty() && !MountLeavesEmpty ? fileName : "");
        if (!MountError.empty()) throw std::runtime_error(MountError);
    }
    void UnmountDrive(uint8_t d) override {
        UnmountCalls.push_back(d);
        Insert(d, "");
    }
    ISysPrinter* SysPrinter() override { return Printer; }
    std::optional<std::string> SelectedPrinterName() override { return Selected; }
};

// Sunday, 6 December 2026.
std::tm FixedTime(int hour, int minute, int second) {
    return std::tm{.tm_sec = second,
                   .tm_min = minute,
                   .tm_hour = hour,
                   .tm_mday = 6,
                   .tm_mon = 11,
                   .tm_year = 2026 - 1900,
                   .tm_wday = 0,
                   .tm_yday = 339,
                   .tm_isdst = 0,
                   .tm_gmtoff = 0,
                   .tm_zone = nullptr};
}

class SysChannel : public ::testing::Test {
protected:
    SysChannel() : Folder(Temp.Folder()), Host(Folder), Channel(Host) {
        Channel.SetTimeLocale("C");
        Channel.Clock = [this] { return Time; };
    }

    // OUT (40h),0; the command on 41h; OUT (40h),1; IN (41h) until 1Ah.
    std::string Transact(const std::string& command) {
        Channel.ControlPortWrite(0);
        for (char c : command) Channel.CommandPortWrite(static_cast<uint8_t>(c));
        Channel.ControlPortWrite(1);
        std::string reply;
        for (uint8_t b; reply.size() <= 20000 && (b = Channel.ReplyPortRead()) != 0x1A;) reply += static_cast<char>(b);
        return reply;
    }

    std::string Disk(const std::string& name) { return Folder + name + ".cpmdsk"; }

    tavrin::test::TTempFolder Temp;
    std::string Folder;
    FakeHost Host;
    TSysCommandChannel Channel;
    std::tm Time = FixedTime(20, 5, 9);
};

struct CommandCase {
    const char* command;
    std::string reply;
    int unmounted = -1;  // the drive the host is asked to empty, -1 none
};
// Failure messages show the command with control characters escaped.
void PrintTo(const CommandCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.command)); }

// With drive A holding "A0" and drive C "work": the reply, no mount, and at
// most the one unmount asked for.
class SysCommandWords : public SysChannel, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(SysCommandWords, Reply) {
    Host.Insert(0, Disk("A0"));
    Host.Insert(2, Disk("work"));
    WriteFile(Disk("work"), "disk");
    EXPECT_EQ(Transact(GetParam().command), GetParam().reply);
    EXPECT_TRUE(Host.MountCalls.empty());
    EXPECT_EQ(Host.UnmountCalls,
              GetParam().unmounted < 0 ? std::vector<int>{} : std::vector<int>{GetParam().unmounted});
    EXPECT_TRUE(Host.DriveMounted(0));
    EXPECT_EQ(Channel.StatusPortRead() & 0x80, 0);
}

const std::string BootDiskRefusal =
    Lines({"", "You may not remove the boot disk in drive A:", "Use the MOUNT command to change boot disk!"});

INSTANTIATE_TEST_SUITE_P(
    Table, SysCommandWords,
    ::testing::Values(CommandCase{"DATE", "\r\nSunday December 06, 2026\r\n"},
                      CommandCase{" \t DATE \r", "\r\nSunday December 06, 2026\r\n"},
                      CommandCase{"date", "\r\nInvalid command \"date\"!\r\n"},
                      CommandCase{"date x", "\r\nSunday December 06, 2026\r\n"},
                      CommandCase{"TIME", "\r\n8:05:09 pm\r\n"}, CommandCase{"NOW", "\r\n12/06/26 20:05:09\r\n"},
                      CommandCase{"foo  bar", "\r\nInvalid command \"FOO\"!\r\n"},
                      CommandCase{"DATE\tX", "\r\nInvalid command \"DATE\tX\"!\r\n"},
                      CommandCase{"MOUNT B", Lines({"", "  B: (no disk)"})},
                      CommandCase{"mount C:", Lines({"", "  C: \"work\""})},
                      CommandCase{"MOUNT b", Lines({"", "Invalid drive identifier \"b\"!"})},
                      CommandCase{"MOUNT E:", Lines({"", "Invalid drive identifier \"E:\"!"})},
                      CommandCase{"MOUNT WORK", Lines({"", "You must indicate the drive to mount the disk!"})},
                      CommandCase{"MOUNT E: work", Lines({"", "Invalid drive identifier \"E\"!"})},
                      CommandCase{"MOUNT B: MISSING", Lines({"", "No such disk as \"MISSING\"!"})},
                      CommandCase{"MOUNT B: WORK", Lines({"", "The disk is already mounted in drive \"C\"!"})},
                      CommandCase{"MOUNT B: sub/x", Lines({"", "Invalid disk identifier \"sub/x\"!"})},
                      CommandCase{"MOUNT B: sub\\x", Lines({"", "Invalid disk identifier \"sub\\x\"!"})},
                      CommandCase{"MOUNT B: ..", Lines({"", "Invalid disk identifier \"..\"!"})},
                      CommandCase{"MOUNT B: a\x01z", Lines({"", "Invalid disk identifier \"a\x01z\"!"})},
                      CommandCase{"unmount a:", BootDiskRefusal},
                      CommandCase{"UNMOUNT D:", Lines({"", "Disk removed from drive \"D\"!"}), 3},
                      CommandCase{"UNMOUNT e:", Lines({"", "Invalid drive identifier \"E\"!"})},
                      CommandCase{"UNMOUNT B", Lines({"", "Invalid drive identifier \"B\"!"})},
                      CommandCase{"UNMOUNT B: X", Lines({"", "Invalid drive identifier \"B: X\"!"})}));

// An empty command shows the help: CR LF lines that name the system, and
// every command it shows ("SYS WORD ...") is one the channel runs.
TEST_F(SysChannel, HelpShowsCommandsTheChannelRuns) {
    Host.Insert(0, Disk("A0"));
    const std::string help = Transact("");
    EXPECT_NE(help.find("TAVRIN"), std::string::npos) << help;
    std::set<std::string> words;
    size_t lines = 0;
    for (size_t at = 0, end; (end = help.find("\r\n", at)) != std::string::npos; at = end + 2, ++lines) {
        const std::string line = help.substr(at, end - at);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "lines end in CR LF";
        const size_t sys = line.find("\"SYS ");
        if (sys != std::string::npos) words.insert(line.substr(sys + 5, line.find_first_of(" \"", sys + 5) - sys - 5));
    }
    EXPECT_EQ(help.size(), help.rfind("\r\n") + 2) << "ends with a line end";
    EXPECT_GE(words.size(), 6u) << help;
    for (const std::string& word : words) EXPECT_EQ(Transact(word).find("Invalid command"), std::string::npos) << word;
    EXPECT_TRUE(Host.MountCalls.empty());
    EXPECT_TRUE(Host.UnmountCalls.empty());
}

TEST_F(SysChannel, TimeOfDayOnATwelveHourClock) {
    const std::tuple<int, int, int, const char*> cases[] = {
        {0, 0, 0, "12:00:00 am"}, {11, 59, 59, "11:59:59 am"}, {12, 30, 0, "12:30:00 pm"}, {23, 1, 2, "11:01:02 pm"}};
    for (const auto& [hour, minute, second, text] : cases) {
        Time = FixedTime(hour, minute, second);
        EXPECT_EQ(Transact("TIME"), std::string("\r\n") + text + "\r\n");
    }
}

// OUT (40h),0 drops the command text written before it.
TEST_F(SysChannel, StartingACommandDropsTheTextBeforeIt) {
    for (char c : std::string("XYZ")) Channel.CommandPortWrite(static_cast<uint8_t>(c));
    EXPECT_EQ(Transact("TIME"), "\r\n8:05:09 pm\r\n");
}

TEST_F(SysChannel, MountFailuresBecomeReplyLines) {
    WriteFile(Disk("BAD"), "disk");
    Host.Insert(1, Disk("OLD"));
    Host.MountError = "Selected disk is bad!";
    EXPECT_EQ(Transact("MOUNT B: BAD"), Lines({"", "Selected disk is bad!"}));
    EXPECT_FALSE(Host.DriveMounted(1));
    EXPECT_EQ(Channel.StatusPortRead() & 0x80, 0x80) << "the old disk is gone";

    Host.MountError.clear();
    Host.MountLeavesEmpty = true;
    EXPECT_EQ(Transact("MOUNT C: BAD"), Lines({"", "An error occurred while mounting the disk!"}));
    EXPECT_EQ(Channel.StatusPortRead() & 0x80, 0);
}

class SysDiskList : public SysChannel, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(SysDiskList, ListsUnmountedImages) {
    for (const char* name : {"work", "Work2", "games", "WORKDIR", "zz.txt", ".hidden"}) WriteFile(Disk(name), "disk");
    WriteFile(Folder + "notes.txt", "disk");
    WriteFile(Folder + "works.CPMDSK", "disk");
    Host.Insert(2, Disk("WORKDIR"));
    EXPECT_EQ(Transact(GetParam().command), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SysDiskList,
    ::testing::Values(
        CommandCase{"MOUNT *", Lines({"", "Available disks to mount:", "", "  games", "  work", "  Work2", "  works",
                                      "  zz.txt"})},
        CommandCase{"MOUNT work*", Lines({"", "Available disks to mount:", "", "  work", "  Work2", "  works"})},
        CommandCase{"MOUNT W?RK", Lines({"", "Available disks to mount:", "", "  work"})},
        CommandCase{"MOUNT Q*", Lines({"", "Available disks to mount:", "", "No mountable disks found!"})},
        CommandCase{"MOUNT A/B*", Lines({"", "Available disks to mount:", "", "Invalid disk identifier \"A/B*\"!"})},
        CommandCase{"MOUNT A\\B?",
                    Lines({"", "Available disks to mount:", "", "Invalid disk identifier \"A\\B?\"!"})}));

TEST(SysWildcard, BacktracksAndTakesBracketsLiterally) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*", "", true},  {"a*b*c", "aXbYbZc", true}, {"a*b*c", "aXbYcZ", false},
        {"?", "", false}, {"[ab]", "a", false},       {"[ab]", "[AB]", true}};
    for (const auto& [pattern, name, match] : cases)
        EXPECT_EQ(SysWildcardMatch(pattern, name), match) << pattern << " vs " << name;
}

struct PrintCase {
    const char* command;
    bool enabled;
    bool printing;
    int pages;
    bool selected;
    std::string reply;
    int endJobs, abortJobs;
};
void PrintTo(const PrintCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.command)); }

class SysPrint : public SysChannel, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(SysPrint, Reply) {
    const PrintCase& c = GetParam();
    FakePrinter printer;
    printer.Printing = c.printing;
    printer.Pages = c.pages;
    Host.Printer = c.enabled ? &printer : nullptr;
    if (c.selected) Host.Selected = "Office Laser";
    EXPECT_EQ(Transact(c.command), c.reply);
    EXPECT_EQ(std::pair(printer.EndJobs, printer.AbortJobs), std::pair(c.endJobs, c.abortJobs));
}

std::string Status(std::initializer_list<std::string> tail) {
    std::string text = Lines({"", "LPT port printer emulation status;", ""});
    return text + Lines(tail);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SysPrint,
    ::testing::Values(
        PrintCase{"PRINT FOO", false, false, 0, true, Lines({"", "Printer is not enabled."}), 0, 0},
        PrintCase{"PRINT EJECT", true, false, 0, true, Lines({"", "No print job is printing."}), 0, 0},
        PrintCase{"PRINT eject", true, true, 0, true, Lines({"", "Printing remaining pages in the current print job."}),
                  1, 0},
        PrintCase{"PRINT FOO", true, true, 0, true, Lines({"", "Valid printer commands are; ABORT and EJECT."}), 0, 0},
        PrintCase{"PRINT Abort", true, true, 0, true, Lines({"", "Aborting remaining pages in the current print job."}),
                  0, 1},
        PrintCase{"PRINT", false, false, 0, false, Status({"  No system printer is currently available.", ""}), 0, 0},
        PrintCase{"PRINT", false, false, 0, true,
                  Status({"  Selected Printer: \"Office Laser\"", "", "  Printer is not enabled.", ""}), 0, 0},
        PrintCase{"PRINT", true, false, 0, true,
                  Status({"  Selected Printer: \"Office Laser\"", "", "  Printer is enabled for printing.", ""}), 0, 0},
        PrintCase{"PRINT", true, true, 0, true,
                  Status({"  Selected Printer: \"Office Laser\"", "",
                          "  Printer is active, 1 page in current print job.", ""}),
                  0, 0},
        PrintCase{"PRINT", true, true, 2, true,
                  Status({"  Selected Printer: \"Office Laser\"", "",
                          "  Printer is active, 3 pages in the current print job.", ""}),
                  0, 0}));

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

TEST(SysChannelTest, DriveCommandTranscripts) {
    TTempFolder temp;
    std::vector<uint8_t> cpm;
    for (int i = 0; i < 0x600; ++i) cpm.push_back(static_cast<uint8_t>(i * 7 + (i >> 8)));
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
        if (c.Held >= 0) m.MountDrive(static_cast<uint8_t>(c.Held), temp.File(c.Image + std::string(".cpmdsk")));
        const TTranscript t = RunTranscript(m, c.Command);
        const size_t shown = c.ReplyEnding ? std::min(t.Reply.size(), c.Reply.size()) : t.Reply.size();
        EXPECT_EQ(t.Reply.substr(t.Reply.size() - shown), c.Reply);
        EXPECT_EQ(t.Status, c.Status);
        const auto drive = static_cast<uint8_t>(c.Drive);
        EXPECT_EQ(m.DriveCaption(drive), c.Caption);
        const bool mounted = c.Caption != std::string("(no disk)");
        EXPECT_EQ(std::vector<bool>({m.DriveMounted(drive), !m.DrivePath(drive).empty(),
                                     m.Lamp(drive).NotLitColor == LampMountedColor}),
                  std::vector<bool>(3, mounted));
        EXPECT_EQ(ReadFile(temp.File("BAD.cpmdsk")), "too short");
    }
    EXPECT_EQ(ReadFile(temp.File("WORK.cpmdsk")).substr(0, 128), std::string(cpm.begin(), cpm.begin() + 128))
        << "the system tracks of the disk mounted into A";
}

// The reader or punch file is no disk (the punch would overwrite it): SYS
// MOUNT refuses it before drive A's system tracks could be written, and the
// drive keeps the disk it held. Closed again, the file mounts.
TEST(SysChannelTest, TheReaderOrPunchFileIsRefusedAsADisk) {
    TTempFolder temp;
    const std::string games = temp.File("GAMES.cpmdsk");
    const std::string p2 = temp.File("P2.cpmdsk");
    for (const bool punch : {false, true}) {
        SCOPED_TRACE(punch ? "punch" : "reader");
        TDiskDrive::FormatDiskImage(games);
        TDiskDrive::FormatDiskImage(p2);
        const std::string image = ReadFile(p2);
        TTavrinMachine m(temp.Folder());
        m.MountDrive(1, games);
        punch ? m.OpenPunchFile(p2, false) : m.OpenReaderFile(p2);
        for (const char* command : {"MOUNT B: P2", "MOUNT A: P2"}) {
            const TTranscript t = RunTranscript(m, command);
            EXPECT_EQ(t.Reply, Lines({"", "Disk is in use!"})) << command;
            EXPECT_EQ(t.Status, 0x06) << command;
        }
        EXPECT_EQ(m.DriveCaption(1), "\"GAMES\"");
        EXPECT_FALSE(m.DriveMounted(0));
        EXPECT_EQ(ReadFile(p2), image);
        punch ? m.ClosePunchFile() : m.CloseReaderFile();
        EXPECT_EQ(RunTranscript(m, "MOUNT B: P2").Reply, Lines({"", "Mounted \"P2\" in drive \"B\"!"}));
    }
}

// A disk that cannot be written (on a read-only medium) mounts for reading:
// the BIOS reads its sectors, and a write gets status 8 and changes nothing.
// Drive A, whose system tracks are written at the mount, refuses it.
TEST(SysChannelTest, ADiskThatCannotBeWrittenMountsWriteProtected) {
    TTempFolder temp;
    WriteFile(temp.File("cpm22.hex"), MakeHex(0xE400, std::vector<uint8_t>(0x600, 0x76)));
    WriteFile(temp.File("zubios.hex"), MakeHex(0xFA00, {0xC3, 0x00, 0xFA}));
    const std::string ro = temp.File("RO.cpmdsk");
    std::string image(1048576, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 13 + (i >> 7));
    WriteFile(ro, image);
    TWriteProtectedFile protect(ro);
    ASSERT_TRUE(protect.Holds());
    TTavrinMachine m(temp.Folder());
    EXPECT_EQ(RunTranscript(m, "MOUNT A: RO").Reply,
              Lines({"", "The disk image is read-only and can not be changed!"}));
    EXPECT_FALSE(m.DriveMounted(0));
    EXPECT_EQ(RunTranscript(m, "MOUNT B: RO").Reply, Lines({"", "Mounted \"RO\" in drive \"B\"!"}));

    // Drive B, sector 9 of track 5, DMA address 9000h.
    const std::pair<uint8_t, uint8_t> registers[] = {{0x71, 1}, {0x72, 9},    {0x73, 0},   {0x74, 5},
                                                     {0x75, 0}, {0x76, 0x00}, {0x77, 0x90}};
    for (const auto& [port, value] : registers) OutPort(m, port, value);
    OutPort(m, 0x70, 2);
    EXPECT_EQ(InPort(m, 0x70), 0);
    std::string sector(128, '\0');
    for (uint16_t i = 0; i < 128; ++i) sector[i] = static_cast<char>(m.Cpu().ReadMemoryByte(0x9000 + i));
    EXPECT_EQ(sector, image.substr((5 * 32 + 9) * 128, 128));
    OutPort(m, 0x70, 3);
    EXPECT_EQ(InPort(m, 0x70), 8);
    EXPECT_EQ(ReadFile(ro), image);
}

}  // namespace
