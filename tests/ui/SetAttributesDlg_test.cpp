// The attribute dialog's boxes and user list, its tri-state rules for
// several files, and AppendMissingChar.

#include "ui/SetAttributesDlg.h"

#include "disk/CpmDiskDrive.h"
#include "support/QtTestApp.h"

#include <QComboBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

class SetAttributesDlgTest : public ::testing::Test {
protected:
    bool FApp = (tavrin::test::QtTestApp(), true);  // before any widget
    TSetAttributesDlg Dlg;
};

TEST_F(SetAttributesDlgTest, FormAndUserList)
{
    EXPECT_EQ(Dlg.windowTitle(), "Set File Attributes");
    EXPECT_EQ(Dlg.Label2->text(), "(none)");
    EXPECT_EQ(Dlg.SysFile->text(), "System File");
    EXPECT_EQ(Dlg.ArcFile->text(), "Achived File");
    EXPECT_EQ(Dlg.ReadFile->text(), "Read Only FIle");
    ASSERT_EQ(Dlg.UserAreaList->count(), 17);
    EXPECT_EQ(Dlg.UserAreaList->itemText(0), "No Change");
    EXPECT_EQ(Dlg.UserAreaList->itemText(16), "User 15");
    EXPECT_EQ(Dlg.UserAreaList->itemData(16).toInt(), 15);
}

struct TriCase {
    const char* name;
    uint8_t attributes, unchanged, user;
    bool multi;
    Qt::CheckState read, system, archive;
    int userIndex;
};

void PrintTo(const TriCase& c, std::ostream* os) { *os << c.name; }

class SetAttributesTri : public SetAttributesDlgTest, public ::testing::WithParamInterface<TriCase> {};

TEST_P(SetAttributesTri, BoxesAndUserFollowTheArguments)
{
    const TriCase& c = GetParam();
    Dlg.SetAttributes(c.attributes, c.unchanged, c.user, c.multi);
    EXPECT_EQ(Dlg.ReadFile->checkState(), c.read);
    EXPECT_EQ(Dlg.SysFile->checkState(), c.system);
    EXPECT_EQ(Dlg.ArcFile->checkState(), c.archive);
    EXPECT_EQ(Dlg.UserAreaList->currentIndex(), c.userIndex);
    uint8_t attributes = 0xFF, unchanged = 0xFF;
    Dlg.GetAttributes(attributes, unchanged);
    EXPECT_EQ(attributes, c.attributes & ~(c.multi ? c.unchanged : 0));
    EXPECT_EQ(unchanged, c.multi ? c.unchanged : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetAttributesTri,
    ::testing::Values(
        TriCase{"OneFileNeverGrayed", 5, 7, 3, false, Qt::Checked, Qt::Unchecked, Qt::Checked, 4},
        TriCase{"SeveralSystemGrayed", 1, 2, 0, true, Qt::Checked, Qt::PartiallyChecked, Qt::Unchecked, 1},
        TriCase{"SeveralAllGrayed", 0, 7, 15, true, Qt::PartiallyChecked, Qt::PartiallyChecked,
                Qt::PartiallyChecked, 16},
        TriCase{"UnknownUserIsNoChange", 0, 0, 200, false, Qt::Unchecked, Qt::Unchecked, Qt::Unchecked, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetAttributesDlgTest, AGrayedBoxCyclesAndReportsUnchangedOnlyWhileGrayed)
{
    Dlg.SetAttributes(0, CpmAttrSystem, 0, true);
    const Qt::CheckState cycle[] = {Qt::Unchecked, Qt::Checked, Qt::PartiallyChecked, Qt::Unchecked};
    for (Qt::CheckState expected : cycle) {
        Dlg.SysFile->click();
        EXPECT_EQ(Dlg.SysFile->checkState(), expected);
        uint8_t attributes = 0, unchanged = 0;
        Dlg.GetAttributes(attributes, unchanged);
        EXPECT_EQ(unchanged, expected == Qt::PartiallyChecked ? CpmAttrSystem : 0);
        EXPECT_EQ(attributes, expected == Qt::Checked ? CpmAttrSystem : 0);
    }
    // A box that was not grayed never becomes so.
    Dlg.ReadFile->click();
    Dlg.ReadFile->click();
    EXPECT_EQ(Dlg.ReadFile->checkState(), Qt::Unchecked);
    EXPECT_EQ(Dlg.GetUserArea(), 0);
    Dlg.UserAreaList->setCurrentIndex(0);
    EXPECT_EQ(Dlg.GetUserArea(), 255);
}

TEST(AppendMissingChar, AppendsOnlyWhenMissing)
{
    EXPECT_EQ(AppendMissingChar("", '/'), "");
    EXPECT_EQ(AppendMissingChar("/tmp/", '/'), "/tmp/");
    EXPECT_EQ(AppendMissingChar("/tmp", '/'), "/tmp/");
    EXPECT_EQ(AppendMissingChar("C:\\dir", '\\'), "C:\\dir\\");
}

}  // namespace
