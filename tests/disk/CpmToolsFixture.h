#pragma once
// A fresh image in a temporary folder beside a "diskdefs" that describes it
// to Debian's cpmtools, an independent reader and writer of the same file
// system, and helpers that run the tools on it.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "CpmTestSupport.h"

namespace tavrin::test {

struct ToolResult {
    int status = -1;
    std::string output;
};

class CpmToolsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"cpmls", "cpmcp", "cpmrm", "cpmchattr", "fsck.cpm"}) {
            const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
            ASSERT_EQ(std::system(probe.c_str()), 0)
                << tool << " (Debian package cpmtools) is needed for this test and was not found";
        }
        // cpmtools reads "diskdefs" from the working folder first.
        std::ofstream defs(Dir.File("diskdefs"));
        defs << "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
                "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n";
        Image = Dir.File("img.cpmdsk");
        MakeImage(Image);
    }

    ToolResult Run(const std::string& args) {
        const std::string cmd = "cd '" + Dir.Path().string() + "' && " + args + " 2>&1";
        ToolResult r;
        FILE* p = ::popen(cmd.c_str(), "r");
        if (p == nullptr) return r;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
        r.status = ::pclose(p);
        return r;
    }

    ToolResult Tool(const std::string& tool, const std::string& args) {
        return Run(tool + " -f cpmdsk1m -T raw " + args);
    }

    // Blocks in use as the checker counts them ("n/508 blocks"); it must
    // find nothing wrong.
    int ToolUsedBlocks() {
        const ToolResult r = Tool("fsck.cpm", "-n img.cpmdsk");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output.find("Error"), std::string::npos) << r.output;
        const size_t slash = r.output.find("/508 blocks");
        if (slash == std::string::npos) {
            ADD_FAILURE() << r.output;
            return -1;
        }
        return std::stoi(r.output.substr(r.output.find_last_not_of("0123456789", slash - 1) + 1));
    }

    // "user:NAME.EXT" -> records and attributes, from the tool's full listing.
    using Listing = std::map<std::string, std::pair<int, int>>;
    Listing ToolListing() {
        const ToolResult r = Tool("cpmls", "-F img.cpmdsk");
        EXPECT_EQ(r.status, 0) << r.output;
        Listing files;
        std::istringstream in(r.output);
        std::string line;
        int user = -1;
        const std::string heading = "Directory For Drive A:  User";
        while (std::getline(in, line)) {
            if (line.rfind(heading, 0) == 0) {
                user = std::stoi(line.substr(heading.size()));
                continue;
            }
            if (user < 0 || line.size() < 13 || line[8] != ' ' || line.find("None") == std::string::npos) continue;
            std::istringstream fields(line.substr(0, 8) + " " + line.substr(12));
            std::string name, size, recs, attrs, ext = line.substr(9, 3);
            fields >> name >> size >> recs >> attrs;
            ext.erase(ext.find_last_not_of(' ') + 1);
            int attributes = 0;
            const std::pair<char, int> bits[] = {{'R', CpmAttrReadOnly}, {'S', CpmAttrSystem}, {'A', CpmAttrArchive}};
            for (const auto& [letter, bit] : bits)
                if (attrs != "None" && attrs.find(letter) != std::string::npos) attributes |= bit;
            files[std::to_string(user) + ":" + name + (ext.empty() ? "" : "." + ext)] = {std::stoi(recs), attributes};
        }
        return files;
    }

    // Both list the same files with the same records and attributes, and
    // use the same number of blocks.
    void ExpectSameListing() {
        TCpmDiskDrive drive(Image);
        Listing ours;
        for (int i = 0; i < drive.FileList->GetCount(); ++i) {
            const TCpmDiskFileInfo* f = drive.FileList->GetItem(i);
            ours[drive.FileList->GetKey(i)] = {f->Records, f->Attributes};
        }
        EXPECT_EQ(ours, ToolListing());
        EXPECT_EQ(508 - drive.FileList->Allocation.FreeCount, ToolUsedBlocks());
    }

    void Import(const std::string& name, const std::vector<uint8_t>& data, uint8_t user, uint8_t pad) {
        TCpmDiskDrive drive(Image);
        std::istringstream in(AsString(data));
        int index;
        drive.ImportFile(name, in, static_cast<int32_t>(data.size()), index, user, pad);
    }

    std::string Export(const std::string& name, uint8_t user) {
        TCpmDiskDrive drive(Image);
        std::ostringstream out;
        drive.ExportFile(name, false, out, user);
        return out.str();
    }

    TTempFolder Dir;
    std::string Image;
};

// The data as whole records, the last one filled with pad.
inline std::vector<uint8_t> Padded(std::vector<uint8_t> v, uint8_t pad) {
    v.resize((v.size() + 127) / 128 * 128, pad);
    return v;
}

}  // namespace tavrin::test
