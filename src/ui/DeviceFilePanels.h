#pragma once
// The Ports page's "Input File" and "Output File" panels: the reader's input
// file with what it does at its end, and the list and punch output file.
// Each enable box shows the window's action, which opens or closes the file;
// the end-of-stream choice edits the machine's settings model, which the
// reader port consults.

#include <QWidget>

class IUiPrompts;
class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QToolButton;
struct TMachineSettings;

class TInputFilePanel : public QWidget {
    Q_OBJECT
public:
    TInputFilePanel(TMachineSettings& settings, QAction& enable, IUiPrompts& prompts, QWidget* parent = nullptr);

    // The end-of-stream choice and console item from the model.
    void ShowSettings();
    // "...": a confirmed file name goes into the edit.
    void InputFileBrowseBtnClick();

    QCheckBox* C_EnableInputFileBtn = nullptr;
    QLineEdit* C_InputFileNameEdit = nullptr;
    QToolButton* InputFileBrowseBtn = nullptr;
    QRadioButton* C_InFileEosDone = nullptr;
    QRadioButton* C_InFileEosReturnEOS = nullptr;
    QRadioButton* C_InFileEosRestart = nullptr;
    QRadioButton* C_InFileEosSwitchCon = nullptr;
    QComboBox* C_InFileChangeConList = nullptr;

private:
    TMachineSettings& FSettings;
    IUiPrompts& FPrompts;
};

class TOutputFilePanel : public QWidget {
    Q_OBJECT
public:
    TOutputFilePanel(QAction& enable, IUiPrompts& prompts, QWidget* parent = nullptr);

    void OutputFileBrowseBtnClick();

    QCheckBox* EnableOutputFileBtn = nullptr;
    QLineEdit* C_OutputFileNameEdit = nullptr;
    QToolButton* OutputFileBrowseBtn = nullptr;
    QCheckBox* C_AppendOutputFileBtn = nullptr;

private:
    IUiPrompts& FPrompts;
};
