#pragma once
// A one-line label for a file name or path: when it does not fit, it shows
// the start and the end with an ellipsis in the middle, so the part that
// tells files apart stays visible; text() keeps the whole text. It never asks
// for more room than a few characters, so a long name cannot widen the
// window.

#include <QLabel>

class TPathLabel : public QLabel {
public:
    explicit TPathLabel(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;
    // The text as painted at the current width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
