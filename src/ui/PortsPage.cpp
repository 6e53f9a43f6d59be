#include "ui/PortsPage.h"

#include <QHBoxLayout>
#include <QTabWidget>

TPortsPage::TPortsPage(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    FLayout = new QHBoxLayout(this);
    DevicePages = new QTabWidget(this);
    FLayout->addWidget(DevicePages, 1);
}

void TPortsPage::SetMappingPanel(QWidget* panel)
{
    panel->setParent(this);
    FLayout->insertWidget(0, panel);
}

void TPortsPage::AddDevicePanel(QWidget* panel, const QString& caption)
{
    DevicePages->addTab(panel, caption);
}
