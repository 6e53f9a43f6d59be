// The remote disk server beside the local side of the program: sharing
// through the image registry with the drives and the Disk Manager, and
// blocks written remotely as Debian's cpmtools sees them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "NetTestSupport.h"
#include "disk/CpmDiskDrive.h"
#include "disk/DiskController.h"
#include "machine/TavrinMachine.h"

using namespace nettest;
namespace req = rmtreq;

namespace {

const char* const kLocalRefusal = "The disk is already mounted in another drive!";

class RemoteAndLocal : public ::testing::Test, public TServerFixture {
protected:
    void SetUp() override { MakeImage(Image("Shared")); }

    std::string ExceptionText(const std::function<void()>& action) {
        try {
            action();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    TUdpClient Client{Port()};
};

TEST_F(RemoteAndLocal, ImageInALocalDriveIsLentOnlyForReading) {
    TDiskController controller;
    controller.MountDisk(Image("Shared"), 1);
    EXPECT_EQ(Ask(Client, req::Mount(1, 0, "Shared")), req::Error(1, 16, "Disk is in use!"));
    EXPECT_NE(MountId(Client, 0, "Shared", true), 0u);
}

TEST_F(RemoteAndLocal, ImageHeldForRemoteWritingIsRefusedLocally) {
    const uint32_t id = MountId(Client, 0, "Shared");
    ASSERT_NE(id, 0u);

    TDiskController controller;
    EXPECT_EQ(ExceptionText([&] { controller.MountDisk(Image("Shared"), 2); }), kLocalRefusal);
    EXPECT_FALSE(controller.IsDriveMounted(2));
    EXPECT_EQ(ExceptionText([&] { TCpmDiskDrive manager(Image("Shared")); }), kLocalRefusal);

    // Drive A would get the system tracks written: refused before that.
    TTavrinMachine machine(Folder.Path().string() + "/");
    EXPECT_EQ(ExceptionText([&] { machine.MountDrive(0, Image("Shared")); }), kLocalRefusal);
    EXPECT_EQ(storetest::ReadFile(Image("Shared")), std::string(1048576, '\xE5'));

    // Read-only remote use does not stand in the way.
    ASSERT_EQ(Ask(Client, req::Session(2, 2, id, 0)), req::Status(2));
    ASSERT_NE(MountId(Client, 0, "Shared", true), 0u);
    EXPECT_NO_THROW(controller.MountDisk(Image("Shared"), 2));
    EXPECT_NO_THROW(TCpmDiskDrive manager(Image("Shared")));
}

// cpmtools reads "diskdefs" from the working folder.
class RemoteAndCpmTools : public RemoteAndLocal {
protected:
    void SetUp() override {
        RemoteAndLocal::SetUp();
        ASSERT_EQ(std::system("command -v cpmcp >/dev/null"), 0)
            << "cpmtools (Debian package cpmtools) is needed for this test";
        std::ofstream(Folder.File("diskdefs"))
            << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
               "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
    }

    int Tool(const std::string& args) {
        return std::system(("cd '" + Folder.Path().string() + "' && " + args + " >/dev/null 2>&1").c_str());
    }
};

TEST_F(RemoteAndCpmTools, ImageCopiedBlockByBlockOverTheNetworkCopiesOutAlike) {
    // A file written by cpmtools into one image...
    std::string text;
    for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(i) + " of the remote copy test\r\n";
    storetest::WriteFile(Folder.File("note.txt"), text);
    MakeImage(Image("Source"));
    ASSERT_EQ(Tool("cpmcp -f cpmdsk1m -T raw Source.cpmdsk note.txt 0:NOTE.TXT"), 0);

    // ...is copied block by block by a client into another: every block of
    // the source read and written into the target.
    const uint32_t source = MountId(Client, 0, "Source", true);
    const uint32_t target = MountId(Client, 1, "Shared");
    ASSERT_NE(source, 0u);
    ASSERT_NE(target, 0u);
    for (uint16_t track = 0; track < 256; ++track) {
        for (uint16_t sector : {0, 16}) {
            const auto reply = Ask(Client, req::Read(3, source, 0, track, sector));
            ASSERT_EQ(reply.size(), 2052u);
            const std::vector<uint8_t> block(reply.begin() + 4, reply.end());
            ASSERT_EQ(Ask(Client, req::Write(4, target, 1, track, sector, block)), req::Status(4));
        }
    }

    ASSERT_EQ(Tool("cpmcp -f cpmdsk1m -T raw Shared.cpmdsk 0:NOTE.TXT back.txt"), 0);
    std::string back = storetest::ReadFile(Folder.File("back.txt"));
    EXPECT_EQ(back.substr(0, text.size()), text);
    EXPECT_EQ(storetest::ReadFile(Image("Source")), storetest::ReadFile(Image("Shared")));
}

}  // namespace
