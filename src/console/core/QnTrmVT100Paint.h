#pragma once
// Cell-exact painting of the VT100 screen: runs of cells with equal colours,
// attributes and character set, each drawn through the character-set map
// (font and glyph per character) with a fixed advance per cell; double-width
// and double-height rows, reverse video per cell, per selection and for the
// whole screen, bold, invisible, underline, strikethrough and blinking text.
//
// Each screen row paints only its own band of pixels: the two halves of a
// double-height pair each draw their half of the doubled glyphs, so a row
// repainted alone never disturbs its neighbours.

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "console/core/QnLineAttr.h"
#include "console/core/QnTrmBuf.h"

class TQnCharSetMapping;
class TQnTerminalHost;
class TQnTerminalPainter;
struct TQnTerminalView;

class TQnVT100Paint {
public:
    TQnVT100Paint(TQnTerminalBuffer& buffer, TQnLineAttrArray& lineAttrs, TQnCharSetMapping& charSets);

    // Repaints the cells of the painter's clip box.
    void Paint(TQnTerminalHost& host, TQnTerminalPainter& painter);
    // Repaints the buffer's invalid cells, or every row after RepaintAll.
    void LazyPaint(TQnTerminalHost& host, TQnTerminalPainter& painter);
    // Repaints the blinking runs of the rows in view: their text for phase
    // true, only their background for false.
    void BlinkPaint(TQnTerminalHost& host, TQnTerminalPainter& painter, bool phase);
    // Whether a row in view holds blinking cells. The buffer keeps count of
    // them per row as cells change, so neither this nor writing reads the screen.
    bool HasBlinkingText(const TQnTerminalView& view) const;

    bool ReverseScreen = false;
    bool RepaintAll = false;

private:
    struct TBlinkRun {
        int Row, First, Last;  // character columns
    };
    struct TPaintRun {
        int First, Last;
        TColor Fore, Back;
        TQnCharAttrs Attrs;
        uint8_t CharSet;
    };
    void PaintRow(TQnTerminalPainter& painter, const TQnTerminalView& view, int row, int fromCol, bool colsAreChars,
                  bool drawText, int toCol);
    void PaintRun(TQnTerminalPainter& painter, const TQnTerminalView& view, int row, int textRow, const TPaintRun& run);
    void BuildGlyphTable();
    // The rows in view that exist in the buffer.
    std::pair<int, int> RowsInView(const TQnTerminalView& view) const;
    // Finds the blinking cells of the rows in view.
    void BuildBlinkRuns(const TQnTerminalView& view);

    TQnTerminalBuffer& FBuffer;
    TQnLineAttrArray& FLineAttrs;
    TQnCharSetMapping& FCharSets;
    // Blink runs and paint runs are kept in vectors that only grow, so a
    // warm painter allocates nothing.
    std::vector<TBlinkRun> FBlinkRuns;
    std::vector<TPaintRun> FRuns;
    std::vector<char> FRunText;  // sized from the column count
    // The map's answer for every character of the five sets, looked up
    // once: the glyph and an index into FFontNames ("" is the terminal's font).
    static constexpr int SetCount = 5;
    std::array<std::array<uint8_t, 256>, SetCount> FGlyph{};
    std::array<std::array<uint8_t, 256>, SetCount> FFont{};
    std::vector<std::string> FFontNames;
    int FGlyphsOfCount = -1;  // the map's entry count the table was built from
};
