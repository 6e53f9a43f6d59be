// The disk controller through its ports: each command's status, registers
// and events, with the image untouched whenever a command fails.

#include "disk/DiskController.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "StoreTestSupport.h"
#include "support/NamedRows.h"

using storetest::TempFolder;

namespace {

// A controller wired to a 64 KB memory that records every event.
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        memory.fill(0);
        ctl.OnDmaToMemory = [this](TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
            log.push_back("to:" + std::to_string(address) + ":" + std::to_string(count));
            for (int i = 0; i < count; ++i) memory[(address + i) & 0xFFFF] = buffer[i];
        };
        ctl.OnDmaFromMemory = [this](TDiskController&, uint16_t address, uint16_t count, uint8_t* buffer) {
            log.push_back("from:" + std::to_string(address) + ":" + std::to_string(count));
            for (int i = 0; i < count; ++i) buffer[i] = memory[(address + i) & 0xFFFF];
        };
        ctl.OnDiskRead = [this](TDiskController&, uint8_t drive) { log.push_back("read:" + std::to_string(drive)); };
        ctl.OnDiskWrite = [this](TDiskController&, uint8_t drive) { log.push_back("write:" + std::to_string(drive)); };
        ctl.OnReset = [this](TDiskController&) { log.push_back("reset"); };
    }
    void TearDown() override { ctl.UnmountAll(); }

    std::string NewImage(const std::string& name) {
        const std::string p = dir / name;
        TDiskDrive::FormatDiskImage(p);
        return p;
    }
    // Programs drive, track, sector and DMA address through the ports.
    void Select(uint8_t drive, uint16_t track, uint16_t sector, uint16_t dma) {
        ctl.WritePort(0x71, drive);
        ctl.WritePort(0x72, sector & 0xFF);
        ctl.WritePort(0x73, sector >> 8);
        ctl.WritePort(0x74, track & 0xFF);
        ctl.WritePort(0x75, track >> 8);
        ctl.WritePort(0x76, dma & 0xFF);
        ctl.WritePort(0x77, dma >> 8);
    }
    uint8_t Command(uint8_t command) {
        log.clear();
        ctl.WritePort(0x70, command);
        return ctl.ReadPort(0x70);
    }

    TempFolder dir;
    TDiskController ctl;
    std::array<uint8_t, 65536> memory{};
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

// ---- commands ------------------------------------------------------------------

// One command on a prepared controller: the status, registers and events it leaves.
struct CommandCase {
    const char* name;
    bool mounted;
    uint16_t track;
    uint16_t sector;
    uint8_t command;
    uint8_t status;
    Log events;
};

TAVRIN_PRINT_AS_NAME(CommandCase)
class ControllerCommand : public ControllerTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ControllerCommand, StatusAndEvents) {
    const CommandCase& c = GetParam();
    if (c.mounted) ctl.MountDisk(NewImage("b.cpmdsk"), 1);
    Select(1, c.track, c.sector, 0x1234);
    const auto image = c.mounted ? storetest::ReadFile(ctl.GetDriveFileName(1)) : std::string();
    // Only reset and a successful home change registers other than the status.
    auto registers = ctl.Registers;
    if (c.command == 0) registers.fill(0);
    if (c.command == 1 && c.status == 0) registers[2] = registers[3] = registers[4] = registers[5] = 0;
    registers[0] = c.status;
    EXPECT_EQ(Command(c.command), c.status);
    EXPECT_EQ(ctl.Registers, registers);
    EXPECT_EQ(ctl.IsDriveMounted(1), c.mounted);
    EXPECT_EQ(log, c.events);
    if (c.mounted && c.status != 0) {
        EXPECT_EQ(storetest::ReadFile(ctl.GetDriveFileName(1)), image) << "image changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ControllerCommand,
    ::testing::Values(
        CommandCase{"ReadOk", true, 2, 5, 2, 0, {"read:1", "to:4660:128"}},
        CommandCase{"WriteOk", true, 2, 5, 3, 0, {"write:1", "from:4660:128"}},
        CommandCase{"ReadBadSector", true, 0, 40, 2, 2, {"read:1"}},
        CommandCase{"ReadBadTrack", true, 256, 0, 2, 2, {"read:1"}},
        CommandCase{"WriteBadTrack", true, 300, 0, 3, 2, {"write:1", "from:4660:128"}},
        CommandCase{"WriteBadSector", true, 0, 32, 3, 2, {"write:1", "from:4660:128"}},
        CommandCase{"ReadEmpty", false, 0, 0, 2, 1, {}},
        CommandCase{"WriteEmpty", false, 0, 0, 3, 1, {}},
        CommandCase{"HomeEmpty", false, 3, 4, 1, 1, {}},
        CommandCase{"HomeMounted", true, 3, 4, 1, 0, {}},
        CommandCase{"Undefined4", true, 0, 0, 4, 9, {}},
        CommandCase{"Undefined7", true, 0, 0, 7, 9, {}},
        CommandCase{"Undefined255", false, 0, 0, 255, 9, {}},
        CommandCase{"Reset", true, 9, 9, 0, 0, {"reset"}}),
    tavrin::test::RowName);

}  // namespace
