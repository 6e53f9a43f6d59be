#pragma once
// An edit box with up/down arrows for a real number with a fixed number of
// decimals (the printer margins and line spacing). The value is read from
// the text; a text that is not a number reads as MinValue. Values are
// clamped to MinValue..MaxValue unless the two are equal. Keys that cannot
// be part of a number are refused with a beep.

#include <QLineEdit>

class IUiPrompts;
class QToolButton;

class TRSpinEdit : public QLineEdit {
public:
    explicit TRSpinEdit(QWidget* parent = nullptr);

    double Value() const;
    void SetValue(double value);
    // The value held in single precision, as the bound is stored.
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = static_cast<float>(value); }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }
    double Increment() const { return FIncrement; }
    void SetIncrement(double value) { FIncrement = value; }
    int DecimalDigits() const { return FDecimalDigits; }
    // At least 1.
    void SetDecimalDigits(int digits) { FDecimalDigits = digits < 1 ? 1 : digits; }
    bool EditorEnabled() const { return FEditorEnabled; }
    void SetEditorEnabled(bool enabled) { FEditorEnabled = enabled; }
    // Where refused keys beep; null gives the system beep.
    void SetPrompts(IUiPrompts* prompts) { FPrompts = prompts; }

    double CheckValue(double value) const;
    virtual bool IsValidChar(char16_t key) const;
    virtual void UpClick();
    virtual void DownClick();

    QToolButton* UpButton() const { return FUp; }
    QToolButton* DownButton() const { return FDown; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Beep();
    void Step(double delta);
    // Paste and cut reach the text only while typing is allowed.
    bool MayPasteOrCut() const { return FEditorEnabled && !isReadOnly(); }

    float FMinValue = 0;
    double FMaxValue = 10;
    double FIncrement = 0.1;
    int FDecimalDigits = 2;
    bool FEditorEnabled = true;
    IUiPrompts* FPrompts = nullptr;
    QToolButton* FUp;
    QToolButton* FDown;
};
