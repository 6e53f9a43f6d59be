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
