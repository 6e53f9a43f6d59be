// Hostile requests: names that try to leave the image folder or reach
// something other than a regular file, and floods of mounts. Each gets an
// error reply; no name reaches past the folder, and nothing is created.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>

#include "NetTestSupport.h"

using namespace tavrin::test;
namespace fs = std::filesystem;

namespace {

// The server's dispatcher without a socket: replies are kept for the test.
class HostileRequests : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(Root.Path() / "images");
        MakeImage(Image("Good"));
        Server.OnReply = [this](const TRmtDskClientInfo&, const uint8_t* data, size_t size) {
            Replies.emplace_back(data, data + size);
        };
    }

    std::string Folder() const { return (Root.Path() / "images").string() + "/"; }
    std::string Image(const std::string& name) const { return Folder() + name + ".cpmdsk"; }

    std::vector<uint8_t> Send(const std::vector<uint8_t>& request, TRmtDskClientInfo client = {0x0100007F, 4000, 0}) {
        Replies.clear();
        Server.DispatchRequest(client, request.data(), request.size());
        return Replies.size() == 1 ? Replies[0] : std::vector<uint8_t>{};
    }

    std::vector<uint8_t> MountRaw(const std::string& nameBytes, uint8_t length) {
        auto request = MountRequest(1, 0, nameBytes);
        request[8] = length;
        return Send(request);
    }

    TTempFolder Root;
    TRmtDskMod Server{Folder()};
    std::vector<std::vector<uint8_t>> Replies;
};

const std::vector<uint8_t> kBadDisk = ErrorReply(1, 1, "Selected disk is bad!");

TEST_F(HostileRequests, RefusedNamesAnswerBadDiskAndTouchNothing) {
    // Targets a traversal would reach, in the parent folder, which is the working folder too.
    const fs::path saved = fs::current_path();
    fs::current_path(Root.Path());
    MakeImage(Root.File("Outside.cpmdsk"));
    const auto before = fs::last_write_time(Root.File("Outside.cpmdsk"));
    const long rootEntries = Root.Count();
    const std::pair<const char*, std::string> names[] = {{"Empty", ""},
                                                         {"Traversal", "../Outside"},
                                                         {"DeepTraversal", "../../../../etc/passwd"},
                                                         {"Slash", "images/Good"},
                                                         {"Absolute", "/tmp/Good"},
                                                         {"NulInside", std::string("Good\0x", 6)},
                                                         {"NulAtEnd", std::string("Good\0", 5)},
                                                         {"Backslash", "..\\Outside"},
                                                         {"Missing", "Nothing"},
                                                         {"InWorkingFolder", "Outside"}};
    for (const auto& [row, bytes] : names)
        EXPECT_EQ(MountRaw(bytes, static_cast<uint8_t>(bytes.size())), kBadDisk) << row;
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(Root.Count(), rootEntries) << "nothing created beside the folder";
    EXPECT_EQ(fs::last_write_time(Root.File("Outside.cpmdsk")), before);
    EXPECT_EQ(TImageRegistry::Instance().OpenCount(), 0u) << "nothing left open";
    fs::current_path(saved);
}

// Names are taken as given, CP/M's included, unless they could leave the
// folder or name something other than an image there. Every refused name
// has a file it would otherwise reach.
TEST_F(HostileRequests, ImageNamesAreTakenAsGivenUnlessTheyCouldLeaveTheFolder) {
    fs::create_directory(Folder() + "sub");
    MakeImage(Folder() + "sub/Good.cpmdsk");
    MakeImage(Folder() + "Good");
    const std::pair<const char*, std::string> accepted[] = {
        {"CpmType", "WORK.1"},        {"Dollar", "A$B"},    {"SeveralDots", "a.b.c"},          {"TrailingDot", "Disk."},
        {"Extension", "Good.cpmdsk"}, {"Space", "Go od"},   {"Punctuation", "~#%&+,:;=@!"},    {"Wildcards", "A*?[]"},
        {"Utf8", "G\xC3\xBCt"},       {"Latin1", "G\xFCt"}, {"Longest", std::string(63, 'n')},
    };
    const std::pair<const char*, std::string> refused[] = {
        {"Empty", ""},
        {"Dot", "."},
        {"DotDot", ".."},
        {"Hidden", ".Good"},
        {"Slash", "sub/Good"},
        {"Backslash", "sub\\Good"},
        {"NulCutsTheExtension", std::string("Good\0", 5)},
        {"Tab", "Go\tod"},
        {"NewLine", "Good\n"},
        {"Escape", "\x1B[2J"},
        {"Delete", "Go\x7Fod"},
    };
    for (const auto& [row, name] : accepted) {
        MakeImage(Image(name));
        const auto reply = MountRaw(name, static_cast<uint8_t>(name.size()));
        ASSERT_EQ(reply.size(), 14u) << row;
        EXPECT_EQ(Server.GetSession(0)->FileName, name + ".cpmdsk") << row;
        EXPECT_EQ(Send(ReadRequest(2, Get32(reply, 4), 0, 0, 0)).size(), 2052u) << row;
    }
    Server.Sessions().Clear();
    for (const auto& [row, name] : refused) {
        if (name.find('\0') == std::string::npos && name.find('/') == std::string::npos) MakeImage(Image(name));
        EXPECT_EQ(MountRaw(name, static_cast<uint8_t>(name.size())), kBadDisk) << row;
    }
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(TImageRegistry::Instance().OpenCount(), 0u) << "nothing left open";
}

// A mount carries at most 63 name bytes; one whose length byte claims more
// takes only the bytes present. The session list itself refuses only names
// too long for a file name.
TEST_F(HostileRequests, NameLengthIsBoundByTheDatagramAndTheFileSystem) {
    EXPECT_EQ(MountRaw("Good", 200).size(), 14u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "Good.cpmdsk");
    const std::string longest(NAME_MAX - std::string(".cpmdsk").size(), 'n');
    MakeImage(Image(longest));
    EXPECT_NE(Server.Sessions().Mount({1, 1, 1}, true, longest), 0u);
    EXPECT_THROW(Server.Sessions().Mount({1, 1, 2}, true, longest + "n"), EDiskError);
}

// Only a regular file is an image; a link is followed to what it names.
TEST_F(HostileRequests, FilesOtherThanPlainImagesAnswerBadDisk) {
    const std::pair<const char*, std::function<void(const std::string&)>> files[] = {
        {"SymlinkToNothing", [this](const std::string& p) { fs::create_symlink(Image("Nothing"), p); }},
        {"SymlinkToFolder", [this](const std::string& p) { fs::create_symlink(Folder(), p); }},
        {"SymlinkToDevice", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }},
        {"Fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"Directory", [](const std::string& p) { fs::create_directory(p); }}};
    for (const auto& [row, make] : files) {
        make(Image(row));
        EXPECT_EQ(MountRaw(row, static_cast<uint8_t>(std::strlen(row))), kBadDisk) << row;
    }
    EXPECT_EQ(Server.SessionCount(), 0u);
}

// Junk is dropped on the receive thread exactly when the server would leave
// it unanswered, whatever its first byte and length.
TEST_F(HostileRequests, TheReceiveThreadDropsExactlyTheUnansweredRequests) {
    ASSERT_TRUE(Server.BaseUdpRx1.Accept);
    for (size_t size : {size_t{1}, size_t{4}, size_t{10}, size_t{14}}) {
        for (int first = 0; first < 256; ++first) {
            std::vector<uint8_t> request(size, 0);
            request[0] = static_cast<uint8_t>(first);
            const bool answered = !Send(request).empty();
            EXPECT_EQ(Server.BaseUdpRx1.Accept(request.data(), request.size()), answered)
                << "first byte " << first << ", " << size << " bytes";
        }
    }
}

TEST_F(HostileRequests, AFloodOfMountsIsBoundedPerAddressAndInAll) {
    for (int i = 0; i < 70; ++i) MakeImage(Image("I" + std::to_string(i)));
    const std::vector<uint8_t> tooMany = ErrorReply(1, 255, "Too many remote disk sessions!");
    const size_t openBefore = TImageRegistry::Instance().OpenCount();

    for (uint16_t k = 0; k < TRmtDskSessionList::MaxSessionsPerAddress; ++k)
        EXPECT_EQ(Send(MountRequest(1, k, "I" + std::to_string(k), true), {0x0100007F, k, k}).size(), 14u);
    EXPECT_EQ(Send(MountRequest(1, 9, "I9", true), {0x0100007F, 9, 9}), tooMany);

    int image = 10;
    for (uint32_t address = 2; Server.SessionCount() < TRmtDskSessionList::MaxSessions; ++address)
        EXPECT_EQ(Send(MountRequest(1, 0, "I" + std::to_string(image++), true), {address, 1, 0}).size(), 14u);
    EXPECT_EQ(Send(MountRequest(1, 0, "I69", true), {0xFFFF, 1, 0}), tooMany);
    EXPECT_EQ(TImageRegistry::Instance().OpenCount(), openBefore + TRmtDskSessionList::MaxSessions);

    // Reads from a session still work, and an unmount makes room again.
    const TRmtDskSession& first = *Server.GetSession(0);
    EXPECT_EQ(Send(ReadRequest(2, first.Id, 0, 0, 0), first.ClientInfo).size(), 2052u);
    EXPECT_EQ(Send(SessionRequest(2, 3, first.Id, 0), first.ClientInfo), StatusReply(3));
    EXPECT_EQ(Send(MountRequest(1, 0, "I69", true), {0xFFFF, 1, 0}).size(), 14u);
}

// A full table gives a new mount the place of the session idle longest once
// that one has been idle a minute; until then the mount is refused.
TEST_F(HostileRequests, AFullTableGivesANewMountThePlaceOfTheSessionIdleLongest) {
    for (int i = 0; i <= 64; ++i) MakeImage(Image("I" + std::to_string(i)));
    TRmtDskTime now{};
    Server.Sessions().Clock = [&now] { return now; };
    const auto at = [](int seconds) { return TRmtDskTime{} + std::chrono::seconds(seconds); };
    const std::vector<uint8_t> tooMany = ErrorReply(1, 255, "Too many remote disk sessions!");
    const struct {
        const char* Name;
        uint16_t Holders;
        TRmtDskClientInfo (*Holder)(uint16_t);
        TRmtDskClientInfo Newcomer;
    } cases[] = {
        {"its address is full",
         TRmtDskSessionList::MaxSessionsPerAddress,
         [](uint16_t k) {
             return TRmtDskClientInfo{7, k, k};
         },
         {7, 999, 0}},
        {"the table is full",
         TRmtDskSessionList::MaxSessions,
         [](uint16_t k) {
             return TRmtDskClientInfo{100u + k / 8u, 1, static_cast<uint16_t>(k % 8)};
         },
         {99, 1, 0}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.Name);
        Server.Sessions().Clear();
        std::vector<uint32_t> ids;
        for (uint16_t k = 0; k < row.Holders; ++k) {
            now = at(k);
            const auto reply =
                Send(MountRequest(1, row.Holder(k).ClientDisk, "I" + std::to_string(k), true), row.Holder(k));
            ASSERT_EQ(reply.size(), 14u);
            ids.push_back(Get32(reply, 4));
        }
        now = at(row.Holders);  // the first is used again: the second is idle longest now
        ASSERT_EQ(Send(ReadRequest(2, ids[0], row.Holder(0).ClientDisk, 0, 0), row.Holder(0)).size(), 2052u);

        const auto mount = MountRequest(1, row.Newcomer.ClientDisk, "I64", true);
        now = at(1) + TRmtDskSessionList::IdleBeforeReplaced - std::chrono::seconds(1);
        EXPECT_EQ(Send(mount, row.Newcomer), tooMany) << "idle for less than a minute";
        now = at(1) + TRmtDskSessionList::IdleBeforeReplaced;
        EXPECT_EQ(Send(mount, row.Newcomer).size(), 14u);
        EXPECT_EQ(Server.SessionCount(), row.Holders);
        EXPECT_EQ(Send(ReadRequest(2, ids[1], row.Holder(1).ClientDisk, 0, 0), row.Holder(1)),
                  ErrorReply(2, 1, "Session is not valid!"));
        EXPECT_EQ(Send(ReadRequest(2, ids[2], row.Holder(2).ClientDisk, 0, 0), row.Holder(2)).size(), 2052u);
    }
}

// Mounting again needs no reply, so any sender, spoofed or not, can repeat
// it: eight addresses repeating their eight mounts every 20 s hold the
// table no longer than the idle minute. Reads keep a session alive.
TEST_F(HostileRequests, RepeatedMountsKeepTheirSessionsButNotAlive) {
    MakeImage(Image("Shared"));
    TRmtDskTime now{};
    Server.Sessions().Clock = [&now] { return now; };
    const auto holder = [](uint32_t address, uint16_t disk) { return TRmtDskClientInfo{address, 1, disk}; };
    const TRmtDskClientInfo reader = holder(10, 0), newcomer{99, 1, 0};
    const auto mountAll = [&] {
        std::vector<uint32_t> ids;
        for (uint32_t address = 10; address < 18; ++address)
            for (uint16_t disk = 0; disk < 8; ++disk) {
                const auto reply = Send(MountRequest(1, disk, "Shared", true), holder(address, disk));
                ids.push_back(reply.size() == 14 ? Get32(reply, 4) : 0);
            }
        return ids;
    };
    const std::vector<uint32_t> ids = mountAll();
    ASSERT_EQ(Server.SessionCount(), TRmtDskSessionList::MaxSessions);
    const std::vector<uint8_t> tooMany = ErrorReply(1, 255, "Too many remote disk sessions!");

    std::optional<int> admittedAt;
    for (int seconds = 20; seconds <= 180; seconds += 20) {
        SCOPED_TRACE(seconds);
        now = TRmtDskTime{} + std::chrono::seconds(seconds);
        const std::vector<uint32_t> again = mountAll();
        if (!admittedAt) {
            EXPECT_EQ(again, ids) << "a repeated mount reuses its session";
            EXPECT_EQ(Server.SessionCount(), TRmtDskSessionList::MaxSessions);
        }
        EXPECT_EQ(Send(ReadRequest(2, ids[0], 0, 0, 0), reader).size(), 2052u) << "the reader keeps its session";
        if (!admittedAt) {
            const auto reply = Send(MountRequest(1, 0, "Shared", true), newcomer);
            if (reply.size() == 14)
                admittedAt = seconds;
            else
                EXPECT_EQ(reply, tooMany);
        }
    }
    EXPECT_EQ(admittedAt, 60) << "a place once the mounts have been idle a minute";
    EXPECT_EQ(Server.SessionCount(), TRmtDskSessionList::MaxSessions);
}

// A session id that could be guessed would let any host use another's
// session: two servers started together hand out neither the same nor
// neighbouring ids, nor does one server count them up.
TEST_F(HostileRequests, SessionIdsCannotBeGuessedFromAnother) {
    MakeImage(Image("Shared"));
    TRmtDskMod other{Folder()};
    std::vector<uint32_t> ids;
    for (TRmtDskMod* server : {&Server, &other})
        for (uint16_t disk = 0; disk < 8; ++disk)
            ids.push_back(server->Sessions().Mount({0x0100007F, 4000, disk}, true, "Shared"));
    for (size_t i = 0; i < ids.size(); ++i)
        for (size_t j = i + 1; j < ids.size(); ++j) {
            const uint32_t gap = ids[i] > ids[j] ? ids[i] - ids[j] : ids[j] - ids[i];
            EXPECT_GT(gap, 1u) << "ids " << i << " and " << j;
        }
}

}  // namespace
