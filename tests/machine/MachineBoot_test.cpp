// Intel HEX loading and the boot of the headless machine core.

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"

#include <filesystem>
#include <sys/stat.h>

using namespace tavrin::test;

namespace {

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

} // namespace
