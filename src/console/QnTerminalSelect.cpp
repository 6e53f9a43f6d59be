// The terminal window's mouse selection and clipboard. Selected cells carry
// atSelected in the buffer's attribute plane; the painting shows them
// reversed. The selection is a stream of cells in reading order.
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

#include "console/QnTerminal.h"
#include "console/core/CodePage437.h"

namespace {
// The columns of `row` that a stream selection covers; false when none.
bool SpanOf(const TQnRect& sel, int row, int columns, int& from, int& to) {
    if (sel.Left <= 0 || row < sel.Top || row > sel.Bottom) return false;
    from = row == sel.Top ? sel.Left : 1;
    to = row == sel.Bottom ? sel.Right : columns;
    return from <= to;
}
}  // namespace

QPoint TQnCustomTerminal::ClampToCells(const QPoint& p) const {
    return QPoint(std::clamp(p.x(), 0, std::max(CharWidth() * FDrawCols - 1, 0)),
                  std::clamp(p.y(), 0, std::max(CharHeight() * FDrawRows - 1, 0)));
}

void TQnCustomTerminal::StartSelection(int x, int y) {
    if (FSelection.Left > 0) ClearSelection();
    FSelAnchorCol = x / CharWidth() + FLeftCol;
    FSelAnchorRow = y / CharHeight() + FTopRow;
    FSelection = TQnRect{FSelAnchorCol, FSelAnchorRow, FSelAnchorCol, FSelAnchorRow};
}

void TQnCustomTerminal::ExtendSelection(int x, int y) {
    if (!FCurrent || !FCurrent->Buffer() || FSelAnchorCol <= 0) return;
    // Before the first extension nothing is marked yet.
    const TQnRect old = FHasSelection ? FSelection : TQnRect{};
    FHasSelection = true;
    const int col = std::clamp(x / CharWidth() + FLeftCol, 1, Columns());
    const int row = std::clamp(y / CharHeight() + FTopRow, LowestRow(), Rows());
    TQnRect next{FSelAnchorCol, FSelAnchorRow, col, row};
    if (row < FSelAnchorRow || (row == FSelAnchorRow && col < FSelAnchorCol))
        next = TQnRect{col, row, FSelAnchorCol, FSelAnchorRow};
    MarkSelection(old, next);
    FSelection = next;
}

void TQnCustomTerminal::MarkSelection(const TQnRect& old, const TQnRect& next) {
    TQnTerminalBuffer& b = *FCurrent->Buffer();
    const int columns = Columns();
    int top = next.Top, bottom = next.Bottom;
    if (old.Left > 0) {
        top = std::min(top, old.Top);
        bottom = std::max(bottom, old.Bottom);
    }
    for (int row = std::max(top, LowestRow()); row <= std::min(bottom, Rows()); ++row) {
        int oldFrom = 0, oldTo = -1, newFrom = 0, newTo = -1;
        const bool inOld = SpanOf(old, row, columns, oldFrom, oldTo);
        const bool inNew = SpanOf(next, row, columns, newFrom, newTo);
        if (!inOld && !inNew) continue;
        TQnCharAttrs* attrs = b.GetLineAttrPtrForWrite(row);
        if (!attrs) continue;
        bool changed = false;
        const int from = inOld && inNew ? std::min(oldFrom, newFrom) : (inOld ? oldFrom : newFrom);
        const int to = inOld && inNew ? std::max(oldTo, newTo) : (inOld ? oldTo : newTo);
        for (int c = std::max(from, 1); c <= std::min(to, columns); ++c) {
            const bool want = inNew && c >= newFrom && c <= newTo;
            const TQnCharAttrs a = want ? (attrs[c - 1] | atSelected) : (attrs[c - 1] & ~atSelected);
            changed |= a != attrs[c - 1];
            attrs[c - 1] = a;
        }
        if (changed) InvalidateRow(row);
    }
}

void TQnCustomTerminal::ClearSelection() {
    if (FCurrent && FCurrent->Buffer() && FHasSelection) MarkSelection(FSelection, TQnRect{});
    FSelection = TQnRect{};
    FSelAnchorCol = FSelAnchorRow = 0;
    FHasSelection = false;
}

void TQnCustomTerminal::WipeSelectionMarks() {
    if (!FCurrent || !FCurrent->Buffer()) return;
    TQnTerminalBuffer& b = *FCurrent->Buffer();
    for (int row = LowestRow(); row <= Rows(); ++row) {
        TQnCharAttrs* attrs = b.GetLineAttrPtrForWrite(row);
        if (!attrs) continue;
        for (int c = 0; c < Columns(); ++c) attrs[c] &= ~atSelected;
    }
}

void TQnCustomTerminal::ApplyScrolledSelection() {
    // The text under the selection moved: its marks went with it, so they
    // are wiped wherever they are now and the selection ends.
    if (!FSelectionScrolled) return;
    FSelectionScrolled = false;
    WipeSelectionMarks();
    FSelection = TQnRect{};
    FSelAnchorCol = FSelAnchorRow = 0;
    FHasSelection = false;
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetMouseSelect(bool v) {
    FMouseSelect = v;
    FSelecting = false;
    if (!v) ClearSelection();
}

std::string TQnCustomTerminal::SelectedText() const {
    std::string text;
    if (!FHasSelection || !FCurrent || !FCurrent->Buffer()) return text;
    const TQnTerminalBuffer& b = *FCurrent->Buffer();
    for (int row = FSelection.Top; row <= FSelection.Bottom; ++row) {
        int from = 0, to = -1;
        const char* chars = b.GetLineCharPtr(row);
        if (chars && SpanOf(FSelection, row, Columns(), from, to)) text.append(chars + from - 1, chars + to);
        text += "\r\n";
    }
    return text;
}

void TQnCustomTerminal::CopyToClipboard() {
    const std::string text = SelectedText();
    if (text.empty()) return;
    // The characters as the screen shows them.
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        const auto b = static_cast<uint8_t>(c);
        shown += b == '\r' || b == '\n' || (b >= 0x20 && b < 0x7F) ? QChar(b) : QChar(Cp437ToUnicode(b));
    }
    QGuiApplication::clipboard()->setText(shown);
}

void TQnCustomTerminal::PasteFromClipboard() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.isEmpty()) return;
    const std::string bytes = text.toLatin1().toStdString();
    const bool toPort = FPasteToPort && PortOpen();
    if (FPasteToScreen && toPort) {
        for (char c : bytes) {
            WriteChar(static_cast<uint8_t>(c));
            PortWriteChar(c);
        }
        return;
    }
    if (FPasteToScreen) WriteString(bytes);
    if (toPort) PortWriteString(bytes);
}

bool TQnCustomTerminal::HandleCopyKey(QKeyEvent* e) {
    if (!FHasSelection) return false;
    const Qt::KeyboardModifiers mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods != Qt::ControlModifier || (e->key() != Qt::Key_C && e->key() != Qt::Key_Insert)) return false;
    CopyToClipboard();
    return true;
}

bool TQnCustomTerminal::CancelSelectionKey(QKeyEvent* e) {
    // Without mouse selection there is nothing to cancel: Esc goes to the program.
    if (!FSelecting || !FMouseSelect || e->key() != Qt::Key_Escape) return false;
    ClearSelection();
    FSelecting = false;
    return true;
}

void TQnCustomTerminal::AutoScrollSelection() {
    if (!FSelecting || !FMouseSelect) return;
    const int dx = FLastMouse.x() < 0 ? -1 : FLastMouse.x() >= ClientWidth() ? 1 : 0;
    const int dy = FLastMouse.y() < 0 ? -1 : FLastMouse.y() >= ClientHeight() ? 1 : 0;
    if (dx == 0 && dy == 0) return;
    // Each call keeps the view within the buffer, so an edge of the buffer stops it.
    if (dx != 0) SetLeftCol(FLeftCol + dx);
    if (dy != 0) SetTopRow(FTopRow + dy);
    const QPoint p = ClampToCells(FLastMouse);
    ExtendSelection(p.x(), p.y());
}

void TQnCustomTerminal::mousePressEvent(QMouseEvent* e) {
    TQnBaseWinControl::mousePressEvent(e);
    if (e->button() != Qt::LeftButton) return;
    if (!hasFocus()) setFocus(Qt::MouseFocusReason);
    FSelecting = true;
    FLastMouse = e->position().toPoint() - ClientRect().topLeft();
    const QPoint p = ClampToCells(FLastMouse);
    if (FMouseSelect) StartSelection(p.x(), p.y());
}

void TQnCustomTerminal::mouseMoveEvent(QMouseEvent* e) {
    TQnBaseWinControl::mouseMoveEvent(e);
    if (!FSelecting) return;
    FLastMouse = e->position().toPoint() - ClientRect().topLeft();
    const QPoint p = ClampToCells(FLastMouse);
    if (FMouseSelect) ExtendSelection(p.x(), p.y());
}

void TQnCustomTerminal::mouseReleaseEvent(QMouseEvent* e) {
    TQnBaseWinControl::mouseReleaseEvent(e);
    if (!FSelecting || e->button() != Qt::LeftButton) return;
    if (FMouseSelect && FAutoCopy) CopyToClipboard();
    FSelecting = false;
}
