// The remote disk server from a real UDP client on 127.0.0.1: every reply
// byte for byte, the session rules and the error replies.

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "NetTestSupport.h"

using namespace nettest;
namespace req = rmtreq;

namespace {

class RemoteDisk : public ::testing::Test, public TServerFixture {
protected:
    void SetUp() override {
        MakeImage(Image("DiskB"));
        MakeImage(Image("DiskC"));
    }

    // Mounts and returns the session id (0 on a failed mount).
    uint32_t MountOk(const TUdpClient& client, uint16_t disk, const std::string& name, bool readOnly = false) {
        const auto reply = Ask(client, req::Mount(0x1234, disk, name, readOnly));
        if (reply.size() != 14 || req::Get16(reply, 0) != 0) {
            ADD_FAILURE() << "mount of " << name << " failed";
            return 0;
        }
        return req::Get32(reply, 4);
    }

    // Expects no reply to arrive.
    void ExpectSilence(const TUdpClient& client, const std::vector<uint8_t>& request) {
        EXPECT_FALSE(Transact(client, Queue, request, 200)) << "unexpected reply";
    }

    TUdpClient Client{Port()};
};

TEST_F(RemoteDisk, MountReplyIsByteExact) {
    const auto reply = Ask(Client, req::Mount(0xBEEF, 2, "DiskB"));
    ASSERT_EQ(reply.size(), 14u);
    const uint32_t id = req::Get32(reply, 4);
    EXPECT_NE(id, 0u);
    const std::vector<uint8_t> expected = {0,    0,    0xEF, 0xBE, uint8_t(id), uint8_t(id >> 8), uint8_t(id >> 16),
                                           uint8_t(id >> 24), 0x00, 0x08, 0x00, 0x01, 0x20, 0x00};
    EXPECT_EQ(reply, expected);
    ASSERT_EQ(Server.SessionCount(), 1u);
    const TRmtDskSession* session = Server.GetSession(0);
    EXPECT_EQ(session->FileName, "DiskB.cpmdsk");
    EXPECT_EQ(session->ClientInfo, Client.Info(2));
    EXPECT_FALSE(session->ReadOnly);
    EXPECT_EQ(Server.GetSession(1), nullptr);
}

TEST_F(RemoteDisk, WriteThenReadBackAndUnmount) {
    const uint32_t id = MountOk(Client, 1, "DiskB");
    const auto block = Pattern(3);
    EXPECT_EQ(Ask(Client, req::Write(7, id, 1, 10, 16, block)), req::Status(7));

    const auto reply = Ask(Client, req::Read(8, id, 1, 10, 16));
    ASSERT_EQ(reply.size(), 2052u);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 4), req::Status(8));
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + 4, reply.end()), block);

    // The block is sectors 16-31 of track 10 in the file.
    const std::string file = storetest::ReadFile(Image("DiskB"));
    EXPECT_EQ(file.substr((10 * 32 + 16) * 128, 2048), std::string(block.begin(), block.end()));
    EXPECT_EQ(file.substr((10 * 32 + 15) * 128, 128), std::string(128, '\xE5'));

    EXPECT_EQ(Ask(Client, req::Session(2, 9, id, 1)), req::Status(9));
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(Ask(Client, req::Read(10, id, 1, 0, 0)), req::Error(10, 1, "Session is not valid!"));
}

TEST_F(RemoteDisk, ReadOfSector17ReturnsTheUpperHalfTrack) {
    std::string file(1048576, '\xE5');
    for (int s = 0; s < 32; ++s) file[(3 * 32 + s) * 128] = static_cast<char>(s);
    storetest::WriteFile(Image("DiskC"), file);
    const uint32_t id = MountOk(Client, 0, "DiskC");
    const auto reply = Ask(Client, req::Read(1, id, 0, 3, 17));
    ASSERT_EQ(reply.size(), 2052u);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(reply[4 + k * 128], 16 + k);
}

TEST_F(RemoteDisk, NopEndsTheSessionWithoutMovingActivity) {
    const uint32_t id = MountOk(Client, 0, "DiskB");
    const TRmtDskTime before = Server.LastActivity;
    EXPECT_EQ(Ask(Client, req::Session(0, 5, id, 0)), req::Status(5));
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(Server.LastActivity, before);
    EXPECT_EQ(Ask(Client, req::Session(2, 6, 0xDEADBEEF, 0)), req::Status(6)) << "unknown id unmounts as success";
    EXPECT_GT(Server.LastActivity, before);
}

TEST_F(RemoteDisk, RepeatedMountKeepsTheIdAndIdsAreDistinct) {
    const uint32_t first = MountOk(Client, 0, "DiskB");
    EXPECT_EQ(MountOk(Client, 0, "DiskB"), first);
    EXPECT_EQ(Server.SessionCount(), 1u);
    std::set<uint32_t> ids{first};
    for (uint16_t disk = 1; disk < 6; ++disk) {
        MakeImage(Image("Img" + std::to_string(disk)));
        ids.insert(MountOk(Client, disk, "Img" + std::to_string(disk)));
    }
    EXPECT_EQ(ids.size(), 6u);
    EXPECT_EQ(ids.count(0), 0u);
}

TEST_F(RemoteDisk, CommandBit7IsIgnoredAndUnknownCommandsGetNoReply) {
    auto mount = req::Mount(1, 0, "DiskB");
    mount[0] = 0x81;
    EXPECT_EQ(Ask(Client, mount).size(), 14u);
    for (uint8_t command : {5, 7, 0x7F, 0xFF}) {
        auto other = req::Read(1, 0, 0, 0, 0);
        other[0] = command;
        ExpectSilence(Client, other);
    }
}

TEST_F(RemoteDisk, ReadOnlySessionsShareAndRefuseWrites) {
    TUdpClient second(Port()), third(Port());
    const uint32_t a = MountOk(Client, 0, "DiskB", true);
    MountOk(second, 0, "DiskB", true);
    EXPECT_EQ(Ask(third, req::Mount(4, 0, "DiskB", false)), req::Error(4, 16, "Disk is in use!"));
    EXPECT_EQ(Ask(Client, req::Write(5, a, 0, 2, 0, Pattern(1))), req::Error(5, 8, "Disk is mounted read-only!"));
    EXPECT_EQ(storetest::ReadFile(Image("DiskB")), std::string(1048576, '\xE5'));

    // The read-only session holds the file open for reading only.
    int readOnlyDescriptors = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) != std::filesystem::path(Image("DiskB"))) continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        std::string key, flags;
        while (info >> key >> flags && key != "flags:") {
        }
        if ((std::stoi(flags, nullptr, 8) & O_ACCMODE) == O_RDONLY) ++readOnlyDescriptors;
    }
    EXPECT_EQ(readOnlyDescriptors, 2);
}

TEST_F(RemoteDisk, ReadWriteSessionKeepsTheImageToItself) {
    TUdpClient second(Port());
    MountOk(Client, 0, "DiskB");
    EXPECT_EQ(Ask(second, req::Mount(4, 0, "DiskB", true)), req::Error(4, 16, "Disk is in use!"));
    EXPECT_EQ(Ask(Client, req::Mount(5, 1, "DiskB", false)), req::Error(5, 16, "Disk is in use!"))
        << "the same client's other drive is another session";
}

TEST_F(RemoteDisk, AutoUnmountDecidesWhatAnotherImageDoes) {
    const uint32_t a = MountOk(Client, 0, "DiskB");
    Server.SetAutoUnmount(false);
    EXPECT_EQ(Ask(Client, req::Mount(3, 0, "DiskC")), req::Error(3, 64, "Disk is mounted!"));
    EXPECT_EQ(Ask(Client, req::Mount(3, 0, "DiskB", true)), req::Error(3, 64, "Disk is mounted!"))
        << "another flag is another mount";
    ASSERT_EQ(Server.SessionCount(), 1u);
    EXPECT_EQ(Server.GetSession(0)->Id, a);

    Server.SetAutoUnmount(true);
    const uint32_t b = MountOk(Client, 0, "DiskC");
    EXPECT_NE(b, a);
    ASSERT_EQ(Server.SessionCount(), 1u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "DiskC.cpmdsk");

    // A failing mount after the auto unmount leaves the drive without a session.
    EXPECT_EQ(Ask(Client, req::Mount(4, 0, "Missing")), req::Error(4, 1, "Selected disk is bad!"));
    EXPECT_EQ(Server.SessionCount(), 0u);
}

TEST_F(RemoteDisk, OtherClientsCannotUseASession) {
    const uint32_t id = MountOk(Client, 0, "DiskB");
    TUdpClient intruder(Port());
    const auto mismatch = [](uint16_t tag) { return req::Error(tag, 16, "Client info does not match!"); };
    EXPECT_EQ(Ask(intruder, req::Read(1, id, 0, 0, 0)), mismatch(1));
    EXPECT_EQ(Ask(intruder, req::Write(2, id, 0, 0, 0, Pattern(0))), mismatch(2));
    EXPECT_EQ(Ask(intruder, req::Session(2, 3, id, 0)), mismatch(3));
    EXPECT_EQ(Ask(intruder, req::Session(0, 4, id, 0)), mismatch(4));
    EXPECT_EQ(Ask(Client, req::Read(5, id, 1, 0, 0)), mismatch(5)) << "another drive number of the same client";
    EXPECT_EQ(Server.SessionCount(), 1u);
}

// Requests that must be answered with exactly this error reply.
struct ErrorCase {
    const char* name;
    std::function<std::vector<uint8_t>(uint32_t id)> request;
    std::vector<uint8_t> reply;
};

class ErrorReplies : public RemoteDisk, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorReplies, AreByteExact) {
    const uint32_t id = MountOk(Client, 0, "DiskB");
    EXPECT_EQ(Ask(Client, GetParam().request(id)), GetParam().reply);
}

std::vector<uint8_t> Resized(std::vector<uint8_t> request, size_t size) {
    request.resize(size, 0);
    return request;
}

const ErrorCase kErrorCases[] = {
    {"ReadTooShort", [](uint32_t id) { return Resized(req::Read(0x4242, id, 0, 0, 0), 13); },
     req::Error(0x4242, 32, "Invalid read request")},
    {"ReadTooLong", [](uint32_t id) { return Resized(req::Read(1, id, 0, 0, 0), 15); },
     req::Error(1, 32, "Invalid read request")},
    {"WriteTooShort", [](uint32_t id) { return Resized(req::Write(2, id, 0, 0, 0, Pattern(0)), 2061); },
     req::Error(2, 32, "Invalid write request")},
    {"WriteTooLong", [](uint32_t id) { return Resized(req::Write(2, id, 0, 0, 0, Pattern(0)), 2063); },
     req::Error(2, 32, "Invalid write request")},
    {"NopTooShort", [](uint32_t id) { return Resized(req::Session(0, 3, id, 0), 9); },
     req::Error(3, 32, "Invalid nop request")},
    {"UnmountTooLong", [](uint32_t id) { return Resized(req::Session(2, 4, id, 0), 11); },
     req::Error(4, 32, "Invalid unmount request")},
    {"MountTooShort", [](uint32_t) { return Resized(req::Mount(5, 0, "DiskB"), 9); },
     req::Error(5, 32, "Invalid mount request")},
    {"MountTooLong", [](uint32_t) { return Resized(req::Mount(5, 0, "DiskB"), 73); },
     req::Error(5, 32, "Invalid mount request")},
    {"OneByte", [](uint32_t) { return std::vector<uint8_t>{3}; }, req::Error(0, 32, "Invalid read request")},
    {"TagCutShort", [](uint32_t) { return std::vector<uint8_t>{3, 0, 0x77}; },
     req::Error(0x77, 32, "Invalid read request")},
    {"SectorOutOfRange", [](uint32_t id) { return req::Read(6, id, 0, 0, 40); },
     req::Error(6, 2, "Invalid track sector (40)!")},
    {"TrackOutOfRange", [](uint32_t id) { return req::Write(7, id, 0, 256, 0, Pattern(0)); },
     req::Error(7, 2, "Invalid disk track (256)!")},
};

INSTANTIATE_TEST_SUITE_P(Table, ErrorReplies, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RmtDiskWire, ErrorTextIsCutTo63AndCodeIsNeverZero) {
    const std::string longText(100, 'x');
    const auto reply = rmtdsk::ErrorReply(9, 255, longText);
    EXPECT_EQ(reply, req::Error(9, 255, longText.substr(0, 63)));
    EXPECT_EQ(reply[4], 63);
    EXPECT_EQ(req::Get16(rmtdsk::ErrorReply(1, 0, "x"), 0), 255);
}

TEST_F(RemoteDisk, DeactivationClosesEverySession) {
    MountOk(Client, 0, "DiskB");
    const auto identity = TImageRegistry::IdentityOfPath(Image("DiskB"));
    EXPECT_TRUE(TImageRegistry::Instance().IsOpen(*identity));
    Server.SetActive(false);
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_FALSE(TImageRegistry::Instance().IsOpen(*identity));
    ExpectSilence(Client, req::Mount(1, 0, "DiskB"));
}

}  // namespace
