// The plain teletype emulator and its painting.
#include <algorithm>

#include "console/QnTrmEmu.h"

TQnColor QnBrighten(TQnColor c) {
    TQnColor out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const TQnColor v = std::min<TQnColor>(((c >> shift) & 0xFF) + 128, 255);
        out |= v << shift;
    }
    return out;
}

void QnCellColors(TQnColor fore, TQnColor back, TQnCharAttrs attrs, bool reverseScreen, TQnColor& text,
                  TQnColor& fill) {
    bool reversed = (attrs & atReverse) != 0;
    reversed ^= reverseScreen;
    reversed ^= (attrs & atSelected) != 0;
    if (!(attrs & atInvisible) && (attrs & atBold)) fore = QnBrighten(fore);
    text = reversed ? back : fore;
    fill = reversed ? fore : back;
    if (attrs & atInvisible) text = fill;
}

TQnTTYEmulator::TQnTTYEmulator() { AdoptBuffer(std::make_unique<TQnTerminalBuffer>(false)); }

void TQnTTYEmulator::ClearScreen() { Buffer()->EraseScreen(); }

void TQnTTYEmulator::ClearAll() { Buffer()->EraseAll(); }

void TQnTTYEmulator::KeyPress(char& key) { SendChar(key, true, csKeyboard); }

void TQnTTYEmulator::HandleChar(char c) {
    TQnTerminalBuffer& b = *Buffer();
    switch (static_cast<uint8_t>(c)) {
        case 0x07: ExecuteCommand(ecBell, nullptr); break;
        case 0x08: b.DoBackspace(); break;
        case 0x09: b.DoHorzTab(); break;
        case 0x0A: b.DoLineFeed(); break;
        case 0x0D: b.DoCarriageReturn(); break;
        default:
            if (static_cast<uint8_t>(c) >= 0x20) b.WriteChar(c);
            break;  // every other control byte is ignored
    }
}

void TQnTTYEmulator::ProcessBlock(const uint8_t* data, int len, TQnCharSource source) {
    if (!data) return;
    for (int i = 0; i < len; ++i) {
        const char ch = static_cast<char>(data[i]);
        if (!OnProcessChar) {
            HandleChar(ch);
            continue;
        }
        // The hook may echo or type through this emulator again, so the
        // replacement and the command list are taken out of the members first.
        std::string replace(1, ch);
        TQnEmuCommandList commands;
        std::swap(commands, FCommands);
        commands.Clear();
        OnProcessChar(*this, ch, replace, commands, source);
        ExecuteCommandList(commands);
        std::swap(commands, FCommands);
        for (char c : replace) HandleChar(c);
    }
}

// --- painting ------------------------------------------------------------------

void TQnTTYEmulator::FollowTerminalColors() {
    if (!FTerminal) return;
    TQnTerminalBuffer& b = *Buffer();
    const TQnColor back = FTerminal->Color();
    const TQnColor fore = FTerminal->FontColor();
    if (back == b.BackColor() && fore == b.ForeColor()) return;
    b.SetDefBackColor(back);
    b.SetBackColor(back);
    b.SetDefForeColor(fore);
    b.SetForeColor(fore);
    FRepaintAll = true;
}

void TQnTTYEmulator::LazyPaint(TQnTerminalPainter& painter) {
    if (!FTerminal) return;
    FollowTerminalColors();
    TQnTerminalBuffer& b = *Buffer();
    const TQnTerminalView view = FTerminal->View();
    TQnRect r;
    if (FRepaintAll) {
        FRepaintAll = false;
        for (int row = 1; row <= b.RowCount(); ++row) PaintRow(painter, view, row, 1, b.ColCount());
        while (b.GetInvalidRect(r)) {}
        return;
    }
    const int shift = FTerminal->FreezeScrollBack() ? 0 : view.TopRow - 1;
    while (b.GetInvalidRect(r)) {
        const int top = r.Top + shift;
        const int bottom = r.Bottom + (FTerminal->FreezeScrollBack() ? 0 : shift + 1);
        for (int row = std::max(top, view.TopRow); row <= std::min(bottom, view.TopRow + view.DrawRows - 1); ++row)
            PaintRow(painter, view, row, r.Left, r.Right);
    }
}

void TQnTTYEmulator::Paint(TQnTerminalPainter& painter) {
    if (!FTerminal) return;
    FollowTerminalColors();
    const TQnTerminalView view = FTerminal->View();
    const TQnRect clip = painter.ClipBox();
    if (clip.Right <= clip.Left || clip.Bottom <= clip.Top) return;
    const int cw = std::max(view.CharWidth, 1), ch = std::max(view.CharHeight, 1);
    const int fromCol = clip.Left / cw + view.LeftCol;
    const int toCol = (clip.Right - 1) / cw + view.LeftCol;
    int topRow = clip.Top / ch + view.TopRow;
    int bottomRow = (clip.Bottom - 1) / ch + view.TopRow;
    if (!FTerminal->FreezeScrollBack()) {
        topRow += view.TopRow - 1;
        bottomRow += view.TopRow;
    }
    topRow = std::max(topRow, view.TopRow);
    bottomRow = std::min(bottomRow, view.TopRow + view.DrawRows - 1);
    for (int row = topRow; row <= bottomRow; ++row) PaintRow(painter, view, row, fromCol, toCol);
}

void TQnTTYEmulator::PaintRow(TQnTerminalPainter& painter, const TQnTerminalView& view, int row, int fromCol,
                              int toCol) {
    if (row < view.TopRow || row >= view.TopRow + view.DrawRows) return;
    const TQnTerminalBuffer& b = *Buffer();
    const int first = view.LeftCol;
    const int limit = view.LeftCol + view.DrawCols;
    if (first > toCol || fromCol >= limit) return;
    fromCol = std::max({fromCol, first, 1});
    toCol = std::min({toCol, limit, b.ColCount()});
    if (fromCol > toCol) return;
    const char* chars = b.GetLineCharPtr(row);
    const TQnCharAttrs* attrs = b.GetLineAttrPtr(row);
    const TQnColor* fores = b.GetLineForeColorPtr(row);
    const TQnColor* backs = b.GetLineBackColorPtr(row);
    if (!chars || !attrs || !fores || !backs) return;
    if (FRunText.size() < static_cast<size_t>(b.ColCount())) FRunText.resize(static_cast<size_t>(b.ColCount()));
    const int cw = view.CharWidth, chh = view.CharHeight;
    const int top = (row - view.TopRow) * chh;
    const int bottom = top + chh;
    static const std::string defaultFont;
    int c = fromCol;
    while (c <= toCol) {
        const int i0 = c - 1;
        int end = c;
        while (end < toCol && fores[end] == fores[i0] && backs[end] == backs[i0] && attrs[end] == attrs[i0]) ++end;
        const int count = end - c + 1;
        std::copy(chars + i0, chars + i0 + count, FRunText.begin());
        TQnColor text, fill;
        QnCellColors(fores[i0], backs[i0], attrs[i0], false, text, fill);
        const int left = (c - view.LeftCol) * cw;
        const int right = left + count * cw;
        painter.TextOut(left, top, TQnRect{left, top, right, bottom}, FRunText.data(), count, cw, text, fill,
                        defaultFont, false);
        if (attrs[i0] & atUnderline) painter.Line(left, bottom - 2, right, bottom - 2, text);
        if (attrs[i0] & atStrikethrough) {
            const int m = top + (bottom - top) / 2;
            painter.Line(left, m, right, m, text);
        }
        c = end + 1;
    }
}
