// A process killed while it imports host files onto an image: at every write
// it could die before, the image stays consistent for fsck.cpm and for our
// reader, and every file on it is whole.

#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>

#include "CpmToolsFixture.h"
#include "disk/DiskManagerFiles.h"

using namespace tavrin::test;

namespace {

struct TTracedRun {
    int Writes = 0;         // image writes the child began
    bool Finished = false;  // it ran to its end, unkilled
};

// Runs Work in a child process that this one traces, and kills the child
// (SIGKILL, as a user or the system would) as it enters its positioned write
// number Limit, counted from 0, before that write changes anything.
TTracedRun RunKilledAtWrite(int Limit, const std::function<void()>& Work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(2);  // untraced, it would stop for good
        ::raise(SIGSTOP);
        try {
            Work();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    TTracedRun run;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) return run;
    // The variadic call reads its data as a pointer.
    const auto data = [](long value) { return reinterpret_cast<void*>(value); };
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, data(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
    int signal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, data(signal));
        signal = 0;
        if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) break;
        if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
            signal = WSTOPSIG(status);  // the child's own signal goes on to it
            continue;
        }
        __ptrace_syscall_info info{};
        ::ptrace(PTRACE_GET_SYSCALL_INFO, pid, sizeof info, &info);
        if (info.op != PTRACE_SYSCALL_INFO_ENTRY || info.entry.nr != SYS_pwrite64) continue;
        if (run.Writes++ == Limit) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return run;
        }
    }
    run.Finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

class KilledImport : public CpmToolsFixture {};

TEST_F(KilledImport, LeavesEachFileWholeOrAbsent) {
    // Four files of three extents each, imported as the Disk Manager imports
    // a selection; the entries of the second share a directory record with
    // the first's.
    std::vector<std::string> hostFiles;
    std::map<std::string, std::vector<uint8_t>> expected;  // CP/M name -> exported bytes
    for (int i = 0; i < 4; ++i) {
        const std::string name = "part" + std::to_string(i) + ".bin";
        const auto data = CpmFilePattern(40000, static_cast<uint32_t>(i) + 40);
        WriteFileBytes(Dir.File(name), data);
        hostFiles.push_back(Dir.File(name));
        expected["PART" + std::to_string(i) + ".BIN"] = Padded(data, 0x00);
    }
    const auto import = [&] {
        TCpmDiskFileInfoList listing;
        TCpmImportResult result;
        ImportCpmFiles(Image, hostFiles, 0, false, listing, result);
    };

    std::set<size_t> filesSeen;
    for (int limit = 0;; ++limit) {
        SCOPED_TRACE("killed at write " + std::to_string(limit));
        MakeImage(Image);
        const TTracedRun run = RunKilledAtWrite(limit, import);

        TCpmDiskDrive drive(Image);
        EXPECT_TRUE(drive.Problems().empty()) << drive.Problems().front();
        // Files appear in the order they were imported, each whole.
        TCpmDiskFileInfoList listing;
        drive.GetFileList(listing);
        ASSERT_LE(listing.GetCount(), 4);
        for (int i = 0; i < listing.GetCount(); ++i) {
            const std::string name = listing.GetItem(i)->FileName;
            ASSERT_EQ(name, "PART" + std::to_string(i) + ".BIN");
            std::ostringstream out;
            drive.ExportFile(name, false, out, 0);
            EXPECT_TRUE(out.str() == AsString(expected[name])) << name << " is " << out.str().size() << " bytes";
        }
        filesSeen.insert(static_cast<size_t>(listing.GetCount()));
        // The checker agrees and counts the same blocks in use: none of a
        // file that was not finished.
        EXPECT_EQ(508 - drive.FileList->Allocation.FreeCount, ToolUsedBlocks());
        if (run.Finished || HasFatalFailure()) break;
        ASSERT_EQ(run.Writes, limit + 1)
            << "the child was not traced or did not get as far as the write it was to be killed at";
    }
    // Every state from no file to all four was met.
    EXPECT_EQ(filesSeen, (std::set<size_t>{0, 1, 2, 3, 4}));
}

}  // namespace
