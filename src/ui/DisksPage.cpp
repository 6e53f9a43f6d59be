// The Disks page's widgets and the file choices behind its buttons.

#include "ui/DisksPage.h"

#include "machine/ConfigObject.h"
#include "machine/TavrinMachine.h"
#include "platform/QtUiPrompts.h"
#include "ui/QnStatLt.h"

#include <QAction>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr char DriveLetters[] = "ABCD";

} // namespace

TDisksPage::TDisksPage(TTavrinMachine& machine, IUiPrompts& prompts, const TDisksPageActions& actions,
                       QWidget* parent)
    : QWidget(parent), FMachine(machine), FPrompts(prompts), FActions(actions)
{
    auto* layout = new QVBoxLayout(this);
    auto* images = new QFormLayout();
    C_CpmSourceFile = new QLineEdit(PathToQt(FMachine.Settings.CpmSourceFile), this);
    C_BiosSourceFile = new QLineEdit(PathToQt(FMachine.Settings.BiosSourceFile), this);
    connect(C_CpmSourceFile, &QLineEdit::textChanged, this,
            [this](const QString& t) { FMachine.Settings.CpmSourceFile = PathFromQt(t); });
    connect(C_BiosSourceFile, &QLineEdit::textChanged, this,
            [this](const QString& t) { FMachine.Settings.BiosSourceFile = PathFromQt(t); });
    auto row = [this](QLineEdit* edit, QAction* action) {
        auto* box = new QHBoxLayout();
        box->addWidget(edit);
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        box->addWidget(button);
        return box;
    };
    images->addRow(QStringLiteral("CP/M image:"), row(C_CpmSourceFile, FActions.SelectCpmImage));
    images->addRow(QStringLiteral("BIOS image:"), row(C_BiosSourceFile, FActions.SelectBiosImage));
    layout->addLayout(images);

    auto* drives = new QGridLayout();
    for (int d = 0; d < 4; ++d) {
        DiskLights[d] = new TQnStatusLight(this);
        DiskLights[d]->setObjectName(QStringLiteral("Disk%1Light").arg(QChar(DriveLetters[d])));
        DiskCaptions[d] = new QLabel(this);
        auto* button = new QToolButton(this);
        button->setDefaultAction(FActions.ChangeDrive[d]);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        drives->addWidget(new QLabel(QString(QChar(DriveLetters[d])) + QStringLiteral(":"), this), d, 0);
        drives->addWidget(DiskLights[d], d, 1);
        drives->addWidget(DiskCaptions[d], d, 2);
        drives->addWidget(button, d, 3);
    }
    drives->setColumnStretch(2, 1);
    layout->addLayout(drives);
    auto* boot = new QPushButton(this);
    connect(boot, &QPushButton::clicked, FActions.Boot, &QAction::trigger);
    boot->setText(FActions.Boot->text());
    layout->addWidget(boot);
    layout->addStretch(1);
}

void TDisksPage::AddPanel(QWidget* panel)
{
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->count() - 1, panel);  // above the closing stretch
}

void TDisksPage::ShowDrive(uint8_t drive)
{
    if (drive > 3)
        return;
    const std::string caption = FMachine.DriveCaption(drive);
    DiskCaptions[drive]->setText(QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
    const bool mounted = FMachine.DriveMounted(drive);
    QAction* action = FActions.ChangeDrive[drive];
    action->setText(QString::fromLatin1(mounted ? "Change " : "Insert ") + QChar(DriveLetters[drive]) + QChar(':'));
    action->setProperty("ImageIndex", mounted ? 7 : 4);
    ShowLamp(drive);
}

void TDisksPage::ShowLamp(uint8_t drive)
{
    if (drive > 3)
        return;
    const TDriveLamp& lamp = FMachine.Lamp(drive);
    TQnStatusLight& light = *DiskLights[drive];
    light.SetLitColor(lamp.LitColor);
    light.SetNotLitColor(lamp.NotLitColor);
    light.SetLit(lamp.Lit);
}

void TDisksPage::SelectImageName(const char* title, QLineEdit& edit, const std::string& initialDir)
{
    TFileDialogRequest dialog;
    dialog.Title = title;
    dialog.Filter = "Hex Files|*.hex|All Files|*.*";
    dialog.DefaultExt = "hex";
    dialog.InitialDir = initialDir;
    std::string text = PathFromQt(edit.text());
    dialog.FileName = text.empty() ? "*.hex" : text;
    if (FPrompts.OpenFileDialog(dialog))
        edit.setText(PathToQt(dialog.FileName));
}

void TDisksPage::SelectCpmImageName(const std::string& initialDir)
{
    SelectImageName("Select CPM Hex File To Load", *C_CpmSourceFile, initialDir);
}

void TDisksPage::SelectBiosImageName(const std::string& initialDir)
{
    SelectImageName("Select BIOS Hex File To Load", *C_BiosSourceFile, initialDir);
}

void TDisksPage::ChangeDrive(uint8_t drive, const std::string& initialDir)
{
    TFileDialogRequest dialog;
    dialog.Title = std::string("Select Drive ") + DriveLetters[drive & 3] + " Disk";
    dialog.Filter = "Emulator Disk Files|*.cpmdsk|All Files|*.*";
    dialog.DefaultExt = "cpmdsk";
    dialog.InitialDir = initialDir;
    dialog.MustExist = true;
    if (!FPrompts.OpenFileDialog(dialog))
        return;
    try {
        FMachine.MountDrive(drive, dialog.FileName);
        FMachine.FDrivePaths[drive] = dialog.FileName;
    } catch (...) {
        FMachine.FDrivePaths[drive].clear();
        throw;
    }
}

void TDisksPage::LoadSettings(const TNrKeyValueSections& store)
{
    const TMachineSettings& s = FMachine.Settings;
    C_CpmSourceFile->setText(PathToQt(store.ReadString("DISKS", "CpmSourceFile", s.CpmSourceFile)));
    C_BiosSourceFile->setText(PathToQt(store.ReadString("DISKS", "BiosSourceFile", s.BiosSourceFile)));
}

void TDisksPage::SaveSettings(TNrKeyValueSections& store) const
{
    store.WriteString("DISKS", "CpmSourceFile", FMachine.Settings.CpmSourceFile);
    store.WriteString("DISKS", "BiosSourceFile", FMachine.Settings.BiosSourceFile);
}
