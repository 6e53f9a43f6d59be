#pragma once
// A pseudo-terminal pair standing in for a serial line: the code under test
// opens the slave side by path, as it would a serial port; the test plays
// the remote end on the master side.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair() {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
        path_ = name;
        termios raw {};
        ::tcgetattr(master_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(master_, TCSANOW, &raw);
    }
    ~PtyPair() {
        ::close(master_);
        ::close(slave_);
    }
    const std::string& Path() const { return path_; }
    int Slave() const { return slave_; }
    int Master() const { return master_; }

    void Send(const std::string& bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }
    // Reads what arrives until `count` bytes came or the line stays quiet for quietMs.
    std::string Receive(std::size_t count, int quietMs = 5000) {
        std::string got;
        while (got.size() < count) {
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, quietMs) <= 0) break;
            char buffer[4096];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};
