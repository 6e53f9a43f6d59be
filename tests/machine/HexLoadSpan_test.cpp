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
    uint16_t SpanStart;   // first address replaced
    uint32_t SpanLength;  // addresses replaced, wrapping at FFFFh
};

// count bytes of value at address, as a data record alone (last: with the
// end record).
std::string Data(uint16_t address, int count, uint8_t value, bool last = false)
{
    std::string hex = MakeHex(address, std::vector<uint8_t>(static_cast<size_t>(count), value));
    return last ? hex : hex.substr(0, hex.find(":00000001"));
}

class HexLoadSpanTest : public ::testing::TestWithParam<TSpanCase> {};

TEST_P(HexLoadSpanTest, MemoryOutsideTheRecordsIsKept)
{
    const TSpanCase& c = GetParam();
    TTempFolder temp;
    WriteFile(temp.File("a.hex"), c.Hex);
    TTavrinMachine m(temp.Folder());
    std::vector<uint8_t> memory(65536, 0xEE);
    m.CpuEmu1.WriteMemory(0, 32768, memory.data());
    m.CpuEmu1.WriteMemory(32768, 32768, memory.data());

    THexLoadResult r = m.LoadHexToMemory(temp.File("a.hex"));

    m.CpuEmu1.ReadMemory(0, 32768, memory.data());
    m.CpuEmu1.ReadMemory(32768, 32768, memory.data() + 32768);
    for (uint32_t a = 0; a < 65536; ++a) {
        const bool inSpan = ((a - c.SpanStart) & 0xFFFF) < c.SpanLength;
        ASSERT_EQ(memory[a] == 0xEE, !inSpan) << "address " << std::hex << a;
    }
    EXPECT_EQ(m.CpuEmu1.NextPC, r.First);
}

INSTANTIATE_TEST_SUITE_P(
    Loads, HexLoadSpanTest,
    ::testing::Values(TSpanCase{"BelowTheFirstEndingWhereItBegan", Data(0x100, 16, 1) + Data(0xF0, 16, 2, true), 0xF0, 32},
                      TSpanCase{"BelowTheFirstEndingShortOfIt", Data(0x100, 16, 1) + Data(0xF0, 8, 2, true), 0xF0, 32},
                      TSpanCase{"FallingRecords", Data(0x200, 16, 1) + Data(0x100, 16, 2, true), 0x100, 0x110},
                      TSpanCase{"RisingRecords", Data(0xE400, 128, 1) + Data(0xE480, 128, 2, true), 0xE400, 256},
                      TSpanCase{"WrapPastFFFFh", Data(0xFFF8, 16, 3, true), 0xFFF8, 16}),
    [](const ::testing::TestParamInfo<TSpanCase>& info) { return std::string(info.param.Name); });

} // namespace
