#pragma once
// Host serial ports by number: "COM"n is the device that the environment
// variable TAVRIN_COMn names when it is set and not empty (tests point it at
// a pseudo-terminal), else /dev/ttyS(n-1).

#include <string>

// The device path of port n; empty for n below 1, which names no port.
std::string ComDevicePath(int n);
// The name under /dev that port n has when no variable points elsewhere:
// ttyS(n-1).
std::string LegacyComDeviceName(int n);

// A port name as the settings give it: "COM" and a decimal number is that
// port's device path (empty when the number names no port); any other name
// is already a device path.
std::string ResolveComPortName(const std::string& portName);
