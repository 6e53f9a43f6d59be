#include "serial/QnDumpText.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "serial/QnTicks.h"

namespace {

constexpr int LastColumn = 78;

int32_t WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int32_t ReadWholeFile(const std::string& fileName, std::string& content) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return -(errno != 0 ? errno : EIO);
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.bad() ? -EIO : 0;
}

}  // namespace

std::string RenderDumpByte(uint8_t byte, bool inHex, bool allHex) {
    char text[8];
    const uint8_t lowest = inHex ? '!' : ' ';
    if (!allHex && byte >= lowest && byte <= '~') return std::string(1, static_cast<char>(byte));
    if (allHex || inHex)
        std::snprintf(text, sizeof text, "[%02X]", byte);
    else
        std::snprintf(text, sizeof text, "[%u]", byte);
    return text;
}

void TDumpColumns::Put(const std::string& item) {
    const int width = static_cast<int>(item.size());
    column_ += width;
    if (column_ > LastColumn) {
        out_ += DumpLineBreak;
        out_.append(static_cast<std::size_t>(indent_), ' ');
        column_ = width + restartExtra_;
    }
    out_ += item;
}

int32_t WriteDumpFile(const std::string& fileName, const std::string& text, bool append) {
    std::string content;
    if (append && FileNameExists(fileName)) {
        if (const int32_t failed = ReadWholeFile(fileName, content)) return failed;
    }
    content += text;

    std::string temporary = fileName + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return -errno;
    int32_t result = ::fchmod(fd, 0644) == 0 ? WriteAll(fd, content) : -errno;
    if (::close(fd) != 0 && result == 0) result = -errno;
    if (result == 0 && ::rename(temporary.c_str(), fileName.c_str()) != 0) result = -errno;
    if (result != 0) ::unlink(temporary.c_str());
    return result;
}

std::string OperatingSystemText() {
    struct utsname names {};
    const std::string release = ::uname(&names) == 0 ? names.release : "";
    return ("Linux " + release).substr(0, 80);
}

std::string CompilerText() {
#if defined(__clang__)
    return "Clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "Unknown";
#endif
}

std::string DumpDateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[81];
    std::strftime(text, sizeof text, "%d/%m/%y, %H:%M:%S", &local);
    return text;
}
