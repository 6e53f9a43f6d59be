#include "platform/VirtualKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>

uint16_t QtKeyToVirtualKey(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return uint16_t(VK_NUMPAD0 + (qtKey - Qt::Key_0));
        switch (qtKey) {
            case Qt::Key_Asterisk:
                return VK_MULTIPLY;
            case Qt::Key_Plus:
                return VK_ADD;
            case Qt::Key_Minus:
                return VK_SUBTRACT;
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return VK_DECIMAL;
            case Qt::Key_Slash:
                return VK_DIVIDE;
            default:
                break;  // keypad cursor keys, Enter: as the main keys
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return uint16_t('A' + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return uint16_t('0' + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return uint16_t(VK_F1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Clear:
            return VK_CLEAR;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
            return VK_MENU;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_CapsLock:
            return VK_CAPITAL;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Print:
            return VK_SNAPSHOT;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Help:
            return VK_HELP;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
            return VK_LWIN;
        case Qt::Key_Super_R:
            return VK_RWIN;
        case Qt::Key_Menu:
            return VK_APPS;
        case Qt::Key_NumLock:
            return VK_NUMLOCK;
        case Qt::Key_ScrollLock:
            return VK_SCROLL;
        // Shifted digits of a US keyboard come as their symbols.
        case Qt::Key_Exclam:
            return '1';
        case Qt::Key_At:
            return '2';
        case Qt::Key_NumberSign:
            return '3';
        case Qt::Key_Dollar:
            return '4';
        case Qt::Key_Percent:
            return '5';
        case Qt::Key_AsciiCircum:
            return '6';
        case Qt::Key_Ampersand:
            return '7';
        case Qt::Key_Asterisk:
            return '8';
        case Qt::Key_ParenLeft:
            return '9';
        case Qt::Key_ParenRight:
            return '0';
        case Qt::Key_Semicolon:
        case Qt::Key_Colon:
            return VK_OEM_1;
        case Qt::Key_Equal:
        case Qt::Key_Plus:
            return VK_OEM_PLUS;
        case Qt::Key_Comma:
        case Qt::Key_Less:
            return VK_OEM_COMMA;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
            return VK_OEM_MINUS;
        case Qt::Key_Period:
        case Qt::Key_Greater:
            return VK_OEM_PERIOD;
        case Qt::Key_Slash:
        case Qt::Key_Question:
            return VK_OEM_2;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde:
            return VK_OEM_3;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft:
            return VK_OEM_4;
        case Qt::Key_Backslash:
        case Qt::Key_Bar:
            return VK_OEM_5;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return VK_OEM_6;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl:
            return VK_OEM_7;
        default:
            return 0;
    }
}

TShiftState ShiftStateFromModifiers(int modifiers) {
    TShiftState s;
    if (modifiers & Qt::ShiftModifier) s.Include(ssShift);
    if (modifiers & Qt::AltModifier) s.Include(ssAlt);
    if (modifiers & Qt::ControlModifier) s.Include(ssCtrl);
    return s;
}

TVirtualKey TranslateKeyEvent(const QKeyEvent& event) {
    const int mods = int(event.modifiers());
    TVirtualKey result;
    result.Key = QtKeyToVirtualKey(event.key(), (mods & Qt::KeypadModifier) != 0);
    result.Shift = ShiftStateFromModifiers(mods);
    // A mouse button held is part of the shift state as well.
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    if (buttons & Qt::LeftButton) result.Shift.Include(ssLeft);
    if (buttons & Qt::RightButton) result.Shift.Include(ssRight);
    if (buttons & Qt::MiddleButton) result.Shift.Include(ssMiddle);
    return result;
}

int KeyEventCharacter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers mods = event.modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    if (alt && !ctrl) return -1;  // Alt combinations are menu keys, not typing
    const int key = event.key();
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return 0x0D;
        case Qt::Key_Backspace:
            return ctrl ? 0x7F : 0x08;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return 0x09;
        case Qt::Key_Escape:
            return 0x1B;
        case Qt::Key_Delete:
            return -1;  // a cursor-pad key, types nothing
        default:
            break;
    }
    if (ctrl && !alt) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
        switch (key) {
            case Qt::Key_BracketLeft:
                return 0x1B;
            case Qt::Key_Backslash:
                return 0x1C;
            case Qt::Key_BracketRight:
                return 0x1D;
            case Qt::Key_AsciiCircum:
                return 0x1E;
            case Qt::Key_Underscore:
                return 0x1F;
            default:
                return -1;
        }
    }
    const QString text = event.text();
    if (text.size() != 1) return -1;
    const char16_t ch = text.at(0).unicode();
    if (ch == 0 || ch > 0xFF || ch == 0x7F) return -1;
    return ch;
}
