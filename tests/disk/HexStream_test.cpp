// The Intel HEX-32 writer: exact record texts, segment handling, checked
// failures, and a whole image read back by objcopy.

#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "CpmTestSupport.h"
#include "disk/HexStream.h"

using namespace cpmtest;

namespace {

std::string ReadText(const std::string& path) { return AsString(ReadFileBytes(path)); }

// Writes data in pieces of chunk bytes; the file is finished by Finish, or
// with finishByDestructor by the destructor alone.
std::string WriteHex(const std::string& path, uint32_t start, uint16_t recordLength,
                     const std::vector<uint8_t>& data, size_t chunk = 1000,
                     bool finishByDestructor = false) {
    {
        TZilogHex32WriterStream out(path, start, recordLength);
        for (size_t at = 0; at < data.size(); at += chunk) {
            const auto n = static_cast<int32_t>(std::min(chunk, data.size() - at));
            EXPECT_EQ(out.Write(data.data() + at, n), n);
        }
        if (!finishByDestructor) out.Finish();
    }
    return ReadText(path);
}

// An independent reader of the output: checks every line's syntax and
// checksum and the rules on segments, and collects the data by address.
struct Decoded {
    std::map<uint64_t, uint8_t> bytes;
    int dataRecords = 0, extRecords = 0, endRecords = 0;
    int longestRecord = 0;
    bool crossesSegment = false, dataAfterEnd = false;
};

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is not what the writer produces
}

Decoded Decode(const std::string& text) {
    Decoded d;
    uint64_t upper = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eol = text.find("\r\n", pos);
        EXPECT_NE(eol, std::string::npos) << "line without CR LF at " << pos;
        if (eol == std::string::npos) break;
        const std::string line = text.substr(pos, eol - pos);
        pos = eol + 2;
        EXPECT_EQ(line[0], ':');
        EXPECT_EQ(line.size() % 2, 1u) << line;
        std::vector<uint8_t> b;
        for (size_t i = 1; i + 1 < line.size(); i += 2) {
            const int hi = HexValue(line[i]), lo = HexValue(line[i + 1]);
            EXPECT_TRUE(hi >= 0 && lo >= 0) << line;
            b.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
        if (b.size() < 5 || b.size() != b[0] + 5u) {
            ADD_FAILURE() << "bad length: " << line;
            continue;
        }
        uint8_t sum = 0;
        for (uint8_t x : b) sum = static_cast<uint8_t>(sum + x);
        EXPECT_EQ(sum, 0) << "checksum of " << line;
        const uint16_t addr = static_cast<uint16_t>(b[1] << 8 | b[2]);
        if (d.endRecords > 0) d.dataAfterEnd = true;
        switch (b[3]) {
            case 0x00:
                ++d.dataRecords;
                d.longestRecord = std::max<int>(d.longestRecord, b[0]);
                if (addr + b[0] > 0x10000) d.crossesSegment = true;
                for (int i = 0; i < b[0]; ++i) d.bytes[upper + addr + i] = b[4 + i];
                break;
            case 0x04:
                ++d.extRecords;
                upper = uint64_t{static_cast<uint16_t>(b[4] << 8 | b[5])} << 16;
                break;
            case 0x01:
                ++d.endRecords;
                break;
            default:
                ADD_FAILURE() << "record type " << int{b[3]};
        }
    }
    return d;
}

TEST(HexWriter, ExactFilesForSmallCases) {
    TempDir dir;
    std::vector<uint8_t> ramp(64);
    for (int i = 0; i < 64; ++i) ramp[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    std::string fff0 = TZilogHex32WriterStream::FormatDataRecord(0xFFF0, ramp.data(), 16);
    fff0 += ":020000040001F9\r\n";
    fff0 += TZilogHex32WriterStream::FormatDataRecord(0, ramp.data() + 16, 48);
    fff0 += ":00000001FF\r\n";

    const struct {
        std::string label;
        uint32_t start;
        uint16_t recordLength;
        std::vector<uint8_t> data;
        std::string want;
    } cases[] = {
        {"nothing, low", 0x0100, 64, {}, ":00000001FF\r\n"},
        {"nothing, high start writes no type 04", 0x10000, 64, {}, ":00000001FF\r\n"},
        {"three bytes", 0x0100, 64, {1, 2, 3}, ":03010000010203F6\r\n:00000001FF\r\n"},
        {"ten bytes at 100000h", 0x100000, 64, std::vector<uint8_t>(10, 0xAA),
         ":020000040010EA\r\n:0A000000AAAAAAAAAAAAAAAAAAAA52\r\n:00000001FF\r\n"},
        {"split at a segment boundary", 0xFFF0, 64, ramp, fff0},
        {"full record then a short one", 0x0000, 2, {0x10, 0x20, 0x30},
         ":020000001020CE\r\n:0100020030CD\r\n:00000001FF\r\n"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File("out.hex");
        for (size_t chunk : {size_t{1}, size_t{7}, size_t{1000}})
            EXPECT_EQ(WriteHex(path, c.start, c.recordLength, c.data, chunk, chunk == 7), c.want)
                << c.label << ", chunk " << chunk;
    }
    EXPECT_EQ(TZilogHex32WriterStream::FormatDataRecord(0x0100, ramp.data() + 1, 3),
              ":03010000010203F6\r\n");
    EXPECT_EQ(TZilogHex32WriterStream::FormatExtAddressRecord(0x00100000), ":020000040010EA\r\n");
    EXPECT_EQ(TZilogHex32WriterStream::FormatExtAddressRecord(0xFFFF0000), ":02000004FFFFFC\r\n");
    EXPECT_EQ(TZilogHex32WriterStream::FormatEndRecord(), ":00000001FF\r\n");
}

TEST(HexWriter, WholeImageReadsBackThroughObjcopy) {
    ASSERT_EQ(std::system("command -v objcopy >/dev/null 2>&1"), 0)
        << "objcopy (binutils) is needed for this test and was not found";
    TempDir dir;
    const auto image = Pattern(1048576, 77);
    const std::string hex = dir.File("disk.hex");
    const std::string text = WriteHex(hex, 0x100000, 64, image, 128);

    const Decoded d = Decode(text);
    EXPECT_EQ(d.extRecords, 16);
    EXPECT_EQ(d.dataRecords, 16384);
    EXPECT_EQ(text.substr(0, 17), ":020000040010EA\r\n");
    EXPECT_NE(text.find(":020000040011E9\r\n"), std::string::npos);

    const std::string bin = dir.File("disk.bin");
    const std::string cmd = "objcopy -I ihex -O binary '" + hex + "' '" + bin + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    EXPECT_TRUE(ReadFileBytes(bin) == image) << "objcopy's bytes differ from the image";
}

}  // namespace
