// Debian's cpmtools agree with what the Disk Manager page did: imports,
// deletes, renames, attributes and user areas pass its checker and list
// alike; files it put on an image show on the page and export alike.

#include "DiskManagerTestSupport.h"

#include <QAction>
#include <QComboBox>

#include <array>
#include <cstdio>
#include <map>
#include <sstream>

using namespace cpmtest;
using dmtest::DiskManagerFixture;

namespace {

struct ListedFile {
    int records = 0;
    uint8_t attributes = 0;
    bool operator==(const ListedFile&) const = default;
};
using Listing = std::map<std::string, ListedFile>;  // "user:NAME.EXT"

class DiskManagerCpmTools : public DiskManagerFixture {
protected:
    void SetUp() override
    {
        ASSERT_EQ(std::system("command -v cpmls >/dev/null 2>&1 && command -v fsck.cpm >/dev/null 2>&1"), 0)
            << "cpmtools (Debian package) is needed for this test";
        storetest::WriteFile(Dir.File("diskdefs"),
                             "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
                             "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n");
    }

    std::string Tool(const std::string& command, int* status = nullptr)
    {
        const std::string cmd = "cd '" + Dir.Path().string() + "' && " + command + " 2>&1";
        std::string output;
        FILE* p = ::popen(cmd.c_str(), "r");
        std::array<char, 4096> buf;
        size_t n;
        while (p && (n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            output.append(buf.data(), n);
        const int rc = p ? ::pclose(p) : -1;
        if (status)
            *status = rc;
        return output;
    }
    std::string Cpm(const std::string& tool, const std::string& args, int* status = nullptr)
    {
        return Tool(tool + " -f cpmdsk1m -T raw " + args, status);
    }

    void ExpectClean()
    {
        int status = -1;
        const std::string out = Cpm("fsck.cpm", "-n work.cpmdsk", &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out.find("Error"), std::string::npos) << out;
    }

    // cpmls -F: a heading per user area, then "NAME     EXT  size  recs  attrs  prot".
    Listing ToolListing()
    {
        Listing files;
        std::istringstream in(Cpm("cpmls", "-F work.cpmdsk"));
        const std::string heading = "Directory For Drive A:  User";
        std::string line;
        int user = -1;
        while (std::getline(in, line)) {
            if (line.rfind(heading, 0) == 0) {
                user = std::stoi(line.substr(heading.size()));
                continue;
            }
            if (user < 0 || line.size() < 13 || line[8] != ' ' || line.find("None") == std::string::npos)
                continue;
            auto trim = [](std::string s) { return s.erase(s.find_last_not_of(' ') + 1); };
            const std::string name = trim(line.substr(0, 8)), ext = trim(line.substr(9, 3));
            // The attribute letters stand in columns of their own ("R A").
            std::istringstream rest(line.substr(12, line.find("None") - 12));
            std::string size, recs, attrs;
            rest >> size >> recs;
            std::getline(rest, attrs);
            ListedFile f{std::stoi(recs), 0};
            const std::pair<char, uint8_t> bits[] = {{'R', CpmAttrReadOnly}, {'S', CpmAttrSystem}, {'A', CpmAttrArchive}};
            for (const auto& [letter, bit] : bits)
                if (attrs.find(letter) != std::string::npos)
                    f.attributes |= bit;
            files[std::to_string(user) + ":" + name + (ext.empty() ? "" : "." + ext)] = f;
        }
        return files;
    }

    Listing PageListing()
    {
        Listing files;
        const TCpmDiskFileInfoList& list = *Page->ManagerFileList();
        for (int i = 0; i < list.GetCount(); ++i)
            files[list.GetKey(i)] = {list.GetItem(i)->Records, list.GetItem(i)->Attributes};
        return files;
    }

    int RowOf(const std::string& name, uint8_t user)
    {
        for (int i = 0; i < Page->ManagerFileList()->GetCount(); ++i)
            if (Page->ManagerFileList()->GetItem(i)->FileName == name && Page->ManagerFileList()->GetItem(i)->User == user)
                return i;
        return -1;
    }
};

TEST_F(DiskManagerCpmTools, WhatThePageDidChecksAndListsAlike)
{
    Open();
    const std::vector<std::pair<std::string, std::string>> files = {
        {"keep.txt", AsString(Pattern(300, 1))},   {"big.bin", AsString(Pattern(40000, 2))},
        {"edge.bin", AsString(Pattern(16384, 3))}, {"gone.tmp", AsString(Pattern(9000, 4))},
        {"old.nam", AsString(Pattern(2048, 5))},   {"move.me", AsString(Pattern(5000, 6))}};
    Put(files);
    Page->ImportTextFiles({HostFile("notes.markdown", "text\r\n")});
    ASSERT_EQ(Page->ManagerFileList()->GetCount(), 7);

    Select({RowOf("GONE.TMP", 0)});
    Prompts.DialogAnswers.push_back(mrOk);
    ASSERT_TRUE(Run(Page->DM_DeleteFileAct));
    Select({RowOf("OLD.NAM", 0)});
    Prompts.InputAnswers.push_back("new.nam");
    ASSERT_TRUE(Run(Page->DM_RenameFileAct));
    Select({RowOf("KEEP.TXT", 0)});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        d.ReadFile->setChecked(true);
        d.SysFile->setChecked(true);
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(Run(Page->DM_SetAttributesAct));
    Select({RowOf("BIG.BIN", 0), RowOf("MOVE.ME", 0)});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        d.ArcFile->setChecked(true);
        d.UserAreaList->setCurrentIndex(d.UserAreaList->findData(9));
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(Run(Page->DM_SetAttributesAct));
    EXPECT_EQ(Prompts.Texts().size(), 1u) << Prompts.LastText();  // the delete question

    ExpectClean();
    EXPECT_EQ(ToolListing(), PageListing());
    EXPECT_EQ(PageListing().count("0:NOTES.MAR"), 1u);
    EXPECT_EQ(PageListing().count("9:BIG.BIN"), 1u);

    // Their copies out match the host files the page read.
    Cpm("cpmcp", "work.cpmdsk 9:big.bin 0:new.nam 0:edge.bin .");
    EXPECT_EQ(storetest::ReadFile(Dir.File("big.bin")).substr(0, 40000), files[1].second);
    EXPECT_EQ(storetest::ReadFile(Dir.File("edge.bin")), files[2].second);
    EXPECT_EQ(storetest::ReadFile(Dir.File("new.nam")), files[4].second);
}

TEST_F(DiskManagerCpmTools, FilesTheToolsPutShowOnThePageAndExportAlike)
{
    const std::string a = HostFile("alpha.txt", AsString(Pattern(3000, 7)));
    const std::string b = HostFile("beta.dat", AsString(Pattern(33000, 8)));
    int status = -1;
    Cpm("cpmcp", "work.cpmdsk alpha.txt 0:alpha.txt", &status);
    ASSERT_EQ(status, 0);
    Cpm("cpmcp", "work.cpmdsk beta.dat 4:beta.dat", &status);
    ASSERT_EQ(status, 0);
    Cpm("cpmchattr", "work.cpmdsk ra 4:beta.dat", &status);
    ASSERT_EQ(status, 0);

    Open();
    EXPECT_EQ(PageListing(), ToolListing());
    const int row = RowOf("BETA.DAT", 4);
    ASSERT_GE(row, 0);
    EXPECT_EQ(Row(row).substr(0, 23), " 4        BETA.DAT  RsA");
    const std::string out = Dir.File("out");
    Select({RowOf("ALPHA.TXT", 0), row});
    Prompts.FolderAnswers.push_back(out);
    ASSERT_TRUE(Run(Page->DM_ExportBinaryFileAct));
    EXPECT_EQ(storetest::ReadFile(out + "/ALPHA.TXT").substr(0, 3000), storetest::ReadFile(a));
    EXPECT_EQ(storetest::ReadFile(out + "/BETA.DAT").substr(0, 33000), storetest::ReadFile(b));
}

}  // namespace
