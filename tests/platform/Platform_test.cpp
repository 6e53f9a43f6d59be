// Key events as the platform layer translates them.

#include <gtest/gtest.h>

#include <QKeyEvent>

#include "platform/VirtualKeys.h"
#include "support/QtTestApp.h"

#include <vector>

namespace {

// Key events become virtual keys, shift states and typed characters.
TEST(VirtualKeys, TranslatesKeyEvents)
{
    tavrin::test::QtTestApp();
    struct Case {
        const char* name;
        int key;
        Qt::KeyboardModifiers mods;
        QString text;
        uint16_t vk;
        uint8_t shift;
        int ch;
    };
    const std::vector<Case> cases = {
        {"Digit", Qt::Key_7, Qt::NoModifier, "7", '7', 0, '7'},
        {"KeypadDigit", Qt::Key_7, Qt::KeypadModifier, "7", VK_NUMPAD0 + 7, 0, '7'},
        {"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r", VK_RETURN, 0, 0x0D},
        {"ShiftedDigit", Qt::Key_Exclam, Qt::ShiftModifier, "!", '1', 1, '!'},
        {"PageDown", Qt::Key_PageDown, Qt::NoModifier, "", VK_NEXT, 0, -1},
        {"CtrlHome", Qt::Key_Home, Qt::ControlModifier, "", VK_HOME, 4, -1},
        {"AltX", Qt::Key_X, Qt::AltModifier, "x", 'X', 2, -1},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, "\b", VK_BACK, 0, 0x08},
        {"CtrlBracket", Qt::Key_BracketLeft, Qt::ControlModifier, "", VK_OEM_4, 4, 0x1B},
        {"Latin1", Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)), 0, 0, 0xE9},
        {"BeyondLatin1", Qt::Key_unknown, Qt::NoModifier, QString(QChar(0x20AC)), 0, 0, -1},
        {"F12", Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier, "", VK_F12, 5, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QKeyEvent ev(QEvent::KeyPress, c.key, c.mods, c.text);
        const TVirtualKey vk = TranslateKeyEvent(ev);
        EXPECT_EQ(vk.Key, c.vk);
        EXPECT_EQ(vk.Shift.Bits, c.shift);
        EXPECT_EQ(KeyEventCharacter(ev), c.ch);
    }
}

} // namespace
