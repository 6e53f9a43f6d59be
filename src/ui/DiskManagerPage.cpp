// The Disk Manager page's controls, actions, listing and enabling rules.

#include "ui/DiskManagerPage.h"

#include "disk/CpmDiskDrive.h"
#include "machine/TavrinMachine.h"
#include "platform/GuardedCall.h"
#include "platform/QtUiPrompts.h"
#include "platform/core/ProgramFolder.h"
#include "disk/DiskManagerFiles.h"
#include "ui/SetAttributesDlg.h"
#include "ui/TextViewer.h"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QFont ListFont() {
    QFont font(QStringLiteral("Lucida Console"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TDiskManagerPage::TDiskManagerPage(TTavrinMachine& machine, IUiPrompts& prompts, const std::string& defaultDir,
                                   QWidget* parent)
    : QWidget(parent), FLastExportDir(defaultDir), FMachine(machine), FPrompts(prompts), FDefaultDir(defaultDir) {
    ExecAttributesDialog = [](TSetAttributesDlg& dialog) { return dialog.exec(); };
    BuildActions();
    BuildControls();
    FillDiskFileList();
}

TDiskManagerPage::~TDiskManagerPage() = default;

void TDiskManagerPage::SetToolDialogs(TTextViewer* viewer, TSetAttributesDlg* attributes) {
    FTextViewer = viewer;
    FSetAttributesDlg = attributes;
}

void TDiskManagerPage::BuildActions() {
    auto make = [this](const char* name, const char* caption, const char* hint, void (TDiskManagerPage::*execute)(),
                       std::function<bool()> enabled) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty("Category", QStringLiteral("Disk Manager"));
        action->setToolTip(QString::fromLatin1(hint));
        action->setStatusTip(QString::fromLatin1(hint));
        connect(action, &QAction::triggered, this,
                [this, execute] { RunGuarded(FPrompts, [this, execute] { (this->*execute)(); }); });
        FActions.push_back({action, [enabled](QAction& a) { a.setEnabled(enabled()); }});
        return action;
    };
    auto open = [this] { return DiskOpen(); };
    auto changeable = [this] { return DiskOpen() && !DiskMounted(); };
    auto current = [this] { return GetSelectedFileInfo() != nullptr; };

    DM_ImportTextFileAct =
        make("DM_ImportTextFileAct", "Import Text", "Copy a windows text file to the selected CPM disk",
             &TDiskManagerPage::DM_ImportTextFileActExecute, changeable);
    DM_ImportBinaryFileAct =
        make("DM_ImportBinaryFileAct", "Import Binary", "Copy a windows binary file to the selected CPM disk",
             &TDiskManagerPage::DM_ImportBinaryFileActExecute, changeable);
    DM_ExportTextFileAct = make("DM_ExportTextFileAct", "Export as Text", "Copy a CPM text file to Windows",
                                &TDiskManagerPage::DM_ExportTextFileActExecute,
                                [this, current] { return SelectedCount() > 0 && current(); });
    DM_ExportBinaryFileAct = make("DM_ExportBinaryFileAct", "Export as Binary", "Copy a CPM binary file to Windows",
                                  &TDiskManagerPage::DM_ExportBinaryFileActExecute, current);
    DM_DeleteFileAct =
        make("DM_DeleteFileAct", "Delete", "Delete the seleceted CPM file", &TDiskManagerPage::DM_DeleteFileActExecute,
             [this, current, changeable] { return SelectedCount() > 0 && current() && changeable(); });
    DM_RenameFileAct =
        make("DM_RenameFileAct", "Rename", "Rename the selected CPM file", &TDiskManagerPage::DM_RenameFileActExecute,
             [this, current, changeable] { return SelectedCount() == 1 && current() && changeable(); });
    DM_SetAttributesAct = make("DM_SetAttributesAct", "Set Attributes", "Set the file attributes for the selected file",
                               &TDiskManagerPage::DM_SetAttributesActExecute, [this, current, changeable] {
                                   return SelectedCount() > 0 && current() && changeable();
                               });
    DM_ViewFileAct =
        make("DM_ViewFileAct", "View File", "View the file contents as text", &TDiskManagerPage::DM_ViewFileActExecute,
             [this, current] { return SelectedCount() == 1 && current(); });
    DM_SelectDiskFileAct =
        make("DM_SelectDiskFileAct", "Select Disk", "Select the CPM disk image to display in the file manager",
             &TDiskManagerPage::DM_SelectDiskFileActExecute, [] { return true; });
    DM_RefreshDisplayAct =
        make("DM_RefreshDisplayAct", "Refresh Display", "", &TDiskManagerPage::DM_RefreshDisplayActExecute, open);
    DM_EjectDiskAct = make("DM_EjectDiskAct", "Eject Disk", "Close the current disk manager disk",
                           &TDiskManagerPage::DM_EjectDiskActExecute, open);
    DM_CreateDiskAct = make("DM_CreateDiskAct", "Create Disk", "Create a new CPM disk image file",
                            &TDiskManagerPage::DM_CreateDiskActExecute, [] { return true; });
    DM_BackupDiskAct = make("DM_BackupDiskAct", "Copy Disk", "Make a copy of the current CPM disk file",
                            &TDiskManagerPage::DM_BackupDiskActExecute, open);
    DM_SaveDiskToHexAct =
        make("DM_SaveDiskToHexAct", "Disk to Hex32", "Save a copy of the selected disk file as a intel hex 32 bit file",
             &TDiskManagerPage::DM_SaveDiskToHexActExecute, open);
}

void TDiskManagerPage::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    ActionToolBar2 = new QToolBar(this);
    ActionToolBar2->setObjectName(QStringLiteral("ActionToolBar2"));
    for (QAction* a : {DM_SelectDiskFileAct, DM_RefreshDisplayAct, DM_CreateDiskAct, DM_EjectDiskAct,
                       DM_SaveDiskToHexAct, DM_BackupDiskAct})
        ActionToolBar2->addAction(a);
    layout->addWidget(ActionToolBar2);

    const QFont font = ListFont();
    DiskListHeader = new QLabel(QStringLiteral("No disk selected."), this);
    DiskListHeader->setFont(font);
    DiskListHeader->setText(Latin1(DiskListHeaderText()));
    layout->addWidget(DiskListHeader);

    DiskFileList = new QListWidget(this);
    DiskFileList->setObjectName(QStringLiteral("DiskFileList"));
    DiskFileList->setFont(font);
    DiskFileList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    DiskFileList->setContextMenuPolicy(Qt::CustomContextMenu);
    DiskFileList->viewport()->installEventFilter(this);
    connect(DiskFileList, &QListWidget::itemDoubleClicked, this, [this] { DiskFileListDblClick(); });
    layout->addWidget(DiskFileList, 1);

    DM_PopUp = new QMenu(this);
    DM_PopUp->addAction(DM_ViewFileAct);
    DM_PopUp->addSeparator();
    DM_PopUp->addAction(DM_SetAttributesAct);
    DM_PopUp->addAction(DM_DeleteFileAct);
    DM_PopUp->addAction(DM_RenameFileAct);
    DM_PopUp->addSeparator();
    QMenu* import = DM_PopUp->addMenu(QStringLiteral("Import"));
    import->addAction(DM_ImportTextFileAct);
    import->addAction(DM_ImportBinaryFileAct);
    QMenu* exportMenu = DM_PopUp->addMenu(QStringLiteral("Export"));
    exportMenu->addAction(DM_ExportTextFileAct);
    exportMenu->addAction(DM_ExportBinaryFileAct);
    connect(DiskFileList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        UpdateActions();
        DM_PopUp->popup(DiskFileList->viewport()->mapToGlobal(at));
    });

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    auto label = [status](const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), status);
        status->addWidget(l);
        return l;
    };
    label("Disk Size:");
    DiskSizeValue = label("0");
    label("Free Space:");
    FreeSpaceValue = label("0");
    label("File Name:");
    FileNameValue = label("");
    layout->addWidget(status);
}

void TDiskManagerPage::UpdateActions() {
    for (const TPageAction& a : FActions) a.Update(*a.Action);
}

bool TDiskManagerPage::DiskMounted() const { return FMachine.ImageMounted(FManagerDiskFile); }

// --- listing ----------------------------------------------------------------------

void TDiskManagerPage::OpenManagerDisk(const std::string& FileName) {
    FManagerFileList.reset();
    try {
        auto listing = std::make_unique<TCpmDiskFileInfoList>();
        ReadCpmListing(FileName, *listing);
        FManagerFileList = std::move(listing);
        FManagerDiskFile = FileName;
    } catch (...) {
        FillDiskFileList();
        throw;
    }
    FillDiskFileList();
}

void TDiskManagerPage::FillDiskFileList() {
    DiskFileList->clear();
    if (!FManagerFileList) {
        DiskSizeValue->setText(QStringLiteral("0"));
        FreeSpaceValue->setText(QStringLiteral("0"));
        FileNameValue->clear();
        return;
    }
    const TCpmDiskFileInfoList& list = *FManagerFileList;
    for (int i = 0; i < list.GetCount(); ++i)
        DiskFileList->addItem(Latin1(DiskFileRowText(*list.GetItem(i), list.BlockSize)));
    DiskSizeValue->setText(Latin1(FormatThousands(int64_t{list.Allocation.GetBlockCount()} * list.BlockSize)));
    FreeSpaceValue->setText(Latin1(FormatThousands(int64_t{list.Allocation.FreeCount} * list.BlockSize)));
    FileNameValue->setText(PathToQt(FileNameWithoutExt(FManagerDiskFile)));
}

int TDiskManagerPage::SelectedCount() const { return static_cast<int>(DiskFileList->selectedItems().size()); }

const TCpmDiskFileInfo* TDiskManagerPage::GetSelectedFileInfo() const {
    if (!DiskOpen() || !FManagerFileList || DiskFileList->count() == 0) return nullptr;
    int row = DiskFileList->currentRow();
    if (row < 0 || !DiskFileList->item(row)->isSelected()) {
        for (int r = 0; r < DiskFileList->count(); ++r)
            if (DiskFileList->item(r)->isSelected()) {
                row = r;
                break;
            }
    }
    return row >= 0 ? FManagerFileList->GetItem(row) : nullptr;
}

std::vector<TCpmDiskFileInfo> TDiskManagerPage::SelectedItems() const {
    std::vector<TCpmDiskFileInfo> items;
    if (!FManagerFileList) return items;
    for (int r = 0; r < DiskFileList->count(); ++r)
        if (DiskFileList->item(r)->isSelected())
            if (const TCpmDiskFileInfo* info = FManagerFileList->GetItem(r)) items.push_back(*info);
    return items;
}

void TDiskManagerPage::SelectRow(int Row, bool ClearOthers) {
    if (Row < 0 || Row >= DiskFileList->count()) return;
    DiskFileList->setCurrentRow(Row, ClearOthers ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
}

// A plain left click on an unselected row makes it the only selection; a
// click beside the rows clears the selection.
void TDiskManagerPage::DiskFileListMouseUp() {
    const int row = DiskFileList->currentRow();
    if (DiskFileList->count() > 0 && row >= 0) {
        if (!DiskFileList->item(row)->isSelected()) SelectRow(row);
    } else {
        DiskFileList->clearSelection();
    }
}

void TDiskManagerPage::DiskFileListDblClick() {
    DM_ViewFileAct->setEnabled(SelectedCount() == 1 && GetSelectedFileInfo() != nullptr);
    if (DM_ViewFileAct->isEnabled()) DM_ViewFileAct->trigger();
}

bool TDiskManagerPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DiskFileList->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier) {
            const bool handled = QWidget::eventFilter(watched, event);
            DiskFileListMouseUp();
            return handled;
        }
    }
    return QWidget::eventFilter(watched, event);
}
