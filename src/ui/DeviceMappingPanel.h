#pragma once
// The Ports page's "Device Mapping" panel: which device serves CON, LST, RDR
// and PUN, the two buttons that store and restore the cold-boot mapping, and
// the labels that show it. The panel edits the machine's TDeviceMapping and
// redraws whenever the model changes (the reader may switch the console).

#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class TDeviceMapping;

class TDeviceMappingPanel : public QWidget {
    Q_OBJECT
public:
    explicit TDeviceMappingPanel(TDeviceMapping& mapping, QWidget* parent = nullptr);

    // The lists and the default labels from the model, without edit signals.
    void ShowMapping();

    QComboBox* C_CpmConsolePortId = nullptr;
    QComboBox* C_CpmListPortId = nullptr;
    QComboBox* C_CpmReaderPortId = nullptr;
    QComboBox* C_CpmPunchPortId = nullptr;
    QPushButton* SetDefaultMappingsBtn = nullptr;
    QPushButton* UseDefaultDeviceMappings = nullptr;
    QLabel* ConLstDeviceLabel = nullptr;
    QLabel* PtrPtpDeviceLabel = nullptr;

private:
    TDeviceMapping& FMapping;
    // The lists in the model's field order: CON, RDR, PUN, LST.
    std::array<QComboBox*, 4> FLists{};
};
