#pragma once
// Stand-in for the user in tests: records every prompt in order and answers
// from queues prepared by the test. A question without a prepared answer is
// answered as if the user cancelled it (message boxes: their first button).

#include "platform/UiPrompts.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

class TScriptedUiPrompts : public IUiPrompts {
public:
    enum class TKind : uint8_t { Message, Dialog, Error, OpenFile, SaveFile, Input, OpenFiles, Folder, Color, Font };

    struct TRecord {
        TKind Kind;
        std::string Text;  // message text, dialog title or input prompt
        TMsgDlgType Type = TMsgDlgType::Custom;
        TFileDialogRequest File;  // the dialog as it was shown (file kinds)
    };

    std::vector<TRecord> Log;
    std::deque<int> DialogAnswers;
    std::deque<std::optional<std::string>> FileAnswers;
    std::deque<std::optional<std::string>> InputAnswers;
    std::deque<std::optional<uint32_t>> ColorAnswers;
    std::deque<std::optional<TFontChoice>> FontAnswers;
    // The colour and font each dialog started from, in order.
    std::vector<uint32_t> ColorsShown;
    std::vector<TFontChoice> FontsShown;
    int Beeps = 0;
    // Answers of the several-files dialog and of the folder chooser.
    std::deque<std::optional<std::vector<std::string>>> FilesAnswers;
    std::deque<std::optional<std::string>> FolderAnswers;

    void ShowMessage(const std::string& text) override;
    int MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
    void ShowError(const std::string& text) override;
    bool OpenFileDialog(TFileDialogRequest& request) override;
    bool SaveFileDialog(TFileDialogRequest& request) override;
    bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    bool ChooseColor(TColor& color) override;
    bool ChooseFont(TFontChoice& font, bool fixedPitch) override;
    void Beep() override { ++Beeps; }
    bool OpenFilesDialog(TFileDialogRequest& request, std::vector<std::string>& files) override;
    bool SelectDirectory(const std::string& caption, std::string& folder) override;

    // Texts of the boxes shown (messages, dialogs and errors), in order.
    std::vector<std::string> Texts() const;
    // Text of the last box, empty when none was shown.
    std::string LastText() const;
    void Clear() {
        Log.clear();
        Beeps = 0;
    }

private:
    template <typename T>
    static bool Answer(std::deque<std::optional<T>>& answers, T& value) {
        if (answers.empty()) return false;
        std::optional<T> answer = answers.front();
        answers.pop_front();
        if (answer) value = *answer;
        return answer.has_value();
    }
    bool AnswerFile(TKind kind, TFileDialogRequest& request);
};
