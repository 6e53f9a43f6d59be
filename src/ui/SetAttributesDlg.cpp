#include "ui/SetAttributesDlg.h"

#include "disk/CpmDiskDrive.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

std::string AppendMissingChar(const std::string& S, char C) {
    if (S.empty() || S.back() == C) return S;
    return S + C;
}

void TAttributeCheckBox::nextCheckState() {
    if (!isTristate()) {
        QCheckBox::nextCheckState();
        return;
    }
    switch (checkState()) {
        case Qt::PartiallyChecked:
            setCheckState(Qt::Unchecked);
            break;
        case Qt::Unchecked:
            setCheckState(Qt::Checked);
            break;
        case Qt::Checked:
            setCheckState(Qt::PartiallyChecked);
            break;
    }
}

TSetAttributesDlg::TSetAttributesDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Set File Attributes"));
    auto* layout = new QVBoxLayout(this);
    auto* target = new QHBoxLayout();
    target->addWidget(new QLabel(QStringLiteral("Set File Attributes On:"), this));
    Label2 = new QLabel(QStringLiteral("(none)"), this);
    target->addWidget(Label2, 1);
    layout->addLayout(target);

    auto* boxes = new QHBoxLayout();
    SysFile = new TAttributeCheckBox(QStringLiteral("System File"), this);
    ArcFile = new TAttributeCheckBox(QStringLiteral("Achived File"), this);
    ReadFile = new TAttributeCheckBox(QStringLiteral("Read Only FIle"), this);
    for (QCheckBox* box :
         {static_cast<QCheckBox*>(SysFile), static_cast<QCheckBox*>(ArcFile), static_cast<QCheckBox*>(ReadFile)})
        boxes->addWidget(box);
    layout->addLayout(boxes);

    auto* user = new QHBoxLayout();
    user->addWidget(new QLabel(QStringLiteral("User Area:"), this));
    UserAreaList = new QComboBox(this);
    UserAreaList->addItem(QStringLiteral("No Change"), NoChangeUser);
    for (int u = 0; u <= CpmMaxUser; ++u) UserAreaList->addItem(QStringLiteral("User %1").arg(u), u);
    user->addWidget(UserAreaList, 1);
    layout->addLayout(user);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(330, 145);
}

void TSetAttributesDlg::SetAttributes(uint8_t Attributes, uint8_t Unchanged, uint8_t User, bool Multi) {
    FMultiSelection = Multi;
    const std::pair<QCheckBox*, uint8_t> boxes[] = {
        {ReadFile, CpmAttrReadOnly}, {SysFile, CpmAttrSystem}, {ArcFile, CpmAttrArchive}};
    for (const auto& [box, bit] : boxes) {
        const bool grayed = Multi && (Unchanged & bit);
        box->setTristate(grayed);
        box->setCheckState(grayed ? Qt::PartiallyChecked : (Attributes & bit) ? Qt::Checked : Qt::Unchecked);
    }
    const int index = UserAreaList->findData(static_cast<int>(User));
    UserAreaList->setCurrentIndex(index >= 0 ? index : 0);
}

void TSetAttributesDlg::GetAttributes(uint8_t& Attributes, uint8_t& Unchanged) const {
    Attributes = 0;
    Unchanged = 0;
    const std::pair<const QCheckBox*, uint8_t> boxes[] = {
        {ReadFile, CpmAttrReadOnly}, {SysFile, CpmAttrSystem}, {ArcFile, CpmAttrArchive}};
    for (const auto& [box, bit] : boxes) {
        if (box->checkState() == Qt::Checked)
            Attributes |= bit;
        else if (FMultiSelection && box->checkState() == Qt::PartiallyChecked)
            Unchanged |= bit;
    }
}

uint8_t TSetAttributesDlg::GetUserArea() const {
    if (UserAreaList->currentIndex() < 0) return NoChangeUser;
    return static_cast<uint8_t>(UserAreaList->currentData().toInt());
}
