// A second program that holds a disk image open for writing, as another copy
// of Tavrin holds the image in its drive. Started by the tests with the
// image's path; writes "1" once it holds the image, or "0" and the reason it
// was refused (the message its user would see), and keeps the image until
// its standard input closes or it is killed.

#include <unistd.h>

#include <exception>
#include <memory>
#include <string>

#include "disk/DiskDrive.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::unique_ptr<TDiskDrive> held;
    std::string reply = "1";
    try {
        held = std::make_unique<TDiskDrive>(argv[1], TImageRole::Drive);
    } catch (const std::exception& e) {
        reply = std::string("0") + e.what();
    }
    if (::write(STDOUT_FILENO, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) return 1;
    char byte;
    while (held && ::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    return held ? 0 : 1;
}
