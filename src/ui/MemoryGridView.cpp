#include "ui/MemoryGridView.h"

#include "ui/MemoryGridModel.h"

#include <QKeyEvent>
#include <QPointer>
#include <QStyledItemDelegate>

// Remembers the editor it made; the focused cell draws in bold.
class TMemoryGridView::TDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QPointer<QWidget> Editor;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const_cast<TDelegate*>(this)->Editor = editor;
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_HasFocus) option->font.setBold(true);
    }
};

TMemoryGridView::TMemoryGridView(QWidget* parent) : QTableView(parent), FDelegate(new TDelegate(this)) {
    setItemDelegate(FDelegate);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setWordWrap(false);
}

QWidget* TMemoryGridView::Editor() const { return state() == EditingState ? FDelegate->Editor.data() : nullptr; }

void TMemoryGridView::DropEdit() {
    if (QWidget* editor = Editor()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

QModelIndex TMemoryGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (next.isValid() && next.column() == TMemoryGridModel::TextColumn) return currentIndex();
    return next;
}

void TMemoryGridView::mousePressEvent(QMouseEvent* event) {
    // Trying to choose a text cell drops a pending edit unwritten.
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && target.column() == TMemoryGridModel::TextColumn) {
        DropEdit();
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TMemoryGridView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        viewport()->update();
        return;
    }
    QTableView::keyPressEvent(event);
}
