// The terminal window with a serial port on a pseudo-terminal (offscreen, a
// VT100 emulator): received bytes, keys and replies, Active (bytes already
// taken from the port are kept), paste, and the lifetimes of port and
// terminal.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "console/QnTerminal.h"
#include "console/core/QnTrmVT100.h"
#include "platform/PlatformEvents.h"
#include "serial/QnPort.h"
#include "serial/support/FakeSerialDevice.h"
#include "support/EnvironmentVariable.h"
#include "support/Eventually.h"
#include "support/Pty.h"
#include "support/NamedRows.h"
#include "support/QtEventually.h"
#include "support/QtTestApp.h"
#include "support/TerminalText.h"

using namespace tavrin::test;

namespace {

class TerminalPort : public testing::Test {
protected:
    void SetUp() override {
        port->SetComNumber(11);
        term->SetEmulator(&emu);
        term->OnKeyboardData = [this](TQnTerminalEmulator&, char ch) { typed += ch; };
        term->SetComPort(port.get());
        ASSERT_TRUE(EventuallyWithEvents([&] { return port->Open(); }));  // the hookup opens it
    }
    bool Shows(int row, const std::string& text) {
        return EventuallyWithEvents([&] { return BufferRow(*emu.Buffer(), row) == text; });
    }
    // What the far side reads, while the terminal's events run, until count bytes came.
    std::string FarSide(std::size_t count) {
        std::string got;
        EventuallyWithEvents([&] {
            got += pty.Receive(count - got.size(), 0);
            return got.size() >= count;
        });
        return got;
    }
    // Received bytes that wait in the port because nobody takes them.
    bool HeldInPort(TQnCustomComPort& p, uint32_t count) {
        return EventuallyWithEvents([&] { return p.Dispatcher() && p.Dispatcher()->InBuffUsed() == count; });
    }

    QApplication& app = tavrin::test::QtTestApp();
    tavrin::test::TPty pty, otherPty;
    std::string typed;
    TQnVT100Emulator emu;  // outlives the terminal
    std::unique_ptr<TQnComPort> port = std::make_unique<TQnComPort>();
    std::unique_ptr<TQnTerminal> term = std::make_unique<TQnTerminal>();
    // Last, so the names are gone before the terminal and port are.
    tavrin::test::TEnvironmentVariable com11{"TAVRIN_COM11", pty.SlavePath().c_str()};
    tavrin::test::TEnvironmentVariable com12{"TAVRIN_COM12", otherPty.SlavePath().c_str()};
};

TEST_F(TerminalPort, FarSideBytesAppearOnTheScreen) {
    pty.Send("hello\r\nworld");
    EXPECT_TRUE(Shows(1, "hello"));
    EXPECT_TRUE(Shows(2, "world"));
}

struct KeyCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    const char* text;
    std::string sent;
};
TAVRIN_PRINT_AS_NAME(KeyCase)
class TerminalPortKey : public TerminalPort, public testing::WithParamInterface<KeyCase> {};

TEST_P(TerminalPortKey, LeavesThroughThePortAndReachesTheListener) {
    const KeyCase& c = GetParam();
    QKeyEvent key(QEvent::KeyPress, c.key, c.mods, QString::fromLatin1(c.text));
    QApplication::sendEvent(term.get(), &key);
    EXPECT_EQ(FarSide(c.sent.size()), c.sent);
    EXPECT_EQ(typed, c.sent);
}

INSTANTIATE_TEST_SUITE_P(Table, TerminalPortKey,
                         testing::Values(KeyCase{"Letter", Qt::Key_A, Qt::NoModifier, "a", "a"},
                                         KeyCase{"Return", Qt::Key_Return, Qt::NoModifier, "\r", "\r"},
                                         KeyCase{"CtrlC", Qt::Key_C, Qt::ControlModifier, "\x03", "\x03"},
                                         KeyCase{"CursorUp", Qt::Key_Up, Qt::NoModifier, "", "\x1b[A"}),
                         tavrin::test::RowName);

TEST_F(TerminalPort, SendCharLeavesThroughThePortWithoutTheListener) {
    emu.SendChar('Z', false, csWriteChar);
    EXPECT_EQ(FarSide(1), "Z");
    EXPECT_EQ(typed, "");
}

struct ReplyCase {
    const char* name;
    std::string query;
    std::string reply;
};
TAVRIN_PRINT_AS_NAME(ReplyCase)
class TerminalPortQuery : public TerminalPort, public testing::WithParamInterface<ReplyCase> {};

TEST_P(TerminalPortQuery, IsAnsweredOnTheFarSide) {
    pty.Send(GetParam().query);
    EXPECT_EQ(FarSide(GetParam().reply.size()), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Table, TerminalPortQuery,
                         testing::Values(ReplyCase{"DeviceAttributes", "\x1b[c", "\x1b[?1;0c"},
                                         ReplyCase{"Status", "\x1b[5n", "\x1b[0n"},
                                         ReplyCase{"CursorPosition", "\x1b[3;7H\x1b[6n", "\x1b[3;7R"},
                                         ReplyCase{"Answerback", "\x05", "QUONterm"}),
                         tavrin::test::RowName);

TEST_F(TerminalPort, InactiveTerminalLeavesDataInThePortUntilActiveAgain) {
    term->SetActive(false);
    pty.Send("held");
    ASSERT_TRUE(HeldInPort(*port, 4));
    QApplication::processEvents();
    EXPECT_EQ(BufferRow(*emu.Buffer(), 1), "");
    term->SetActive(true);
    EXPECT_TRUE(Shows(1, "held"));
    pty.Send("!");
    EXPECT_TRUE(Shows(1, "held!"));
}

TEST_F(TerminalPort, BytesTakenFromThePortBeforeGoingInactiveStillShow) {
    // The terminal's handler reads the bytes out of the port on the dispatch
    // thread; the terminal is only told of them once its events run, and
    // none run before it goes inactive.
    std::atomic<uint32_t> announced{0};  // bytes the dispatcher offered its handlers
    TQnBaseDispatcher& dispatcher = *port->Dispatcher();
    const TQnHandlerToken counter =
        dispatcher.RegisterEventHandler([&announced](uint32_t msg, uint32_t count, uint32_t) {
            if (msg == QnMsgDataAvailable) announced += count;
        });
    pty.Send("taken");
    const bool taken = tavrin::test::Eventually([&] { return announced == 5 && dispatcher.InBuffUsed() == 0; });
    dispatcher.DeregisterEventHandler(counter);
    ASSERT_TRUE(taken);
    term->SetActive(false);
    EXPECT_TRUE(Shows(1, "taken"));
}

struct PasteCase {
    const char* name;
    bool toScreen;
    std::string shown;
};
TAVRIN_PRINT_AS_NAME(PasteCase)
class TerminalPortPaste : public TerminalPort, public testing::WithParamInterface<PasteCase> {};

TEST_P(TerminalPortPaste, ReachesTheFarSide) {
    QGuiApplication::clipboard()->setText(QStringLiteral("paste me"));
    term->SetPasteToPort(true);
    term->SetPasteToScreen(GetParam().toScreen);
    TPlatformEvent request(WM_PASTE);
    QApplication::sendEvent(term.get(), &request);
    EXPECT_EQ(FarSide(8), "paste me");
    EXPECT_TRUE(Shows(1, GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Table, TerminalPortPaste,
                         testing::Values(PasteCase{"PortOnly", false, ""},
                                         PasteCase{"PortAndScreen", true, "paste me"}),
                         tavrin::test::RowName);

TEST_F(TerminalPort, ClosedAndReopenedPortIsHookedAgain) {
    port->SetOpen(false);
    EXPECT_EQ(port->Dispatcher(), nullptr);
    emu.SendChar('x', false, csWriteChar);  // nowhere to go
    port->SetOpen(true);
    pty.Send("again");
    EXPECT_TRUE(Shows(1, "again"));
    emu.SendChar('y', false, csWriteChar);
    EXPECT_EQ(FarSide(1), "y");
}

TEST_F(TerminalPort, DestroyedPortIsForgotten) {
    port.reset();
    EXPECT_EQ(term->ComPort(), nullptr);
    EXPECT_FALSE(term->Active());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(term.get(), &key);
    term->WriteString("\x1b[c\x05");  // replies with no port to take them
    QApplication::processEvents();
    EXPECT_EQ(typed, "a");
    EXPECT_EQ(pty.Receive(1, 0), "");
}

TEST_F(TerminalPort, PortOutlivesItsTerminal) {
    term.reset();
    EXPECT_EQ(port->Terminal(), nullptr);
    pty.Send("more");
    EXPECT_TRUE(HeldInPort(*port, 4));
    port->SetOpen(false);
    EXPECT_FALSE(port->Open());
}

TEST_F(TerminalPort, HookupWaitsForAPortStillLoading) {
    term->SetComPort(nullptr);
    port->SetOpen(false);
    port->BeginLoading();
    term->SetComPort(port.get());
    QApplication::processEvents();
    EXPECT_FALSE(port->Open());
    port->Loaded();
    ASSERT_TRUE(EventuallyWithEvents([&] { return port->Open(); }));
    pty.Send("late");
    EXPECT_TRUE(Shows(1, "late"));
}

TEST_F(TerminalPort, AnotherPortTakesOver) {
    TQnComPort other;
    other.SetComNumber(12);
    term->SetComPort(&other);
    EXPECT_EQ(port->Terminal(), nullptr);
    EXPECT_EQ(other.Terminal(), term.get());
    ASSERT_TRUE(EventuallyWithEvents([&] { return other.Open(); }));
    pty.Send("old");
    otherPty.Send("new");
    EXPECT_TRUE(Shows(1, "new"));
    EXPECT_TRUE(HeldInPort(*port, 3));
}

struct LineCase {
    const char* name;
    uint32_t baud;
    uint8_t parity;
    uint8_t dataBits;
    std::string request;
    std::string report;
};
TAVRIN_PRINT_AS_NAME(LineCase)
class TerminalPortParameters : public testing::TestWithParam<LineCase> {};

// The pseudo-terminal frames 8 bits without parity only: the line settings
// of this table go to a fake device.
TEST_P(TerminalPortParameters, GivesThePortsLineSettings) {
    tavrin::test::QtTestApp();
    const LineCase& c = GetParam();
    TFakeDispatcher* fake = nullptr;
    TQnComPort port;
    port.SetDispatcherFactory([&](TQnCustomComPort& p) {
        auto made = std::make_unique<TFakeDispatcher>(&p);
        fake = made.get();
        return made;
    });
    port.SetComNumber(13);
    port.SetBaud(c.baud);
    port.SetParity(c.parity);
    port.SetDataBits(c.dataBits);
    TQnVT100Emulator emu;
    TQnTerminal term;
    term.SetEmulator(&emu);
    term.SetComPort(&port);
    ASSERT_TRUE(EventuallyWithEvents([&] { return port.Open(); }));
    term.WriteString(c.request);
    EXPECT_TRUE(EventuallyWithEvents([&] { return fake->Device().Written() == c.report; })) << fake->Device().Written();
}

INSTANTIATE_TEST_SUITE_P(Table, TerminalPortParameters,
                         testing::Values(LineCase{"Slow", 300, 0, 8, "\x1b[1x", "\x1b[3;1;1;48;48;1;0x"},
                                         LineCase{"OddSevenBits", 9600, 1, 7, "\x1b[1x", "\x1b[3;4;2;112;112;1;0x"},
                                         LineCase{"EvenSolicited", 1200, 2, 8, "\x1b[0x", "\x1b[2;5;1;64;64;1;0x"},
                                         LineCase{"FastRateUnknownToVt100", 115200, 0, 8, "\x1b[1x",
                                                  "\x1b[3;1;1;120;120;1;0x"}),
                         tavrin::test::RowName);

TEST(TerminalPortBeside, ShownTerminalTakesThePortBesideIt) {
    tavrin::test::QtTestApp();
    QWidget window;
    auto* port = new TQnComPort(&window);
    port->SetAutoOpen(false);
    auto* term = new TQnTerminal(&window);
    EXPECT_EQ(term->ComPort(), nullptr);
    window.show();
    EXPECT_EQ(term->ComPort(), port);
    EXPECT_EQ(port->Terminal(), term);
}

}  // namespace
