// The Disk Manager's import into an image at the edge of its room: a file
// that needs exactly the free blocks, or exactly the free directory entries,
// fits; one that needs one more is refused and the image keeps every byte.

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "CpmTestSupport.h"
#include "disk/DiskManagerFiles.h"
#include "support/NamedRows.h"

using namespace tavrin::test;

namespace {

constexpr int32_t ExtentBytes = 16384;  // one directory entry: 8 blocks
constexpr int FreeBlocksOfAnEmptyImage = 508 - 4;
constexpr int FreeEntriesLeft = 3;

// Every entry but the last few taken by empty files, which hold no blocks.
void FillDirectory(const std::string& image) {
    for (int i = 0; i < 256 - FreeEntriesLeft; ++i)
        PokeEntry(image, i, MakeEntry(0, "F" + std::to_string(i), "", 0, 0, 0, {}));
}

struct TRoomCase {
    const char* name;
    std::function<void(const std::string&)> Prepare;
    int32_t Size;
    std::string Refusal;  // empty: the file fits
};
TAVRIN_PRINT_AS_NAME(TRoomCase)

class DiskManagerImportRoom : public ::testing::TestWithParam<TRoomCase> {};

TEST_P(DiskManagerImportRoom, ExactlyTheRoomLeftFitsAndNoMore) {
    const TRoomCase& c = GetParam();
    TTempFolder dir;
    const std::string image = dir.File("disk.cpmdsk");
    MakeImage(image);
    c.Prepare(image);
    const std::string host = dir.File("big.dat");
    const std::vector<uint8_t> data = CpmFilePattern(static_cast<size_t>(c.Size), 7);
    WriteFileBytes(host, data);
    const std::vector<uint8_t> before = ReadFileBytes(image);

    TCpmDiskFileInfoList listing;
    TCpmImportResult result;
    std::string refusal;
    try {
        ImportCpmFiles(image, {host}, 0, false, listing, result);
    } catch (const std::runtime_error& e) {
        refusal = e.what();
    }
    EXPECT_EQ(refusal, c.Refusal);
    if (!c.Refusal.empty()) {
        EXPECT_EQ(result.Imported, 0);
        EXPECT_TRUE(ReadFileBytes(image) == before) << "the image changed";
        return;
    }
    ASSERT_EQ(result.Imported, 1);
    const TCpmDiskFileInfo* file = listing.GetItem(result.LastIndex);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->FileName, "BIG.DAT");
    EXPECT_EQ(file->Records * 128, c.Size);
    std::ostringstream out;
    TCpmDiskDrive(image, TDiskAccess::ReadOnly).ExportFile("BIG.DAT", false, out, 0);
    EXPECT_TRUE(out.str() == AsString(data)) << "the file came back different";
}

const std::string NoSpace = "Unable to write CPM file, not enough free space remaining!";
const std::string NoEntry = "Copy to CPM file failed, all available directory entries are used!";
const auto Nothing = [](const std::string&) {};

INSTANTIATE_TEST_SUITE_P(
    Import, DiskManagerImportRoom,
    ::testing::Values(TRoomCase{"EveryFreeBlock", Nothing, FreeBlocksOfAnEmptyImage * 2048, ""},
                      TRoomCase{"OneBlockMore", Nothing, FreeBlocksOfAnEmptyImage * 2048 + 1, NoSpace},
                      TRoomCase{"EveryFreeEntry", FillDirectory, FreeEntriesLeft* ExtentBytes, ""},
                      TRoomCase{"OneEntryMore", FillDirectory, FreeEntriesLeft* ExtentBytes + 1, NoEntry}),
    RowName);

}  // namespace
