#pragma once
// A disk image that another running program has open for writing, as a
// second copy of this program holds the image in its drive: the small
// program tests/disk/holder/ImageHolder.cpp opens it through TDiskDrive in
// a process of its own and keeps it until it is killed, which ends its hold
// as a crash would; when it cannot, it tells why. Tests that use it depend
// on the target disk_image_holder.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/FdIo.h"

namespace tavrin::test {

class TImageHeldElsewhere {
public:
    explicit TImageHeldElsewhere(const std::string& image) {
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0) return;
        if (::pipe2(fromChild, O_CLOEXEC) != 0) {
            ::close(toChild[0]);
            ::close(toChild[1]);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        const std::string program = TAVRIN_BINARY_DIR "/tests/disk/disk_image_holder";
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(image.c_str()), nullptr};
        if (::posix_spawn(&FPid, program.c_str(), &actions, nullptr, argv, environ) != 0) FPid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        FInput = toChild[1];
        const std::string answer = FPid > 0 ? ReadFor(fromChild[0], 1) : std::string();
        FHolding = answer == "1";
        // A refused program says why and ends, which closes the pipe.
        if (answer == "0") FRefusal = ReadFor(fromChild[0], 256);
        ::close(fromChild[0]);
    }
    ~TImageHeldElsewhere() { Kill(); }
    TImageHeldElsewhere(const TImageHeldElsewhere&) = delete;
    TImageHeldElsewhere& operator=(const TImageHeldElsewhere&) = delete;

    // False when the other program could not open the image for writing.
    bool Holding() const { return FHolding; }
    // Why it could not, as its user would read it; empty while it holds.
    const std::string& Refusal() const { return FRefusal; }
    // Ends the other program at once; its hold has gone on return.
    void Kill() {
        if (FInput >= 0) ::close(FInput);
        FInput = -1;
        if (FPid <= 0) return;
        ::kill(FPid, SIGKILL);
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FPid = -1;
        FHolding = false;
    }

private:
    pid_t FPid = -1;
    int FInput = -1;  // the other program's standard input: it also ends when this closes
    bool FHolding = false;
    std::string FRefusal;
};

}  // namespace tavrin::test
