#include "ui/PortsPage.h"

// An empty frame until its controls come.
TPortsPage::TPortsPage(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}
