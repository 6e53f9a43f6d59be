// "Load Hex File" replaces only the memory its records reach: records out of
// rising order, or wrapping round to the first one's address, leave the
// rest of memory as it was.

#include <gtest/gtest.h>

#include "support/MachineTestSupport.h"

using namespace tavrin::test;

namespace {

struct TSpanCase {
    const char* Name;
    std::string Hex;
    uint16_t SpanStart;     // first address replaced
    uint32_t SpanLength;    // addresses replaced, wrapping at FFFFh
    uint16_t Pc;
};

std::string Record(uint16_t address, int count, uint8_t value)
{
    return MakeHex(address, std::vector<uint8_t>(static_cast<size_t>(count), value));
}

// A record without the end record that MakeHex appends.
std::string Data(uint16_t address, int count, uint8_t value)
{
    std::string hex = Record(address, count, value);
    return hex.substr(0, hex.find(":00000001"));
}

class HexLoadSpanTest : public ::testing::TestWithParam<TSpanCase> {};

TEST_P(HexLoadSpanTest, MemoryOutsideTheRecordsIsKept)
{
    const TSpanCase& c = GetParam();
    TTempFolder temp;
    WriteFile(temp.File("a.hex"), c.Hex);
    TTavrinMachine m(temp.Folder());
    std::vector<uint8_t> before(65536, 0xEE);
    m.CpuEmu1.WriteMemory(0, 32768, before.data());
    m.CpuEmu1.WriteMemory(32768, 32768, before.data());

    m.LoadHexToMemory(temp.File("a.hex"));

    std::vector<uint8_t> memory(65536);
    m.CpuEmu1.ReadMemory(0, 32768, memory.data());
    m.CpuEmu1.ReadMemory(32768, 32768, memory.data() + 32768);
    uint32_t replaced = 0;
    for (uint32_t a = 0; a < 65536; ++a) {
        bool inSpan = ((a - c.SpanStart) & 0xFFFF) < c.SpanLength;
        replaced += memory[a] != 0xEE;
        if (!inSpan) {
            ASSERT_EQ(memory[a], 0xEE) << "address " << std::hex << a;
        }
    }
    EXPECT_GT(replaced, 0u);
    EXPECT_EQ(m.CpuEmu1.NextPC, c.Pc);
}

INSTANTIATE_TEST_SUITE_P(
    Loads, HexLoadSpanTest,
    ::testing::Values(
        TSpanCase{"RecordBelowTheFirstEndsWhereItBegan", Data(0x0100, 16, 0x11) + Record(0x00F0, 16, 0x22), 0x00F0,
                  32, 0x0100},
        TSpanCase{"RecordBelowTheFirstEndsShortOfIt", Data(0x0100, 16, 0x11) + Record(0x00F0, 8, 0x22), 0x00F0, 32,
                  0x0100},
        TSpanCase{"FallingRecords", Data(0x0200, 16, 0x11) + Record(0x0100, 16, 0x22), 0x0100, 0x110, 0x0200},
        TSpanCase{"RisingRecords", Data(0xE400, 128, 0x11) + Record(0xE480, 128, 0x22), 0xE400, 256, 0xE400},
        TSpanCase{"WrapPastFFFFh", Record(0xFFF8, 16, 0x33), 0xFFF8, 16, 0xFFF8}),
    [](const ::testing::TestParamInfo<TSpanCase>& info) { return std::string(info.param.Name); });

TEST(HexLoadedSpanTest, OnlyAFullLoadCoversAllMemory)
{
    TStoredMap stored;
    stored.set();
    EXPECT_EQ(HexLoadedSpan(stored, 0x1234).Length, 65536u);
    stored.reset(0x8000);
    THexSpan span = HexLoadedSpan(stored, 0x0000);
    EXPECT_EQ(span.Start, 0x8001);
    EXPECT_EQ(span.Length, 65535u);
    stored.reset();
    stored.set(0x0000);
    stored.set(0x8000);
    // Two gaps of equal length: the span starts at the first record.
    EXPECT_EQ(HexLoadedSpan(stored, 0x8000).Start, 0x8000);
    EXPECT_EQ(HexLoadedSpan(stored, 0x0000).Start, 0x0000);
}

} // namespace
