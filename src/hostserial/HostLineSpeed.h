#pragma once
// Line speeds in bits per second through termios2, which takes any rate,
// standard or not. Kept apart from <termios.h> users because the kernel
// header termios2 needs cannot share a unit with it.

#include <cstdint>

// The output rate of the terminal descriptor; 0 when it has none.
uint32_t ReadLineSpeed(int fd);
// Sets both rates; 0 or minus the errno.
int32_t WriteLineSpeed(int fd, uint32_t baud);
