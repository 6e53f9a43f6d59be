// The Disks page's widgets and the file choices behind its buttons.

#include "ui/DisksPage.h"

#include "platform/core/ConfigObject.h"
#include "platform/core/HostTextLimits.h"
#include "machine/TavrinMachine.h"
#include "platform/QtUiPrompts.h"
#include "ui/PathLabel.h"
#include "ui/QnStatLt.h"

#include <QAction>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr char DriveLetters[] = "ABCD";
constexpr int ButtonColumn = 3;
constexpr int FirstDriveRow = 3;

}  // namespace

TDisksPage::TDisksPage(TTavrinMachine& machine, IUiPrompts& prompts, const TDisksPageActions& actions, QWidget* parent)
    : QWidget(parent), FMachine(machine), FPrompts(prompts), FActions(actions) {
    C_CpmSourceFile = new QLineEdit(PathToQt(FMachine.Settings().CpmSourceFile), this);
    C_BiosSourceFile = new QLineEdit(PathToQt(FMachine.Settings().BiosSourceFile), this);
    connect(C_CpmSourceFile, &QLineEdit::textChanged, this,
            [this](const QString& t) { FMachine.Settings().CpmSourceFile = PathFromQt(t); });
    connect(C_BiosSourceFile, &QLineEdit::textChanged, this,
            [this](const QString& t) { FMachine.Settings().BiosSourceFile = PathFromQt(t); });

    // One grid: names in column 0, lamps in 1, the edits and captions share
    // column 2 and so end at one place, and every button fills column 3.
    auto* grid = new QGridLayout();
    grid->setColumnStretch(2, 1);
    auto addButton = [this, grid](QAction* action, int row) {
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        grid->addWidget(button, row, ButtonColumn);
        return button;
    };
    grid->addWidget(new QLabel(QStringLiteral("CP/M image:"), this), 0, 0, 1, 2);
    grid->addWidget(C_CpmSourceFile, 0, 2);
    addButton(FActions.SelectCpmImage, 0);
    grid->addWidget(new QLabel(QStringLiteral("BIOS image:"), this), 1, 0, 1, 2);
    grid->addWidget(C_BiosSourceFile, 1, 2);
    addButton(FActions.SelectBiosImage, 1);
    grid->setRowMinimumHeight(2, fontMetrics().height());

    int widestButton = 0;
    for (int d = 0; d < 4; ++d) {
        const int row = FirstDriveRow + d;
        DiskLights[d] = new TQnStatusLight(this);
        DiskLights[d]->setObjectName(QStringLiteral("Disk%1Light").arg(QChar(DriveLetters[d])));
        DiskCaptions[d] = new TPathLabel(this);
        grid->addWidget(new QLabel(QString(QChar(DriveLetters[d])) + QStringLiteral(":"), this), row, 0);
        grid->addWidget(DiskLights[d], row, 1);
        grid->addWidget(DiskCaptions[d], row, 2);
        QToolButton* button = addButton(FActions.ChangeDrive[d], row);
        // The column keeps its width when "Insert" becomes "Change".
        const QString shown = button->text();
        button->setText(QStringLiteral("Change ") + QChar(DriveLetters[d]) + QChar(':'));
        widestButton = std::max(widestButton, button->sizeHint().width());
        button->setText(shown);
    }
    grid->setColumnMinimumWidth(ButtonColumn, widestButton);

    auto* boot = new QPushButton(FActions.Boot->text(), this);
    boot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(boot, &QPushButton::clicked, FActions.Boot, &QAction::trigger);
    grid->addWidget(boot, FirstDriveRow + 4, ButtonColumn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
}

void TDisksPage::AddPanel(QWidget* panel) {
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->count() - 1, panel);  // above the closing stretch
}

// Caption, lamp and button follow the controller: a drive it holds no image
// in is empty whatever happened to it (a failed mount, an image that vanished
// from the host and was dropped by a reset).
void TDisksPage::ShowDrive(uint8_t drive) {
    if (drive > 3) return;
    const bool mounted = FMachine.DriveMounted(drive);
    DiskCaptions[drive]->setText(mounted ? DisplayText(FMachine.DriveCaption(drive)) : QStringLiteral("(no disk)"));
    DiskCaptions[drive]->setToolTip(mounted ? DisplayText(FMachine.DrivePath(drive)) : QString());
    QAction* action = FActions.ChangeDrive[drive];
    action->setText(QString::fromLatin1(mounted ? "Change " : "Insert ") + QChar(DriveLetters[drive]) + QChar(':'));
    action->setProperty("ImageIndex", mounted ? 7 : 4);
    ShowLamp(drive);
}

void TDisksPage::ShowLamp(uint8_t drive) {
    if (drive > 3) return;
    const TDriveLamp& lamp = FMachine.Lamp(drive);
    // An empty drive's lamp is grey and dark, whatever it showed before.
    const bool mounted = FMachine.DriveMounted(drive);
    TQnStatusLight& light = *DiskLights[drive];
    light.SetLitColor(lamp.LitColor);
    light.SetNotLitColor(mounted ? LampMountedColor : LampEmptyColor);
    light.SetLit(mounted && lamp.Lit);
}

void TDisksPage::SelectImageName(const char* title, QLineEdit& edit, const std::string& initialDir) {
    TFileDialogRequest dialog;
    dialog.Title = title;
    dialog.Filter = "Hex Files|*.hex|All Files|*.*";
    dialog.DefaultExt = "hex";
    dialog.InitialDir = initialDir;
    std::string text = PathFromQt(edit.text());
    dialog.FileName = text.empty() ? "*.hex" : text;
    if (FPrompts.OpenFileDialog(dialog)) edit.setText(PathToQt(dialog.FileName));
}

void TDisksPage::SelectCpmImageName(const std::string& initialDir) {
    SelectImageName("Select CPM Hex File To Load", *C_CpmSourceFile, initialDir);
}

void TDisksPage::SelectBiosImageName(const std::string& initialDir) {
    SelectImageName("Select BIOS Hex File To Load", *C_BiosSourceFile, initialDir);
}

void TDisksPage::ChangeDrive(uint8_t drive, const std::string& initialDir) {
    TFileDialogRequest dialog;
    dialog.Title = std::string("Select Drive ") + DriveLetters[drive & 3] + " Disk";
    dialog.Filter = "Emulator Disk Files|*.cpmdsk|All Files|*.*";
    dialog.DefaultExt = "cpmdsk";
    dialog.InitialDir = initialDir;
    dialog.MustExist = true;
    if (!FPrompts.OpenFileDialog(dialog)) return;
    FMachine.MountDrive(drive, dialog.FileName);
}

void TDisksPage::LoadSettings(const TNrKeyValueSections& store) {
    const TMachineSettings& s = FMachine.Settings();
    C_CpmSourceFile->setText(PathToQt(store.ReadString("DISKS", "CpmSourceFile", s.CpmSourceFile, MaxHostPathLength)));
    C_BiosSourceFile->setText(
        PathToQt(store.ReadString("DISKS", "BiosSourceFile", s.BiosSourceFile, MaxHostPathLength)));
}

void TDisksPage::SaveSettings(TNrKeyValueSections& store) const {
    store.WriteString("DISKS", "CpmSourceFile", FMachine.Settings().CpmSourceFile);
    store.WriteString("DISKS", "BiosSourceFile", FMachine.Settings().BiosSourceFile);
}
