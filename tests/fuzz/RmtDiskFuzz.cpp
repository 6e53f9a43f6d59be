// libFuzzer target: hostile datagrams from a few clients for the remote disk
// server, over an image folder with a link, a FIFO and a short file. Every
// datagram gets no reply or one well-formed reply; nothing outside the
// folder may be opened, created or changed.
// Input: records of [client byte][length byte][datagram]. Client byte bits
// 0-1 pick the client, bit 7 turns auto unmount off. A session id n is
// replaced by the id of session n, so requests get past the session check.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/RmtDisk.h"
#include "support/FuzzSupport.h"

namespace {

namespace fs = std::filesystem;

struct World {
    fs::path root;     // private folder: images/ and one file outside it
    fs::path outside;  // a valid image a traversal would reach
    fs::file_time_type outsideTime;
    std::vector<TImageIdentity> images;  // identities the server may open
    TRmtDskMod* server = nullptr;
    std::vector<std::vector<uint8_t>> replies;
};

World* g = nullptr;
using tavrin::test::Check;

void WriteImage(const fs::path& path, size_t size) {
    std::ofstream(path, std::ios::binary);
    fs::resize_file(path, size);
}

void Setup() {
    if (g != nullptr) return;
    g = new World;
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/rmtfuzz-XXXXXX";
    Check(::mkdtemp(tmpl.data()) != nullptr);
    g->root = tmpl;
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(g->root, ec);
    });
    const fs::path images = g->root / "images";
    fs::create_directory(images);
    g->outside = g->root / "Outside.cpmdsk";
    WriteImage(g->outside, 1048576);
    g->outsideTime = fs::last_write_time(g->outside);
    for (const char* name : {"Disk.cpmdsk", "Other.cpmdsk"}) {
        WriteImage(images / name, 1048576);
        g->images.push_back(*TImageRegistry::IdentityOfPath(images / name));
    }
    fs::create_symlink(g->outside, images / "Link.cpmdsk");
    Check(::mkfifo((images / "Pipe.cpmdsk").c_str(), 0600) == 0);
    WriteImage(images / "Small.cpmdsk", 4096);
    g->server = new TRmtDskMod(images.string() + "/");
    g->server->OnReply = [](const TRmtDskClientInfo&, const uint8_t* data, size_t size) {
        g->replies.emplace_back(data, data + size);
    };
}

void CheckReply(const std::vector<uint8_t>& reply) {
    Check(reply.size() == 4 || reply.size() == 14 || reply.size() == 2052 || reply.size() == 68);
    const uint16_t code = static_cast<uint16_t>(reply[0] | reply[1] << 8);
    Check((code == 0) == (reply.size() != 68));
    if (reply.size() == 68) {
        Check(reply[4] <= 63);
        for (size_t i = 5 + reply[4]; i < 68; ++i) Check(reply[i] == 0);
        for (size_t i = 5; i < 5u + reply[4]; ++i) Check(reply[i] != '/');  // never a host path
    }
}

void CheckNothingOutside() {
    size_t allowed = 0;
    for (const auto& identity : g->images) allowed += TImageRegistry::Instance().EntriesFor(identity).size();
    Check(allowed == TImageRegistry::Instance().OpenCount());
    Check(std::distance(fs::directory_iterator(g->root), fs::directory_iterator()) == 2);
    Check(std::distance(fs::directory_iterator(g->root / "images"), fs::directory_iterator()) == 5);
    Check(fs::last_write_time(g->outside) == g->outsideTime);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Setup();
    TRmtDskMod& server = *g->server;
    size_t pos = 0;
    while (pos + 2 <= size) {
        const uint8_t clientByte = data[pos];
        const size_t length = std::min<size_t>(data[pos + 1], size - pos - 2);
        std::vector<uint8_t> datagram(data + pos + 2, data + pos + 2 + length);
        pos += 2 + length;
        // Writes need 2062 bytes: a write header shorter than that is padded.
        if (!datagram.empty() && (datagram[0] & 0x7F) == rmtdsk::CmdWrite && length == 14)
            datagram.resize(rmtdsk::WriteRequestLength, 0xA5);
        if (datagram.size() >= 8 && (datagram[0] & 0x7F) != rmtdsk::CmdMount) {
            const uint32_t index = datagram[4] | datagram[5] << 8 | datagram[6] << 16 | uint32_t(datagram[7]) << 24;
            if (const TRmtDskSession* session = server.GetSession(index)) {
                for (int k = 0; k < 4; ++k) datagram[4 + k] = static_cast<uint8_t>(session->Id >> (8 * k));
            }
        }
        server.SetAutoUnmount((clientByte & 0x80) == 0);
        const TRmtDskClientInfo client{0x0100007Fu + (clientByte & 1u), uint16_t(4000 + (clientByte >> 1 & 1)), 0};
        g->replies.clear();
        server.DispatchRequest(client, datagram.data(), datagram.size());
        const uint8_t command = datagram.empty() ? 0xFF : datagram[0] & 0x7F;
        Check(g->replies.size() == (command <= rmtdsk::CmdWrite ? 1u : 0u));
        if (!g->replies.empty()) CheckReply(g->replies[0]);
        CheckNothingOutside();
    }
    server.Sessions().Clear();
    Check(TImageRegistry::Instance().OpenCount() == 0);
    return 0;
}
