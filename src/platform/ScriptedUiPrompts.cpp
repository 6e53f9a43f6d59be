#include "platform/ScriptedUiPrompts.h"

namespace {

// The next prepared answer into out; false when none is left or it is a cancel.
template <class T>
bool NextAnswer(std::deque<std::optional<T>>& answers, T& out) {
    if (answers.empty()) return false;
    std::optional<T> answer = std::move(answers.front());
    answers.pop_front();
    if (!answer) return false;
    out = std::move(*answer);
    return true;
}

}  // namespace

void TScriptedUiPrompts::ShowMessage(const std::string& text) {
    Log.push_back({TKind::Message, text, TMsgDlgType::Custom, {}});
}

int TScriptedUiPrompts::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    Log.push_back({TKind::Dialog, text, type, {}});
    if (!DialogAnswers.empty()) {
        int answer = DialogAnswers.front();
        DialogAnswers.pop_front();
        return answer;
    }
    // The first button of the set, as a user pressing Enter would choose.
    static const std::pair<TMsgDlgBtn, int> order[] = {{mbYes, mrYes},       {mbNo, mrNo},       {mbOK, mrOk},
                                                       {mbCancel, mrCancel}, {mbAbort, mrAbort}, {mbRetry, mrRetry},
                                                       {mbIgnore, mrIgnore}, {mbAll, mrAll}};
    for (const auto& [button, result] : order)
        if (buttons & button) return result;
    return mrNone;
}

void TScriptedUiPrompts::ShowError(const std::string& text) {
    Log.push_back({TKind::Error, text, TMsgDlgType::Error, {}});
}

bool TScriptedUiPrompts::AnswerFile(TKind kind, TFileDialogRequest& request) {
    Log.push_back({kind, request.Title, TMsgDlgType::Custom, request});
    return NextAnswer(FileAnswers, request.FileName);
}

bool TScriptedUiPrompts::OpenFileDialog(TFileDialogRequest& request) { return AnswerFile(TKind::OpenFile, request); }

bool TScriptedUiPrompts::SaveFileDialog(TFileDialogRequest& request) { return AnswerFile(TKind::SaveFile, request); }

bool TScriptedUiPrompts::InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    TFileDialogRequest shown;
    shown.Title = caption;
    Log.push_back({TKind::Input, prompt, TMsgDlgType::Custom, shown});
    return NextAnswer(InputAnswers, value);
}

bool TScriptedUiPrompts::OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) {
    Log.push_back({TKind::OpenFiles, request.Title, TMsgDlgType::Custom, request});
    return NextAnswer(FilesAnswers, files);
}

bool TScriptedUiPrompts::SelectDirectory(const std::string& caption, std::string& folder) {
    TFileDialogRequest shown;
    shown.Title = caption;
    shown.InitialDir = folder;
    Log.push_back({TKind::Folder, caption, TMsgDlgType::Custom, shown});
    return NextAnswer(FolderAnswers, folder);
}

bool TScriptedUiPrompts::ChooseColor(TColor& color) {
    Log.push_back({TKind::Color, {}, TMsgDlgType::Custom, {}});
    ColorsShown.push_back(color);
    return Answer(ColorAnswers, color);
}

bool TScriptedUiPrompts::ChooseFont(TFontChoice& font, bool fixedPitch) {
    Log.push_back({TKind::Font, fixedPitch ? "fixed pitch" : "", TMsgDlgType::Custom, {}});
    FontsShown.push_back(font);
    return Answer(FontAnswers, font);
}

std::vector<std::string> TScriptedUiPrompts::Texts() const {
    std::vector<std::string> texts;
    for (const TRecord& r : Log)
        if (r.Kind == TKind::Message || r.Kind == TKind::Dialog || r.Kind == TKind::Error) texts.push_back(r.Text);
    return texts;
}

std::string TScriptedUiPrompts::LastText() const {
    std::vector<std::string> texts = Texts();
    return texts.empty() ? std::string() : texts.back();
}
