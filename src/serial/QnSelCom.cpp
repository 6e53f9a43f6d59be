#include "serial/QnSelCom.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "serial/QnComNames.h"

TComSelectForm::TComSelectForm(QWidget* parent, TPortLister lister) : QDialog(parent) {
    setWindowTitle("Select Port");
    setModal(true);
    setSizeGripEnabled(false);
    Label1 = new QLabel("The configured serial port is not valid.", this);
    Label2 = new QLabel("Please choose another port.", this);
    PortsComboBox = new QComboBox(this);
    PortsComboBox->setObjectName("PortsComboBox");
    OkButton = new QPushButton("OK", this);
    CancelButton = new QPushButton("Cancel", this);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(PortsComboBox);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    const std::vector<int> ports = lister ? lister() : AvailablePortNumbers();
    for (int n : ports) PortsComboBox->addItem(QString::fromStdString(ComName(n)));
    if (PortsComboBox->count() > 0) PortsComboBox->setCurrentIndex(0);
}

int TComSelectForm::SelectedPortNumber() const {
    bool ok = false;
    const int number = PortsComboBox->currentText().mid(3).toInt(&ok);
    return ok ? number : 0;
}

int PromptForPortNumber() {
    TComSelectForm form;
    return form.exec() == QDialog::Accepted ? form.SelectedPortNumber() : 0;
}
