// The terminal window's view onto its buffer: visible cells, scroll bars,
// scroll-back viewing and keeping the cursor in view.
#include <QScrollBar>

#include <algorithm>

#include "console/QnTerminal.h"

TQnTerminalView TQnCustomTerminal::View() const {
    return TQnTerminalView{FLeftCol, FTopRow, FDrawCols, FDrawRows, CharWidth(), CharHeight()};
}

int TQnCustomTerminal::ClientWidth() const {
    return std::max(width() - (FVertBar && !FVertBar->isHidden() ? FVertBar->sizeHint().width() : 0), 0);
}

int TQnCustomTerminal::ClientHeight() const {
    return std::max(height() - (FHorzBar && !FHorzBar->isHidden() ? FHorzBar->sizeHint().height() : 0), 0);
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
    for (int round = 0; round < 3; ++round) {
        const int w = std::max(width() - (vert ? FVertBar->sizeHint().width() : 0), 0);
        const int h = std::max(height() - (horz ? FHorzBar->sizeHint().height() : 0), 0);
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
    FVertBar->setGeometry(width() - barW, 0, barW, height() - barH);
    FHorzBar->setGeometry(0, height() - barH, width() - barW, barH);
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
