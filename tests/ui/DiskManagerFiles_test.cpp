// The Disk Manager page's copies to the host: export of one and of many
// files (overwrite questions, hostile names, failures that must leave host
// files whole), create and copy disk, and the HEX-32 save.

#include "DiskManagerTestSupport.h"

#include <QAction>

#include <filesystem>
#include <set>

using namespace cpmtest;
using dmtest::DiskManagerFixture;
namespace fs = std::filesystem;

namespace {

class DiskManagerFilesTest : public DiskManagerFixture {
protected:
    std::vector<std::string> Dialogs() const
    {
        std::vector<std::string> texts;
        for (const auto& r : Prompts.Log)
            if (r.Kind == TScriptedUiPrompts::TKind::Dialog)
                texts.push_back(r.Text);
        return texts;
    }
    void ExportAll(const std::string& folder, bool text = false)
    {
        Select({});
        for (int r = 0; r < List().count(); ++r)
            List().item(r)->setSelected(true);
        Prompts.FolderAnswers.push_back(folder);
        Run(text ? Page->DM_ExportTextFileAct : Page->DM_ExportBinaryFileAct);
    }
};

struct OverwriteCase {
    const char* name;
    std::vector<int> answers;
    size_t questions;
    std::vector<std::string> expected;  // contents of A, B, C afterwards ("" = absent)
};

void PrintTo(const OverwriteCase& c, std::ostream* os) { *os << c.name; }

class DiskManagerOverwrite : public DiskManagerFilesTest, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(DiskManagerOverwrite, QuestionsComeOncePerExistingFileUntilAll)
{
    const OverwriteCase& c = GetParam();
    Open();
    Put({{"a.txt", "new a"}, {"b.txt", "new b"}, {"c.txt", "new c"}});
    const std::string out = Dir.File("out");
    fs::create_directory(out);
    storetest::WriteFile(out + "/A.TXT", "old a");
    storetest::WriteFile(out + "/B.TXT", "old b");
    for (int a : c.answers)
        Prompts.DialogAnswers.push_back(a);
    ExportAll(out, true);
    EXPECT_EQ(Dialogs().size(), c.questions);
    EXPECT_EQ(Dialogs().front(), "Overwrite existing file \"A.TXT\"?");
    const char* names[] = {"A.TXT", "B.TXT", "C.TXT"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(storetest::ReadFile(out + "/" + names[i]).substr(0, 5), c.expected[static_cast<size_t>(i)]) << names[i];
    EXPECT_EQ(Page->FLastExportDir, out + "/");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DiskManagerOverwrite,
    ::testing::Values(OverwriteCase{"All", {mrAll}, 1, {"new a", "new b", "new c"}},
                      OverwriteCase{"YesYes", {mrYes, mrYes}, 2, {"new a", "new b", "new c"}},
                      OverwriteCase{"NoYes", {mrNo, mrYes}, 2, {"old a", "new b", "new c"}},
                      OverwriteCase{"Cancel", {mrCancel}, 1, {"old a", "old b", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiskManagerFilesTest, HostileCpmNamesStayInsideANewlyMadeFolder)
{
    PokeEntry(Image, 0, MakeEntry(0, "..", "", 0, 0, 1, {4}));
    PokeEntry(Image, 1, MakeEntry(0, "A/B", "C", 0, 0, 1, {5}));
    PokeEntry(Image, 2, MakeEntry(0, "..\\X", "", 0, 0, 1, {6}));
    PokeEntry(Image, 3, MakeEntry(0, ".", "/", 0, 0, 1, {7}));
    Open();
    ASSERT_EQ(List().count(), 4);
    const std::string out = Dir.File("out/new");
    ExportAll(out);
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
    std::set<std::string> made;
    for (const auto& e : fs::directory_iterator(out)) {
        EXPECT_TRUE(e.is_regular_file());
        made.insert(e.path().filename().string());
    }
    EXPECT_EQ(made.size(), 4u);
    for (const std::string& name : made)
        EXPECT_NE(name.front(), '.') << name;
    EXPECT_EQ(Dir.Count(), 2);  // the image and "out"
}

TEST_F(DiskManagerFilesTest, AFolderThatCannotBeMadeIsRefused)
{
    Open();
    Put({{"a.txt", "1"}, {"b.txt", "2"}});
    const std::string blocker = HostFile("plain", "x");
    ExportAll(blocker + "/sub");
    EXPECT_EQ(Prompts.LastText(), "The folder \"" + blocker + "/sub\" could not be created.");
}

TEST_F(DiskManagerFilesTest, SingleExportAsksForTheFileAndStopsTextAtEndOfFile)
{
    Open();
    Put({{"doc.txt", std::string("text\x1Atail")}});
    Select({0});
    const std::string target = Dir.File("doc-out.txt");
    Prompts.FileAnswers.push_back(target);
    ASSERT_TRUE(Run(Page->DM_ExportTextFileAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Export Text File");
    EXPECT_EQ(Prompts.Log.back().File.FileName, "DOC.TXT");
    EXPECT_EQ(storetest::ReadFile(target), "text");
    EXPECT_EQ(Page->FLastExportDir, Dir.Path().string() + "/");
    Prompts.FileAnswers.push_back(target);
    Run(Page->DM_ExportBinaryFileAct);
    EXPECT_EQ(storetest::ReadFile(target).substr(0, 9), "text\x1Atail");
}

// A file whose directory entry points outside the disk cannot be exported;
// the host file it would have replaced stays as it was.
TEST_F(DiskManagerFilesTest, AFailedExportLeavesTheHostFileWhole)
{
    PokeEntry(Image, 0, MakeEntry(0, "BAD", "TXT", 0, 0, 16, {600}));
    Open();
    Select({0});
    const std::string target = HostFile("keep.txt", "precious");
    const long before = Dir.Count();
    Prompts.FileAnswers.push_back(target);
    Run(Page->DM_ExportBinaryFileAct);
    EXPECT_FALSE(Prompts.Texts().empty());
    EXPECT_EQ(storetest::ReadFile(target), "precious");
    EXPECT_EQ(Dir.Count(), before);
}

TEST_F(DiskManagerFilesTest, CreateDiskUsesTheFinalNameAndRefusesImagesInUse)
{
    Prompts.FileAnswers.push_back(Dir.File("fresh.img"));
    ASSERT_TRUE(Run(Page->DM_CreateDiskAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Create New Disk File");
    EXPECT_EQ(storetest::ReadFile(Dir.File("fresh.cpmdsk")), std::string(1048576, '\xE5'));
    EXPECT_FALSE(fs::exists(Dir.File("fresh.img")));

    // The final name exists: asked for that name; No keeps it.
    storetest::WriteFile(Dir.File("fresh.cpmdsk"), "keep");
    Prompts.FileAnswers.push_back(Dir.File("fresh.img"));
    Prompts.DialogAnswers.push_back(mrNo);
    Run(Page->DM_CreateDiskAct);
    EXPECT_EQ(Prompts.LastText(), Dir.File("fresh.cpmdsk") + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(storetest::ReadFile(Dir.File("fresh.cpmdsk")), "keep");

    Machine->MountDrive(2, Image);
    Prompts.FileAnswers.push_back(Image);
    Run(Page->DM_CreateDiskAct);
    EXPECT_EQ(Prompts.LastText(), "The destination disk file is currently in use and can not be replaced.");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Warning);
}

TEST_F(DiskManagerFilesTest, CopyDiskRefusesTheSameOrAMountedImageAndChecksTheCopy)
{
    Open();
    Put({{"a.txt", "data"}});
    const std::string copy = Dir.File("copy.cpmdsk");
    Prompts.FileAnswers.push_back(copy);
    ASSERT_TRUE(Run(Page->DM_BackupDiskAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Copy Disk File \"work\"");
    EXPECT_EQ(storetest::ReadFile(copy), storetest::ReadFile(Image));

    const std::string inUse = "The destination disk file is currently in use and can not be replaced.";
    fs::create_symlink(Image, Dir.File("alias.cpmdsk"));
    Prompts.FileAnswers.push_back(Dir.File("alias.cpmdsk"));
    Run(Page->DM_BackupDiskAct);
    EXPECT_EQ(Prompts.LastText(), inUse);

    const std::string mounted = Dir.File("mounted.cpmdsk");
    MakeFreshImage(mounted);
    Machine->MountDrive(3, mounted);
    Prompts.FileAnswers.push_back(mounted);
    Run(Page->DM_BackupDiskAct);
    EXPECT_EQ(Prompts.LastText(), inUse);
    EXPECT_EQ(storetest::ReadFile(mounted), std::string(1048576, '\xE5'));

    // A copy that cannot be written completely is reported; the old file stays.
    storetest::WriteFile(copy, "old copy");
    {
        storetest::FileSizeLimit limit(4096);
        Prompts.FileAnswers.push_back(copy);
        Run(Page->DM_BackupDiskAct);
    }
    EXPECT_EQ(Prompts.LastText().rfind("The disk file could not be copied to \"" + copy + "\".", 0), 0u)
        << Prompts.LastText();
    EXPECT_EQ(storetest::ReadFile(copy), "old copy");
}

TEST_F(DiskManagerFilesTest, DiskToHex32WritesTheWholeImageAndConfirms)
{
    Open();
    Prompts.FileAnswers.push_back(Dir.File("image"));
    ASSERT_TRUE(Run(Page->DM_SaveDiskToHexAct));
    const auto& request = Prompts.Log.front().File;
    EXPECT_EQ(request.Title, "Save Disk As Hex File");
    EXPECT_EQ(request.Filter, "Intel 32 bit hex file|*.hex");
    EXPECT_EQ(request.FileName, "work.hex");
    EXPECT_EQ(request.InitialDir, Dir.Path().string() + "/");
    EXPECT_EQ(Prompts.LastText(), "The Hex32 file has been created.");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Information);
    const std::string hex = storetest::ReadFile(Dir.File("image.hex"));
    EXPECT_EQ(hex.substr(0, 17), ":020000040010EA\r\n");
    EXPECT_EQ(hex.substr(17, 9), ":40000000");
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 16384 + 16 + 1);
    EXPECT_EQ(hex.substr(hex.size() - 13), ":00000001FF\r\n");
}

struct HexRefusal {
    const char* name;
    std::function<std::pair<std::string, std::string>(const std::string& dir, const std::string& image)> paths;
    std::function<std::string(const std::string& source, const std::string& dest)> message;
};

void PrintTo(const HexRefusal& c, std::ostream* os) { *os << c.name; }

class DiskManagerHexRefusal : public DiskManagerFilesTest, public ::testing::WithParamInterface<HexRefusal> {};

TEST_P(DiskManagerHexRefusal, IsAWarningAndNoConfirmation)
{
    const auto [source, dest] = GetParam().paths(Dir.Path().string() + "/", Image);
    Page->SaveDiskToHex32(source, dest, TDiskManagerPage::Hex32StartAddress);
    ASSERT_EQ(Prompts.Texts().size(), 1u);
    EXPECT_EQ(Prompts.LastText(), GetParam().message(source, dest));
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Warning);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiskManagerHexRefusal,
    ::testing::Values(
        HexRefusal{"MissingSource",
                   [](const std::string& d, const std::string&) { return std::make_pair(d + "none.cpmdsk", d + "x.hex"); },
                   [](const std::string& s, const std::string&) {
                       return "The disk file named \"" + s + "\" could not be accessed.";
                   }},
        HexRefusal{"SameFile", [](const std::string&, const std::string& i) { return std::make_pair(i, i); },
                   [](const std::string&, const std::string&) {
                       return std::string("The source and destination file names can not be the same.");
                   }},
        HexRefusal{"DestIsAFolder",
                   [](const std::string& d, const std::string& i) {
                       fs::create_directory(d + "dir.hex");
                       return std::make_pair(i, d + "dir.hex");
                   },
                   [](const std::string&, const std::string& t) {
                       return "Output file \"" + t + "\" already exists and can not be delete.";
                   }},
        HexRefusal{"WriteFails",
                   [](const std::string& d, const std::string& i) { return std::make_pair(i, d + "no/such/x.hex"); },
                   [](const std::string&, const std::string& t) {
                       return "The Hex32 file could not be written. Cannot create file \"" + t +
                              "\": No such file or directory";
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiskManagerFilesTest, AFailedHexWriteLeavesNoFileAndNoConfirmation)
{
    const std::string dest = HostFile("old.hex", "old hex");
    {
        storetest::FileSizeLimit limit(65536);
        Page->SaveDiskToHex32(Image, dest, TDiskManagerPage::Hex32StartAddress);
    }
    ASSERT_EQ(Prompts.Texts().size(), 1u);
    EXPECT_EQ(Prompts.LastText().rfind("The Hex32 file could not be written.", 0), 0u);
    EXPECT_EQ(storetest::ReadFile(dest), "old hex");
    EXPECT_EQ(Dir.Count(), 2);
}

}  // namespace
