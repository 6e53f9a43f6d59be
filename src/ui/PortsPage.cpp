#include "ui/PortsPage.h"

#include "ui/ComSettingsPanel.h"

#include <QHBoxLayout>
#include <QTabWidget>

TPortsPage::TPortsPage(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    FLayout = new QHBoxLayout(this);
    DevicePages = new QTabWidget(this);
    Com1Panel = new TComSettingsPanel(1, DevicePages);
    Com2Panel = new TComSettingsPanel(2, DevicePages);
    DevicePages->addTab(Com1Panel, QStringLiteral("Com 1"));
    DevicePages->addTab(Com2Panel, QStringLiteral("Com 2"));
    FLayout->addWidget(DevicePages, 1);
}

void TPortsPage::SetMappingPanel(QWidget* panel) {
    panel->setParent(this);
    FLayout->insertWidget(0, panel);
}

void TPortsPage::AddDevicePanel(QWidget* panel, const QString& caption) { DevicePages->addTab(panel, caption); }
