// Agreement with Debian's cpmtools, an independent reader and writer of the
// same file system, both ways, and on files with missing extents or blocks.

#include <cctype>

#include "CpmToolsFixture.h"
#include "support/NamedRows.h"

using namespace tavrin::test;

namespace {

class CpmToolsAgreement : public CpmToolsFixture {};

TEST_F(CpmToolsAgreement, FilesWeWriteCheckListAndCopyOutAlike) {
    const struct {
        std::string name;
        size_t size;
        uint8_t user, pad;
        std::string ref;  // the tool's name for it after the changes below
    } files[] = {
        {"ONE.BIN", 1, 0, 0x00, "0:one.bin"},       {"REC.BIN", 128, 0, 0x00, "0:rec.bin"},
        {"TEXT.TXT", 300, 0, 0x1A, "0:text.txt"},   {"EXT.BIN", 16384, 3, 0x00, "9:ext.bin"},
        {"EXT2.BIN", 16385, 3, 0x00, "3:ext2.bin"}, {"BIG.DAT", 200000, 15, 0x00, "15:big.dat"},
        {"NOEXT", 5000, 0, 0x1A, "0:noext"},        {"GONE.TMP", 9000, 0, 0x00, "0:gone.tmp"},
        {"OLD.NAM", 2048, 7, 0x00, "7:new.nam"},
    };
    for (const auto& f : files) Import(f.name, CpmFilePattern(f.size, static_cast<uint32_t>(f.size)), f.user, f.pad);
    {
        TCpmDiskDrive drive(Image);
        int index;
        drive.DeleteFile("GONE.TMP", 0);
        drive.RenameFile("OLD.NAM", "new.nam", index, 7);
        drive.SetFileAttributes("TEXT.TXT", CpmAttrReadOnly | CpmAttrSystem, index, 0, 0);
        drive.SetFileAttributes("EXT.BIN", CpmAttrArchive, index, 9, 3);
    }
    ExpectSameListing();
    for (const auto& f : files) {
        const std::string host = "out-" + std::to_string(f.size);
        const ToolResult r = Tool("cpmcp", "img.cpmdsk " + f.ref + " " + host);
        if (f.name == "GONE.TMP") {
            EXPECT_FALSE(std::filesystem::exists(Dir.File(host))) << "deleted file still there";
            continue;
        }
        ASSERT_EQ(r.status, 0) << f.ref << ": " << r.output;
        EXPECT_TRUE(ReadFileBytes(Dir.File(host)) ==
                    Padded(CpmFilePattern(f.size, static_cast<uint32_t>(f.size)), f.pad))
            << f.ref;
    }
}

TEST_F(CpmToolsAgreement, FilesTheyWriteListAndExportAlike) {
    const struct {
        std::string name;
        size_t size;
        std::string user;
    } files[] = {
        {"empty.txt", 0, "0"},     {"one.bin", 1, "0"},     {"short.txt", 127, "0"},
        {"rec.bin", 128, "0"},     {"ext.bin", 16384, "5"}, {"ext2.bin", 16385, "5"},
        {"big.dat", 300000, "12"}, {"noext", 4096, "0"},    {"mid.com", 20480, "0"},
    };
    for (const auto& f : files) {
        WriteFileBytes(Dir.File("host-" + f.name), CpmFilePattern(f.size, static_cast<uint32_t>(f.size) + 1));
        const ToolResult r = Tool("cpmcp", "img.cpmdsk host-" + f.name + " " + f.user + ":" + f.name);
        ASSERT_EQ(r.status, 0) << f.name << ": " << r.output;
    }
    ASSERT_EQ(Tool("cpmchattr", "img.cpmdsk rs 0:one.bin").status, 0);
    ASSERT_EQ(Tool("cpmchattr", "img.cpmdsk a 5:ext2.bin").status, 0);
    ASSERT_EQ(Tool("cpmrm", "img.cpmdsk 0:mid.com").status, 0);
    ExpectSameListing();

    for (const auto& f : files) {
        if (f.name == "mid.com") continue;
        std::string upper = f.name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto data = CpmFilePattern(f.size, static_cast<uint32_t>(f.size) + 1);
        const std::string exported = Export(upper, static_cast<uint8_t>(std::stoi(f.user)));
        // Whole records come out; the tool fills the last one with zeros.
        EXPECT_EQ(exported, AsString(Padded(data, 0x00))) << f.name;
    }
    // Our delete and rename of their files; the space freed is used again
    // by our import, and the tool reads our file back.
    {
        TCpmDiskDrive drive(Image);
        int index;
        drive.DeleteFile("noext", 0);
        drive.RenameFile("SHORT.TXT", "renamed.txt", index, 0);
    }
    const auto data = CpmFilePattern(20480, 99);
    Import("AGAIN.COM", data, 0, 0x00);
    ExpectSameListing();
    ASSERT_EQ(Tool("cpmcp", "img.cpmdsk 0:again.com again.out").status, 0);
    EXPECT_TRUE(ReadFileBytes(Dir.File("again.out")) == data);
    // The tool's own byte count in the entry survives our rename.
    ASSERT_EQ(Tool("cpmcp", "img.cpmdsk 0:renamed.txt r.out").status, 0);
    EXPECT_TRUE(ReadFileBytes(Dir.File("r.out")) == CpmFilePattern(127, 128));
}

struct TLayoutCase {
    const char* name;
    std::vector<std::pair<int, TCpmDirEntry>> Entries;
    size_t Size;
};

TAVRIN_PRINT_AS_NAME(TLayoutCase)
class CpmSparseExport : public CpmToolsAgreement, public ::testing::WithParamInterface<TLayoutCase> {};

TEST_P(CpmSparseExport, AgreesWithCpmtools) {
    for (const auto& [index, entry] : GetParam().Entries) {
        PokeEntry(Image, index, entry);
        for (int p = 0; p < 8; ++p)
            if (const uint16_t b = CpmEntryGetPointer(entry, p)) Poke(Image, BlockOffset(b), CpmFilePattern(2048, b));
    }
    const std::string ours = Export("FILE.DAT", 0);
    EXPECT_EQ(ours.size(), GetParam().Size);
    ASSERT_EQ(Tool("cpmcp", "img.cpmdsk 0:file.dat tool.out").status, 0);
    EXPECT_TRUE(ours == AsString(ReadFileBytes(Dir.File("tool.out")))) << "differs from cpmtools";
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CpmSparseExport,
    ::testing::Values(
        // Record 300 lies in extent 2: it must land at 300 * 128 = 38400.
        TLayoutCase{"MissingExtent",
                    {{0, MakeEntry(0, "FILE", "DAT", 0, 0, 128, {4, 5, 6, 7, 8, 9, 10, 11})},
                     {1, MakeEntry(0, "FILE", "DAT", 2, 0, 45, {12, 13, 14})}},
                    38528},
        TLayoutCase{"MissingBlockInsideAnExtent", {{3, MakeEntry(0, "FILE", "DAT", 0, 0, 48, {20, 0, 22})}}, 6144},
        TLayoutCase{
            "ShortExtentBeforeTheLast",
            {{5, MakeEntry(0, "FILE", "DAT", 1, 0, 10, {32})}, {2, MakeEntry(0, "FILE", "DAT", 0, 0, 20, {30, 31})}},
            17664},
        TLayoutCase{"OnlyAHighExtent", {{0, MakeEntry(0, "FILE", "DAT", 33, 1, 3, {40})}}, 33 * 16384 + 384},
        // The record count, not the last block, ends the file.
        TLayoutCase{"LastRecordsInAHole", {{0, MakeEntry(0, "FILE", "DAT", 0, 0, 128, {4})}}, 16384}),
    tavrin::test::RowName);

}  // namespace
