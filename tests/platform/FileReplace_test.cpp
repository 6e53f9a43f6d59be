// Leftovers of replacements that never finished: which names beside a file
// or in a folder are taken for temporary files, and that a temporary file
// goes only when its writer has gone, whatever process id its name carries.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "platform/core/FileReplace.h"
#include "support/FdIo.h"
#include "support/TempFolder.h"

using tavrin::test::TTempFolder;

namespace {

// The id of a process that has ended (and been reaped).
long EndedProcessId() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

std::set<std::string> Names(const TTempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(LeftoverReplacements, OnlyTemporaryNamesAreTaken) {
    TTempFolder temp;
    const std::string target = temp / "f.cfg";
    const std::string ended = std::to_string(EndedProcessId());
    const std::string running = std::to_string(::getpid());
    const struct {
        std::string Name;
        bool OfTheFile;    // removed with the file's leftovers
        bool InTheFolder;  // removed with the folder's
    } cases[] = {
        {".f.cfg." + ended + "-1-2.tmp", true, true},
        {".f.cfg." + ended + "-0-999999.tmp", true, true},
        {".f.cfg." + running + "-1-2.tmp", true, true},  // nobody holds it, whatever the id says
        {".f.cfg.1-1-2.tmp", true, true},                // a pid namespace's first process
        {".g.cfg." + ended + "-1-2.tmp", false, true},   // another file's
        {".a.b.c." + ended + "-1-2.tmp", false, true},
        {".f.cfg." + ended + "-1.tmp", false, false},
        {".f.cfg." + ended + "-1-2-3.tmp", false, false},
        {".f.cfg." + ended + "--2.tmp", false, false},
        {".f.cfg." + ended + "-1-2x.tmp", false, false},
        {".f.cfg." + ended + "-+1-2.tmp", false, false},
        {".f.cfg." + ended + "-99999999999999999999-2.tmp", false, false},
        {".f.cfg.-" + ended + "-1-2.tmp", false, false},
        {".f.cfg.0-1-2.tmp", false, false},
        {".f.cfg.x-1-2.tmp", false, false},
        {".f.cfg..tmp", false, false},
        {".." + ended + "-1-2.tmp", false, false},
        {"f.cfg." + ended + "-1-2.tmp", false, false},
        {".f.cfg." + ended + "-1-2.tm", false, false},
    };
    for (const bool inFolder : {false, true}) {
        SCOPED_TRACE(inFolder ? "the folder's" : "the file's");
        for (const auto& c : cases) tavrin::test::WriteFile(temp / c.Name, "left");
        const std::string folderLike = ".f.cfg." + ended + "-3-4.tmp";
        std::filesystem::create_directory(temp.Path() / folderLike);

        int expected = 0;
        for (const auto& c : cases) expected += inFolder ? c.InTheFolder : c.OfTheFile;
        EXPECT_EQ(inFolder ? RemoveLeftoverReplacementsIn(temp.Path().string()) : RemoveLeftoverReplacements(target),
                  expected);
        for (const auto& c : cases)
            EXPECT_EQ(!std::filesystem::exists(temp.Path() / c.Name), inFolder ? c.InTheFolder : c.OfTheFile) << c.Name;
        EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / folderLike)) << "only plain files go";
        std::filesystem::remove_all(temp.Path());
        std::filesystem::create_directory(temp.Path());
    }
}

// A replacement of target in another process, stopped after writing and
// before renaming: the writer lives on until killed, or ends at once as if
// killed.
class TWriter {
public:
    TWriter(const TTempFolder& folder, const std::string& target, bool lives) {
        const std::set<std::string> before = Names(folder);
        int ready[2];
        if (::pipe(ready) != 0) return;
        FPid = ::fork();
        if (FPid == 0) {
            TReplacementFile replacement(target);
            replacement.Write("half a file");
            (void)!::write(ready[1], "r", 1);
            while (lives) ::pause();
            ::_exit(0);  // no destructor: as if killed before the rename
        }
        ::close(ready[1]);
        const bool started = tavrin::test::ReadFor(ready[0], 1).size() == 1;
        ::close(ready[0]);
        if (!lives) Kill();
        for (const std::string& name : Names(folder))
            if (started && !before.count(name)) FTempName = name;
    }
    ~TWriter() { Kill(); }
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    // Empty when the writer made no file.
    const std::string& TempName() const { return FTempName; }
    void Kill() {
        if (FPid <= 0) return;
        ::kill(FPid, SIGKILL);
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FPid = -1;
    }

private:
    pid_t FPid = -1;
    std::string FTempName;
};

// The id in a temporary file's name tells nothing about its writer (in a
// container every program may be process 1): a living writer's file stays
// under any id, and a dead one's goes under any id.
TEST(LeftoverReplacements, AFileStaysWhileItsWriterLivesWhateverIdItsNameCarries) {
    TTempFolder temp;
    const std::string target = temp / "f.cfg";
    tavrin::test::WriteFile(target, "old");
    const std::string ended = std::to_string(EndedProcessId());
    const std::string running = std::to_string(::getpid());
    const struct {
        bool Lives;
        std::string Id;  // put in the temporary file's name
    } rows[] = {{true, ended}, {true, running}, {true, "1"}, {false, running}, {false, "1"}, {false, ended}};
    std::vector<std::unique_ptr<TWriter>> writers;
    std::vector<std::string> names;
    for (const auto& row : rows) {
        writers.push_back(std::make_unique<TWriter>(temp, target, row.Lives));
        ASSERT_FALSE(writers.back()->TempName().empty());
        names.push_back(".f.cfg." + row.Id + "-" + std::to_string(names.size()) + "-7.tmp");
        std::filesystem::rename(temp / writers.back()->TempName(), temp / names.back());
    }

    EXPECT_EQ(RemoveLeftoverReplacements(target), 3);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(std::filesystem::exists(temp / names[i]), rows[i].Lives) << names[i];
    EXPECT_EQ(tavrin::test::ReadFile(target), "old");

    // Once the writers have been killed too, their files go as well.
    for (auto& writer : writers) writer->Kill();
    EXPECT_EQ(RemoveLeftoverReplacementsIn(temp.Path().string()), 3);
    EXPECT_EQ(Names(temp), std::set<std::string>{"f.cfg"});
}

// This process's own replacement in progress is a living writer as well,
// and what it writes still replaces the file.
TEST(LeftoverReplacements, AReplacementInProgressHereIsKept) {
    TTempFolder temp;
    const std::string target = temp / "f.cfg";
    TReplacementFile replacement(target);
    replacement.Write("new");
    EXPECT_EQ(RemoveLeftoverReplacements(target) + RemoveLeftoverReplacementsIn(temp.Path().string()), 0);
    replacement.Commit();
    EXPECT_EQ(tavrin::test::ReadFile(target), "new");
    EXPECT_EQ(Names(temp), std::set<std::string>{"f.cfg"});
}

// A replacement whose final rename fails (the target has meanwhile become
// a folder with files in it) removes its temporary file at once, full size
// as it is, rather than leaving it for a later sweep; both for a settings
// save, flushed to the device, and for an export, which is not.
TEST(FileReplacement, AFailedRenameLeavesNoTemporaryFile) {
    for (const bool toDevice : {true, false}) {
        SCOPED_TRACE(toDevice ? "flushed" : "not flushed");
        TTempFolder temp;
        const std::string target = temp / "f.cfg";
        TReplacementFile replacement(target);
        replacement.Write(std::string(1 << 20, 'x'));
        std::filesystem::create_directory(target);
        tavrin::test::WriteFile(temp / "f.cfg/inside", "kept");
        try {
            replacement.Commit(toDevice);
            ADD_FAILURE() << "the rename over a folder succeeded";
        } catch (const EFileReplaceError& e) {
            EXPECT_EQ(e.Stage, EFileReplaceError::TStage::Rename);
        }
        EXPECT_EQ(Names(temp), std::set<std::string>{"f.cfg"});
        EXPECT_EQ(tavrin::test::ReadFile(temp / "f.cfg/inside"), "kept");
    }
}

}  // namespace
