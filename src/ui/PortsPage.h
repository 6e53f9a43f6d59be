#pragma once
// The "Ports" page: the device mapping, the serial lines, the printer and the
// file reader and writer settings come here.

#include <QFrame>

class TPortsPage : public QFrame {
    Q_OBJECT
public:
    explicit TPortsPage(QWidget* parent = nullptr);
};
