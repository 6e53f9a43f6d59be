// Debian's cpmtools agree with what the Disk Manager page did: imports,
// deletes, renames, attributes and user areas pass its checker and list
// alike; files they put on the image show on the page and export alike;
// text copies convert line ends as cpmcp -t does.

#include "DiskManagerTestSupport.h"

#include <QComboBox>

#include "disk/DiskManagerFiles.h"

#include <map>
#include <sstream>

using namespace tavrin::test;

namespace {

// "user:NAME.EXT" -> records and attribute bits.
using Listing = std::map<std::string, std::pair<int, int>>;

class DiskManagerCpmTools : public DiskManagerFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system("command -v cpmls >/dev/null && command -v fsck.cpm >/dev/null"), 0)
            << "cpmtools (Debian package) is needed for this test";
        HostFile("diskdefs",
                 "diskdef cpmdsk1m\n  seclen 128\n  tracks 256\n  sectrk 32\n  blocksize 2048\n"
                 "  maxdir 256\n  skew 0\n  boottrk 2\n  os 2.2\nend\n");
    }
    // Output of a tool on the image; empty unless it succeeded.
    std::string Cpm(const std::string& tool, const std::string& args) {
        const std::string out = Dir.File("tool.out");
        const std::string cmd =
            "cd '" + Dir.Path().string() + "' && " + tool + " -f cpmdsk1m -T raw " + args + " >'" + out + "' 2>&1";
        const int status = std::system(cmd.c_str());
        const std::string text = ReadFile(out);
        std::remove(out.c_str());
        EXPECT_EQ(status, 0) << cmd << "\n" << text;
        return status == 0 ? text : std::string();
    }
    // cpmls -F: a heading per user area, then name, type, size, records and
    // the attribute letters in columns of their own ("R A"), then "None".
    Listing ToolListing() {
        Listing files;
        std::istringstream in(Cpm("cpmls", "-F work.cpmdsk"));
        std::string line, user;
        while (std::getline(in, line)) {
            if (line.rfind("Directory For Drive A:  User", 0) == 0) user = std::to_string(std::stoi(line.substr(28)));
            if (line.size() < 13 || line[8] != ' ' || line.find("None") == std::string::npos) continue;
            std::istringstream rest(line.substr(12, line.find("None") - 12));
            std::string size, attrs, name = line.substr(0, 8), ext = line.substr(9, 3);
            int recs = 0;
            rest >> size >> recs;
            std::getline(rest, attrs);
            int bits = 0;
            for (int b = 0; b < 3; ++b) bits |= attrs.find("RSA"[b]) != std::string::npos ? 1 << b : 0;
            name.erase(name.find_last_not_of(' ') + 1);
            ext.erase(ext.find_last_not_of(' ') + 1);
            files[user + ":" + name + (ext.empty() ? "" : "." + ext)] = {recs, bits};
        }
        return files;
    }
    Listing PageListing() {
        Listing files;
        const TCpmDiskFileInfoList& list = *Page->ManagerFileList();
        for (int i = 0; i < list.GetCount(); ++i)
            files[list.GetKey(i)] = {list.GetItem(i)->Records, list.GetItem(i)->Attributes};
        return files;
    }
    int RowOf(const std::string& key) { return Page->ManagerFileList()->IndexOf(key); }
};

// The tools put two files on the image, then the page imports, deletes,
// renames and sets attributes and user areas beside them.
TEST_F(DiskManagerCpmTools, WhatThePageAndTheToolsDidChecksListsAndExportsAlike) {
    const std::string alpha = HostFile("alpha.txt", AsString(CpmFilePattern(3000, 7)));
    const std::string beta = HostFile("beta.dat", AsString(CpmFilePattern(33000, 8)));
    Cpm("cpmcp", "work.cpmdsk alpha.txt 0:alpha.txt");
    Cpm("cpmcp", "work.cpmdsk beta.dat 4:beta.dat");
    Cpm("cpmchattr", "work.cpmdsk ra 4:beta.dat");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"keep.txt", AsString(CpmFilePattern(300, 1))},   {"big.bin", AsString(CpmFilePattern(40000, 2))},
        {"edge.bin", AsString(CpmFilePattern(16384, 3))}, {"gone.tmp", AsString(CpmFilePattern(9000, 4))},
        {"old.nam", AsString(CpmFilePattern(2048, 5))},   {"move.me", AsString(CpmFilePattern(5000, 6))}};
    Put(files);
    EXPECT_EQ(List().item(RowOf("4:BETA.DAT"))->text().toStdString().substr(0, 23), " 4        BETA.DAT  RsA");
    Page->ImportTextFiles({HostFile("notes.markdown", "text\r\n")});
    Select({RowOf("0:GONE.TMP")});
    Prompts.DialogAnswers = {mrOk};
    Run(Page->DM_DeleteFileAct);
    Select({RowOf("0:OLD.NAM")});
    Prompts.InputAnswers = {"new.nam"};
    Run(Page->DM_RenameFileAct);
    Select({RowOf("0:KEEP.TXT")});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        d.ReadFile->setChecked(true);
        d.SysFile->setChecked(true);
        return int(QDialog::Accepted);
    };
    Run(Page->DM_SetAttributesAct);
    Select({RowOf("0:BIG.BIN"), RowOf("0:MOVE.ME")});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        d.ArcFile->setChecked(true);
        d.UserAreaList->setCurrentIndex(d.UserAreaList->findData(9));
        return int(QDialog::Accepted);
    };
    Run(Page->DM_SetAttributesAct);
    EXPECT_EQ(Prompts.Texts().size(), 1u) << Prompts.LastText();  // the delete question

    const std::string check = Cpm("fsck.cpm", "-n work.cpmdsk");
    EXPECT_EQ(check.find("Error"), std::string::npos) << check;
    const Listing listing = PageListing();
    EXPECT_EQ(ToolListing(), listing);
    EXPECT_EQ(listing.count("0:NOTES.MAR") + listing.count("9:BIG.BIN") + listing.count("0:NEW.NAM"), 3u);
    EXPECT_EQ(listing.at("0:KEEP.TXT").second, CpmAttrReadOnly | CpmAttrSystem);
    Cpm("cpmcp", "work.cpmdsk 9:big.bin 0:edge.bin .");
    EXPECT_EQ(ReadFile(Dir.File("big.bin")).substr(0, 40000), files[1].second);
    EXPECT_EQ(ReadFile(Dir.File("edge.bin")), files[2].second);
    Select({RowOf("0:ALPHA.TXT"), RowOf("4:BETA.DAT")});
    Prompts.FolderAnswers = {Dir.File("out")};
    Run(Page->DM_ExportBinaryFileAct);
    EXPECT_EQ(ReadFile(Dir.File("out/ALPHA.TXT")).substr(0, 3000), ReadFile(alpha));
    EXPECT_EQ(ReadFile(Dir.File("out/BETA.DAT")).substr(0, 33000), ReadFile(beta));
}

// Text imports put on the image what cpmcp -t puts there: each LF becomes
// CR LF, a lone CR and a 1Ah inside stay, and a 1Ah follows the text (in a
// record of its own when the text fills its last one). Past that 1Ah the
// tool pads with 00h, the page with 1Ah. A file with CR LF line ends, or
// mixed ones, goes on as the same text with LF ends does (where cpmcp -t
// would double the CR).
TEST_F(DiskManagerCpmTools, TextImportsPutWhatCpmcpTextPuts) {
    const std::vector<std::vector<std::string>> rows = {
        {"a\nb\n", "a\r\nb\r\n", "a\r\nb\n"},
        {""},
        {"no line end"},
        {"\n\nx\n", "\r\n\r\nx\r\n"},
        {"a\rb\r"},
        {"a\x1A"
         "b\n"},
        {std::string(126, 'x') + "\n", std::string(126, 'x') + "\r\n"},
        {std::string(127, 'y') + "\n"},
        {std::string(300, 'z') + "\nend\n", std::string(300, 'z') + "\r\nend\n"}};
    for (const auto& forms : rows) {
        SCOPED_TRACE(forms.front().substr(0, 8));
        HostFile("t.txt", forms.front());
        MakeImage(Dir.File("tool.cpmdsk"));
        Cpm("cpmcp", "-t tool.cpmdsk t.txt 0:t.txt");
        Cpm("cpmcp", "tool.cpmdsk 0:t.txt tool.bin");
        std::string expected = ReadFile(Dir.File("tool.bin"));
        expected.erase(expected.find_last_not_of('\0') + 1);
        expected.resize((expected.size() + 127) / 128 * 128, '\x1A');
        for (const std::string& text : forms) {
            MakeImage(Image);
            Page->OpenManagerDisk(Image);
            Page->ImportTextFiles({HostFile("t.txt", text)});
            EXPECT_EQ(ReadCpmFile(Image, "T.TXT", false, 0), expected) << text.substr(0, 8);
        }
    }
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();
}

// Text exports write what cpmcp -t writes: the bytes before the first 1Ah,
// with CR LF as LF, also where the pair spans two records.
TEST_F(DiskManagerCpmTools, TextExportsWriteWhatCpmcpTextWrites) {
    const std::string rows[] = {"a\r\nb\r\n\x1A",
                                "ab\x1A"
                                "cd\r\n",
                                "a\nb\x1A",
                                std::string(127, 'x') + "\r\ny\x1A",
                                "\r\n\r\n\x1A",
                                std::string(128, 'f')};
    for (const std::string& data : rows) {
        SCOPED_TRACE(data.substr(0, 8));
        MakeImage(Image);
        Put({{"d.txt", data}});
        ExportCpmFile(Image, "D.TXT", Dir.File("page.txt"), true, 0);
        Cpm("cpmcp", "-t work.cpmdsk 0:d.txt tool.txt");
        EXPECT_EQ(ReadFile(Dir.File("page.txt")), ReadFile(Dir.File("tool.txt")));
    }
}

// A lone CR is text too: it is exported with the byte after it, also at the
// end and across records (cpmcp -t drops the byte that follows a lone CR and
// a CR at the end).
TEST_F(DiskManagerCpmTools, TextExportsKeepLoneCrs) {
    const std::pair<std::string, std::string> rows[] = {
        {"a\rb\x1A", "a\rb"},
        {"ab\r\x1A", "ab\r"},
        {std::string(127, 'x') + "\ry\x1A", std::string(127, 'x') + "\ry"},
        {"\r\r\nz\x1A", "\r\nz"}};
    for (const auto& [data, expected] : rows) {
        SCOPED_TRACE(data.substr(0, 8));
        MakeImage(Image);
        Put({{"d.txt", data}});
        ExportCpmFile(Image, "D.TXT", Dir.File("page.txt"), true, 0);
        EXPECT_EQ(ReadFile(Dir.File("page.txt")), expected);
    }
}

}  // namespace
