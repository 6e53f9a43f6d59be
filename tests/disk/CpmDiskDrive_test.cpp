// The file system on real image files.

#include <functional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <tuple>

#include "CpmTestSupport.h"

using namespace tavrin::test;

namespace {

class CpmDisk : public ::testing::Test {
protected:
    void SetUp() override {
        Image = Dir.File("disk.cpmdsk");
        MakeImage(Image);
    }

    void Import(const std::string& name, const std::vector<uint8_t>& data) {
        TCpmDiskDrive drive(Image);
        std::istringstream in(AsString(data));
        int index = -2;
        drive.ImportFile(name, in, static_cast<int32_t>(data.size()), index, 0, 0x1A);
    }

    std::string Export(const std::string& name, bool text) {
        TCpmDiskDrive drive(Image);
        std::ostringstream out;
        drive.ExportFile(name, text, out, 0);
        return out.str();
    }

    TCpmDiskFileInfoList Listing() {
        TCpmDiskDrive drive(Image);
        TCpmDiskFileInfoList list;
        drive.GetFileList(list);
        return list;
    }

    template <typename F>
    std::string MessageOf(F&& f) {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "(no exception)";
    }

    TTempFolder Dir;
    std::string Image;
};

// A source that delivers some bytes and then reports a read error.
class FailingSource : public std::streambuf {
public:
    explicit FailingSource(size_t good) : FData(good, 'x') {
        setg(FData.data(), FData.data(), FData.data() + FData.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("device gone"); }

private:
    std::string FData;
};

TEST_F(CpmDisk, ListingOfAPreparedDirectory) {
    PokeEntry(Image, 7, MakeEntry(3, "BIG", "DAT", 2, 0, 5, {30}));
    PokeEntry(Image, 2, MakeEntry(3, "BIG", "DAT", 0, 0, 128, {10, 11, 12, 13, 14, 15, 16, 17}));
    PokeEntry(Image, 5, MakeEntry(3, "BIG", "DAT", 1, 0, 128, {18, 19, 20, 21, 22, 23, 24, 25}));
    PokeEntry(Image, 0, MakeEntry(2, "SAME", "", 0, 0, 1, {5, 0, 7}));
    PokeEntry(Image, 1, MakeEntry(10, "SAME", "", 0, 0, 1, {8}));
    TCpmDirEntry ro = MakeEntry(0, "PROT", "COM", 0, 0, 1, {9});
    ro[1] |= 0x80;
    CpmEntrySetAttributes(ro, CpmAttrReadOnly | CpmAttrSystem);
    PokeEntry(Image, 9, ro);
    PokeEntry(Image, 10, MakeEntry(0x20, "LABEL", "", 0, 0, 1, {40}));
    PokeEntry(Image, 11, MakeEntry(20, "OTHER", "", 0, 0, 1, {41}));

    const TCpmDiskFileInfoList list = Listing();
    std::vector<std::tuple<std::string, int, int, int, int>> files;  // records, extents, blocks, attributes
    for (int i = 0; i < list.GetCount(); ++i) {
        const TCpmDiskFileInfo& f = *list.GetItem(i);
        files.emplace_back(list.GetKey(i), f.Records, f.ExtentCount, f.Blocks, f.Attributes);
    }
    EXPECT_EQ(files, (decltype(files){{"0:PROT.COM", 1, 1, 1, 3},
                                      {"10:SAME", 1, 1, 1, 0},
                                      {"2:SAME", 1, 1, 2, 0},
                                      {"3:BIG.DAT", 261, 3, 17, 0}}));
    // 17 + 2 + 1 + 1 listed blocks, user 20's block 41 and the label's 40.
    EXPECT_EQ(list.Allocation.FreeCount, 504 - 23);
    EXPECT_TRUE(list.Allocation.TestBit(41));
    EXPECT_TRUE(list.Allocation.TestBit(40));
}

// Fills directory entries from `entry` on with user-16 entries that own the
// blocks first..last (8 per entry; none when first > last).
void OccupyEntries(const std::string& image, int entry, int lastEntry, int first, int last) {
    for (int i = entry; i <= lastEntry; ++i) {
        TCpmDirEntry e = MakeEntry(16, "OWN" + std::to_string(i), "", 0, 0, 0, {});
        for (int p = 0; p < 8 && first <= last; ++p, ++first) {
            e[16 + 2 * p] = static_cast<uint8_t>(first);
            e[17 + 2 * p] = static_cast<uint8_t>(first >> 8);
        }
        PokeEntry(image, i, e);
    }
}

TEST_F(CpmDisk, FailedImportsLeaveTheImageAsItWas) {
    struct Case {
        std::string label;
        std::function<void()> setup;
        std::function<void(TCpmDiskDrive&)> run;
        std::string message;
        int laterBlock = 7;  // first free block; 0 when no entry is left
    };
    const auto importString = [](const std::string& name, size_t have, int32_t size) {
        return [=](TCpmDiskDrive& d) {
            std::istringstream in(std::string(have, 'a'));
            int i = -2;
            d.ImportFile(name, in, size, i, 0, 0x1A);
        };
    };
    const std::string noSpace = "Unable to write CPM file, not enough free space remaining!";
    const std::string noEntry = "Copy to CPM file failed, all available directory entries are used!";
    const std::string shortRead = "Unable to read the data for the CPM file from the stream!";
    const std::vector<Case> cases = {
        {"stream ends early", [] {}, importString("short.txt", 3000, 5000), shortRead},
        {"stream ends early in a later extent", [] {}, importString("short.txt", 40000, 40001), shortRead},
        {"stream fails", [] {},
         [](TCpmDiskDrive& d) {
             FailingSource src(17000);
             std::istream in(&src);
             int i;
             d.ImportFile("fail.txt", in, 30000, i, 0, 0x1A);
         },
         shortRead},
        {"directory full after four extents", [this] { OccupyEntries(Image, 5, 255, 1, 0); },
         importString("many.txt", 4 * 16384 + 1, 4 * 16384 + 1), noEntry},
        {"disk full", [this] { OccupyEntries(Image, 5, 255, 7, 507 - 20); },  // 20 blocks left
         importString("big.txt", 21 * 2048, 21 * 2048), noSpace, 488},
        {"bad name", [] {}, importString("a*b", 3, 3), "The name \"a*b\" is not a valid CPM file name!"},
    };
    for (const auto& c : cases) {
        MakeImage(Image);
        Import("keep.txt", CpmFilePattern(5000, 6));  // entry 0, blocks 4-6
        c.setup();
        // Junk in the free blocks, so that restoring old contents shows.
        for (int b = 7; b < 508; ++b) {
            if (b % 3 == 0) Poke(Image, BlockOffset(b) + 100, CpmFilePattern(200, static_cast<uint32_t>(b)));
        }
        const std::vector<uint8_t> before = ReadFileBytes(Image);

        TCpmDiskDrive drive(Image);
        const std::pair counts(drive.FileList->Allocation.FreeCount, drive.FileList->GetCount());
        const std::string message = MessageOf([&] { c.run(drive); });
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.label;
        EXPECT_EQ(std::pair(drive.FileList->Allocation.FreeCount, drive.FileList->GetCount()), counts) << c.label;
        EXPECT_TRUE(ReadFileBytes(Image) == before) << c.label << ": image changed";
        // The drive is still usable afterwards and hands out the same blocks.
        if (c.laterBlock == 0) continue;
        std::istringstream in("later");
        int index = -2;
        EXPECT_EQ(drive.ImportFile("later.txt", in, 5, index, 0, 0x1A), 128) << c.label;
        EXPECT_EQ(CpmEntryGetPointer(PeekEntry(Image, 1), 0), c.laterBlock) << c.label;
    }
    EXPECT_EQ(Export("KEEP.TXT", true), AsString(CpmFilePattern(5000, 6)));
}

TEST_F(CpmDisk, DeleteFreesEveryPointerButNeverTheDirectory) {
    // RC 1 but three pointers; a pointer into the directory and one past
    // the disk; user 7's copy of the same name stays.
    PokeEntry(Image, 0, MakeEntry(0, "VICTIM", "", 0, 0, 1, {4, 5, 6}));
    PokeEntry(Image, 1, MakeEntry(0, "VICTIM", "", 1, 0, 1, {2, 600, 7}));
    PokeEntry(Image, 2, MakeEntry(7, "VICTIM", "", 0, 0, 1, {8}));
    {
        TCpmDiskDrive drive(Image);
        EXPECT_EQ(drive.FileList->Allocation.FreeCount, 504 - 5);
        drive.DeleteFile("victim", 0);
        EXPECT_EQ(drive.FileList->Allocation.FreeCount, 504 - 1);
        EXPECT_TRUE(drive.FileList->Allocation.TestBit(2));
        EXPECT_TRUE(drive.FileList->Allocation.TestBit(8));
        ASSERT_EQ(drive.FileList->GetCount(), 1);
        EXPECT_EQ(drive.FileList->GetKey(0), "7:VICTIM");
    }
    for (int i : {0, 1}) {
        TCpmDirEntry free;
        free.fill(0xE5);
        EXPECT_EQ(PeekEntry(Image, i), free);
    }
    EXPECT_EQ(PeekEntry(Image, 2)[0], 7);
    EXPECT_EQ(Listing().Allocation.FreeCount, 504 - 1);

    // A name that exists only in deleted entries changes nothing.
    const auto before = ReadFileBytes(Image);
    {
        TCpmDiskDrive drive(Image);
        drive.DeleteFile("VICTIM", 0);
        drive.DeleteFile("VICTIM", 0xE5);
    }
    EXPECT_TRUE(ReadFileBytes(Image) == before);
}

// Each operation at both ends of the user areas, moving a file between
// them: what one end does must not land in, or be looked for in, another.
TEST_F(CpmDisk, FileOperationsReachTheFirstAndLastUserAreas) {
    const std::string data(300, 'u');
    const auto keys = [this] {
        const TCpmDiskFileInfoList list = Listing();
        std::vector<std::string> all;
        for (int i = 0; i < list.GetCount(); ++i) all.push_back(list.GetKey(i));
        return all;
    };
    for (const auto& [from, to] : {std::pair<uint8_t, uint8_t>{0, CpmMaxUser}, {CpmMaxUser, 0}}) {
        SCOPED_TRACE(int(from));
        MakeImage(Image);
        int index = -2;
        {
            TCpmDiskDrive drive(Image);
            std::istringstream in(data);
            drive.ImportFile("MOVE.TXT", in, static_cast<int32_t>(data.size()), index, from, 0x1A);
            std::ostringstream out;
            drive.ExportFile("MOVE.TXT", false, out, from);
            EXPECT_EQ(out.str().substr(0, data.size()), data);
        }
        EXPECT_EQ(keys(), std::vector<std::string>{std::to_string(from) + ":MOVE.TXT"});
        {
            TCpmDiskDrive drive(Image);
            drive.SetFileAttributes("MOVE.TXT", CpmAttrReadOnly, index, to, from);
            drive.RenameFile("MOVE.TXT", "MOVED.TXT", index, to);
        }
        EXPECT_EQ(keys(), std::vector<std::string>{std::to_string(to) + ":MOVED.TXT"});
        {
            TCpmDiskDrive drive(Image);
            drive.DeleteFile("MOVED.TXT", to);
        }
        EXPECT_EQ(keys(), std::vector<std::string>{});
    }
}

// A rename rewrites the name bytes but keeps the attribute bits in them.
TEST_F(CpmDisk, RenameKeepsTheAttributes) {
    Import("OLD.TXT", std::vector<uint8_t>(300, 'r'));
    const uint8_t all = CpmAttrReadOnly | CpmAttrSystem | CpmAttrArchive;
    {
        TCpmDiskDrive drive(Image);
        int index;
        drive.SetFileAttributes("OLD.TXT", all, index, 0, 0);
        drive.RenameFile("OLD.TXT", "NEW.TXT", index, 0);
    }
    const TCpmDiskFileInfoList list = Listing();
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetKey(0), "0:NEW.TXT");
    EXPECT_EQ(list.GetItem(0)->Attributes, all);
}

// An entry maps 128 records at most: a larger record count in the last one
// ends the file no further.
TEST_F(CpmDisk, ARecordCountAbove128EndsTheFileAtTheEntrysLastRecord) {
    PokeEntry(Image, 0, MakeEntry(0, "OVER", "DAT", 0, 0, 200, {4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(Export("OVER.DAT", false).size(), 128u * 128);
}

// Extent numbers span two bytes (EX and S2); a block count counts pointers.
TEST(CpmEntryNumbers, ExtentNumberAndBlockCount) {
    struct Case {
        uint8_t ex, s2;
        uint16_t want;
    };
    const Case cases[] = {{0, 0, 0}, {31, 0, 31}, {0, 1, 32}, {5, 2, 69}, {0xFF, 0xFF, 511}};
    for (const auto& c : cases) EXPECT_EQ(CpmEntryGetExtentNo(MakeEntry(0, "F", "", c.ex, c.s2, 0, {})), c.want);

    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {}), true), 0);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {5, 0, 7}), true), 2);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}), true), 8);
    // Block 256 is one word but two bytes of which one is zero.
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {256, 0x0101}), true), 2);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {256, 0x0101}), false), 3);
    EXPECT_EQ(CpmEntryCountBlocks(MakeEntry(0, "F", "", 0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0x0700}), false), 1)
        << "the last byte is a pointer too";
}

// An extent held by two entries is reported and refused.
TEST_F(CpmDisk, RepeatedExtentIsReportedAndRefused) {
    PokeEntry(Image, 0, MakeEntry(0, "TWICE", "TXT", 0, 0, 16, {4}));
    PokeEntry(Image, 1, MakeEntry(0, "OTHER", "TXT", 0, 0, 16, {6}));
    PokeEntry(Image, 7, MakeEntry(0, "twice", "txt", 0, 0, 16, {5}));
    const std::vector<uint8_t> before = ReadFileBytes(Image);

    TCpmDiskDrive drive(Image);
    ASSERT_EQ(drive.Problems().size(), 1u);
    EXPECT_EQ(drive.Problems()[0],
              "Directory entries 0 and 7 both hold extent 0 of the file \"twice.txt\" in user area 0.");
    int index = 0;
    std::ostringstream out;
    const std::function<void()> operations[] = {
        [&] { drive.ExportFile("TWICE.TXT", false, out, 0); },
        [&] { drive.RenameFile("TWICE.TXT", "NEW.TXT", index, 0); },
        [&] { drive.DeleteFile("TWICE.TXT", 0); },
        [&] { drive.SetFileAttributes("TWICE.TXT", CpmAttrReadOnly, index, 3, 0); },
    };
    for (const auto& operation : operations)
        EXPECT_EQ(MessageOf(operation), "The file \"TWICE.TXT\" has more than one directory entry for extent 0!");
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(ReadFileBytes(Image) == before) << "nothing written";
    EXPECT_EQ(Export("OTHER.TXT", false).size(), 2048u) << "the undamaged file is followed as before";
}

// The last user area is checked for repeated extents like the first; the
// entries past it are no files and never reported.
TEST_F(CpmDisk, RepeatedExtentIsFoundUpToTheLastUserArea) {
    const std::pair<uint8_t, std::size_t> rows[] = {{CpmMaxUser, 1}, {static_cast<uint8_t>(CpmMaxUser + 1), 0}};
    for (const auto& [user, problems] : rows) {
        MakeImage(Image);
        PokeEntry(Image, 0, MakeEntry(user, "TWICE", "TXT", 0, 0, 16, {4}));
        PokeEntry(Image, 3, MakeEntry(user, "TWICE", "TXT", 0, 0, 16, {5}));
        TCpmDiskDrive drive(Image);
        EXPECT_EQ(drive.Problems().size(), problems) << int(user);
    }
}

// Every entry that is not free keeps its blocks from imports, whatever its
// user byte.
TEST_F(CpmDisk, ForeignEntriesKeepTheirBlocks) {
    for (uint8_t user : {0x21, 0x7F, 0x80, 0xE4, 0xE6, 0xFF}) {
        MakeImage(Image);
        PokeEntry(Image, 0, MakeEntry(user, "KEEP", "", 0, 0, 32, {4, 5}));  // the first free blocks
        const std::vector<uint8_t> kept = Peek(Image, BlockOffset(4), 4096);
        Import("NEW.DAT", std::vector<uint8_t>(5000, 'n'));
        EXPECT_EQ(CpmEntryGetPointer(PeekEntry(Image, 1), 0), 6) << int(user);
        EXPECT_TRUE(Peek(Image, BlockOffset(4), 4096) == kept) << int(user);
    }
}

}  // namespace
