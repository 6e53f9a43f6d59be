#include "ui/GridCorner.h"

#include <QAbstractButton>
#include <QEvent>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>

namespace {

// Paints the corner button as a heading cell with the text.
class TCornerPainter : public QObject {
public:
    TCornerPainter(QObject* parent, std::function<QString()> text) : QObject(parent), FText(std::move(text)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint) return false;
        auto* corner = static_cast<QWidget*>(watched);
        QStyleOptionHeader option;
        option.initFrom(corner);
        option.rect = corner->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = FText();
        option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        QStylePainter painter(corner);
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }

private:
    std::function<QString()> FText;
};

}  // namespace

void SetGridCornerText(QTableView& view, std::function<QString()> text) {
    if (auto* corner = view.findChild<QAbstractButton*>())
        corner->installEventFilter(new TCornerPainter(corner, std::move(text)));
}
