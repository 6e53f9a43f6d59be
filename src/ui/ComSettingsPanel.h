#pragma once
// The settings of one serial line ("Com 1" or "Com 2" on the Ports page):
// enable, host port number, baud and data-format lists, stop bits, hardware
// handshake and, for COM1 only, the TCP server choice and its port. The
// panel edits a TComLineSettings model; while the line is enabled its
// settings controls are locked.

#include <QWidget>

#include <string>

#include "machine/MachineSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class TComSettingsPanel : public QWidget {
    Q_OBJECT
public:
    // line: 1 or 2; only line 1 has the TCP controls.
    explicit TComSettingsPanel(int line, QWidget* parent = nullptr);

    QCheckBox* EnableBtn = nullptr;
    QSpinBox* PortNumber = nullptr;
    QComboBox* BaudList = nullptr;
    QComboBox* FormatList = nullptr;
    QCheckBox* TwoStopBitsBtn = nullptr;
    QCheckBox* HandShake = nullptr;
    QCheckBox* UseTCP = nullptr;   // null on line 2
    QLineEdit* TCPPort = nullptr;  // null on line 2

    // Shows the model without firing the edit signals; locks the settings
    // controls while the line is enabled.
    void ShowSettings(const TComLineSettings& line, bool useTcp, const std::string& tcpPort);
    // The controls into the model (the TCP values only on line 1).
    void ReadSettings(TComLineSettings& line, bool& useTcp, std::string& tcpPort) const;

signals:
    // The user clicked the enable box.
    void EnableClicked();
    // The user changed a settings control.
    void SettingsEdited();

private:
    int FLine;
};
