#pragma once
// A Disk Manager page on a machine in a temporary folder, answered by the
// scripted prompts: helpers to make images and host files, read the rows
// and select them as a user would.

#include <QListWidget>

#include <memory>
#include <string>
#include <vector>

#include "disk/CpmTestSupport.h"
#include "machine/TavrinMachine.h"
#include "platform/ScriptedUiPrompts.h"
#include "support/QtTestApp.h"
#include "ui/DiskManagerPage.h"
#include "ui/SetAttributesDlg.h"
#include "ui/TextViewer.h"

namespace dmtest {

class DiskManagerFixture : public ::testing::Test {
protected:
    DiskManagerFixture()
    {
        tavrin::test::QtTestApp();
        Machine = std::make_unique<TTavrinMachine>(Dir.Path().string() + "/");
        Page = std::make_unique<TDiskManagerPage>(*Machine, Prompts, Dir.Path().string() + "/");
        Viewer = std::make_unique<TTextViewer>(Prompts);
        Attributes = std::make_unique<TSetAttributesDlg>();
        Page->SetToolDialogs(Viewer.get(), Attributes.get());
        Image = Dir.File("work.cpmdsk");
        cpmtest::MakeFreshImage(Image);
    }
    ~DiskManagerFixture() override
    {
        Page.reset();
        Machine.reset();
    }

    std::string HostFile(const std::string& name, const std::string& data)
    {
        const std::string path = Dir.File(name);
        storetest::WriteFile(path, data);
        return path;
    }
    // Puts host files on the image (binary, user 0) through the page.
    void Put(const std::vector<std::pair<std::string, std::string>>& files)
    {
        std::vector<std::string> paths;
        for (const auto& [name, data] : files)
            paths.push_back(HostFile(name, data));
        Page->ImportBinaryFiles(paths);
    }
    void Open() { Page->OpenManagerDisk(Image); }

    QListWidget& List() { return *Page->DiskFileList; }
    std::string Row(int r) { return List().item(r)->text().toStdString(); }
    // The names of the listing's rows, in order.
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < Page->ManagerFileList()->GetCount(); ++i)
            names.push_back(Page->ManagerFileList()->GetItem(i)->FileName);
        return names;
    }
    std::vector<int> SelectedRows()
    {
        std::vector<int> rows;
        for (int r = 0; r < List().count(); ++r)
            if (List().item(r)->isSelected())
                rows.push_back(r);
        return rows;
    }
    void Select(std::initializer_list<int> rows)
    {
        List().clearSelection();
        bool first = true;
        for (int r : rows) {
            List().setCurrentRow(r, first ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
            first = false;
        }
    }
    // Runs the action as the menu would: only when its update enables it.
    bool Run(QAction* action)
    {
        Page->UpdateActions();
        if (!action->isEnabled())
            return false;
        action->trigger();
        return true;
    }

    cpmtest::TempDir Dir;
    TScriptedUiPrompts Prompts;
    std::unique_ptr<TTavrinMachine> Machine;
    std::unique_ptr<TDiskManagerPage> Page;
    std::unique_ptr<TTextViewer> Viewer;
    std::unique_ptr<TSetAttributesDlg> Attributes;
    std::string Image;
};

}  // namespace dmtest
