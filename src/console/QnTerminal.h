#pragma once
// The CRT console's terminal window. It owns no screen state: characters
// live in the buffer of its emulator, which interprets the byte stream and
// paints. The window does the plumbing around that: a byte queue that
// decouples writers from interpretation (one coalesced posted event per
// burst of writes), an optional capture file of the raw bytes (a bare file
// name lands in the program folder), immediate or lazy repainting, a 100 ms
// timer (text and caret blink, lazy display), the caret and the routing of
// keys to the emulator.
//
// Wiring it into a machine:
//   - bytes the program sends to the console: WriteChar(byte) / WriteString;
//     they are interpreted when the posted data event is handled, so writers
//     never wait for painting;
//   - keys typed on the terminal: OnKeyboardData(sender, ch) fires once per
//     character to be sent to the program (after the emulator's key map);
//   - SetEmulator(e) selects a user emulator (nullptr = the window's own
//     teletype emulator); Rows(), Columns(), ScrollbackRows() and their
//     setters reach the emulator's buffer;
//   - SetComPort(p) attaches a serial port: while Active, bytes it receives
//     are shown, typed keys and the emulator's replies leave through it. A
//     window shown without one takes a port that sits beside it (a child of
//     its parent). A port that goes away is simply forgotten.

#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QMetaObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>

class QPainter;
class QScrollBar;

#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/QnMiscControls.h"
#include "console/QnTerminalPaint.h"
#include "console/core/QnByteQueue.h"
#include "console/core/QnTrmEmu.h"
#include "platform/core/PrivateMessages.h"
#include "serial/QnPort.h"

class TQnPortInbox;

enum TQnCaptureMode : uint8_t { cmOff = 0, cmOn = 1, cmAppend = 2 };
// The window's border: none, or a single one (a sunken edge two pixels wide
// while Ctl3D is on, a one-pixel line otherwise).
enum TBorderStyle : uint8_t { bsNone = 0, bsSingle = 1 };

// Raised when the capture file cannot be created or opened.
class EQnCaptureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TQnCustomTerminal : public TQnBaseWinControl, public TQnTerminalHost {
public:
    using TQnKeyboardDataEvent = std::function<void(TQnTerminalEmulator& sender, char ch)>;
    using TQnTerminalCursorMovedEvent = std::function<void(TQnCustomTerminal& sender, int row, int col)>;

    explicit TQnCustomTerminal(QWidget* parent = nullptr);
    ~TQnCustomTerminal() override;

    // --- data in ---------------------------------------------------------------
    void WriteChar(uint8_t ch);
    void WriteString(const std::string& s);
    // The emulator's ClearScreen: the screen rows move into the scrollback.
    void Clear();

    // --- events ------------------------------------------------------------------
    TQnKeyboardDataEvent OnKeyboardData;
    TQnTerminalCursorMovedEvent OnCursorMoved;

    // --- properties ---------------------------------------------------------------
    // The terminal takes data from its ComPort while Active.
    bool Active() const { return FActive; }
    void SetActive(bool v);
    TQnCustomComPort* ComPort() const { return FComPort.data(); }
    void SetComPort(TQnCustomComPort* port);
    bool AutoCopy() const { return FAutoCopy; }
    void SetAutoCopy(bool v) { FAutoCopy = v; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle style);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool v);
    bool AutoScrollback() const { return FAutoScrollback; }
    void SetAutoScrollback(bool v);
    int BlinkTime() const { return FBlinkTime; }
    void SetBlinkTime(int ms);
    TQnCaptureMode Capture() const { return FCapture; }
    void SetCapture(TQnCaptureMode mode);  // throws EQnCaptureError
    std::string CaptureFile() const { return FCaptureFile; }
    void SetCaptureFile(const std::string& name);
    int Columns() const;
    void SetColumns(int n) override;
    int Rows() const;
    void SetRows(int n);
    int ScrollbackRows() const;
    void SetScrollbackRows(int n);
    TQnCursorType CursorType() const { return FCursorType; }
    void SetCursorType(TQnCursorType t) override;
    TQnTerminalEmulator* Emulator() const override;
    void SetEmulator(TQnTerminalEmulator* emulator) override;
    // The emulator in use: the user emulator or the window's own.
    TQnTerminalEmulator* CurrentEmulator() const { return FCurrent; }
    bool FollowCursor() const { return FFollowCursor; }
    void SetFollowCursor(bool v);
    bool FreezeScrollBack() const override { return FFreezeScrollBack; }
    void SetFreezeScrollBack(bool v) { FFreezeScrollBack = v; }
    bool HalfDuplex() const override { return FHalfDuplex; }
    void SetHalfDuplex(bool v) { FHalfDuplex = v; }
    bool HideScrollbars() const { return FHideScrollbars; }
    void SetHideScrollbars(bool v);
    int LazyByteDelay() const { return FLazyByteDelay; }
    void SetLazyByteDelay(int n);  // 1..1024, others ignored
    int LazyTimeDelay() const { return FLazyTimeDelay; }
    void SetLazyTimeDelay(int ms);  // 1..1000, others ignored
    bool MouseSelect() const { return FMouseSelect; }
    void SetMouseSelect(bool v);
    bool PasteToPort() const { return FPasteToPort; }
    void SetPasteToPort(bool v) { FPasteToPort = v; }
    bool PasteToScreen() const { return FPasteToScreen; }
    void SetPasteToScreen(bool v) { FPasteToScreen = v; }
    bool Scrollback() const { return FScrollback; }
    void SetScrollback(bool v);
    bool UseLazyDisplay() const override { return FUseLazyDisplay; }
    // Without lazy display: the shortest time between two repaints (0: each
    // change repaints at once; at most 1000 ms).
    int MinRepaintInterval() const { return FMinRepaintInterval; }
    void SetMinRepaintInterval(int ms);
    void SetUseLazyDisplay(bool v) { FUseLazyDisplay = v; }
    bool WantAllKeys() const { return FWantAllKeys; }
    void SetWantAllKeys(bool v) { FWantAllKeys = v; }
    TColor Color() const override { return FColor; }
    void SetColor(TColor c) override;
    TColor FontColor() const override { return FFontColor; }
    void SetFontColor(TColor c) override;
    // Sets the window's font and measures the cell again.
    void SetTerminalFont(const QFont& font);

    // A font asked for by name, falling back to a monospace face when the
    // name is not installed. pixelSize > 0 sets the height in pixels,
    // otherwise pointSize is used.
    static QFont TerminalFont(const QString& name, int pixelSize, int pointSize = 9);

    // --- metrics and view ---------------------------------------------------------
    void CalcCharSize();
    int CharWidth() const { return FCharWidth ? FCharWidth : 1; }
    int CharHeight() const { return FCharHeight ? FCharHeight : 1; }
    TQnTerminalView View() const override;
    int LeftCol() const { return FLeftCol; }
    int TopRow() const { return FTopRow; }
    void SetLeftCol(int col);
    void SetTopRow(int row);
    int FullCols() const { return FFullCols; }
    int FullRows() const { return FFullRows; }
    // The window less its border, in window pixels. Client pixels (mouse
    // positions, the caret, what the emulator paints) count from its top left.
    QRect ClientRect() const;
    // The client area left for the cells: the client rectangle less the shown bars.
    int ClientWidth() const;
    int ClientHeight() const;
    // The scroll bars (children of the window; hidden while not needed).
    QScrollBar* HorzScrollBar() const { return FHorzBar; }
    QScrollBar* VertScrollBar() const { return FVertBar; }
    bool NeedHorzScrollBar() const;
    bool NeedVertScrollBar() const;

    // --- selection and clipboard --------------------------------------------------
    bool HasSelection() const { return FHasSelection; }
    // Current selection in reading order (start column, start row, end
    // column, end row as left, top, right, bottom); all 0 when none.
    TQnRect Selection() const { return FSelection; }
    // Mouse positions in client pixels.
    void StartSelection(int x, int y);
    void ExtendSelection(int x, int y);
    void ClearSelection();
    // The selected text, each row ended by CR LF; empty without a selection.
    std::string SelectedText() const;
    // Puts the selected text on the system clipboard; nothing without a selection.
    void CopyToClipboard();
    void PasteFromClipboard();
    // Whether the caret is shown, and its cell (client pixels) when it is.
    bool CaretShown() const { return FCaretShown; }
    QRect CaretRect() const { return FCaretRect; }
    // The shown caret blinks: visible and hidden for this many ms each
    // (0: steady). Starts at the desktop's cursor flash rate.
    int CaretBlinkTime() const { return FCaretBlinkTime; }
    void SetCaretBlinkTime(int ms);
    // The caret is shown and in the visible half of its blink.
    bool CaretVisible() const { return FCaretShown && FCaretOn; }

    // --- host services for the emulator --------------------------------------------
    void BufferCursorMoved(TQnTerminalEmulator& sender, int row, int col) override;
    void KeyboardData(TQnTerminalEmulator& sender, char ch) override;
    void Beep() override;
    void RestoreNumLock() override;
    void InvalidateRow(int row) override;
    bool PortOpen() const override;
    bool PortServesTerminal() const override;
    // Output the port cannot take (closed, full) is dropped, like bytes sent
    // down a dead line.
    void PortWriteChar(char ch) override;
    void PortWriteString(const std::string& s) override;
    std::optional<TQnPortLine> PortLine() const override;
    // Schedules a repaint of an area (client pixels) through the emulator.
    void InvalidateArea(const QRect& r);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool focusNextPrevChild(bool next) override;

    // Key handling the emulator sees: K may carry 8000h (auto-repeat).
    void CNKeyDown(QKeyEvent* e);
    void ProcessQueuedData(TQnCharSource source);
    void BufferChanged();
    void TimerTick();
    void UpdateViewMetrics();
    void FollowCursorIntoView();
    // Ctrl+C or Ctrl+Insert with a selection: copies; true when it did.
    bool HandleCopyKey(QKeyEvent* e);
    // Esc while a mouse selection is being made: ends it; true when it did.
    bool CancelSelectionKey(QKeyEvent* e);
    // From the timer: a drag held past an edge scrolls the view a step that way.
    void AutoScrollSelection();

    // Port hookup (QnTerminalPort.cpp).
    void RequestPortHookup();
    void HookPort();
    void UnhookPort();
    // Received bytes handed over by the port's dispatcher: into the queue.
    void PortDataTrigger();

private:
    void PostDataAvailable(TQnCharSource source = csWriteChar);
    // Bytes from the port into the queue, and the GUI thread woken for them.
    void QueuePortBytes(const std::vector<uint8_t>& bytes);
    bool PortEvent(int type);
    void FindPortBeside();
    void ForgetPort();
    void PostBufferChanged();
    void LazyRepaint();
    void RequestRepaint();
    void RepaintCanvas();
    void FlushPendingPaint();
    // ratio 0: the canvas's own (the window's before the first one).
    void EnsureCanvas(qreal ratio = 0);
    void HideCaretIfShown();
    void ShowCaretIfHidden();
    void PositionCaret();
    void BlinkCaret();
    void AttachBuffer(TQnTerminalEmulator* emulator);
    void DetachBuffer(TQnTerminalEmulator* emulator);
    void ClampViewOrigin();
    // Pixels of border on each side.
    int BorderWidth() const;
    void PaintBorder(QPainter& painter) const;
    // A new border: the client area and everything laid out in it change.
    void BorderChanged();
    // Schedules the window's paint of an area given in client pixels.
    void UpdateClient(const QRect& r);
    void ViewMoved();
    void SetHorzScrollInfo();
    void SetVertScrollInfo();
    void PlaceScrollBars();
    void VertBarAction(int action);
    void HookScroll(TQnTerminalBuffer* buffer);
    void BufferScrolled(int count, int firstRow, int lastRow);
    void ApplyScrolledSelection();
    void MarkSelection(const TQnRect& old, const TQnRect& next);
    void WipeSelectionMarks();
    QPoint ClampToCells(const QPoint& p) const;
    int LowestRow() const;
    void WriteCapture(const uint8_t* bytes, int n);
    void CloseCapture();

    TaaByteQueue FDataQueue;
    std::vector<uint8_t> FProcessing;  // the block being interpreted
    bool FInProcess = false;
    bool FDataDeferred = false;  // data arrived during a nested event loop
    uint8_t FDataPending = 0;    // one bit per character source with a message on its way
    bool FChangePending = false;
    std::FILE* FCaptureStream = nullptr;
    QImage FCanvas;
    TQnRunImageCache FRunCache;
    bool FCanvasStale = true;
    QRegion FPendingPaint;  // areas to repaint through the emulator
    QTimer FTimer;
    QTimer FRepaintTimer;
    QElapsedTimer FSinceRepaint;
    int FMinRepaintInterval = 0;
    std::unique_ptr<TQnTTYEmulator> FDefaultEmulator;
    TQnTerminalEmulator* FCurrent = nullptr;
    TQnTerminalEmulator* FUserEmulator = nullptr;
    bool FDestroying = false;

    int FCharHeight = 0;
    int FCharWidth = 0;
    int FCellAscent = -1;  // baseline of the window's font within a cell
    int FBlinkElapsed = 0;
    bool FBlinkPhase = false;
    int FLazyBytes = 0;
    int FLazyElapsed = 0;
    bool FCaretShown = false;
    QRect FCaretRect;
    int FCaretBlinkTime = 0;
    int FCaretElapsed = 0;
    bool FCaretOn = true;

    int FLeftCol = 1;
    int FTopRow = 1;
    int FDrawCols = 0;
    int FFullCols = 0;
    int FDrawRows = 0;
    int FFullRows = 0;
    bool FHorzBarNeeded = false;
    bool FVertBarNeeded = false;
    bool FCursorBeyondCols = false;
    bool FCursorBeyondRows = false;
    bool FSyncingBars = false;
    QScrollBar* FHorzBar = nullptr;
    QScrollBar* FVertBar = nullptr;
    TQnTerminalBuffer* FScrollHooked = nullptr;
    TQnTerminalBuffer::TScrollEvent FPrevOnScroll;

    bool FSelecting = false;
    bool FHasSelection = false;
    bool FSelectionScrolled = false;
    int FSelAnchorCol = 0;
    int FSelAnchorRow = 0;
    TQnRect FSelection{};
    QPoint FLastMouse;

    QPointer<TQnCustomComPort> FComPort;
    QMetaObject::Connection FPortGone;
    std::shared_ptr<TQnPortInbox> FInbox;  // while hooked
    TQnBaseDispatcher* FHookedDispatcher = nullptr;
    TQnHandlerToken FHookToken = 0;
    bool FPortHooked = false;
    bool FHookupPending = false;
    bool FHooking = false;

    bool FActive = true;
    bool FAutoCopy = true;
    bool FAutoScrollback = true;
    TBorderStyle FBorderStyle = bsSingle;
    bool FCtl3D = true;
    int FBlinkTime = 500;
    TQnCaptureMode FCapture = cmOff;
    std::string FCaptureFile = "QUONTERM.CAP";
    TQnCursorType FCursorType = ctBlock;
    bool FFollowCursor = true;
    bool FFreezeScrollBack = true;
    bool FHalfDuplex = false;
    bool FHideScrollbars = false;
    int FLazyByteDelay = 200;
    int FLazyTimeDelay = 100;
    bool FMouseSelect = true;
    bool FPasteToPort = false;
    bool FPasteToScreen = false;
    bool FScrollback = false;
    bool FUseLazyDisplay = true;
    bool FWantAllKeys = true;
    TColor FColor = QnBlack;
    TColor FFontColor = QnSilver;
};

// The published form of the terminal window.
class TQnTerminal : public TQnCustomTerminal {
public:
    using TQnCustomTerminal::TQnCustomTerminal;
};
