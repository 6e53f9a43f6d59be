#include "ui/DiskManagerPage.h"

// An empty frame until its controls come.
TDiskManagerPage::TDiskManagerPage(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}
