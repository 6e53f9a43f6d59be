// The boot of the headless machine core, and "Load Hex File".

#include <gtest/gtest.h>

#include "disk/DiskDrive.h"
#include "support/MachineTestSupport.h"
#include "support/NamedRows.h"

using namespace tavrin::test;

namespace {

class BootTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 0x1600; ++i) Cpm.push_back(static_cast<uint8_t>(i ^ (i >> 8)));
        for (int i = 0; i < 0x600; ++i) Bios.push_back(static_cast<uint8_t>(0x80 + i % 101));
        WriteFile(Temp.File("cpm22.hex"), MakeHex(0xE400, Cpm));
        WriteFile(Temp.File("zubios.hex"), MakeHex(0xFA00, Bios));
        DiskA = Temp.File("DiskA.cpmdsk");
    }
    TTempFolder Temp;
    std::vector<uint8_t> Cpm, Bios;
    std::string DiskA;
};

TEST_F(BootTest, BootLoadsMemoryMountsDrivesAndStartsAtTheBios) {
    TTavrinMachine m(Temp.Folder());
    m.EnsureDriveAImage();
    for (const char* name : {"B", "gone"}) TDiskDrive::FormatDiskImage(Temp.File(name + std::string(".cpmdsk")));
    m.MountDrive(1, Temp.File("B.cpmdsk"));
    m.MountDrive(2, Temp.File("gone.cpmdsk"));
    std::filesystem::remove(Temp.File("gone.cpmdsk"));
    m.QueueKeys(TConsoleKeyboard::Tty, "qx");
    ASSERT_EQ(InPort(m, 0x11), 'q');  // the last key read
    m.BootSystem();
    // Start, first and last byte loaded, the console's queue and last key.
    const std::vector<int> loaded{m.Cpu().NextPC, m.Cpu().ReadMemoryByte(0xE400), m.Cpu().ReadMemoryByte(0xFFFF)};
    EXPECT_EQ(std::vector<int>(
                  {loaded[0], loaded[1], loaded[2], m.KeysWaiting(TConsoleKeyboard::Tty), InPort(m, 0x11, 0x55)}),
              std::vector<int>({0xFA00, Cpm[0], Bios.back(), 0, 0}));
    EXPECT_EQ(std::vector<bool>({m.DriveMounted(0), m.DriveMounted(1), m.DriveMounted(2)}),
              std::vector<bool>({true, true, false}));
    EXPECT_EQ(std::vector<std::string>({m.DriveCaption(0), m.DriveCaption(1), m.DriveCaption(2)}),
              std::vector<std::string>({"\"DiskA\"", "\"B\"", "(no disk)"}));
    EXPECT_EQ(m.Lamp(0).NotLitColor, LampMountedColor);
    EXPECT_EQ(ReadFile(DiskA).substr(0, 128), std::string(Cpm.begin(), Cpm.begin() + 128)) << "the first sector";
    // Booting again works with the same images (they were released first).
    m.BootSystem();
    EXPECT_TRUE(m.DriveMounted(1));
}

TEST_F(BootTest, BootWithAnEmptyBiosFileStopsBeforeMemoryIsWritten) {
    WriteFile(Temp.File("zubios.hex"), "");
    TTavrinMachine m(Temp.Folder());
    m.EnsureDriveAImage();
    m.Cpu().WriteMemoryByte(0xE400, 0x5A);
    EXPECT_THROW(m.BootSystem(), EHexNoDataError);
    EXPECT_EQ(m.Cpu().ReadMemoryByte(0xE400), 0x5A);
}

// count bytes of value at address, as a data record alone (last: with the
// end record).
std::string Data(uint16_t address, int count, uint8_t value, bool last = false) {
    std::string hex = MakeHex(address, std::vector<uint8_t>(static_cast<size_t>(count), value));
    return last ? hex : hex.substr(0, hex.find(":00000001"));
}

struct THexCase {
    const char* name;
    std::string Text;
    uint16_t First;
    uint16_t NextFree;
    std::vector<std::pair<uint16_t, uint8_t>> Bytes;  // expected memory
    uint16_t SpanStart;                               // first address replaced
    uint32_t SpanLength;                              // addresses replaced, wrapping at FFFFh
};

TAVRIN_PRINT_AS_NAME(THexCase)
class HexLoadTest : public ::testing::TestWithParam<THexCase> {};

TEST_P(HexLoadTest, StoresTheRecordsAndKeepsTheRest) {
    const THexCase& c = GetParam();
    TTempFolder temp;
    WriteFile(temp.File("a.hex"), c.Text);
    TTavrinMachine m(temp.Folder());
    std::vector<uint8_t> memory(65536, 0xEE);
    m.Cpu().WriteMemory(0, 32768, memory.data());
    m.Cpu().WriteMemory(32768, 32768, memory.data());

    const THexLoadResult r = m.LoadHexToMemory(temp.File("a.hex"));
    EXPECT_EQ(std::tuple(r.First, r.NextFree, m.Cpu().NextPC), std::tuple(c.First, c.NextFree, c.First));
    m.Cpu().ReadMemory(0, 32768, memory.data());
    m.Cpu().ReadMemory(32768, 32768, memory.data() + 32768);
    for (auto [address, value] : c.Bytes) EXPECT_EQ(memory[address], value) << std::hex << address;
    for (uint32_t a = 0; a < 65536; ++a)
        ASSERT_EQ(memory[a] == 0xEE, ((a - c.SpanStart) & 0xFFFF) >= c.SpanLength) << "address " << std::hex << a;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HexLoadTest,
    ::testing::Values(
        THexCase{"DataAndEnd",
                 Lines({":0201000011AA44", ":00000001FF"}),
                 0x0100,
                 0x0102,
                 {{0x0100, 0x11}, {0x0101, 0xAA}},
                 0x0100,
                 2},
        THexCase{"Count00StopsEarly",
                 Lines({":0101000011ED", ":0000000000", ":0102000022DB"}),
                 0x0100,
                 0x0101,
                 {{0x0100, 0x11}},
                 0x0100,
                 1},
        THexCase{"ExtendedAddressStoredAt0000h",
                 Lines({":020000040001F9", ":0110000033BC", ":00000001FF"}),
                 0x0000,
                 0x1001,
                 {{0x0000, 0x00}, {0x0001, 0x01}, {0x1000, 0x33}},
                 0x0000,
                 0x1001},
        THexCase{"LowerCaseDigits",
                 Lines({":02abcd00beef00", ":00000001ff"}),
                 0xABCD,
                 0xABCF,
                 {{0xABCD, 0xBE}, {0xABCE, 0xEF}},
                 0xABCD,
                 2},
        THexCase{"FirstIsFirstRecordNotLowest",
                 Lines({":0120000001DE", ":0110000002ED", ":00000001FF"}),
                 0x2000,
                 0x1001,
                 {{0x2000, 0x01}, {0x1000, 0x02}},
                 0x1000,
                 0x1001},
        THexCase{"WrapsPastFFFFh",
                 Lines({":03FFFF00010203F9", ":00000001FF"}),
                 0xFFFF,
                 0x0002,
                 {{0xFFFF, 0x01}, {0x0000, 0x02}, {0x0001, 0x03}},
                 0xFFFF,
                 3},
        THexCase{
            "LfLineEndsChecksumUnchecked", ":0140000099FF\n:00000001FF\n", 0x4000, 0x4001, {{0x4000, 0x99}}, 0x4000, 1},
        THexCase{"BelowTheFirstEndingWhereItBegan",
                 Data(0x100, 16, 1) + Data(0xF0, 16, 2, true),
                 0x100,
                 0x100,
                 {{0xF0, 2}, {0x100, 1}},
                 0xF0,
                 32},
        THexCase{"BelowTheFirstEndingShortOfIt",
                 Data(0x100, 16, 1) + Data(0xF0, 8, 2, true),
                 0x100,
                 0xF8,
                 {{0xF8, 0}},
                 0xF0,
                 32},
        THexCase{"FallingRecords", Data(0x200, 16, 1) + Data(0x100, 16, 2, true), 0x200, 0x110, {}, 0x100, 0x110},
        THexCase{"RisingRecords",
                 Data(0xE400, 128, 1) + Data(0xE480, 128, 2, true),
                 0xE400,
                 0xE500,
                 {{0xE47F, 1}, {0xE480, 2}},
                 0xE400,
                 256},
        THexCase{"WholeMemory", Data(0x0000, 65536, 3, true), 0x0000, 0x0000, {{0xFFFF, 3}}, 0x0000, 65536}),
    RowName);

struct TErrorCase {
    const char* name;
    std::string Text;     // "<none>": no file at all
    std::string Message;  // with FILE for the file's path
};

TAVRIN_PRINT_AS_NAME(TErrorCase)
class HexLoadErrorTest : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(HexLoadErrorTest, RefusedWithFileAndLineAndNothingChanged) {
    const TErrorCase& c = GetParam();
    TTempFolder temp;
    const std::string path = temp.File("bad.hex");
    if (c.Text != "<none>") WriteFile(path, c.Text);
    TTavrinMachine m(temp.Folder());
    const uint8_t marker[2] = {0xC3, 0x77};
    m.Cpu().WriteMemory(0x0100, 2, marker);
    m.Cpu().Reset(0x1234);

    std::string message = c.Message;
    message.replace(message.find("FILE"), 4, path);
    try {
        m.LoadHexToMemory(path);
        ADD_FAILURE() << "the load was not refused";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_EQ(std::vector<int>({m.Cpu().ReadMemoryByte(0x0100), m.Cpu().ReadMemoryByte(0x0101), m.Cpu().NextPC}),
              std::vector<int>({0xC3, 0x77, 0x1234}));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HexLoadErrorTest,
    ::testing::Values(TErrorCase{"BadDigitOnLineTwo", ":0101000011ED\r\n:0h01000011ED\r\n",
                                 "'$0h' is not a valid integer value: line 2 of \"FILE\" is not an Intel HEX record."},
                      TErrorCase{"ShortLineAfterCrOnly", ":0101000011ED\r:0101\r",
                                 "'$01' is not a valid integer value: line 2 of \"FILE\" is not an Intel HEX record."},
                      TErrorCase{"MissingData", ":02010000AA",
                                 "'$' is not a valid integer value: line 1 of \"FILE\" is not an Intel HEX record."},
                      TErrorCase{"OnlyLineEnds", std::string(100000, '\n'),
                                 "'$' is not a valid integer value: line 1 of \"FILE\" is not an Intel HEX record."},
                      TErrorCase{"PlainText", "Hello, world\r\n",
                                 "'$el' is not a valid integer value: line 1 of \"FILE\" is not an Intel HEX record."},
                      TErrorCase{"Empty", "", "The file \"FILE\" holds no data records."},
                      TErrorCase{"OnlyTheEndRecord", ":00000001FF\r\n:0101000011ED\r\n",
                                 "The file \"FILE\" holds no data records."},
                      TErrorCase{"NoFile", "<none>", "Cannot open file \"FILE\". No such file or directory"}),
    RowName);

TEST(HexLoadLinesTest, CharactersPastTheLastRecordByteAreNotKept) {
    TTempFolder temp;
    WriteFile(temp.File("long.hex"), ":0101000011ED" + std::string(1 << 20, 'x') + "\n:00000001FF\n");
    TMemoryImage image{};
    EXPECT_EQ(LoadHexImage(temp.File("long.hex"), image).BytesStored, 1u);
    EXPECT_EQ(image[0x0100], 0x11);
}

}  // namespace
