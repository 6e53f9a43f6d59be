#pragma once
// Intel HEX input into a 64 KB image, record by record in file order:
// characters 2-3 the byte count (0 ends the load), 4-7 the load address,
// 10 on the data. Record types and checksums are not examined, so any record
// with data (an extended-address record included) is stored at its address.

#include <array>
#include <bitset>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using TMemoryImage = std::array<uint8_t, 65536>;
// One bit per address: which bytes of the image a load stored.
using TStoredMap = std::bitset<65536>;

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

// A file that ends (or reaches a count of 0) before any record with data.
class EHexNoDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct THexLoadResult {
    uint16_t First = 0;     // address of the first record read
    uint16_t NextFree = 0;  // address after the last byte of the last record
    uint32_t BytesStored = 0;
    TStoredMap Stored;
};

// Loads the lines (without line ends) into image, which the caller has
// cleared. fileName only names the source in error messages.
THexLoadResult LoadHexLines(const std::vector<std::string>& lines, TMemoryImage& image, const std::string& fileName);
// Reads the file line by line, holding one line at a time.
THexLoadResult LoadHexImage(const std::string& fileName, TMemoryImage& image);

// The range of memory a load replaces: the shortest run of addresses
// (wrapping at FFFFh) that holds every stored byte, so memory the records
// do not reach stays as it was. Only a load that stored every address
// covers all 65,536 bytes. For records in rising order it runs from the
// first record's address to NextFree.
struct THexSpan {
    uint16_t Start = 0;
    uint32_t Length = 0;  // 0..65536
};
THexSpan HexLoadedSpan(const TStoredMap& stored, uint16_t first);

// A HEX file for 64 KB of memory is far smaller; anything larger is not one.
inline constexpr long long MaxTextFileSize = 16LL * 1024 * 1024;
