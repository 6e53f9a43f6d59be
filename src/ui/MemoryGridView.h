#pragma once
// The CPU page's memory grid view: a table over TMemoryGridModel whose
// in-place editor commits on Enter or when another cell is chosen, drops
// its text on Esc or on a click into the text column (which can never be
// chosen), shows the focused byte in bold, and repaints on F5.

#include <QTableView>

class TMemoryGridView : public QTableView {
public:
    explicit TMemoryGridView(QWidget* parent = nullptr);

    // The open in-place editor, or null.
    QWidget* Editor() const;
    // Closes the open editor without writing its text.
    void DropEdit();

protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class TDelegate;
    TDelegate* FDelegate;
};
