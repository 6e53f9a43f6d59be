#include "machine/HexImage.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The value of line[pos .. pos+len-1] (0-based) as hexadecimal.
uint32_t HexField(const std::string& line, size_t pos, size_t len)
{
    std::string field = pos < line.size() ? line.substr(pos, len) : std::string();
    uint32_t value = 0;
    bool ok = field.size() == len;
    for (char c : field) {
        int d = HexDigit(c);
        if (d < 0) {
            ok = false;
            break;
        }
        value = value * 16 + static_cast<uint32_t>(d);
    }
    if (!ok)
        throw EConvertError("'$" + field + "' is not a valid integer value");
    return value;
}

} // namespace

std::vector<std::string> ReadTextLines(const std::string& fileName)
{
    // Checked before opening: a FIFO or a device would block or never end.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0)
        throw EFileOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw EFileOpenError("Cannot open file \"" + fileName + "\". Not a regular file");
    if (st.st_size > MaxTextFileSize)
        throw EFileOpenError("Cannot open file \"" + fileName + "\". File too large");
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw EFileOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw EFileOpenError("Cannot read file \"" + fileName + "\".");
    std::string all = text.str();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(all.substr(start));
            break;
        }
        lines.push_back(all.substr(start, end - start));
        start = end + ((all[end] == '\r' && end + 1 < all.size() && all[end + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

THexLoadResult LoadHexLines(const std::vector<std::string>& lines, TMemoryImage& image)
{
    THexLoadResult result;
    bool first = true;
    for (const std::string& line : lines) {
        uint8_t count = static_cast<uint8_t>(HexField(line, 1, 2));
        if (count == 0)
            break;
        result.NextFree = static_cast<uint16_t>(HexField(line, 3, 4));
        if (first) {
            result.First = result.NextFree;
            first = false;
        }
        for (size_t i = 0; i < count; ++i) {
            image[result.NextFree] = static_cast<uint8_t>(HexField(line, 9 + 2 * i, 2));
            result.NextFree = static_cast<uint16_t>(result.NextFree + 1);
            ++result.BytesStored;
        }
    }
    return result;
}

THexLoadResult LoadHexImage(const std::string& fileName, TMemoryImage& image)
{
    return LoadHexLines(ReadTextLines(fileName), image);
}

uint32_t HexCopyLength(uint16_t first, uint16_t nextFree, uint32_t bytesStored)
{
    uint16_t length = static_cast<uint16_t>(nextFree - first);
    if (length == 0 && bytesStored > 0)
        return 65536;
    return length;
}
