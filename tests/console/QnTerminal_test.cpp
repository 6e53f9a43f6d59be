// Terminal window, offscreen: the posted data path, key routing and what
// ends up on the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QtTest/QTest>

#include <memory>
#include <string>
#include <vector>

#include "console/QnTerminal.h"
#include "platform/PlatformEvents.h"
#include "support/QtTestApp.h"

namespace {

void Pump() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

// Counts the data events the terminal receives.
class EventCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override {
        if (static_cast<int>(e->type()) == WM_TERMINAL_DATA) ++dataEvents;
        return false;
    }
    int dataEvents = 0;
};

// A user emulator that records the keys it is given.
class KeyRecorder : public TQnTTYEmulator {
public:
    void KeyDown(uint16_t& key, TShiftState shift) override {
        keys.push_back(key);
        shifts.push_back(shift);
    }

    std::vector<uint16_t> keys;
    std::vector<TShiftState> shifts;
};

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        tavrin::test::QtTestApp();
        term = std::make_unique<TQnTerminal>();
        term->SetTerminalFont(TQnCustomTerminal::TerminalFont(QStringLiteral("DejaVu Sans Mono"), 12));
        term->SetUseLazyDisplay(false);
        term->SetCaretBlinkTime(0);  // a steady caret for the pixel checks
        term->SetFontColor(0xFFFFFF);
        term->resize(term->CharWidth() * 80, term->CharHeight() * 24);
    }

    TQnTerminalBuffer& Buf() { return *term->CurrentEmulator()->Buffer(); }
    QImage Grab() { return term->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // Bright pixels inside the cell of a 1-based screen row and column.
    int BrightPixels(const QImage& img, int row, int col) {
        int n = 0;
        const int cw = term->CharWidth(), ch = term->CharHeight();
        for (int y = (row - 1) * ch; y < row * ch; ++y)
            for (int x = (col - 1) * cw; x < col * cw; ++x)
                if (qGray(img.pixel(x, y)) > 128) ++n;
        return n;
    }
    void Key(int key, Qt::KeyboardModifiers mods, const QString& text = {}, bool autoRepeat = false) {
        QKeyEvent e(QEvent::KeyPress, key, mods, text, autoRepeat);
        QApplication::sendEvent(term.get(), &e);
    }

    std::unique_ptr<TQnTerminal> term;
};

TEST_F(TerminalTest, WrittenBytesArriveThroughOnePostedEvent) {
    EventCounter counter;
    term->installEventFilter(&counter);
    term->WriteChar('A');
    EXPECT_EQ(Buf().CharAt(1, 1), ' ');  // writers never interpret
    for (int i = 0; i < 999; ++i) term->WriteChar(static_cast<uint8_t>('0' + i % 10));
    term->WriteString("\r\nend");
    Pump();
    EXPECT_EQ(counter.dataEvents, 1);
    EXPECT_EQ(Buf().CharAt(1, 1), 'A');
    EXPECT_EQ(Buf().CharAt(1, 2), '0');
    EXPECT_EQ(Buf().LineText(14).substr(0, 3), "end");  // 1000 characters fill 12.5 rows

    term->WriteString("");  // still posts; nothing to do
    Pump();
    EXPECT_EQ(counter.dataEvents, 2);
    EXPECT_EQ(Buf().LineText(14).substr(0, 4), "end ");
    term->removeEventFilter(&counter);
}

TEST_F(TerminalTest, KeysReachTheEmulatorAsVirtualKeys) {
    KeyRecorder emu;
    term->SetEmulator(&emu);
    struct Case {
        const char* what;
        int key;
        Qt::KeyboardModifiers mods;
        bool autoRepeat;
        uint16_t expected;
    };
    const Case cases[] = {
        {"Return", Qt::Key_Return, Qt::NoModifier, false, VK_RETURN},
        {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, false, VK_EXECUTE},
        {"keypad 7, NumLock off", Qt::Key_Home, Qt::KeypadModifier, false, 0x67},
        {"keypad 7, NumLock on", Qt::Key_7, Qt::KeypadModifier, false, 0x67},
        {"Home of the navigation block", Qt::Key_Home, Qt::NoModifier, false, VK_HOME},
        {"keypad 5, NumLock off", Qt::Key_Clear, Qt::KeypadModifier, false, 0x65},
        {"keypad 0, NumLock off", Qt::Key_Insert, Qt::KeypadModifier, false, 0x60},
        {"keypad point, NumLock off", Qt::Key_Delete, Qt::KeypadModifier, false, VK_DECIMAL},
        {"keypad up, NumLock off", Qt::Key_Up, Qt::KeypadModifier, false, 0x68},
        {"Up of the cursor block", Qt::Key_Up, Qt::NoModifier, false, VK_UP},
        {"keypad page down", Qt::Key_PageDown, Qt::KeypadModifier, false, 0x63},
        {"held key repeats with 8000h", Qt::Key_A, Qt::NoModifier, true, 0x8041},
        {"held cursor key", Qt::Key_Down, Qt::NoModifier, true, 0x8028},
        {"F1", Qt::Key_F1, Qt::NoModifier, false, VK_F1},
    };
    for (const Case& c : cases) {
        emu.keys.clear();
        Key(c.key, c.mods, {}, c.autoRepeat);
        ASSERT_EQ(emu.keys.size(), 1u) << c.what;  // WantAllKeys: only the translated key-down
        EXPECT_EQ(emu.keys[0], c.expected) << c.what;
    }
    // Modifier keys alone reach nobody.
    emu.keys.clear();
    emu.shifts.clear();
    Key(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_TRUE(emu.keys.empty());
    Key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(emu.shifts.size(), 1u);
    EXPECT_TRUE(emu.shifts[0].Contains(ssCtrl));
    EXPECT_TRUE(emu.shifts[0].Contains(ssShift));
    term->SetEmulator(nullptr);
}

}  // namespace
