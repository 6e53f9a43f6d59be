// The terminal window's view onto its buffer: the border and the client
// area inside it, visible cells, scroll bars, scroll-back viewing and keeping
// the cursor in view.
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

#include "console/QnTerminal.h"
#include "platform/QtColor.h"

TQnTerminalView TQnCustomTerminal::View() const {
    return TQnTerminalView{FLeftCol, FTopRow, FDrawCols, FDrawRows, CharWidth(), CharHeight()};
}

int TQnCustomTerminal::BorderWidth() const {
    if (FBorderStyle == bsNone) return 0;
    return FCtl3D ? 2 : 1;
}

QRect TQnCustomTerminal::ClientRect() const {
    const int b = BorderWidth();
    return QRect(b, b, std::max(width() - 2 * b, 0), std::max(height() - 2 * b, 0));
}

void TQnCustomTerminal::UpdateClient(const QRect& r) { update(r.translated(ClientRect().topLeft())); }

void TQnCustomTerminal::PaintBorder(QPainter& painter) const {
    const int b = BorderWidth();
    if (b == 0) return;
    const QRect r = rect();
    // Windows' system colours: window frame; button shadow and highlight
    // outside, dark shadow and light inside a sunken edge.
    if (b == 1) {
        painter.setPen(ToQColor(0xFF000006));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        return;
    }
    const auto edge = [&](const QRect& e, TColor topLeft, TColor bottomRight) {
        painter.setPen(ToQColor(topLeft));
        painter.drawLine(e.topLeft(), e.topRight() - QPoint(1, 0));
        painter.drawLine(e.topLeft(), e.bottomLeft() - QPoint(0, 1));
        painter.setPen(ToQColor(bottomRight));
        painter.drawLine(e.bottomLeft(), e.bottomRight());
        painter.drawLine(e.topRight(), e.bottomRight());
    };
    edge(r, 0xFF000010, 0xFF000014);
    edge(r.adjusted(1, 1, -1, -1), 0xFF000015, 0xFF000016);
}

void TQnCustomTerminal::SetBorderStyle(TBorderStyle style) {
    if (style == FBorderStyle) return;
    FBorderStyle = style;
    BorderChanged();
}

void TQnCustomTerminal::SetCtl3D(bool v) {
    if (v == FCtl3D) return;
    FCtl3D = v;
    // Without a border the 3D look changes nothing.
    if (FBorderStyle == bsSingle) BorderChanged();
}

void TQnCustomTerminal::BorderChanged() {
    HideCaretIfShown();
    PlaceScrollBars();
    ClampViewOrigin();
    FCanvasStale = true;
    update();
    ShowCaretIfHidden();
}

int TQnCustomTerminal::ClientWidth() const {
    return std::max(ClientRect().width() - (FVertBar && !FVertBar->isHidden() ? FVertBar->sizeHint().width() : 0), 0);
}

int TQnCustomTerminal::ClientHeight() const {
    return std::max(ClientRect().height() - (FHorzBar && !FHorzBar->isHidden() ? FHorzBar->sizeHint().height() : 0), 0);
}

int TQnCustomTerminal::LowestRow() const { return Rows() - ScrollbackRows() + 1; }

bool TQnCustomTerminal::NeedHorzScrollBar() const {
    return (FHorzBarNeeded && !FHideScrollbars) || (FHideScrollbars && FCursorBeyondCols && FHorzBarNeeded);
}

bool TQnCustomTerminal::NeedVertScrollBar() const {
    return (FVertBarNeeded && !FHideScrollbars) || (ScrollbackRows() > Rows() && FScrollback) ||
           (FHideScrollbars && FCursorBeyondRows && FVertBarNeeded);
}

void TQnCustomTerminal::UpdateViewMetrics() {
    if (!FCurrent || !FCurrent->Buffer()) {
        FDrawCols = FDrawRows = FFullCols = FFullRows = 0;
        return;
    }
    const int c = Columns(), r = Rows();
    const int cw = CharWidth(), ch = CharHeight();
    // Starting from no bars, a bar shown takes room that may call for the
    // other: a few rounds settle it.
    bool horz = false, vert = false;
    const QRect client = ClientRect();
    for (int round = 0; round < 3; ++round) {
        const int w = std::max(client.width() - (vert ? FVertBar->sizeHint().width() : 0), 0);
        const int h = std::max(client.height() - (horz ? FHorzBar->sizeHint().height() : 0), 0);
        FDrawCols = std::max(0, std::min((w + cw - 1) / cw, c - FLeftCol + 1));
        FFullCols = std::max(0, std::min(w / cw, c - FLeftCol + 1));
        FDrawRows = std::max(0, std::min((h + ch - 1) / ch, r - FTopRow + 1));
        FFullRows = std::max(0, std::min(h / ch, r - FTopRow + 1));
        FHorzBarNeeded = c > FFullCols;
        FVertBarNeeded = r > FFullRows;
        if (!FHorzBar || (NeedHorzScrollBar() == horz && NeedVertScrollBar() == vert)) break;
        horz = NeedHorzScrollBar();
        vert = NeedVertScrollBar();
    }
    if (!FHorzBar) return;
    if (horz != !FHorzBar->isHidden() || vert != !FVertBar->isHidden()) {
        FHorzBar->setVisible(horz);
        FVertBar->setVisible(vert);
        PlaceScrollBars();
    }
    if (horz) SetHorzScrollInfo();
    if (vert) SetVertScrollInfo();
    // A hidden bar has nothing to scroll.
    FSyncingBars = true;
    if (!horz) FHorzBar->setRange(0, 0);
    if (!vert) FVertBar->setRange(0, 0);
    FSyncingBars = false;
}

void TQnCustomTerminal::PlaceScrollBars() {
    if (!FHorzBar) return;
    const int barW = FVertBar->isHidden() ? 0 : FVertBar->sizeHint().width();
    const int barH = FHorzBar->isHidden() ? 0 : FHorzBar->sizeHint().height();
    const QRect c = ClientRect();
    FVertBar->setGeometry(c.right() + 1 - barW, c.top(), barW, c.height() - barH);
    FHorzBar->setGeometry(c.left(), c.bottom() + 1 - barH, c.width() - barW, barH);
}

void TQnCustomTerminal::SetHorzScrollInfo() {
    FSyncingBars = true;
    FHorzBar->setRange(0, std::max(Columns() - FFullCols, 0));
    FHorzBar->setPageStep(std::max(FFullCols, 1));
    FHorzBar->setValue(FLeftCol - 1);
    FSyncingBars = false;
}

void TQnCustomTerminal::SetVertScrollInfo() {
    FSyncingBars = true;
    const int lowest = FScrollback ? Rows() - ScrollbackRows() : 0;
    FVertBar->setRange(lowest, std::max(Rows() - FFullRows, lowest));
    FVertBar->setPageStep(std::max(FFullRows, 1));
    FVertBar->setValue(FTopRow - 1);
    FSyncingBars = false;
}

void TQnCustomTerminal::VertBarAction(int action) {
    // Line up on the first screen row enters the scroll-back; any move
    // further down than the first screen row leaves it.
    if (!FVertBarNeeded || !FAutoScrollback) return;
    if (!FScrollback && action == QAbstractSlider::SliderSingleStepSub && FTopRow == 1) {
        SetScrollback(true);
        SetTopRow(0);
    } else if (FScrollback && FTopRow >= 2) {
        SetScrollback(false);
    }
}

void TQnCustomTerminal::ClampViewOrigin() {
    // After the buffer's sizes change the view must still start on the grid.
    const int lowest = FScrollback ? LowestRow() : 1;
    const int highest = std::max(Rows() - ClientHeight() / CharHeight() + 1, 1);
    FTopRow = std::clamp(FTopRow, std::min(lowest, 1), highest);
    FLeftCol = std::clamp(FLeftCol, 1, std::max(Columns() - ClientWidth() / CharWidth() + 1, 1));
    UpdateViewMetrics();
}

void TQnCustomTerminal::ViewMoved() {
    UpdateViewMetrics();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetLeftCol(int col) {
    const int limit = std::max(Columns() - FFullCols + 1, 1);
    const int next = col < 1 ? 1 : std::min(col, limit);
    if (next == FLeftCol) return;
    FLeftCol = next;
    ViewMoved();
}

void TQnCustomTerminal::SetTopRow(int row) {
    const int lowest = FScrollback ? LowestRow() : 1;
    const int limit = std::max(Rows() - FFullRows + 1, 1);
    const int next = row < lowest ? lowest : std::min(row, limit);
    if (next == FTopRow) return;
    FTopRow = next;
    ViewMoved();
}

void TQnCustomTerminal::SetScrollback(bool v) {
    if (v == FScrollback) return;
    FScrollback = v;
    // Leaving the scroll-back brings the screen back into view.
    if (!v && FTopRow < 1) FTopRow = 1;
    ViewMoved();
}

void TQnCustomTerminal::SetAutoScrollback(bool v) {
    FAutoScrollback = v;
    UpdateViewMetrics();
}

void TQnCustomTerminal::SetHideScrollbars(bool v) {
    FHideScrollbars = v;
    UpdateViewMetrics();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::FollowCursorIntoView() {
    if (!FFollowCursor || !FUserEmulator || !FUserEmulator->Buffer()) return;
    // A frozen scroll-back view stays where the user put it.
    if (FFreezeScrollBack && FScrollback && FTopRow < 1) return;
    const TQnTerminalBuffer& b = *FUserEmulator->Buffer();
    const int c = b.CursorScreenCol(), r = b.CursorScreenRow();
    if (c < FLeftCol)
        SetLeftCol(c);
    else if (c >= FLeftCol + FFullCols)
        SetLeftCol(c - FFullCols + 1);
    if (r < FTopRow)
        SetTopRow(r);
    else if (r >= FTopRow + FFullRows)
        SetTopRow(r - FFullRows + 1);
}

void TQnCustomTerminal::HookScroll(TQnTerminalBuffer* buffer) {
    if (FScrollHooked) FScrollHooked->OnScroll = std::move(FPrevOnScroll);
    FPrevOnScroll = nullptr;
    FScrollHooked = buffer;
    if (!buffer) return;
    FPrevOnScroll = buffer->OnScroll;
    buffer->OnScroll = [this](TQnTerminalBuffer& sender, int count, int first, int last) {
        if (FPrevOnScroll) FPrevOnScroll(sender, count, first, last);
        BufferScrolled(count, first, last);
    };
}

void TQnCustomTerminal::BufferScrolled(int count, int firstRow, int lastRow) {
    if (count == 0) return;
    if (FSelection.Left > 0 && firstRow <= FSelection.Bottom && lastRow >= FSelection.Top) FSelectionScrolled = true;
    if (firstRow > 0 || FTopRow >= 1) return;
    // The scroll-back rows in view moved: they are repainted, and a frozen
    // view moves up with the text it shows.
    if (count > 0 && FFreezeScrollBack && FScrollback) FTopRow = std::max(FTopRow - count, LowestRow());
    FCanvasStale = true;
}
