#pragma once
// The "Disk Manager" page: the files on a disk image and the import, export
// and new-image operations come here.

#include <QFrame>

class TDiskManagerPage : public QFrame {
    Q_OBJECT
public:
    explicit TDiskManagerPage(QWidget* parent = nullptr);
};
