// The device mapping byte as the machine serves it: the cold-boot default on
// port 48h, and the IOBYTE at 0003h, which follows the mapping lists only
// once the machine has booted.

#include <gtest/gtest.h>

#include "support/MachineTestSupport.h"

#include <functional>
#include <stdexcept>

using namespace tavrin::test;

namespace {

enum class TBoot { None, Failed, Done };

struct TMappingCase {
    const char* Name;
    TBoot Boot;
    std::function<void(TDeviceMapping&)> Act;
    uint8_t IOByte;  // memory 0003h afterwards, 77h before
    uint8_t Port48;
};

TEST(DeviceMappingTest, TheIOByteFollowsTheListsOnlyOnceBooted) {
    using enum TMappedDevice;
    const TMappingCase cases[] = {
        {"a list change before boot", TBoot::None, [](TDeviceMapping& d) { d.SetItemIndex(Lst, 2); }, 0x77, 0x01},
        {"Defaults before boot", TBoot::None, [](TDeviceMapping& d) { d.RestoreDefaults(); }, 0x77, 0x01},
        {"a list change after a failed boot", TBoot::Failed, [](TDeviceMapping& d) { d.SetItemIndex(Lst, 2); }, 0x77,
         0x01},
        {"a list change once booted", TBoot::Done, [](TDeviceMapping& d) { d.SetItemIndex(Lst, 2); }, 0x81, 0x01},
        {"a list without a selection gives 3", TBoot::Done, [](TDeviceMapping& d) { d.SetItemIndex(Rdr, -1); }, 0x0D,
         0x01},
        {"Defaults once booted", TBoot::Done,
         [](TDeviceMapping& d) {
             d.SetItemIndex(Con, 0);
             d.RestoreDefaults();
         },
         0x01, 0x01},
        {"Set Defaults takes every list", TBoot::Done,
         [](TDeviceMapping& d) {
             d.SetItemIndex(Con, 3);  // UC1
             d.SetItemIndex(Rdr, 2);  // UR1
             d.SetItemIndex(Pun, 2);  // UP1
             d.SetItemIndex(Lst, 2);  // LPT
             d.SetDefaults();
         },
         0xAB, 0xAB},
        {"a new cold-boot mapping leaves memory", TBoot::Done, [](TDeviceMapping& d) { d.SetColdBootMapping(0xAB); },
         0x77, 0xAB},
        {"showing the IOBYTE writes nothing", TBoot::Done, [](TDeviceMapping& d) { d.ShowIOByte(0x06); }, 0x77, 0x01},
    };
    TTempFolder temp;
    WriteFile(temp.File("cpm22.hex"), MakeHex(0xE400, {0x76}));
    WriteFile(temp.File("zubios.hex"), MakeHex(0xFA00, {0x76}));
    for (const TMappingCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTavrinMachine m(temp.Folder());
        if (c.Boot == TBoot::Failed) {
            std::filesystem::remove(temp.File("DiskA.cpmdsk"));
            EXPECT_THROW(m.BootSystem(), std::runtime_error);
        }
        if (c.Boot == TBoot::Done) {
            m.EnsureDriveAImage();
            m.BootSystem();
        }
        EXPECT_EQ(m.Booted(), c.Boot == TBoot::Done);
        m.Cpu().WriteMemoryByte(TDeviceMapping::IOByteAddress, 0x77);
        c.Act(m.Mapping());
        EXPECT_EQ(m.Cpu().ReadMemoryByte(TDeviceMapping::IOByteAddress), c.IOByte);
        EXPECT_EQ(InPort(m, 0x48), c.Port48);
    }
}

}  // namespace
