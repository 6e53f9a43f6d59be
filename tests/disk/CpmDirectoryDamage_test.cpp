// Directory damage on a CP/M image: an extent held by two entries is
// reported and refused; every entry that is not free keeps its blocks from
// imports; files with missing extents or blocks export at their logical
// positions, byte for byte as Debian's cpmtools copies them out.

#include <array>
#include <cstdio>
#include <sstream>

#include "CpmTestSupport.h"

using namespace cpmtest;

namespace {

class CpmDirectoryDamage : public ::testing::Test {
protected:
    void SetUp() override {
        Image = Dir.File("img.cpmdsk");
        MakeFreshImage(Image);
    }

    std::string Export(const std::string& name, bool text = false) {
        TCpmDiskDrive drive(Image);
        std::ostringstream out;
        drive.ExportFile(name, text, out, 0);
        return out.str();
    }

    // The file as cpmtools copies it out; empty when a tool fails.
    std::string ToolExport(const std::string& name) {
        std::ofstream(Dir.File("diskdefs"))
            << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
               "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
        const std::string cmd = "cd '" + Dir.Path().string() + "' && cpmcp -f cpmdsk1m -T raw img.cpmdsk 0:" +
                                name + " tool.out 2>&1";
        if (std::system(cmd.c_str()) != 0) return {};
        return AsString(ReadFileBytes(Dir.File("tool.out")));
    }

    TempDir Dir;
    std::string Image;
};

struct TLayoutCase {
    const char* Name;
    std::vector<std::pair<int, TCpmDirEntry>> Entries;
    size_t Size;
};

class CpmSparseExport : public CpmDirectoryDamage, public ::testing::WithParamInterface<TLayoutCase> {};

TEST_P(CpmSparseExport, AgreesWithCpmtools) {
    ASSERT_EQ(std::system("command -v cpmcp >/dev/null 2>&1"), 0)
        << "cpmcp (Debian package cpmtools) is needed for this test and was not found";
    const TLayoutCase& c = GetParam();
    for (const auto& [index, entry] : c.Entries) {
        PokeEntry(Image, index, entry);
        for (int p = 0; p < 8; ++p)
            if (const uint16_t b = CpmEntryGetPointer(entry, p))
                Poke(Image, BlockOffset(b), Pattern(2048, b));
    }
    const std::string ours = Export("FILE.DAT");
    EXPECT_EQ(ours.size(), c.Size);
    EXPECT_TRUE(ours == ToolExport("file.dat")) << "differs from cpmtools";
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
        TLayoutCase{"ShortExtentBeforeTheLast",
                    {{5, MakeEntry(0, "FILE", "DAT", 1, 0, 10, {32})},
                     {2, MakeEntry(0, "FILE", "DAT", 0, 0, 20, {30, 31})}},
                    17664},
        TLayoutCase{"OnlyAHighExtent", {{0, MakeEntry(0, "FILE", "DAT", 33, 1, 3, {40})}}, 33 * 16384 + 384}),
    [](const ::testing::TestParamInfo<TLayoutCase>& info) { return std::string(info.param.Name); });

TEST_F(CpmDirectoryDamage, RepeatedExtentIsReportedAndRefused) {
    PokeEntry(Image, 0, MakeEntry(0, "TWICE", "TXT", 0, 0, 16, {4}));
    PokeEntry(Image, 1, MakeEntry(0, "OTHER", "TXT", 0, 0, 16, {6}));
    PokeEntry(Image, 7, MakeEntry(0, "twice", "txt", 0, 0, 16, {5}));
    const std::vector<uint8_t> before = ReadFileBytes(Image);

    TCpmDiskDrive drive(Image);
    ASSERT_EQ(drive.Problems().size(), 1u);
    EXPECT_EQ(drive.Problems()[0],
              "Directory entries 0 and 7 both hold extent 0 of the file \"twice.txt\" in user area 0.");
    const std::string refusal = "The file \"TWICE.TXT\" has more than one directory entry for extent 0!";
    int index = 0;
    std::ostringstream out;
    const std::function<void()> operations[] = {
        [&] { drive.ExportFile("TWICE.TXT", false, out, 0); },
        [&] { drive.RenameFile("TWICE.TXT", "NEW.TXT", index, 0); },
        [&] { drive.DeleteFile("TWICE.TXT", 0); },
        [&] { drive.SetFileAttributes("TWICE.TXT", CpmAttrReadOnly, index, 3, 0); },
    };
    for (const auto& operation : operations)
        EXPECT_THROW(
            try { operation(); } catch (const EDiskError& e) {
                EXPECT_EQ(std::string(e.what()), refusal);
                throw;
            },
            EDiskError);
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(ReadFileBytes(Image) == before) << "nothing written";
    // The undamaged file is followed as before.
    EXPECT_EQ(Export("OTHER.TXT").size(), 2048u);
}

class CpmForeignEntryBlocks : public CpmDirectoryDamage, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(CpmForeignEntryBlocks, ImportDoesNotReuseThem) {
    const uint8_t user = GetParam();
    // Blocks 4 and 5 are the first free ones on a fresh image.
    PokeEntry(Image, 0, MakeEntry(user, "KEEP", "", 0, 0, 32, {4, 5}));
    const std::vector<uint8_t> kept = Peek(Image, BlockOffset(4), 4096);
    TCpmDiskDrive drive(Image);
    std::istringstream in(std::string(5000, 'n'));
    int index = 0;
    drive.ImportFile("NEW.DAT", in, 5000, index, 0, 0x1A);
    EXPECT_EQ(CpmEntryGetPointer(PeekEntry(Image, 1), 0), 6);
    EXPECT_TRUE(Peek(Image, BlockOffset(4), 4096) == kept);
}

INSTANTIATE_TEST_SUITE_P(UserBytes, CpmForeignEntryBlocks, ::testing::Values(0x21, 0x7F, 0x80, 0xE4, 0xE6, 0xFF));

} // namespace
