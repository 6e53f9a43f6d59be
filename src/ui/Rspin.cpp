#include "ui/Rspin.h"

#include "platform/UiPrompts.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QToolButton>

#include <memory>

namespace {

constexpr int ButtonWidth = 15;

QChar DecimalPoint() { return QLocale().decimalPoint().at(0); }

}  // namespace

TRSpinEdit::TRSpinEdit(QWidget* parent) : QLineEdit(parent), FUp(new QToolButton(this)), FDown(new QToolButton(this)) {
    for (QToolButton* button : {FUp, FDown}) {
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoRepeat(true);
        button->setCursor(Qt::ArrowCursor);
    }
    FUp->setArrowType(Qt::UpArrow);
    FDown->setArrowType(Qt::DownArrow);
    connect(FUp, &QToolButton::clicked, this, [this] { UpClick(); });
    connect(FDown, &QToolButton::clicked, this, [this] { DownClick(); });
    setTextMargins(0, 0, ButtonWidth + 2, 0);
    setText(QStringLiteral("0.0"));
}

double TRSpinEdit::Value() const {
    QString t = text().trimmed();
    bool ok = false;
    double value = QLocale().toDouble(t, &ok);
    if (!ok) value = QLocale::c().toDouble(t, &ok);
    return ok ? value : MinValue();
}

void TRSpinEdit::SetValue(double value) {
    QString t = QString::number(CheckValue(value), 'f', FDecimalDigits);
    t.replace(QLatin1Char('.'), DecimalPoint());
    setText(t);
}

double TRSpinEdit::CheckValue(double value) const {
    if (FMaxValue == MinValue()) return value;
    if (value < MinValue()) return MinValue();
    if (value > FMaxValue) return FMaxValue;
    return value;
}

bool TRSpinEdit::IsValidChar(char16_t key) const {
    const bool inNumberSet = key == u'+' || key == u'-' || (key >= u'0' && key <= u'9') || QChar(key) == DecimalPoint();
    if (!inNumberSet && (key >= 0x20 || key == 0x0D)) return false;
    if (FEditorEnabled) return true;
    return key < 0x20 && key != 0x08;
}

void TRSpinEdit::Step(double delta) {
    if (isReadOnly())
        Beep();
    else
        SetValue(Value() + delta);
}

void TRSpinEdit::UpClick() { Step(FIncrement); }
void TRSpinEdit::DownClick() { Step(-FIncrement); }

void TRSpinEdit::Beep() {
    if (FPrompts)
        FPrompts->Beep();
    else
        QApplication::beep();
}

void TRSpinEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        UpClick();
        return;
    }
    if (event->key() == Qt::Key_Down) {
        DownClick();
        return;
    }
    if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
        if (MayPasteOrCut()) QLineEdit::keyPressEvent(event);
        return;
    }
    // Delete edits in place; it is no typed character.
    const QString typed = event->text();
    if (typed.size() == 1 && typed.at(0) != QChar(0x7F) &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && !IsValidChar(typed.at(0).unicode())) {
        Beep();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TRSpinEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const double value = Value();
    if (CheckValue(value) != value) SetValue(value);
}

void TRSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction* action : menu->actions())
        if (action->objectName() == QLatin1String("edit-paste") || action->objectName() == QLatin1String("edit-cut"))
            action->setEnabled(action->isEnabled() && MayPasteOrCut());
    menu->exec(event->globalPos());
}

void TRSpinEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int half = height() / 2;
    FUp->setGeometry(width() - ButtonWidth, 0, ButtonWidth, half);
    FDown->setGeometry(width() - ButtonWidth, half, ButtonWidth, height() - half);
}
