#pragma once
// The CPU page's memory grid as a table model: 4,096 rows of 16 bytes and
// a seventeenth column with the same bytes as text. Headings (the column
// offsets, the row addresses and the "Hex" / "Dec" corner) are header data.
// Bytes and addresses show in hexadecimal or decimal; an edited cell is
// converted by ParseMemoryValue and written once, when the editor commits.

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TCpuEmu;

// An integer in hexadecimal (no sign) or decimal, as a 32-bit integer
// reads; nothing when the text is no such integer.
std::optional<int64_t> ParseGridInteger(const std::string& text, bool hex);

// An edited memory text as a number: "" is 0; a trailing "H" / "h" reads
// hexadecimal, "T" / "t" decimal, otherwise the grid's base. Nothing when
// the text is not an integer.
std::optional<int64_t> ParseMemoryValue(const std::string& text, bool hex);

// A byte or an address as the grid writes it: upper-case hexadecimal with
// the given digits, or plain decimal.
std::string FormatGridNumber(unsigned value, int hexDigits, bool hex);

class TMemoryGridModel : public QAbstractTableModel {
public:
    static constexpr int ByteRows = 4096;
    static constexpr int ByteColumns = 16;
    static constexpr int TextColumn = 16;

    explicit TMemoryGridModel(QObject* parent = nullptr);

    // Null shows the headings only.
    void SetCpu(TCpuEmu* cpu);
    bool Hex() const { return FHex; }
    void SetHex(bool hex);
    // "Hex" or "Dec".
    QString CornerText() const;
    // Tells the views of the bytes that changed since they were last told,
    // so a refresh of memory that stayed the same repaints nothing.
    void Refresh();
    // A text that does not convert calls this and writes nothing.
    std::function<void()> OnBadValue;

    static uint16_t Address(const QModelIndex& index) {
        return static_cast<uint16_t>(index.row() * ByteColumns + index.column());
    }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    QString RowText(int row) const;
    // Every cell changed (another CPU, another base).
    void RefreshAll();

    TCpuEmu* FCpu = nullptr;
    bool FHex = true;
    // The 64 KB as the views were last told of them.
    std::vector<uint8_t> FShown = std::vector<uint8_t>(size_t{ByteRows} * ByteColumns);
};
