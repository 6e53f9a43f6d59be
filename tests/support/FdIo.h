#pragma once
// Byte transfers on a file descriptor the test holds: a socket, a pipe or a
// pseudo-terminal's master side.

#include <chrono>
#include <cstddef>
#include <string>

namespace tavrin::test {

// Writes everything to a blocking descriptor; throws when it cannot.
void WriteAll(int fd, const std::string& bytes);
// Reads until count bytes have come or limit passes; what came, never more
// than count.
std::string ReadFor(int fd, std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace tavrin::test
