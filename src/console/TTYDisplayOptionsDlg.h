#pragma once
// "TTY Display Settings": the TTY console's background, text and cursor
// colours and its number of rows. The dialog knows nothing of the console:
// the window loads the values with SetSettings, shows it, and on OK reads
// them back with GetSettings. Colours are 00BBGGRRh values.

#include <QDialog>

#include <cstdint>

class IUiPrompts;
class QFrame;
class QPushButton;
class QSpinBox;

class TTTYDisplaySettingsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int MinRows = 4;
    static constexpr int MaxRows = 200;

    // prompts: where the colour dialog is asked for.
    explicit TTTYDisplaySettingsDlg(IUiPrompts& prompts, QWidget* parent = nullptr);

    // Rows are clamped to MinRows..MaxRows.
    void SetSettings(uint32_t background, uint32_t fontColor, int rows, uint32_t cursorColor);
    void GetSettings(uint32_t& background, uint32_t& fontColor, int& rows, uint32_t& cursorColor) const;

    void SetBgColor(uint32_t color) { SetSwatch(BgColorPanel, FBgColor, color); }
    void SetFontColor(uint32_t color) { SetSwatch(FontColorPanel, FFontColor, color); }
    void SetCursorColor(uint32_t color) { SetSwatch(CursorColorPanel, FCursorColor, color); }

    // The colour dialog starts from the swatch's colour; a confirmed choice
    // goes into the swatch.
    void BGColorBtnClick();
    void FontColorBtnClick();
    void CursorColorBtnClick();

    QPushButton* BGColorBtn = nullptr;
    QPushButton* FontColorBtn = nullptr;
    QPushButton* CursorColorBtn = nullptr;
    QSpinBox* DisplayRowsSpin = nullptr;
    QPushButton* OkBtn = nullptr;
    QFrame* BgColorPanel = nullptr;
    QFrame* FontColorPanel = nullptr;
    QFrame* CursorColorPanel = nullptr;

private:
    void SetSwatch(QFrame* swatch, uint32_t& value, uint32_t color);
    void PickColor(QFrame* swatch, uint32_t& value);

    IUiPrompts& FPrompts;
    uint32_t FBgColor = 0;
    uint32_t FFontColor = 0;
    uint32_t FCursorColor = 0;
};
