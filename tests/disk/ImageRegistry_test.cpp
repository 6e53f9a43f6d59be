// The registry of open images: which files count as images in use, by any
// name, and how an image a remote client writes, the reader or punch file,
// or an image another program writes, is refused as a disk.

#include "disk/ImageRegistry.h"

#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "disk/CpmDiskDrive.h"
#include "disk/DiskController.h"
#include "disk/DiskDrive.h"
#include "support/ImageHeldElsewhere.h"
#include "support/TempFolder.h"

namespace {

using tavrin::test::ReadFile;
using tavrin::test::TImageHeldElsewhere;
using tavrin::test::TTempFolder;
using tavrin::test::WriteFile;

TEST(ImageRegistry, AnImageIsInUseWhenOpenOrChosenByAnyName) {
    TTempFolder folder;
    const std::string open = folder.File("OPEN.cpmdsk");
    const std::string chosen = folder.File("CHOSEN.cpmdsk");
    const std::string plain = folder.File("plain.txt");
    for (const std::string& image : {open, chosen}) TDiskDrive::FormatDiskImage(image);
    WriteFile(plain, "text");
    std::filesystem::create_symlink(open, folder.File("open-link"));
    std::filesystem::create_hard_link(chosen, folder.File("chosen-link"));
    TDiskDrive drive(open, TImageRole::Drive);
    // The reader or punch file is no disk in use: both may be one file.
    const auto device = TImageRegistry::IdentityOfPath(plain);
    ASSERT_TRUE(device);
    const auto reader = TImageRegistry::Instance().Register(*device, TImageRole::DeviceFile, nullptr, plain);

    const std::pair<const char*, bool> paths[] = {{"OPEN.cpmdsk", true}, {"open-link", true},  {"CHOSEN.cpmdsk", true},
                                                  {"chosen-link", true}, {"plain.txt", false}, {"missing.txt", false}};
    for (const auto& [name, inUse] : paths)
        EXPECT_EQ(TImageRegistry::Instance().IsImageInUse(folder.File(name), {chosen, folder.File("gone.cpmdsk")}),
                  inUse)
            << name;
}

// A writing remote client has the image to itself; a reading one lends it.
// The reader or punch file is no disk: the punch would overwrite it.
TEST(ImageRegistry, AnImageARemoteWriterOrTheReaderOrPunchHoldsIsRefused) {
    TTempFolder folder;
    const std::string image = folder.File("SHARED.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    const auto identity = TImageRegistry::IdentityOfPath(image);
    ASSERT_TRUE(identity);
    const std::pair<TImageRole, std::optional<std::string>> holders[] = {
        {TImageRole::RemoteSession, "The remote disk server holds this disk for a client!"},
        {TImageRole::DeviceFile, "Disk is in use!"},
        {TImageRole::RemoteReader, std::nullopt}};
    for (const auto& [role, refusal] : holders) {
        SCOPED_TRACE(static_cast<int>(role));
        const auto held = TImageRegistry::Instance().Register(*identity, role, nullptr, image);
        TDiskController controller;
        const auto mount = [&] { controller.MountDisk(image, 1); };
        const auto manage = [&] { TCpmDiskDrive manager(image); };
        if (refusal) {
            EXPECT_THAT(mount, testing::ThrowsMessage<EDiskError>(testing::StrEq(*refusal)));
            EXPECT_THAT(manage, testing::ThrowsMessage<EDiskError>(testing::StrEq(*refusal)));
            EXPECT_FALSE(controller.IsDriveMounted(1));
        } else {
            EXPECT_NO_THROW(mount());
            EXPECT_NO_THROW(manage());
        }
    }
}

// A remote client's session on a descriptor it opened itself.
void OpenRemotely(const std::string& image, int access, TImageRole role) {
    TDiskDrive session(::open(image.c_str(), access | O_CLOEXEC), image, role, nullptr);
}

// Every way of opening an image, and whether it writes.
struct TImageUse {
    const char* Name;
    bool Writes;
    std::function<void(const std::string&)> Use;
};

const TImageUse ImageUses[] = {
    {"a drive mounts it", true, [](const std::string& image) { TDiskController().MountDisk(image, 1); }},
    {"a plain open", true, [](const std::string& image) { TDiskDrive drive(image); }},
    {"the Disk Manager changes it", true, [](const std::string& image) { TCpmDiskDrive manager(image); }},
    {"a remote client writes it", true,
     [](const std::string& image) { OpenRemotely(image, O_RDWR, TImageRole::RemoteSession); }},
    {"a change is checked first", true, [](const std::string& image) { TDiskDrive::CheckWritable(image); }},
    {"a drive reads it", false,
     [](const std::string& image) { TDiskDrive drive(image, TImageRole::Drive, nullptr, TDiskAccess::ReadOnly); }},
    {"the Disk Manager lists it", false,
     [](const std::string& image) { TCpmDiskDrive manager(image, TDiskAccess::ReadOnly); }},
    {"a remote client reads it", false,
     [](const std::string& image) { OpenRemotely(image, O_RDONLY, TImageRole::RemoteReader); }},
};

// An image another running program has open for writing is in use here:
// every way of writing it is refused, and it may not be replaced, until
// that program ends, however it ends. Reading it stays allowed.
TEST(ImageRegistry, AnImageAnotherProgramWritesIsRefusedForWritingUntilItEnds) {
    TTempFolder folder;
    const std::string image = folder.File("SHARED.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    TImageHeldElsewhere other(image);
    ASSERT_TRUE(other.Holding());
    const std::string before = ReadFile(image);

    for (const TImageUse& use : ImageUses) {
        SCOPED_TRACE(use.Name);
        if (use.Writes) {
            try {
                use.Use(image);
                ADD_FAILURE() << "not refused";
            } catch (const EDiskError& e) {
                EXPECT_STREQ(e.what(), "Disk is in use!");
                EXPECT_EQ(e.Code, EDiskError::DiskInUse);
            }
        } else {
            EXPECT_NO_THROW(use.Use(image));
        }
    }
    EXPECT_THAT([&] { TDiskDrive::FormatDiskImage(image); },
                testing::ThrowsMessage<std::runtime_error>(
                    testing::StrEq("Unable to format the virtual drive, the drive could not be written to!")));
    EXPECT_TRUE(TImageRegistry::Instance().HeldByAnotherProgram(image));
    EXPECT_TRUE(TImageRegistry::Instance().IsImageInUse(folder.File("SHARED.cpmdsk"), {}));
    EXPECT_TRUE(ReadFile(image) == before) << "the image changed";

    other.Kill();
    EXPECT_FALSE(TImageRegistry::Instance().HeldByAnotherProgram(image));
    EXPECT_FALSE(TImageRegistry::Instance().IsImageInUse(image, {}));
    for (const TImageUse& use : ImageUses) EXPECT_NO_THROW(use.Use(image)) << use.Name;
    EXPECT_NO_THROW(TDiskDrive::FormatDiskImage(image));
}

// The other way round: while any part of this program writes the image no
// other program may, and opens within this program never clash. Descriptors
// of the file opened and closed meanwhile (a reader, a check) leave the hold
// in place; it goes with the last writer.
TEST(ImageRegistry, ThisProgramHoldsAnImageForOthersWhileAnyOfItsWritersLives) {
    TTempFolder folder;
    const std::string image = folder.File("MINE.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    auto drive = std::make_unique<TDiskController>();
    drive->MountDisk(image, 0);
    auto manager = std::make_unique<TCpmDiskDrive>(image);
    EXPECT_FALSE(TImageHeldElsewhere(image).Holding());

    for (const TImageUse& use : ImageUses)
        if (!use.Writes) use.Use(image);
    ::close(::open(image.c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_FALSE(TImageRegistry::Instance().HeldByAnotherProgram(image)) << "its own hold is no other program's";
    drive.reset();  // the writer that took the hold goes first
    EXPECT_FALSE(TImageHeldElsewhere(image).Holding());

    manager.reset();
    EXPECT_TRUE(TImageHeldElsewhere(image).Holding());
}

}  // namespace
