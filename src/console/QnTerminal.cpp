#include "console/QnTerminal.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QStyleHints>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>
#include <climits>

#include "console/QnPaintRatio.h"
#include "console/QnTerminalPaint.h"
#include "platform/PlatformEvents.h"
#include "platform/core/ProgramFolder.h"
#include "platform/NumLockState.h"
#include "platform/VirtualKeys.h"

namespace {
// With NumLock off the keypad produces navigation codes; the terminal gives
// them the keypad's own codes so the emulator can tell them apart from the
// dedicated navigation block.
uint16_t KeypadCodeOf(uint16_t vk) {
    switch (vk) {
        case VK_CLEAR:
            return VK_NUMPAD0 + 5;
        case VK_PRIOR:
            return VK_NUMPAD0 + 9;
        case VK_NEXT:
            return VK_NUMPAD0 + 3;
        case VK_END:
            return VK_NUMPAD0 + 1;
        case VK_HOME:
            return VK_NUMPAD0 + 7;
        case VK_LEFT:
            return VK_NUMPAD0 + 4;
        case VK_UP:
            return VK_NUMPAD0 + 8;
        case VK_RIGHT:
            return VK_NUMPAD0 + 6;
        case VK_DOWN:
            return VK_NUMPAD0 + 2;
        case VK_INSERT:
            return VK_NUMPAD0;
        case VK_DELETE:
            return VK_DECIMAL;
        default:
            return vk;
    }
}
}  // namespace

TQnCustomTerminal::TQnCustomTerminal(QWidget* parent) : TQnBaseWinControl(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    FDefaultEmulator = std::make_unique<TQnTTYEmulator>();
    FDefaultEmulator->SetInternal(true);
    FDefaultEmulator->SetTerminal(this);
    FCurrent = FDefaultEmulator.get();
    AttachBuffer(FCurrent);
    HookScroll(FCurrent->Buffer());
    FHorzBar = new QScrollBar(Qt::Horizontal, this);
    FVertBar = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {FHorzBar, FVertBar}) {
        bar->hide();
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setCursor(Qt::ArrowCursor);
    }
    QObject::connect(FHorzBar, &QScrollBar::valueChanged, this, [this](int v) {
        if (!FSyncingBars) SetLeftCol(v + 1);
    });
    QObject::connect(FVertBar, &QScrollBar::valueChanged, this, [this](int v) {
        if (!FSyncingBars) SetTopRow(v + 1);
    });
    QObject::connect(FVertBar, &QScrollBar::actionTriggered, this, [this](int action) { VertBarAction(action); });
    SetCaretBlinkTime(QGuiApplication::styleHints()->cursorFlashTime() / 2);
    FTimer.setInterval(100);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { TimerTick(); });
    FTimer.start();
    FRepaintTimer.setSingleShot(true);
    QObject::connect(&FRepaintTimer, &QTimer::timeout, this, [this] { LazyRepaint(); });
    resize(300, 200);
    setFont(TerminalFont(QStringLiteral("Terminal"), 0, 9));
    CalcCharSize();
}

TQnCustomTerminal::~TQnCustomTerminal() {
    FDestroying = true;
    SetComPort(nullptr);
    FTimer.stop();
    FRepaintTimer.stop();
    HookScroll(nullptr);
    SetEmulator(nullptr);
    DetachBuffer(FDefaultEmulator.get());
    FCurrent = nullptr;
    FDefaultEmulator.reset();
    DetachTerminalEmulator(this, false);
    CloseCapture();
}

QFont TQnCustomTerminal::TerminalFont(const QString& name, int pixelSize, int pointSize) {
    QFont f;
    f.setFamilies({name, QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (pixelSize > 0)
        f.setPixelSize(pixelSize);
    else
        f.setPointSize(std::max(pointSize, 1));
    return f;
}

// --- data path -------------------------------------------------------------------

void TQnCustomTerminal::WriteChar(uint8_t ch) {
    FDataQueue.Put(ch);
    PostDataAvailable();
}

void TQnCustomTerminal::WriteString(const std::string& s) {
    for (size_t done = 0; done < s.size();) {
        const int n = static_cast<int>(std::min<size_t>(s.size() - done, INT_MAX / 4));
        FDataQueue.Put(s.data() + done, n);
        done += static_cast<size_t>(n);
    }
    PostDataAvailable();
}

void TQnCustomTerminal::PostDataAvailable(TQnCharSource source) {
    // One posted event per burst and source: the first handles everything queued.
    const uint8_t bit = static_cast<uint8_t>(1u << (source & 7));
    if (FDataPending & bit) return;
    FDataPending |= bit;
    PostPlatformEvent(this, WM_TERMINAL_DATA, source, 0);
}

void TQnCustomTerminal::PostBufferChanged() {
    if (FChangePending) return;
    FChangePending = true;
    PostPlatformEvent(this, WM_SCREEN_CHANGED, 0, 0);
}

void TQnCustomTerminal::ProcessQueuedData(TQnCharSource source) {
    if (FInProcess) {
        // Reached from a nested event loop: the running call keeps the order,
        // so these bytes wait until it has finished.
        FDataDeferred = true;
        return;
    }
    const int n = FDataQueue.Count();
    if (n <= 0 || !FCurrent) return;
    // The block is taken out of the queue before it is interpreted, so bytes
    // written meanwhile (which may move the queue's storage) wait behind it.
    const uint8_t* front = FDataQueue.Peek(n);
    FProcessing.assign(front, front + n);
    FDataQueue.Remove(n);
    if (FCapture == cmOn && FCaptureStream) WriteCapture(FProcessing.data(), n);
    FInProcess = true;
    try {
        FCurrent->ProcessBlock(FProcessing.data(), n, source);
    } catch (const std::exception&) {
        // A bad size request from the byte stream leaves the screen as it is.
    }
    FInProcess = false;
    ApplyScrolledSelection();
    if (FCanvasStale) UpdateViewMetrics();
    if (FDataDeferred) {
        FDataDeferred = false;
        PostDataAvailable(source);
    }
    if (!FUseLazyDisplay && FCurrent->NeedsUpdate()) RequestRepaint();
    FLazyBytes = static_cast<int>(std::min<int64_t>(static_cast<int64_t>(FLazyBytes) + n, INT_MAX / 2));
}

void TQnCustomTerminal::BufferChanged() {
    if (!FUseLazyDisplay) RequestRepaint();
}

void TQnCustomTerminal::Clear() {
    if (FCurrent) FCurrent->ClearScreen();
}

bool TQnCustomTerminal::event(QEvent* e) {
    const int type = static_cast<int>(e->type());
    if (type == WM_TERMINAL_DATA) {
        const auto* pe = static_cast<TPlatformEvent*>(e);
        const auto source = static_cast<TQnCharSource>(pe->WParam & 0xFF);
        FDataPending &= static_cast<uint8_t>(~(1u << (source & 7)));
        ProcessQueuedData(source);
        return true;
    }
    if (type == WM_SCREEN_CHANGED) {
        FChangePending = false;
        BufferChanged();
        return true;
    }
    if (type == WM_PASTE) {
        PasteFromClipboard();
        return true;
    }
    if (PortEvent(type)) return true;
    return TQnBaseWinControl::event(e);
}

// --- capture ------------------------------------------------------------------------

void TQnCustomTerminal::CloseCapture() {
    if (FCaptureStream) std::fclose(FCaptureStream);
    FCaptureStream = nullptr;
}

void TQnCustomTerminal::WriteCapture(const uint8_t* bytes, int n) {
    if (std::fwrite(bytes, 1, static_cast<size_t>(n), FCaptureStream) != static_cast<size_t>(n)) return;
    std::fflush(FCaptureStream);
}

void TQnCustomTerminal::SetCapture(TQnCaptureMode mode) {
    if (mode == FCapture) return;
    if (mode == cmAppend && FCapture == cmOn) return;
    if (FCapture == cmOn) CloseCapture();
    FCapture = mode;
    if (mode == cmOff) return;
    if (FCaptureFile.empty()) FCaptureFile = "QUONTERM.CAP";
    // A bare name belongs in the program folder, not wherever the program
    // happened to be started from.
    const std::string path = FCaptureFile.front() == '/' ? FCaptureFile : ProgramFolder() + FCaptureFile;
    if (mode == cmOn) {
        FCaptureStream = std::fopen(path.c_str(), "wb");
        if (!FCaptureStream) throw EQnCaptureError("Cannot create file \"" + path + "\"");
    } else {
        FCaptureStream = std::fopen(path.c_str(), "r+b");
        if (!FCaptureStream) throw EQnCaptureError("Cannot open file \"" + path + "\"");
        std::fseek(FCaptureStream, 0, SEEK_END);
        FCapture = cmOn;
    }
}

void TQnCustomTerminal::SetCaptureFile(const std::string& name) {
    if (name == FCaptureFile) return;
    const bool on = FCapture == cmOn;
    if (on) SetCapture(cmOff);
    FCaptureFile = name;
    if (on) SetCapture(cmOn);
}

// --- properties ------------------------------------------------------------------------

void TQnCustomTerminal::SetBlinkTime(int ms) {
    if (ms < 1)
        FBlinkTime = 0;
    else if (ms <= 250)
        FBlinkTime = 250;
    else
        FBlinkTime = ms;
}

void TQnCustomTerminal::SetLazyByteDelay(int n) {
    if (n >= 1 && n <= 1024) FLazyByteDelay = n;
}

void TQnCustomTerminal::SetLazyTimeDelay(int ms) {
    if (ms >= 1 && ms <= 1000) FLazyTimeDelay = ms;
}

int TQnCustomTerminal::Columns() const { return FCurrent && FCurrent->Buffer() ? FCurrent->Buffer()->ColCount() : 0; }

int TQnCustomTerminal::Rows() const { return FCurrent && FCurrent->Buffer() ? FCurrent->Buffer()->RowCount() : 0; }

int TQnCustomTerminal::ScrollbackRows() const {
    return FCurrent && FCurrent->Buffer() ? FCurrent->Buffer()->SVRowCount() : 0;
}

void TQnCustomTerminal::SetColumns(int n) {
    if (n <= 0 || n == Columns() || !FCurrent || !FCurrent->Buffer()) return;
    ClearSelection();
    FCurrent->Buffer()->SetColCount(n);
    FLeftCol = 1;
    FTopRow = 1;
    UpdateViewMetrics();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetRows(int n) {
    if (n <= 0 || n == Rows() || !FCurrent || !FCurrent->Buffer()) return;
    FCurrent->Buffer()->SetRowCount(n);
    ClampViewOrigin();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetScrollbackRows(int n) {
    if (n <= 0 || !FCurrent || !FCurrent->Buffer()) return;
    FCurrent->Buffer()->SetSVRowCount(n);
    ClampViewOrigin();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetCursorType(TQnCursorType t) {
    if (t == FCursorType) return;
    HideCaretIfShown();
    FCursorType = t;
    ShowCaretIfHidden();
}

void TQnCustomTerminal::SetFollowCursor(bool v) {
    FFollowCursor = v;
    FollowCursorIntoView();
}

void TQnCustomTerminal::SetColor(TColor c) {
    if (c == FColor) return;
    FColor = c;
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetFontColor(TColor c) {
    if (c == FFontColor) return;
    FFontColor = c;
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::SetTerminalFont(const QFont& font) {
    setFont(font);
    CalcCharSize();
}

// --- emulators --------------------------------------------------------------------------

TQnTerminalEmulator* TQnCustomTerminal::Emulator() const { return FUserEmulator; }

void TQnCustomTerminal::AttachBuffer(TQnTerminalEmulator* emulator) {
    if (emulator && emulator->Buffer()) emulator->Buffer()->RegisterTerminalHandle([this] { PostBufferChanged(); });
}

void TQnCustomTerminal::DetachBuffer(TQnTerminalEmulator* emulator) {
    if (emulator && emulator->Buffer()) emulator->Buffer()->DeregisterTerminalHandle();
}

void TQnCustomTerminal::SetEmulator(TQnTerminalEmulator* emulator) {
    if (emulator == FDefaultEmulator.get()) emulator = nullptr;
    if (!FCurrent || !FCurrent->Buffer() || emulator == FUserEmulator) return;
    FTimer.stop();
    const int sv = ScrollbackRows(), rows = Rows(), cols = Columns();
    ClearSelection();
    HookScroll(nullptr);
    if (FUserEmulator) {
        if (!FDestroying) DetachBuffer(FUserEmulator);
        FCurrent = nullptr;
        FUserEmulator = nullptr;
        DetachTerminalEmulator(this, true);
    }
    if (emulator) {
        FCurrent = emulator;
        FUserEmulator = emulator;
        AttachTerminalEmulator(this, emulator);
    } else {
        FCurrent = FDefaultEmulator.get();
    }
    if (FDestroying) return;
    // Registered after the pairing: leaving another terminal deregisters it there.
    AttachBuffer(FCurrent);
    HookScroll(FCurrent->Buffer());
    TQnTerminalBuffer* b = FCurrent->Buffer();
    if (b && sv > 0) {
        b->SetSVRowCount(sv);
        b->SetRowCount(rows);
        b->SetColCount(cols);
    }
    FTimer.start();
    CalcCharSize();
    ClampViewOrigin();
    FCanvasStale = true;
    update();
}

void TQnCustomTerminal::BufferCursorMoved(TQnTerminalEmulator& sender, int row, int col) {
    if (!FUseLazyDisplay) PostBufferChanged();
    if (FHideScrollbars && sender.Buffer()) {
        // Hidden bars show up while the cursor is beyond the fully visible cells.
        const bool beyondCols = sender.Buffer()->CursorScreenCol() >= FLeftCol + FFullCols;
        const bool beyondRows = sender.Buffer()->CursorScreenRow() >= FTopRow + FFullRows;
        if (beyondCols != FCursorBeyondCols || beyondRows != FCursorBeyondRows) {
            FCursorBeyondCols = beyondCols;
            FCursorBeyondRows = beyondRows;
            UpdateViewMetrics();
        }
    }
    if (FFollowCursor) FollowCursorIntoView();
    if (OnCursorMoved) OnCursorMoved(*this, row, col);
}

void TQnCustomTerminal::KeyboardData(TQnTerminalEmulator& sender, char ch) {
    if (OnKeyboardData) OnKeyboardData(sender, ch);
}

void TQnCustomTerminal::Beep() { QApplication::beep(); }

void TQnCustomTerminal::RestoreNumLock() { QnToggleNumLockState(); }

// --- view -------------------------------------------------------------------------------

void TQnCustomTerminal::CalcCharSize() {
    FCharHeight = 0;
    FCharWidth = 0;
    FRunCache.Clear();
    // The cell must hold a glyph of every font the emulator draws with,
    // the window's own font included.
    const auto measure = [this](const QFont& f) {
        const TQnGlyphCell cell = QnGlyphCellOf(f);
        FCharHeight = std::max(FCharHeight, cell.Height);
        FCharWidth = std::max(FCharWidth, cell.Width);
        return cell;
    };
    FCellAscent = measure(font()).Ascent;
    if (FCurrent) {
        for (const std::string& name : FCurrent->FontNames()) {
            measure(name == "<Default>" ? font() : QnFaceFont(font(), name));
        }
    }
    UpdateViewMetrics();
    FCanvasStale = true;
    update();
}

// --- painting ----------------------------------------------------------------------------

void TQnCustomTerminal::EnsureCanvas(qreal ratio) {
    // Kept at the ratio it was last shown at: paintEvent passes the ratio of
    // what it really draws on, and a ratio change repaints the window.
    if (ratio <= 0) ratio = QnStartingRatio(FCanvas, *this);
    const QSize s = ClientRect().size().expandedTo(QSize(1, 1));
    if (FCanvas.deviceIndependentSize().toSize() != s || FCanvas.devicePixelRatio() != ratio) {
        FCanvas = QImage(QSize(qCeil(s.width() * ratio), qCeil(s.height() * ratio)), QImage::Format_RGB32);
        FCanvas.setDevicePixelRatio(ratio);
        // Kept runs stay good: their key holds their size and ratio.
        FCanvasStale = true;
    }
}

void TQnCustomTerminal::RepaintCanvas() {
    EnsureCanvas();
    FCanvas.fill(ToQColor(FColor));
    FCanvasStale = false;
    FPendingPaint = QRegion();
    if (!FCurrent) return;
    const QRect area(0, 0, CharWidth() * FDrawCols, CharHeight() * FDrawRows);
    if (area.isEmpty()) return;
    TQnQtPainter painter(FCanvas, font(), area, &FRunCache, FCellAscent);
    FCurrent->Paint(painter);
}

void TQnCustomTerminal::FlushPendingPaint() {
    EnsureCanvas();
    if (FCanvasStale) {
        RepaintCanvas();
        return;
    }
    if (FPendingPaint.isEmpty() || !FCurrent) return;
    const QRegion pending = FPendingPaint;
    FPendingPaint = QRegion();
    const QRect area(0, 0, CharWidth() * FDrawCols, CharHeight() * FDrawRows);
    for (const QRect& r : pending) {
        // Beside the character area the window colour shows.
        {
            QPainter fill(&FCanvas);
            fill.fillRect(r, ToQColor(FColor));
        }
        const QRect cells = r & area;
        if (cells.isEmpty()) continue;
        TQnQtPainter painter(FCanvas, font(), cells, &FRunCache, FCellAscent);
        FCurrent->Paint(painter);
    }
}

void TQnCustomTerminal::InvalidateArea(const QRect& r) {
    const QRect clipped = r & QRect(QPoint(0, 0), ClientRect().size());
    if (clipped.isEmpty()) return;
    FPendingPaint |= clipped;
    UpdateClient(clipped);
}

void TQnCustomTerminal::InvalidateRow(int row) {
    if (row < FTopRow || row >= FTopRow + FDrawRows) return;
    InvalidateArea(QRect(0, (row - FTopRow) * CharHeight(), ClientWidth(), CharHeight()));
}

void TQnCustomTerminal::SetMinRepaintInterval(int ms) { FMinRepaintInterval = std::clamp(ms, 0, 1000); }

void TQnCustomTerminal::RequestRepaint() {
    // Immediate display, but at most once per interval: a program printing
    // character by character gets one repaint per interval, not one per
    // character; the last change is shown when the interval ends.
    if (FMinRepaintInterval <= 0) {
        LazyRepaint();
        return;
    }
    if (FRepaintTimer.isActive()) return;
    const qint64 since = FSinceRepaint.isValid() ? FSinceRepaint.elapsed() : FMinRepaintInterval;
    if (since >= FMinRepaintInterval)
        LazyRepaint();
    else
        FRepaintTimer.start(static_cast<int>(FMinRepaintInterval - since));
}

void TQnCustomTerminal::LazyRepaint() {
    if (!FCurrent) return;
    FRepaintTimer.stop();
    FSinceRepaint.start();
    HideCaretIfShown();
    if (FCanvasStale) update();
    FlushPendingPaint();
    const QRect area(0, 0, CharWidth() * FDrawCols, CharHeight() * FDrawRows);
    if (!area.isEmpty()) {
        TQnQtPainter painter(FCanvas, font(), area, &FRunCache, FCellAscent);
        FCurrent->LazyPaint(painter);
        if (!painter.Dirty().isEmpty()) UpdateClient(painter.Dirty());
    }
    ShowCaretIfHidden();
}

void TQnCustomTerminal::paintEvent(QPaintEvent*) {
    QPainter p(this);
    EnsureCanvas(QnPaintRatio(p));
    FlushPendingPaint();
    PaintBorder(p);
    // The painter is clipped to the region to update, and now to the client area.
    const QRect client = ClientRect();
    p.setClipRect(client, Qt::IntersectClip);
    p.translate(client.topLeft());
    p.drawImage(QPoint(0, 0), FCanvas);
    if (FCaretShown && FCaretOn && !FCaretRect.isEmpty()) {
        // The caret inverts the cell it covers.
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.fillRect(FCaretRect, Qt::white);
    }
}

void TQnCustomTerminal::resizeEvent(QResizeEvent* e) {
    TQnBaseWinControl::resizeEvent(e);
    PlaceScrollBars();
    UpdateViewMetrics();
    // A window that grows pulls the view back to end at the last column and row.
    if (FLeftCol > 1 && CharWidth() * FDrawCols < ClientWidth())
        SetLeftCol(Columns() - ClientWidth() / CharWidth() + 1);
    if (FTopRow > 1 && CharHeight() * FDrawRows < ClientHeight()) SetTopRow(Rows() - ClientHeight() / CharHeight() + 1);
    ClampViewOrigin();
    EnsureCanvas();
    update();
}

void TQnCustomTerminal::changeEvent(QEvent* e) {
    TQnBaseWinControl::changeEvent(e);
    if (e->type() == QEvent::FontChange) CalcCharSize();
}

// --- caret --------------------------------------------------------------------------------

void TQnCustomTerminal::HideCaretIfShown() {
    if (!FCaretShown) return;
    FCaretShown = false;
    UpdateClient(FCaretRect);
}

void TQnCustomTerminal::ShowCaretIfHidden() {
    if (FCaretShown || FCursorType == ctNone || !hasFocus()) return;
    PositionCaret();
}

void TQnCustomTerminal::PositionCaret() {
    if (!FCurrent || !FCurrent->Buffer()) return;
    const TQnTerminalBuffer& b = *FCurrent->Buffer();
    const int x = (b.CursorScreenCol() - FLeftCol) * CharWidth();
    int y = (b.CursorScreenRow() - FTopRow) * CharHeight();
    int h = CharHeight();
    if (FCursorType == ctUnderline) {
        y += CharHeight() - 2;
        h = 2;
    }
    if (x < 0 || x >= ClientWidth() || y < 0 || y >= ClientHeight()) return;
    FCaretRect = QRect(x, y, CharWidth(), h);
    FCaretShown = true;
    // A caret that has just moved shows at once.
    FCaretOn = true;
    FCaretElapsed = 0;
    UpdateClient(FCaretRect);
}

void TQnCustomTerminal::SetCaretBlinkTime(int ms) {
    FCaretBlinkTime = std::max(ms, 0);
    FCaretElapsed = 0;
    if (!FCaretOn) {
        FCaretOn = true;
        if (FCaretShown) UpdateClient(FCaretRect);
    }
}

void TQnCustomTerminal::BlinkCaret() {
    if (!FCaretShown || FCaretBlinkTime <= 0) return;
    FCaretElapsed += 100;
    if (FCaretElapsed < FCaretBlinkTime) return;
    FCaretElapsed = 0;
    FCaretOn = !FCaretOn;
    UpdateClient(FCaretRect);
}

void TQnCustomTerminal::focusInEvent(QFocusEvent* e) {
    TQnBaseWinControl::focusInEvent(e);
    ShowCaretIfHidden();
}

void TQnCustomTerminal::focusOutEvent(QFocusEvent* e) {
    HideCaretIfShown();
    TQnBaseWinControl::focusOutEvent(e);
}

// --- timer ----------------------------------------------------------------------------------

void TQnCustomTerminal::TimerTick() {
    if (!FCurrent) return;
    BlinkCaret();
    AutoScrollSelection();
    if (FBlinkTime > 0) {
        FBlinkElapsed += 100;
        if (FBlinkElapsed > FBlinkTime) {
            FBlinkPhase = !FBlinkPhase;
            if (FCurrent->HasBlinkingText()) {
                HideCaretIfShown();
                EnsureCanvas();
                const QRect area(0, 0, CharWidth() * FDrawCols, CharHeight() * FDrawRows);
                if (!area.isEmpty()) {
                    TQnQtPainter painter(FCanvas, font(), area, &FRunCache, FCellAscent);
                    FCurrent->BlinkPaint(painter, FBlinkPhase);
                    if (!painter.Dirty().isEmpty()) UpdateClient(painter.Dirty());
                }
                ShowCaretIfHidden();
            }
            FBlinkElapsed = 0;
        }
    }
    if (FUseLazyDisplay) {
        FLazyElapsed = std::min(FLazyElapsed + 100, INT_MAX / 2);
        if (FCurrent->NeedsUpdate()) {
            if (FLazyElapsed <= FLazyTimeDelay && FLazyBytes <= FLazyByteDelay) return;
            LazyRepaint();
            FLazyElapsed = 0;
            FLazyBytes = 0;
        }
    }
}

// --- keys -------------------------------------------------------------------------------------

bool TQnCustomTerminal::focusNextPrevChild(bool next) {
    // Tab belongs to the terminal while it wants all keys.
    if (FWantAllKeys) return false;
    return TQnBaseWinControl::focusNextPrevChild(next);
}

void TQnCustomTerminal::CNKeyDown(QKeyEvent* e) {
    const TVirtualKey vk = TranslateKeyEvent(*e);
    if (vk.Key == VK_SHIFT || vk.Key == VK_CONTROL || vk.Key == VK_MENU) return;
    uint16_t key = vk.Key;
    if (key != 0) {
        if (e->modifiers() & Qt::KeypadModifier) key = key == VK_RETURN ? VK_EXECUTE : KeypadCodeOf(key);
        if (e->isAutoRepeat()) key |= 0x8000;
        FCurrent->KeyDown(key, vk.Shift);
        if (key == 0) {
            e->accept();
            return;
        }
    }
    // Not consumed: the ordinary key-down and the typed character follow.
    if (!FWantAllKeys && vk.Key != 0) {
        uint16_t plain = vk.Key;
        FCurrent->KeyDown(plain, vk.Shift);
    }
    const int ch = KeyEventCharacter(*e);
    if (ch > 0) {
        char c = static_cast<char>(ch);
        FCurrent->KeyPress(c);
        if (!FUseLazyDisplay && FCurrent->NeedsUpdate()) LazyRepaint();
    }
    e->accept();
}

void TQnCustomTerminal::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    if (!FCurrent || key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_AltGr ||
        key == Qt::Key_Meta) {
        TQnBaseWinControl::keyPressEvent(e);
        return;
    }
    try {
        if (CancelSelectionKey(e) || HandleCopyKey(e)) {
            e->accept();
            return;
        }
        CNKeyDown(e);
    } catch (const std::exception&) {
        // A failing listener must not take the event loop down; the key is dropped.
        e->accept();
    }
}
