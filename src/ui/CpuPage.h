#pragma once
// The "CPU" page: the memory grid, the register and flag panel, the break
// points and the tool bar that steers the processor come here.

#include <QFrame>

class TCpuPage : public QFrame {
    Q_OBJECT
public:
    explicit TCpuPage(QWidget* parent = nullptr);
};
