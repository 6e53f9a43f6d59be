// Host paths whose bytes are not valid UTF-8 keep every byte on their way
// through the settings file, the Disks page's edit boxes and the dialogs.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QLineEdit>

#include "disk/DiskDrive.h"
#include "support/NamedRows.h"
#include "platform/ProgramFolder.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

// "café" in Latin-1, as an older system or a copied disk may have named it.
const std::string Latin1Name = "caf\xE9.hex";

struct TPathRoute {
    const char* name;
    // Puts the name into the window and returns the path the machine uses.
    std::function<std::string(TWindowHarness& h, TMainHalvoret& w)> Enter;
};

TAVRIN_PRINT_AS_NAME(TPathRoute)

class PathBytesTest : public ::testing::TestWithParam<TPathRoute> {};

TEST_P(PathBytesTest, SurviveTheRoundTripToTheSettingsFile)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    EXPECT_EQ(GetParam().Enter(h, w), Latin1Name);
    ASSERT_TRUE(w.close());
    TNrKeyValueSections saved;
    ASSERT_TRUE(saved.LoadFromFile(w.SettingsFileName()));
    EXPECT_EQ(saved.ReadString("DISKS", "CpmSourceFile", ""), Latin1Name);
    EXPECT_NE(ReadFile(w.SettingsFileName()).find("CpmSourceFile=" + Latin1Name + "\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, PathBytesTest,
    ::testing::Values(TPathRoute{"SettingsFile",
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     TNrKeyValueSections store;
                                     store.WriteString("DISKS", "CpmSourceFile", Latin1Name);
                                     store.SaveToFile(h.Temp.Folder() + ProgramName() + ".config");
                                     w.FormActivate();
                                     return w.Machine().Settings.CpmSourceFile;
                                 }},
                      TPathRoute{"EditedAround",
                                 [](TWindowHarness& h, TMainHalvoret& w) {
                                     h.Prompts.FileAnswers = {"x" + Latin1Name};
                                     w.CPMSelectImageNameAct->trigger();
                                     QLineEdit& edit = *w.DisksPage->C_CpmSourceFile;
                                     edit.setText(edit.text().mid(1));  // the user deletes the "x"
                                     return w.Machine().Settings.CpmSourceFile;
                                 }}), tavrin::test::RowName);

TEST(PathBytesDriveTest, ImagesNamedInLatin1AndUtf8MountAndShowTheirNames)
{
    TWindowHarness h;
    TMainHalvoret& w = h.Open();
    const std::string image = h.Temp.File("Disk\xE9.cpmdsk");
    TDiskDrive::FormatDiskImage(image);
    h.Prompts.FileAnswers = {image};
    w.ChangeDriveActs[1]->trigger();
    EXPECT_EQ(w.Machine().FDrivePaths[1], image);
    EXPECT_TRUE(w.Machine().DriveMounted(1));
    EXPECT_EQ(w.DisksPage->DiskCaptions[1]->text(), QStringLiteral("\"Disk\uFFFD\""));
    // A name in the file system's encoding shows decoded.
    const std::string utf8 = h.Temp.File("\xC3\x9C" "bung.cpmdsk");
    TDiskDrive::FormatDiskImage(utf8);
    w.Machine().MountDrive(2, utf8);
    EXPECT_EQ(w.DisksPage->DiskCaptions[2]->text(), QStringLiteral("\"\u00DCbung\""));
    EXPECT_EQ(w.DisksPage->DiskCaptions[2]->toolTip(), QString::fromUtf8(utf8.c_str()));
}

} // namespace
