// The machine's reader and punch files against the remote disk server, as a
// real UDP client meets them: an image open as either is no disk to mount,
// for reading or for writing, until the file is closed.

#include <gtest/gtest.h>

#include "NetTestSupport.h"
#include "machine/TavrinMachine.h"

using namespace tavrin::test;

namespace {

class DeviceFileImage : public ::testing::Test, public TServerFixture {
protected:
    TUdpClient Client{Port()};
    TTavrinMachine Machine{Folder.Path().string() + "/"};
};

// The punch would overwrite what the client wrote, and the reader hand the
// client's writes to the CPU as input.
TEST_F(DeviceFileImage, IsNoDiskForARemoteClientUntilClosed) {
    const std::string image = Image("P2");
    for (const bool punch : {false, true}) {
        SCOPED_TRACE(punch ? "punch" : "reader");
        MakeImage(image, 0x5A);
        punch ? Machine.OpenPunchFile(image, false) : Machine.OpenReaderFile(image);
        for (const bool readOnly : {false, true})
            EXPECT_EQ(Ask(Client, MountRequest(3, 0, "P2", readOnly)), ErrorReply(3, 16, "Disk is in use!"))
                << (readOnly ? "read-only" : "read/write");
        EXPECT_EQ(Server.SessionCount(), 0u);
        EXPECT_EQ(ReadFile(image), std::string(1048576, '\x5A'));

        punch ? Machine.ClosePunchFile() : Machine.CloseReaderFile();
        const uint32_t id = MountId(Client, 0, "P2");
        ASSERT_NE(id, 0u);
        EXPECT_EQ(Ask(Client, SessionRequest(2, 4, id, 0)), StatusReply(4));
    }
}

}  // namespace
