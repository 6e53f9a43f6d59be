// The Disk Manager page on real images through the scripted prompts: the
// listing's format, the enabling rules, imports from a temporary folder,
// delete, rename, attributes and user areas, refresh and view.

#include "DiskManagerTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

#include <set>

using namespace cpmtest;
using dmtest::DiskManagerFixture;

namespace {

class DiskManagerPageTest : public DiskManagerFixture {};

TEST_F(DiskManagerPageTest, HeaderRowsAndStatusFollowTheListing)
{
    EXPECT_EQ(Page->DiskListHeader->text().toStdString(),
              "Usr       FileName  Attr  Recs  Exts      Size     Space");
    EXPECT_EQ(Page->DiskSizeValue->text(), "0");
    EXPECT_EQ(Page->FileNameValue->text(), "");
    Open();
    Put({{"a.txt", std::string(300, 'x')}});
    ASSERT_EQ(List().count(), 1);
    EXPECT_EQ(Row(0), " 0           A.TXT  rsa     3     1       384      2048");
    EXPECT_EQ(Page->DiskSizeValue->text(), "1,040,384");
    EXPECT_EQ(Page->FreeSpaceValue->text(), "1,030,144");
    EXPECT_EQ(Page->FileNameValue->text(), "work");
    Page->DM_EjectDiskAct->trigger();
    EXPECT_EQ(List().count(), 0);
    EXPECT_EQ(Page->FreeSpaceValue->text(), "0");
    EXPECT_TRUE(Page->ManagerDiskFile().empty());
}

struct EnablingCase {
    const char* name;
    bool open;
    std::vector<int> selected;
    bool mounted;
    std::set<std::string> enabled;
};

void PrintTo(const EnablingCase& c, std::ostream* os) { *os << c.name; }

class DiskManagerEnabling : public DiskManagerFixture, public ::testing::WithParamInterface<EnablingCase> {};

TEST_P(DiskManagerEnabling, ActionsFollowDiskSelectionAndMount)
{
    const EnablingCase& c = GetParam();
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}});
    if (!c.open)
        Page->DM_EjectDiskAct->trigger();
    List().setCurrentRow(-1);
    List().clearSelection();
    if (!c.selected.empty()) {
        List().setCurrentRow(c.selected.front(), QItemSelectionModel::ClearAndSelect);
        for (int r : c.selected)
            List().item(r)->setSelected(true);
    }
    if (c.mounted)
        Machine->MountDrive(1, Image);
    Page->UpdateActions();
    std::set<std::string> enabled;
    for (const auto& a : Page->Actions())
        if (a.Action->isEnabled())
            enabled.insert(a.Action->objectName().toStdString().substr(3));
    EXPECT_EQ(enabled, c.enabled);
}

const std::set<std::string> Always = {"SelectDiskFileAct", "CreateDiskAct"};
std::set<std::string> With(std::set<std::string> more)
{
    more.insert(Always.begin(), Always.end());
    for (const char* a : {"RefreshDisplayAct", "EjectDiskAct", "BackupDiskAct", "SaveDiskToHexAct"})
        more.insert(a);
    return more;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, DiskManagerEnabling,
    ::testing::Values(
        EnablingCase{"NoDisk", false, {}, false, Always},
        EnablingCase{"NothingSelected", true, {}, false, With({"ImportTextFileAct", "ImportBinaryFileAct"})},
        EnablingCase{"OneSelected", true, {1}, false,
                     With({"ImportTextFileAct", "ImportBinaryFileAct", "ExportTextFileAct", "ExportBinaryFileAct",
                           "DeleteFileAct", "RenameFileAct", "SetAttributesAct", "ViewFileAct"})},
        EnablingCase{"TwoSelected", true, {0, 2}, false,
                     With({"ImportTextFileAct", "ImportBinaryFileAct", "ExportTextFileAct", "ExportBinaryFileAct",
                           "DeleteFileAct", "SetAttributesAct"})},
        EnablingCase{"MountedInDriveB", true, {1}, true,
                     With({"ExportTextFileAct", "ExportBinaryFileAct", "ViewFileAct"})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiskManagerPageTest, ImportsNameFilesAsCpmDoesAndSelectTheLastOne)
{
    Open();
    Prompts.FilesAnswers.push_back(std::vector<std::string>{HostFile("readme.markdown", "# hi\n"),
                                                            HostFile("Prog.Com", std::string(3000, '\x01'))});
    ASSERT_TRUE(Run(Page->DM_ImportTextFileAct));
    EXPECT_EQ(Prompts.Log.front().File.Title, "Import Text Files");
    EXPECT_EQ(Names(), (std::vector<std::string>{"PROG.COM", "README.MAR"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
    // Text imports pad the last record with 1Ah.
    const std::string text = cpmtest::AsString(cpmtest::Peek(Image, BlockOffset(4), 128));
    EXPECT_EQ(text.substr(0, 5), "# hi\n");
    EXPECT_EQ(text.substr(5), std::string(123, '\x1A'));
}

TEST_F(DiskManagerPageTest, ImportRefusalsAndTheirMessages)
{
    Open();
    const std::string big = HostFile("big.bin", std::string(600000, 'b'));
    const std::string big2 = HostFile("big2.bin", std::string(600000, 'c'));
    EXPECT_THROW(Page->ImportBinaryFiles({big, big2}), std::runtime_error);
    Prompts.FilesAnswers.push_back(std::vector<std::string>{big, big2});
    Run(Page->DM_ImportBinaryFileAct);
    EXPECT_EQ(Prompts.LastText(), "The files to be copied require more space then is available on the disk!");
    EXPECT_EQ(List().count(), 0);

    // A host name that leaves no CP/M name stops the import before it starts.
    Prompts.FilesAnswers.push_back(std::vector<std::string>{HostFile("ok.txt", "1"), HostFile(".profile", "2")});
    Run(Page->DM_ImportBinaryFileAct);
    EXPECT_EQ(Prompts.LastText(), "The file name \".profile\" does not make a CPM file name.");
    EXPECT_EQ(List().count(), 0);

    // An existing name ends the loop after the files before it.
    Put({{"one.txt", "1"}});
    Prompts.FilesAnswers.push_back(
        std::vector<std::string>{HostFile("two.txt", "2"), HostFile("one.txt", "1"), HostFile("three.txt", "3")});
    Run(Page->DM_ImportBinaryFileAct);
    EXPECT_EQ(Prompts.LastText(), "The CPM file already exists!");
    EXPECT_EQ(Names(), (std::vector<std::string>{"ONE.TXT", "TWO.TXT"}));
}

TEST_F(DiskManagerPageTest, HostFileNamesDifferingInCaseAreTwoFiles)
{
    Open();
    // Both give the CP/M name A.TXT: the second is refused as existing, so
    // each was taken as a file of its own.
    Put({{"a.txt", "lower"}});
    Prompts.FilesAnswers.push_back(std::vector<std::string>{HostFile("A.TXT", "upper")});
    Run(Page->DM_ImportBinaryFileAct);
    EXPECT_EQ(Prompts.LastText(), "The CPM file already exists!");
}

TEST_F(DiskManagerPageTest, DeleteAsksAndKeepsTheSelectionInRange)
{
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}});
    Select({2});
    Prompts.DialogAnswers.push_back(mrCancel);
    ASSERT_TRUE(Run(Page->DM_DeleteFileAct));
    EXPECT_EQ(Prompts.LastText(), "Delete File \"C.TXT\"?");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Confirmation);
    EXPECT_EQ(List().count(), 3);

    Prompts.DialogAnswers.push_back(mrOk);
    Run(Page->DM_DeleteFileAct);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});

    Put({{"c.txt", "3"}});
    Select({0, 2});
    Prompts.DialogAnswers.push_back(mrOk);
    Run(Page->DM_DeleteFileAct);
    EXPECT_EQ(Prompts.LastText(), "Delete the 2 selected files from the disk?");
    EXPECT_EQ(Names(), std::vector<std::string>{"B.TXT"});
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});
}

TEST_F(DiskManagerPageTest, RenameAsksWithTheOldNameAndSelectsTheNewRow)
{
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}});
    Select({0});
    Prompts.InputAnswers.push_back("zed.doc");
    ASSERT_TRUE(Run(Page->DM_RenameFileAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Rename File");
    EXPECT_EQ(Prompts.Log.back().Text, "Old File Name: A.TXT");
    EXPECT_EQ(Names(), (std::vector<std::string>{"B.TXT", "ZED.DOC"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    // An empty answer changes nothing.
    Prompts.InputAnswers.push_back("");
    Run(Page->DM_RenameFileAct);
    EXPECT_EQ(Names(), (std::vector<std::string>{"B.TXT", "ZED.DOC"}));
}

TEST_F(DiskManagerPageTest, AttributesOfSeveralFilesKeepGrayedBitsAndMoveUsers)
{
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}});
    Select({0});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        EXPECT_EQ(d.Label2->text(), "A.TXT");
        d.ReadFile->setChecked(true);
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(Run(Page->DM_SetAttributesAct));
    EXPECT_EQ(Page->ManagerFileList()->GetItem(0)->Attributes, CpmAttrReadOnly);

    // A.TXT read-only, B.TXT not: the grayed box keeps each one's bit.
    Select({0, 1});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        EXPECT_EQ(d.Label2->text(), "(2 files selected)");
        EXPECT_EQ(d.ReadFile->checkState(), Qt::PartiallyChecked);
        d.SysFile->setChecked(true);
        d.UserAreaList->setCurrentIndex(d.UserAreaList->findData(3));
        return int(QDialog::Accepted);
    };
    Run(Page->DM_SetAttributesAct);
    ASSERT_EQ(Page->ManagerFileList()->GetCount(), 3);
    const auto* a = Page->ManagerFileList()->GetItem(1);
    const auto* b = Page->ManagerFileList()->GetItem(2);
    EXPECT_EQ(a->FileName, "A.TXT");
    EXPECT_EQ(a->User, 3);
    EXPECT_EQ(a->Attributes, CpmAttrReadOnly | CpmAttrSystem);
    EXPECT_EQ(b->User, 3);
    EXPECT_EQ(b->Attributes, CpmAttrSystem);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2}));

    // Cancel changes nothing.
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        d.ArcFile->setChecked(true);
        return int(QDialog::Rejected);
    };
    Run(Page->DM_SetAttributesAct);
    EXPECT_EQ(Page->ManagerFileList()->GetItem(2)->Attributes, CpmAttrSystem);
}

TEST_F(DiskManagerPageTest, RefreshKeepsTheCurrentFileSelectedByNameAndUser)
{
    Open();
    Put({{"b.txt", "2"}, {"c.txt", "3"}});
    Select({1});
    Put({{"a.txt", "1"}});  // rows move down by one
    Select({2});
    ASSERT_TRUE(Run(Page->DM_RefreshDisplayAct));
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});
    EXPECT_EQ(Page->ManagerFileList()->GetItem(2)->FileName, "C.TXT");
}

// The drive writes through to the file, so the page reads what the
// emulated machine wrote into its directory.
TEST_F(DiskManagerPageTest, SeesWhatAMountedDriveWrote)
{
    Open();
    Machine->MountDrive(1, Image);
    TDiskDrive* drive = Machine->FDiskController->GetDrive(1);
    ASSERT_NE(drive, nullptr);
    std::array<uint8_t, 128> record{};
    drive->Track = 2;
    drive->Sector = 0;
    drive->ReadSector(record.data());  // fill the drive's read window first
    const TCpmDirEntry entry = MakeEntry(5, "FROMCPM", "TXT", 0, 0, 1, {4});
    std::copy(entry.begin(), entry.end(), record.begin());
    drive->WriteSector(record.data());
    ASSERT_TRUE(Run(Page->DM_RefreshDisplayAct));
    ASSERT_EQ(List().count(), 1);
    EXPECT_EQ(Row(0).substr(0, 18), " 5     FROMCPM.TXT");
    // The drive itself reads back its own write.
    std::array<uint8_t, 128> again{};
    drive->ReadSector(again.data());
    EXPECT_EQ(again, record);
}

TEST_F(DiskManagerPageTest, ViewShowsTheFileReadOnlyWithItsInfo)
{
    Open();
    Put({{"notes.txt", std::string("line one\r\nline two\r\n\x1A garbage")}});
    Select({0});
    ASSERT_TRUE(Run(Page->DM_ViewFileAct));
    EXPECT_EQ(Viewer->TextViewer->toPlainText().toStdString(), "line one\nline two\n");
    EXPECT_EQ(Viewer->windowTitle().toStdString(), "View [NOTES.TXT user area: 0]");
    EXPECT_EQ(Viewer->DiskFileValue->text(), "work");
    EXPECT_TRUE(Viewer->TextViewer->isReadOnly());
    EXPECT_TRUE(Viewer->isVisible());
    Viewer->hide();
    // A double click views the row too, and the list click rule keeps one row.
    Page->DiskFileListDblClick();
    EXPECT_TRUE(Viewer->isVisible());
}

TEST_F(DiskManagerPageTest, MouseUpSelectsOnlyTheCursorRowOrClears)
{
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}});
    List().clearSelection();
    List().setCurrentRow(1, QItemSelectionModel::NoUpdate);
    List().item(0)->setSelected(true);
    Page->DiskFileListMouseUp();
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    Page->DM_EjectDiskAct->trigger();
    Page->DiskFileListMouseUp();
    EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(DiskManagerPageTest, SelectDiskAsksWithTheTitleAndReportsABadImage)
{
    Prompts.FileAnswers.push_back(Image);
    ASSERT_TRUE(Run(Page->DM_SelectDiskFileAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Select CPM Disk File To View");
    EXPECT_EQ(Prompts.Log.back().File.Filter, "Emulator Disk Files|*.cpmdsk|All Files|*.*");
    EXPECT_EQ(Page->ManagerDiskFile(), Image);
    Prompts.FileAnswers.push_back(Dir.File("missing.cpmdsk"));
    Run(Page->DM_SelectDiskFileAct);
    EXPECT_EQ(Prompts.LastText(), "Selected disk is bad!");
    EXPECT_EQ(List().count(), 0);
    EXPECT_EQ(Page->ManagerDiskFile(), Image);
}

}  // namespace
