#include "ui/PathLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// Widest hint, in average characters: enough for most names.
constexpr int PreferredChars = 40;
constexpr int MinimumChars = 8;

}  // namespace

TPathLabel::TPathLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize TPathLabel::minimumSizeHint() const {
    const QSize full = QLabel::minimumSizeHint();
    return {std::min(full.width(), fontMetrics().averageCharWidth() * MinimumChars), full.height()};
}

QSize TPathLabel::sizeHint() const {
    const QSize full = QLabel::sizeHint();
    return {std::min(full.width(), fontMetrics().averageCharWidth() * PreferredChars), full.height()};
}

QString TPathLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

void TPathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}
