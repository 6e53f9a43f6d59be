// The Disk Manager page's copies to the host: export of one and of many
// files (overwrite questions, hostile names, failures that leave host files
// whole), create and copy disk, and the HEX-32 save; and the host file list
// that totals the sizes of an import.

#include "DiskManagerTestSupport.h"
#include "platform/core/FileReplace.h"
#include "support/FileSizeLimit.h"
#include "support/ImageHeldElsewhere.h"
#include "ui/FileList.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace tavrin::test;
namespace fs = std::filesystem;

namespace {

class DiskManagerFilesTest : public DiskManagerFixture {
protected:
    void ExportAll(const std::string& folder) {
        List().selectAll();
        Prompts.FolderAnswers.push_back(folder);
        Run(Page->DM_ExportTextFileAct);
    }
    const std::string InUse = "The destination disk file is currently in use and can not be replaced.";
};

// The folder holds A and B; new files begin with "n", old ones with "o".
TEST_F(DiskManagerFilesTest, ExportAsksPerExistingFileUntilAllOrCancel) {
    Put({{"a.txt", "new"}, {"b.txt", "new"}, {"c.txt", "new"}});
    // The answers, and the first letters of A, B and C afterwards ('-' absent).
    const std::pair<std::deque<int>, std::string> rows[] = {
        {{mrAll}, "nnn"}, {{mrYes, mrYes}, "nnn"}, {{mrNo, mrYes}, "onn"}, {{mrCancel}, "oo-"}};
    for (const auto& [answers, expected] : rows) {
        fs::remove_all(Dir.File("out"));
        fs::create_directory(Dir.File("out"));
        WriteFile(Dir.File("out/A.TXT"), "old");
        WriteFile(Dir.File("out/B.TXT"), "old");
        Prompts.Clear();
        Prompts.DialogAnswers = answers;
        ExportAll(Dir.File("out"));
        EXPECT_EQ(Prompts.Texts().size(), answers.size()) << expected;
        EXPECT_EQ(Prompts.Texts().front(), "Overwrite existing file \"A.TXT\"?");
        std::string found;
        for (const char* name : {"A.TXT", "B.TXT", "C.TXT"})
            found += fs::exists(Dir.File("out/") + name) ? ReadFile(Dir.File("out/") + name)[0] : '-';
        EXPECT_EQ(found, expected);
    }
    EXPECT_EQ(Page->LastExportDir(), Dir.File("out/"));
}

TEST_F(DiskManagerFilesTest, HostileNamesStayInsideAFolderMadeForThem) {
    const char* names[][2] = {{"..", ""}, {"A/B", "C"}, {"..\\X", ""}, {".", "/"}};
    for (int i = 0; i < 4; ++i)
        PokeEntry(Image, i, MakeEntry(0, names[i][0], names[i][1], 0, 0, 1, {static_cast<uint16_t>(4 + i)}));
    Page->OpenManagerDisk(Image);
    ExportAll(Dir.File("out/new"));
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
    int made = 0;
    for (const auto& e : fs::directory_iterator(Dir.File("out/new")))
        made += e.is_regular_file() && e.path().filename().string()[0] != '.';
    EXPECT_EQ(made, 4);
    EXPECT_EQ(Dir.Count(), 2);  // the image and "out"
    ExportAll(HostFile("plain", "x") + "/sub");
    EXPECT_EQ(Prompts.LastText(), "The folder \"" + Dir.File("plain/sub") + "\" could not be created.");
}

// A file whose entry points outside the disk cannot be exported; the host
// file it would have replaced stays as it was.
TEST_F(DiskManagerFilesTest, SingleExportAsksForTheFileAndAFailureKeepsTheOldOne) {
    Put({{"doc.txt", std::string("text\x1Atail")}});
    PokeEntry(Image, 1, MakeEntry(0, "BAD", "TXT", 0, 0, 16, {600}));
    Page->OpenManagerDisk(Image);
    const std::string target = HostFile("keep.txt", "precious");
    Select({0});
    Prompts.FileAnswers = {target, target};
    Run(Page->DM_ExportBinaryFileAct);
    EXPECT_EQ(Prompts.Log.front().File.Title, "Export Text File");
    EXPECT_EQ(Prompts.Log.front().File.FileName, "BAD.TXT");
    EXPECT_EQ(ReadFile(target), "precious");
    EXPECT_EQ(Dir.Count(), 3);  // the image, doc.txt and keep.txt: no stray file
    Select({1});
    Run(Page->DM_ExportTextFileAct);
    EXPECT_EQ(ReadFile(target), "text");
}

// Files that cannot be exported (damaged entries, a host name taken by a
// folder) do not stop the others; they are listed, with why, in one message.
TEST_F(DiskManagerFilesTest, AManyFileExportWritesWhatItCanAndListsTheRest) {
    Put({{"a.txt", "alpha\x1A"}, {"b.txt", "beta\x1A"}, {"c.txt", "gamma\x1A"}});
    PokeEntry(Image, 3, MakeEntry(0, "BAD", "TXT", 0, 0, 16, {600}));
    PokeEntry(Image, 4, MakeEntry(0, "TWICE", "TXT", 0, 0, 1, {7}));
    PokeEntry(Image, 5, MakeEntry(0, "TWICE", "TXT", 0, 0, 1, {8}));
    Page->OpenManagerDisk(Image);
    fs::create_directories(Dir.File("out/C.TXT"));
    Prompts.DialogAnswers = {mrYes};  // to replacing what is in C.TXT's way
    ExportAll(Dir.File("out"));

    EXPECT_EQ(ReadFile(Dir.File("out/A.TXT")), "alpha");
    EXPECT_EQ(ReadFile(Dir.File("out/B.TXT")), "beta");
    ASSERT_EQ(Prompts.Texts().size(), 2u);
    EXPECT_EQ(Prompts.Texts().front(), "Overwrite existing file \"C.TXT\"?");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Warning);
    const std::string message = Prompts.LastText();
    EXPECT_EQ(message.rfind("These files could not be exported:\n", 0), 0u) << message;
    const std::pair<const char*, const char*> failed[] = {{"BAD.TXT", "outside the data area"},
                                                          {"C.TXT", "Cannot create file"},
                                                          {"TWICE.TXT", "more than one directory entry"}};
    for (const auto& [name, reason] : failed) {
        SCOPED_TRACE(name);
        const size_t line = message.find(std::string("\n\"") + name + "\" in user area 0: ");
        ASSERT_NE(line, std::string::npos) << message;
        EXPECT_NE(message.substr(line, message.find('\n', line + 1) - line).find(reason), std::string::npos) << message;
        EXPECT_FALSE(fs::is_regular_file(Dir.File("out/") + name));
    }
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 3);
}

// Extents far apart keep their places in the host file, and the records
// between them are holes, as are the records after the last block that the
// last entry's record count still counts: an 8 MB file of three blocks takes
// a few blocks of the host disk, in either mode.
TEST_F(DiskManagerFilesTest, UnmappedRecordsOfAnExportAreHoles) {
    const std::pair<int, std::string> extents[] = {
        {0, std::string(2048, 'a')}, {200, std::string(2048, 'b')}, {511, std::string(2048, 'c')}};
    std::string expected;
    for (int i = 0; i < 3; ++i) {
        const auto& [number, data] = extents[i];
        const auto block = static_cast<uint16_t>(4 + i);
        PokeEntry(Image, i, MakeEntry(0, "HOLES", "DAT", number % 32, static_cast<uint8_t>(number / 32), 128, {block}));
        Poke(Image, BlockOffset(block), std::vector<uint8_t>(data.begin(), data.end()));
        expected.resize(static_cast<size_t>(number) * 16384, '\0');
        expected += data;
    }
    expected.resize(size_t{512} * 16384, '\0');
    Page->OpenManagerDisk(Image);
    for (QAction* action : {Page->DM_ExportBinaryFileAct, Page->DM_ExportTextFileAct}) {
        SCOPED_TRACE(action->text().toStdString());
        const std::string target = Dir.File("holes.dat");
        Select({0});
        Prompts.FileAnswers = {target};
        Run(action);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(static_cast<size_t>(st.st_size), expected.size());
        EXPECT_LT(int64_t{st.st_blocks} * 512, 256 * 1024);
        EXPECT_TRUE(ReadFile(target) == expected);
        fs::remove(target);
    }
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
}

// An export killed part-way leaves its temporary file beside its target
// for good; the next export into that folder, of one file or many, removes
// it, and keeps what is not such a leftover: another name, and a file still
// being written.
TEST_F(DiskManagerFilesTest, AnExportIntoAFolderRemovesLeftoversOfKilledExports) {
    Put({{"a.txt", "alpha\x1A"}, {"c.txt", "gamma\x1A"}});
    const std::string out = Dir.File("out");
    fs::create_directory(out);
    const auto names = [&out] {
        std::set<std::string> all;
        for (const auto& entry : fs::directory_iterator(out)) all.insert(entry.path().filename().string());
        return all;
    };
    WriteFile(out + "/.notes.tmp", "not a leftover");
    TReplacementFile running(out + "/B.TXT");
    running.Write("still being written");
    const std::set<std::string> kept = names();
    for (const bool many : {false, true}) {
        SCOPED_TRACE(many ? "many files" : "one file");
        const pid_t pid = ::fork();
        if (pid == 0) {
            TReplacementFile killed(out + "/OLD.TXT");
            killed.Write("half an export");
            ::_exit(0);  // no destructor: as if killed before the rename
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_EQ(names().size(), kept.size() + 1) << "the killed export left no file";
        if (many) {
            ExportAll(out);
        } else {
            Select({0});
            Prompts.FileAnswers = {out + "/A.TXT"};
            Run(Page->DM_ExportTextFileAct);
        }
        std::set<std::string> expected = kept;
        expected.insert("A.TXT");
        if (many) expected.insert("C.TXT");
        EXPECT_EQ(names(), expected);
        for (const char* name : {"/A.TXT", "/C.TXT"}) fs::remove(out + name);
    }
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
    running.Commit();
    EXPECT_EQ(ReadFile(out + "/B.TXT"), "still being written");
}

// An export never replaces an image in use: one in a drive, by any name,
// or the one the page shows. A single export warns; a many-file export lists
// it with the files that failed and writes the others.
TEST_F(DiskManagerFilesTest, ExportsRefuseImagesInUse) {
    Put({{"a.txt", "alpha\x1A"}, {"c.txt", "gamma\x1A"}});
    fs::create_directory(Dir.File("out"));
    const std::string mounted = Dir.File("out/A.TXT");
    MakeImage(mounted);
    Machine.MountDrive(1, mounted);
    fs::create_symlink(mounted, Dir.File("alias.cpmdsk"));
    const std::string image = ReadFile(Image);
    const std::string targets[] = {mounted, Dir.File("alias.cpmdsk"), Image, Dir.File("out/../work.cpmdsk")};
    for (const std::string& target : targets) {
        SCOPED_TRACE(target);
        Prompts.Clear();
        Select({0});
        Prompts.FileAnswers = {target};
        Run(Page->DM_ExportBinaryFileAct);
        ASSERT_EQ(Prompts.Texts(), std::vector<std::string>{InUse});
        EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Warning);
    }
    Prompts.Clear();
    Prompts.DialogAnswers = {mrAll};
    ExportAll(Dir.File("out"));
    EXPECT_EQ(Prompts.LastText(), "These files could not be exported:\n\"A.TXT\" in user area 0: " + InUse);
    EXPECT_EQ(ReadFile(Dir.File("out/C.TXT")), "gamma");
    EXPECT_EQ(ReadFile(mounted), std::string(ImageBytes, '\xE5'));
    EXPECT_EQ(ReadFile(Image), image);
    EXPECT_TRUE(Machine.ImageMounted(mounted)) << "the drive holds the file the name reaches";
}

TEST_F(DiskManagerFilesTest, CreateDiskUsesTheFinalNameAndRefusesImagesInUse) {
    Prompts.FileAnswers = {Dir.File("fresh.img"), Dir.File("fresh.img"), Image};
    Prompts.DialogAnswers = {mrNo};
    Run(Page->DM_CreateDiskAct);
    EXPECT_EQ(Prompts.Log.front().File.Title, "Create New Disk File");
    EXPECT_EQ(ReadFile(Dir.File("fresh.cpmdsk")), std::string(1048576, '\xE5'));
    Run(Page->DM_CreateDiskAct);
    EXPECT_EQ(Prompts.LastText(), Dir.File("fresh.cpmdsk") + " already exists.\nDo you want to replace it?");
    Machine.MountDrive(2, Image);
    Run(Page->DM_CreateDiskAct);
    EXPECT_EQ(Prompts.LastText(), InUse);
    EXPECT_EQ(Dir.Count(), 2);
}

// The image the page shows is in use too: a fresh image in its place would
// leave the page listing files that are gone. Any name of it is refused.
TEST_F(DiskManagerFilesTest, CreateDiskRefusesTheImageThePageShows) {
    Put({{"a.txt", "data"}});
    fs::create_symlink(Image, Dir.File("alias.cpmdsk"));
    const std::string image = ReadFile(Image);
    for (const std::string& target : {Image, Dir.File("alias.cpmdsk")}) {
        SCOPED_TRACE(target);
        Prompts.Clear();
        Prompts.FileAnswers = {target};
        Prompts.DialogAnswers = {mrYes};
        Run(Page->DM_CreateDiskAct);
        EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{InUse});
        EXPECT_TRUE(ReadFile(Image) == image) << "the image was formatted";
    }
    Prompts.Clear();
    Select({0});
    Run(Page->DM_ViewFileAct);
    EXPECT_TRUE(Prompts.Texts().empty()) << "the listed file is still there: " << Prompts.LastText();
}

// An image another running program writes is no destination: Create Disk,
// Copy Disk and an export onto it are refused and leave it whole, and once
// that program has gone each may replace it.
TEST_F(DiskManagerFilesTest, AnImageAnotherProgramWritesIsNotReplaced) {
    Put({{"a.txt", "data"}});
    const std::string other = Dir.File("other.cpmdsk");
    MakeImage(other, 0x11);
    TImageHeldElsewhere holder(other);
    ASSERT_TRUE(holder.Holding());
    const auto replace = [&](QAction* action) {
        Prompts.FileAnswers = {other};
        Select({0});
        Run(action);
    };
    for (QAction* action : {Page->DM_CreateDiskAct, Page->DM_BackupDiskAct, Page->DM_ExportBinaryFileAct}) {
        SCOPED_TRACE(action->text().toStdString());
        Prompts.Clear();
        replace(action);
        EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{InUse});
        EXPECT_TRUE(ReadFile(other) == std::string(ImageBytes, '\x11')) << "the image changed";
    }
    Prompts.Clear();
    Page->SaveDiskToHex32(Image, other, TDiskManagerPage::Hex32StartAddress);
    EXPECT_EQ(Prompts.LastText().substr(0, 36), "The Hex32 file could not be written.");
    EXPECT_TRUE(ReadFile(other) == std::string(ImageBytes, '\x11')) << "Disk to Hex32 replaced the image";
    holder.Kill();
    Prompts.Clear();
    replace(Page->DM_CreateDiskAct);
    EXPECT_TRUE(ReadFile(other) == std::string(ImageBytes, '\xE5'));
    replace(Page->DM_BackupDiskAct);
    EXPECT_TRUE(ReadFile(other) == ReadFile(Image));
    replace(Page->DM_ExportBinaryFileAct);
    EXPECT_EQ(ReadFile(other), "data" + std::string(124, '\0'));
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
}

TEST_F(DiskManagerFilesTest, CopyDiskRefusesTheSameOrAMountedImageAndChecksTheCopy) {
    Put({{"a.txt", "data"}});
    const std::string copy = Dir.File("copy.cpmdsk"), mounted = Dir.File("m.cpmdsk");
    MakeImage(mounted);
    Machine.MountDrive(3, mounted);
    fs::create_symlink(Image, Dir.File("alias.cpmdsk"));
    Prompts.FileAnswers = {copy, Dir.File("alias.cpmdsk"), mounted, copy};
    Run(Page->DM_BackupDiskAct);
    EXPECT_EQ(Prompts.Log[0].File.Title, "Copy Disk File \"work\"");
    EXPECT_EQ(ReadFile(copy), ReadFile(Image));
    Run(Page->DM_BackupDiskAct);
    Run(Page->DM_BackupDiskAct);
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>(2, InUse));
    WriteFile(copy, "old copy");
    {
        TFileSizeLimit limit(4096);
        Run(Page->DM_BackupDiskAct);
    }
    EXPECT_EQ(Prompts.LastText().rfind("The disk file could not be copied to \"" + copy + "\".", 0), 0u);
    EXPECT_EQ(ReadFile(copy), "old copy");
}

TEST_F(DiskManagerFilesTest, DiskToHex32WritesTheWholeImageOrWarns) {
    Page->OpenManagerDisk(Image);
    Prompts.FileAnswers = {Dir.File("image")};
    Run(Page->DM_SaveDiskToHexAct);
    const TFileDialogRequest& request = Prompts.Log.front().File;
    EXPECT_EQ(request.Title + request.Filter + request.FileName,
              "Save Disk As Hex FileIntel 32 bit hex file|*.hexwork.hex");
    EXPECT_EQ(Prompts.LastText(), "The Hex32 file has been created.");
    const std::string hex = ReadFile(Dir.File("image.hex"));
    EXPECT_EQ(hex.substr(0, 26), ":020000040010EA\r\n:40000000");
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 16384 + 16 + 1);

    // Refusals and failures are warnings without the confirmation.
    fs::create_directory(Dir.File("dir.hex"));
    const std::string old = HostFile("old.hex", "old hex");
    const std::string none = Dir.File("none.cpmdsk"), dir = Dir.File("dir.hex"), lost = Dir.File("no/x.hex");
    const struct {
        std::string source, dest, message;
    } cases[] = {
        {none, Dir.File("x.hex"), "The disk file named \"" + none + "\" could not be accessed."},
        {Image, Image, "The source and destination file names can not be the same."},
        {Image, dir, "Output file \"" + dir + "\" already exists and can not be delete."},
        {Image, lost,
         "The Hex32 file could not be written. Cannot create file \"" + lost + "\": No such file or directory"},
        {Image, old, "The Hex32 file could not be written."}};  // past the file size limit
    for (const auto& c : cases) {
        Prompts.Clear();
        TFileSizeLimit limit(65536);
        Page->SaveDiskToHex32(c.source, c.dest, TDiskManagerPage::Hex32StartAddress);
        ASSERT_EQ(Prompts.Texts().size(), 1u);
        EXPECT_EQ(Prompts.LastText().substr(0, c.message.size()), c.message);
        EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Warning);
    }
    EXPECT_EQ(ReadFile(old), "old hex");
    EXPECT_EQ(Dir.Count(), 4);  // the image, image.hex, old.hex and dir.hex
}

// The import's size check, the one use of the list: the host files' sizes
// totalled, a file named twice counted once, and -1 for one not found.
TEST(FileList, TotalsTheSizesOfTheFilesToImport) {
    TTempFolder dir;
    WriteFile(dir / "five", "12345");
    TFileItemList list;
    for (const char* name : {"five", "five", "missing"}) list.AddFile(dir / name, "", true);
    EXPECT_EQ(list.TotalSize(), 4);
}

}  // namespace
