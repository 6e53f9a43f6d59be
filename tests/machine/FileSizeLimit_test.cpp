// Saving past the process's file-size limit: with the signal ignored the
// write fails with EFBIG, the old file stays and no temporary file is left.
// The save runs in a child process, whose limit and signal disposition do
// not touch the test runner.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "machine/ConfigObject.h"
#include "platform/FileSizeSignal.h"
#include "support/MachineTestSupport.h"

using namespace tavrin::test;

TEST(FileSizeLimitTest, SaveOverTheLimitFailsAndCleansUp)
{
    TTempFolder temp;
    const std::string path = temp.File("tavrin.config");
    WriteFile(path, "[MAIN]\r\nDSP_WIDTH=640\r\n");

    const pid_t pid = ::fork();
    if (pid == 0) {
        IgnoreFileSizeSignal();
        struct rlimit limit {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TNrKeyValueSections store;
        store.WriteString("DISKS", "CpmSourceFile", std::string(65536, 'x'));
        try {
            store.SaveToFile(path);
        } catch (const std::system_error& e) {
            ::_exit(e.code().value() == EFBIG ? 0 : 2);
        }
        ::_exit(3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);

    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: another error, 3: no error";
    EXPECT_EQ(ReadFile(path), "[MAIN]\r\nDSP_WIDTH=640\r\n");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "a temporary file was left beside the settings";
}
