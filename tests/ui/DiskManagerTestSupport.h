#pragma once
// A Disk Manager page on a machine in a temporary folder, answered by the
// scripted prompts, with an empty image and helpers to fill and select it.

#include <QAction>
#include <QListWidget>

#include <memory>

#include "disk/CpmTestSupport.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "ui/DiskManagerPage.h"
#include "ui/SetAttributesDlg.h"
#include "ui/TextViewer.h"

namespace tavrin::test {

class DiskManagerFixture : public ::testing::Test {
protected:
    DiskManagerFixture() {
        Page->SetToolDialogs(&Viewer, &Attributes);
        MakeImage(Image);
    }
    std::string HostFile(const std::string& name, const std::string& data) {
        WriteFile(Dir.File(name), data);
        return Dir.File(name);
    }
    // Opens the image and imports host files (binary, user 0) through the page.
    void Put(const std::vector<std::pair<std::string, std::string>>& files) {
        Page->OpenManagerDisk(Image);
        std::vector<std::string> paths;
        for (const auto& [name, data] : files) paths.push_back(HostFile(name, data));
        Page->ImportBinaryFiles(paths);
    }
    QListWidget& List() { return *Page->DiskFileList; }
    std::vector<std::string> Names() {
        std::vector<std::string> names;
        for (int i = 0; i < Page->ManagerFileList()->GetCount(); ++i)
            names.push_back(Page->ManagerFileList()->GetItem(i)->FileName);
        return names;
    }
    std::vector<int> SelectedRows() {
        std::vector<int> rows;
        for (int r = 0; r < List().count(); ++r)
            if (List().item(r)->isSelected()) rows.push_back(r);
        return rows;
    }
    // The first row becomes the current one.
    void Select(std::initializer_list<int> rows) {
        for (int r : rows)
            List().setCurrentRow(
                r, r == *rows.begin() ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
    }
    // Runs the action as the menu would: only when its update enables it.
    bool Run(QAction* action) {
        Page->UpdateActions();
        if (action->isEnabled()) action->trigger();
        return action->isEnabled();
    }

    bool FApp = (QtTestApp(), true);  // before any widget
    TTempFolder Dir;
    TScriptedUiPrompts Prompts;
    TTavrinMachine Machine{Dir.Path().string() + "/"};
    std::unique_ptr<TDiskManagerPage> Page =
        std::make_unique<TDiskManagerPage>(Machine, Prompts, Dir.Path().string() + "/");
    TTextViewer Viewer{Prompts};
    TSetAttributesDlg Attributes;
    std::string Image = Dir.File("work.cpmdsk");
};

}  // namespace tavrin::test
