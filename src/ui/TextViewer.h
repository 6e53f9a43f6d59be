#pragma once
// "View Text": a read-only window showing a CP/M text file taken from a disk
// image, with a find bar and a status bar giving the caret's line and column
// and the disk image's name. Created once, shown without blocking the main
// window; the search text, options and caret stay between uses.

#include <QWidget>

#include <cstdint>
#include <string>

class IUiPrompts;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

class TTextViewer : public QWidget {
    Q_OBJECT
public:
    explicit TTextViewer(IUiPrompts& prompts, QWidget* parent = nullptr);

    // The text as exported (bytes taken as Latin-1; CR LF ends a line).
    void LoadText(const std::string& bytes);
    // Caption "View [NAME user area: N]" and the image's name without folder
    // and extension in the last status panel.
    void SetFileInfo(const std::string& DiskFile, const std::string& FileName, uint8_t User);
    // Searches on from the end of the selection (or the caret); a match is
    // selected, a miss is reported in an information box.
    bool FindPhrase(const std::string& Phrase, bool MatchCase, bool WholeWord);

    QPlainTextEdit* TextViewer = nullptr;
    QLineEdit* FindTextEdit = nullptr;
    QCheckBox* WholeWordBtn = nullptr;
    QCheckBox* MatchCaseBtn = nullptr;
    QAction* FindNextAct = nullptr;
    QAction* SearchAct = nullptr;
    QLabel* LineValue = nullptr;
    QLabel* ColumnValue = nullptr;
    QLabel* DiskFileValue = nullptr;

    void FindNextActUpdate();
    void FindNextActExecute();
    void SearchActExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The first show centres the window on the main window.
    void showEvent(QShowEvent* event) override;

private:
    void TextViewerSelectionChange();
    void CentreOnMainWindow();

    IUiPrompts& FPrompts;
    bool FPlaced = false;
};
