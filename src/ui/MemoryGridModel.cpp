#include "ui/MemoryGridModel.h"

#include "cpu/z80Cpu.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

std::optional<int64_t> ParseGridInteger(const std::string& text, bool hex) {
    // A sign is allowed before decimal digits only.
    const char* first = text.data();
    const char* end = first + text.size();
    if (first != end && (*first == '+' || *first == '-')) {
        if (hex) return std::nullopt;
        if (*first == '+') ++first;
    }
    int64_t value = 0;
    auto [ptr, ec] = std::from_chars(first, end, value, hex ? 16 : 10);
    if (first == end || ec != std::errc() || ptr != end) return std::nullopt;
    // The reading is a 32-bit integer's.
    if (hex ? value > 0xFFFFFFFFLL : (value < INT32_MIN || value > INT32_MAX)) return std::nullopt;
    return value;
}

std::optional<int64_t> ParseMemoryValue(const std::string& text, bool hex) {
    if (text.empty()) return 0;
    std::string digits = text;
    const char last = digits.back();
    if (last == 'H' || last == 'h') {
        hex = true;
        digits.pop_back();
    } else if (last == 'T' || last == 't') {
        hex = false;
        digits.pop_back();
    }
    return ParseGridInteger(digits, hex);
}

std::string FormatGridNumber(unsigned value, int hexDigits, bool hex) {
    char text[16];
    if (hex)
        std::snprintf(text, sizeof text, "%0*X", hexDigits, value);
    else
        std::snprintf(text, sizeof text, "%u", value);
    return text;
}

namespace {

QString Number(unsigned value, int hexDigits, bool hex) {
    return QString::fromStdString(FormatGridNumber(value, hexDigits, hex));
}

}  // namespace

TMemoryGridModel::TMemoryGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TMemoryGridModel::SetCpu(TCpuEmu* cpu) {
    FCpu = cpu;
    RefreshAll();
}

void TMemoryGridModel::SetHex(bool hex) {
    if (hex == FHex) return;
    FHex = hex;
    emit headerDataChanged(Qt::Horizontal, 0, ByteColumns - 1);
    emit headerDataChanged(Qt::Vertical, 0, ByteRows - 1);
    RefreshAll();
}

QString TMemoryGridModel::CornerText() const { return FHex ? QStringLiteral("Hex") : QStringLiteral("Dec"); }

void TMemoryGridModel::RefreshAll() {
    if (FCpu)
        for (int row = 0; row < ByteRows; ++row)
            FCpu->ReadMemory(static_cast<uint16_t>(row * ByteColumns), ByteColumns, &FShown[size_t(row) * ByteColumns]);
    emit dataChanged(index(0, 0), index(ByteRows - 1, TextColumn));
}

void TMemoryGridModel::Refresh() {
    if (!FCpu) return;
    for (int row = 0; row < ByteRows; ++row) {
        const uint16_t start = static_cast<uint16_t>(row * ByteColumns);
        uint8_t bytes[ByteColumns];
        FCpu->ReadMemory(start, ByteColumns, bytes);
        uint8_t* shown = &FShown[start];
        if (std::memcmp(bytes, shown, ByteColumns) == 0) continue;
        // Each run of changed bytes is one change.
        for (int c = 0; c < ByteColumns;) {
            if (bytes[c] == shown[c]) {
                ++c;
                continue;
            }
            const int first = c;
            for (; c < ByteColumns && bytes[c] != shown[c]; ++c) shown[c] = bytes[c];
            emit dataChanged(index(row, first), index(row, c - 1));
        }
        emit dataChanged(index(row, TextColumn), index(row, TextColumn));
    }
}

int TMemoryGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ByteRows; }

int TMemoryGridModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ByteColumns + 1; }

QString TMemoryGridModel::RowText(int row) const {
    QString text(ByteColumns, QLatin1Char('.'));
    for (int c = 0; c < ByteColumns; ++c) {
        const uint8_t b = FCpu->ReadMemoryByte(static_cast<uint16_t>(row * ByteColumns + c));
        if (b >= 0x20 && b <= 0x7F) text[c] = QLatin1Char(static_cast<char>(b));
    }
    return text;
}

QVariant TMemoryGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const bool textColumn = index.column() == TextColumn;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (!FCpu) return {};
            if (textColumn) return RowText(index.row());
            return Number(FCpu->ReadMemoryByte(Address(index)), 2, FHex);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment((textColumn ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop));
        case Qt::BackgroundRole:
            if (textColumn) return QGuiApplication::palette().brush(QPalette::ToolTipBase);
            return {};
        case Qt::ForegroundRole:
            if (textColumn) return QGuiApplication::palette().brush(QPalette::ToolTipText);
            return {};
        default:
            return {};
    }
}

QVariant TMemoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole) {
        const bool left = orientation == Qt::Horizontal && section == TextColumn;
        return QVariant::fromValue(Qt::Alignment((left ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop));
    }
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        if (section == TextColumn) return QStringLiteral("ASCII Text");
        return Number(static_cast<unsigned>(section), 2, FHex);
    }
    return Number(static_cast<unsigned>(section * ByteColumns), 4, FHex);
}

Qt::ItemFlags TMemoryGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The text column can be neither selected nor edited.
    if (index.column() == TextColumn) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TMemoryGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() == TextColumn || !FCpu) return false;
    const std::optional<int64_t> number = ParseMemoryValue(value.toString().toStdString(), FHex);
    if (!number) {
        if (OnBadValue) OnBadValue();
        return false;
    }
    FCpu->WriteMemoryByte(Address(index), static_cast<uint8_t>(*number & 0xFF));
    FShown[Address(index)] = FCpu->ReadMemoryByte(Address(index));
    const QModelIndex text = this->index(index.row(), TextColumn);
    emit dataChanged(index, index);
    emit dataChanged(text, text);
    return true;
}
