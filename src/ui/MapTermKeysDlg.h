#pragma once
// "Map Terminal Keys": the dialog in which the user edits the TTY console's
// key mappings. It works on the key map object the main window owns, so a
// change made with "Update" takes effect for the console at once; the file
// is rewritten whenever the dialog closes.

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class IUiPrompts;
class TMapTermKeys;

class TMapTermKeysDlg : public QDialog {
    Q_OBJECT
public:
    // prompts reports a failed save; it may be null.
    explicit TMapTermKeysDlg(TMapTermKeys& keys, IUiPrompts* prompts = nullptr, QWidget* parent = nullptr);

    // Index of the selected key state (0 Normal, 1 Shift, 2 Ctrl).
    int GetKeyState() const;
    // Rebuilds the 23 rows and measures row height and caption column.
    void FillKeyList();
    int CaptionWidth() const { return FCaptionWidth; }
    int ItemHeight() const { return FItemHeight; }

    // Closing in any way saves the key map.
    void done(int result) override;

    QListWidget* ListBox1 = nullptr;
    QWidget* Panel1 = nullptr;
    QGroupBox* KeyState = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;

private:
    friend class TMapTermKeysItemPainter;

    void ListBox1Click();
    void KeyStateClick();
    void Button1Click();
    bool FormCloseQuery();

    TMapTermKeys& FKeys;
    IUiPrompts* FPrompts;
    QButtonGroup* FStateButtons = nullptr;
    int FCaptionWidth = 0;
    int FItemHeight = 0;
};
