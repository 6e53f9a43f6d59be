#pragma once
// Shared by the terminal fuzz targets: a painter that reads every glyph it is
// given, buffer resizes that only sizes below 2 may be refused, and a repaint
// through a random view of the buffer.

#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "console/core/QnTrmEmu.h"
#include "support/FakeTerminalHost.h"
#include "support/FuzzSupport.h"

namespace tavrin::test {

// Reads every glyph it is given, so a run past the end of a row shows.
class TCheckingPainter : public TQnTerminalPainter {
public:
    TQnRect ClipBox() const override { return clip; }
    void FillRect(const TQnRect&, TColor) override {}
    void TextOut(int, int, const TQnRect&, const char* glyphs, int count, int, TColor, TColor, const std::string&,
                 bool) override {
        Check(count >= 1 && count <= maxRun);
        for (int i = 0; i < count; ++i) sum += static_cast<uint8_t>(glyphs[i]);
    }
    void Line(int, int, int, int, TColor) override {}

    TQnRect clip{0, 0, 640, 384};
    int maxRun = 0;
    unsigned sum = 0;
};

// Columns (0), screen rows (1) or scrollback rows (2).
inline void ResizeBuffer(TQnTerminalBuffer& b, int which, int n) {
    try {
        switch (which) {
            case 0:
                b.SetColCount(n);
                break;
            case 1:
                b.SetRowCount(n);
                break;
            default:
                b.SetSVRowCount(n);
                break;
        }
    } catch (const EQnTerminalBuffer& e) {
        Check(n < 2 && *e.what() != '\0');
    }
}

// A valid starting size: the scrollback first, since the rows may not
// exceed it, then the columns.
inline void RandomStartSize(TQnTerminalBuffer& b, FuzzedDataProvider& in, int maxCols, int maxSVRows) {
    ResizeBuffer(b, 2, in.ConsumeIntegralInRange<int>(2, maxSVRows));
    ResizeBuffer(b, 1, in.ConsumeIntegralInRange<int>(2, b.SVRowCount()));
    ResizeBuffer(b, 0, in.ConsumeIntegralInRange<int>(2, maxCols));
}

// What a window scrolled anywhere over the buffer would show, including a
// partly visible last column and row, painted in full or lazily.
inline void RandomRepaint(TFakeTerminalHost& host, TQnTerminalEmulator& emu, FuzzedDataProvider& in) {
    const TQnTerminalBuffer& b = *emu.Buffer();
    TQnTerminalView v;
    v.CharWidth = in.ConsumeIntegralInRange<int>(1, 12);
    v.CharHeight = in.ConsumeIntegralInRange<int>(1, 20);
    v.LeftCol = in.ConsumeIntegralInRange<int>(1, b.ColCount());
    v.TopRow = in.ConsumeIntegralInRange<int>(b.RowCount() - b.SVRowCount() + 1, 1);
    v.DrawCols = in.ConsumeIntegralInRange<int>(0, b.ColCount() - v.LeftCol + 2);
    v.DrawRows = in.ConsumeIntegralInRange<int>(0, b.RowCount() + 1);
    host.view = v;
    host.freeze = in.ConsumeBool();
    TCheckingPainter painter;
    painter.maxRun = b.ColCount();
    painter.clip = {0, 0, v.DrawCols * v.CharWidth, v.DrawRows * v.CharHeight};
    if (in.ConsumeBool())
        emu.Paint(painter);
    else
        emu.LazyPaint(painter);
}

}  // namespace tavrin::test
