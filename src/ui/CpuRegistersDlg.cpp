#include "ui/CpuRegistersDlg.h"

#include "cpu/z80Cpu.h"
#include "ui/GridCorner.h"
#include "ui/MemoryGridModel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct TRegisterRow {
    const char* Name;
    uint8_t (TCpuEmu::*Get[2])() const;
    void (TCpuEmu::*Set[2])(uint8_t);
};

const TRegisterRow RegisterTable[TRegisterGridModel::RegisterRows] = {
    {"PC", {&TCpuEmu::RegisterPCH, &TCpuEmu::RegisterPCL}, {&TCpuEmu::SetRegisterPCH, &TCpuEmu::SetRegisterPCL}},
    {"SP", {&TCpuEmu::RegisterSPH, &TCpuEmu::RegisterSPL}, {&TCpuEmu::SetRegisterSPH, &TCpuEmu::SetRegisterSPL}},
    {"IX", {&TCpuEmu::RegisterIXH, &TCpuEmu::RegisterIXL}, {&TCpuEmu::SetRegisterIXH, &TCpuEmu::SetRegisterIXL}},
    {"IY", {&TCpuEmu::RegisterIYH, &TCpuEmu::RegisterIYL}, {&TCpuEmu::SetRegisterIYH, &TCpuEmu::SetRegisterIYL}},
    {"AF", {&TCpuEmu::RegisterA, &TCpuEmu::StatusFlags}, {&TCpuEmu::SetRegisterA, &TCpuEmu::SetStatusFlags}},
    {"BC", {&TCpuEmu::RegisterB, &TCpuEmu::RegisterC}, {&TCpuEmu::SetRegisterB, &TCpuEmu::SetRegisterC}},
    {"DE", {&TCpuEmu::RegisterD, &TCpuEmu::RegisterE}, {&TCpuEmu::SetRegisterD, &TCpuEmu::SetRegisterE}},
    {"HL", {&TCpuEmu::RegisterH, &TCpuEmu::RegisterL}, {&TCpuEmu::SetRegisterH, &TCpuEmu::SetRegisterL}},
    {"AF'", {&TCpuEmu::ExRegisterA, &TCpuEmu::ExStatusFlags}, {&TCpuEmu::SetExRegisterA, &TCpuEmu::SetExStatusFlags}},
    {"BC'", {&TCpuEmu::ExRegisterB, &TCpuEmu::ExRegisterC}, {&TCpuEmu::SetExRegisterB, &TCpuEmu::SetExRegisterC}},
    {"DE'", {&TCpuEmu::ExRegisterD, &TCpuEmu::ExRegisterE}, {&TCpuEmu::SetExRegisterD, &TCpuEmu::SetExRegisterE}},
    {"HL'", {&TCpuEmu::ExRegisterH, &TCpuEmu::ExRegisterL}, {&TCpuEmu::SetExRegisterH, &TCpuEmu::SetExRegisterL}},
};

const char* const FlagItems[8] = {"C - carry", "N - negative",   "P - parity / overflow",
                                  "x -  n/u",  "H - half carry", "y -  n/u",
                                  "Z - zero",  "S - sign"};

}  // namespace

// --- the grid ---------------------------------------------------------------

void TRegisterGridModel::SetCpu(TCpuEmu* cpu) {
    FCpu = cpu;
    RefreshAll();
}

void TRegisterGridModel::SetHex(bool hex) {
    FHex = hex;
    RefreshAll();
}

void TRegisterGridModel::RefreshAll() {
    for (int row = 0; FCpu && row < RegisterRows; ++row)
        for (int column = 0; column < 2; ++column) FShown[size_t(row)][size_t(column)] = Byte(row, column);
    emit dataChanged(index(0, 0), index(RegisterRows - 1, 1));
}

void TRegisterGridModel::Refresh() {
    if (!FCpu) return;
    for (int row = 0; row < RegisterRows; ++row)
        for (int column = 0; column < 2; ++column) {
            uint8_t& shown = FShown[size_t(row)][size_t(column)];
            const uint8_t b = Byte(row, column);
            if (b == shown) continue;
            shown = b;
            emit dataChanged(index(row, column), index(row, column));
        }
}

uint8_t TRegisterGridModel::Byte(int row, int column) const { return (FCpu->*RegisterTable[row].Get[column])(); }

void TRegisterGridModel::SetByte(int row, int column, uint8_t value) {
    // Through a copy: a sanitizer build otherwise warns about the indices.
    const auto set = RegisterTable[row].Set[column];
    (FCpu->*set)(value);
}

int TRegisterGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : RegisterRows; }

int TRegisterGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TRegisterGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    // Centred in the row, as the row names are, so each row reads on one line.
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !FCpu) return {};
    return QString::fromStdString(FormatGridNumber(Byte(index.row(), index.column()), 2, FHex));
}

QVariant TRegisterGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return section == 0 ? QStringLiteral("High") : QStringLiteral("Low");
    if (section < 0 || section >= RegisterRows) return {};
    return QString::fromLatin1(RegisterTable[section].Name);
}

Qt::ItemFlags TRegisterGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TRegisterGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !FCpu) return false;
    const std::optional<int64_t> number = ParseGridInteger(value.toString().toStdString(), FHex);
    if (!number || *number < 0 || *number > 255) return false;
    SetByte(index.row(), index.column(), static_cast<uint8_t>(*number));
    emit dataChanged(index, index);
    if (OnChanged) OnChanged();
    return true;
}

// --- the dialog -------------------------------------------------------------

TZ80RegistersDlg::TZ80RegistersDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), FModel(new TRegisterGridModel(this)) {
    setObjectName(QStringLiteral("Z80RegistersDlg"));
    setWindowTitle(QStringLiteral("Z80 Registers"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // The names and the two bytes share the grid's width in three equal
    // columns (the names' width is set on every resize).
    DrawGrid1 = new QTableView(this);
    DrawGrid1->setModel(FModel);
    DrawGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    DrawGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    DrawGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DrawGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DrawGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetGridCornerText(*DrawGrid1, [] { return QStringLiteral("Reg"); });
    layout->addWidget(DrawGrid1);

    GroupBox1 = new QGroupBox(QStringLiteral("[ CPU Flags ]"), this);
    auto* groupLayout = new QVBoxLayout(GroupBox1);
    FlagDisplay = new QListWidget(GroupBox1);
    FlagDisplay->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FlagDisplay->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const char* text : FlagItems) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), FlagDisplay);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    groupLayout->addWidget(FlagDisplay);
    layout->addSpacing(4);
    layout->addWidget(GroupBox1);

    HexMemoryDisplay = new QCheckBox(QStringLiteral("Display Hex"), this);
    HexMemoryDisplay->setChecked(true);
    auto* boxRow = new QHBoxLayout;
    boxRow->setContentsMargins(8, 4, 8, 8);
    boxRow->addWidget(HexMemoryDisplay);
    layout->addLayout(boxRow);

    FModel->OnChanged = [this] { RegisterChanged(); };
    connect(HexMemoryDisplay, &QCheckBox::toggled, this, [this] { HexMemoryDisplayClick(); });
    connect(FlagDisplay, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) { FlagDisplayClick(item); });
    FormActivate();
}

void TZ80RegistersDlg::SetCpu(TCpuEmu* cpu) {
    FModel->SetCpu(cpu);
    RefreshGrid();
}

void TZ80RegistersDlg::RefreshGrid() {
    FModel->Refresh();
    if (Cpu()) ShowFlags(Cpu()->StatusFlags());
}

void TZ80RegistersDlg::ShowFlags(uint8_t flags) {
    FShowingFlags = true;
    const int count = std::min(FlagDisplay->count(), 8);
    for (int i = 0; i < count; ++i) FlagDisplay->item(i)->setCheckState((flags >> i) & 1 ? Qt::Checked : Qt::Unchecked);
    FShowingFlags = false;
}

uint8_t TZ80RegistersDlg::GetFlags() const {
    uint8_t flags = 0;
    const int count = std::min(FlagDisplay->count(), 8);
    for (int i = 0; i < count; ++i)
        if (FlagDisplay->item(i)->checkState() == Qt::Checked) flags |= static_cast<uint8_t>(1u << i);
    return flags;
}

void TZ80RegistersDlg::RegisterChanged() {
    RefreshGrid();
    if (OnRegisterChange) OnRegisterChange(*this);
}

void TZ80RegistersDlg::FlagDisplayClick(QListWidgetItem*) {
    if (FShowingFlags || !Cpu()) return;
    Cpu()->SetStatusFlags(GetFlags());
    RegisterChanged();
}

void TZ80RegistersDlg::HexMemoryDisplayClick() { FModel->SetHex(HexMemoryDisplay->isChecked()); }

void TZ80RegistersDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
    RefreshGrid();
}

// Fits the grid, the flag list and the window to the font: the grid's rows
// fill its height, the window is as wide as the flag texts need (at least
// 150 pixels) and no larger than its contents.
void TZ80RegistersDlg::FormActivate() {
    const int rowHeight = fontMetrics().height() + 4;
    QHeaderView& rowNames = *DrawGrid1->verticalHeader();
    rowNames.setMinimumSectionSize(rowHeight);
    rowNames.setDefaultSectionSize(rowHeight);
    DrawGrid1->horizontalHeader()->setFixedHeight(rowHeight);
    DrawGrid1->setFixedHeight(rowHeight * (TRegisterGridModel::RegisterRows + 1) + 2 * DrawGrid1->frameWidth());

    const int itemHeight = FlagDisplay->sizeHintForRow(0) > 0 ? FlagDisplay->sizeHintForRow(0) : rowHeight;
    FlagDisplay->setFixedHeight(itemHeight * FlagDisplay->count() + 2 * FlagDisplay->frameWidth());
    FlagDisplay->setMinimumWidth(FlagDisplay->sizeHintForColumn(0) + 2 * FlagDisplay->frameWidth());

    // The heading texts with room on both sides decide the columns' least width.
    const QFontMetrics headings(DrawGrid1->horizontalHeader()->font());
    const int column = 3 * 3 + std::max({headings.horizontalAdvance(QStringLiteral("Reg")),
                                         headings.horizontalAdvance(QStringLiteral("High")),
                                         headings.horizontalAdvance(QStringLiteral("HL'"))});
    const int width = std::max({150, minimumSizeHint().width(), 3 * column + 2 * DrawGrid1->frameWidth()});
    setFixedSize(width, minimumSizeHint().height());
    FitColumns();
}

// Three equal columns across the grid; the row names' column takes what is
// left over when the width does not divide by three.
void TZ80RegistersDlg::FitColumns() {
    const int inner = width() - 2 * DrawGrid1->frameWidth();
    DrawGrid1->verticalHeader()->setFixedWidth(inner - 2 * (inner / 3));
}

void TZ80RegistersDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FitColumns();
}
