#include "disk/DiskController.h"

#include <gtest/gtest.h>

#include <ostream>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "StoreTestSupport.h"

namespace fs = std::filesystem;
using storetest::TempFolder;

namespace {

std::vector<uint8_t> ReadBytes(const std::string& p) {
    const std::string s = storetest::ReadFile(p);
    return std::vector<uint8_t>(s.begin(), s.end());
}

// A controller wired to a 64 KB memory that records every event.
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        memory.fill(0);
        ctl.OnDmaToMemory = [this](TDiskController& sender, uint16_t address, uint16_t count, uint8_t* buffer) {
            EXPECT_EQ(&sender, &ctl);
            EXPECT_EQ(buffer, ctl.SectorBuffer.data());
            log.push_back("to:" + std::to_string(address) + ":" + std::to_string(count));
            for (int i = 0; i < count; ++i) memory[(address + i) & 0xFFFF] = buffer[i];
        };
        ctl.OnDmaFromMemory = [this](TDiskController& sender, uint16_t address, uint16_t count, uint8_t* buffer) {
            EXPECT_EQ(&sender, &ctl);
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

// ---- registers ---------------------------------------------------------------

TEST_F(ControllerTest, RegistersReadBackLastWrite) {
    for (uint8_t r = 1; r < 8; ++r) ctl.WritePort(0x70 + r, static_cast<uint8_t>(0x10 * r + 1));
    for (uint8_t r = 1; r < 8; ++r) EXPECT_EQ(ctl.ReadPort(0x70 + r), 0x10 * r + 1) << int(r);
    EXPECT_EQ(ctl.GetSectorReg(), 0x3121);
    EXPECT_EQ(ctl.GetTrackReg(), 0x5141);
    EXPECT_EQ(ctl.GetDmaAddress(), 0x7161);
    // The register number is the low bits of the port; 0-7 also work bare.
    ctl.WritePort(2, 0x99);
    EXPECT_EQ(ctl.ReadPort(0x72), 0x99);
}

TEST_F(ControllerTest, RegistersEightToFifteenAreNotThere) {
    for (uint8_t r = 0; r < 8; ++r) ctl.Registers[r] = static_cast<uint8_t>(r + 1);
    const auto before = ctl.Registers;
    const auto buffer = ctl.SectorBuffer;
    for (uint8_t port = 8; port < 16; ++port) {
        ctl.WritePort(port, 0x00);
        ctl.WritePort(0x70 + port, 0x00);
        EXPECT_EQ(ctl.ReadPort(port), 0xFF) << int(port);
        EXPECT_EQ(ctl.ReadPort(0x70 + port), 0xFF) << int(port);
    }
    EXPECT_EQ(ctl.Registers, before);
    EXPECT_EQ(ctl.SectorBuffer, buffer);
    EXPECT_TRUE(log.empty());
}

TEST_F(ControllerTest, DriveSelectUsesTwoBits) {
    const std::string a = NewImage("a.cpmdsk");
    ctl.MountDisk(a, 0);
    Select(4, 0, 0, 0);
    EXPECT_EQ(ctl.ReadPort(0x71), 4);
    EXPECT_EQ(ctl.GetSelectedDrive(), ctl.GetDrive(0));
    EXPECT_EQ(Command(2), 0);
    EXPECT_EQ(log, (Log{"read:0", "to:0:128"}));
}

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
// Table rows show as their name in test listings, not as raw bytes.
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class ControllerCommand : public ControllerTest, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(ControllerCommand, StatusAndEvents) {
    const CommandCase& c = GetParam();
    if (c.mounted) ctl.MountDisk(NewImage("b.cpmdsk"), 1);
    Select(1, c.track, c.sector, 0x1234);
    const auto image = c.mounted ? ReadBytes(ctl.GetDriveFileName(1)) : std::vector<uint8_t>{};
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
        EXPECT_EQ(ReadBytes(ctl.GetDriveFileName(1)), image) << "image changed";
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
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ControllerTest, SectorsTravelBetweenMemoryAndImage) {
    const std::string image = NewImage("data.cpmdsk");
    ctl.MountDisk(image, 0);
    for (int i = 0; i < 128; ++i) memory[0x8000 + i] = static_cast<uint8_t>(i ^ 0x5A);
    Select(0, 10, 7, 0x8000);
    ASSERT_EQ(Command(3), 0);

    const auto bytes = ReadBytes(image);
    const size_t offset = (10 * 32 + 7) * 128;
    for (int i = 0; i < 128; ++i) ASSERT_EQ(bytes[offset + i], i ^ 0x5A) << i;
    EXPECT_EQ(bytes[offset + 128], 0xE5);

    // Read it back into another place, the last bytes of memory.
    Select(0, 10, 7, 0xFF80);
    ASSERT_EQ(Command(2), 0);
    EXPECT_EQ(ctl.ReadPort(0x70), 0);
    EXPECT_EQ(ctl.ReadPort(0x72), 7);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(memory[0xFF80 + i], i ^ 0x5A) << i;
}

TEST_F(ControllerTest, ShortImageGivesReadAndWriteStatus) {
    const std::string image = dir / "short.cpmdsk";
    storetest::WriteFile(image, std::string(1000, '\xE5'));
    ctl.MountDisk(image, 0);
    Select(0, 0, 7, 0);
    EXPECT_EQ(Command(2), 4);
    EXPECT_EQ(log, (Log{"read:0"}));
    EXPECT_EQ(Command(3), 8);
    EXPECT_EQ(fs::file_size(image), 1000u);
    Select(0, 0, 6, 0);
    EXPECT_EQ(Command(2), 0);
}

TEST_F(ControllerTest, OtherErrorsFromEventsPassToTheCaller) {
    ctl.MountDisk(NewImage("e.cpmdsk"), 0);
    ctl.OnDmaToMemory = [](TDiskController&, uint16_t, uint16_t, uint8_t*) { throw std::logic_error("boom"); };
    Select(0, 0, 0, 0);
    EXPECT_THROW(ctl.WritePort(0x70, 2), std::logic_error);
    // A disk error raised by a handler becomes the status.
    ctl.OnDmaToMemory = [](TDiskController&, uint16_t, uint16_t, uint8_t*) { throw EDiskError("x", 0x108); };
    EXPECT_EQ(Command(2), 8);
}

TEST_F(ControllerTest, HandlerThatEjectsTheDriveIsSafe) {
    ctl.MountDisk(NewImage("f.cpmdsk"), 0);
    ctl.OnDiskRead = [](TDiskController& sender, uint8_t drive) { sender.UnmountDisk(drive); };
    ctl.OnDiskWrite = [](TDiskController& sender, uint8_t drive) { sender.UnmountDisk(drive); };
    Select(0, 0, 0, 0);
    EXPECT_EQ(Command(2), 1);
    ctl.MountDisk(dir / "f.cpmdsk", 0);
    EXPECT_EQ(Command(3), 1);
}

// ---- mounting ------------------------------------------------------------------

TEST_F(ControllerTest, MountReplaceUnmountAndRemount) {
    const std::string a = NewImage("a.cpmdsk");
    const std::string b = NewImage("b.cpmdsk");
    ctl.RemountAll();  // empty drives stay empty
    ctl.MountDisk(a, 6);  // drive number masked: C
    EXPECT_TRUE(ctl.IsDriveMounted(2));
    EXPECT_EQ(ctl.GetDriveFileName(2), a);
    ctl.RemountAll();
    EXPECT_EQ(ctl.GetDriveFileName(2), a);

    ctl.MountDisk(b, 2);  // replaces and closes a
    EXPECT_EQ(ctl.GetDriveFileName(2), b);
    EXPECT_FALSE(ctl.IsImageMounted(a));
    EXPECT_FALSE(TImageRegistry::Instance().IsOpen(a));

    std::string message;
    try {
        ctl.MountDisk(dir / "missing.cpmdsk", 2);
    } catch (const EDiskError& e) {
        message = std::to_string(e.Code) + " " + e.what();
    }
    EXPECT_EQ(message, "1 Selected disk is bad!");
    EXPECT_FALSE(ctl.IsDriveMounted(2));
    EXPECT_EQ(ctl.GetDriveFileName(2), "");
    EXPECT_FALSE(TImageRegistry::Instance().IsOpen(b));

    ctl.MountDisk(a, 0);
    ctl.UnmountAll();
    for (uint8_t d = 0; d < 4; ++d) EXPECT_FALSE(ctl.IsDriveMounted(d));
    EXPECT_FALSE(TImageRegistry::Instance().IsOpen(a));
}

// Every other name of an image mounted in drive B.
class ControllerSameImage : public ControllerTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ControllerSameImage, IsRefusedInEveryDrive) {
    const std::string image = NewImage("disk.cpmdsk");
    fs::create_directory(dir / "sub");
    fs::create_symlink(image, dir / "link.cpmdsk");
    fs::create_hard_link(image, dir / "hard.cpmdsk");
    ctl.MountDisk(image, 1);

    const std::string name = GetParam() == "self" ? image : dir / GetParam();
    EXPECT_TRUE(ctl.IsImageMounted(name)) << name;
    for (uint8_t drive : {1, 2}) {
        try {
            ctl.MountDisk(name, drive);
            ADD_FAILURE() << "mounted again in drive " << int(drive) << ": " << name;
        } catch (const EDiskError& e) {
            EXPECT_EQ(e.Code, 1);
            EXPECT_STREQ(e.what(), "The disk is already mounted in another drive!");
        }
    }
    EXPECT_EQ(ctl.GetDriveFileName(1), image);
    EXPECT_FALSE(ctl.IsDriveMounted(2));
}

INSTANTIATE_TEST_SUITE_P(Names, ControllerSameImage,
                         ::testing::Values("self", "link.cpmdsk", "hard.cpmdsk", "sub/../disk.cpmdsk",
                                           "./disk.cpmdsk", "DISK.CPMDSK"));

TEST_F(ControllerTest, OtherFileOfSimilarNameIsAnotherImage) {
    const std::string lower = NewImage("img.cpmdsk");
    const std::string upper = NewImage("IMG.cpmdsk");  // case-sensitive host: another file
    ctl.MountDisk(lower, 0);
    EXPECT_FALSE(ctl.IsImageMounted(upper));
    ctl.MountDisk(upper, 1);
    EXPECT_TRUE(ctl.IsDriveMounted(1));
}

// ---- reset and remount ----------------------------------------------------------

TEST_F(ControllerTest, ResetClearsRegistersAndRemounts) {
    const std::string a = NewImage("a.cpmdsk");
    const std::string c = NewImage("c.cpmdsk");
    ctl.MountDisk(a, 0);
    ctl.MountDisk(c, 2);
    Select(2, 5, 6, 0x4000);
    fs::remove(c);  // deleted on the host

    EXPECT_EQ(Command(0), 0);
    EXPECT_EQ(log, (Log{"reset"}));
    EXPECT_TRUE(ctl.IsDriveMounted(0));
    EXPECT_EQ(ctl.GetDriveFileName(0), a);
    EXPECT_FALSE(ctl.IsDriveMounted(2));
    EXPECT_EQ(ctl.GetDriveFileName(2), "");
}

TEST_F(ControllerTest, RemountShowsChangesMadeByOthers) {
    const std::string a = NewImage("a.cpmdsk");
    ctl.MountDisk(a, 0);
    Select(0, 0, 1, 0x100);
    ASSERT_EQ(Command(2), 0);  // window now over the start of the image
    {
        TDiskDrive other(a, TImageRole::DiskManager);
        std::array<uint8_t, 128> data;
        data.fill(0x42);
        other.Sector = 1;
        other.WriteSector(data.data());
    }
    ASSERT_EQ(Command(2), 0);
    EXPECT_EQ(memory[0x100], 0xE5);  // still the old window

    ctl.RemountDisk(0);
    ASSERT_EQ(Command(2), 0);
    EXPECT_EQ(memory[0x100], 0x42);
}

TEST_F(ControllerTest, DeletedImageNameStillCountsAsMounted) {
    const std::string a = NewImage("gone.cpmdsk");
    ctl.MountDisk(a, 0);
    fs::remove(a);
    EXPECT_TRUE(ctl.IsImageMounted(a));
    EXPECT_TRUE(ctl.IsImageMounted(dir / "GONE.CPMDSK"));
    EXPECT_FALSE(ctl.IsImageMounted(dir / "other.cpmdsk"));
}

}  // namespace
