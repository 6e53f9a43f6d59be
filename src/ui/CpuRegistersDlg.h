#pragma once
// The register dialog: a small tool window, modeless and on top, in which
// the user reads and changes every register of the emulated CPU (a grid of
// register pairs, high and low byte) and each bit of the flag register (a
// check list). Values show in hexadecimal or decimal. An edited cell is
// applied once, when its editor commits; bad input is ignored silently.

#include <QAbstractTableModel>
#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>

class QCheckBox;
class QGroupBox;
class QListWidget;
class QListWidgetItem;
class QTableView;
class TCpuEmu;

// The grid's twelve register rows by high and low byte.
class TRegisterGridModel : public QAbstractTableModel {
public:
    static constexpr int RegisterRows = 12;
    // The row of AF, whose low byte is the flag register F.
    static constexpr int AfRow = 4;

    explicit TRegisterGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void SetCpu(TCpuEmu* cpu);
    TCpuEmu* Cpu() const { return FCpu; }
    void SetHex(bool hex);
    bool Hex() const { return FHex; }
    // Tells the view of the register bytes that changed since it was last
    // told, so registers that stayed the same are not drawn again.
    void Refresh();
    // After a register was changed through the grid.
    std::function<void()> OnChanged;

    // The register byte of a row (0-11) and column (0 high, 1 low).
    uint8_t Byte(int row, int column) const;
    void SetByte(int row, int column, uint8_t value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    // Every cell changed (another CPU, another base).
    void RefreshAll();

    TCpuEmu* FCpu = nullptr;
    bool FHex = true;
    // The bytes as the view was last told of them, row by row.
    std::array<std::array<uint8_t, 2>, RegisterRows> FShown{};
};

class TZ80RegistersDlg : public QDialog {
    Q_OBJECT
public:
    explicit TZ80RegistersDlg(QWidget* parent = nullptr);

    // The CPU shown and edited; null draws and writes nothing.
    TCpuEmu* Cpu() const { return FModel->Cpu(); }
    void SetCpu(TCpuEmu* cpu);
    // Fired after a register or flag was changed through the dialog.
    std::function<void(TZ80RegistersDlg& sender)> OnRegisterChange;

    // Repaints the grid from the CPU; the check list follows F.
    void RefreshGrid();
    // Flag byte to check marks, and back.
    void ShowFlags(uint8_t flags);
    uint8_t GetFlags() const;

    TRegisterGridModel* Model() const { return FModel; }
    QTableView* DrawGrid1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QListWidget* FlagDisplay = nullptr;
    QCheckBox* HexMemoryDisplay = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void FormActivate();
    void FitColumns();
    void HexMemoryDisplayClick();
    void FlagDisplayClick(QListWidgetItem* item);
    void RegisterChanged();

    TRegisterGridModel* FModel;
    bool FShowingFlags = false;
};
