// The Disk Manager page on real images through the scripted prompts: the
// listing's format, the enabling rules, imports, delete, rename, attributes,
// refresh and view; and its two tool windows, the attribute dialog and the
// text viewer.

#include "DiskManagerTestSupport.h"
#include "support/ImageHeldElsewhere.h"
#include "support/WriteProtectedFile.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QtTest/QTest>

using namespace tavrin::test;

namespace {

class DiskManagerPageTest : public DiskManagerFixture {
protected:
    // Every changing action on the first file is refused with message alone:
    // nothing is asked and no dialog shown before the refusal.
    void ExpectEveryChangeRefused(const std::string& message) {
        Page->ExecAttributesDialog = [](TSetAttributesDlg&) {
            ADD_FAILURE() << "the attribute dialog was shown";
            return int(QDialog::Rejected);
        };
        for (QAction* action : {Page->DM_ImportTextFileAct, Page->DM_ImportBinaryFileAct, Page->DM_DeleteFileAct,
                                Page->DM_RenameFileAct, Page->DM_SetAttributesAct}) {
            SCOPED_TRACE(action->text().toStdString());
            Prompts.Clear();
            Select({0});
            ASSERT_TRUE(Run(action));
            EXPECT_EQ(Prompts.Texts(), std::vector<std::string>{message});
            EXPECT_EQ(Prompts.Log.size(), 1u) << "nothing is asked before the refusal";
        }
    }
};

TEST_F(DiskManagerPageTest, HeaderRowsStatusAndABadImage) {
    EXPECT_EQ(Page->DiskListHeader->text(), "Usr       FileName  Attr  Recs  Exts      Size     Space");
    Put({{"a.txt", std::string(300, 'x')}});
    EXPECT_EQ(List().item(0)->text(), " 0           A.TXT  rsa     3     1       384      2048");
    EXPECT_EQ(Page->DiskSizeValue->text() + " " + Page->FreeSpaceValue->text() + " " + Page->FileNameValue->text(),
              "1,040,384 1,030,144 work");
    Prompts.FileAnswers.push_back(Dir.File("missing.cpmdsk"));
    Run(Page->DM_SelectDiskFileAct);
    EXPECT_EQ(Prompts.Log.front().File.Title, "Select CPM Disk File To View");
    EXPECT_EQ(Prompts.LastText(), "Selected disk is bad!");
    EXPECT_EQ(List().count(), 0);
    EXPECT_EQ(Page->ManagerDiskFile(), Image);
    Run(Page->DM_EjectDiskAct);
    EXPECT_EQ(Page->FreeSpaceValue->text(), "0");
    EXPECT_TRUE(Page->ManagerDiskFile().empty());
}

TEST_F(DiskManagerPageTest, ActionsFollowDiskSelectionAndMount) {
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}});
    // Initials of Import T/B, Export T/B, Delete, reName, Attributes, View, Select, Refresh, Eject, Create, Copy, Hex.
    const char* letters = "tbTBdnavsrecxh";
    const struct {
        const char* name;
        std::vector<int> selected;
        std::string enabled;
    } rows[] = {{"nothing selected", {}, "tbsrecxh"},
                {"one selected", {1}, "tbTBdnavsrecxh"},
                {"two selected", {0, 2}, "tbTBdasrecxh"},
                {"mounted in drive B", {1}, "TBvsrecxh"},
                {"no disk", {}, "sc"}};
    for (const auto& r : rows) {
        if (r.name == std::string("mounted in drive B")) Machine.MountDrive(1, Image);
        if (r.name == std::string("no disk")) Page->DM_EjectDiskAct->trigger();
        List().setCurrentRow(-1);
        if (!r.selected.empty()) Select({r.selected.front(), r.selected.back()});
        Page->UpdateActions();
        std::string enabled;
        for (size_t i = 0; i < Page->Actions().size(); ++i)
            if (Page->Actions()[i].Action->isEnabled()) enabled += letters[i];
        EXPECT_EQ(enabled, r.enabled) << r.name;
    }
}

TEST_F(DiskManagerPageTest, ImportsTakeCpmNamesAndStopAtTheFirstRefusal) {
    Put({});
    Prompts.FilesAnswers.push_back(
        std::vector<std::string>{HostFile("readme.markdown", "# hi"), HostFile("Prog.Com", "x")});
    ASSERT_TRUE(Run(Page->DM_ImportTextFileAct));
    EXPECT_EQ(Prompts.Log.front().File.Title, "Import Text Files");
    EXPECT_EQ(Names(), (std::vector<std::string>{"PROG.COM", "README.MAR"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});  // the last one imported
    EXPECT_EQ(AsString(Peek(Image, BlockOffset(4), 6)), "# hi\x1A\x1A");

    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{HostFile("big1", std::string(600000, 'b')), HostFile("big2", std::string(600000, 'c'))},
         "The files to be copied require more space then is available on the disk!"},
        {{HostFile("ok.txt", "1"), HostFile(".profile", "2")},
         "The file name \".profile\" does not make a CPM file name. No file was copied."},
        {{HostFile(".hidden", "2")}, "The file name \".hidden\" does not make a CPM file name."},
        {{HostFile("two.txt", "2"), Dir.File("readme.markdown"), HostFile("three.txt", "3")},
         "The CPM file already exists!"}};
    for (const auto& [files, message] : refusals) {
        Prompts.FilesAnswers.push_back(files);
        Run(Page->DM_ImportBinaryFileAct);
        EXPECT_EQ(Prompts.LastText(), message);
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"PROG.COM", "README.MAR", "TWO.TXT"}));
}

// However many files an import brings, the list is rebuilt once: after the
// last file, or after the first refusal when files came before it, with the
// last file imported selected.
TEST_F(DiskManagerPageTest, AnImportRebuildsTheListOnce) {
    Put({{"old.txt", "0"}});
    struct Row {
        std::vector<std::string> Files;
        int Rebuilds;
        size_t Rows;
        std::string Selected;
    };
    const Row rows[] = {
        {{HostFile("a.txt", "1"), HostFile("b.txt", "2"), HostFile("c.txt", "3"), HostFile("d.txt", "4")},
         1,
         5,
         "D.TXT"},
        {{HostFile("e.txt", "5"), HostFile("f.txt", "6"), Dir.File("old.txt"), HostFile("g.txt", "7")}, 1, 7, "F.TXT"},
        {{Dir.File("old.txt"), HostFile("h.txt", "8")}, 0, 7, "F.TXT"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Files.front());
        int rebuilds = 0;
        const auto counter = QObject::connect(List().model(), &QAbstractItemModel::modelReset, [&] { ++rebuilds; });
        Prompts.FilesAnswers.push_back(r.Files);
        Run(Page->DM_ImportBinaryFileAct);
        QObject::disconnect(counter);
        EXPECT_EQ(rebuilds, r.Rebuilds);
        EXPECT_EQ(Names().size(), r.Rows);
        ASSERT_EQ(SelectedRows().size(), 1u);
        EXPECT_EQ(Names().at(static_cast<size_t>(SelectedRows().front())), r.Selected);
    }
}

TEST_F(DiskManagerPageTest, DeleteAndRenameAskAndKeepASelectionInRange) {
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}, {"d.txt", "4"}});
    Select({3});
    Prompts.DialogAnswers = {mrCancel, mrOk};
    Run(Page->DM_DeleteFileAct);
    Run(Page->DM_DeleteFileAct);
    EXPECT_EQ(Prompts.Texts(), std::vector<std::string>(2, "Delete File \"D.TXT\"?"));
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});  // the new last row
    Select({0, 2});
    Prompts.DialogAnswers = {mrOk};
    Run(Page->DM_DeleteFileAct);
    EXPECT_EQ(Prompts.LastText(), "Delete the 2 selected files from the disk?");
    EXPECT_EQ(Names(), std::vector<std::string>{"B.TXT"});

    Put({{"a.txt", "1"}});
    // The selected row counts, not the cursor's unselected one.
    List().clearSelection();
    List().item(1)->setSelected(true);
    List().setCurrentRow(0, QItemSelectionModel::NoUpdate);
    Prompts.InputAnswers = {"zed.doc"};
    ASSERT_TRUE(Run(Page->DM_RenameFileAct));
    EXPECT_EQ(Prompts.Log.back().File.Title, "Rename File");
    EXPECT_EQ(Prompts.Log.back().Text, "Old File Name: B.TXT");
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.TXT", "ZED.DOC"}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
}

TEST_F(DiskManagerPageTest, AttributesOfSeveralFilesKeepGrayedBitsAndMoveUsers) {
    Put({{"a.txt", "1"}, {"b.txt", "2"}, {"c.txt", "3"}});
    Select({0});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        EXPECT_EQ(d.Label2->text(), "A.TXT");
        d.ReadFile->setChecked(true);
        return int(QDialog::Accepted);
    };
    Run(Page->DM_SetAttributesAct);
    Select({0, 1});
    Page->ExecAttributesDialog = [](TSetAttributesDlg& d) {
        EXPECT_EQ(d.Label2->text(), "(2 files selected)");
        EXPECT_EQ(d.ReadFile->checkState(), Qt::PartiallyChecked);
        d.SysFile->setChecked(true);
        d.UserAreaList->setCurrentIndex(d.UserAreaList->findData(3));
        return int(QDialog::Accepted);
    };
    Run(Page->DM_SetAttributesAct);
    const TCpmDiskFileInfoList& list = *Page->ManagerFileList();
    EXPECT_EQ(list.GetKey(1) + list.GetKey(2), "3:A.TXT3:B.TXT");
    EXPECT_EQ(list.GetItem(1)->Attributes, CpmAttrReadOnly | CpmAttrSystem);
    EXPECT_EQ(list.GetItem(2)->Attributes, CpmAttrSystem);
    EXPECT_EQ(SelectedRows(), (std::vector<int>{1, 2}));
    // Refresh finds the current file again by name and user.
    Select({2});
    Run(Page->DM_RefreshDisplayAct);
    EXPECT_EQ(SelectedRows(), std::vector<int>{2});
}

// The dialog's last user area is a move like any other, and so is the way
// back to the first.
TEST_F(DiskManagerPageTest, AttributesMoveAFileToTheLastUserAreaAndBack) {
    Put({{"a.txt", "1"}});
    for (const int user : {int(CpmMaxUser), 0}) {
        Select({0});
        Page->ExecAttributesDialog = [user](TSetAttributesDlg& d) {
            d.UserAreaList->setCurrentIndex(d.UserAreaList->findData(user));
            return int(QDialog::Accepted);
        };
        Run(Page->DM_SetAttributesAct);
        const TCpmDiskFileInfoList& list = *Page->ManagerFileList();
        ASSERT_EQ(list.GetCount(), 1);
        EXPECT_EQ(list.GetKey(0), std::to_string(user) + ":A.TXT");
    }
}

// An image the page can only read (on a read-only medium) is listed and
// exported; every change is refused with a clear message before anything
// is asked, and the image keeps its bytes.
TEST_F(DiskManagerPageTest, AnImageThatCannotBeWrittenIsListedAndExportedButNotChanged) {
    Put({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    const std::string image = ReadFile(Image);
    Run(Page->DM_EjectDiskAct);
    tavrin::test::TWriteProtectedFile protect(Image);
    ASSERT_TRUE(protect.Holds());
    Prompts.FileAnswers.push_back(Image);
    Run(Page->DM_SelectDiskFileAct);
    ASSERT_NE(Page->ManagerFileList(), nullptr) << Prompts.LastText();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    Select({1});
    Prompts.FileAnswers.push_back(Dir.File("b.out"));
    ASSERT_TRUE(Run(Page->DM_ExportBinaryFileAct));
    EXPECT_EQ(ReadFile(Dir.File("b.out")), "beta" + std::string(124, '\0'));

    ExpectEveryChangeRefused("The disk image is read-only and can not be changed!");
    EXPECT_EQ(ReadFile(Image), image);
}

// An image another running program writes (a second copy of this program
// with it in a drive) is listed, viewed and exported; every change is
// refused before anything is asked, until that program has gone.
TEST_F(DiskManagerPageTest, AnImageAnotherProgramWritesIsListedAndExportedButNotChanged) {
    Put({{"a.txt", "alpha\x1A"}, {"b.txt", "beta"}});
    const std::string image = ReadFile(Image);
    Run(Page->DM_EjectDiskAct);
    TImageHeldElsewhere other(Image);
    ASSERT_TRUE(other.Holding());
    Prompts.FileAnswers.push_back(Image);
    Run(Page->DM_SelectDiskFileAct);
    ASSERT_NE(Page->ManagerFileList(), nullptr) << Prompts.LastText();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    Select({0});
    ASSERT_TRUE(Run(Page->DM_ViewFileAct));
    EXPECT_EQ(Viewer.TextViewer->toPlainText(), "alpha");
    Select({1});
    Prompts.FileAnswers.push_back(Dir.File("b.out"));
    ASSERT_TRUE(Run(Page->DM_ExportBinaryFileAct));
    EXPECT_EQ(ReadFile(Dir.File("b.out")), "beta" + std::string(124, '\0'));
    EXPECT_TRUE(Prompts.Texts().empty()) << Prompts.LastText();

    ExpectEveryChangeRefused("Disk is in use!");
    EXPECT_TRUE(ReadFile(Image) == image) << "the image changed";

    other.Kill();
    Prompts.Clear();
    Prompts.DialogAnswers = {mrOk};
    Select({0});
    Run(Page->DM_DeleteFileAct);
    EXPECT_EQ(Names(), std::vector<std::string>{"B.TXT"}) << Prompts.LastText();
}

TEST_F(DiskManagerPageTest, DoubleClickViewsTheTextUpToItsEnd) {
    Put({{"notes.txt", std::string("line one\r\nline two\r\n\x1A tail")}});
    Select({0});
    Page->DiskFileListDblClick();
    EXPECT_EQ(Viewer.TextViewer->toPlainText(), "line one\nline two\n");
    EXPECT_TRUE(Viewer.isVisible());
}

TEST_F(DiskManagerPageTest, AttributeBoxesFollowTheArgumentsAndAGrayedBoxCycles) {
    TSetAttributesDlg& d = Attributes;
    const auto boxes = [&] {
        std::string s;
        for (QCheckBox* b : {d.ReadFile, d.SysFile, d.ArcFile}) s += "-?x"[b->checkState()];
        return s;
    };
    const auto read = [&] {
        uint8_t attributes = 0, unchanged = 0;
        d.GetAttributes(attributes, unchanged);
        return std::to_string(attributes) + "/" + std::to_string(unchanged);
    };
    // Boxes read-only, system, archive ('?' grayed), the user row, and what the dialog gives back.
    const struct {
        uint8_t attributes, unchanged, user;
        bool multi;
        std::string expected;
    } rows[] = {{5, 7, 3, false, "x-x 4 5/0"},  // one file: never grayed
                {1, 2, 0, true, "x?- 1 1/2"},
                {0, 7, 15, true, "??? 16 0/7"},
                {0, 0, 200, false, "--- 0 0/0"}};  // an unknown user is "No Change"
    for (const auto& r : rows) {
        d.SetAttributes(r.attributes, r.unchanged, r.user, r.multi);
        EXPECT_EQ(boxes() + " " + std::to_string(d.UserAreaList->currentIndex()) + " " + read(), r.expected);
    }
    EXPECT_EQ(d.UserAreaList->itemText(0) + d.UserAreaList->itemText(16), "No ChangeUser 15");
    EXPECT_EQ(d.GetUserArea(), 255);
    d.SetAttributes(0, CpmAttrSystem, 0, true);
    std::string seen;
    for (int i = 0; i < 4; ++i) {
        d.SysFile->click();
        seen += read() + " ";
    }
    EXPECT_EQ(seen, "0/0 2/0 0/2 0/0 ");  // unchecked, checked, grayed, unchecked
    d.ReadFile->click();
    d.ReadFile->click();
    EXPECT_EQ(boxes()[0], '-');  // never grayed when it was not
}

// The viewer searches on from the last match with its options.
TEST_F(DiskManagerPageTest, ViewerSearchesOnAndFindNextNeedsAPhrase) {
    Viewer.LoadText("The cat sat.\r\nA Cat and a category.\r\n");
    const auto matches = [&](bool matchCase, bool wholeWord) {
        Viewer.TextViewer->moveCursor(QTextCursor::Start);
        std::string starts;
        while (Viewer.FindPhrase("cat", matchCase, wholeWord))
            starts += std::to_string(Viewer.TextViewer->textCursor().selectionStart()) + " ";
        return starts;
    };
    EXPECT_EQ(matches(false, false), "4 15 25 ");
    EXPECT_EQ(Prompts.LastText(), "Unable to find search phrase \"cat\".");
    EXPECT_EQ(Prompts.Log.back().Type, TMsgDlgType::Information);
    EXPECT_EQ(Viewer.TextViewer->textCursor().selectedText(), "cat");  // stays on the last match
    EXPECT_EQ(matches(true, false) + "| " + matches(false, true) + "| " + matches(true, true), "4 25 | 4 15 | 4 ");

    Prompts.Clear();
    Viewer.FindTextEdit->setText("   ");
    EXPECT_FALSE(Viewer.FindNextAct->isEnabled());
    Viewer.FindNextActExecute();
    EXPECT_TRUE(Prompts.Log.empty());
    Viewer.TextViewer->moveCursor(QTextCursor::Start);
    Viewer.FindTextEdit->setText("Cat");
    Viewer.MatchCaseBtn->setChecked(true);
    QTest::keyClick(Viewer.FindTextEdit, Qt::Key_Return);
    EXPECT_EQ(Viewer.TextViewer->textCursor().selectionStart(), 15);
    EXPECT_EQ(Viewer.LineValue->text() + "," + Viewer.ColumnValue->text(), "2,3");
    QTest::keyClicks(Viewer.TextViewer, "xyz");
    QTest::keyClick(Viewer.TextViewer, Qt::Key_Delete);
    EXPECT_EQ(Viewer.TextViewer->toPlainText(), "The cat sat.\nA Cat and a category.\n");
}

// The viewer opens centred on the main window (kept on the screen when the
// main window hangs over its edge); a later show keeps where it was moved.
TEST(TextViewerPlacementTest, OpensCentredOnTheMainWindow) {
    tavrin::test::QtTestApp();
    for (const QRect& mainRect : {QRect(40, 30, 700, 500), QRect(200, 150, 560, 420), QRect(600, 450, 400, 300)}) {
        SCOPED_TRACE(mainRect.x());
        QWidget main;
        main.setGeometry(mainRect);
        main.show();
        TScriptedUiPrompts prompts;
        TTextViewer viewer(prompts, &main);
        viewer.show();
        QApplication::processEvents();
        const QRect free = main.screen()->availableGeometry();
        const QRect placed = viewer.frameGeometry();
        EXPECT_TRUE(free.contains(placed)) << placed.x() << "," << placed.y();
        if (free.contains(main.frameGeometry())) {
            const QPoint offset = placed.center() - main.frameGeometry().center();
            EXPECT_LE(offset.manhattanLength(), 1) << offset.x() << "," << offset.y();
        }
        viewer.hide();
        viewer.move(free.topLeft() + QPoint(5, 7));
        viewer.show();
        QApplication::processEvents();
        EXPECT_EQ(viewer.pos(), free.topLeft() + QPoint(5, 7));
    }
}

}  // namespace
