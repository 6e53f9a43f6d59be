// The file system on real image files: opening and listing, the file
// operations with their messages, and the behaviour on damaged directories
// and failing streams.

#include <functional>
#include <sstream>
#include <stdexcept>
#include <streambuf>

#include "CpmTestSupport.h"

using namespace cpmtest;

namespace {

class CpmDisk : public ::testing::Test {
protected:
    void SetUp() override {
        Image = Dir.File("disk.cpmdsk");
        MakeFreshImage(Image);
    }

    int32_t Import(const std::string& name, const std::vector<uint8_t>& data, uint8_t user = 0,
                   uint8_t pad = 0x1A, int* index = nullptr) {
        TCpmDiskDrive drive(Image);
        std::istringstream in(AsString(data));
        int i = -2;
        const int32_t n = drive.ImportFile(name, in, static_cast<int32_t>(data.size()), i, user, pad);
        if (index) *index = i;
        return n;
    }

    std::string Export(const std::string& name, bool text, uint8_t user = 0) {
        TCpmDiskDrive drive(Image);
        std::ostringstream out;
        drive.ExportFile(name, text, out, user);
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

    TempDir Dir;
    std::string Image;
};

// A stream buffer that accepts a number of bytes and then refuses.
class LimitedSink : public std::streambuf {
public:
    explicit LimitedSink(size_t limit) : FLeft(limit) {}

protected:
    int_type overflow(int_type c) override {
        if (FLeft == 0 || traits_type::eq_int_type(c, traits_type::eof())) return traits_type::eof();
        --FLeft;
        return c;
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        const auto take = std::min<std::streamsize>(n, static_cast<std::streamsize>(FLeft));
        FLeft -= static_cast<size_t>(take);
        return take;
    }

private:
    size_t FLeft;
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

TEST_F(CpmDisk, FreshImageListsNothingAndHas504FreeBlocks) {
    TCpmDiskDrive drive(Image);
    EXPECT_EQ(drive.FileList->GetCount(), 0);
    EXPECT_EQ(drive.FileList->Allocation.GetBlockCount(), 508);
    EXPECT_EQ(drive.FileList->Allocation.FreeCount, 504);
    EXPECT_EQ(drive.BlockCount, 508);
    EXPECT_EQ(drive.DirEntries, 256);
    EXPECT_EQ(drive.BlockSize, 2048);
    EXPECT_TRUE(drive.Problems().empty());
    for (uint16_t b = 0; b < 4; ++b) EXPECT_TRUE(drive.FileList->Allocation.TestBit(b));
}

TEST_F(CpmDisk, OpeningFailuresCarryTheDriveCodes) {
    const struct {
        std::string file;
        int64_t size;  // -1: do not create
        int code;
        std::string message;
    } cases[] = {
        {"missing.cpmdsk", -1, 1, "Selected disk is bad!"},
        {"tiny.cpmdsk", 1000, 4, "Read from disk failed!"},      // directory past the end
        {"empty.cpmdsk", 0, 4, "Read from disk failed!"},
    };
    for (const auto& c : cases) {
        const std::string path = Dir.File(c.file);
        if (c.size >= 0) WriteFileBytes(path, std::vector<uint8_t>(static_cast<size_t>(c.size), 0xE5));
        try {
            TCpmDiskDrive drive(path);
            ADD_FAILURE() << c.file << " opened";
        } catch (const EDiskError& e) {
            EXPECT_EQ(e.Code, c.code) << c.file;
            EXPECT_EQ(std::string(e.what()), c.message) << c.file;
        }
    }
}

TEST_F(CpmDisk, DirectoryEntriesLiveFromTrackTwo) {
    TCpmDiskDrive drive(Image);
    for (int index : {0, 3, 4, 127, 255}) {
        const TCpmDirEntry e = MakeEntry(1, "N" + std::to_string(index), "X", 0, 0, 1, {4});
        drive.WriteDirEntry(static_cast<uint16_t>(index), e);
        EXPECT_EQ(PeekEntry(Image, index), e) << index;
        TCpmDirEntry back{};
        drive.ReadDirEntry(static_cast<uint16_t>(index), back);
        EXPECT_EQ(back, e);
    }
    EXPECT_EQ(Peek(Image, EntryOffset(1), 1)[0], 0xE5) << "neighbour untouched";
    TCpmDirEntry e{};
    for (uint16_t bad : {uint16_t{256}, uint16_t{0xFFFF}}) {
        try {
            drive.ReadDirEntry(bad, e);
            ADD_FAILURE();
        } catch (const EDiskError& err) {
            EXPECT_EQ(err.Code, 2);
            EXPECT_EQ(std::string(err.what()), "Directory entry does not exist!");
        }
        EXPECT_THROW(drive.WriteDirEntry(bad, e), EDiskError);
    }

    // Data records stop at the last track; none wraps round to another place.
    std::array<uint8_t, 128> record{};
    drive.ReadDataRecord(254 * 32 - 1, record.data());
    EXPECT_EQ(record[0], 0xE5);
    record.fill(0x3C);
    const auto before = ReadFileBytes(Image);
    for (int32_t bad : {254 * 32, 65534 * 32, 65536 * 32, -1}) {
        try {
            drive.ReadDataRecord(bad, record.data());
            ADD_FAILURE() << "read record " << bad;
        } catch (const EDiskError& err) {
            EXPECT_EQ(err.Code, 2) << bad;
        }
        EXPECT_THROW(drive.WriteDataRecord(bad, record.data()), EDiskError) << bad;
    }
    EXPECT_TRUE(ReadFileBytes(Image) == before) << "nothing written";
}

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
    ASSERT_EQ(list.GetCount(), 4);
    const struct {
        std::string key;
        int records, extents, blocks;
        uint8_t attributes;
    } want[] = {
        {"0:PROT.COM", 1, 1, 1, 3},
        {"10:SAME", 1, 1, 1, 0},
        {"2:SAME", 1, 1, 2, 0},
        {"3:BIG.DAT", 261, 3, 17, 0},
    };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list.GetKey(i), want[i].key);
        EXPECT_EQ(list.GetItem(i)->Records, want[i].records) << want[i].key;
        EXPECT_EQ(list.GetItem(i)->ExtentCount, want[i].extents) << want[i].key;
        EXPECT_EQ(list.GetItem(i)->Blocks, want[i].blocks) << want[i].key;
        EXPECT_EQ(list.GetItem(i)->Attributes, want[i].attributes) << want[i].key;
    }
    EXPECT_EQ(list.GetItem(4), nullptr);
    EXPECT_EQ(list.GetItem(-1), nullptr);
    EXPECT_EQ(list.GetKey(4), "");
    // 17 + 2 + 1 + 1 listed blocks, user 20's block 41 and the label's 40.
    EXPECT_EQ(list.Allocation.FreeCount, 504 - 23);
    EXPECT_TRUE(list.Allocation.TestBit(41));
    EXPECT_TRUE(list.Allocation.TestBit(40));
}

TEST_F(CpmDisk, ImportSizesRecordsAndPadding) {
    const struct {
        int32_t size;
        uint8_t pad;
        int32_t result;
        std::vector<int> rcs;  // per entry
    } cases[] = {
        {1, 0x1A, 128, {1}},
        {128, 0x00, 128, {1}},
        {300, 0x1A, 384, {3}},
        {2048, 0x00, 2048, {16}},
        {2049, 0x00, 2176, {17}},
        {16384, 0x00, 16384, {128}},
        {16385, 0x1A, 16512, {128, 1}},
        {40000, 0x00, 40064, {128, 128, 57}},
    };
    for (const auto& c : cases) {
        MakeFreshImage(Image);
        const auto data = Pattern(static_cast<size_t>(c.size), static_cast<uint32_t>(c.size));
        int index = -2;
        EXPECT_EQ(Import("file.bin", data, 0, c.pad, &index), c.result) << c.size;
        EXPECT_EQ(index, 0) << c.size;

        int expectBlock = 4;
        for (size_t x = 0; x < c.rcs.size(); ++x) {
            const TCpmDirEntry e = PeekEntry(Image, static_cast<int>(x));
            EXPECT_EQ(e[0], 0);
            EXPECT_EQ(CpmEntryGetFullName(e), "FILE.BIN");
            EXPECT_EQ(CpmEntryGetExtentNo(e), x);
            EXPECT_EQ(e[13], 0);
            EXPECT_EQ(e[15], c.rcs[x]) << c.size;
            const int blocks = (c.rcs[x] + 15) / 16;
            EXPECT_EQ(CpmEntryCountBlocks(e, true), blocks) << c.size;
            for (int p = 0; p < blocks; ++p) EXPECT_EQ(CpmEntryGetPointer(e, p), expectBlock++);
        }
        EXPECT_EQ(PeekEntry(Image, static_cast<int>(c.rcs.size()))[0], 0xE5);

        const auto stored = Peek(Image, BlockOffset(4), static_cast<size_t>(c.result));
        auto want = data;
        want.resize(static_cast<size_t>(c.result), c.pad);
        EXPECT_EQ(stored, want) << "data and padding of " << c.size;
        EXPECT_EQ(Export("FILE.BIN", false), AsString(want));

        const auto list = Listing();
        ASSERT_EQ(list.GetCount(), 1);
        EXPECT_EQ(list.GetItem(0)->Records, c.result / 128);
        EXPECT_EQ(list.GetItem(0)->ExtentCount, static_cast<int>(c.rcs.size()));
        EXPECT_EQ(list.Allocation.FreeCount, 504 - (expectBlock - 4));
    }
}

TEST_F(CpmDisk, ImportOfNothingWritesNothing) {
    for (int32_t size : {0, -5}) {
        TCpmDiskDrive drive(Image);
        std::istringstream in("abc");
        int index = 7;
        EXPECT_EQ(drive.ImportFile("EMPTY.TXT", in, size, index, 0, 0x1A), 0);
        EXPECT_EQ(index, -1);
        EXPECT_FALSE(drive.FileExists("EMPTY.TXT", 0));
    }
    EXPECT_EQ(ReadFileBytes(Image), std::vector<uint8_t>(ImageBytes, 0xE5));
}

TEST_F(CpmDisk, ImportPlacesUserAndSecondByteOfExtentNumber) {
    // 33 extents: the last one is extent 32, EX 0 and S2 1.
    const auto data = Pattern(32 * 16384 + 1, 9);
    int index = -2;
    EXPECT_EQ(Import("huge.dat", data, 18, 0, &index), 32 * 16384 + 128);
    const TCpmDirEntry e31 = PeekEntry(Image, 31);
    const TCpmDirEntry e32 = PeekEntry(Image, 32);
    EXPECT_EQ(e31[12], 31);
    EXPECT_EQ(e31[14], 0);
    EXPECT_EQ(e32[12], 0);
    EXPECT_EQ(e32[14], 1);
    EXPECT_EQ(e32[0], 2) << "user 18 is stored as 2";
    const auto list = Listing();
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetKey(0), "2:HUGE.DAT");
    EXPECT_EQ(list.GetItem(0)->ExtentCount, 33);
    auto want = data;
    want.resize(32 * 16384 + 128, 0);
    EXPECT_EQ(Export("huge.dat", false, 2), AsString(want));
}

TEST_F(CpmDisk, ImportIndexIsThePositionInTheListing) {
    EXPECT_EQ(Import("m.txt", Pattern(10, 1)), 128);
    int index = -2;
    Import("a.txt", Pattern(10, 2), 0, 0x1A, &index);
    EXPECT_EQ(index, 0);
    Import("z.txt", Pattern(10, 3), 0, 0x1A, &index);
    EXPECT_EQ(index, 2);
    Import("b.txt", Pattern(10, 3), 5, 0x1A, &index);
    EXPECT_EQ(index, 3);
    const auto list = Listing();
    EXPECT_EQ(list.GetKey(3), "5:B.TXT");
}

TEST_F(CpmDisk, ImportSkipsUsedEntriesAndBlocksOfEveryOwner) {
    // Blocks 4-7 belong to a user-20 entry, block 8 to a user-31 one: neither
    // may be handed out again. Entry 0 is taken, entry 1 free.
    PokeEntry(Image, 0, MakeEntry(20, "HIDDEN", "", 0, 0, 64, {4, 5, 6, 7}));
    PokeEntry(Image, 2, MakeEntry(31, "HIDDEN2", "", 0, 0, 16, {8}));
    const std::vector<uint8_t> before4 = Peek(Image, BlockOffset(4), 5 * 2048);
    EXPECT_EQ(Import("new.bin", Pattern(3 * 2048, 4), 0, 0), 3 * 2048);
    const TCpmDirEntry e = PeekEntry(Image, 1);
    EXPECT_EQ(CpmEntryGetFullName(e), "NEW.BIN");
    EXPECT_EQ(CpmEntryGetPointer(e, 0), 9);
    EXPECT_EQ(CpmEntryGetPointer(e, 2), 11);
    EXPECT_EQ(Peek(Image, BlockOffset(4), 5 * 2048), before4);
    EXPECT_EQ(Listing().GetCount(), 1);
}

TEST_F(CpmDisk, ImportFillsEveryDataBlockAndNoMore) {
    const auto data = Pattern(504 * 2048, 5);
    EXPECT_EQ(Import("all.bin", data, 0, 0), 504 * 2048);
    {
        TCpmDiskDrive drive(Image);
        EXPECT_EQ(drive.FileList->Allocation.FreeCount, 0);
    }
    EXPECT_EQ(std::filesystem::file_size(Image), static_cast<uintmax_t>(ImageBytes));
    EXPECT_EQ(Peek(Image, BlockOffset(507), 2048),
              std::vector<uint8_t>(data.end() - 2048, data.end()))
        << "the last block on the image is block 507";
    EXPECT_EQ(Export("ALL.BIN", false), AsString(data));
    const std::string message = MessageOf([&] { Import("one.more", Pattern(1, 1)); });
    EXPECT_EQ(message, "Unable to write CPM file, not enough free space remaining!");
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
        {"stream throws", [] {},
         [](TCpmDiskDrive& d) {
             FailingSource src(17000);
             std::istream in(&src);
             in.exceptions(std::ios::badbit);
             int i;
             d.ImportFile("fail.txt", in, 30000, i, 0, 0x1A);
         },
         "device gone"},  // the stream's own error passes through
        {"directory full after four extents",
         [this] { OccupyEntries(Image, 5, 255, 1, 0); },
         importString("many.txt", 4 * 16384 + 1, 4 * 16384 + 1), noEntry},
        {"directory full at once", [this] { OccupyEntries(Image, 1, 255, 1, 0); },
         importString("one.txt", 1, 1), noEntry, 0},
        {"disk full",
         [this] { OccupyEntries(Image, 5, 255, 7, 507 - 20); },  // 20 blocks left
         importString("big.txt", 21 * 2048, 21 * 2048), noSpace, 488},
        {"disk full in the first extent",
         [this] { OccupyEntries(Image, 5, 255, 7, 507 - 2); },
         importString("big.txt", 5 * 2048, 5 * 2048), noSpace, 506},
        {"bad name", [] {}, importString("a*b", 3, 3), "The name \"a*b\" is not a valid CPM file name!"},
    };
    for (const auto& c : cases) {
        MakeFreshImage(Image);
        Import("keep.txt", Pattern(5000, 6));  // entry 0, blocks 4-6
        c.setup();
        // Junk in the free blocks, so that restoring old contents shows.
        for (int b = 7; b < 508; ++b) {
            if (b % 3 == 0) Poke(Image, BlockOffset(b) + 100, Pattern(200, static_cast<uint32_t>(b)));
        }
        const std::vector<uint8_t> before = ReadFileBytes(Image);

        TCpmDiskDrive drive(Image);
        const int freeBefore = drive.FileList->Allocation.FreeCount;
        const int countBefore = drive.FileList->GetCount();
        const std::string message = MessageOf([&] { c.run(drive); });
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.label;
        EXPECT_EQ(drive.FileList->Allocation.FreeCount, freeBefore) << c.label;
        EXPECT_EQ(drive.FileList->GetCount(), countBefore) << c.label;
        EXPECT_TRUE(ReadFileBytes(Image) == before) << c.label << ": image changed";
        // The drive is still usable afterwards and hands out the same blocks.
        if (c.laterBlock == 0) continue;
        std::istringstream in("later");
        int index = -2;
        EXPECT_EQ(drive.ImportFile("later.txt", in, 5, index, 0, 0x1A), 128) << c.label;
        EXPECT_EQ(CpmEntryGetPointer(PeekEntry(Image, 1), 0), c.laterBlock) << c.label;
    }
    EXPECT_EQ(Export("KEEP.TXT", true), AsString(Pattern(5000, 6)));
}

TEST_F(CpmDisk, TextAndBinaryExport) {
    // Two records; the second has 1Ah at offset 10.
    std::vector<uint8_t> data = Pattern(256, 8);
    data[128 + 10] = 0x1A;
    PokeEntry(Image, 0, MakeEntry(0, "DOC", "TXT", 0, 0, 2, {4}));
    Poke(Image, BlockOffset(4), data);
    EXPECT_EQ(Export("doc.txt", true).size(), 138u);
    EXPECT_EQ(Export("doc.txt", true), AsString(std::vector<uint8_t>(data.begin(), data.begin() + 138)));
    EXPECT_EQ(Export("DOC.TXT", false), AsString(data));

    // 1Ah as the very first byte of a record: nothing from that record.
    Poke(Image, BlockOffset(4) + 128, {0x1A});
    EXPECT_EQ(Export("DOC.TXT", true).size(), 128u);
    // Text mode stops at the first 1Ah of the file, also in a later extent.
    PokeEntry(Image, 1, MakeEntry(0, "DOC", "TXT", 1, 0, 1, {5}));
    Poke(Image, BlockOffset(5), std::vector<uint8_t>(128, 'z'));
    EXPECT_EQ(Export("DOC.TXT", true).size(), 128u);
    EXPECT_EQ(Export("DOC.TXT", false).size(), 16384u + 128u) << "extent 1 starts at 16 KB";
}

TEST_F(CpmDisk, ExportFollowsExtentNumbersAndRecordCounts) {
    // Entries in reverse directory order, extent 0 missing, and an entry
    // whose pointers reach further than its RC.
    PokeEntry(Image, 0, MakeEntry(4, "PARTS", "", 3, 0, 2, {9, 10}));
    PokeEntry(Image, 1, MakeEntry(4, "PARTS", "", 2, 0, 17, {7, 0, 8}));
    PokeEntry(Image, 2, MakeEntry(4, "PARTS", "", 1, 0, 1, {6}));
    Poke(Image, BlockOffset(6), std::vector<uint8_t>(2048, '1'));
    Poke(Image, BlockOffset(7), std::vector<uint8_t>(2048, '2'));
    Poke(Image, BlockOffset(8), std::vector<uint8_t>(2048, '3'));
    Poke(Image, BlockOffset(9), std::vector<uint8_t>(2048, '4'));
    Poke(Image, BlockOffset(10), std::vector<uint8_t>(2048, '5'));
    // Each extent at its own 16 KB; missing extents and blocks read as zeros.
    const std::string zeros(16384, '\0');
    const std::string want = zeros + std::string(2048, '1') + zeros.substr(2048) + std::string(2048, '2') +
                             zeros.substr(0, 2048) + std::string(2048, '3') + zeros.substr(6144) +
                             std::string(256, '4');
    EXPECT_EQ(Export("parts", false, 4), want);
    EXPECT_EQ(Export("PARTS", true, 20), want) << "user 20 means user 4";
}

TEST_F(CpmDisk, ExportMessages) {
    Import("here.txt", Pattern(300, 1));
    EXPECT_EQ(MessageOf([&] { Export("gone.txt", false, 3); }),
              "Unable to locate file \"gone.txt\" in user area 3!");
    EXPECT_EQ(MessageOf([&] { Export("HERE.TXT", false, 19); }),
              "Unable to locate file \"HERE.TXT\" in user area 3!");
    for (size_t limit : {size_t{0}, size_t{100}, size_t{200}}) {
        TCpmDiskDrive drive(Image);
        LimitedSink sink(limit);
        std::ostream out(&sink);
        EXPECT_EQ(MessageOf([&] { drive.ExportFile("HERE.TXT", false, out, 0); }),
                  "Unable to save data read from CPM file to stream!")
            << limit;
    }
}

TEST_F(CpmDisk, FileExistsMatchesUserByteAndNameWithoutCase) {
    PokeEntry(Image, 0, MakeEntry(3, "ABC", "TXT", 0, 0, 1, {4}));
    PokeEntry(Image, 1, MakeEntry(0xE5, "DEL", "TXT", 0, 0, 1, {5}));
    TCpmDiskDrive drive(Image);
    EXPECT_TRUE(drive.FileExists("abc.txt", 3));
    EXPECT_TRUE(drive.FileExists("ABC.TXT", 3));
    EXPECT_FALSE(drive.FileExists("ABC.TXT", 0));
    EXPECT_FALSE(drive.FileExists("ABC", 3));
    EXPECT_FALSE(drive.FileExists("ABC.TX", 3));
    for (uint8_t user : {uint8_t{0}, uint8_t{5}, uint8_t{0xE5}}) EXPECT_FALSE(drive.FileExists("DEL.TXT", user));
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

TEST_F(CpmDisk, SetAttributesAndUserArea) {
    Import("file.txt", Pattern(20000, 1), 1);  // two entries
    Import("file.txt", Pattern(10, 2), 2);
    Import("aaa.txt", Pattern(10, 3), 1);
    TCpmDiskDrive drive(Image);
    int index = -2;

    EXPECT_EQ(MessageOf([&] { drive.SetFileAttributes("nope.txt", 1, index, 1, 1); }),
              "The file \"nope.txt\" does not exist!");
    EXPECT_EQ(MessageOf([&] { drive.SetFileAttributes("file.txt", 1, index, 2, 1); }),
              "A file named \"file.txt\" already exists in user area 2!");
    EXPECT_EQ(MessageOf([&] { drive.SetFileAttributes("file.txt", 1, index, 18, 1); }),
              "A file named \"file.txt\" already exists in user area 2!");

    drive.SetFileAttributes("FILE.TXT", CpmAttrReadOnly | CpmAttrArchive, index, 1, 1);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(drive.FileList->GetItem(1)->Attributes, 5);
    for (int i : {0, 1}) {
        const TCpmDirEntry e = PeekEntry(Image, i);
        EXPECT_EQ(CpmEntryGetAttributes(e), 5);
        EXPECT_EQ(CpmEntryGetFullName(e), "FILE.TXT");
    }

    drive.SetFileAttributes("file.txt", CpmAttrSystem, index, 19, 1);  // 19 -> user 3
    EXPECT_EQ(drive.FileList->GetKey(index), "3:FILE.TXT");
    EXPECT_EQ(drive.FileList->GetItem(index)->User, 3);
    EXPECT_EQ(drive.FileList->GetItem(index)->Records, 157);
    EXPECT_EQ(PeekEntry(Image, 0)[0], 3);
    EXPECT_EQ(PeekEntry(Image, 1)[0], 3);
    EXPECT_EQ(CpmEntryGetAttributes(PeekEntry(Image, 1)), CpmAttrSystem);

    const auto reread = Listing();
    ASSERT_EQ(reread.GetCount(), 3);
    EXPECT_EQ(reread.GetKey(2), "3:FILE.TXT");
    EXPECT_EQ(reread.GetItem(2)->Attributes, CpmAttrSystem);
    EXPECT_EQ(reread.GetItem(2)->ExtentCount, 2);
}

TEST_F(CpmDisk, RenameShapesTheNameAndKeepsFlags) {
    Import("old.txt", Pattern(20000, 1), 4);
    Import("other.txt", Pattern(10, 2), 4);
    {
        TCpmDiskDrive drive(Image);
        int index = -2;
        drive.SetFileAttributes("OLD.TXT", CpmAttrReadOnly, index, 4, 4);
    }
    TCpmDiskDrive drive(Image);
    int index = -2;
    const struct {
        std::string newName, message;
    } refused[] = {
        {"other.txt", "The file \"OTHER.TXT\" already exists!"},
        {"OLD.TXT", "The file \"OLD.TXT\" already exists!"},
        {"old.txt", "The file \"OLD.TXT\" already exists!"},
        {"bad*.txt", "The name \"BAD*.TXT\" is not a valid CPM file name!"},
        {"two.dots.txt", "The name \"TWO.DOTS.TXT\" is not a valid CPM file name!"},
        {"", "The name \"\" is not a valid CPM file name!"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(MessageOf([&] { drive.RenameFile("OLD.TXT", r.newName, index, 4); }), r.message);
        EXPECT_EQ(index, -1);
    }

    drive.RenameFile("old.txt", "/home/me/verylongname.text", index, 4);
    EXPECT_EQ(drive.FileList->GetKey(index), "4:VERYLONG.TEX");
    EXPECT_EQ(drive.FileList->GetItem(index)->FileName, "VERYLONG.TEX");
    for (int i : {0, 1}) {
        const TCpmDirEntry e = PeekEntry(Image, i);
        EXPECT_EQ(CpmEntryGetFullName(e), "VERYLONG.TEX");
        EXPECT_EQ(CpmEntryGetAttributes(e), CpmAttrReadOnly);
    }
    drive.RenameFile("VERYLONG.TEX", "final", index, 4);
    EXPECT_EQ(drive.FileList->GetKey(index), "4:FINAL");
    drive.RenameFile("absent.txt", "new.txt", index, 4);
    EXPECT_EQ(index, -1);
    EXPECT_FALSE(drive.FileExists("NEW.TXT", 4));

    const auto list = Listing();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetKey(0), "4:FINAL");
    EXPECT_EQ(list.GetItem(0)->Attributes, CpmAttrReadOnly);
    EXPECT_EQ(Export("final", false, 4).substr(0, 20000), AsString(Pattern(20000, 1)));
}

TEST_F(CpmDisk, DamagedDirectoriesAreReportedNotFollowed) {
    Import("good.bin", Pattern(2048, 1), 0, 0);                            // block 4
    PokeEntry(Image, 1, MakeEntry(0, "WILD", "", 0, 0, 16, {600}));        // past the disk
    PokeEntry(Image, 2, MakeEntry(0, "DIRPTR", "", 0, 0, 16, {1}));        // into the directory
    PokeEntry(Image, 3, MakeEntry(0, "EDGE", "", 0, 0, 16, {508}));        // first block off the image
    PokeEntry(Image, 4, MakeEntry(0, "TWIN1", "", 0, 0, 16, {9}));
    PokeEntry(Image, 5, MakeEntry(1, "TWIN2", "", 0, 0, 16, {9}));
    PokeEntry(Image, 6, MakeEntry(0, "STALE", "", 0, 0, 0, {0xFFFF}));     // RC 0, still damaged

    {
        TCpmDiskDrive drive(Image);
        EXPECT_EQ(drive.Problems().size(), 5u);
        EXPECT_EQ(drive.FileList->GetCount(), 7) << "damaged files stay visible";
        const struct {
            std::string name;
            uint8_t user;
            std::string message;
        } cases[] = {
            {"WILD", 0, "The file \"WILD\" refers to block 600 outside the data area!"},
            {"DIRPTR", 0, "The file \"DIRPTR\" refers to block 1 outside the data area!"},
            {"EDGE", 0, "The file \"EDGE\" refers to block 508 outside the data area!"},
            {"TWIN1", 0, "The file \"TWIN1\" shares block 9 with another directory entry!"},
            {"TWIN2", 1, "The file \"TWIN2\" shares block 9 with another directory entry!"},
            {"STALE", 0, "The file \"STALE\" refers to block 65535 outside the data area!"},
        };
        for (const auto& c : cases) {
            std::ostringstream out;
            try {
                drive.ExportFile(c.name, false, out, c.user);
                ADD_FAILURE() << c.name << " exported";
            } catch (const EDiskError& e) {
                EXPECT_EQ(e.Code, 2) << c.name;
                EXPECT_EQ(std::string(e.what()), c.message);
            }
            EXPECT_TRUE(out.str().empty()) << c.name;
        }
        std::ostringstream out;
        drive.ExportFile("GOOD.BIN", false, out, 0);
        EXPECT_EQ(out.str(), AsString(Pattern(2048, 1)));

        // Deleting one twin leaves the block to the other.
        drive.DeleteFile("TWIN1", 0);
        EXPECT_TRUE(drive.FileList->Allocation.TestBit(9));
        drive.DeleteFile("WILD", 0);
        drive.DeleteFile("DIRPTR", 0);
        EXPECT_TRUE(drive.FileList->Allocation.TestBit(1));
        std::istringstream in(std::string(10 * 2048, 'n'));
        int index;
        drive.ImportFile("NEW.BIN", in, 10 * 2048, index, 0, 0);
    }
    // The import went round block 9 and the twin is whole again.
    const TCpmDiskFileInfoList list = Listing();
    TCpmDiskDrive drive(Image);
    std::ostringstream out;
    drive.ExportFile("TWIN2", false, out, 1);
    EXPECT_EQ(out.str().size(), 2048u);
    EXPECT_EQ(Peek(Image, BlockOffset(9), 1)[0], 0xE5);
    EXPECT_EQ(list.Allocation.FreeCount, 504 - 1 - 1 - 10);
}

}  // namespace
