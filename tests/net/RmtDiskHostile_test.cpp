// Hostile requests: names that try to leave the image folder or reach
// something other than a plain image, and floods of mounts. Each gets an
// error reply; nothing outside the folder is opened or created.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "NetTestSupport.h"

using namespace nettest;
namespace req = rmtreq;
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
        auto request = req::Mount(1, 0, nameBytes);
        request[8] = length;
        return Send(request);
    }

    storetest::TempFolder Root;
    TRmtDskMod Server{Folder()};
    std::vector<std::vector<uint8_t>> Replies;
};

const std::vector<uint8_t> kBadDisk = req::Error(1, 1, "Selected disk is bad!");

struct NameCase {
    const char* name;
    std::string bytes;
};

class RefusedNames : public HostileRequests, public ::testing::WithParamInterface<NameCase> {};

TEST_P(RefusedNames, AnswerBadDiskAndTouchNothing) {
    // Targets a traversal would reach, in the parent folder and the working folder.
    MakeImage(Root.File("Outside.cpmdsk"));
    const auto before = fs::last_write_time(Root.File("Outside.cpmdsk"));
    const long rootEntries = Root.Count();
    const std::string& bytes = GetParam().bytes;
    EXPECT_EQ(MountRaw(bytes, static_cast<uint8_t>(bytes.size())), kBadDisk);
    EXPECT_EQ(Server.SessionCount(), 0u);
    EXPECT_EQ(Root.Count(), rootEntries) << "nothing created beside the folder";
    EXPECT_EQ(fs::last_write_time(Root.File("Outside.cpmdsk")), before);
    EXPECT_EQ(TImageRegistry::Instance().OpenCount(), 0u) << "nothing left open";
}

INSTANTIATE_TEST_SUITE_P(
    Names, RefusedNames,
    ::testing::Values(NameCase{"Empty", ""}, NameCase{"Traversal", "../Outside"},
                      NameCase{"DeepTraversal", "../../../../etc/passwd"}, NameCase{"Slash", "images/Good"},
                      NameCase{"Absolute", "/tmp/Good"}, NameCase{"NulInside", std::string("Good\0x", 6)},
                      NameCase{"NulAtEnd", std::string("Good\0", 5)}, NameCase{"Dot", "Good.cpmdsk"},
                      NameCase{"Space", "Go od"}, NameCase{"HighBytes", "G\xC3\xBCt"},
                      NameCase{"Backslash", "..\\Outside"}, NameCase{"Missing", "Nothing"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostileRequests, LengthBeyondTheDatagramTakesOnlyTheBytesPresent) {
    EXPECT_EQ(MountRaw("Good", 200).size(), 14u);
    EXPECT_EQ(Server.GetSession(0)->FileName, "Good.cpmdsk");
}

TEST_F(HostileRequests, NamesUpTo63CharactersAreServed) {
    const std::string name(63, 'n');
    MakeImage(Image(name));
    MakeImage(Image(name + "x"));
    EXPECT_EQ(MountRaw(name, 63).size(), 14u);
    // A longer name cannot arrive in a 72-byte mount; the session list refuses it all the same.
    EXPECT_THROW(Server.Sessions().Mount({1, 1, 1}, true, name + "x"), EDiskError);
}

struct FileCase {
    const char* name;
    std::function<void(const std::string& path, const std::string& good)> make;
};

class RefusedFiles : public HostileRequests, public ::testing::WithParamInterface<FileCase> {};

TEST_P(RefusedFiles, AnswerBadDisk) {
    GetParam().make(Image("Odd"), Image("Good"));
    EXPECT_EQ(MountRaw("Odd", 3), kBadDisk);
    EXPECT_EQ(Server.SessionCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedFiles,
    ::testing::Values(
        FileCase{"SymlinkToImage", [](const std::string& p, const std::string& good) { fs::create_symlink(good, p); }},
        FileCase{"SymlinkOutside",
                 [](const std::string& p, const std::string&) { fs::create_symlink("/etc/passwd", p); }},
        FileCase{"Fifo", [](const std::string& p, const std::string&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        FileCase{"Directory", [](const std::string& p, const std::string&) { fs::create_directory(p); }},
        FileCase{"TooSmall",
                 [](const std::string& p, const std::string&) { storetest::WriteFile(p, std::string(1048575, 0)); }},
        FileCase{"TooLarge",
                 [](const std::string& p, const std::string&) { storetest::WriteFile(p, std::string(1048704, 0)); }},
        FileCase{"Empty", [](const std::string& p, const std::string&) { storetest::WriteFile(p, ""); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostileRequests, ImagesInTheWorkingFolderAreNotServed) {
    const fs::path saved = fs::current_path();
    fs::current_path(Root.Path());
    MakeImage(Root.File("Here.cpmdsk"));
    EXPECT_EQ(MountRaw("Here", 4), kBadDisk);
    fs::current_path(saved);
}

TEST_F(HostileRequests, AFloodOfMountsIsBoundedPerAddressAndInAll) {
    for (int i = 0; i < 70; ++i) MakeImage(Image("I" + std::to_string(i)));
    const std::vector<uint8_t> tooMany = req::Error(1, 255, "Too many remote disk sessions!");
    const size_t openBefore = TImageRegistry::Instance().OpenCount();

    // One address, many ports and drives.
    for (uint16_t k = 0; k < TRmtDskSessionList::MaxSessionsPerAddress; ++k)
        EXPECT_EQ(Send(req::Mount(1, k, "I" + std::to_string(k), true), {0x0100007F, k, k}).size(), 14u);
    EXPECT_EQ(Send(req::Mount(1, 9, "I9", true), {0x0100007F, 9, 9}), tooMany);

    // Many addresses up to the bound in all.
    int image = 10;
    for (uint32_t address = 2; Server.SessionCount() < TRmtDskSessionList::MaxSessions; ++address)
        EXPECT_EQ(Send(req::Mount(1, 0, "I" + std::to_string(image++), true), {address, 1, 0}).size(), 14u);
    EXPECT_EQ(Send(req::Mount(1, 0, "I69", true), {0xFFFF, 1, 0}), tooMany);
    EXPECT_EQ(TImageRegistry::Instance().OpenCount(), openBefore + TRmtDskSessionList::MaxSessions);

    // Reads from a session still work, and an unmount makes room again.
    const TRmtDskSession* first = Server.GetSession(0);
    const uint32_t id = first->Id;
    const TRmtDskClientInfo owner = first->ClientInfo;
    EXPECT_EQ(Send(req::Read(2, id, 0, 0, 0), owner).size(), 2052u);
    EXPECT_EQ(Send(req::Session(2, 3, id, 0), owner), req::Status(3));
    EXPECT_EQ(Send(req::Mount(1, 0, "I69", true), {0xFFFF, 1, 0}).size(), 14u);
}

TEST_F(HostileRequests, RepliesNeverNameHostPaths) {
    for (const std::string name : {"../x", "Missing", "Good"}) {
        const auto reply = MountRaw(name, static_cast<uint8_t>(name.size()));
        const std::string text(reply.begin(), reply.end());
        EXPECT_EQ(text.find(Root.Path().string()), std::string::npos);
        // A mount that succeeds carries a random session id, which may hold any byte.
        if (reply.size() != rmtdsk::MountReplyLength) {
            EXPECT_EQ(text.find('/'), std::string::npos);
        }
    }
}

}  // namespace
