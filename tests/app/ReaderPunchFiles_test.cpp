// The reader and punch files on their own: a machine, the two file panels
// with their Enable actions, the user played by scripted prompts and the
// Disk Manager's image given by the test. Files that cannot be opened and
// disk images in use are refused with a warning; each action stays checked
// exactly while its file is open, also when the machine closes the file.
// The open punch file is in use for other programs as a drive's image is.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

#include <filesystem>
#include <memory>
#include <string>

#include "WindowTestSupport.h"
#include "app/ReaderPunchFiles.h"
#include "disk/DiskDrive.h"
#include "disk/ImageRegistry.h"
#include "machine/MachinePortNumbers.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/DiskImage.h"
#include "support/ImageHeldElsewhere.h"
#include "support/MachineTestSupport.h"
#include "support/NamedRows.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"
#include "ui/DeviceFilePanels.h"

using namespace tavrin::test;

namespace {

class ReaderPunchFilesTest : public ::testing::Test {
protected:
    // As the auto-checking action does, before its handler runs.
    void ClickReader(const std::string& name) {
        InputPanel.C_InputFileNameEdit->setText(QString::fromStdString(name));
        EnableInput.toggle();
        Files->ToggleReader();
    }
    void ClickPunch(const std::string& name, bool append = false) {
        OutputPanel.C_OutputFileNameEdit->setText(QString::fromStdString(name));
        OutputPanel.C_AppendOutputFileBtn->setChecked(append);
        EnableOutput.toggle();
        Files->TogglePunch();
    }
    // The image in use, chosen by name as the reader or punch file, is
    // refused with a warning, and neither file opens nor touches it.
    void ExpectInUseRefused(bool punch, const std::string& name, const std::string& image,
                            const std::string& contents) {
        punch ? ClickPunch(name) : ClickReader(name);
        EXPECT_FALSE(Machine.ReaderOpen());
        EXPECT_FALSE(Machine.PunchOpen());
        EXPECT_FALSE((punch ? EnableOutput : EnableInput).isChecked());
        EXPECT_TRUE(ReadFile(image) == contents) << "the image is untouched";
        EXPECT_EQ(Prompts.LastText(), std::string("The ") + (punch ? "output" : "input") + " file \"" + name +
                                          "\" is a disk image in use!");
    }

    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    QAction EnableInput;
    QAction EnableOutput;
    TInputFilePanel InputPanel{Machine.Settings(), Checkable(EnableInput), Prompts};
    TOutputFilePanel OutputPanel{Checkable(EnableOutput), Prompts};
    std::string ManagerDisk;
    std::unique_ptr<TReaderPunchFiles> Files = std::make_unique<TReaderPunchFiles>(
        Machine, InputPanel, EnableInput, OutputPanel, EnableOutput, Prompts, [this] { return ManagerDisk; });
};

TEST_F(ReaderPunchFilesTest, EachActionOpensAndClosesItsFile) {
    WriteFile(Temp / "in.txt", "A");
    ClickReader(Temp / "in.txt");
    ClickPunch(Temp / "out.txt");
    EXPECT_TRUE(Machine.ReaderOpen());
    EXPECT_TRUE(Machine.PunchOpen());
    EXPECT_TRUE(EnableInput.isChecked());
    EXPECT_TRUE(EnableOutput.isChecked());
    EXPECT_EQ(InPort(Machine, MachinePort::ReaderData), 'A');

    ClickReader(Temp / "in.txt");
    ClickPunch(Temp / "out.txt");
    EXPECT_FALSE(Machine.ReaderOpen());
    EXPECT_FALSE(Machine.PunchOpen());
    EXPECT_FALSE(EnableInput.isChecked());
    EXPECT_FALSE(EnableOutput.isChecked());
    EXPECT_TRUE(Prompts.Log.empty());
}

// Append keeps what an existing file holds; otherwise it is emptied. Either
// way a missing file is created.
TEST_F(ReaderPunchFilesTest, ThePunchAppendsOrStartsAfresh) {
    for (const bool append : {true, false}) {
        SCOPED_TRACE(append);
        WriteFile(Temp / "out.txt", "abc");
        ClickPunch(Temp / "out.txt", append);
        OutPort(Machine, MachinePort::PunchData, 'd');
        ClickPunch(Temp / "out.txt", append);
        EXPECT_EQ(ReadFile(Temp / "out.txt"), append ? "abcd" : "d");
        std::filesystem::remove(Temp / "new.txt");
        ClickPunch(Temp / "new.txt", append);
        EXPECT_TRUE(std::filesystem::exists(Temp / "new.txt"));
        ClickPunch(Temp / "new.txt", append);
    }
}

struct TRefusedCase {
    const char* name;
    bool Punch;
    std::string File;  // in the temporary folder; empty: no name at all
    std::string Warning;
};
TAVRIN_PRINT_AS_NAME(TRefusedCase)

class ReaderPunchFilesRefused : public ReaderPunchFilesTest, public ::testing::WithParamInterface<TRefusedCase> {};

TEST_P(ReaderPunchFilesRefused, FilesThatCannotBeOpenedAreReportedAndLeftClosed) {
    const TRefusedCase& c = GetParam();
    const std::string name = c.File.empty() ? std::string() : Temp / c.File;
    c.Punch ? ClickPunch(name) : ClickReader(name);
    EXPECT_FALSE(Machine.ReaderOpen());
    EXPECT_FALSE(Machine.PunchOpen());
    EXPECT_FALSE(EnableInput.isChecked());
    EXPECT_FALSE(EnableOutput.isChecked());
    ASSERT_EQ(Prompts.Log.size(), 1u);
    EXPECT_EQ(Prompts.Log[0].Type, TMsgDlgType::Warning);
    EXPECT_EQ(Prompts.Log[0].Text, std::string(c.Warning).replace(c.Warning.find('@'), 1, name));
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReaderPunchFilesRefused,
    ::testing::Values(TRefusedCase{"MissingInput", false, "missing.txt", "Unable to open the input file \"@\"."},
                      TRefusedCase{"NoInputName", false, "", "Unable to open the input file \"@\"."},
                      TRefusedCase{"OutputInAMissingFolder", true, "no/such/out.txt",
                                   "Unable to open the output file \"@\"."}),
    RowName);

struct TInUseCase {
    const char* name;
    bool Punch;
    bool ManagerDisk;  // else drive C's image
    bool ByLink;       // named through a symbolic link
};
TAVRIN_PRINT_AS_NAME(TInUseCase)

class ReaderPunchFilesInUse : public ReaderPunchFilesTest, public ::testing::WithParamInterface<TInUseCase> {};

// Compared by identity: another name of the image is refused too, and the
// punch never empties it.
TEST_P(ReaderPunchFilesInUse, ADiskImageInUseIsRefused) {
    const TInUseCase& c = GetParam();
    const std::string image = Temp / "work.cpmdsk";
    const std::string contents(1 << 20, '\xE5');
    WriteFile(image, contents);
    if (c.ManagerDisk)
        ManagerDisk = image;
    else
        Machine.MountDrive(2, image);
    std::string name = image;
    if (c.ByLink) {
        name = Temp / "link.txt";
        std::filesystem::create_symlink(image, name);
    }
    ExpectInUseRefused(c.Punch, name, image, contents);
}

INSTANTIATE_TEST_SUITE_P(Images, ReaderPunchFilesInUse,
                         ::testing::Values(TInUseCase{"ReaderOnADrive", false, false, false},
                                           TInUseCase{"PunchOnADrive", true, false, false},
                                           TInUseCase{"PunchOnTheManagersDisk", true, true, false},
                                           TInUseCase{"ReaderThroughALink", false, true, true}),
                         RowName);

struct TDriveCase {
    std::string name;
    uint8_t Drive;
    bool Mounted;  // else only chosen: the drive keeps its image for the next boot
    bool Punch;
};
TAVRIN_PRINT_AS_NAME(TDriveCase)

std::vector<TDriveCase> DriveCases() {
    std::vector<TDriveCase> cases;
    for (uint8_t drive = 0; drive < 4; ++drive)
        for (const bool mounted : {true, false})
            for (const bool punch : {false, true})
                cases.push_back({std::string(punch ? "Punch" : "Reader") + "On" + char('A' + drive) +
                                     (mounted ? "Mounted" : "Chosen"),
                                 drive, mounted, punch});
    return cases;
}

class ReaderPunchFilesDrives : public ReaderPunchFilesTest, public ::testing::WithParamInterface<TDriveCase> {};

// Each of the four drives guards its image, whether it is mounted or only
// chosen for the next boot (a boot that failed leaves every drive so).
TEST_P(ReaderPunchFilesDrives, TheImageOfEveryDriveIsRefused) {
    const TDriveCase& c = GetParam();
    for (const char* hex : {"cpm22.hex", "zubios.hex"})
        WriteFile(Temp / hex, ReadFile(std::string(TAVRIN_EXAMPLES_DIR) + "/" + hex));
    const std::string image = Temp / "work.cpmdsk";
    MakeImage(image);
    Machine.MountDrive(c.Drive, image);
    if (!c.Mounted) {
        Machine.Settings().CpmSourceFile = Temp / "missing.hex";
        EXPECT_ANY_THROW(Machine.BootSystem());
    }
    ASSERT_EQ(Machine.DrivePath(c.Drive), image);
    ASSERT_EQ(Machine.DriveMounted(c.Drive), c.Mounted);
    ExpectInUseRefused(c.Punch, image, image, ReadFile(image));
}

INSTANTIATE_TEST_SUITE_P(Drives, ReaderPunchFilesDrives, ::testing::ValuesIn(DriveCases()), RowName);

// An image another running program writes is in use here too; once that
// program has gone it may be read or punched.
TEST_F(ReaderPunchFilesTest, AnImageAnotherProgramWritesIsRefused) {
    const std::string image = Temp / "other.cpmdsk";
    MakeImage(image);
    TImageHeldElsewhere other(image);
    ASSERT_TRUE(other.Holding());
    ClickReader(image);
    ClickPunch(image);
    EXPECT_FALSE(Machine.ReaderOpen());
    EXPECT_FALSE(Machine.PunchOpen());
    EXPECT_EQ(Prompts.Texts(), (std::vector<std::string>{"The input file \"" + image + "\" is a disk image in use!",
                                                         "The output file \"" + image + "\" is a disk image in use!"}));
    EXPECT_TRUE(ReadFile(image) == std::string(ImageBytes, '\xE5')) << "the punch emptied it";

    other.Kill();
    Prompts.Clear();
    ClickReader(image);
    EXPECT_TRUE(Machine.ReaderOpen()) << Prompts.LastText();
}

enum class TLetGo { ClosedOnThePage, OpenedOnAnotherFile };

struct TPunchHoldCase {
    const char* name;
    bool Append;
    std::string Punched;  // bytes the CPU punches before the other program tries
    TLetGo LetGo;
};
TAVRIN_PRINT_AS_NAME(TPunchHoldCase)

class ReaderPunchFilesHold : public ReaderPunchFilesTest, public ::testing::WithParamInterface<TPunchHoldCase> {};

// The other way round: while an image is this program's punch file, another
// program may not write it, whether the punch has written yet or not; the
// hold goes with the punch, and the punch goes on meanwhile.
TEST_P(ReaderPunchFilesHold, ThePunchHoldsItsImageForOtherProgramsUntilItLetsGo) {
    const TPunchHoldCase& c = GetParam();
    const std::string image = Temp / "punched.cpmdsk";
    const std::string next = Temp / "next.txt";
    MakeImage(image);
    const std::string before = ReadFile(image);
    ClickPunch(image, c.Append);
    ASSERT_TRUE(Machine.PunchOpen()) << Prompts.LastText();
    for (const char byte : c.Punched) OutPort(Machine, MachinePort::PunchData, static_cast<uint8_t>(byte));

    {
        TImageHeldElsewhere other(image);
        EXPECT_FALSE(other.Holding());
        EXPECT_EQ(other.Refusal(), "Disk is in use!");
    }
    EXPECT_TRUE(Machine.PunchOpen());
    EXPECT_TRUE(EnableOutput.isChecked());

    if (c.LetGo == TLetGo::ClosedOnThePage)
        ClickPunch(image);
    else
        Machine.OpenPunchFile(next, true);
    EXPECT_TRUE(TImageHeldElsewhere(image).Holding()) << "still held after the punch let go";
    if (c.LetGo == TLetGo::OpenedOnAnotherFile) {
        EXPECT_FALSE(TImageHeldElsewhere(next).Holding()) << "the hold moved with the punch";
    }
    const bool emptied = !c.Append && !c.Punched.empty();
    EXPECT_TRUE(ReadFile(image) == (emptied ? c.Punched : before + c.Punched)) << "the punch went wrong";
    EXPECT_TRUE(Prompts.Log.empty()) << Prompts.LastText();
}

INSTANTIATE_TEST_SUITE_P(Punch, ReaderPunchFilesHold,
                         ::testing::Values(TPunchHoldCase{"StartingAfreshClosed", false, "AB", TLetGo::ClosedOnThePage},
                                           TPunchHoldCase{"AppendingClosed", true, "AB", TLetGo::ClosedOnThePage},
                                           TPunchHoldCase{"NothingPunchedYetClosed", false, "",
                                                          TLetGo::ClosedOnThePage},
                                           TPunchHoldCase{"AppendingMovedOn", true, "C", TLetGo::OpenedOnAnotherFile}),
                         RowName);

// A punch opened past the Ports page's check, as another program took the
// image just after it, is refused as a drive is: nothing opened, nothing
// emptied, nothing left in use here.
TEST_F(ReaderPunchFilesTest, TheMachineDoesNotPunchAnImageAnotherProgramWrites) {
    const std::string image = Temp / "other.cpmdsk";
    MakeImage(image);
    TImageHeldElsewhere other(image);
    ASSERT_TRUE(other.Holding());
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append);
        try {
            Machine.OpenPunchFile(image, append);
            ADD_FAILURE() << "not refused";
        } catch (const EDiskError& e) {
            EXPECT_STREQ(e.what(), "Disk is in use!");
        }
        EXPECT_FALSE(Machine.PunchOpen());
        EXPECT_FALSE(TImageRegistry::Instance().IsOpen(image));
        OutPort(Machine, MachinePort::PunchData, 'x');
    }
    EXPECT_TRUE(ReadFile(image) == std::string(ImageBytes, '\xE5')) << "the punch wrote it";

    other.Kill();
    Machine.OpenPunchFile(image, true);
    EXPECT_TRUE(Machine.PunchOpen());
}

// The reader closes itself at its end, the punch after a failed write; the
// actions follow, until the files' owner has gone.
TEST_F(ReaderPunchFilesTest, FilesTheMachineClosesUncheckTheirActions) {
    WriteFile(Temp / "empty.txt", "");
    ClickReader(Temp / "empty.txt");
    ClickPunch("/dev/full");
    ASSERT_TRUE(EnableInput.isChecked() && EnableOutput.isChecked());
    InPort(Machine, MachinePort::ReaderData);
    OutPort(Machine, MachinePort::PunchData, 'x');
    EXPECT_FALSE(Machine.ReaderOpen());
    EXPECT_FALSE(Machine.PunchOpen());
    EXPECT_FALSE(EnableInput.isChecked());
    EXPECT_FALSE(EnableOutput.isChecked());

    ClickReader(Temp / "empty.txt");
    Files.reset();
    InPort(Machine, MachinePort::ReaderData);
    EXPECT_FALSE(Machine.ReaderOpen());
    EXPECT_TRUE(EnableInput.isChecked()) << "no longer the files' action";
}

}  // namespace
