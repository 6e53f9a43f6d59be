#include "ui/PrinterPanel.h"

#include "console/core/TTYPrinter.h"
#include "ui/ActionCheckBox.h"
#include "ui/Rspin.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* ActionButton(QAction* action, const char* name, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    if (action) button->setDefaultAction(action);
    return button;
}

QCheckBox* OptionBox(const char* name, const char* text, bool checked, const char* hint, QWidget* parent) {
    auto* box = new QCheckBox(QString::fromLatin1(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    if (hint) box->setToolTip(QString::fromLatin1(hint));
    return box;
}

}  // namespace

TPrinterPanel::TPrinterPanel(TLstPrinterSetup& setup, const TPrinterPanelActions& actions, QWidget* parent)
    : QWidget(parent), FSetup(setup) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    C_EnablePrinterBtn = new QCheckBox(this);
    C_EnablePrinterBtn->setObjectName(QStringLiteral("C_EnablePrinterBtn"));
    if (actions.Enable) BindCheckBoxToAction(*C_EnablePrinterBtn, *actions.Enable);
    C_PrintersList = new QComboBox(this);
    C_PrintersList->setObjectName(QStringLiteral("C_PrintersList"));
    SetupPrinterBtn = ActionButton(actions.Setup, "SetupPrinterBtn", this);
    PrinterFontBtn = ActionButton(actions.Font, "PrinterFontBtn", this);
    top->addWidget(C_EnablePrinterBtn);
    top->addWidget(C_PrintersList, 1);
    top->addWidget(SetupPrinterBtn);
    top->addWidget(PrinterFontBtn);
    layout->addLayout(top);

    auto* middle = new QHBoxLayout;
    C_PrintOrientaion = new QGroupBox(QStringLiteral("Orientaion"), this);
    C_PrintOrientaion->setObjectName(QStringLiteral("C_PrintOrientaion"));
    auto* orientation = new QVBoxLayout(C_PrintOrientaion);
    PortraitBtn = new QRadioButton(QStringLiteral("Portrait"), C_PrintOrientaion);
    LandscapeBtn = new QRadioButton(QStringLiteral("Landscape"), C_PrintOrientaion);
    PortraitBtn->setChecked(true);
    orientation->addWidget(PortraitBtn);
    orientation->addWidget(LandscapeBtn);
    middle->addWidget(C_PrintOrientaion);

    auto* spins = new QFormLayout;
    C_TabSpacingEdit = new QSpinBox(this);
    C_TabSpacingEdit->setObjectName(QStringLiteral("C_TabSpacingEdit"));
    C_TabSpacingEdit->setRange(1, 16);
    C_TabSpacingEdit->setToolTip(QStringLiteral("Tab spacing in characters"));
    C_TopBottomMarginEdit = MakeRealEdit("C_TopBottomMarginEdit", 0.25, 2.0, 0.25, "Top/bottom margin width in inches");
    C_LeftRightMarginEdit = MakeRealEdit("C_LeftRightMarginEdit", 0.25, 2.0, 0.25, "Left/right margin width in inches");
    C_LineSpacingEdit =
        MakeRealEdit("C_LineSpacingEdit", 1.0, 3.0, 0.1, "Set space between lines based on line height");
    spins->addRow(QStringLiteral("Tab Spacing"), C_TabSpacingEdit);
    spins->addRow(QStringLiteral("Top/Bottom Margin"), C_TopBottomMarginEdit);
    spins->addRow(QStringLiteral("Left/Right Margin"), C_LeftRightMarginEdit);
    spins->addRow(QStringLiteral("Line Spacing"), C_LineSpacingEdit);
    middle->addLayout(spins);
    auto* jobButtons = new QVBoxLayout;
    BitBtn1 = ActionButton(actions.Abort, "BitBtn1", this);
    BitBtn2 = ActionButton(actions.Eject, "BitBtn2", this);
    jobButtons->addWidget(BitBtn1);
    jobButtons->addWidget(BitBtn2);
    jobButtons->addStretch();
    middle->addLayout(jobButtons);
    layout->addLayout(middle);

    C_IgnoreFormFeedsBtn = OptionBox("C_IgnoreFormFeedsBtn", "Ignore Form Feed Characters", false,
                                     "When checked form feed characters are ignored", this);
    C_AutoLineWrapBtn = OptionBox("C_AutoLineWrapBtn", "Auto Line Wrap", true, nullptr, this);
    C_EosEjectsPrinterBtn =
        OptionBox("C_EosEjectsPrinterBtn", "End Of Stream (^Z) Ejects Print Job", true,
                  "When checked a control Z (end of stream) character will eject the current print job", this);
    for (QCheckBox* box : {C_IgnoreFormFeedsBtn, C_AutoLineWrapBtn, C_EosEjectsPrinterBtn}) {
        layout->addWidget(box);
        connect(box, &QCheckBox::toggled, this, [this] {
            ReadOptions();
            emit OptionsChanged();
        });
    }
    layout->addStretch();

    connect(C_PrintersList, &QComboBox::currentIndexChanged, this, [this](int index) { emit PrinterSelected(index); });
    connect(PortraitBtn, &QRadioButton::clicked, this, [this] { emit OrientationClicked(0); });
    connect(LandscapeBtn, &QRadioButton::clicked, this, [this] { emit OrientationClicked(1); });
    connect(C_TabSpacingEdit, &QSpinBox::valueChanged, this, [this](int value) { FSetup.TabSpacing = value; });
    connect(C_TopBottomMarginEdit, &QLineEdit::textChanged, this,
            [this] { FSetup.TopBottomMargin = C_TopBottomMarginEdit->Value(); });
    connect(C_LeftRightMarginEdit, &QLineEdit::textChanged, this,
            [this] { FSetup.LeftRightMargin = C_LeftRightMarginEdit->Value(); });
    connect(C_LineSpacingEdit, &QLineEdit::textChanged, this,
            [this] { FSetup.LineSpacing = C_LineSpacingEdit->Value(); });
    ShowSetup();
}

TRSpinEdit* TPrinterPanel::MakeRealEdit(const char* name, double min, double max, double step, const char* hint) {
    auto* edit = new TRSpinEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->SetMinValue(min);
    edit->SetMaxValue(max);
    edit->SetIncrement(step);
    edit->SetDecimalDigits(2);
    edit->setToolTip(QString::fromLatin1(hint));
    return edit;
}

void TPrinterPanel::ShowPrinters(const QStringList& names, int index) {
    QSignalBlocker block(C_PrintersList);
    C_PrintersList->clear();
    C_PrintersList->addItems(names);
    C_PrintersList->setCurrentIndex(index >= 0 && index < names.size() ? index : -1);
}

int TPrinterPanel::PrinterIndex() const { return C_PrintersList->currentIndex(); }

void TPrinterPanel::SelectPrinterName(const std::string& name) {
    const int index = name.empty() ? -1 : C_PrintersList->findText(QString::fromStdString(name), Qt::MatchExactly);
    const int before = C_PrintersList->currentIndex();
    C_PrintersList->setCurrentIndex(index);
    // An unchanged index still reaches the printer object.
    if (index == before) emit PrinterSelected(index);
}

std::string TPrinterPanel::SelectedPrinterName() const {
    return C_PrintersList->currentIndex() < 0 ? std::string() : C_PrintersList->currentText().toStdString();
}

void TPrinterPanel::ShowOrientation(int index) { (index == 1 ? LandscapeBtn : PortraitBtn)->setChecked(true); }

int TPrinterPanel::OrientationIndex() const { return LandscapeBtn->isChecked() ? 1 : 0; }

void TPrinterPanel::ShowSetup() {
    // The edits clamp what they show, and their change handlers put the
    // shown values back into the model.
    const TLstPrinterSetup shown = FSetup;
    C_TabSpacingEdit->setValue(shown.TabSpacing);
    FSetup.TabSpacing = C_TabSpacingEdit->value();
    C_TopBottomMarginEdit->SetValue(shown.TopBottomMargin);
    C_LeftRightMarginEdit->SetValue(shown.LeftRightMargin);
    C_LineSpacingEdit->SetValue(shown.LineSpacing);
    for (auto [box, on] :
         {std::pair{C_IgnoreFormFeedsBtn, shown.IgnoreFormFeed}, std::pair{C_AutoLineWrapBtn, shown.AutoLineWrap},
          std::pair{C_EosEjectsPrinterBtn, shown.CtrlZEndsJob}}) {
        QSignalBlocker block(box);
        box->setChecked(on);
    }
}

void TPrinterPanel::SetSettingsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{C_PrintersList, C_PrintOrientaion, C_TabSpacingEdit,
                                                      C_TopBottomMarginEdit, C_LeftRightMarginEdit, C_LineSpacingEdit})
        w->setEnabled(enabled);
}

void TPrinterPanel::ReadOptions() {
    FSetup.IgnoreFormFeed = C_IgnoreFormFeedsBtn->isChecked();
    FSetup.AutoLineWrap = C_AutoLineWrapBtn->isChecked();
    FSetup.CtrlZEndsJob = C_EosEjectsPrinterBtn->isChecked();
}
