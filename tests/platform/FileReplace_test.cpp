// Leftovers of replacements that never finished: which names beside a file
// are taken for its temporary files and removed.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/core/FileReplace.h"
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

TEST(LeftoverReplacements, OnlyTemporaryNamesOfEndedProcessesAreRemoved) {
    TTempFolder temp;
    const std::string target = temp / "f.cfg";
    const std::string ended = std::to_string(EndedProcessId());
    const std::string running = std::to_string(::getpid());
    const struct {
        std::string Name;
        bool Removed;
    } cases[] = {
        {".f.cfg." + ended + "-1-2.tmp", true},
        {".f.cfg." + ended + "-0-999999.tmp", true},
        {".f.cfg." + running + "-1-2.tmp", false},  // its save may still finish
        {".f.cfg." + ended + "-1.tmp", false},
        {".f.cfg." + ended + "-1-2-3.tmp", false},
        {".f.cfg." + ended + "--2.tmp", false},
        {".f.cfg." + ended + "-1-2x.tmp", false},
        {".f.cfg." + ended + "-+1-2.tmp", false},
        {".f.cfg." + ended + "-99999999999999999999-2.tmp", false},
        {".f.cfg.-" + ended + "-1-2.tmp", false},
        {".f.cfg.0-1-2.tmp", false},
        {".f.cfg.x-1-2.tmp", false},
        {".f.cfg..tmp", false},
        {".g.cfg." + ended + "-1-2.tmp", false},  // another file's
        {".f.cfg." + ended + "-1-2.tm", false},
    };
    for (const auto& c : cases) tavrin::test::WriteFile(temp / c.Name, "left");
    const std::string folderLike = ".f.cfg." + ended + "-3-4.tmp";
    std::filesystem::create_directory(temp.Path() / folderLike);

    int expected = 0;
    for (const auto& c : cases) expected += c.Removed;
    EXPECT_EQ(RemoveLeftoverReplacements(target), expected);
    for (const auto& c : cases) EXPECT_EQ(!std::filesystem::exists(temp.Path() / c.Name), c.Removed) << c.Name;
    EXPECT_TRUE(std::filesystem::is_directory(temp.Path() / folderLike)) << "only plain files go";
}

}  // namespace
