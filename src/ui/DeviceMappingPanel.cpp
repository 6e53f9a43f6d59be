#include "ui/DeviceMappingPanel.h"

#include "machine/DeviceMapping.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TDeviceMappingPanel::TDeviceMappingPanel(TDeviceMapping& mapping, QWidget* parent)
    : QWidget(parent), FMapping(mapping) {
    setObjectName(QStringLiteral("Panel1"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Device Mapping"), this);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    layout->addWidget(heading);

    // Shown top to bottom as CON, LST, RDR, PUN.
    struct TListSpec {
        TMappedDevice Device;
        const char* Name;
        const char* Label;
        QComboBox** Field;
    };
    const TListSpec specs[] = {
        {TMappedDevice::Con, "C_CpmConsolePortId", "Console Device (CON)", &C_CpmConsolePortId},
        {TMappedDevice::Lst, "C_CpmListPortId", "List Device (LST)", &C_CpmListPortId},
        {TMappedDevice::Rdr, "C_CpmReaderPortId", "Reader Device (RDR)", &C_CpmReaderPortId},
        {TMappedDevice::Pun, "C_CpmPunchPortId", "Punch Device (PUN)", &C_CpmPunchPortId},
    };
    for (const TListSpec& spec : specs) {
        auto* list = new QComboBox(this);
        list->setObjectName(QString::fromLatin1(spec.Name));
        for (const char* item : MappingListItems(spec.Device)) list->addItem(QString::fromLatin1(item));
        layout->addWidget(new QLabel(QString::fromLatin1(spec.Label), this));
        layout->addWidget(list);
        *spec.Field = list;
        FLists[static_cast<size_t>(spec.Device)] = list;
        const TMappedDevice device = spec.Device;
        connect(list, &QComboBox::currentIndexChanged, this,
                [this, device](int index) { FMapping.SetItemIndex(device, index); });
    }

    auto* buttons = new QHBoxLayout;
    SetDefaultMappingsBtn = new QPushButton(QStringLiteral("Set Defaults"), this);
    SetDefaultMappingsBtn->setObjectName(QStringLiteral("SetDefaultMappingsBtn"));
    SetDefaultMappingsBtn->setToolTip(QStringLiteral("Use current device mappings on cold boot"));
    UseDefaultDeviceMappings = new QPushButton(QStringLiteral("Defaults"), this);
    UseDefaultDeviceMappings->setObjectName(QStringLiteral("UseDefaultDeviceMappings"));
    UseDefaultDeviceMappings->setToolTip(QStringLiteral("Set device mappings to default cold boot mappings"));
    buttons->addWidget(SetDefaultMappingsBtn);
    buttons->addWidget(UseDefaultDeviceMappings);
    layout->addLayout(buttons);
    connect(SetDefaultMappingsBtn, &QPushButton::clicked, this, [this] { FMapping.SetDefaults(); });
    connect(UseDefaultDeviceMappings, &QPushButton::clicked, this, [this] { FMapping.RestoreDefaults(); });

    auto* defaults = new QGroupBox(QStringLiteral("[ Defaults ]"), this);
    auto* defaultsLayout = new QVBoxLayout(defaults);
    ConLstDeviceLabel = new QLabel(defaults);
    PtrPtpDeviceLabel = new QLabel(defaults);
    defaultsLayout->addWidget(ConLstDeviceLabel);
    defaultsLayout->addWidget(PtrPtpDeviceLabel);
    layout->addWidget(defaults);
    layout->addStretch();

    FMapping.OnChanged = [this](TDeviceMapping&) { ShowMapping(); };
    ShowMapping();
}

void TDeviceMappingPanel::ShowMapping() {
    for (size_t i = 0; i < FLists.size(); ++i) {
        QSignalBlocker block(FLists[i]);
        FLists[i]->setCurrentIndex(FMapping.ItemIndex(static_cast<TMappedDevice>(i)));
    }
    ConLstDeviceLabel->setText(QString::fromStdString(FMapping.ConLstDeviceLabel()));
    PtrPtpDeviceLabel->setText(QString::fromStdString(FMapping.PtrPtpDeviceLabel()));
}
