#pragma once
// Everything the program asks of the user goes through one interface:
// message boxes, file dialogs and the one-line input query. The window uses
// the Qt implementation; tests use a scripted fake that records every text
// and answers from a prepared list.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/WinColor.h"

enum class TMsgDlgType : uint8_t { Warning, Error, Information, Confirmation, Custom };

// Button set and results of a message box.
enum TMsgDlgBtn : uint16_t {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
};
using TMsgDlgButtons = uint16_t;

enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8
};

// One file dialog: the caller fills the fields, a confirmed dialog hands the
// chosen path back in FileName.
struct TFileDialogRequest {
    std::string Title;
    // Pairs "Description|patterns|Description|patterns", patterns split by ';'.
    std::string Filter;
    std::string DefaultExt;  // without the dot
    std::string InitialDir;
    std::string FileName;
    bool MustExist = true;  // open dialogs: existing files only
};

// A font as the font dialogs show and return it.
struct TFontChoice {
    std::string Family;
    int PointSize = 9;
    bool Bold = false;
    bool Italic = false;
    bool operator==(const TFontChoice&) const = default;
};

class IUiPrompts {
public:
    virtual ~IUiPrompts() = default;

    // A plain box with one OK button (no icon).
    virtual void ShowMessage(const std::string& text) = 0;
    // A box of the given type; returns the TModalResult of the button pressed.
    virtual int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
    // The report of an error that ended an operation (an exception's text).
    virtual void ShowError(const std::string& text) = 0;

    // True and request.FileName set when the user confirmed.
    virtual bool OpenFileDialog(TFileDialogRequest& request) = 0;
    virtual bool SaveFileDialog(TFileDialogRequest& request) = 0;

    // True and value set when the user confirmed.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;

    // The colour dialog, starting from color (a 00BBGGRRh value); true and
    // color set when the user confirmed.
    virtual bool ChooseColor(TColor& color) = 0;
    // The font dialog, starting from font; fixedPitch offers only fixed-pitch
    // fonts. True and font set when the user confirmed.
    virtual bool ChooseFont(TFontChoice& font, bool fixedPitch) = 0;

    // The standard system beep of rejected input.
    virtual void Beep() {}
    // An open dialog that takes several files; true and files set (in the
    // order chosen) when the user confirmed. By default one file.
    virtual bool OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) {
        if (!OpenFileDialog(request)) return false;
        files = {request.FileName};
        return true;
    }
    // A folder chooser started at folder, which may also take the name of a
    // folder still to be made; true and folder set when the user confirmed.
    virtual bool SelectDirectory(const std::string& caption, std::string& folder) {
        (void)caption;
        (void)folder;
        return false;
    }
};
