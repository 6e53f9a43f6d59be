#pragma once
// The "CPU" page: a grid that shows and edits all 64 KB of memory
// (CpuMemoryGrid), a text panel with the registers, the flags and the last
// and next instruction (SimpleTerminal2), and a tool bar. The page holds the
// break-point actions, the "Hex Memory Display" toggle and the action that
// opens the register dialog; the machine's own buttons (boot, run, step)
// come from the main window.

#include <QFrame>

#include <array>
#include <chrono>
#include <string>

#include "platform/core/SettingsSection.h"

class IUiPrompts;
class QAction;
class QToolBar;
class TMemoryGridModel;
class TMemoryGridView;
class TSimpleTerminal;
class TTavrinMachine;
class TZ80RegistersDlg;

// The window's actions on the page's tool bar.
struct TCpuPageActions {
    QAction* ResetCPM = nullptr;
    QAction* RunCpu = nullptr;
    QAction* StepCpu = nullptr;
};

class TCpuPage : public QFrame, public ISettingsSection {
    Q_OBJECT
public:
    // How often the page redraws while the CPU runs.
    static constexpr std::chrono::milliseconds RunRefreshInterval{100};

    TCpuPage(TTavrinMachine& machine, IUiPrompts& prompts, const TCpuPageActions& actions, QWidget* parent = nullptr);

    // The register dialog the page opens and refreshes; may be null.
    void SetRegisterDialog(TZ80RegistersDlg* dialog) { FRegistersDlg = dialog; }

    // Lays the grid out in the current base.
    void SetupMemoryGrid();
    // The fixed labels of the panel.
    void DrawRegisterLabels();
    // The panel, the grid and (when visible) the register dialog from the CPU.
    void UpdateCpuDisplay();
    // The register dialog alone, when it is visible.
    void RefreshRegisterDialog();

    bool Hex() const;

    // --- actions ------------------------------------------------------------
    void SetBreakPointExecute();
    void ClearBreakPointActUpdate(QAction& action);
    void ClearBreakPointActExecute();
    void ShowCPUWindowActExecute();
    void HexMemoryDisplayActExecute();

    // Key HexMemoryDisplay of section CPU.
    void LoadSettings(const TNrKeyValueSections& store) override;
    void SaveSettings(TNrKeyValueSections& store) const override;

    QAction* HexMemoryDisplayAct = nullptr;
    QAction* SetBreakPoint = nullptr;
    QAction* ClearBreakPointAct = nullptr;
    QAction* ShowCPUWindowAct = nullptr;

    QToolBar* ToolBar1 = nullptr;
    TSimpleTerminal* SimpleTerminal2 = nullptr;
    TMemoryGridView* CpuMemoryGrid = nullptr;
    TMemoryGridModel* MemoryModel = nullptr;

protected:
    // A page shown again may have missed refreshes while the CPU ran.
    void showEvent(QShowEvent* event) override;

private:
    static constexpr int FlagsRow = 14;
    // Writes text at column of a panel row, clearing the rest, unless the
    // row shows it already.
    void WritePanelRow(int row, int column, const std::string& text);
    void WriteInstructionRow(int row, uint16_t address, bool known);
    void WriteFlagsRow(uint8_t f);

    TTavrinMachine& FMachine;
    IUiPrompts& FPrompts;
    TZ80RegistersDlg* FRegistersDlg = nullptr;
    // What each panel row shows after its label, as last written.
    std::array<std::string, 18> FPanelText;
};
