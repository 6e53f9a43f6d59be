#pragma once
// The "Ports" page: the device mapping on the left; on the right one tab per
// device: "Com 1" and "Com 2" (the page's own serial-line panels), then
// "Printer", "Input File" and "Output File", which the window builds on its
// models and actions and places here.

#include <QFrame>

class QHBoxLayout;
class QTabWidget;
class TComSettingsPanel;

class TPortsPage : public QFrame {
    Q_OBJECT
public:
    explicit TPortsPage(QWidget* parent = nullptr);

    // The "Device Mapping" panel, left of the device tabs.
    void SetMappingPanel(QWidget* panel);
    // A device tab after those already there.
    void AddDevicePanel(QWidget* panel, const QString& caption);

    QTabWidget* DevicePages = nullptr;
    TComSettingsPanel* Com1Panel = nullptr;
    TComSettingsPanel* Com2Panel = nullptr;

private:
    QHBoxLayout* FLayout = nullptr;
};
