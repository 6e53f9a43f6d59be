#pragma once
// TSimpleTerminal: the TTY console control. A fixed grid of character cells
// (TSimpleTerminalModel) drawn with one attribute set per cell, a cursor bar
// along the bottom of the cursor cell, line wrap, upward scrolling and two
// scroll bars when the grid is larger than the control.
//
// Colours are Windows colour values 00BBGGRRh (TColor); values with the high
// byte FFh name a system colour (FF000000h + index) and are resolved to the
// usual Windows defaults when painting (ToQColor).
//
// Drawing is lazy: every operation updates the cell buffer at once and marks
// the rows it changed; the next paint (coalesced by Qt's update()) renders
// only those rows into an off-screen image that always holds the whole grid,
// then copies the visible part. The image has the device pixels of what it
// is shown on (the screen's scale), so the text is as sharp as the widgets
// around it. So bulk output costs one repaint per pass of
// the event loop, and the buffer is right even while the control is hidden.

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/core/SimpleTerminalModel.h"
#include "platform/QtColor.h"
#include "platform/VirtualKeys.h"

class TSimpleTerminal : public QAbstractScrollArea {
public:
    explicit TSimpleTerminal(QWidget* parent = nullptr);
    ~TSimpleTerminal() override;

    // The grid itself (for reading cells and the cursor in bulk).
    TSimpleTerminalModel& Model() { return FModel; }
    const TSimpleTerminalModel& Model() const { return FModel; }

    // --- operations (0-based column, row; out-of-grid requests ignored) ---
    void GotoXY(int column, int row);
    void CursorHome();
    void CursorRight();
    void CursorLeft();
    void CursorDown();
    void CursorUp();
    void WriteChar(uint8_t ch);
    void WriteString(const std::string& text);
    void ClearLine();
    void ClearToEndOfLine();
    void ClearToEndOfText();
    void ClearScreen();
    void DeleteLineAt(int row);
    void DeleteLine();
    void InsertLineAt(int row);
    void InsertLine();
    void ScrollUp();
    // Recomputes the cell metrics from the font and rebuilds the off-screen
    // image. KeepText false also blanks the whole buffer and puts the cursor
    // home (the console's clear operation).
    void RebuildScreen(bool KeepText);
    // Draws every cell again from the buffer.
    void RedrawAll();
    TTerminalCell GetCell(int column, int row) const { return FModel.GetCell(column, row); }
    void PutCell(int column, int row, TTerminalCell cell);
    // The cursor bar: HideCursor takes it off until the next ShowCursor; every
    // operation above that writes or moves the cursor shows it again.
    void ShowCursor();
    void HideCursor();
    // Moves the scroll bars so the cursor cell is in view (ScrollToCursor only).
    void ScrollCursorIntoView();

    // --- properties ---------------------------------------------------------
    int Rows() const { return FModel.Rows(); }
    void SetRows(int value);  // 1..255, else ignored
    int Columns() const { return FModel.Columns(); }
    void SetColumns(int value);  // 1..132, else ignored
    int CursorColumn() const { return FModel.CursorColumn(); }
    int CursorRow() const { return FModel.CursorRow(); }
    bool LineWrap() const { return FModel.LineWrap(); }
    void SetLineWrap(bool value) { FModel.SetLineWrap(value); }
    bool ScrollLock() const { return FModel.ScrollLock(); }
    void SetScrollLock(bool value) { FModel.SetScrollLock(value); }
    TTerminalCharAttributes DefaultAttributes() const { return FModel.DefaultAttributes; }
    void SetDefaultAttributes(TTerminalCharAttributes value) { FModel.DefaultAttributes = value; }
    bool DisplayCursor() const { return FDisplayCursor; }
    void SetDisplayCursor(bool value);
    // When true the control asks for exactly the grid's size.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool ScrollToCursor() const { return FScrollToCursor; }
    void SetScrollToCursor(bool value);
    // Whether Tab, Return and the arrow keys are taken by the control
    // (else they pass to the parent: focus change, default button ...).
    bool WantTabs() const { return FWantTabs; }
    void SetWantTabs(bool value) { FWantTabs = value; }
    bool WantReturns() const { return FWantReturns; }
    void SetWantReturns(bool value) { FWantReturns = value; }
    bool WantArrowKeys() const { return FWantArrowKeys; }
    void SetWantArrowKeys(bool value) { FWantArrowKeys = value; }

    TColor Color() const { return FColor; }  // background
    void SetColor(TColor value);
    TColor CursorColor() const { return FCursorColor; }
    void SetCursorColor(TColor value);
    TColor HighVideoFontColor() const { return FHighVideoFontColor; }
    void SetHighVideoFontColor(TColor value);
    TColor LowVideoFontColor() const { return FLowVideoFontColor; }
    void SetLowVideoFontColor(TColor value);
    // Colour of the font. The three colours above take it when the control
    // is created; changing it later only stores it.
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor value) { FFontColor = value; }

    // The terminal font. Setting it rebuilds the screen keeping the text.
    const QFont& TerminalFont() const { return FFont; }
    void SetTerminalFont(const QFont& font);
    // The font as the settings keep it: the face name as asked for (even
    // while a fallback draws it) and the size in points at 96 dots per inch
    // (9 points = 12 pixels, whatever the screen), optionally bold or italic.
    std::string FontName() const { return FFontName; }
    int FontSize() const { return FFontSize; }
    void SetFontNameAndSize(const std::string& name, int pointSize, bool bold = false, bool italic = false);
    // A font by family name and height in pixels (the sign is ignored, so
    // the stored negative character heights work as they are); falls back
    // to a fixed-pitch family (FixedPitchFamily) when it is not installed.
    static QFont MakeFont(const std::string& family, int height);
    // The family of that fallback: DejaVu Sans Mono when installed, else the
    // system's fixed font or the first family, that the font database
    // reports as fixed-pitch.
    static QString FixedPitchFamily();
    // The same from a size in points at 96 dots per inch.
    static QFont MakeFontPoints(const std::string& family, int pointSize);

    // Pixels per cell (from the font: sample text height + 2; its average
    // glyph width rounded up + 2).
    int CellWidth() const { return FCellWidth; }
    int CellHeight() const { return FCellHeight; }

    // --- key events -----------------------------------------------------------
    // Key is a virtual-key code; a handler that sets it to 0 swallows the key
    // (no key press follows a swallowed key down).
    std::function<void(TSimpleTerminal& Sender, uint16_t& Key, TShiftState Shift)> OnKeyDown;
    std::function<void(TSimpleTerminal& Sender, uint16_t& Key, TShiftState Shift)> OnKeyUp;
    // The typed character (Latin-1 byte); set to 0 to swallow it.
    std::function<void(TSimpleTerminal& Sender, char& Key)> OnKeyPress;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    void ModelRowsChanged(int firstRow, int lastRow);
    void ModelScrolledUp();
    void ModelCursorMoved();
    void ComputeCellMetrics();
    // A blank image of the whole grid at `ratio` device pixels per pixel.
    void CreateBitmap(qreal ratio);
    QSize GridSize() const { return QSize(FCellWidth * FModel.Columns(), FCellHeight * FModel.Rows()); }
    // Where a grid position falls in the image's device pixels; cells keep
    // to whole device pixels, so neighbours neither overlap nor leave gaps.
    int DevicePos(int pixels) const;
    QRect DeviceCell(int column, int row) const;
    void LayoutScrollBars();
    // The part of the viewport the grid shows in: less a pixel beside each
    // shown bar. Its last pixel column and row stay in the background colour.
    QSize ViewSize() const;
    void RenderDirtyRows();
    void RequestRepaint();
    void MarkAllDirty();
    bool WantsKey(const QKeyEvent& event) const;

    TSimpleTerminalModel FModel;
    QImage FBitmap;
    std::vector<uint8_t> FDirtyRows;
    bool FAnyDirty = false;
    bool FRepaintPending = false;
    QFont FFont;
    std::string FFontName = "Terminal";
    int FFontSize = 9;
    QFont FStyledFonts[4];  // plain, bold, underlined, bold + underlined
    int FAscent = 0;
    int FPendingScrollRows = 0;  // rows the image still has to move up
    bool FVerticalBarNeeded = false;
    bool FHorizontalBarNeeded = false;
    // Rendered cells keyed by character, style and colours, so a redraw is
    // mostly image copies rather than text layout.
    std::unordered_map<uint64_t, QImage> FGlyphCache;
    int FCellWidth = 10;
    int FCellHeight = 10;
    bool FDisplayCursor = true;
    bool FCursorHidden = false;
    bool FAutoSize = true;
    bool FScrollToCursor = true;
    bool FWantTabs = true;
    bool FWantReturns = true;
    bool FWantArrowKeys = true;
    TColor FColor = 0x00FFFFFF;
    TColor FFontColor = 0x00000000;
    TColor FCursorColor = 0x00000000;
    TColor FHighVideoFontColor = 0x00000000;
    TColor FLowVideoFontColor = 0x00000000;
};
