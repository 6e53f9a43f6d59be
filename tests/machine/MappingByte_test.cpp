// The device mapping model: the byte from the four lists, the labels, the
// answer on port 48h and when the IOBYTE at 0003h follows a change.

#include "machine/MappingByte.h"

#include "cpu/z80Cpu.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

class MappingModel : public ::testing::Test {
protected:
    MappingModel()
    {
        Cpu.WriteMemoryByte(TDeviceMapping::IOByteAddress, 0x5A);
        Mapping.OnWriteIOByte = [this](TDeviceMapping&, uint8_t value) {
            Cpu.WriteMemoryByte(TDeviceMapping::IOByteAddress, value);
            ++Writes;
        };
    }
    uint8_t IOByte() const { return Cpu.ReadMemoryByte(TDeviceMapping::IOByteAddress); }

    TCpuEmu Cpu;
    TDeviceMapping Mapping;
    int Writes = 0;
};

TEST_F(MappingModel, StartsWithConsoleOnCrtAndTheRestOnTty)
{
    EXPECT_EQ(Mapping.MappingPortRead(), 0x01);
    EXPECT_EQ(Mapping.GetMappingByte(), 0x01);
    EXPECT_EQ(Mapping.ConLstDeviceLabel(), "CON=CRT, LST=TTY");
    EXPECT_EQ(Mapping.PtrPtpDeviceLabel(), "RDR=TTY, PUN=TTY");
    EXPECT_EQ(Mapping.ItemIndex(TMappedDevice::Con), 1);
}

struct SelectionCase {
    int con, rdr, pun, lst;
    uint8_t value;
};
void PrintTo(const SelectionCase& c, std::ostream* os)
{
    *os << c.con << "_" << c.rdr << "_" << c.pun << "_" << c.lst;
}

class MappingSelections : public MappingModel, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(MappingSelections, ByteFromTheFourLists)
{
    const SelectionCase& c = GetParam();
    Mapping.SetItemIndex(TMappedDevice::Con, c.con);
    Mapping.SetItemIndex(TMappedDevice::Rdr, c.rdr);
    Mapping.SetItemIndex(TMappedDevice::Pun, c.pun);
    Mapping.SetItemIndex(TMappedDevice::Lst, c.lst);
    EXPECT_EQ(Mapping.GetMappingByte(), c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, MappingSelections, ::testing::Values(
    SelectionCase{3, 2, 2, 2, 0xAB},   // UC1, UR1, UP1, LPT
    SelectionCase{0, 0, 0, 0, 0x00},
    SelectionCase{0, 1, 2, 3, 0xE4},
    SelectionCase{-1, 0, 0, 0, 0x03},  // no selection gives 3
    SelectionCase{1, -1, 0, -1, 0xCD}));

TEST_F(MappingModel, SetMappingCombosSpreadsTheFields)
{
    Mapping.SetMappingCombos(0xE4);
    EXPECT_EQ(Mapping.ItemIndex(TMappedDevice::Con), 0);
    EXPECT_EQ(Mapping.ItemIndex(TMappedDevice::Rdr), 1);
    EXPECT_EQ(Mapping.ItemIndex(TMappedDevice::Pun), 2);
    EXPECT_EQ(Mapping.ItemIndex(TMappedDevice::Lst), 3);
    EXPECT_EQ(Mapping.GetMappingByte(), 0xE4);
}

TEST_F(MappingModel, OutOfRangeSelectionIsRefused)
{
    Mapping.SetItemIndex(TMappedDevice::Rdr, 4);
    Mapping.SetItemIndex(TMappedDevice::Rdr, -2);
    EXPECT_EQ(Mapping.GetMappingByte(), 0x01);
}

struct LabelCase {
    uint8_t value;
    const char* conLst;
    const char* ptrPtp;
};
void PrintTo(const LabelCase& c, std::ostream* os) { *os << static_cast<int>(c.value); }

class MappingLabels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(MappingLabels, NamesFromTheLayout)
{
    EXPECT_EQ(ConLstLabelText(GetParam().value), GetParam().conLst);
    EXPECT_EQ(PtrPtpLabelText(GetParam().value), GetParam().ptrPtp);
}

INSTANTIATE_TEST_SUITE_P(Table, MappingLabels, ::testing::Values(
    LabelCase{0x00, "CON=TTY, LST=TTY", "RDR=TTY, PUN=TTY"},
    LabelCase{0x55, "CON=CRT, LST=CRT", "RDR=PTR, PUN=PTP"},
    LabelCase{0xAA, "CON=BAT, LST=LPT", "RDR=UR1, PUN=UP1"},
    LabelCase{0xFF, "CON=UC1, LST=UL1", "RDR=UR2, PUN=UP2"},
    LabelCase{0x1B, "CON=UC1, LST=TTY", "RDR=UR1, PUN=PTP"}));

TEST(MappingLists, ItemTextsKeepTheirBlanks)
{
    EXPECT_STREQ(MappingListItems(TMappedDevice::Con)[2], "BAT - RDR /  LST");
    EXPECT_STREQ(MappingListItems(TMappedDevice::Con)[3], "UC1 - Com port 1");
    EXPECT_STREQ(MappingListItems(TMappedDevice::Rdr)[1], "PTR - Com Port 2");
    EXPECT_STREQ(MappingListItems(TMappedDevice::Pun)[2], "UP1 - File Writer");
    EXPECT_STREQ(MappingListItems(TMappedDevice::Lst)[3], "UL1 -  Com Port 2");
    // Each item starts with the short name of its value.
    for (int d = 0; d < 4; ++d)
        for (int v = 0; v < 4; ++v)
            EXPECT_EQ(std::string(MappingListItems(static_cast<TMappedDevice>(d))[v]).substr(0, 3),
                      MappingDeviceName(static_cast<TMappedDevice>(d), v));
}

TEST_F(MappingModel, BeforeBootChangesLeaveMemoryAlone)
{
    Mapping.SetItemIndex(TMappedDevice::Lst, 2);
    Mapping.MappingChanged();
    Mapping.RestoreDefaults();
    EXPECT_EQ(Writes, 0);
    EXPECT_EQ(IOByte(), 0x5A);
}

TEST_F(MappingModel, AfterBootEveryChangeReachesTheIOByte)
{
    Mapping.FBooted = true;
    Mapping.SetItemIndex(TMappedDevice::Lst, 2);
    EXPECT_EQ(IOByte(), 0x81);
    Mapping.SetItemIndex(TMappedDevice::Con, 0);
    EXPECT_EQ(IOByte(), 0x80);
    EXPECT_EQ(Mapping.MappingPortRead(), 0x01) << "the cold-boot default is separate";
}

TEST_F(MappingModel, SetDefaultsThenDefaultsRestoresTheLists)
{
    Mapping.SetMappingCombos(0xAB);
    Mapping.SetDefaults();
    EXPECT_EQ(Mapping.MappingPortRead(), 0xAB);
    EXPECT_EQ(Mapping.ConLstDeviceLabel(), "CON=UC1, LST=LPT");
    EXPECT_EQ(Mapping.PtrPtpDeviceLabel(), "RDR=UR1, PUN=UP1");
    EXPECT_EQ(Writes, 0) << "Set Defaults writes no memory";

    Mapping.SetItemIndex(TMappedDevice::Con, 1);
    Mapping.FBooted = true;
    Mapping.RestoreDefaults();
    EXPECT_EQ(Mapping.GetMappingByte(), 0xAB);
    EXPECT_EQ(IOByte(), 0xAB);
    EXPECT_EQ(Writes, 1);
}

TEST_F(MappingModel, ShowingTheIOByteDoesNotWriteItBack)
{
    Mapping.FBooted = true;
    Mapping.ShowIOByte(0x94);
    EXPECT_EQ(Mapping.GetMappingByte(), 0x94);
    EXPECT_EQ(Writes, 0);
}

} // namespace
