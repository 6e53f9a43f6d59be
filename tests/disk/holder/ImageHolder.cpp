// A second program that holds a disk image open for writing, as another copy
// of Tavrin holds the image in its drive. Started by the tests with the
// image's path; writes "1" once it holds the image ("0" when it was refused)
// and keeps it until its standard input closes or it is killed.

#include <unistd.h>

#include <exception>
#include <memory>

#include "disk/DiskDrive.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::unique_ptr<TDiskDrive> held;
    try {
        held = std::make_unique<TDiskDrive>(argv[1], TImageRole::Drive);
    } catch (const std::exception&) {
    }
    if (::write(STDOUT_FILENO, held ? "1" : "0", 1) != 1) return 1;
    char byte;
    while (held && ::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return held ? 0 : 1;
}
