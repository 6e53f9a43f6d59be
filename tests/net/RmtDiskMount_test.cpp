// Mounting over a real UDP client on 127.0.0.1: a mount that fails ends
// no session, a repeated mount shows as use in "Last used" without keeping
// a session from going idle, and the server opens the files a local drive
// opens.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "NetTestSupport.h"
#include "support/NamedRows.h"
#include "support/WriteProtectedFile.h"

using namespace tavrin::test;
namespace fs = std::filesystem;

namespace {

const std::vector<uint8_t> kBadDisk = ErrorReply(1, 1, "Selected disk is bad!");
const std::vector<uint8_t> kInUse = ErrorReply(1, 16, "Disk is in use!");

class RemoteMount : public ::testing::Test, public TServerFixture {
protected:
    void SetUp() override {
        MakeImage(Image("DiskB"));
        MakeImage(Image("DiskC"));
        Server.Sessions().Clock = [this] { return Now; };
    }
    // Whether the session still serves its owner.
    bool Serves(const TUdpClient& owner, uint32_t id, uint16_t disk) {
        return Ask(owner, ReadRequest(2, id, disk, 0, 0)).size() == 2052u;
    }
    TRmtDskTime Now{};
    TUdpClient Client{Port()};
};

// A client drive holding DiskB asks for something that cannot be had. The
// server cannot tell the owner from a sender forging its address, so the
// session must outlive the refusal.
struct TFailedMount {
    const char* name;
    bool heldReadOnly;
    std::string image;
    bool readOnly;
    std::vector<uint8_t> reply;
    std::string othersRead = {};  // an image another client holds read-only
};
TAVRIN_PRINT_AS_NAME(TFailedMount)

class FailedMount : public RemoteMount, public ::testing::WithParamInterface<TFailedMount> {};

TEST_P(FailedMount, EndsNoSession) {
    const TFailedMount& row = GetParam();
    const uint32_t id = MountId(Client, 3, "DiskB", row.heldReadOnly);
    ASSERT_NE(id, 0u);
    TUdpClient other(Port());
    if (!row.othersRead.empty()) {
        ASSERT_NE(MountId(other, 0, row.othersRead, true), 0u);
    }

    EXPECT_EQ(Ask(Client, MountRequest(1, 3, row.image, row.readOnly)), row.reply);
    EXPECT_TRUE(Serves(Client, id, 3));
    const TRmtDskSession* session = Server.Sessions().FindByClient({htonl(INADDR_LOOPBACK), htons(Client.Port()), 3});
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Id, id);
}

INSTANTIATE_TEST_SUITE_P(Table, FailedMount,
                         ::testing::Values(TFailedMount{"MissingImage", false, "Missing", false, kBadDisk},
                                           TFailedMount{"RefusedName", false, "../DiskC", false, kBadDisk},
                                           TFailedMount{"OtherImageInUse", false, "DiskC", false, kInUse, "DiskC"},
                                           TFailedMount{"WritingWhereOthersRead", true, "DiskB", false, kInUse,
                                                        "DiskB"}),
                         RowName);

// The session a mount replaces does not count as another holder of its image.
TEST_F(RemoteMount, AnotherModeOfTheHeldImageReplacesTheSession) {
    uint32_t held = MountId(Client, 0, "DiskB");
    for (const bool readOnly : {true, false}) {
        SCOPED_TRACE(readOnly ? "read-only" : "read/write");
        const uint32_t id = MountId(Client, 0, "DiskB", readOnly);
        ASSERT_NE(id, 0u);
        EXPECT_NE(id, held);
        ASSERT_EQ(Server.SessionCount(), 1u);
        EXPECT_EQ(Server.GetSession(0)->ReadOnly, readOnly);
        EXPECT_EQ(Ask(Client, ReadRequest(2, held, 0, 0, 0)), ErrorReply(2, 1, "Session is not valid!"));
        held = id;
    }
}

// Eight drives of one host fill its share of the table, or eight hosts'
// drives and a writer the whole table. Once the drives have been idle a
// minute a newcomer may take the place of the idlest, but only with a
// mount that succeeds.
struct TFullTable {
    const char* name;
    int hosts;
};
TAVRIN_PRINT_AS_NAME(TFullTable)

class FullTable : public RemoteMount, public ::testing::WithParamInterface<TFullTable> {};

TEST_P(FullTable, MakesRoomOnlyForAMountThatSucceeds) {
    ASSERT_NE(MountId(Client, 0, "DiskC"), 0u);  // a writer the newcomer cannot join
    std::vector<std::unique_ptr<TUdpClient>> hosts;
    for (int host = 0; host < GetParam().hosts; ++host)
        hosts.push_back(std::make_unique<TUdpClient>(Port(), ("127.0.0." + std::to_string(host + 2)).c_str()));
    std::vector<uint32_t> ids;
    for (const auto& host : hosts)
        for (uint16_t disk = 0; disk < TRmtDskSessionList::MaxSessionsPerAddress; ++disk) {
            if (Server.SessionCount() == TRmtDskSessionList::MaxSessions) break;
            Now += std::chrono::seconds(1);
            ids.push_back(MountId(*host, disk, "DiskB", true));
            ASSERT_NE(ids.back(), 0u);
        }
    // One host fills its own share: the newcomer shares its address.
    TUdpClient newcomer(Port(), GetParam().hosts == 1 ? "127.0.0.2" : "127.0.0.99");
    Now += TRmtDskSessionList::IdleBeforeReplaced;
    ASSERT_TRUE(Serves(Client, Server.GetSession(0)->Id, 0));  // the writer is not idle
    const size_t full = Server.SessionCount();

    EXPECT_EQ(Ask(newcomer, MountRequest(1, 9, "Missing", true)), kBadDisk);
    EXPECT_EQ(Ask(newcomer, MountRequest(1, 9, "DiskC", true)), kInUse);
    EXPECT_EQ(Server.SessionCount(), full);
    for (const uint32_t id : ids) EXPECT_NE(Server.Sessions().FindById(id), nullptr);

    ASSERT_NE(MountId(newcomer, 9, "DiskB", true), 0u);
    EXPECT_EQ(Server.Sessions().FindById(ids[0]), nullptr) << "the idlest made room";
    EXPECT_NE(Server.Sessions().FindById(ids[1]), nullptr);
    EXPECT_EQ(Server.SessionCount(), full);
}

INSTANTIATE_TEST_SUITE_P(Table, FullTable, ::testing::Values(TFullTable{"OneAddress", 1}, TFullTable{"AllPlaces", 8}),
                         RowName);

// "Last used" shows every mount, read and write; only reads and writes, which
// need the session id, keep a session from being replaced.
TEST_F(RemoteMount, ARepeatedMountShowsAsUseButDoesNotKeepTheSessionFromIdling) {
    std::vector<uint32_t> ids;
    for (uint16_t disk = 0; disk < TRmtDskSessionList::MaxSessionsPerAddress; ++disk)
        ids.push_back(MountId(Client, disk, "DiskB", true));
    const TRmtDskSession& first = *Server.Sessions().FindById(ids[0]);
    EXPECT_EQ(first.LastUsed, Now);

    Now += TRmtDskSessionList::IdleBeforeReplaced - std::chrono::seconds(1);
    EXPECT_EQ(MountId(Client, 0, "DiskB", true), ids[0]);
    EXPECT_EQ(first.LastUsed, Now) << "the mount shows as use";
    Now += std::chrono::seconds(1);
    ASSERT_NE(MountId(Client, 8, "DiskC", true), 0u);
    EXPECT_EQ(Server.Sessions().FindById(ids[0]), nullptr) << "idle since its first mount";

    Now += std::chrono::seconds(5);
    ASSERT_TRUE(Serves(Client, ids[1], 1));
    EXPECT_EQ(Server.Sessions().FindById(ids[1])->LastUsed, Now) << "a read shows as use";
}

// Whatever a local drive opens, the server opens, and nothing else: an
// image of any length, a link placed in the image folder (wherever it
// points), and a file that cannot be written (whose writes then fail).
struct TImageFile {
    const char* name;
    bool opens;
    std::function<void(const std::string& path, const std::string& outside)> make;
};
TAVRIN_PRINT_AS_NAME(TImageFile)

class ImageFile : public RemoteMount, public ::testing::WithParamInterface<TImageFile> {
protected:
    TTempFolder Outside;
};

TEST_P(ImageFile, OpensAsOnALocalDrive) {
    const TImageFile& row = GetParam();
    const std::string path = Image(row.name);
    row.make(path, Outside.Folder());
    bool localOpens = true;
    try {
        TDiskDrive local(path);
    } catch (const EDiskError&) {
        localOpens = false;
    }
    EXPECT_EQ(localOpens, row.opens) << "the local drive";
    const auto reply = Ask(Client, MountRequest(1, 0, row.name));
    EXPECT_EQ(reply.size() == 14u, row.opens);
    if (!row.opens) {
        EXPECT_EQ(reply, kBadDisk);
    }
    EXPECT_EQ(Server.SessionCount(), row.opens ? 1u : 0u);
}

const TImageFile kImageFiles[] = {
    {"Full", true, [](const std::string& p, const std::string&) { MakeImage(p); }},
    {"Short", true, [](const std::string& p, const std::string&) { WriteFile(p, std::string(3000, '\xE5')); }},
    {"Empty", true, [](const std::string& p, const std::string&) { WriteFile(p, ""); }},
    {"Long", true, [](const std::string& p, const std::string&) { WriteFile(p, std::string(1048704, '\xE5')); }},
    {"LinkInFolder", true, [](const std::string& p, const std::string&) { fs::create_symlink("DiskC.cpmdsk", p); }},
    {"LinkOutOfFolder", true,
     [](const std::string& p, const std::string& outside) {
         MakeImage(outside + "Elsewhere.cpmdsk");
         fs::create_symlink(outside + "Elsewhere.cpmdsk", p);
     }},
    {"DanglingLink", false,
     [](const std::string& p, const std::string& outside) { fs::create_symlink(outside + "Nothing.cpmdsk", p); }},
    {"LinkToFolder", false, [](const std::string& p, const std::string& outside) { fs::create_symlink(outside, p); }},
    {"Fifo", false, [](const std::string& p, const std::string&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
    {"Folder", false, [](const std::string& p, const std::string&) { fs::create_directory(p); }},
};

INSTANTIATE_TEST_SUITE_P(Table, ImageFile, ::testing::ValuesIn(kImageFiles), RowName);

// A short image serves the blocks it has; past its end reads fail as on a drive.
TEST_F(RemoteMount, AShortImageServesTheBlocksItHas) {
    WriteFile(Image("Short"), std::string(3000, '\x42'));  // 23 whole records
    const uint32_t id = MountId(Client, 0, "Short");
    ASSERT_NE(id, 0u);
    const auto first = Ask(Client, ReadRequest(2, id, 0, 0, 0));
    ASSERT_EQ(first.size(), 2052u);
    EXPECT_EQ(first[4], 0x42);
    EXPECT_EQ(Ask(Client, ReadRequest(3, id, 0, 0, 16)), ErrorReply(3, 4, "Read from disk failed!"));
    EXPECT_EQ(Ask(Client, WriteRequest(4, id, 0, 0, 16, BlockPattern(1))), ErrorReply(4, 8, "Write to disk failed!"));
}

// A file that cannot be written mounts as a drive takes it: read/write
// mounts are served, and their writes fail.
TEST_F(RemoteMount, AWriteProtectedImageIsServedAndRefusesWrites) {
    MakeImage(Image("Locked"), 0x42);
    TWriteProtectedFile protect(Image("Locked"));
    ASSERT_TRUE(protect.Holds());
    const uint32_t id = MountId(Client, 0, "Locked");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(Ask(Client, ReadRequest(2, id, 0, 0, 0)).at(4), 0x42);
    EXPECT_EQ(Ask(Client, WriteRequest(3, id, 0, 0, 0, BlockPattern(1))), ErrorReply(3, 8, "Write to disk failed!"));
    EXPECT_EQ(ReadFile(Image("Locked")), std::string(1048576, '\x42'));
}

}  // namespace
