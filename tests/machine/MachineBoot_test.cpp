// Intel HEX loading, the system tracks, drive mounting, boot, program
// loading and the run burst of the headless machine core.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

#include <filesystem>
#include <sys/stat.h>

using namespace tavrin::test;

namespace {

std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* l : lines)
        text += std::string(l) + "\r\n";
    return text;
}

struct THexCase {
    const char* Name;
    std::string Text;
    uint16_t First;
    uint16_t NextFree;
    std::vector<std::pair<uint16_t, uint8_t>> Bytes;  // expected memory
};

TEST(HexImageTest, RecordsLoadInFileOrder)
{
    const THexCase cases[] = {
        {"data and end", Lines({":0201000011AA44", ":00000001FF"}), 0x0100, 0x0102, {{0x0100, 0x11}, {0x0101, 0xAA}}},
        {"count 00 stops early", Lines({":0101000011ED", ":0000000000", ":0102000022DB"}), 0x0100, 0x0101,
         {{0x0100, 0x11}, {0x0200, 0x00}}},
        {"extended address stored at 0000h", Lines({":020000040001F9", ":0110000033BC", ":00000001FF"}),
         0x0000, 0x1001, {{0x0000, 0x00}, {0x0001, 0x01}, {0x1000, 0x33}}},
        {"lower case digits", Lines({":02abcd00beef00", ":00000001ff"}), 0xABCD, 0xABCF,
         {{0xABCD, 0xBE}, {0xABCE, 0xEF}}},
        {"first is first record, not lowest", Lines({":0120000001DE", ":0110000002ED", ":00000001FF"}),
         0x2000, 0x1001, {{0x2000, 0x01}, {0x1000, 0x02}}},
        {"wraps past FFFFh", Lines({":03FFFF00010203F9", ":00000001FF"}), 0xFFFF, 0x0002,
         {{0xFFFF, 0x01}, {0x0000, 0x02}, {0x0001, 0x03}}},
        {"LF line ends, checksum unchecked", ":0140000099FF\n:00000001FF\n", 0x4000, 0x4001, {{0x4000, 0x99}}},
    };
    for (const THexCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        WriteFile(temp.File("a.hex"), c.Text);
        TMemoryImage image{};
        THexLoadResult r = LoadHexImage(temp.File("a.hex"), image);
        EXPECT_EQ(r.First, c.First);
        EXPECT_EQ(r.NextFree, c.NextFree);
        for (auto [address, value] : c.Bytes)
            EXPECT_EQ(image[address], value) << std::hex << address;
    }
}

TEST(HexImageTest, MalformedInputRaisesConversionError)
{
    TTempFolder temp;
    for (const char* text : {":0G01000011\r\n", ":02010000\r\n", ":0201000011A\r\n", ":01\r\n", "\r\n:00000001FF\r\n"}) {
        SCOPED_TRACE(text);
        WriteFile(temp.File("bad.hex"), text);
        TMemoryImage image{};
        EXPECT_THROW(LoadHexImage(temp.File("bad.hex"), image), EConvertError);
    }
    TMemoryImage image{};
    EXPECT_THROW(LoadHexImage(temp.File("missing.hex"), image), EFileOpenError);
}

TEST(HexImageTest, FilesThatCannotBeHexImagesAreRefusedWithoutReading)
{
    TTempFolder temp;
    // A FIFO without a writer would block an open for ever; a huge file
    // would be read whole into memory.
    ASSERT_EQ(::mkfifo(temp.File("pipe.hex").c_str(), 0600), 0);
    WriteFile(temp.File("huge.hex"), ":0101000011ED\r\n");
    std::filesystem::resize_file(temp.File("huge.hex"), 64u * 1024 * 1024);
    std::filesystem::create_directory(temp.File("dir.hex"));
    for (const char* name : {"pipe.hex", "huge.hex", "dir.hex"}) {
        SCOPED_TRACE(name);
        TMemoryImage image{};
        EXPECT_THROW(LoadHexImage(temp.File(name), image), EFileOpenError);
        EXPECT_EQ(image[0x0100], 0);
    }
    TTavrinMachine m(temp.Folder());
    EXPECT_THROW(m.LoadBinaryProgram(temp.File("pipe.hex")), std::runtime_error);
}

TEST(HexImageTest, CopyLengthCoversAWholeMemoryLoad)
{
    std::vector<uint8_t> all(65536);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<uint8_t>(i * 7 + 1);
    TTempFolder temp;
    WriteFile(temp.File("all.hex"), MakeHex(0x0000, all));
    TTavrinMachine m(temp.Folder());
    THexLoadResult r = m.LoadHexToMemory(temp.File("all.hex"));
    EXPECT_EQ(r.BytesStored, 65536u);
    std::vector<uint8_t> memory(65536);
    m.CpuEmu1.ReadMemory(0, 32768, memory.data());
    m.CpuEmu1.ReadMemory(32768, 32768, memory.data() + 32768);
    EXPECT_EQ(memory, all);
    EXPECT_EQ(m.CpuEmu1.NextPC, 0x0000);
}

class BootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 0x1600; ++i)
            Cpm.push_back(static_cast<uint8_t>(i ^ (i >> 8)));
        for (int i = 0; i < 0x600; ++i)
            Bios.push_back(static_cast<uint8_t>(0x80 + i % 101));
        WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, Cpm));
        WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, Bios));
        DiskA = Temp.File("DiskA.cpmdsk");
    }
    std::string Sector(const std::string& image, int track, int sector)
    {
        return ReadFile(image).substr(static_cast<size_t>((track * 32 + sector) * 128), 128);
    }
    TTempFolder Temp;
    std::vector<uint8_t> Cpm, Bios;
    std::string DiskA;
};

TEST_F(BootTest, ResolveImagePath)
{
    TTavrinMachine m(Temp.Folder());
    EXPECT_EQ(m.ResolveImagePath("", "zubios.hex"), Temp.Folder() + "zubios.hex");
    EXPECT_EQ(m.ResolveImagePath("my.hex", "zubios.hex"), Temp.Folder() + "my.hex");
    EXPECT_EQ(m.ResolveImagePath("/x/y.hex", "zubios.hex"), "/x/y.hex");
}

TEST_F(BootTest, SystemTracksHoldExactlyTheLoadedRange)
{
    TTavrinMachine m(Temp.Folder());
    TDiskDrive::FormatDiskImage(DiskA);
    m.WriteSystemTracks(DiskA);
    std::string all(Cpm.begin(), Cpm.end());
    all.append(Bios.begin(), Bios.end());
    ASSERT_EQ(all.size(), 56u * 128u);
    for (int r = 0; r < 56; ++r)
        ASSERT_EQ(Sector(DiskA, r / 32, r % 32), all.substr(static_cast<size_t>(r) * 128, 128)) << r;
    EXPECT_EQ(Sector(DiskA, 1, 24), std::string(128, '\xE5')) << "record 57 untouched";
    EXPECT_EQ(std::filesystem::file_size(DiskA), 1048576u);
}

TEST_F(BootTest, SystemTracksRefuseOversizedImagesAndMissingDisks)
{
    TTavrinMachine m(Temp.Folder());
    try {
        m.WriteSystemTracks(Temp.File("Nope.cpmdsk"));
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The disk \"Nope.cpmdsk\" could not be found!");
    }
    WriteFile(Temp.File("cpm22.hex"), MakeHex(0xD000, std::vector<uint8_t>(0x1000, 0x11)));
    TDiskDrive::FormatDiskImage(DiskA);
    std::string before = ReadFile(DiskA);
    try {
        m.WriteSystemTracks(DiskA);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("8192 bytes of the system tracks"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadFile(DiskA), before) << "nothing written";
}

TEST_F(BootTest, BootLoadsMemoryMountsDrivesAndStartsAtTheBios)
{
    TTavrinMachine m(Temp.Folder());
    m.EnsureDriveAImage();
    TDiskDrive::FormatDiskImage(Temp.File("B.cpmdsk"));
    m.FDrivePaths[1] = Temp.File("B.cpmdsk");
    m.FDrivePaths[2] = Temp.File("gone.cpmdsk");
    m.FTtyKeyQueue.PutByte('x');
    m.FLastTtyKey = 'q';
    m.BootSystem();
    EXPECT_EQ(m.CpuEmu1.NextPC, 0xFA00);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0xE400), Cpm[0]);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0xFFFF), Bios.back());
    EXPECT_EQ(m.FTtyKeyQueue.Count(), 0);
    EXPECT_EQ(m.FLastTtyKey, 0);
    EXPECT_TRUE(m.DriveMounted(0));
    EXPECT_TRUE(m.DriveMounted(1));
    EXPECT_FALSE(m.DriveMounted(2));
    EXPECT_EQ(m.DriveCaption(0), "\"DiskA\"");
    EXPECT_EQ(m.DriveCaption(1), "\"B\"");
    EXPECT_EQ(m.DriveCaption(2), "(no disk)");
    EXPECT_EQ(m.Lamp(0).NotLitColor, LampMountedColor);
    EXPECT_EQ(Sector(DiskA, 0, 0), std::string(Cpm.begin(), Cpm.begin() + 128));
    // Booting again works with the same images (they were released first).
    m.BootSystem();
    EXPECT_TRUE(m.DriveMounted(1));
}

TEST_F(BootTest, BootWithoutDriveAImageStopsAfterLoadingMemory)
{
    TTavrinMachine m(Temp.Folder());
    m.CpuEmu1.Reset(0x1234);
    try {
        m.BootSystem();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "A disk must be selected for drive A before you may boot CPM!");
    }
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0xE401), Cpm[1]);
    EXPECT_EQ(m.CpuEmu1.NextPC, 0x1234) << "not reset";
    for (uint8_t d = 0; d < 4; ++d)
        EXPECT_FALSE(m.DriveMounted(d));
}

TEST_F(BootTest, MappingListsReachTheIOByteOnlyOnceBooted)
{
    TTavrinMachine m(Temp.Folder());
    TDeviceMapping& map = m.FMapping;
    m.CpuEmu1.WriteMemoryByte(0x0003, 0x77);
    EXPECT_EQ(InPort(m, 0x48), 0x01) << "CON=CRT, the others TTY";
    EXPECT_EQ(map.ConLstDeviceLabel(), "CON=CRT, LST=TTY");
    EXPECT_EQ(map.PtrPtpDeviceLabel(), "RDR=TTY, PUN=TTY");

    map.SetItemIndex(TMappedDevice::Con, 3);
    map.SetItemIndex(TMappedDevice::Rdr, 2);
    map.SetItemIndex(TMappedDevice::Pun, 2);
    map.SetItemIndex(TMappedDevice::Lst, 2);
    EXPECT_EQ(map.GetMappingByte(), 0xAB);
    map.RestoreDefaults();
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x77) << "not booted yet";

    // A failed boot leaves the machine unbooted.
    EXPECT_THROW(m.BootSystem(), std::runtime_error);
    map.SetItemIndex(TMappedDevice::Con, 0);
    EXPECT_FALSE(map.FBooted);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x77);

    m.EnsureDriveAImage();
    m.BootSystem();
    EXPECT_TRUE(map.FBooted);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x77) << "boot itself leaves the IOBYTE to the BIOS";
    map.SetItemIndex(TMappedDevice::Lst, 2);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x80);
    map.SetItemIndex(TMappedDevice::Con, -1);
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x83) << "a list without a selection gives 3";
    map.SetDefaults();
    EXPECT_EQ(InPort(m, 0x48), 0x83);
    EXPECT_EQ(map.ConLstDeviceLabel(), "CON=UC1, LST=LPT");
    map.SetItemIndex(TMappedDevice::Con, 1);
    map.RestoreDefaults();
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0003), 0x83);
}

TEST_F(BootTest, MountRefusalsLeaveTheDriveEmptyAndTheImageUntouched)
{
    TTavrinMachine m(Temp.Folder());
    std::string work = Temp.File("WORK.cpmdsk");
    TDiskDrive::FormatDiskImage(work);
    m.MountDrive(2, work);
    std::string before = ReadFile(work);

    struct TCase {
        const char* Name;
        uint8_t Drive;
        std::string File;
        const char* Message;
    };
    std::string small = Temp.File("small.cpmdsk");
    WriteFile(small, std::string(4096, '\xE5'));
    const TCase cases[] = {
        {"A: already in C", 0, work, "The disk is already mounted in another drive!"},
        {"B: already in C", 1, work, "The disk is already mounted in another drive!"},
        {"A: wrong size", 0, small, "Selected disk is bad!"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string sizeBefore = ReadFile(c.File);
        try {
            m.MountDrive(c.Drive, c.File);
            FAIL();
        } catch (const EDiskError& e) {
            EXPECT_STREQ(e.what(), c.Message);
            EXPECT_EQ(e.Code, 1);
        }
        EXPECT_FALSE(m.DriveMounted(c.Drive));
        EXPECT_EQ(m.DriveCaption(c.Drive), "(no disk)");
        EXPECT_EQ(m.FDrivePaths[c.Drive], "");
        EXPECT_EQ(m.Lamp(c.Drive).NotLitColor, LampEmptyColor);
        EXPECT_EQ(ReadFile(c.File), sizeBefore);
    }
    EXPECT_EQ(ReadFile(work), before);
    m.UnmountDrive(2);
    EXPECT_EQ(m.DriveCaption(2), "(no disk)");
    m.MountDrive(0, work);
    EXPECT_EQ(m.DriveCaption(0), "\"WORK\"");
    EXPECT_NE(ReadFile(work), before) << "system tracks written";
}

TEST_F(BootTest, InsertingTheImageADriveHoldsRemountsIt)
{
    TTavrinMachine m(Temp.Folder());
    WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, Cpm));
    std::string work = Temp.File("WORK.cpmdsk");
    TDiskDrive::FormatDiskImage(work);
    for (uint8_t drive : {uint8_t{1}, uint8_t{0}}) {
        SCOPED_TRACE(int(drive));
        m.MountDrive(drive, work);
        EXPECT_NO_THROW(m.MountDrive(drive, work));
        EXPECT_TRUE(m.DriveMounted(drive));
        EXPECT_EQ(m.DriveCaption(drive), "\"WORK\"");
        EXPECT_EQ(m.FDrivePaths[drive], work);
        m.UnmountDrive(drive);
    }
}

TEST_F(BootTest, BinaryProgramsLoadAt0100h)
{
    struct TCase {
        size_t Size;
        int Blocks;  // -1: refused
    };
    for (TCase c : {TCase{0, 0}, TCase{1, 1}, TCase{256, 1}, TCase{257, 2}, TCase{56063, 219}, TCase{56064, -1}}) {
        SCOPED_TRACE(c.Size);
        TTavrinMachine m(Temp.Folder());
        m.CpuEmu1.Reset(0x4321);
        std::string data(c.Size, '\0');
        for (size_t i = 0; i < c.Size; ++i)
            data[i] = static_cast<char>(i % 251 + 1);
        WriteFile(Temp.File("p.com"), data);
        if (c.Blocks < 0) {
            try {
                m.LoadBinaryProgram(Temp.File("p.com"));
                FAIL();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "Program file is to large to fit into memory!");
            }
            EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0100), 0);
            continue;
        }
        EXPECT_EQ(m.LoadBinaryProgram(Temp.File("p.com")), static_cast<uint32_t>(c.Blocks));
        if (c.Size > 0) {
            EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0100), 1);
            EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(static_cast<uint16_t>(0x0100 + c.Size - 1)),
                      static_cast<uint8_t>(data.back()));
        }
        EXPECT_EQ(m.CpuEmu1.NextPC, 0x4321) << "registers untouched";
    }
}

TEST_F(BootTest, ProgramFileThatGivesLessThanItsSizeIsRefused)
{
    // A sysfs attribute is a regular file whose size (a page) is more than
    // a read ever returns: the short read must be noticed, not loaded.
    const std::string shortFile = "/sys/devices/system/cpu/online";
    struct stat st {};
    if (::stat(shortFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<size_t>(st.st_size) <= ReadFile(shortFile).size())
        GTEST_SKIP() << "no file here that reads shorter than its size";
    TTavrinMachine m(Temp.Folder());
    try {
        m.LoadBinaryProgram(shortFile);
        FAIL() << "short read accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unable to read entire program file!");
    }
    EXPECT_EQ(m.CpuEmu1.ReadMemoryByte(0x0100), 0) << "nothing written";
}

TEST(RunBurstTest, BreakPointStopsBeforeTheArmedAddress)
{
    TTempFolder temp;
    TTavrinMachine m(temp.Folder());
    // 8000h: NOP; NOP; JP 8000h
    LoadProgram(m, 0x8000, {0x00, 0x00, 0xC3, 0x00, 0x80});
    int64_t start = m.CpuEmu1.OpcodeCount;
    EXPECT_EQ(m.RunBurst(1000), TBurstResult::Completed);
    EXPECT_EQ(m.CpuEmu1.OpcodeCount - start, 1000);

    m.CpuEmu1.Reset(0x8000);
    m.FBreakPoint = 0x8000;
    m.FBreakPointSet = true;
    start = m.CpuEmu1.OpcodeCount;
    EXPECT_EQ(m.RunBurst(1000), TBurstResult::BreakPoint);
    EXPECT_EQ(m.CpuEmu1.OpcodeCount - start, 3) << "the instruction at the break address runs first";
    EXPECT_EQ(m.CpuEmu1.NextPC, 0x8000);
    EXPECT_EQ(m.RunBurst(1000), TBurstResult::BreakPoint) << "resumes, stops on the next pass";
    m.FBreakPoint = 0x8001;
    m.CpuEmu1.Reset(0x8000);
    EXPECT_EQ(m.RunBurst(1000), TBurstResult::BreakPoint);
    EXPECT_EQ(m.CpuEmu1.NextPC, 0x8001);
}

} // namespace
