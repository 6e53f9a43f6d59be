#pragma once
// The "Disk Manager" page: one disk image's CP/M directory and the copies
// between it and the host (import and export as text or binary), view,
// delete, rename, attributes and user areas, and new, copied and HEX-32
// images. Nothing stays open between actions: each one opens the image,
// acts, takes the new listing and closes it. Changing actions are refused
// while the image is in one of the machine's drives.
//
// The page owns its actions (DM_...Act); the main window puts them in its
// menu and runs their update handlers from its pump.

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IUiPrompts;
class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QToolBar;
class TCpmDiskFileInfoList;
class TSetAttributesDlg;
class TTavrinMachine;
class TTextViewer;
struct TCpmDiskFileInfo;

class TDiskManagerPage : public QWidget {
    Q_OBJECT
public:
    static constexpr uint32_t Hex32StartAddress = 0x100000;

    TDiskManagerPage(TTavrinMachine& machine, IUiPrompts& prompts, const std::string& defaultDir,
                     QWidget* parent = nullptr);
    ~TDiskManagerPage() override;

    // The tool windows, created after the page; either may be null.
    void SetToolDialogs(TTextViewer* viewer, TSetAttributesDlg* attributes);
    // Shows the attribute dialog modally and returns its result; tests
    // answer in its place.
    std::function<int(TSetAttributesDlg&)> ExecAttributesDialog;

    // --- actions and their update handlers ---------------------------------
    struct TPageAction {
        QAction* Action;
        std::function<void(QAction&)> Update;
    };
    const std::vector<TPageAction>& Actions() const { return FActions; }
    void UpdateActions();

    QAction* DM_ImportTextFileAct = nullptr;
    QAction* DM_ImportBinaryFileAct = nullptr;
    QAction* DM_ExportTextFileAct = nullptr;
    QAction* DM_ExportBinaryFileAct = nullptr;
    QAction* DM_DeleteFileAct = nullptr;
    QAction* DM_RenameFileAct = nullptr;
    QAction* DM_SetAttributesAct = nullptr;
    QAction* DM_ViewFileAct = nullptr;
    QAction* DM_SelectDiskFileAct = nullptr;
    QAction* DM_RefreshDisplayAct = nullptr;
    QAction* DM_EjectDiskAct = nullptr;
    QAction* DM_CreateDiskAct = nullptr;
    QAction* DM_BackupDiskAct = nullptr;
    QAction* DM_SaveDiskToHexAct = nullptr;

    // --- controls -------------------------------------------------------------
    QLabel* DiskListHeader = nullptr;
    QListWidget* DiskFileList = nullptr;
    QToolBar* ActionToolBar2 = nullptr;
    QLabel* DiskSizeValue = nullptr;
    QLabel* FreeSpaceValue = nullptr;
    QLabel* FileNameValue = nullptr;
    QMenu* DM_PopUp = nullptr;

    // --- state ------------------------------------------------------------------
    const std::string& ManagerDiskFile() const { return FManagerDiskFile; }
    const TCpmDiskFileInfoList* ManagerFileList() const { return FManagerFileList.get(); }
    // The folder the next export dialog opens in: the last one exported to.
    const std::string& LastExportDir() const { return FLastExportDir; }

    // --- routines -------------------------------------------------------------
    void OpenManagerDisk(const std::string& FileName);
    void FillDiskFileList();
    // The entry single-file actions work on: the selected row under the
    // cursor, else the first selected row, else the cursor's row; null
    // without a disk or rows.
    const TCpmDiskFileInfo* GetSelectedFileInfo() const;
    int SelectedCount() const;
    void ImportTextFiles(const std::vector<std::string>& Files);
    void ImportBinaryFiles(const std::vector<std::string>& Files);
    void ExportSelectedFile(bool TextMode);
    void ExportSelectedFiles(bool TextMode);
    void ViewCpmFile(const std::string& DiskFile, const std::string& Name, uint8_t User);
    void SaveDiskToHex32(const std::string& Source, const std::string& Dest, uint32_t StartAddress);
    void DiskFileListMouseUp();
    void DiskFileListDblClick();

    // --- action handlers ------------------------------------------------------
    void DM_ImportTextFileActExecute();
    void DM_ImportBinaryFileActExecute();
    void DM_ExportTextFileActExecute();
    void DM_ExportBinaryFileActExecute();
    void DM_DeleteFileActExecute();
    void DM_RenameFileActExecute();
    void DM_SetAttributesActExecute();
    void DM_ViewFileActExecute();
    void DM_SelectDiskFileActExecute();
    void DM_RefreshDisplayActExecute();
    void DM_EjectDiskActExecute();
    void DM_CreateDiskActExecute();
    void DM_BackupDiskActExecute();
    void DM_SaveDiskToHexActExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildActions();
    void BuildControls();
    bool DiskOpen() const { return !FManagerDiskFile.empty(); }
    bool DiskMounted() const;
    bool ImageInUse(const std::string& FileName) const;
    // A disk the page can only read refuses the changing actions with a
    // clear message; listing, viewing and export still work.
    void CheckDiskChangeable() const;
    bool DestinationInUse(const std::string& Dest) const;
    // Copies of the items of the selected rows, in list order.
    std::vector<TCpmDiskFileInfo> SelectedItems() const;
    void SelectRow(int Row, bool ClearOthers = true);
    void ImportFiles(const std::vector<std::string>& Files, bool TextMode);
    void AskAndImport(const std::string& Title, bool TextMode);
    void ExportSelection(bool TextMode);
    // Asks where an image goes; the name with ".cpmdsk" or empty.
    std::string AskDiskFileName(const std::string& Title);
    bool ConfirmReplace(const std::string& Chosen, const std::string& Final);

    std::string FLastExportDir;
    TTavrinMachine& FMachine;
    IUiPrompts& FPrompts;
    std::string FDefaultDir;
    std::string FManagerDiskFile;
    std::unique_ptr<TCpmDiskFileInfoList> FManagerFileList;
    TTextViewer* FTextViewer = nullptr;
    TSetAttributesDlg* FSetAttributesDlg = nullptr;
    std::vector<TPageAction> FActions;
};
