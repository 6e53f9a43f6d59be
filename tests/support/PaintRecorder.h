#pragma once
// Records what a widget paints: the number of paint events and the union of
// their regions.

#include <QEvent>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

namespace tavrin::test {

class TPaintRecorder : public QObject {
public:
    explicit TPaintRecorder(QWidget& widget) { widget.installEventFilter(this); }
    int Paints = 0;
    QRegion Painted;
    void Clear() {
        Paints = 0;
        Painted = {};
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            Painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

}  // namespace tavrin::test
