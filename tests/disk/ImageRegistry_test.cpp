#include "disk/ImageRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "StoreTestSupport.h"
#include "disk/DiskDrive.h"

namespace fs = std::filesystem;
using storetest::TempFolder;

namespace {

void Touch(const std::string& p) { storetest::WriteFile(p, std::string(1024, '\xE5')); }

TImageRegistry& Registry() { return TImageRegistry::Instance(); }

// Made before the registry and so destroyed after it at exit: its release
// must still find the registry alive (the sanitizer build sees it if not).
std::unique_ptr<TDiskDrive> g_openAtExit;

TEST(ImageIdentity, NamesOfOneFileShareIt) {
    TempFolder dir;
    Touch(dir / "a.cpmdsk");
    Touch(dir / "b.cpmdsk");
    fs::create_directory(dir / "sub");
    fs::create_symlink(dir / "a.cpmdsk", dir / "link.cpmdsk");
    fs::create_symlink(dir / "link.cpmdsk", dir / "link2.cpmdsk");
    fs::create_hard_link(dir / "a.cpmdsk", dir / "hard.cpmdsk");

    const auto a = TImageRegistry::IdentityOfPath(dir / "a.cpmdsk");
    ASSERT_TRUE(a.has_value());
    const struct {
        std::string path;
        bool same;
    } cases[] = {{dir / "link.cpmdsk", true},
                 {dir / "link2.cpmdsk", true},
                 {dir / "hard.cpmdsk", true},
                 {dir / "sub/../a.cpmdsk", true},
                 {dir / "./a.cpmdsk", true},
                 {dir / "b.cpmdsk", false},
                 {dir / "sub", false}};
    for (const auto& c : cases) {
        const auto id = TImageRegistry::IdentityOfPath(c.path);
        ASSERT_TRUE(id.has_value()) << c.path;
        EXPECT_EQ(*id == *a, c.same) << c.path;
    }
    EXPECT_FALSE(TImageRegistry::IdentityOfPath(dir / "missing").has_value());
    EXPECT_FALSE(TImageRegistry::IdentityOfPath("").has_value());
    EXPECT_FALSE(TImageRegistry::IdentityOfFd(-1).has_value());
}

TEST(ImageRegistry, DriveRegistersForItsLifetime) {
    TempFolder dir;
    Touch(dir / "img.cpmdsk");
    fs::create_symlink(dir / "img.cpmdsk", dir / "alias.cpmdsk");
    const size_t baseline = Registry().OpenCount();
    const auto id = *TImageRegistry::IdentityOfPath(dir / "img.cpmdsk");
    int owner = 0;
    {
        TDiskDrive drive(dir / "alias.cpmdsk", TImageRole::RemoteSession, &owner);
        EXPECT_EQ(drive.Identity(), id);
        EXPECT_EQ(Registry().OpenCount(), baseline + 1);
        EXPECT_TRUE(Registry().IsOpen(id));
        EXPECT_TRUE(Registry().IsOpen(dir / "img.cpmdsk"));
        EXPECT_TRUE(Registry().IsOpenAs(id, TImageRole::RemoteSession));
        EXPECT_FALSE(Registry().IsOpenAs(id, TImageRole::Drive));
        EXPECT_TRUE(Registry().IsOpenBy(id, TImageRole::RemoteSession, &owner));
        EXPECT_FALSE(Registry().IsOpenBy(id, TImageRole::RemoteSession, nullptr));

        const auto entries = Registry().EntriesFor(dir / "img.cpmdsk");
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].Role, TImageRole::RemoteSession);
        EXPECT_EQ(entries[0].Owner, &owner);
        EXPECT_EQ(entries[0].Path, dir / "alias.cpmdsk");
    }
    EXPECT_EQ(Registry().OpenCount(), baseline);
    EXPECT_FALSE(Registry().IsOpen(id));
    EXPECT_TRUE(Registry().EntriesFor(id).empty());
}

TEST(ImageRegistry, SeveralOpenersInOrder) {
    TempFolder dir;
    Touch(dir / "img.cpmdsk");
    const auto id = *TImageRegistry::IdentityOfPath(dir / "img.cpmdsk");
    auto first = std::make_unique<TDiskDrive>(dir / "img.cpmdsk", TImageRole::Drive);
    auto second = std::make_unique<TDiskDrive>(dir / "img.cpmdsk", TImageRole::DiskManager);
    auto entries = Registry().EntriesFor(id);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Role, TImageRole::Drive);
    EXPECT_EQ(entries[1].Role, TImageRole::DiskManager);

    first.reset();
    entries = Registry().EntriesFor(id);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Role, TImageRole::DiskManager);
    second.reset();
    EXPECT_FALSE(Registry().IsOpen(id));
}

TEST(ImageRegistry, DeletedFileStaysOpenUnderItsIdentity) {
    TempFolder dir;
    Touch(dir / "gone.cpmdsk");
    TDiskDrive drive(dir / "gone.cpmdsk");
    const auto id = drive.Identity();
    fs::remove(dir / "gone.cpmdsk");
    EXPECT_TRUE(Registry().IsOpen(id));
    EXPECT_FALSE(Registry().IsOpen(dir / "gone.cpmdsk"));
    // A new file under the old name is another image.
    Touch(dir / "gone.cpmdsk");
    EXPECT_FALSE(Registry().IsOpen(dir / "gone.cpmdsk"));
}

TEST(ImageRegistry, ImageHeldByAStaticIsReleasedSafelyAtExit) {
    TempFolder dir;
    Touch(dir / "late.cpmdsk");
    g_openAtExit = std::make_unique<TDiskDrive>(dir / "late.cpmdsk");
    EXPECT_TRUE(Registry().IsOpen(g_openAtExit->Identity()));
}

TEST(ImageRegistry, RegistrationMovesAndReleasesOnce) {
    const TImageIdentity id{0xFFFF0001u, 0xFFFF0002u};
    const size_t baseline = Registry().OpenCount();
    TImageRegistry::TRegistration outer;
    EXPECT_FALSE(outer.Active());
    {
        auto reg = Registry().Register(id, TImageRole::Other, nullptr, "x");
        EXPECT_TRUE(reg.Active());
        outer = std::move(reg);
        EXPECT_FALSE(reg.Active());
    }
    EXPECT_TRUE(Registry().IsOpen(id));
    TImageRegistry::TRegistration moved(std::move(outer));
    EXPECT_EQ(moved.Identity(), id);
    EXPECT_EQ(Registry().OpenCount(), baseline + 1);

    // Assigning over a live registration releases the old one.
    moved = Registry().Register(TImageIdentity{1, 2}, TImageRole::Other, nullptr, "y");
    EXPECT_FALSE(Registry().IsOpen(id));
    moved.Release();
    moved.Release();
    EXPECT_EQ(Registry().OpenCount(), baseline);
}

}  // namespace
