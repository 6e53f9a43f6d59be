#pragma once
// The user-facing implementation of IUiPrompts: Qt message boxes, file
// dialogs and input dialogs, each parented to the window it is raised from
// (the given main window when no other of the program's windows is active).

#include "platform/PathText.h"
#include "platform/UiPrompts.h"

#include <functional>
#include <string>

class QFont;
class QString;
class QWidget;

// Where the font dialog opens for a console drawn with font: on the family
// that really draws it (a face asked for but not installed is drawn by a
// stand-in) and on its style.
TFontChoice FontChoiceInUse(const QFont& font, int pointSize);

class TQtUiPrompts : public IUiPrompts {
public:
    // Also keeps Qt's dialogs from reading and writing a per-user settings
    // file, for the whole program.
    explicit TQtUiPrompts(QWidget* parent);

    // Called around every modal box, so the caller can hold work (the CPU
    // run) that must not start inside the box's own event loop.
    std::function<void(bool entering)> OnModal;

    void ShowMessage(const std::string& text) override;
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    void ShowError(const std::string& text) override;
    bool OpenFileDialog(TFileDialogRequest& request) override;
    bool SaveFileDialog(TFileDialogRequest& request) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool ChooseColor(TColor& color) override;
    bool ChooseFont(TFontChoice& font, bool fixedPitch) override;
    void Beep() override;
    bool OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) override;
    bool SelectDirectory(const std::string& caption, std::string& folder) override;

    // "Desc|*.a;*.b|All|*.*" as a Qt name filter list "Desc (*.a *.b);;All (*)".
    static std::string QtFilter(const std::string& filter);

private:
    QWidget* DialogParent() const;

    QWidget* FParent;
    class TModalScope;
};
