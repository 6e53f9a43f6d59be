// HEX load errors name the file and the line; a file without data records
// is refused and changes nothing.

#include <gtest/gtest.h>

#include "support/MachineTestSupport.h"

using namespace tavrin::test;

namespace {

struct TErrorCase {
    const char* Name;
    std::string Text;
    std::string Message;  // with FILE for the file's path
};

std::string WithPath(std::string message, const std::string& path)
{
    size_t at = message.find("FILE");
    return at == std::string::npos ? message : message.replace(at, 4, path);
}

class HexLoadErrorTest : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(HexLoadErrorTest, RefusedWithFileAndLineAndNothingChanged)
{
    const TErrorCase& c = GetParam();
    TTempFolder temp;
    const std::string path = temp.File("bad.hex");
    WriteFile(path, c.Text);
    TTavrinMachine m(temp.Folder());
    const uint8_t marker[2] = {0xC3, 0x77};
    m.CpuEmu1.WriteMemory(0x0100, 2, marker);
    m.CpuEmu1.Reset(0x1234);

    try {
        m.LoadHexToMemory(path);
        ADD_FAILURE() << "the load was not refused";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), WithPath(c.Message, path));
    }
    uint8_t now[2] = {};
    m.CpuEmu1.ReadMemory(0x0100, 2, now);
    EXPECT_EQ(now[0], 0xC3);
    EXPECT_EQ(now[1], 0x77);
    EXPECT_EQ(m.CpuEmu1.NextPC, 0x1234);
}

INSTANTIATE_TEST_SUITE_P(
    Files, HexLoadErrorTest,
    ::testing::Values(
        TErrorCase{"BadDigitOnLineTwo", ":0101000011ED\r\n:0h01000011ED\r\n",
                   "'$0h' is not a valid integer value (file \"FILE\", line 2)"},
        TErrorCase{"ShortLineAfterCrOnly", ":0101000011ED\r:0101\r", "'$01' is not a valid integer value (file \"FILE\", line 2)"},
        TErrorCase{"MissingData", ":02010000AA", "'$' is not a valid integer value (file \"FILE\", line 1)"},
        TErrorCase{"OnlyLineEnds", std::string(100000, '\n'), "'$' is not a valid integer value (file \"FILE\", line 1)"},
        TErrorCase{"Empty", "", "The file \"FILE\" holds no data records."},
        TErrorCase{"OnlyTheEndRecord", ":00000001FF\r\n:0101000011ED\r\n", "The file \"FILE\" holds no data records."}),
    [](const ::testing::TestParamInfo<TErrorCase>& info) { return std::string(info.param.Name); });

TEST(HexLoadLinesTest, CharactersPastTheLastRecordByteAreNotKept)
{
    TTempFolder temp;
    WriteFile(temp.File("long.hex"), ":0101000011ED" + std::string(1 << 20, 'x') + "\n:00000001FF\n");
    TMemoryImage image{};
    EXPECT_EQ(LoadHexImage(temp.File("long.hex"), image).BytesStored, 1u);
    EXPECT_EQ(image[0x0100], 0x11);
}

TEST(HexLoadBootTest, BootWithAnEmptyBiosFileStopsBeforeMemoryIsWritten)
{
    TTempFolder temp;
    WriteFile(temp.File("cpm22.hex"), MakeHex(0xE400, std::vector<uint8_t>(256, 0x11)));
    WriteFile(temp.File("zubios.hex"), "");
    TTavrinMachine m(temp.Folder());
    m.EnsureDriveAImage();
    const uint8_t marker = 0x5A;
    m.CpuEmu1.WriteMemory(0xE400, 1, &marker);
    EXPECT_THROW(m.BootSystem(), EHexNoDataError);
    uint8_t now = 0;
    m.CpuEmu1.ReadMemory(0xE400, 1, &now);
    EXPECT_EQ(now, 0x5A);
}

} // namespace
