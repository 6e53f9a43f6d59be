#include "hostserial/HostComNames.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

std::string ComDevicePath(int n) {
    if (n < 1) return {};
    const std::string variable = "TAVRIN_COM" + std::to_string(n);
    if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') return path;
    return "/dev/" + LegacyComDeviceName(n);
}

std::string LegacyComDeviceName(int n) { return "ttyS" + std::to_string(n - 1); }

std::string ResolveComPortName(const std::string& portName) {
    constexpr std::string_view prefix = "COM";
    if (portName.size() <= prefix.size() || portName.compare(0, prefix.size(), prefix) != 0 ||
        portName.find_first_not_of("0123456789", prefix.size()) != std::string::npos)
        return portName;
    int n = 0;
    const char* last = portName.data() + portName.size();
    if (std::from_chars(portName.data() + prefix.size(), last, n).ec != std::errc())
        return {};  // too large to be a port
    return ComDevicePath(n);
}
