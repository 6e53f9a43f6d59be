#pragma once
// "Set File Attributes": the read-only, system and archive attributes and
// the user area of one or several files on a disk image. With several files
// a box may be grayed, meaning "leave each file's own bit"; the user area
// list offers "No Change". Created once and reused; nothing is reset between
// uses until SetAttributes runs.

#include <QCheckBox>
#include <QDialog>

#include <cstdint>
#include <string>

class QComboBox;
class QLabel;

// S + C unless S is empty or already ends with C.
std::string AppendMissingChar(const std::string& S, char C);

// A check box whose clicks cycle unchecked, checked, grayed when it allows
// the grayed state.
class TAttributeCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

class TSetAttributesDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr uint8_t NoChangeUser = 255;

    explicit TSetAttributesDlg(QWidget* parent = nullptr);

    void SetAttributes(uint8_t Attributes, uint8_t Unchanged, uint8_t User, bool Multi);
    // Checked boxes as attribute bits; with several files, grayed boxes as
    // the unchanged mask (0 otherwise).
    void GetAttributes(uint8_t& Attributes, uint8_t& Unchanged) const;
    // 0-15, or 255 for "No Change" or no choice.
    uint8_t GetUserArea() const;

    QLabel* Label2 = nullptr;  // what the dialog applies to
    TAttributeCheckBox* SysFile = nullptr;
    TAttributeCheckBox* ArcFile = nullptr;
    TAttributeCheckBox* ReadFile = nullptr;
    QComboBox* UserAreaList = nullptr;

private:
    bool FMultiSelection = false;
};
