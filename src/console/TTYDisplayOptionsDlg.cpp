#include "console/TTYDisplayOptionsDlg.h"

#include "console/SimpleTerminal.h"
#include "platform/UiPrompts.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

namespace {

// The form's colours: sky blue, black and navy.
constexpr uint32_t SkyBlue = 0xF0CAA6;
constexpr uint32_t Black = 0x000000;
constexpr uint32_t Navy = 0x800000;

}  // namespace

TTTYDisplaySettingsDlg::TTTYDisplaySettingsDlg(IUiPrompts& prompts, QWidget* parent)
    : QDialog(parent), FPrompts(prompts) {
    setObjectName(QStringLiteral("TTYDisplaySettingsDlg"));
    setWindowTitle(QStringLiteral("TTY Display Settings"));
    auto* grid = new QGridLayout(this);
    auto swatch = [this] {
        auto* frame = new QFrame(this);
        frame->setFixedSize(80, 22);
        frame->setFrameShape(QFrame::Box);
        frame->setAutoFillBackground(true);
        return frame;
    };
    BgColorPanel = swatch();
    FontColorPanel = swatch();
    CursorColorPanel = swatch();
    BGColorBtn = new QPushButton(QStringLiteral("BG Color"), this);
    FontColorBtn = new QPushButton(QStringLiteral("Font Color"), this);
    CursorColorBtn = new QPushButton(QStringLiteral("Cursor Color"), this);
    grid->addWidget(BgColorPanel, 0, 0);
    grid->addWidget(BGColorBtn, 0, 1);
    grid->addWidget(FontColorPanel, 1, 0);
    grid->addWidget(FontColorBtn, 1, 1);
    grid->addWidget(CursorColorPanel, 2, 0);
    grid->addWidget(CursorColorBtn, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("TTY display rows:"), this), 3, 0);
    DisplayRowsSpin = new QSpinBox(this);
    DisplayRowsSpin->setRange(MinRows, MaxRows);
    DisplayRowsSpin->setValue(50);
    grid->addWidget(DisplayRowsSpin, 3, 1);
    OkBtn = new QPushButton(QStringLiteral("Update"), this);
    OkBtn->setDefault(true);
    grid->addWidget(OkBtn, 4, 1);

    SetBgColor(SkyBlue);
    SetFontColor(Black);
    SetCursorColor(Navy);
    connect(BGColorBtn, &QPushButton::clicked, this, [this] { BGColorBtnClick(); });
    connect(FontColorBtn, &QPushButton::clicked, this, [this] { FontColorBtnClick(); });
    connect(CursorColorBtn, &QPushButton::clicked, this, [this] { CursorColorBtnClick(); });
    connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
    resize(219, 191);
}

void TTTYDisplaySettingsDlg::SetSettings(uint32_t background, uint32_t fontColor, int rows, uint32_t cursorColor) {
    SetBgColor(background);
    SetFontColor(fontColor);
    SetCursorColor(cursorColor);
    DisplayRowsSpin->setValue(std::clamp(rows, MinRows, MaxRows));
}

void TTTYDisplaySettingsDlg::GetSettings(uint32_t& background, uint32_t& fontColor, int& rows,
                                         uint32_t& cursorColor) const {
    background = FBgColor;
    fontColor = FFontColor;
    rows = DisplayRowsSpin->value();
    cursorColor = FCursorColor;
}

void TTTYDisplaySettingsDlg::BGColorBtnClick() { PickColor(BgColorPanel, FBgColor); }
void TTTYDisplaySettingsDlg::FontColorBtnClick() { PickColor(FontColorPanel, FFontColor); }
void TTTYDisplaySettingsDlg::CursorColorBtnClick() { PickColor(CursorColorPanel, FCursorColor); }

void TTTYDisplaySettingsDlg::SetSwatch(QFrame* swatch, uint32_t& value, uint32_t color) {
    value = color;
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    swatch->setPalette(palette);
}

void TTTYDisplaySettingsDlg::PickColor(QFrame* swatch, uint32_t& value) {
    uint32_t color = value;
    if (FPrompts.ChooseColor(color)) SetSwatch(swatch, value, color);
}
