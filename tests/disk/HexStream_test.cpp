// The Intel HEX-32 writer: exact record texts, checksums and segment
// handling, whatever pieces the data is written in.

#include "CpmTestSupport.h"
#include "disk/HexStream.h"

using namespace cpmtest;

namespace {

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
    return storetest::ReadFile(path);
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
}

}  // namespace
