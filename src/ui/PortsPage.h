#pragma once
// The "Ports" page: the device mapping on the left; on the right one tab per
// device ("Com 1", "Com 2", "Printer", "Input File", "Output File"). The
// window builds each panel on its models and actions and places it here.

#include <QFrame>

class QHBoxLayout;
class QTabWidget;

class TPortsPage : public QFrame {
    Q_OBJECT
public:
    explicit TPortsPage(QWidget* parent = nullptr);

    // The "Device Mapping" panel, left of the device tabs.
    void SetMappingPanel(QWidget* panel);
    // A device tab after those already there.
    void AddDevicePanel(QWidget* panel, const QString& caption);

    QTabWidget* DevicePages = nullptr;

private:
    QHBoxLayout* FLayout = nullptr;
};
