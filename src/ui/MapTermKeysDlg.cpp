#include "ui/MapTermKeysDlg.h"

#include <QButtonGroup>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "console/core/MapKeys.h"
#include "platform/UiPrompts.h"

namespace {

constexpr int kPanelHeight = 90;
// Row height is measured on a sample holding the tallest and deepest glyphs.
const char kHeightSample[] = "W!~`pgq,|\\_+/!;TLHY";

QString FromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

}  // namespace

// Paints one row: the key caption on blue, then its mapping on olive (blue
// while the row is selected). Text is white on blue and black on olive, the
// colours that read best on each.
class TMapTermKeysItemPainter : public QStyledItemDelegate {
public:
    TMapTermKeysItemPainter(TMapTermKeysDlg& dlg, TMapTermKeys& keys)
        : QStyledItemDelegate(&dlg), FDlg(dlg), FKeys(keys) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int row = index.row();
        if (row < 0 || row >= TermKeyCount) return;
        const int state = FDlg.GetKeyState();
        const bool selected = option.state & QStyle::State_Selected;
        const QRect rect = option.rect;

        painter->save();
        // The font the caption column was measured with.
        painter->setFont(FDlg.ListBox1->font());
        QRect caption = rect;
        caption.setWidth(std::min(rect.width(), FDlg.CaptionWidth()));
        DrawCell(*painter, caption, CaptionBackground, FromLatin1(TMapTermKeys::GetKeyCaption(row, state)));
        const QRect mapping(caption.right() + 1, rect.top(), rect.right() - caption.right(), rect.height());
        DrawCell(*painter, mapping, selected ? CaptionBackground : MappingBackground,
                 FromLatin1(FKeys.GetMapping(row, state)));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {FDlg.CaptionWidth(), FDlg.ItemHeight()};
    }

private:
    static void DrawCell(QPainter& painter, const QRect& cell, const QColor& background, const QString& text) {
        painter.setClipRect(cell);
        painter.fillRect(cell, background);
        painter.setPen(background == CaptionBackground ? Qt::white : Qt::black);
        painter.drawText(cell.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
    }

    static inline const QColor CaptionBackground{0, 0, 255};    // blue
    static inline const QColor MappingBackground{128, 128, 0};  // olive
    TMapTermKeysDlg& FDlg;
    TMapTermKeys& FKeys;
};

TMapTermKeysDlg::TMapTermKeysDlg(TMapTermKeys& keys, IUiPrompts* prompts, QWidget* parent)
    : QDialog(parent), FKeys(keys), FPrompts(prompts) {
    setObjectName("MapTermKeys");
    setWindowTitle("Map Terminal Keys");
    resize(338, 401);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setUniformItemSizes(true);
    // Rows are as wide as the list: a horizontal bar would only cut names.
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setItemDelegate(new TMapTermKeysItemPainter(*this, keys));

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(kPanelHeight);

    KeyState = new QGroupBox(" Key State ", Panel1);
    KeyState->setObjectName("KeyState");
    FStateButtons = new QButtonGroup(this);
    auto* stateLayout = new QVBoxLayout(KeyState);
    stateLayout->setContentsMargins(6, 2, 6, 2);
    stateLayout->setSpacing(0);
    for (int s = 0; s < KeyStateCount; ++s) {
        auto* button = new QRadioButton(KeyStateCaptions[size_t(s)], KeyState);
        FStateButtons->addButton(button, s);
        stateLayout->addWidget(button);
    }
    FStateButtons->button(tksNormal)->setChecked(true);

    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName("Edit1");
    Button1 = new QPushButton("Update", Panel1);
    Button1->setObjectName("Button1");
    Button1->setAutoDefault(false);

    auto* editColumn = new QVBoxLayout;
    editColumn->addStretch();
    editColumn->addWidget(Edit1);
    editColumn->addWidget(Button1, 0, Qt::AlignLeft);
    editColumn->addStretch();
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(4, 2, 4, 2);
    panelLayout->addWidget(KeyState);
    panelLayout->addLayout(editColumn, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ListBox1, 1);
    layout->addWidget(Panel1);

    // A click shows the stored text again even on the row already selected
    // (dropping an edit that was not applied with "Update").
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(FStateButtons, &QButtonGroup::idClicked, this, [this] { KeyStateClick(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    FillKeyList();
}

int TMapTermKeysDlg::GetKeyState() const {
    const int id = FStateButtons->checkedId();
    return id < 0 ? int(tksNormal) : id;
}

void TMapTermKeysDlg::FillKeyList() {
    ListBox1->clear();
    const QFontMetrics metrics(ListBox1->font());
    FItemHeight = metrics.boundingRect(kHeightSample).height() + 4;
    int widest = 0;
    for (int i = 0; i < TermKeyCount; ++i)
        for (int s = 0; s < KeyStateCount; ++s)
            widest = std::max(widest, metrics.horizontalAdvance(FromLatin1(TMapTermKeys::GetKeyCaption(i, s))));
    FCaptionWidth = widest + 4;
    for (int i = 0; i < TermKeyCount; ++i) ListBox1->addItem(QString());
}

void TMapTermKeysDlg::ListBox1Click() {
    const int index = ListBox1->currentRow();
    if (index < 0 || index >= TermKeyCount) return;
    Edit1->setText(FromLatin1(FKeys.GetMapping(index, GetKeyState())));
}

// The list shows the newly chosen state; the edit box keeps its text, so
// one typed text can be given to several states with "Update".
void TMapTermKeysDlg::KeyStateClick() { ListBox1->viewport()->update(); }

void TMapTermKeysDlg::Button1Click() {
    const int index = ListBox1->currentRow();
    if (index < 0 || index >= TermKeyCount) return;
    const QByteArray typed = Edit1->text().toLatin1();
    const std::string stored =
        FKeys.UpdateMapping(index, GetKeyState(), std::string(typed.constData(), size_t(typed.size())));
    Edit1->setText(FromLatin1(stored));
    ListBox1->viewport()->update();
}

bool TMapTermKeysDlg::FormCloseQuery() {
    try {
        FKeys.Save();
    } catch (const std::exception& e) {
        if (FPrompts != nullptr) FPrompts->ShowError(e.what());
    }
    return true;
}

void TMapTermKeysDlg::done(int result) {
    if (FormCloseQuery()) QDialog::done(result);
}
