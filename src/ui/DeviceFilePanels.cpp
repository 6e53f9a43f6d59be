#include "ui/DeviceFilePanels.h"

#include "machine/MachineSettings.h"
#include "machine/DeviceMapping.h"
#include "platform/QtUiPrompts.h"
#include "platform/UiPrompts.h"
#include "ui/ActionCheckBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The file name row: label, edit and browse button.
QLineEdit* FileNameRow(QVBoxLayout& layout, const char* label, const char* editName, const char* hint,
                       QToolButton*& browse, const char* browseName, QWidget* parent) {
    layout.addWidget(new QLabel(QString::fromLatin1(label), parent));
    auto* row = new QHBoxLayout;
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setToolTip(QString::fromLatin1(hint));
    browse = new QToolButton(parent);
    browse->setObjectName(QString::fromLatin1(browseName));
    browse->setText(QStringLiteral("..."));
    row->addWidget(edit, 1);
    row->addWidget(browse);
    layout.addLayout(row);
    return edit;
}

// Asks for a file name starting from the edit's; a confirmed one goes there.
void BrowseInto(IUiPrompts& prompts, QLineEdit& edit, const char* title, bool mustExist) {
    TFileDialogRequest request;
    request.Title = title;
    request.FileName = PathFromQt(edit.text());
    request.MustExist = mustExist;
    if (prompts.OpenFileDialog(request)) edit.setText(PathToQt(request.FileName));
}

}  // namespace

TInputFilePanel::TInputFilePanel(TMachineSettings& settings, QAction& enable, IUiPrompts& prompts, QWidget* parent)
    : QWidget(parent), FSettings(settings), FPrompts(prompts) {
    auto* layout = new QVBoxLayout(this);
    C_EnableInputFileBtn = new QCheckBox(this);
    C_EnableInputFileBtn->setObjectName(QStringLiteral("C_EnableInputFileBtn"));
    BindCheckBoxToAction(*C_EnableInputFileBtn, enable);
    layout->addWidget(C_EnableInputFileBtn);
    C_InputFileNameEdit =
        FileNameRow(*layout, "Input File Name:", "C_InputFileNameEdit", "File name of input file for reader port",
                    InputFileBrowseBtn, "InputFileBrowseBtn", this);

    auto* group = new QGroupBox(QStringLiteral("[ End of Stream Options ]"), this);
    auto* grid = new QGridLayout(group);
    C_InFileEosDone = new QRadioButton(QStringLiteral("Report nothing to read"), group);
    C_InFileEosReturnEOS = new QRadioButton(QStringLiteral("Return end of stream when read"), group);
    C_InFileEosRestart = new QRadioButton(QStringLiteral("Continue from start of file"), group);
    C_InFileEosSwitchCon = new QRadioButton(QStringLiteral("If CON = BAT switch Console to"), group);
    C_InFileChangeConList = new QComboBox(group);
    C_InFileChangeConList->setObjectName(QStringLiteral("C_InFileChangeConList"));
    for (const char* item : MappingListItems(TMappedDevice::Con))
        C_InFileChangeConList->addItem(QString::fromLatin1(item));
    auto* choices = new QButtonGroup(this);
    int row = 0;
    for (QRadioButton* choice : {C_InFileEosDone, C_InFileEosReturnEOS, C_InFileEosRestart, C_InFileEosSwitchCon}) {
        choices->addButton(choice, row);
        grid->addWidget(choice, row++, 0);
    }
    grid->addWidget(C_InFileChangeConList, 3, 1);
    layout->addWidget(group);
    layout->addStretch();

    connect(InputFileBrowseBtn, &QToolButton::clicked, this, [this] { InputFileBrowseBtnClick(); });
    connect(choices, &QButtonGroup::idClicked, this,
            [this](int id) { FSettings.ReaderEnd = static_cast<TReaderEndOption>(id); });
    connect(C_InFileChangeConList, &QComboBox::currentIndexChanged, this,
            [this](int index) { FSettings.InFileChangeCon = index; });
    ShowSettings();
}

void TInputFilePanel::ShowSettings() {
    QRadioButton* choices[] = {C_InFileEosDone, C_InFileEosReturnEOS, C_InFileEosRestart, C_InFileEosSwitchCon};
    choices[static_cast<size_t>(FSettings.ReaderEnd) & 3]->setChecked(true);
    QSignalBlocker block(C_InFileChangeConList);
    C_InFileChangeConList->setCurrentIndex(FSettings.InFileChangeCon);
}

void TInputFilePanel::InputFileBrowseBtnClick() {
    BrowseInto(FPrompts, *C_InputFileNameEdit, "Select Input File Name", true);
}

TOutputFilePanel::TOutputFilePanel(QAction& enable, IUiPrompts& prompts, QWidget* parent)
    : QWidget(parent), FPrompts(prompts) {
    auto* layout = new QVBoxLayout(this);
    EnableOutputFileBtn = new QCheckBox(this);
    EnableOutputFileBtn->setObjectName(QStringLiteral("EnableOutputFileBtn"));
    BindCheckBoxToAction(*EnableOutputFileBtn, enable);
    layout->addWidget(EnableOutputFileBtn);
    C_OutputFileNameEdit = FileNameRow(*layout, "Output File Name:", "C_OutputFileNameEdit",
                                       "File name of output file for list and punch ports", OutputFileBrowseBtn,
                                       "OutputFileBrowseBtn", this);
    OutputFileBrowseBtn->setToolTip(QStringLiteral("Browse for output file name"));
    C_AppendOutputFileBtn = new QCheckBox(QStringLiteral("Append To Existing File"), this);
    C_AppendOutputFileBtn->setObjectName(QStringLiteral("C_AppendOutputFileBtn"));
    layout->addWidget(C_AppendOutputFileBtn);
    layout->addStretch();
    connect(OutputFileBrowseBtn, &QToolButton::clicked, this, [this] { OutputFileBrowseBtnClick(); });
}

// An output file need not exist yet: the enable creates it.
void TOutputFilePanel::OutputFileBrowseBtnClick() {
    BrowseInto(FPrompts, *C_OutputFileNameEdit, "Select Output File Name", false);
}
