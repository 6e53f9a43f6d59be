#include "support/FdIo.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace tavrin::test {

void WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) throw std::runtime_error("write failed");
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

std::string ReadFor(int fd, size_t count, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string got;
    char buffer[4096];
    while (got.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) {
            if (left.count() <= 0) break;
            continue;
        }
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) break;
        if (n > 0) got.append(buffer, static_cast<size_t>(n));
    }
    return got;
}

}  // namespace tavrin::test
