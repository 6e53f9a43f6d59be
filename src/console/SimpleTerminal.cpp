#include "console/SimpleTerminal.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "console/QnPaintRatio.h"
#include "console/core/CodePage437.h"

namespace {

constexpr int kCursorBarHeight = 4;
// Text whose average glyph width and height give the cell size.
constexpr char kMetricsSample[] = "1234567890ABCDEFGHIJKLMNOP~1!@#$%^&*()_{}[]><?gjq";
constexpr int kMetricsSampleLength = sizeof(kMetricsSample) - 1;  // 49

}  // namespace

TSimpleTerminal::TSimpleTerminal(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    FColor = 0xFF00000F;      // button face
    FFontColor = 0xFF000008;  // window text
    FCursorColor = FHighVideoFontColor = FLowVideoFontColor = FFontColor;
    FFont = MakeFontPoints(FFontName, FFontSize);

    FModel.OnRowsChanged = [this](TSimpleTerminalModel&, int first, int last) { ModelRowsChanged(first, last); };
    FModel.OnScrolledUp = [this](TSimpleTerminalModel&) { ModelScrolledUp(); };
    FModel.OnCursorMoved = [this](TSimpleTerminalModel&) { ModelCursorMoved(); };

    RebuildScreen(false);
}

TSimpleTerminal::~TSimpleTerminal() {
    // The model outlives nothing of ours, but drop the callbacks first anyway.
    FModel.OnRowsChanged = nullptr;
    FModel.OnScrolledUp = nullptr;
    FModel.OnCursorMoved = nullptr;
}

// --- colours and fonts -----------------------------------------------------

QFont TSimpleTerminal::MakeFont(const std::string& family, int height) {
    QFont font(QString::fromStdString(family));
    font.setStyleHint(QFont::TypeWriter);
    // Crisp cells, as a console's bitmap fonts draw them.
    font.setStyleStrategy(QFont::NoAntialias);
    const int pixels = std::max(1, std::abs(height));
    font.setPixelSize(pixels);
    if (QFontInfo(font).family().compare(QString::fromStdString(family), Qt::CaseInsensitive) != 0) {
        QFont fixed(FixedPitchFamily());
        fixed.setStyleHint(QFont::TypeWriter);
        fixed.setStyleStrategy(QFont::NoAntialias);
        fixed.setPixelSize(pixels);
        return fixed;
    }
    return font;
}

// A family the font database itself calls fixed-pitch: the system's generic
// fixed font may resolve to one whose glyphs differ in width.
QString TSimpleTerminal::FixedPitchFamily() {
    const QString preferred = QStringLiteral("DejaVu Sans Mono");
    const QStringList families = QFontDatabase::families();
    if (families.contains(preferred) && QFontDatabase::isFixedPitch(preferred)) return preferred;
    const QString system = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    if (QFontDatabase::isFixedPitch(system)) return system;
    for (const QString& candidate : families)
        if (QFontDatabase::isFixedPitch(candidate) && !QFontDatabase::isPrivateFamily(candidate)) return candidate;
    return system;
}

QFont TSimpleTerminal::MakeFontPoints(const std::string& family, int pointSize) {
    return MakeFont(family, -((std::max(1, pointSize) * 96 + 36) / 72));
}

void TSimpleTerminal::SetTerminalFont(const QFont& font) {
    FFont = font;
    FFont.setStyleStrategy(QFont::NoAntialias);
    FFontName = font.family().toStdString();
    if (font.pointSize() > 0)
        FFontSize = font.pointSize();
    else if (font.pixelSize() > 0)
        FFontSize = (font.pixelSize() * 72 + 48) / 96;
    RebuildScreen(true);
}

void TSimpleTerminal::SetFontNameAndSize(const std::string& name, int pointSize, bool bold, bool italic) {
    FFont = MakeFontPoints(name, pointSize);
    FFont.setBold(bold);
    FFont.setItalic(italic);
    FFontName = name;
    FFontSize = std::max(1, pointSize);
    RebuildScreen(true);
}

void TSimpleTerminal::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    RedrawAll();
}

void TSimpleTerminal::SetCursorColor(TColor value) {
    if (value == FCursorColor) return;
    FCursorColor = value;
    ShowCursor();
    RequestRepaint();
}

void TSimpleTerminal::SetHighVideoFontColor(TColor value) {
    if (value == FHighVideoFontColor) return;
    FHighVideoFontColor = value;
    RedrawAll();
}

void TSimpleTerminal::SetLowVideoFontColor(TColor value) {
    if (value == FLowVideoFontColor) return;
    FLowVideoFontColor = value;
    RedrawAll();
}

// --- properties --------------------------------------------------------------

void TSimpleTerminal::SetRows(int value) {
    if (FModel.SetRows(value)) RebuildScreen(true);
}

void TSimpleTerminal::SetColumns(int value) {
    if (FModel.SetColumns(value)) RebuildScreen(true);
}

void TSimpleTerminal::SetDisplayCursor(bool value) {
    if (value == FDisplayCursor) return;
    FDisplayCursor = value;
    if (value) FCursorHidden = false;
    RequestRepaint();
}

void TSimpleTerminal::SetAutoSize(bool value) {
    if (value == FAutoSize) return;
    FAutoSize = value;
    updateGeometry();
    if (FAutoSize && !(parentWidget() && parentWidget()->layout())) resize(sizeHint());
}

void TSimpleTerminal::SetScrollToCursor(bool value) {
    if (value == FScrollToCursor) return;
    FScrollToCursor = value;
    if (value) ScrollCursorIntoView();
}

QSize TSimpleTerminal::sizeHint() const {
    if (!FAutoSize) return QAbstractScrollArea::sizeHint();
    const int frame = 2 * frameWidth();
    return GridSize() + QSize(frame, frame);
}

// --- operations ----------------------------------------------------------------

void TSimpleTerminal::GotoXY(int column, int row) {
    FModel.GotoXY(column, row);
    ShowCursor();
}
void TSimpleTerminal::CursorHome() {
    FModel.CursorHome();
    ShowCursor();
}
void TSimpleTerminal::CursorRight() {
    FModel.CursorRight();
    ShowCursor();
}
void TSimpleTerminal::CursorLeft() {
    FModel.CursorLeft();
    ShowCursor();
}
void TSimpleTerminal::CursorDown() {
    FModel.CursorDown();
    ShowCursor();
}
void TSimpleTerminal::CursorUp() {
    FModel.CursorUp();
    ShowCursor();
}
void TSimpleTerminal::WriteChar(uint8_t ch) {
    FModel.WriteChar(ch);
    ShowCursor();
}
void TSimpleTerminal::WriteString(const std::string& text) {
    FModel.WriteString(text);
    ShowCursor();
}
void TSimpleTerminal::ClearLine() {
    FModel.ClearLine();
    ShowCursor();
}
void TSimpleTerminal::ClearToEndOfLine() {
    FModel.ClearToEndOfLine();
    ShowCursor();
}
void TSimpleTerminal::ClearToEndOfText() {
    FModel.ClearToEndOfText();
    ShowCursor();
}
void TSimpleTerminal::ClearScreen() {
    FModel.ClearScreen();
    ShowCursor();
}
void TSimpleTerminal::DeleteLineAt(int row) {
    FModel.DeleteLineAt(row);
    ShowCursor();
}
void TSimpleTerminal::DeleteLine() {
    FModel.DeleteLine();
    ShowCursor();
}
void TSimpleTerminal::InsertLineAt(int row) {
    FModel.InsertLineAt(row);
    ShowCursor();
}
void TSimpleTerminal::InsertLine() {
    FModel.InsertLine();
    ShowCursor();
}
void TSimpleTerminal::ScrollUp() { FModel.ScrollUp(); }
void TSimpleTerminal::PutCell(int column, int row, TTerminalCell cell) { FModel.PutCell(column, row, cell); }

void TSimpleTerminal::ShowCursor() {
    if (!FCursorHidden) return;
    FCursorHidden = false;
    RequestRepaint();
}

void TSimpleTerminal::HideCursor() {
    if (FCursorHidden) return;
    FCursorHidden = true;
    RequestRepaint();
}

void TSimpleTerminal::RedrawAll() {
    MarkAllDirty();
    ShowCursor();
    RequestRepaint();
}

void TSimpleTerminal::ComputeCellMetrics() {
    const QFontMetrics metrics(FFont);
    FCellHeight = metrics.height() + 2;
    // The average glyph rounded up, and two pixels between letters.
    const int w = metrics.horizontalAdvance(QString::fromLatin1(kMetricsSample, kMetricsSampleLength));
    FCellWidth = w / kMetricsSampleLength + (w % kMetricsSampleLength != 0 ? 1 : 0) + 2;
    FAscent = metrics.ascent();

    for (int i = 0; i < 4; ++i) {
        FStyledFonts[i] = FFont;
        // A bold console font stays bold in plain cells.
        FStyledFonts[i].setBold(FFont.bold() || (i & 1) != 0);
        FStyledFonts[i].setUnderline((i & 2) != 0);
    }
}

void TSimpleTerminal::RebuildScreen(bool KeepText) {
    if (!KeepText) FModel.Clear();
    ComputeCellMetrics();
    CreateBitmap(QnStartingRatio(FBitmap, *this));
    if (FAutoSize) {
        updateGeometry();
        if (!(parentWidget() && parentWidget()->layout())) resize(sizeHint());
    }
    LayoutScrollBars();
    FCursorHidden = false;
    if (FScrollToCursor) ScrollCursorIntoView();
    RequestRepaint();
}

void TSimpleTerminal::CreateBitmap(qreal ratio) {
    const QSize grid = GridSize();
    FBitmap = QImage(qCeil(grid.width() * ratio), qCeil(grid.height() * ratio), QImage::Format_RGB32);
    FBitmap.setDevicePixelRatio(ratio);
    FBitmap.fill(ToQColor(FColor));
    FGlyphCache.clear();
    FPendingScrollRows = 0;
    MarkAllDirty();
}

int TSimpleTerminal::DevicePos(int pixels) const {
    return static_cast<int>(std::floor(pixels * FBitmap.devicePixelRatio() + 1e-6));
}

QRect TSimpleTerminal::DeviceCell(int column, int row) const {
    const int left = DevicePos(column * FCellWidth), top = DevicePos(row * FCellHeight);
    return QRect(left, top, DevicePos((column + 1) * FCellWidth) - left, DevicePos((row + 1) * FCellHeight) - top);
}

// --- model notifications -----------------------------------------------------

void TSimpleTerminal::MarkAllDirty() {
    FDirtyRows.assign(size_t(FModel.Rows()), 1);
    FAnyDirty = true;
}

void TSimpleTerminal::ModelRowsChanged(int firstRow, int lastRow) {
    if (FDirtyRows.size() != size_t(FModel.Rows())) FDirtyRows.assign(size_t(FModel.Rows()), 1);
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, FModel.Rows() - 1);
    for (int r = firstRow; r <= lastRow; ++r) FDirtyRows[size_t(r)] = 1;
    FAnyDirty = true;
    RequestRepaint();
}

void TSimpleTerminal::ModelScrolledUp() {
    // The image moves up when it is next drawn (once for a whole burst of
    // lines); rows still waiting to be drawn move with it now.
    const int rows = FModel.Rows();
    if (FDirtyRows.size() == size_t(rows) && rows > 1) {
        std::rotate(FDirtyRows.begin(), FDirtyRows.begin() + 1, FDirtyRows.end());
        FDirtyRows.back() = 1;
        if (FPendingScrollRows < rows) ++FPendingScrollRows;
    } else {
        FDirtyRows.assign(size_t(rows), 1);
    }
    FAnyDirty = true;
    RequestRepaint();
}

void TSimpleTerminal::ModelCursorMoved() {
    if (FScrollToCursor) ScrollCursorIntoView();
    RequestRepaint();
}

void TSimpleTerminal::RequestRepaint() {
    if (FRepaintPending) return;
    FRepaintPending = true;
    viewport()->update();
}

// --- drawing ---------------------------------------------------------------------

void TSimpleTerminal::RenderDirtyRows() {
    if (!FAnyDirty) return;
    FAnyDirty = false;
    const int rows = std::min<int>(FModel.Rows(), int(FDirtyRows.size()));
    const int columns = FModel.Columns();

    if (FPendingScrollRows > 0) {
        const int lines = FPendingScrollRows * FCellHeight;
        const int shift = DevicePos(lines);
        FPendingScrollRows = 0;
        // Rows on whole device pixels move as they are; between them the
        // rows would land a pixel off their place, so they are drawn again.
        if (!QnOnDevicePixels(lines, FBitmap.devicePixelRatio())) {
            std::fill(FDirtyRows.begin(), FDirtyRows.end(), 1);
        } else if (shift < FBitmap.height()) {
            const qsizetype stride = FBitmap.bytesPerLine();
            uchar* bits = FBitmap.bits();
            std::memmove(bits, bits + stride * shift, size_t(stride * (FBitmap.height() - shift)));
        }
    }

    const QColor background = ToQColor(FColor);
    const QColor highVideo = ToQColor(FHighVideoFontColor);
    const QColor lowVideo = ToQColor(FLowVideoFontColor);
    if (FGlyphCache.size() > 4096) FGlyphCache.clear();

    const qreal ratio = FBitmap.devicePixelRatio();
    const int narrow = DevicePos(FCellWidth) - DevicePos(0);
    const int low = DevicePos(FCellHeight) - DevicePos(0);
    QPainter painter(&FBitmap);
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));  // device pixels
    for (int r = 0; r < rows; ++r) {
        if (!FDirtyRows[size_t(r)]) continue;
        FDirtyRows[size_t(r)] = 0;
        for (int c = 0; c < columns; ++c) {
            const TTerminalCell cell = FModel.GetCell(c, r);
            const TTerminalCharAttributes a = cell.Attributes;
            QColor text = a.Contains(tca_HighVideo) ? highVideo : lowVideo;
            QColor back = background;
            if (a.Contains(tca_Inverted)) std::swap(text, back);
            const QRect box = DeviceCell(c, r);
            if ((cell.Ch == 0x20 || cell.Ch == 0x00) && !a.Contains(tca_Underlined)) {
                painter.fillRect(box, back);
                continue;
            }
            const int style = (a.Contains(tca_Bold) ? 1 : 0) | (a.Contains(tca_Underlined) ? 2 : 0);
            // Between whole device pixels a cell is a pixel wider or taller
            // than its neighbour: each size is a glyph image of its own.
            const uint64_t size = uint64_t(box.width() > narrow) | uint64_t(box.height() > low) << 1;
            const uint64_t key = uint64_t(cell.Ch) | uint64_t(style) << 8 | uint64_t(text.rgb() & 0xFFFFFF) << 10 |
                                 uint64_t(back.rgb() & 0xFFFFFF) << 34 | size << 58;
            auto it = FGlyphCache.find(key);
            if (it == FGlyphCache.end()) {
                QImage glyph(box.size(), QImage::Format_RGB32);
                glyph.setDevicePixelRatio(ratio);
                glyph.fill(back);
                QPainter gp(&glyph);
                gp.setFont(FStyledFonts[style]);
                gp.setPen(text);
                gp.drawText(0, FAscent, QString(QChar(Cp437ToUnicode(cell.Ch))));
                gp.end();
                it = FGlyphCache.emplace(key, std::move(glyph)).first;
            }
            painter.drawImage(QRectF(box), it->second, QRectF(it->second.rect()));
        }
    }
}

void TSimpleTerminal::paintEvent(QPaintEvent* event) {
    FRepaintPending = false;
    QPainter painter(viewport());
    // Drawn at the ratio of what is painted on: a screen change, or a
    // rendering into an image, redraws every cell at the new resolution.
    const qreal ratio = QnPaintRatio(painter);
    if (FBitmap.devicePixelRatio() != ratio) CreateBitmap(ratio);
    RenderDirtyRows();

    const int ox = horizontalScrollBar()->value();  // 0 while the bar is not needed
    const int oy = verticalScrollBar()->value();
    const QRect area = event->rect();
    // The image shows in the view less its last pixel column and row.
    const QSize view = ViewSize();
    const QRect shownArea(0, 0, view.width() - 1, view.height() - 1);
    const QRect image = QRect(QPoint(0, 0), GridSize()).translated(-ox, -oy) & shownArea;
    // Outside the grid the control shows its background colour.
    const QRegion outside = QRegion(area) - QRegion(image);
    for (const QRect& r : outside) painter.fillRect(r, ToQColor(FColor));
    const QRect shown = area & image;
    if (!shown.isEmpty()) {
        painter.save();
        painter.setClipRect(shown, Qt::IntersectClip);
        painter.drawImage(QPoint(-ox, -oy), FBitmap);
        painter.restore();
    }

    if (FDisplayCursor && !FCursorHidden) {
        // Along the bottom of the cell as the image has it, in whole device pixels.
        const QRect cell = DeviceCell(FModel.CursorColumn(), FModel.CursorRow());
        const int height = DevicePos(kCursorBarHeight) - DevicePos(0);
        const QRectF bar(cell.left() / ratio - ox, (cell.bottom() + 1 - height) / ratio - oy, cell.width() / ratio,
                         height / ratio);
        painter.setClipRect(image, Qt::IntersectClip);
        painter.fillRect(bar, ToQColor(FCursorColor));
    }
}

// --- scrolling -------------------------------------------------------------------

void TSimpleTerminal::LayoutScrollBars() {
    // Decide both bars from the space inside the frame, so that one bar
    // appearing (and narrowing the view) is taken into account for the other.
    const QSize client = contentsRect().size();
    const QSize content = GridSize();
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const int barWidth = v->sizeHint().width();
    const int barHeight = h->sizeHint().height();
    // A bar switched off for good does not exist.
    const bool hasV = verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const bool hasH = horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    bool needV = hasV && client.height() < content.height();
    bool needH = hasH && client.width() < content.width();
    // A bar that leaves the other way no more than the grid takes the other
    // bar too.
    if (needV && !needH)
        needH = hasH && client.width() - barWidth <= content.width();
    else if (needH && !needV)
        needV = hasV && client.height() - barHeight <= content.height();
    const int viewWidth = client.width() - (needV ? barWidth : 0);
    const int viewHeight = client.height() - (needH ? barHeight : 0);
    FVerticalBarNeeded = needV;
    FHorizontalBarNeeded = needH;

    v->setRange(0, needV ? std::max(1, content.height() + 1 - viewHeight) : 0);
    v->setPageStep(FCellHeight);
    v->setSingleStep(FCellHeight / 4 + 1);
    h->setRange(0, needH ? std::max(1, content.width() - viewWidth) : 0);
    h->setPageStep(FCellWidth);
    h->setSingleStep(FCellWidth / 4 + 1);
}

QSize TSimpleTerminal::ViewSize() const {
    // A shown bar takes its own size and a pixel beside it.
    const QSize port = viewport()->size();
    return QSize(port.width() - (FVerticalBarNeeded ? 1 : 0), port.height() - (FHorizontalBarNeeded ? 1 : 0));
}

void TSimpleTerminal::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    LayoutScrollBars();
}

void TSimpleTerminal::scrollContentsBy(int, int) { viewport()->update(); }

void TSimpleTerminal::ScrollCursorIntoView() {
    // Runs for every cursor move, so the common case (no bars) returns early.
    if (!FScrollToCursor || !(FVerticalBarNeeded || FHorizontalBarNeeded)) return;
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    const bool vShown = FVerticalBarNeeded;
    const bool hShown = FHorizontalBarNeeded;
    const int c = FModel.CursorColumn();
    const int r = FModel.CursorRow();
    const QSize view = ViewSize();
    // Cell edges are one past the cell; the visible edges are the last
    // pixel in view.
    if (vShown) {
        const int cellTop = r * FCellHeight;
        const int cellBottom = cellTop + FCellHeight;
        const int visibleTop = v->value();
        const int visibleBottom = visibleTop + view.height() - 1;
        if (cellBottom - visibleBottom >= 1)
            v->setValue(v->value() + (cellBottom - visibleBottom));
        else if (visibleTop - cellTop > 0)
            v->setValue(v->value() - (visibleTop - cellTop));
    }
    if (hShown) {
        const int cellLeft = c * FCellWidth;
        const int cellRight = cellLeft + FCellWidth;
        const int visibleLeft = h->value();
        const int visibleRight = visibleLeft + view.width() - 1;
        if (cellRight - visibleRight >= 1)
            h->setValue(h->value() + (cellRight - visibleRight));
        else if (visibleLeft - cellLeft > 0)
            h->setValue(h->value() - (visibleLeft - cellLeft));
    }
}

// --- keyboard --------------------------------------------------------------------

bool TSimpleTerminal::WantsKey(const QKeyEvent& event) const {
    switch (event.key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return FWantTabs;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return FWantReturns;
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            return FWantArrowKeys;
        default:
            return true;
    }
}

bool TSimpleTerminal::event(QEvent* event) {
    // Tab would move the focus before keyPressEvent sees it.
    if (event->type() == QEvent::KeyPress && FWantTabs) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TSimpleTerminal::keyPressEvent(QKeyEvent* event) {
    if (!WantsKey(*event)) {
        event->ignore();
        return;
    }
    event->accept();
    const TVirtualKey vk = TranslateKeyEvent(*event);
    uint16_t key = vk.Key;
    if (key != 0 && OnKeyDown) {
        OnKeyDown(*this, key, vk.Shift);
        if (key == 0) return;  // swallowed: no character follows
    }
    const int ch = KeyEventCharacter(*event);
    if (ch >= 0 && OnKeyPress) {
        char c = static_cast<char>(ch);
        OnKeyPress(*this, c);
    }
}

void TSimpleTerminal::keyReleaseEvent(QKeyEvent* event) {
    if (!WantsKey(*event)) {
        event->ignore();
        return;
    }
    event->accept();
    if (event->isAutoRepeat()) return;  // auto-repeat shows as repeated key downs only
    const TVirtualKey vk = TranslateKeyEvent(*event);
    uint16_t key = vk.Key;
    if (key != 0 && OnKeyUp) OnKeyUp(*this, key, vk.Shift);
}
