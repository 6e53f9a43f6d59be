// What the Disk Manager page's actions do: the dialogs, questions and
// messages around each file and image operation.

#include "ui/DiskManagerPage.h"

#include "disk/CpmDiskDrive.h"
#include "disk/ImageRegistry.h"
#include "machine/TavrinMachine.h"
#include "platform/UiPrompts.h"
#include "platform/core/FileReplace.h"
#include "platform/core/ProgramFolder.h"
#include "disk/DiskManagerFiles.h"
#include "ui/FileList.h"
#include "ui/SetAttributesDlg.h"
#include "ui/TextViewer.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr const char* DiskFilter = "Emulator Disk Files|*.cpmdsk|All Files|*.*";
constexpr const char* DiskInUse = "The destination disk file is currently in use and can not be replaced.";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

// --- disks ---------------------------------------------------------------------

void TDiskManagerPage::DM_SelectDiskFileActExecute() {
    TFileDialogRequest request;
    request.Title = "Select CPM Disk File To View";
    request.Filter = DiskFilter;
    request.InitialDir = FDefaultDir;
    if (FPrompts.OpenFileDialog(request)) OpenManagerDisk(request.FileName);
}

void TDiskManagerPage::DM_RefreshDisplayActExecute() {
    if (!DiskOpen()) return;
    std::optional<TCpmDiskFileInfo> current;
    if (const TCpmDiskFileInfo* info = GetSelectedFileInfo()) current = *info;
    OpenManagerDisk(FManagerDiskFile);
    if (!current) return;
    for (int i = 0; i < FManagerFileList->GetCount(); ++i) {
        const TCpmDiskFileInfo* info = FManagerFileList->GetItem(i);
        if (info->FileName == current->FileName && info->User == current->User) {
            SelectRow(i);
            return;
        }
    }
}

void TDiskManagerPage::DM_EjectDiskActExecute() {
    FManagerFileList.reset();
    FManagerDiskFile.clear();
    FillDiskFileList();
}

std::string TDiskManagerPage::AskDiskFileName(const std::string& Title) {
    TFileDialogRequest request;
    request.Title = Title;
    request.Filter = DiskFilter;
    request.DefaultExt = "cpmdsk";
    request.InitialDir = FDefaultDir;
    if (!FPrompts.SaveFileDialog(request)) return {};
    const std::string final = ChangeFileExt(request.FileName, ".cpmdsk");
    return ConfirmReplace(request.FileName, final) ? final : std::string();
}

// The dialog asked about the name it was given; a name that changed with its
// extension is asked about here.
bool TDiskManagerPage::ConfirmReplace(const std::string& Chosen, const std::string& Final) {
    std::error_code ec;
    if (Final == Chosen || !fs::exists(Final, ec)) return true;
    return FPrompts.MessageDlg(Final + " already exists.\nDo you want to replace it?", TMsgDlgType::Confirmation,
                               mbYes | mbNo) == mrYes;
}

// Open anywhere in the program (by identity), the name a drive holds, or
// written by another program.
bool TDiskManagerPage::ImageInUse(const std::string& FileName) const {
    return TImageRegistry::Instance().OpenInAnyProgram(FileName) || FMachine.ImageMounted(FileName);
}

// Refused before any question, so nobody answers one for a change that
// cannot be made.
void TDiskManagerPage::CheckDiskChangeable() const {
    if (DiskOpen()) TDiskDrive::CheckWritable(FManagerDiskFile);
}

// A file no copy may replace: an image in use, or the one this page shows,
// by whatever name it is reached.
bool TDiskManagerPage::DestinationInUse(const std::string& Dest) const {
    return Dest == FManagerDiskFile || SameHostFile(Dest, FManagerDiskFile) || ImageInUse(Dest);
}

void TDiskManagerPage::DM_CreateDiskActExecute() {
    const std::string name = AskDiskFileName("Create New Disk File");
    if (name.empty()) return;
    // The page's own image too: it would go on listing files that are gone.
    if (DestinationInUse(name)) {
        FPrompts.MessageDlg(DiskInUse, TMsgDlgType::Warning, mbOK);
        return;
    }
    TDiskDrive::FormatDiskImage(name);
}

void TDiskManagerPage::DM_BackupDiskActExecute() {
    if (!DiskOpen()) return;
    const std::string dest = AskDiskFileName("Copy Disk File " + Quoted(FileNameWithoutExt(FManagerDiskFile)));
    if (dest.empty()) return;
    if (DestinationInUse(dest)) {
        FPrompts.MessageDlg(DiskInUse, TMsgDlgType::Warning, mbOK);
        return;
    }
    try {
        CopyHostFile(FManagerDiskFile, dest);
    } catch (const std::exception& e) {
        FPrompts.MessageDlg("The disk file could not be copied to " + Quoted(dest) + ". " + e.what(),
                            TMsgDlgType::Warning, mbOK);
    }
}

void TDiskManagerPage::DM_SaveDiskToHexActExecute() {
    if (!DiskOpen()) return;
    TFileDialogRequest request;
    request.Title = "Save Disk As Hex File";
    request.Filter = "Intel 32 bit hex file|*.hex";
    request.DefaultExt = "hex";
    request.InitialDir = ExtractFileDir(FManagerDiskFile);
    request.FileName = ChangeFileExt(FManagerDiskFile.substr(request.InitialDir.size()), ".hex");
    if (!FPrompts.SaveFileDialog(request)) return;
    const std::string dest = ChangeFileExt(request.FileName, ".hex");
    if (ConfirmReplace(request.FileName, dest)) SaveDiskToHex32(FManagerDiskFile, dest, Hex32StartAddress);
}

void TDiskManagerPage::SaveDiskToHex32(const std::string& Source, const std::string& Dest, uint32_t StartAddress) {
    const std::string refusal = CheckHex32Save(Source, Dest);
    if (!refusal.empty()) {
        FPrompts.MessageDlg(refusal, TMsgDlgType::Warning, mbOK);
        return;
    }
    try {
        WriteDiskAsHex32(Source, Dest, StartAddress);
    } catch (const std::exception& e) {
        FPrompts.MessageDlg("The Hex32 file could not be written. " + std::string(e.what()), TMsgDlgType::Warning,
                            mbOK);
        return;
    }
    FPrompts.MessageDlg("The Hex32 file has been created.", TMsgDlgType::Information, mbOK);
}

// --- import ---------------------------------------------------------------------

void TDiskManagerPage::DM_ImportTextFileActExecute() { AskAndImport("Import Text Files", true); }

void TDiskManagerPage::DM_ImportBinaryFileActExecute() { AskAndImport("Import Binary Files", false); }

void TDiskManagerPage::AskAndImport(const std::string& Title, bool TextMode) {
    CheckDiskChangeable();
    TFileDialogRequest request;
    request.Title = Title;
    std::vector<std::string> files;
    if (DiskOpen() && FPrompts.OpenFilesDialog(request, files)) ImportFiles(files, TextMode);
}

void TDiskManagerPage::ImportTextFiles(const std::vector<std::string>& Files) { ImportFiles(Files, true); }

void TDiskManagerPage::ImportBinaryFiles(const std::vector<std::string>& Files) { ImportFiles(Files, false); }

void TDiskManagerPage::ImportFiles(const std::vector<std::string>& Files, bool TextMode) {
    if (!DiskOpen() || !FManagerFileList || Files.empty()) return;
    TFileItemList hostFiles;
    for (const std::string& file : Files) hostFiles.AddFile(file, "", true);
    if (hostFiles.TotalSize() > int64_t{FManagerFileList->Allocation.FreeCount} * FManagerFileList->BlockSize)
        throw std::runtime_error("The files to be copied require more space then is available on the disk!");
    // A host name that leaves no CP/M name is refused before anything is
    // copied; with several files the user is told the others were not.
    for (const std::string& file : Files)
        if (!CpmIsValidName(MakeCpmShortName(file)))
            throw std::runtime_error("The file name " + Quoted(file.substr(ExtractFileDir(file).size())) +
                                     " does not make a CPM file name." +
                                     (Files.size() > 1 ? " No file was copied." : ""));
    // The list is refilled once, after the last file or the first refusal,
    // with the last file imported selected: a refill per file would cost
    // time in proportion to the rows already shown.
    TCpmImportResult result;
    std::exception_ptr failure;
    try {
        ImportCpmFiles(FManagerDiskFile, Files, 0, TextMode, *FManagerFileList, result);
    } catch (...) {
        failure = std::current_exception();
    }
    // A refusal part way still shows the files imported before it.
    if (!failure || result.Imported > 0) {
        FillDiskFileList();
        SelectRow(result.LastIndex);
    }
    if (failure) std::rethrow_exception(failure);
}

// --- export and view ----------------------------------------------------------------

void TDiskManagerPage::DM_ExportTextFileActExecute() { ExportSelection(true); }

void TDiskManagerPage::DM_ExportBinaryFileActExecute() { ExportSelection(false); }

// One selected row asks for a file, several for a folder; none does nothing.
// Before writing into a folder, each removes the temporary files that
// exports killed part-way left there.
void TDiskManagerPage::ExportSelection(bool TextMode) {
    const int count = SelectedCount();
    if (count == 1)
        ExportSelectedFile(TextMode);
    else if (count > 1)
        ExportSelectedFiles(TextMode);
}

void TDiskManagerPage::ExportSelectedFile(bool TextMode) {
    const TCpmDiskFileInfo* info = GetSelectedFileInfo();
    if (!info) return;
    const TCpmDiskFileInfo entry = *info;
    TFileDialogRequest request;
    request.Title = "Export Text File";
    request.InitialDir = FLastExportDir;
    request.FileName = MakeHostSafeName(entry.FileName);
    if (!FPrompts.SaveFileDialog(request)) return;
    FLastExportDir = ExtractFileDir(request.FileName);
    if (DestinationInUse(request.FileName)) {
        FPrompts.MessageDlg(DiskInUse, TMsgDlgType::Warning, mbOK);
        return;
    }
    RemoveLeftoverReplacementsIn(FLastExportDir.empty() ? "." : FLastExportDir);
    ExportCpmFile(FManagerDiskFile, entry.FileName, request.FileName, TextMode, entry.User);
}

void TDiskManagerPage::ExportSelectedFiles(bool TextMode) {
    const std::vector<TCpmDiskFileInfo> items = SelectedItems();
    std::string folder = FLastExportDir;
    if (items.empty() || !FPrompts.SelectDirectory("Select Folder", folder) || folder.empty()) return;
    std::error_code ec;
    if (!fs::is_directory(folder, ec) && (!fs::create_directories(folder, ec) || ec))
        throw std::runtime_error("The folder " + Quoted(folder) + " could not be created.");
    folder = AppendMissingChar(folder, '/');
    FLastExportDir = folder;
    RemoveLeftoverReplacementsIn(folder);
    bool all = false;
    // A file that cannot be exported (a damaged entry, a target in use, a host
    // error) does not stop the others; all such files are reported together
    // at the end.
    std::string failures;
    const auto fail = [&failures](const TCpmDiskFileInfo& item, const std::string& why) {
        failures += "\n" + Quoted(item.FileName) + " in user area " + std::to_string(item.User) + ": " + why;
    };
    for (const TCpmDiskFileInfo& item : items) {
        const std::string name = MakeHostSafeName(item.FileName);
        const std::string target = folder + name;
        if (DestinationInUse(target)) {
            fail(item, DiskInUse);
            continue;
        }
        if (!all && fs::exists(fs::symlink_status(target, ec))) {
            const int answer = FPrompts.MessageDlg("Overwrite existing file " + Quoted(name) + "?",
                                                   TMsgDlgType::Confirmation, mbYes | mbNo | mbCancel | mbAll);
            if (answer == mrCancel) break;
            if (answer == mrNo) continue;
            all = answer == mrAll;
        }
        try {
            ExportCpmFile(FManagerDiskFile, item.FileName, target, TextMode, item.User);
        } catch (const std::exception& e) {
            fail(item, e.what());
        }
    }
    if (!failures.empty())
        FPrompts.MessageDlg("These files could not be exported:" + failures, TMsgDlgType::Warning, mbOK);
}

void TDiskManagerPage::DM_ViewFileActExecute() {
    if (const TCpmDiskFileInfo* info = GetSelectedFileInfo()) {
        const TCpmDiskFileInfo entry = *info;
        ViewCpmFile(FManagerDiskFile, entry.FileName, entry.User);
    }
}

void TDiskManagerPage::ViewCpmFile(const std::string& DiskFile, const std::string& Name, uint8_t User) {
    const std::string text = ReadCpmFile(DiskFile, Name, true, User);
    if (!FTextViewer) return;
    FTextViewer->LoadText(text);
    FTextViewer->SetFileInfo(DiskFile, Name, User);
    FTextViewer->showNormal();
    FTextViewer->raise();
}

// --- delete, rename, attributes ----------------------------------------------------------

void TDiskManagerPage::DM_DeleteFileActExecute() {
    const std::vector<TCpmDiskFileInfo> items = SelectedItems();
    if (items.empty() || !GetSelectedFileInfo()) return;
    CheckDiskChangeable();
    const std::string question = items.size() == 1
                                     ? "Delete File " + Quoted(items.front().FileName) + "?"
                                     : "Delete the " + std::to_string(items.size()) + " selected files from the disk?";
    const int before = DiskFileList->currentRow();
    if (FPrompts.MessageDlg(question, TMsgDlgType::Confirmation, mbOK | mbCancel) != mrOk) return;
    try {
        for (const TCpmDiskFileInfo& item : items)
            DeleteCpmFile(FManagerDiskFile, item.FileName, item.User, *FManagerFileList);
    } catch (...) {
        FillDiskFileList();
        throw;
    }
    FillDiskFileList();
    if (before >= 0) SelectRow(before < DiskFileList->count() ? before : DiskFileList->count() - 1);
}

void TDiskManagerPage::DM_RenameFileActExecute() {
    const TCpmDiskFileInfo* info = GetSelectedFileInfo();
    if (!info) return;
    const TCpmDiskFileInfo entry = *info;
    CheckDiskChangeable();
    std::string value = entry.FileName;
    if (!FPrompts.InputQuery("Rename File", "Old File Name: " + entry.FileName, value) || value.empty()) return;
    const int index = RenameCpmFile(FManagerDiskFile, entry.FileName, value, entry.User, *FManagerFileList);
    FillDiskFileList();
    SelectRow(index);
}

void TDiskManagerPage::DM_SetAttributesActExecute() {
    const TCpmDiskFileInfo* info = GetSelectedFileInfo();
    if (!info || !FSetAttributesDlg) return;
    CheckDiskChangeable();
    const TCpmDiskFileInfo first = *info;
    const std::vector<TCpmDiskFileInfo> items = SelectedItems();
    const bool multi = items.size() > 1;
    uint8_t mixed = 0;
    uint8_t user = first.User;
    if (multi) {
        FSetAttributesDlg->Label2->setText(QStringLiteral("(%1 files selected)").arg(items.size()));
        for (const TCpmDiskFileInfo& item : items) {
            mixed |= static_cast<uint8_t>((item.Attributes ^ first.Attributes) &
                                          (CpmAttrReadOnly | CpmAttrSystem | CpmAttrArchive));
            if (item.User != user) user = TSetAttributesDlg::NoChangeUser;
        }
    } else {
        FSetAttributesDlg->Label2->setText(QString::fromLatin1(first.FileName.c_str()));
    }
    FSetAttributesDlg->SetAttributes(first.Attributes, mixed, user, multi);
    if (ExecAttributesDialog(*FSetAttributesDlg) != QDialog::Accepted) return;
    uint8_t attributes = 0, unchanged = 0;
    FSetAttributesDlg->GetAttributes(attributes, unchanged);
    const uint8_t newUser = FSetAttributesDlg->GetUserArea();

    // The list is refilled and the changed files selected again also when
    // one of them fails.
    std::vector<std::pair<std::string, uint8_t>> changed;
    std::exception_ptr failure;
    try {
        for (const TCpmDiskFileInfo& item : items) {
            const auto a = static_cast<uint8_t>((attributes & ~unchanged) | (item.Attributes & unchanged));
            const uint8_t u = newUser <= CpmMaxUser ? newUser : item.User;
            int index = -1;
            SetCpmFileAttributes(FManagerDiskFile, item.FileName, index, a, u, item.User, *FManagerFileList);
            changed.emplace_back(item.FileName, u);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    FillDiskFileList();
    bool firstRow = true;
    for (int i = 0; i < FManagerFileList->GetCount(); ++i) {
        const TCpmDiskFileInfo* row = FManagerFileList->GetItem(i);
        for (const auto& [name, u] : changed)
            if (row->FileName == name && row->User == u) {
                SelectRow(i, firstRow);
                firstRow = false;
            }
    }
    if (failure) std::rethrow_exception(failure);
}
