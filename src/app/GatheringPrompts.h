#pragma once
// The window's prompts, which can hold back reports for a while: the
// settings file's loading runs actions that report their own failures
// (a port that does not open, a missing input file), and those reports go
// into the loading's one report instead of boxes one after another.
// Questions and dialogs still show at once.

#include <string>
#include <vector>

#include "platform/UiPrompts.h"

class TGatheringPrompts : public IUiPrompts {
public:
    // shown: the prompts that show everything not held back.
    explicit TGatheringPrompts(IUiPrompts& shown) : FShown(shown) {}

    // From now on a box that only reports (a plain message, an error, a box
    // whose one button is OK) is kept, in order, instead of shown.
    void Gather();
    // Ends the gathering: the texts kept since Gather.
    std::vector<std::string> TakeGathered();

    void ShowMessage(const std::string& text) override;
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    void ShowError(const std::string& text) override;
    bool OpenFileDialog(TFileDialogRequest& request) override { return FShown.OpenFileDialog(request); }
    bool SaveFileDialog(TFileDialogRequest& request) override { return FShown.SaveFileDialog(request); }
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
        return FShown.InputQuery(caption, prompt, value);
    }
    bool ChooseColor(TColor& color) override { return FShown.ChooseColor(color); }
    bool ChooseFont(TFontChoice& font, bool fixedPitch) override { return FShown.ChooseFont(font, fixedPitch); }
    void Beep() override { FShown.Beep(); }
    bool OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) override {
        return FShown.OpenFilesDialog(request, files);
    }
    bool SelectDirectory(const std::string& caption, std::string& folder) override {
        return FShown.SelectDirectory(caption, folder);
    }

private:
    IUiPrompts& FShown;
    bool FGathering = false;
    std::vector<std::string> FGathered;
};
