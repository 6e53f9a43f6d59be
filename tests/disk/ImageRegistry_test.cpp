// The registry of open images: which files count as images in use, by any
// name, and how an image a remote client writes, or the reader or punch
// file, is refused as a disk.

#include "disk/ImageRegistry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "disk/CpmDiskDrive.h"
#include "disk/DiskController.h"
#include "disk/DiskDrive.h"
#include "support/TempFolder.h"

namespace {

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

}  // namespace
