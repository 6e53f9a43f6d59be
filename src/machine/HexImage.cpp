#include "machine/HexImage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The last character a record can reach: data of 255 bytes after the
// 9-character header. Longer lines are kept only up to here.
constexpr size_t MaxUsefulLine = 9 + 2 * 255 + 2;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Stores the records of one file, fed one line at a time.
class THexRecordReader {
public:
    THexRecordReader(TMemoryImage& image, const std::string& fileName) : FImage(image), FFileName(fileName) {}

    // False once a count of 0 has ended the load.
    bool Line(const std::string& line) {
        ++FLineNumber;
        uint8_t count = static_cast<uint8_t>(Field(line, 1, 2));
        if (count == 0) return false;
        uint16_t address = static_cast<uint16_t>(Field(line, 3, 4));
        if (FResult.BytesStored == 0) FResult.First = address;
        for (size_t i = 0; i < count; ++i) {
            FImage[address] = static_cast<uint8_t>(Field(line, 9 + 2 * i, 2));
            FResult.Stored.set(address);
            address = static_cast<uint16_t>(address + 1);
            ++FResult.BytesStored;
        }
        FResult.NextFree = address;
        return true;
    }

    THexLoadResult Finish() const {
        if (FResult.BytesStored == 0) throw EHexNoDataError("The file \"" + FFileName + "\" holds no data records.");
        return FResult;
    }

private:
    // The value of line[pos .. pos+len-1] (0-based) as hexadecimal.
    uint32_t Field(const std::string& line, size_t pos, size_t len) const {
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
        // The conversion's own words, then which line of which file is no
        // HEX record: a text or binary file picked by mistake fails here.
        if (!ok)
            throw EConvertError("'$" + field + "' is not a valid integer value: line " + std::to_string(FLineNumber) +
                                " of \"" + FFileName + "\" is not an Intel HEX record.");
        return value;
    }

    TMemoryImage& FImage;
    const std::string& FFileName;
    THexLoadResult FResult;
    uint64_t FLineNumber = 0;
};

struct TFdCloser {
    int Fd;
    ~TFdCloser() { ::close(Fd); }
};

}  // namespace

THexLoadResult LoadHexLines(const std::vector<std::string>& lines, TMemoryImage& image, const std::string& fileName) {
    THexRecordReader reader(image, fileName);
    for (const std::string& line : lines)
        if (!reader.Line(line)) break;
    return reader.Finish();
}

THexLoadResult LoadHexImage(const std::string& fileName, TMemoryImage& image) {
    // Non-blocking open and checked before reading: a FIFO or a device
    // would block or never end.
    const std::string cannotOpen = "Cannot open file \"" + fileName + "\". ";
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) throw EFileOpenError(cannotOpen + std::strerror(errno));
    TFdCloser closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw EFileOpenError(cannotOpen + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw EFileOpenError(cannotOpen + "Not a regular file");
    if (st.st_size > MaxTextFileSize) throw EFileOpenError(cannotOpen + "File too large");

    THexRecordReader reader(image, fileName);
    std::string line;
    bool lineOpen = false;  // characters seen since the last line end
    bool afterCr = false;   // an LF right after CR ends no further line
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EFileOpenError("Cannot read file \"" + fileName + "\".");
        if (n == 0) break;
        for (ssize_t i = 0; i < n; ++i) {
            char c = buffer[i];
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                if (!reader.Line(line)) return reader.Finish();
                line.clear();
                lineOpen = false;
                continue;
            }
            lineOpen = true;
            if (line.size() < MaxUsefulLine) line.push_back(c);
        }
    }
    if (lineOpen) reader.Line(line);
    return reader.Finish();
}

THexSpan HexLoadedSpan(const TStoredMap& stored, uint16_t first) {
    if (stored.none()) return {first, 0};
    if (stored.all()) return {first, 65536};
    // The span is everything outside the longest run of untouched
    // addresses; of equally long runs, the one that ends just before the
    // first record wins, so the span starts there.
    uint32_t bestStart = 0;
    uint32_t bestLength = 0;
    uint32_t origin = 0;
    while (!stored.test(origin)) ++origin;  // a stored address: runs start after it
    uint32_t runStart = 0;
    uint32_t runLength = 0;
    for (uint32_t k = 1; k <= 65536; ++k) {
        uint32_t a = (origin + k) & 0xFFFF;
        if (!stored.test(a)) {
            if (runLength++ == 0) runStart = a;
            continue;
        }
        if (runLength > bestLength || (runLength == bestLength && a == first)) {
            bestStart = runStart;
            bestLength = runLength;
        }
        runLength = 0;
    }
    return {static_cast<uint16_t>(bestStart + bestLength), 65536 - bestLength};
}
