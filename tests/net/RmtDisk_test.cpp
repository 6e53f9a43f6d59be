// The remote disk server from a real UDP client on 127.0.0.1: every reply
// byte for byte, the session rules and the error replies; sharing through
// the image registry with the drives and the Disk Manager, and blocks
// written remotely as Debian's cpmtools sees them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "NetTestSupport.h"
#include "disk/CpmDiskDrive.h"
#include "disk/DiskController.h"
#include "machine/TavrinMachine.h"

using namespace tavrin::test;

namespace {

class RemoteDisk : public ::testing::Test, public TServerFixture {
protected:
    void SetUp() override {
        MakeImage(Image("DiskB"));
        MakeImage(Image("DiskC"));
    }
    TUdpClient Client{Port()};
};

// Bit 7 of the command byte is ignored.
TEST_F(RemoteDisk, MountReplyIsByteExactAndARepeatedMountKeepsItsId) {
    auto mount = MountRequest(0xBEEF, 2, "DiskB");
    mount[0] |= 0x80;
    const auto reply = Ask(Client, mount);
    ASSERT_EQ(reply.size(), 14u);
    const uint32_t id = Get32(reply, 4);
    const std::vector<uint8_t> expected = {
        0,    0,    0xEF, 0xBE, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16), uint8_t(id >> 24), 0x00,
        0x08, 0x00, 0x01, 0x20, 0x00};
    EXPECT_EQ(reply, expected);
    ASSERT_EQ(Server.SessionCount(), 1u);
    const TRmtDskClientInfo owner{htonl(INADDR_LOOPBACK), htons(Client.Port()), 2};
    EXPECT_EQ(Server.GetSession(0)->ClientInfo, owner);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(MountId(Client, 2, "DiskB"), id) << "a repeated mount keeps its id";
    EXPECT_EQ(Server.SessionCount(), 1u);
    EXPECT_NE(MountId(Client, 1, "DiskC"), id);
}

TEST_F(RemoteDisk, WriteThenReadBackAndEndWithANop) {
    const uint32_t id = MountId(Client, 1, "DiskB");
    const auto block = BlockPattern(3);
    EXPECT_EQ(Ask(Client, WriteRequest(7, id, 1, 10, 16, block)), StatusReply(7));

    // Sector 17 reads the upper half of the track, where the block went.
    auto reply = StatusReply(8);
    reply.insert(reply.end(), block.begin(), block.end());
    EXPECT_EQ(Ask(Client, ReadRequest(8, id, 1, 10, 17)), reply);

    // The block is sectors 16-31 of track 10 in the file.
    const std::string file = ReadFile(Image("DiskB"));
    EXPECT_EQ(file.substr((10 * 32 + 16) * 128, 2048), std::string(block.begin(), block.end()));
    EXPECT_EQ(file.substr((10 * 32 + 15) * 128, 128), std::string(128, '\xE5'));

    // A nop ends the session as an unmount does, without moving the activity time.
    const TRmtDskTime before = Server.LastActivity;
    EXPECT_EQ(Ask(Client, SessionRequest(0, 9, id, 1)), StatusReply(9));
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(Server.LastActivity, before);
    EXPECT_EQ(Ask(Client, ReadRequest(10, id, 1, 0, 0)), ErrorReply(10, 1, "Session is not valid!"));
    EXPECT_EQ(Ask(Client, SessionRequest(2, 6, id, 1)), StatusReply(6)) << "unknown id unmounts as success";
    EXPECT_GT(Server.LastActivity, before);
}

TEST_F(RemoteDisk, ReadOnlySessionsShareAndRefuseWritesUntilDeactivationClosesThem) {
    TUdpClient second(Port()), third(Port());
    const uint32_t a = MountId(Client, 0, "DiskB", true);
    EXPECT_NE(MountId(second, 0, "DiskB", true), 0u);
    EXPECT_EQ(Ask(third, MountRequest(4, 0, "DiskB", false)), ErrorReply(4, 16, "Disk is in use!"));
    EXPECT_EQ(Ask(Client, WriteRequest(5, a, 0, 2, 0, BlockPattern(1))),
              ErrorReply(5, 8, "Disk is mounted read-only!"));
    EXPECT_EQ(ReadFile(Image("DiskB")), std::string(1048576, '\xE5'));

    // The read-only session holds the file open for reading only.
    int readOnlyDescriptors = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) != std::filesystem::path(Image("DiskB"))) continue;
        const int fd = std::stoi(entry.path().filename().string());
        if ((::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDONLY) ++readOnlyDescriptors;
    }
    EXPECT_EQ(readOnlyDescriptors, 2);

    Server.SetActive(false);
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_FALSE(TImageRegistry::Instance().IsOpen(Image("DiskB")));
    EXPECT_TRUE(Ask(Client, MountRequest(1, 0, "DiskB"), 200).empty());
}

TEST_F(RemoteDisk, AutoUnmountDecidesWhatAnotherImageDoes) {
    const uint32_t a = MountId(Client, 0, "DiskB");
    Server.SetAutoUnmount(false);
    EXPECT_EQ(Ask(Client, MountRequest(3, 0, "DiskC")), ErrorReply(3, 64, "Disk is mounted!"));
    EXPECT_EQ(Ask(Client, MountRequest(3, 0, "DiskB", true)), ErrorReply(3, 64, "Disk is mounted!"))
        << "another flag is another mount";
    ASSERT_EQ(Server.SessionCount(), 1u);
    EXPECT_EQ(Server.GetSession(0)->Id, a);

    Server.SetAutoUnmount(true);
    EXPECT_NE(MountId(Client, 0, "DiskC"), a);
    ASSERT_EQ(Server.SessionCount(), 1u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "DiskC.cpmdsk");

    // A mount that fails keeps the session it would have ended.
    EXPECT_EQ(Ask(Client, MountRequest(4, 0, "Missing")), ErrorReply(4, 1, "Selected disk is bad!"));
    ASSERT_EQ(Server.SessionCount(), 1u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "DiskC.cpmdsk");
}

std::vector<uint8_t> Resized(std::vector<uint8_t> request, size_t size) {
    request.resize(size, 0);
    return request;
}

// Other clients, and other drives of the owner, can neither use a session
// nor share its image.
// Unknown commands get no reply at all.
TEST_F(RemoteDisk, ErrorRepliesAreByteExact) {
    const uint32_t id = MountId(Client, 0, "DiskB");
    const auto block = BlockPattern(0);
    const auto command = [&](uint8_t code) { return std::vector<uint8_t>{code, 0, 1, 0}; };
    const auto mismatch = [](uint16_t tag) { return ErrorReply(tag, 16, "Client info does not match!"); };
    TUdpClient intruder(Port());
    const struct {
        const char* name;
        std::vector<uint8_t> request, reply;
        bool fromIntruder = false;
    } cases[] = {
        {"IntruderRead", ReadRequest(1, id, 0, 0, 0), mismatch(1), true},
        {"IntruderWrite", WriteRequest(2, id, 0, 0, 0, block), mismatch(2), true},
        {"IntruderUnmount", SessionRequest(2, 3, id, 0), mismatch(3), true},
        {"OwnersOtherDrive", ReadRequest(5, id, 1, 0, 0), mismatch(5)},
        {"IntruderMount", MountRequest(4, 0, "DiskB", true), ErrorReply(4, 16, "Disk is in use!"), true},
        {"OwnersOtherDriveMount", MountRequest(5, 1, "DiskB"), ErrorReply(5, 16, "Disk is in use!")},
        {"ReadTooShort", Resized(ReadRequest(0x4242, id, 0, 0, 0), 13), ErrorReply(0x4242, 32, "Invalid read request")},
        {"ReadTooLong", Resized(ReadRequest(1, id, 0, 0, 0), 15), ErrorReply(1, 32, "Invalid read request")},
        {"WriteTooShort", Resized(WriteRequest(2, id, 0, 0, 0, block), 2061),
         ErrorReply(2, 32, "Invalid write request")},
        {"WriteTooLong", Resized(WriteRequest(2, id, 0, 0, 0, block), 2063),
         ErrorReply(2, 32, "Invalid write request")},
        {"NopTooShort", Resized(SessionRequest(0, 3, id, 0), 9), ErrorReply(3, 32, "Invalid nop request")},
        {"UnmountTooLong", Resized(SessionRequest(2, 4, id, 0), 11), ErrorReply(4, 32, "Invalid unmount request")},
        {"MountTooShort", Resized(MountRequest(5, 0, "DiskB"), 9), ErrorReply(5, 32, "Invalid mount request")},
        {"MountTooLong", Resized(MountRequest(5, 0, "DiskB"), 73), ErrorReply(5, 32, "Invalid mount request")},
        {"OneByte", {3}, ErrorReply(0, 32, "Invalid read request")},
        {"TagCutShort", {3, 0, 0x77}, ErrorReply(0x77, 32, "Invalid read request")},
        {"SectorOutOfRange", ReadRequest(6, id, 0, 0, 40), ErrorReply(6, 2, "Invalid track sector (40)!")},
        {"TrackOutOfRange", WriteRequest(7, id, 0, 256, 0, block), ErrorReply(7, 2, "Invalid disk track (256)!")},
        {"Command5", command(5), {}},
        {"Command7", command(7), {}},
        {"Command7F", command(0x7F), {}},
        {"CommandFF", command(0xFF), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ask(c.fromIntruder ? intruder : Client, c.request, c.reply.empty() ? 200 : 2000), c.reply) << c.name;
    EXPECT_EQ(Server.SessionCount(), 1u);
}

TEST_F(RemoteDisk, CpmStyleNamesAreServedAsGiven) {
    MakeImage(Image("WORK.1"), 0x42);
    const uint32_t id = MountId(Client, 0, "WORK.1");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "WORK.1.cpmdsk");
    EXPECT_EQ(Ask(Client, ReadRequest(2, id, 0, 0, 0)).at(4), 0x42);
    EXPECT_EQ(Ask(Client, MountRequest(3, 1, "../DiskB")), ErrorReply(3, 1, "Selected disk is bad!"));
}

// Eight hosts repeating their eight mounts each hold the table only until
// the mounts have been idle a minute; then a ninth host gets a place.
TEST_F(RemoteDisk, HostsRepeatingTheirMountsHoldTheTableOnlyAMinute) {
    TRmtDskTime now{};
    Server.Sessions().Clock = [&now] { return now; };
    std::vector<std::unique_ptr<TUdpClient>> hosts;
    for (int host = 2; host < 10; ++host)
        hosts.push_back(std::make_unique<TUdpClient>(Port(), ("127.0.0." + std::to_string(host)).c_str()));
    const auto mountAll = [&] {
        for (const auto& host : hosts)
            for (uint16_t disk = 0; disk < 8; ++disk) ASSERT_NE(MountId(*host, disk, "DiskB", true), 0u);
    };
    mountAll();
    ASSERT_EQ(Server.SessionCount(), TRmtDskSessionList::MaxSessions);
    TUdpClient newcomer(Port(), "127.0.0.10");
    const auto tooMany = ErrorReply(1, 255, "Too many remote disk sessions!");

    now += std::chrono::seconds(40);
    mountAll();
    EXPECT_EQ(Ask(newcomer, MountRequest(1, 0, "DiskB", true)), tooMany);
    now += std::chrono::seconds(20);
    mountAll();
    const uint32_t id = MountId(newcomer, 0, "DiskB", true);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Ask(newcomer, ReadRequest(2, id, 0, 0, 0)).size(), 2052u);
    EXPECT_EQ(Server.SessionCount(), TRmtDskSessionList::MaxSessions);
}

TEST(RmtDiskWire, ErrorTextIsCutTo63AndCodeIsNeverZero) {
    const std::string longText(100, 'x');
    EXPECT_EQ(rmtdsk::ErrorReply(9, 255, longText), ErrorReply(9, 255, longText.substr(0, 63)));
    EXPECT_EQ(Get16(rmtdsk::ErrorReply(1, 0, "x"), 0), 255);
}

TEST_F(RemoteDisk, ImageHeldForRemoteWritingIsRefusedLocally) {
    const auto refused =
        testing::ThrowsMessage<std::exception>(testing::StrEq("The remote disk server holds this disk for a client!"));
    const uint32_t id = MountId(Client, 0, "DiskB");
    ASSERT_NE(id, 0u);
    TDiskController controller;
    EXPECT_THAT([&] { controller.MountDisk(Image("DiskB"), 2); }, refused);
    EXPECT_FALSE(controller.IsDriveMounted(2));
    EXPECT_THAT([&] { TCpmDiskDrive manager(Image("DiskB")); }, refused);
    // Drive A would get the system tracks written: refused before that.
    TTavrinMachine machine(Folder.Path().string() + "/");
    EXPECT_THAT([&] { machine.MountDrive(0, Image("DiskB")); }, refused);
    EXPECT_EQ(ReadFile(Image("DiskB")), std::string(1048576, '\xE5'));

    // A local drive lends the image to remote readers only.
    ASSERT_EQ(Ask(Client, SessionRequest(2, 2, id, 0)), StatusReply(2));
    EXPECT_NO_THROW(controller.MountDisk(Image("DiskB"), 2));
    EXPECT_EQ(Ask(Client, MountRequest(1, 0, "DiskB")), ErrorReply(1, 16, "Disk is in use!"));
    EXPECT_NE(MountId(Client, 0, "DiskB", true), 0u);
    EXPECT_NO_THROW(TCpmDiskDrive manager(Image("DiskB")));
}

TEST_F(RemoteDisk, ImageCopiedBlockByBlockOverTheNetworkCopiesOutAlikeInCpmTools) {
    ASSERT_EQ(std::system("command -v cpmcp >/dev/null"), 0)
        << "cpmtools (Debian package cpmtools) is needed for this test";
    // cpmtools reads "diskdefs" from the working folder.
    std::ofstream(Folder.File("diskdefs"))
        << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
           "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
    const auto tool = [&](const std::string& args) {
        return std::system(("cd '" + Folder.Path().string() + "' && " + args + " >/dev/null 2>&1").c_str());
    };
    std::string text;
    for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(i) + " of the remote copy test\r\n";
    WriteFile(Folder.File("note.txt"), text);
    MakeImage(Image("Source"));
    ASSERT_EQ(tool("cpmcp -f cpmdsk1m -T raw Source.cpmdsk note.txt 0:NOTE.TXT"), 0);

    const uint32_t source = MountId(Client, 0, "Source", true);
    const uint32_t target = MountId(Client, 1, "DiskB");
    for (uint16_t track = 0; track < 256; ++track) {
        for (uint16_t sector : {0, 16}) {
            const auto reply = Ask(Client, ReadRequest(3, source, 0, track, sector));
            ASSERT_EQ(reply.size(), 2052u);
            const std::vector<uint8_t> block(reply.begin() + 4, reply.end());
            ASSERT_EQ(Ask(Client, WriteRequest(4, target, 1, track, sector, block)), StatusReply(4));
        }
    }

    ASSERT_EQ(tool("cpmcp -f cpmdsk1m -T raw DiskB.cpmdsk 0:NOTE.TXT back.txt"), 0);
    EXPECT_EQ(ReadFile(Folder.File("back.txt")).substr(0, text.size()), text);
    EXPECT_EQ(ReadFile(Image("Source")), ReadFile(Image("DiskB")));
}

}  // namespace
