#include "app/GatheringPrompts.h"

void TGatheringPrompts::Gather() {
    FGathering = true;
    FGathered.clear();
}

std::vector<std::string> TGatheringPrompts::TakeGathered() {
    FGathering = false;
    std::vector<std::string> gathered;
    gathered.swap(FGathered);
    return gathered;
}

void TGatheringPrompts::ShowMessage(const std::string& text) {
    if (FGathering)
        FGathered.push_back(text);
    else
        FShown.ShowMessage(text);
}

// A box with any button besides OK asks something, and its answer is
// needed now.
int TGatheringPrompts::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    if (!FGathering || (buttons & ~TMsgDlgButtons{mbOK}) != 0) return FShown.MessageDlg(text, type, buttons);
    FGathered.push_back(text);
    return mrOk;
}

void TGatheringPrompts::ShowError(const std::string& text) {
    if (FGathering)
        FGathered.push_back(text);
    else
        FShown.ShowError(text);
}
