#include "ui/CpuPage.h"

// An empty frame until its controls come.
TCpuPage::TCpuPage(QWidget* parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
}
