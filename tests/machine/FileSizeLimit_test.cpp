// Saving past the process's file-size limit: with the signal ignored the
// write fails with EFBIG, the old file stays and no temporary file is left.
// Each case runs in a child process, whose limit and signal disposition do
// not touch the test runner.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <system_error>

#include "machine/ConfigObject.h"
#include "platform/FileSizeSignal.h"
#include "support/MachineTestSupport.h"

using namespace tavrin::test;

namespace {

enum TChildResult { SavedAnyway = 10, FailedWithEfbig = 11, FailedOtherwise = 12 };

// The child's wait status after saving about 64 KB of settings under a
// 4 KB limit.
int SaveUnderLimit(const std::string& path, bool ignoreSignal)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (ignoreSignal)
            IgnoreFileSizeSignal();
        struct rlimit limit {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        TNrKeyValueSections store;
        store.WriteString("DISKS", "CpmSourceFile", std::string(65536, 'x'));
        int result = SavedAnyway;
        try {
            store.SaveToFile(path);
        } catch (const std::system_error& e) {
            result = e.code().value() == EFBIG ? FailedWithEfbig : FailedOtherwise;
        }
        ::_exit(result);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

struct TLimitCase {
    const char* Name;
    bool IgnoreSignal;
    bool Killed;
};

class FileSizeLimitTest : public ::testing::TestWithParam<TLimitCase> {};

TEST_P(FileSizeLimitTest, SaveOverTheLimit)
{
    const TLimitCase& c = GetParam();
    TTempFolder temp;
    const std::string path = temp.File("tavrin.config");
    WriteFile(path, "[MAIN]\r\nDSP_WIDTH=640\r\n");

    const int status = SaveUnderLimit(path, c.IgnoreSignal);

    if (c.Killed) {
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
        return;  // killed mid-write: the fault the signal setting prevents
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), FailedWithEfbig);
    EXPECT_EQ(ReadFile(path), "[MAIN]\r\nDSP_WIDTH=640\r\n");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "a temporary file was left beside the settings";
}

INSTANTIATE_TEST_SUITE_P(Signal, FileSizeLimitTest,
                         ::testing::Values(TLimitCase{"Ignored", true, false}, TLimitCase{"Default", false, true}),
                         [](const ::testing::TestParamInfo<TLimitCase>& info) { return std::string(info.param.Name); });

} // namespace
