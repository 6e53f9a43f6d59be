#pragma once
// Intel HEX input into a 64 KB image, record by record in file order:
// characters 2-3 the byte count (0 ends the load), 4-7 the load address,
// 10 on the data. Record types and checksums are not examined, so any record
// with data (an extended-address record included) is stored at its address.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using TMemoryImage = std::array<uint8_t, 65536>;

// A field that is not hexadecimal, or a line too short for it.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened or read.
class EFileOpenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct THexLoadResult {
    uint16_t First = 0;      // address of the first record read
    uint16_t NextFree = 0;   // address after the last byte of the last record
    uint32_t BytesStored = 0;
};

// Loads the lines (CR LF or LF) into image, which the caller has cleared.
THexLoadResult LoadHexLines(const std::vector<std::string>& lines, TMemoryImage& image);
// Reads the file whole, then LoadHexLines.
THexLoadResult LoadHexImage(const std::string& fileName, TMemoryImage& image);

// Bytes to copy for a load from first to nextFree: nextFree - first in 16
// bits, except that a load which stored data and wrapped all the way round
// (length 0) covers all 65,536 bytes.
uint32_t HexCopyLength(uint16_t first, uint16_t nextFree, uint32_t bytesStored);

// A HEX file for 64 KB of memory is far smaller; anything larger is not one.
inline constexpr long long MaxTextFileSize = 16LL * 1024 * 1024;

// Reads a whole regular file of at most MaxTextFileSize bytes as lines
// without their line ends; throws EFileOpenError otherwise.
std::vector<std::string> ReadTextLines(const std::string& fileName);
