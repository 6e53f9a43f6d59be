// The attribute dialog's tri-state rules for one and several files, its
// user list, and AppendMissingChar.

#include "ui/SetAttributesDlg.h"
#include "support/NamedRows.h"

#include "disk/CpmDiskDrive.h"
#include "support/QtTestApp.h"

#include <QComboBox>

#include <gtest/gtest.h>

namespace {

struct TriCase {
    const char* name;
    uint8_t attributes, unchanged, user;
    bool multi;
    const char* boxes;  // read-only, system, archive: '-' unchecked, 'x' checked, '?' grayed
    int userIndex;
};
TAVRIN_PRINT_AS_NAME(TriCase)

class SetAttributesDlgTest : public ::testing::TestWithParam<TriCase> {
protected:
    std::string Boxes()
    {
        std::string s;
        for (QCheckBox* b : {Dlg.ReadFile, Dlg.SysFile, Dlg.ArcFile})
            s += "-?x"[b->checkState()];
        return s;
    }
    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    TSetAttributesDlg Dlg;
};

TEST_P(SetAttributesDlgTest, BoxesAndUserFollowTheArguments)
{
    const TriCase& c = GetParam();
    Dlg.SetAttributes(c.attributes, c.unchanged, c.user, c.multi);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(Dlg.UserAreaList->currentIndex(), c.userIndex);
    uint8_t attributes = 0, unchanged = 0;
    Dlg.GetAttributes(attributes, unchanged);
    EXPECT_EQ(unchanged, c.multi ? c.unchanged : 0);
    EXPECT_EQ(attributes, c.attributes & ~unchanged);
}

INSTANTIATE_TEST_SUITE_P(Cases, SetAttributesDlgTest,
                         ::testing::Values(TriCase{"OneFileNeverGrayed", 5, 7, 3, false, "x-x", 4},
                                           TriCase{"SeveralSystemGrayed", 1, 2, 0, true, "x?-", 1},
                                           TriCase{"SeveralAllGrayed", 0, 7, 15, true, "???", 16},
                                           TriCase{"UnknownUserIsNoChange", 0, 0, 200, false, "---", 0}), tavrin::test::RowName);

TEST_F(SetAttributesDlgTest, AGrayedBoxCyclesAndCountsAsUnchangedOnlyWhileGrayed)
{
    EXPECT_EQ(Dlg.UserAreaList->itemText(0) + Dlg.UserAreaList->itemText(16), "No ChangeUser 15");
    Dlg.SetAttributes(0, CpmAttrSystem, 0, true);
    std::string seen;
    for (int i = 0; i < 4; ++i) {
        Dlg.SysFile->click();
        uint8_t attributes = 0, unchanged = 0;
        Dlg.GetAttributes(attributes, unchanged);
        seen += std::to_string(attributes) + std::to_string(unchanged) + " ";
    }
    EXPECT_EQ(seen, "00 20 02 00 ");  // unchecked, checked, grayed, unchecked
    Dlg.ReadFile->click();
    Dlg.ReadFile->click();
    EXPECT_EQ(Boxes()[0], '-');  // never grayed when it was not
    Dlg.UserAreaList->setCurrentIndex(0);
    EXPECT_EQ(Dlg.GetUserArea(), 255);
    EXPECT_EQ(AppendMissingChar("", '/') + AppendMissingChar("/a/", '/') + AppendMissingChar("/b", '/'), "/a//b/");
}

}  // namespace
