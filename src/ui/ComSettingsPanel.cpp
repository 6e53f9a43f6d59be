#include "ui/ComSettingsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

namespace {

const char* const BaudItems[] = {"300 baud",     "600 baud",     "1200 baud",    "2400 baud",
                                 "4800 baud",    "9600 baud",    "19200 baud",   "38400 baud ",
                                 "57600 baud ",  "115200 baud ", "128000 baud ", "172800 baud ",
                                 "230400 baud ", "256000 baud ", "460800 baud ", "921600 baud "};
const char* const FormatItems[] = {"7 bits no parity", "7 bits Even parity", "7 bits Odd parity", "8 bits no parity"};

}  // namespace

TComSettingsPanel::TComSettingsPanel(int line, QWidget* parent) : QWidget(parent), FLine(line) {
    auto* form = new QFormLayout(this);
    EnableBtn = new QCheckBox(QStringLiteral("Enable"), this);
    form->addRow(EnableBtn);
    PortNumber = new QSpinBox(this);
    PortNumber->setRange(1, 255);
    form->addRow(QStringLiteral("Host port"), PortNumber);
    BaudList = new QComboBox(this);
    for (const char* item : BaudItems) BaudList->addItem(QString::fromLatin1(item));
    // No selection at first: the line keeps the rate it has.
    BaudList->setPlaceholderText(QString::fromLatin1(line == 1 ? "38400 baud " : " 9600 baud"));
    form->addRow(QStringLiteral("Baud rate"), BaudList);
    FormatList = new QComboBox(this);
    for (const char* item : FormatItems) FormatList->addItem(QString::fromLatin1(item));
    form->addRow(QStringLiteral("Data format"), FormatList);
    TwoStopBitsBtn = new QCheckBox(QStringLiteral("Two stop bits"), this);
    form->addRow(TwoStopBitsBtn);
    HandShake = new QCheckBox(QStringLiteral("Hardware handshake"), this);
    form->addRow(HandShake);
    if (line == 1) {
        UseTCP = new QCheckBox(QStringLiteral("Use TCP instead of the serial port"), this);
        form->addRow(UseTCP);
        TCPPort = new QLineEdit(this);
        form->addRow(QStringLiteral("TCP port"), TCPPort);
    }
    ShowSettings(TComLineSettings{false, line, -1, 3, false, true}, false, "9999");

    connect(EnableBtn, &QCheckBox::clicked, this, &TComSettingsPanel::EnableClicked);
    connect(PortNumber, &QSpinBox::valueChanged, this, &TComSettingsPanel::SettingsEdited);
    connect(BaudList, &QComboBox::currentIndexChanged, this, &TComSettingsPanel::SettingsEdited);
    connect(FormatList, &QComboBox::currentIndexChanged, this, &TComSettingsPanel::SettingsEdited);
    connect(TwoStopBitsBtn, &QCheckBox::toggled, this, &TComSettingsPanel::SettingsEdited);
    connect(HandShake, &QCheckBox::toggled, this, &TComSettingsPanel::SettingsEdited);
    if (UseTCP) {
        connect(UseTCP, &QCheckBox::toggled, this, &TComSettingsPanel::SettingsEdited);
        connect(TCPPort, &QLineEdit::textEdited, this, &TComSettingsPanel::SettingsEdited);
    }
}

void TComSettingsPanel::ShowSettings(const TComLineSettings& s, bool useTcp, const std::string& tcpPort) {
    QWidget* const settings[] = {PortNumber, BaudList, FormatList, TwoStopBitsBtn, HandShake, UseTCP, TCPPort};
    for (QWidget* control : settings)
        if (control) control->setEnabled(!s.Enabled);
    const QSignalBlocker quietEnable(EnableBtn);
    const QSignalBlocker quietPort(PortNumber);
    const QSignalBlocker quietBaud(BaudList);
    const QSignalBlocker quietFormat(FormatList);
    const QSignalBlocker quietStop(TwoStopBitsBtn);
    const QSignalBlocker quietHand(HandShake);
    EnableBtn->setChecked(s.Enabled);
    PortNumber->setValue(s.PortNumber);
    BaudList->setCurrentIndex(s.BaudIndex >= 0 && s.BaudIndex < BaudList->count() ? s.BaudIndex : -1);
    FormatList->setCurrentIndex(s.FormatIndex >= 0 && s.FormatIndex < FormatList->count() ? s.FormatIndex : -1);
    TwoStopBitsBtn->setChecked(s.TwoStopBits);
    HandShake->setChecked(s.HandShake);
    if (UseTCP) {
        const QSignalBlocker quietTcp(UseTCP);
        UseTCP->setChecked(useTcp);
        TCPPort->setText(QString::fromStdString(tcpPort));
    }
}

void TComSettingsPanel::ReadSettings(TComLineSettings& s, bool& useTcp, std::string& tcpPort) const {
    s.Enabled = EnableBtn->isChecked();
    s.PortNumber = PortNumber->value();
    s.BaudIndex = BaudList->currentIndex();
    s.FormatIndex = FormatList->currentIndex();
    s.TwoStopBits = TwoStopBitsBtn->isChecked();
    s.HandShake = HandShake->isChecked();
    if (UseTCP) {
        useTcp = UseTCP->isChecked();
        tcpPort = TCPPort->text().toStdString();
    }
}
