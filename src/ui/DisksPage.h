#pragma once
// The "Disks" page: the CP/M and BIOS image files the boot loads, and drives
// A: to D: with their lamps, captions and insert buttons. The page shows the
// machine's drives and settings; its buttons trigger the main window's
// actions, which the window's menus share.

#include <QWidget>

#include <array>
#include <cstdint>
#include <string>

#include "platform/core/SettingsSection.h"

class QAction;
class QLabel;
class QLineEdit;
class IUiPrompts;
class TQnStatusLight;
class TTavrinMachine;

// The window's actions behind the page's buttons.
struct TDisksPageActions {
    QAction* SelectCpmImage = nullptr;
    QAction* SelectBiosImage = nullptr;
    std::array<QAction*, 4> ChangeDrive{};
    QAction* Boot = nullptr;
};

class TDisksPage : public QWidget, public ISettingsSection {
    Q_OBJECT
public:
    TDisksPage(TTavrinMachine& machine, IUiPrompts& prompts, const TDisksPageActions& actions,
               QWidget* parent = nullptr);

    // A drive's caption, its insert action ("Insert X:" or "Change X:") and
    // its lamp, from the machine.
    void ShowDrive(uint8_t drive);
    void ShowLamp(uint8_t drive);
    // Places a further panel (the remote disk server's) below the drives.
    void AddPanel(QWidget* panel);

    // "Set CPM Hex File" / "Set BIOS Hex File": the chosen path into the edit.
    void SelectCpmImageName(const std::string& initialDir);
    void SelectBiosImageName(const std::string& initialDir);
    // Asks for a disk file and mounts it in the drive; a refused image
    // leaves the drive as the machine keeps it, and the error passes on.
    void ChangeDrive(uint8_t drive, const std::string& initialDir);

    // The DISKS section of the settings file.
    void LoadSettings(const TNrKeyValueSections& store) override;
    void SaveSettings(TNrKeyValueSections& store) const override;

    QLineEdit* C_CpmSourceFile = nullptr;
    QLineEdit* C_BiosSourceFile = nullptr;
    std::array<QLabel*, 4> DiskCaptions{};
    // Yellow on a read, red on a write; unlit blue while mounted, grey when empty.
    std::array<TQnStatusLight*, 4> DiskLights{};

private:
    void SelectImageName(const char* title, QLineEdit& edit, const std::string& initialDir);

    TTavrinMachine& FMachine;
    IUiPrompts& FPrompts;
    TDisksPageActions FActions;
};
