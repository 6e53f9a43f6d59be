// The program keeps no per-user file: with HOME and the per-user folders
// pointed at an empty folder, opening and closing every file dialog, the
// colour dialog (with a custom colour picked) and the font dialog leaves
// that folder empty. (Qt's dialogs alone would write a "QtProject" settings
// file there with their history, last folder and custom colours.)

#include "platform/QtUiPrompts.h"
#include "support/EnvironmentVariable.h"
#include "support/QtTestApp.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using tavrin::test::TEnvironmentVariable;
using tavrin::test::TTempFolder;

std::vector<std::string> FilesBelow(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files.push_back(entry.path().string());
    return files;
}

TEST(QtUiPrompts, DialogsLeaveNoPerUserFile) {
    // Set before Qt looks up its per-user folders, which it does once.
    TTempFolder home;
    TEnvironmentVariable homeVar("HOME", home.Path().c_str());
    TEnvironmentVariable configVar("XDG_CONFIG_HOME", (home.Path() / ".config").c_str());
    TEnvironmentVariable dataVar("XDG_DATA_HOME", (home.Path() / ".local/share").c_str());
    tavrin::test::QtTestApp();
    TTempFolder program;
    tavrin::test::WriteFile(program.File("cpm22.hex"), ":00000001FF\r\n");

    QWidget window;
    window.show();
    TQtUiPrompts prompts(&window);
    const std::pair<const char*, std::function<void()>> dialogs[] = {
        {"open",
         [&] {
             TFileDialogRequest r{"Open", "HEX files|*.hex|All files|*.*", "hex", program.Folder(), "cpm22.hex"};
             prompts.OpenFileDialog(r);
         }},
        {"open several",
         [&] {
             TFileDialogRequest r{"Import", "All files|*.*", "", program.Folder(), ""};
             std::vector<std::string> files;
             prompts.OpenFilesDialog(r, files);
         }},
        {"save",
         [&] {
             TFileDialogRequest r{"Save", "HEX files|*.hex", "hex", program.Folder(), "out.hex", false};
             prompts.SaveFileDialog(r);
         }},
        {"folder",
         [&] {
             std::string folder = program.Folder();
             prompts.SelectDirectory("Folder", folder);
         }},
        {"colour",
         [&] {
             QColorDialog::setCustomColor(0, QColor(1, 2, 3));
             TColor color = 0x123456;
             prompts.ChooseColor(color);
         }},
        {"font",
         [&] {
             TFontChoice font{"DejaVu Sans Mono", 10, false, false};
             prompts.ChooseFont(font, true);
         }},
    };
    for (const auto& [name, open] : dialogs) {
        SCOPED_TRACE(name);
        bool shown = false;
        QTimer::singleShot(0, [&shown] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            shown = true;
            dialog->reject();
        });
        open();
        EXPECT_TRUE(shown);
    }
    QApplication::processEvents();
    EXPECT_EQ(FilesBelow(home.Path()), std::vector<std::string>{});
}

}  // namespace
