#pragma once
// The Ports page's "Printer" panel: enable, the host printer list, set-up
// and font, orientation, tab spacing, margins and line spacing, abort and
// eject, and three option boxes. The panel edits the window's
// TLstPrinterSetup, which a new printer device takes when "Enable" creates
// it; the option boxes also reach an existing device at once through
// OptionsChanged. The window locks the list, orientation and spin edits
// while the device exists.

#include <QWidget>

#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QRadioButton;
class QSpinBox;
class QToolButton;
class QGroupBox;
class TRSpinEdit;
struct TLstPrinterSetup;

// The window's actions behind the panel's buttons.
struct TPrinterPanelActions {
    QAction* Enable = nullptr;
    QAction* Setup = nullptr;
    QAction* Font = nullptr;
    QAction* Abort = nullptr;
    QAction* Eject = nullptr;
};

class TPrinterPanel : public QWidget {
    Q_OBJECT
public:
    TPrinterPanel(TLstPrinterSetup& setup, const TPrinterPanelActions& actions, QWidget* parent = nullptr);

    // The list of printer names with one selected (-1: none), without signals.
    void ShowPrinters(const QStringList& names, int index);
    int PrinterIndex() const;
    // Selects the entry of that name; none when no printer has it. Signals.
    void SelectPrinterName(const std::string& name);
    std::string SelectedPrinterName() const;
    // 0 portrait, 1 landscape; without signals.
    void ShowOrientation(int index);
    int OrientationIndex() const;
    // The spin edits and option boxes from the setup model, without signals.
    void ShowSetup();
    // The list, orientation and spin edits follow the Setup action's state.
    void SetSettingsEnabled(bool enabled);

    QCheckBox* C_EnablePrinterBtn = nullptr;
    QComboBox* C_PrintersList = nullptr;
    QToolButton* SetupPrinterBtn = nullptr;
    QToolButton* PrinterFontBtn = nullptr;
    QGroupBox* C_PrintOrientaion = nullptr;
    QRadioButton* PortraitBtn = nullptr;
    QRadioButton* LandscapeBtn = nullptr;
    QSpinBox* C_TabSpacingEdit = nullptr;
    TRSpinEdit* C_TopBottomMarginEdit = nullptr;
    TRSpinEdit* C_LeftRightMarginEdit = nullptr;
    TRSpinEdit* C_LineSpacingEdit = nullptr;
    QToolButton* BitBtn1 = nullptr;  // abort
    QToolButton* BitBtn2 = nullptr;  // eject
    QCheckBox* C_IgnoreFormFeedsBtn = nullptr;
    QCheckBox* C_AutoLineWrapBtn = nullptr;
    QCheckBox* C_EosEjectsPrinterBtn = nullptr;

signals:
    // The user picked a printer (the list's item index).
    void PrinterSelected(int index);
    // The user picked an orientation (0 portrait, 1 landscape).
    void OrientationClicked(int index);
    // One of the three option boxes changed; the model already holds it.
    void OptionsChanged();

private:
    TRSpinEdit* MakeRealEdit(const char* name, double min, double max, double step, const char* hint);
    void ReadOptions();

    TLstPrinterSetup& FSetup;
};
