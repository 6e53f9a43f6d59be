// The serial lines on a machine, a Ports page and a window of their own:
// which line serves COM1, a panel's enable box opening and closing its line,
// edits reaching the model of their line, lines that cannot open, the CPU's
// settings in the panels, a BREAK handed to the window before the block
// after it, and the lines letting go of the machine. Then the main window's
// serial glue, offscreen: the COM panels open and close the lines and lock
// their controls, failures warn and untick, the CPU's configuration bytes
// show in the panels, a BREAK reboots CP/M and drops the block that carried
// it, and COM1 over TCP carries TCP clients' bytes to and from the CPU's
// ports.

#include <cstdlib>
#include <functional>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "machine/MachinePortNumbers.h"
#include "net/MachineSerialLines.h"
#include "platform/PlatformEvents.h"
#include "support/ComRxTestSupport.h"
#include "support/EnvironmentVariable.h"
#include "support/Eventually.h"
#include "support/QtEventually.h"
#include "support/TcpLineTestSupport.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

// The panel's settings controls cannot be changed (its line is enabled).
bool Locked(TComSettingsPanel& p) {
    return !p.PortNumber->isEnabled() && !p.BaudList->isEnabled() && !p.FormatList->isEnabled() &&
           !p.TwoStopBitsBtn->isEnabled() && !p.HandShake->isEnabled() &&
           (!p.UseTCP || (!p.UseTCP->isEnabled() && !p.TCPPort->isEnabled()));
}

// A window that hands its WM_COMBREAK on as the main window does.
class TBreakWindow : public QWidget {
public:
    std::function<void(intptr_t line)> OnComBreak;

protected:
    bool event(QEvent* event) override {
        if (static_cast<int>(event->type()) != WM_COMBREAK) return QWidget::event(event);
        if (auto* message = dynamic_cast<TPlatformEvent*>(event); message && OnComBreak) OnComBreak(message->WParam);
        return true;
    }
};

// Serial lines whose host ports are fake devices the test holds the other
// end of.
struct TLinesHarness {
    QApplication& App = QtTestApp();
    TTempFolder Temp;
    TTavrinMachine Machine{Temp.Folder()};
    TScriptedUiPrompts Prompts;
    TBreakWindow Window;
    TPortsPage* Page = new TPortsPage(&Window);
    std::unique_ptr<TWindowSerialLines> Lines = std::make_unique<TWindowSerialLines>(Machine, *Page, Prompts, Window);
    std::shared_ptr<TFakeComDevice::TState> Devices[2];
    int Reboots = 0;

    TLinesHarness() {
        for (int line : {1, 2}) HostPort(line).DeviceOpener = TFakeComDevice::Opener(Devices[line - 1]);
        Lines->OnReboot = [this] { ++Reboots; };
        Window.OnComBreak = [this](intptr_t line) { Lines->ComBreak(line); };
    }
    ~TLinesHarness() {
        Lines.reset();
        QApplication::processEvents();  // events the closed ports had posted
    }
    TComRx& HostPort(int line) { return line == 1 ? Lines->ComLines().ComRx1 : Lines->ComLines().ComRx2; }
    TTcpPortModule& Server() { return Lines->ComLines().TcpPortModule; }
    TComSettingsPanel& Panel(int line) { return *(line == 1 ? Page->Com1Panel : Page->Com2Panel); }
    // COM1's TCP choice and port as the user enters them.
    void UseTcpForCom1(const std::string& port) {
        Panel(1).UseTCP->setChecked(true);
        Panel(1).TCPPort->setText(QString::fromStdString(port));
        emit Panel(1).TCPPort->textEdited(Panel(1).TCPPort->text());
    }
    // Which of COM1's host port, COM2's host port and the TCP server are open.
    std::vector<bool> Open() { return {HostPort(1).Active(), HostPort(2).Active(), Server().GetActive()}; }
};

TEST(SerialLinesAlone, TheEnableBoxOpensTheLineThatServesItsCom) {
    const struct {
        const char* Name;
        int Line;
        bool Com1OverTcp;
        std::vector<bool> Open;  // COM1's host port, COM2's host port, the TCP server
    } cases[] = {
        {"COM1 on its host port", 1, false, {true, false, false}},
        {"COM1 over TCP", 1, true, {false, false, true}},
        {"COM2 on its host port", 2, false, {false, true, false}},
        {"COM2 on its host port while COM1 is over TCP", 2, true, {false, true, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLinesHarness h;
        TReservedPort port(SOCK_STREAM);
        if (c.Com1OverTcp) h.UseTcpForCom1(port.Text());
        h.Panel(c.Line).EnableBtn->click();
        port.Release();
        EXPECT_EQ(h.Open(), c.Open) << h.Prompts.LastText();
        EXPECT_TRUE(Locked(h.Panel(c.Line)));
        EXPECT_FALSE(Locked(h.Panel(3 - c.Line)));

        h.Panel(c.Line).EnableBtn->click();
        EXPECT_EQ(h.Open(), (std::vector<bool>{false, false, false}));
        EXPECT_FALSE(Locked(h.Panel(c.Line)));
        EXPECT_TRUE(h.Prompts.Log.empty());
    }
}

// An edit on a panel goes into its own line's settings; nothing opens.
TEST(SerialLinesAlone, EditsReachTheSettingsOfTheirLineOnly) {
    const struct {
        const char* Name;
        int Line;
        std::function<void(TComSettingsPanel&)> Edit;
        std::function<bool(const TMachineSettings&)> Took;
    } cases[] = {
        {"baud rate", 2, [](TComSettingsPanel& p) { p.BaudList->setCurrentIndex(14); },
         [](const TMachineSettings& s) { return s.Com2.BaudIndex == 14; }},
        {"data format", 1, [](TComSettingsPanel& p) { p.FormatList->setCurrentIndex(3); },
         [](const TMachineSettings& s) { return s.Com1.FormatIndex == 3; }},
        {"two stop bits", 2, [](TComSettingsPanel& p) { p.TwoStopBitsBtn->setChecked(true); },
         [](const TMachineSettings& s) { return s.Com2.TwoStopBits; }},
        {"handshake", 1, [](TComSettingsPanel& p) { p.HandShake->setChecked(true); },
         [](const TMachineSettings& s) { return s.Com1.HandShake; }},
        {"TCP port", 1,
         [](TComSettingsPanel& p) {
             p.TCPPort->setText("2323");
             emit p.TCPPort->textEdited("2323");
         },
         [](const TMachineSettings& s) { return s.Com1TCPPort == "2323"; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLinesHarness h;
        const TComLineSettings other = c.Line == 1 ? h.Machine.Settings().Com2 : h.Machine.Settings().Com1;
        const uint8_t received = 'r';
        h.Machine.ComDataBlock(c.Line, &received, 1);
        c.Edit(h.Panel(c.Line));
        EXPECT_EQ(h.Machine.ComBytesWaiting(c.Line), 1) << "the line is not applied again";
        EXPECT_TRUE(c.Took(h.Machine.Settings()));
        const TComLineSettings& otherNow = c.Line == 1 ? h.Machine.Settings().Com2 : h.Machine.Settings().Com1;
        EXPECT_EQ(std::tie(otherNow.BaudIndex, otherNow.FormatIndex, otherNow.TwoStopBits, otherNow.HandShake),
                  std::tie(other.BaudIndex, other.FormatIndex, other.TwoStopBits, other.HandShake));
        EXPECT_EQ(h.Open(), (std::vector<bool>{false, false, false}));
    }
}

// A line that cannot open warns once, naming its COM and the reason, and is
// left closed, unticked and editable.
TEST(SerialLinesAlone, ALineThatCannotOpenWarnsAndIsLeftClosed) {
    const auto refused = [](const std::string&, const TComTermios&, TComOpenError& error) {
        error = TComOpenError::InvalidPort;
        return std::unique_ptr<IComDevice>();
    };
    const struct {
        const char* Name;
        int Line;
        std::function<void(TLinesHarness&)> Arrange;
        std::string Warning;
    } cases[] = {
        {"COM1's host port refused", 1, [&](TLinesHarness& h) { h.HostPort(1).DeviceOpener = refused; },
         "Unable to activate Com Port 1, "},
        {"COM2's host port refused", 2, [&](TLinesHarness& h) { h.HostPort(2).DeviceOpener = refused; },
         "Unable to activate Com Port 2, "},
        {"COM1's TCP port no number", 1, [](TLinesHarness& h) { h.UseTcpForCom1("x"); },
         "Unable to activate Com Port 1, \"x\" is not a port number from 1 to 65535."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TLinesHarness h;
        c.Arrange(h);
        h.Panel(c.Line).EnableBtn->click();
        ASSERT_EQ(h.Prompts.Log.size(), 1u);
        EXPECT_EQ(h.Prompts.Log[0].Type, TMsgDlgType::Warning);
        EXPECT_THAT(h.Prompts.LastText(), StartsWith(c.Warning));
        EXPECT_GT(h.Prompts.LastText().size(), std::string("Unable to activate Com Port 1, ").size()) << "a reason";
        EXPECT_FALSE((c.Line == 1 ? h.Machine.Settings().Com1 : h.Machine.Settings().Com2).Enabled);
        EXPECT_FALSE(h.Panel(c.Line).EnableBtn->isChecked());
        EXPECT_FALSE(Locked(h.Panel(c.Line)));
        EXPECT_EQ(h.Open(), (std::vector<bool>{false, false, false}));
    }
}

// The CPU's configuration byte of a line shows in that line's panel, and an
// open line opens again with it.
TEST(SerialLinesAlone, TheCpusSettingsShowInThePanelOfTheirLine) {
    for (const int line : {1, 2}) {
        SCOPED_TRACE(line);
        TLinesHarness h;
        h.Panel(line).EnableBtn->click();
        ASSERT_TRUE(h.HostPort(line).Active()) << h.Prompts.LastText();
        const auto opened = h.Devices[line - 1];
        OutPort(h.Machine, line == 1 ? MachinePort::Com1Config : MachinePort::Com2Config, 0x45);
        TComSettingsPanel& p = h.Panel(line);
        EXPECT_EQ(p.BaudList->currentText().toStdString(), "9600 baud");
        EXPECT_EQ(p.FormatList->currentText().toStdString(), "7 bits no parity");
        EXPECT_TRUE(p.HandShake->isChecked());
        EXPECT_EQ(h.Panel(3 - line).BaudList->currentIndex(), -1) << "the other line untouched";
        EXPECT_TRUE(h.HostPort(line).Active());
        EXPECT_NE(h.Devices[line - 1], opened) << "opened again";
        EXPECT_TRUE(h.Prompts.Log.empty());
    }
}

// A BREAK reaches the window before the block after it; the line it came on
// drops the block that carries it, and CP/M reboots.
TEST(SerialLinesAlone, ABreakReachesTheWindowBeforeTheBlockAfterIt) {
    TLinesHarness h;
    std::vector<std::pair<intptr_t, uint16_t>> breaks;  // line, bytes waiting then
    h.Window.OnComBreak = [&](intptr_t line) {
        breaks.emplace_back(line, h.Machine.ComBytesWaiting(2));
        h.Lines->ComBreak(line);
    };
    h.Panel(2).EnableBtn->click();
    ASSERT_TRUE(h.HostPort(2).Active()) << h.Prompts.LastText();
    WriteAll(h.Devices[1]->PeerFd, "ab");
    ASSERT_TRUE(EventuallyWithEvents([&] { return h.Machine.ComBytesWaiting(2) == 2; }));
    WriteAll(h.Devices[1]->PeerFd, std::string("\xFF\x00\x00", 3));
    ASSERT_TRUE(EventuallyWithEvents([&] { return h.Reboots == 1; }));
    WriteAll(h.Devices[1]->PeerFd, "cd");
    ASSERT_TRUE(EventuallyWithEvents([&] { return h.Machine.ComBytesWaiting(2) == 4; }));
    EXPECT_EQ(breaks, (std::vector<std::pair<intptr_t, uint16_t>>{{2, 2}}));
    std::string received;
    while (h.Machine.ComBytesWaiting(2) > 0) received += static_cast<char>(InPort(h.Machine, MachinePort::Com2Data));
    EXPECT_EQ(received, "abcd") << "the break's own byte dropped";
}

TEST(SerialLinesAlone, ABreakDropsTheNextBlockOfItsOwnLineAndReboots) {
    for (const int line : {1, 2, 0}) {
        SCOPED_TRACE(line);
        TLinesHarness h;
        h.Lines->ComBreak(line);
        EXPECT_EQ(h.Reboots, 1);
        const uint8_t x = 'x';
        for (const int other : {1, 2}) {
            h.Machine.ComDataBlock(other, &x, 1);
            EXPECT_EQ(h.Machine.ComBytesWaiting(other), other == line ? 0 : 1) << other;
        }
    }
}

// Gone, the lines are closed and the machine no longer calls on them.
TEST(SerialLinesAlone, GoneTheyCloseTheLinesAndLetGoOfTheMachine) {
    TLinesHarness h;
    h.Panel(2).EnableBtn->click();
    ASSERT_TRUE(h.HostPort(2).Active()) << h.Prompts.LastText();
    const std::shared_ptr<TFakeComDevice::TState> device = h.Devices[1];
    h.Lines.reset();
    char byte = 0;
    EXPECT_EQ(::recv(device->PeerFd, &byte, 1, MSG_DONTWAIT), 0) << "the device is closed";
    EXPECT_FALSE(h.Machine.Events().OnApplyComSettings);
    OutPort(h.Machine, MachinePort::Com2Config, 0x45);
    EXPECT_EQ(h.Machine.Settings().Com2.BaudIndex, 5);
}

// COM1 as the CPU sees it: the status and data ports.
class TCom1Ports : public ISerialLine {
public:
    explicit TCom1Ports(TTavrinMachine& machine) : FMachine(machine) {}
    bool IsOpen() override { return Status() != 0; }
    bool DataAvailable() override { return Status() & StatusInputReady; }
    bool ReadByte(uint8_t& b) override {
        if (!DataAvailable()) return false;
        b = InPort(FMachine, MachinePort::Com1Data, b);
        return true;
    }
    bool CanWrite() override { return Status() & StatusOutputReady; }
    void WriteByte(uint8_t b) override { OutPort(FMachine, MachinePort::Com1Data, b); }

private:
    uint8_t Status() { return InPort(FMachine, MachinePort::Com1Status); }
    TTavrinMachine& FMachine;
};

// Writes the stream byteAt(0), byteAt(1), ... through line as it takes
// bytes, until more than count have gone in and it has no room; what was
// written.
std::string WriteBeyond(ISerialLine& line, size_t count, const std::function<uint8_t(size_t)>& byteAt) {
    std::string written;
    const bool beyond = Eventually(
        [&] {
            while (line.CanWrite()) {
                const uint8_t b = byteAt(written.size());
                line.WriteByte(b);
                written += static_cast<char>(b);
            }
            return written.size() > count;
        },
        60s);
    EXPECT_TRUE(beyond) << written.size() << " of " << count << " written";
    return written;
}

// The most a socket's kernel takes in for it.
size_t ReceiveBufferSize(int fd) {
    int size = 0;
    socklen_t length = sizeof size;
    EXPECT_EQ(::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length), 0);
    return static_cast<size_t>(size);
}

struct WindowSerialLines : WindowTest {
    TComSettingsPanel& Panel(int line) {
        return *(line == 1 ? W->Ui().PortsPage->Com1Panel : W->Ui().PortsPage->Com2Panel);
    }
    // Ticks COM1's TCP choice and enable box on the panel; the server.
    TTcpPortModule& EnableCom1OverTcp() {
        TComSettingsPanel& p = Panel(1);
        TReservedPort port(SOCK_STREAM);
        p.UseTCP->setChecked(true);
        p.TCPPort->setText(QString::fromStdString(port.Text()));
        emit p.TCPPort->textEdited(p.TCPPort->text());
        p.EnableBtn->click();
        port.Release();
        TTcpPortModule& server = W->SerialLines().ComLines().TcpPortModule;
        EXPECT_TRUE(server.GetActive()) << H.Prompts.LastText();
        return server;
    }
    int ConnectCom1(TTcpPortModule& server, const char* source = "127.0.0.1", int receiveBuffer = 0) {
        const size_t before = server.ClientCount();
        const int fd = ConnectTcpFrom(source, server.ListeningPort(), receiveBuffer);
        EXPECT_GE(fd, 0);
        EXPECT_TRUE(Eventually([&] { return server.ClientCount() > before; }));
        return fd;
    }
};

TEST_F(WindowSerialLines, EnablingCom2OpensTheHostPortAndLocksItsControlsUntilClosed) {
    TPty pty;
    const TEnvironmentVariable com2("TAVRIN_COM2", pty.SlavePath().c_str());
    TComSettingsPanel& p = Panel(2);
    EXPECT_FALSE(Locked(p));
    p.BaudList->setCurrentIndex(14);
    p.EnableBtn->click();
    ASSERT_TRUE(W->SerialLines().ComLines().ComRx2.Active()) << H.Prompts.LastText();
    EXPECT_TRUE(Locked(p));
    EXPECT_FALSE(Locked(Panel(1)));
    const int slave = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(ReadTermios(slave).c_ospeed, 460800u);
    ::close(slave);

    p.EnableBtn->click();
    EXPECT_FALSE(W->SerialLines().ComLines().ComRx2.Active());
    EXPECT_TRUE(p.BaudList->isEnabled() && p.HandShake->isEnabled());
    EXPECT_TRUE(H.Prompts.Log.empty());

    // Closing the window with the line open releases it.
    p.EnableBtn->click();
    WriteAll(pty.Master(), "pending");
    H.Window.reset();
    TComRx probe;
    probe.PortName = pty.SlavePath();
    EXPECT_NO_THROW(probe.Open());
    QApplication::processEvents();  // events the closed port had posted
}

TEST_F(WindowSerialLines, ALineThatCannotOpenWarnsAndUnticks) {
    const TEnvironmentVariable com2("TAVRIN_COM2", "/dev/tavrin-missing");
    TComSettingsPanel& p = Panel(2);
    p.EnableBtn->click();
    ASSERT_EQ(H.Prompts.Log.size(), 1u);
    EXPECT_EQ(H.Prompts.Log[0].Type, TMsgDlgType::Warning);
    EXPECT_EQ(H.Prompts.LastText(),
              "Unable to activate Com Port 2, The request could not be completed because the "
              "specified comunications port could not be accessed! (device \"/dev/tavrin-missing\")");
    EXPECT_FALSE(p.EnableBtn->isChecked());
    EXPECT_FALSE(Locked(p));
    EXPECT_FALSE(W->SerialLines().ComLines().ComRx2.Active());
}

TEST_F(WindowSerialLines, Com1OverTcpListensWhileEnabled) {
    TTcpPortModule& server = EnableCom1OverTcp();
    ASSERT_TRUE(server.GetActive());
    EXPECT_TRUE(Locked(Panel(1)));
    ::close(ConnectCom1(server));
    Panel(1).EnableBtn->click();
    EXPECT_FALSE(server.GetActive());
}

// What the CPU wrote to COM1 that a client could not take before it went
// (it reads nothing, then resets) reaches the next client, in order.
TEST_F(WindowSerialLines, Com1OutputWaitsForTheNextTcpClient) {
    TTcpPortModule& server = EnableCom1OverTcp();
    TCom1Ports com1(W->Machine());
    const int leaver = ConnectCom1(server, "127.0.0.1", 4096);
    // More than the queue and the leaver's socket hold, so some of it is
    // still the server's when the leaver goes. The high bit keeps the stream
    // clear of the line feed that ends it.
    const std::string written = WriteBeyond(com1, TTcpPortModule::QueueCapacity + ReceiveBufferSize(leaver),
                                            [](size_t i) { return static_cast<uint8_t>(0x80 | (i * 7 + i / 256)); });
    SendThenLeave(leaver, "", TTcpLeave::Reset);
    ASSERT_TRUE(Eventually([&] { return server.ClientCount() == 0; }));
    const int next = ConnectCom1(server);
    EXPECT_GT(SameTailSize(ReadUntilZ80Ends(next, com1), written), TTcpPortModule::QueueCapacity);
    ::close(next);
}

// A client streams megabytes and half-closes: the CPU reads every byte.
TEST_F(WindowSerialLines, EveryByteATcpClientSendsReachesTheCpu) {
    TTcpPortModule& server = EnableCom1OverTcp();
    TCom1Ports com1(W->Machine());
    const int client = ConnectCom1(server);
    const std::string sent = Pattern(4 << 20, 5);
    std::thread sender([&] { SendThenLeave(client, sent, TTcpLeave::HalfClose); });
    const std::string got = ReadInputUntilAlone(com1, server);
    sender.join();
    ::close(client);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "in order";
}

// Another host connecting again and again, more times than there are
// places, does not push a typing user off COM1.
TEST_F(WindowSerialLines, AReconnectingHostLeavesTheUserOnCom1) {
    TTcpPortModule& server = EnableCom1OverTcp();
    TCom1Ports com1(W->Machine());
    const int user = ConnectCom1(server);
    std::vector<int> others;
    for (size_t i = 0; i < TTcpPortModule::MaxClients; ++i) {
        others.push_back(ConnectTcpFrom("127.0.0.2", server.ListeningPort()));
        WriteAll(others.back(), "x");
        ASSERT_EQ(ReadZ80(com1, 1), "x") << "served";
    }
    WriteAll(user, "still here");
    EXPECT_EQ(ReadZ80(com1, 10), "still here");
    for (const int fd : others) ::close(fd);
    ::close(user);
}

TEST_F(WindowSerialLines, TheCpusConfigurationByteShowsInThePanel) {
    TTavrinMachine& m = W->Machine();
    OutPort(m, 0x30, 0x45);
    TComSettingsPanel& p = Panel(1);
    EXPECT_EQ(p.BaudList->currentText().toStdString(), "9600 baud");
    EXPECT_EQ(p.FormatList->currentText().toStdString(), "7 bits no parity");
    EXPECT_FALSE(p.TwoStopBitsBtn->isChecked());
    EXPECT_TRUE(p.HandShake->isChecked());
    EXPECT_EQ(Panel(2).BaudList->currentIndex(), -1) << "COM2 untouched";
}

TEST_F(WindowSerialLines, ABreakRebootsAndDropsItsOwnBlock) {
    std::shared_ptr<TFakeComDevice::TState> device;
    W->SerialLines().ComLines().ComRx2.DeviceOpener = TFakeComDevice::Opener(device);
    Panel(2).EnableBtn->click();
    ASSERT_TRUE(W->SerialLines().ComLines().ComRx2.Active());
    TTavrinMachine& m = W->Machine();
    ASSERT_FALSE(W->Booted());
    WriteAll(device->PeerFd, "ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.ComBytesWaiting(2) == 2; }));
    WriteAll(device->PeerFd, std::string("\xFF\x00\x00", 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return W->Booted(); })) << H.Prompts.LastText();
    W->Ui().RunCpuAct->trigger();  // stop the run the boot started
    WriteAll(device->PeerFd, "cd");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m.ComBytesWaiting(2) == 2; }));
    EXPECT_EQ(InPort(m, 0x17), 'c') << "the boot emptied the queue and the break's own byte was dropped";
    const uint8_t e = 'e';
    m.ComDataBlock(2, &e, 1);
    EXPECT_EQ(m.ComBytesWaiting(2), 2) << "no drop is left pending";
}

}  // namespace
