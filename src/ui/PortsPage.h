#pragma once
// The "Ports" page: the device mapping, the serial lines, the printer and the
// file reader and writer settings come here. The serial lines' panels are
// in place: "Com 1" and "Com 2" on the page's device tabs.

#include <QFrame>

class QTabWidget;
class TComSettingsPanel;

class TPortsPage : public QFrame {
    Q_OBJECT
public:
    explicit TPortsPage(QWidget* parent = nullptr);

    QTabWidget* DevicePages = nullptr;
    TComSettingsPanel* Com1Panel = nullptr;
    TComSettingsPanel* Com2Panel = nullptr;
};
