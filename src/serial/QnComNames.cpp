#include "serial/QnComNames.h"

#include <cerrno>
#include <fstream>
#include <sys/stat.h>

#include "serial/QnTermiosDevice.h"

namespace {

// A ttyS node exists for every possible legacy UART; only those with a
// device behind them (a non-zero port type, or a driver other than the
// placeholder serial8250 one) are real.
bool RealSerialDevice(const std::string& sysClassTty, const std::string& node) {
    const std::string base = sysClassTty + "/" + node;
    struct stat info {};
    if (::stat((base + "/device").c_str(), &info) != 0) return false;
    std::ifstream typeFile(base + "/type");
    int type = -1;
    if (typeFile >> type) return type != 0;
    return true;
}

}  // namespace

std::string ComName(int n) { return "COM" + std::to_string(n); }

bool IsPortAvailable(int n, const std::string& sysClassTty) {
    if (n <= 0) return false;
    const std::string path = ComDevicePath(n);
    const std::string legacy = LegacyComDeviceName(n);
    if (path == "/dev/" + legacy && !RealSerialDevice(sysClassTty, legacy)) return false;
    int32_t result = 0;
    if (TQnTermiosDevice::Open(path, result) != nullptr) return true;
    return result == -EACCES || result == -EBUSY;
}

std::vector<int> AvailablePortNumbers(const std::string& sysClassTty) {
    std::vector<int> numbers;
    for (int n = 1; n <= HighestPortNumber; ++n)
        if (IsPortAvailable(n, sysClassTty)) numbers.push_back(n);
    return numbers;
}
