// The main window's side of the Disk Manager page: its menu, the page's
// actions in the window's update pump, the drive eject actions and the
// reread at every page change.

#include "app/frmTavrin.h"

#include "app/RunLoop.h"

#include "platform/ActionUpdatePump.h"
#include "ui/DiskManagerPage.h"
#include "ui/SetAttributesDlg.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

void TMainHalvoret::BuildEjectActions() {
    static const char* names[4] = {"EjectADriveAct", "EjectBDriveAct", "EjectCDriveAct", "EjectDDriveAct"};
    for (uint8_t d = 0; d < 4; ++d) {
        const QString letter(QChar('A' + d));
        auto* action = new QAction(QStringLiteral("Eject %1:").arg(letter), this);
        action->setObjectName(QString::fromLatin1(names[d]));
        action->setProperty("Category", QStringLiteral("Eject Disk"));
        action->setToolTip(QStringLiteral("Clear the disk file name for the CPM %1: drive").arg(letter));
        connect(action, &QAction::triggered, this, [this, d] { RunGuarded([this, d] { EjectDriveActExecute(d); }); });
        FActionPump->Add(action, [this, d](QAction& a) { a.setEnabled(FMachine->DriveMounted(d)); });
        EjectDriveActs[d] = action;
    }
}

void TMainHalvoret::EjectDriveActExecute(uint8_t drive) { FMachine->UnmountDrive(drive); }

void TMainHalvoret::BuildDiskManagerMenu() {
    TDiskManagerPage& page = *DiskManagerPage;
    for (const TDiskManagerPage::TPageAction& a : page.Actions()) FActionPump->Add(a.Action, a.Update);

    QMenu* menu = menuBar()->addMenu(QStringLiteral("&Disk Manager"));
    menu->addAction(page.DM_ImportTextFileAct);
    menu->addAction(page.DM_ImportBinaryFileAct);
    menu->addSeparator();
    menu->addAction(page.DM_ExportTextFileAct);
    menu->addAction(page.DM_ExportBinaryFileAct);
    menu->addSeparator();
    menu->addAction(page.DM_SetAttributesAct);
    menu->addAction(page.DM_DeleteFileAct);
    menu->addAction(page.DM_RenameFileAct);
    menu->addSeparator();
    menu->addAction(page.DM_SelectDiskFileAct);
    menu->addAction(page.DM_EjectDiskAct);
    menu->addAction(page.DM_RefreshDisplayAct);
    menu->addSeparator();
    menu->addAction(page.DM_BackupDiskAct);
    menu->addAction(page.DM_SaveDiskToHexAct);
    FActionPump->WatchMenu(menu);

    // No run burst inside the attribute dialog's own event loop.
    page.ExecAttributesDialog = [this](TSetAttributesDlg& dialog) {
        FRunLoop->EnterModal();
        const int result = dialog.exec();
        FRunLoop->LeaveModal();
        return result;
    };
}
