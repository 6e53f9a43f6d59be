// The platform layer: key events, colour values, host paths that keep every
// byte through the text a widget shows, and windows kept on their screen.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QString>

#include "platform/QtColor.h"
#include "platform/QtUiPrompts.h"
#include "platform/VirtualKeys.h"
#include "platform/WindowPlacement.h"
#include "platform/core/HostPathText.h"
#include "support/QtTestApp.h"

#include <tuple>
#include <vector>

namespace {

TEST(VirtualKeys, TranslatesKeyEvents) {
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
        EXPECT_EQ(std::tuple(vk.Key, vk.Shift.Bits, KeyEventCharacter(ev)), std::tuple(c.vk, c.shift, c.ch));
    }
}

TEST(Colors, WindowsValuesBecomeTheColoursTheyName) {
    struct Case {
        const char* name;
        TColor value;
        QColor shown;
    };
    const std::vector<Case> cases = {
        {"Red", 0x0000FF, QColor(255, 0, 0)},
        {"Blue", 0xFF0000, QColor(0, 0, 255)},
        {"Mixed", 0x336699, QColor(0x99, 0x66, 0x33)},
        {"TopByteBelowFF", 0x01808080, QColor(128, 128, 128)},
        {"SystemButtonFace", 0xFF00000F, QColor(0xF0, 0xF0, 0xF0)},
        {"SystemHighlight", 0xFF00000D, QColor(0x33, 0x99, 0xFF)},
        {"SystemWindowText", 0xFF000008, QColor(0, 0, 0)},
        {"SystemLastIndex", 0xFF00001E, QColor(0xF0, 0xF0, 0xF0)},
        {"SystemUnknownIndex", 0xFF00001F, QColor(0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToQColor(c.value), c.shown);
        // What the colour dialog hands back is the plain value of what it showed.
        EXPECT_EQ(ToQColor(FromQColor(c.shown)), c.shown);
        EXPECT_EQ(FromQColor(c.shown), ColorToRGB(c.value));
    }
}

struct TPathCase {
    const char* Name;
    std::string Path;
    std::u16string Shown;  // empty: not checked
};

class HostPathBytesTest : public ::testing::TestWithParam<TPathCase> {};

TEST_P(HostPathBytesTest, RoundTripKeepsTheBytes) {
    const TPathCase& c = GetParam();
    const QString shown = PathToQt(c.Path);
    if (!c.Shown.empty()) {
        EXPECT_EQ(shown.toStdU16String(), c.Shown);
    }
    EXPECT_EQ(PathFromQt(shown), c.Path);
}

INSTANTIATE_TEST_SUITE_P(Paths, HostPathBytesTest,
                         ::testing::Values(TPathCase{"Latin1Byte", "/tmp/caf\xE9.hex", u"/tmp/caf\xDCE9.hex"},
                                           TPathCase{"Utf8Text", "/tmp/caf\xC3\xA9 \xF0\x9F\x92\xBE.hex",
                                                     u"/tmp/caf\u00E9 \U0001F4BE.hex"},
                                           TPathCase{"CutSequence", "a\xE2\x82", u"a\xDCE2\xDC82"},
                                           TPathCase{"Overlong", "\xC0\xAF", u"\xDCC0\xDCAF"},
                                           TPathCase{"EncodedSurrogate", "\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9"},
                                           TPathCase{"PastU10FFFF", "\xF4\x90\x80\x80", u""}),
                         [](const ::testing::TestParamInfo<TPathCase>& row) { return std::string(row.param.Name); });

TEST(HostPathBytes, EveryByteStringOfTwoBytesRoundTrips) {
    for (int a = 1; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            const std::string path{static_cast<char>(a), static_cast<char>(b)};
            ASSERT_EQ(HostPathFromUtf16(HostPathToUtf16(path)), path) << a << " " << b;
        }
}

TEST(HostPathBytes, TypedLoneSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(HostPathFromUtf16(u"x\xD800y\xDC41"), "x\xEF\xBF\xBDy\xEF\xBF\xBD");
}

TEST(KeptInside, MovesAFrameOnlyAsFarAsItsFreeAreaNeeds) {
    const QRect free(100, 50, 800, 600);  // the pixels 100..899 by 50..649
    struct Case {
        const char* name;
        QRect frame;
        QPoint expected;
    };
    const std::vector<Case> cases = {
        {"inside stays", {200, 100, 300, 200}, {200, 100}},
        {"touching the right and bottom edges stays", {600, 450, 300, 200}, {600, 450}},
        {"over the right and bottom edges comes back", {700, 500, 300, 200}, {600, 450}},
        {"over the left and top edges comes back", {20, -30, 300, 200}, {100, 50}},
        {"wider and taller keeps the left and top edges", {-40, 700, 900, 700}, {100, 50}},
        {"wider only keeps its top", {500, 300, 1000, 200}, {100, 300}},
    };
    for (const Case& c : cases) EXPECT_EQ(KeptInside(c.frame, free), c.expected) << c.name;
}

// A size saved on a larger screen shrinks until the window and its frame fit
// this screen's free area; a size that fits stays, and a tiny one grows to
// the window's least useful size.
TEST(FittedSize, ShrinksTheWindowAndItsFrameToTheFreeArea) {
    const QRect free(0, 0, 1366, 768);
    const QMargins frame(4, 30, 4, 4);  // title bar and borders
    const QSize floor(300, 200);
    struct Case {
        const char* name;
        QSize wanted;
        QSize expected;
    };
    const std::vector<Case> cases = {
        {"fits stays", {800, 600}, {800, 600}},
        {"saved on 1600 x 1000", {1580, 950}, {1358, 734}},
        {"exactly the free area with its frame", {1358, 734}, {1358, 734}},
        {"taller only", {800, 1000}, {800, 734}},
        {"tiny grows to the floor", {10, 10}, {300, 200}},
    };
    for (const Case& c : cases) EXPECT_EQ(FittedSize(c.wanted, floor, frame, free), c.expected) << c.name;
    EXPECT_EQ(FittedSize({500, 500}, {800, 600}, frame, QRect(0, 0, 640, 480)), QSize(632, 446))
        << "a floor larger than the screen gives way";
}

// Qt's rounding between device and logical pixels: each position, size and
// margin on its own, to the nearest pixel.
QRect Scaled(const QRect& r, qreal by) {
    return {qRound(r.x() * by), qRound(r.y() * by), qRound(r.width() * by), qRound(r.height() * by)};
}
QMargins Scaled(const QMargins& m, qreal by) {
    return {qRound(m.left() * by), qRound(m.top() * by), qRound(m.right() * by), qRound(m.bottom() * by)};
}

// The whole frame, title bar included, lies on the free area: a window
// restored from a larger screen sits below its title bar with its bottom
// (the Disk Manager's status line) on the screen, at scale 1 and at 1.5,
// where the same screen has fewer logical pixels and a thinner frame. A row
// with a scale gives the free area and the frame in device pixels; the
// placement sees them in logical pixels, as Qt reports them.
TEST(PlacedClient, PutsTheWholeFrameOnTheFreeArea) {
    struct Case {
        const char* name;
        QRect free;
        QMargins frame;
        QSize wanted;
        QPoint framePos;
        QRect expected;   // the client area, in logical pixels
        qreal scale = 1;  // device pixels to a logical one
    };
    const QRect screen(0, 0, 1366, 768);
    const QRect scaled(0, 0, 911, 512);  // 1366 x 768 at scale 1.5
    const QMargins title(4, 30, 4, 4);
    const QMargins scaledTitle(3, 20, 3, 3);
    const std::vector<Case> cases = {
        {"fits stays where it was", screen, title, {800, 600}, {100, 50}, {104, 80, 800, 600}},
        {"saved on 1600 x 1000", screen, title, {1580, 950}, {0, 0}, {4, 30, 1358, 734}},
        {"saved on 1600 x 1000, placed far off by hand",
         screen,
         title,
         {1580, 950},
         {90000, 90000},
         {4, 30, 1358, 734}},
        {"over the bottom edge comes up", screen, title, {800, 600}, {100, 500}, {104, 164, 800, 600}},
        {"scale 1.5, saved on 1600 x 1000", scaled, scaledTitle, {1580, 950}, {0, 0}, {3, 20, 905, 489}},
        {"a free area below a top panel", {0, 27, 1366, 741}, title, {1580, 950}, {0, 0}, {4, 57, 1358, 707}},
        {"no frame", screen, {}, {1580, 950}, {0, 0}, {0, 0, 1366, 768}},
        {"scale 1.5, a title bar of 20 device pixels",
         screen,
         {1, 20, 1, 5},
         {900, 700},
         {0, 0},
         {1, 13, 900, 495},
         1.5},
    };
    for (const Case& c : cases) {
        const QRect client = PlacedClient(c.wanted, c.framePos, {300, 200}, Scaled(c.frame, 1 / c.scale),
                                          Scaled(c.free, 1 / c.scale), c.scale);
        EXPECT_EQ(client, c.expected) << c.name;
        EXPECT_TRUE(c.free.contains(Scaled(client, c.scale).marginsAdded(c.frame))) << c.name;
    }
}

}  // namespace
