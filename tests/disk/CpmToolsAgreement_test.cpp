// Agreement with Debian's cpmtools, an independent reader and writer of the
// same file system, both ways, and on files with missing extents or blocks.

#include <array>
#include <cctype>
#include <cstdio>
#include <map>
#include <sstream>

#include "CpmTestSupport.h"
#include "support/NamedRows.h"

using namespace cpmtest;

namespace {

struct ToolResult {
    int status = -1;
    std::string output;
};

class CpmToolsAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"cpmls", "cpmcp", "cpmrm", "cpmchattr", "fsck.cpm"}) {
            const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
            ASSERT_EQ(std::system(probe.c_str()), 0)
                << tool << " (Debian package cpmtools) is needed for this test and was not found";
        }
        // cpmtools reads "diskdefs" from the working folder first.
        std::ofstream defs(Dir.File("diskdefs"));
        defs << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
                "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
        Image = Dir.File("img.cpmdsk");
        MakeFreshImage(Image);
    }

    ToolResult Run(const std::string& args) {
        const std::string cmd = "cd '" + Dir.Path().string() + "' && " + args + " 2>&1";
        ToolResult r;
        FILE* p = ::popen(cmd.c_str(), "r");
        if (p == nullptr) return r;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
        r.status = ::pclose(p);
        return r;
    }

    ToolResult Tool(const std::string& tool, const std::string& args) {
        return Run(tool + " -f cpmdsk1m -T raw " + args);
    }

    // Blocks in use as the checker counts them ("n/508 blocks"); it must
    // find nothing wrong.
    int ToolUsedBlocks() {
        const ToolResult r = Tool("fsck.cpm", "-n img.cpmdsk");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Error"), std::string::npos) << r.output;
        const size_t slash = r.output.find("/508 blocks");
        if (slash == std::string::npos) {
            ADD_FAILURE() << r.output;
            return -1;
        }
        return std::stoi(r.output.substr(r.output.find_last_not_of("0123456789", slash - 1) + 1));
    }

    // "user:NAME.EXT" -> records and attributes, from the tool's full listing.
    using Listing = std::map<std::string, std::pair<int, int>>;
    Listing ToolListing() {
        const ToolResult r = Tool("cpmls", "-F img.cpmdsk");
        EXPECT_EQ(r.status, 0) << r.output;
        Listing files;
        std::istringstream in(r.output);
        std::string line;
        int user = -1;
        const std::string heading = "Directory For Drive A:  User";
        while (std::getline(in, line)) {
            if (line.rfind(heading, 0) == 0) {
                user = std::stoi(line.substr(heading.size()));
                continue;
            }
            if (user < 0 || line.size() < 13 || line[8] != ' ' || line.find("None") == std::string::npos) continue;
            std::istringstream fields(line.substr(0, 8) + " " + line.substr(12));
            std::string name, size, recs, attrs, ext = line.substr(9, 3);
            fields >> name >> size >> recs >> attrs;
            ext.erase(ext.find_last_not_of(' ') + 1);
            int attributes = 0;
            const std::pair<char, int> bits[] = {{'R', CpmAttrReadOnly}, {'S', CpmAttrSystem}, {'A', CpmAttrArchive}};
            for (const auto& [letter, bit] : bits)
                if (attrs != "None" && attrs.find(letter) != std::string::npos) attributes |= bit;
            files[std::to_string(user) + ":" + name + (ext.empty() ? "" : "." + ext)] = {std::stoi(recs), attributes};
        }
        return files;
    }

    // Both list the same files with the same records and attributes, and
    // use the same number of blocks.
    void ExpectSameListing() {
        TCpmDiskDrive drive(Image);
        Listing ours;
        for (int i = 0; i < drive.FileList->GetCount(); ++i) {
            const TCpmDiskFileInfo* f = drive.FileList->GetItem(i);
            ours[drive.FileList->GetKey(i)] = {f->Records, f->Attributes};
        }
        EXPECT_EQ(ours, ToolListing());
        EXPECT_EQ(508 - drive.FileList->Allocation.FreeCount, ToolUsedBlocks());
    }

    void Import(const std::string& name, const std::vector<uint8_t>& data, uint8_t user, uint8_t pad) {
        TCpmDiskDrive drive(Image);
        std::istringstream in(AsString(data));
        int index;
        drive.ImportFile(name, in, static_cast<int32_t>(data.size()), index, user, pad);
    }

    std::string Export(const std::string& name, uint8_t user) {
        TCpmDiskDrive drive(Image);
        std::ostringstream out;
        drive.ExportFile(name, false, out, user);
        return out.str();
    }

    TempDir Dir;
    std::string Image;
};

std::vector<uint8_t> Padded(std::vector<uint8_t> v, uint8_t pad) {
    v.resize((v.size() + 127) / 128 * 128, pad);
    return v;
}

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
    for (const auto& f : files) Import(f.name, Pattern(f.size, static_cast<uint32_t>(f.size)), f.user, f.pad);
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
        EXPECT_TRUE(ReadFileBytes(Dir.File(host)) == Padded(Pattern(f.size, static_cast<uint32_t>(f.size)), f.pad))
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
        WriteFileBytes(Dir.File("host-" + f.name), Pattern(f.size, static_cast<uint32_t>(f.size) + 1));
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
        const auto data = Pattern(f.size, static_cast<uint32_t>(f.size) + 1);
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
    const auto data = Pattern(20480, 99);
    Import("AGAIN.COM", data, 0, 0x00);
    ExpectSameListing();
    ASSERT_EQ(Tool("cpmcp", "img.cpmdsk 0:again.com again.out").status, 0);
    EXPECT_TRUE(ReadFileBytes(Dir.File("again.out")) == data);
    // The tool's own byte count in the entry survives our rename.
    ASSERT_EQ(Tool("cpmcp", "img.cpmdsk 0:renamed.txt r.out").status, 0);
    EXPECT_TRUE(ReadFileBytes(Dir.File("r.out")) == Pattern(127, 128));
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
            if (const uint16_t b = CpmEntryGetPointer(entry, p)) Poke(Image, BlockOffset(b), Pattern(2048, b));
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
        TLayoutCase{"OnlyAHighExtent", {{0, MakeEntry(0, "FILE", "DAT", 33, 1, 3, {40})}}, 33 * 16384 + 384}),
    tavrin::test::RowName);

}  // namespace
