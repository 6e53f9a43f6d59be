#pragma once
// Serial ports by number, their devices as ComDevicePath names them. Which
// of them exist is read from /sys/class/tty, where only ports with hardware
// behind them count.

#include <string>
#include <vector>

#include "hostserial/HostComNames.h"

inline constexpr int HighestPortNumber = 50;

// "COM"n.
std::string ComName(int n);

// True when the port can be opened now, or exists but another program holds
// it (in use counts as available). The sysfs root is a parameter so tests
// can lay out their own.
bool IsPortAvailable(int n, const std::string& sysClassTty = "/sys/class/tty");

// Numbers 1..HighestPortNumber that IsPortAvailable accepts.
std::vector<int> AvailablePortNumbers(const std::string& sysClassTty = "/sys/class/tty");
