// The main window's serial glue, offscreen: the COM panels open and close
// the lines and lock their controls, failures warn and untick, the CPU's
// configuration bytes show in the panels, a BREAK reboots CP/M and drops
// the block that carried it, and COM1 over TCP carries TCP clients' bytes
// to and from the CPU's ports.

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "machine/MachinePortNumbers.h"
#include "net/ComRxGlue.h"
#include "support/ComRxTestSupport.h"
#include "support/EnvironmentVariable.h"
#include "support/Eventually.h"
#include "support/TcpLineTestSupport.h"
#include "WindowTestSupport.h"

using namespace tavrin::test;

namespace {

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

struct MainWindowSerial : WindowTest {
    TComSettingsPanel& Panel(int line) {
        return *(line == 1 ? W->Ui().PortsPage->Com1Panel : W->Ui().PortsPage->Com2Panel);
    }
    static bool Locked(TComSettingsPanel& p) {
        return !p.PortNumber->isEnabled() && !p.BaudList->isEnabled() && !p.FormatList->isEnabled() &&
               !p.TwoStopBitsBtn->isEnabled() && !p.HandShake->isEnabled() &&
               (!p.UseTCP || (!p.UseTCP->isEnabled() && !p.TCPPort->isEnabled()));
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

TEST_F(MainWindowSerial, EnablingCom2OpensTheHostPortAndLocksItsControlsUntilClosed) {
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

TEST_F(MainWindowSerial, ALineThatCannotOpenWarnsAndUnticks) {
    const TEnvironmentVariable com2("TAVRIN_COM2", "/dev/tavrin-missing");
    TComSettingsPanel& p = Panel(2);
    p.EnableBtn->click();
    ASSERT_EQ(H.Prompts.Log.size(), 1u);
    EXPECT_EQ(H.Prompts.Log[0].Type, TMsgDlgType::Warning);
    EXPECT_EQ(H.Prompts.LastText(),
              "Unable to activate Com Port 2, The request could not be completed because the "
              "specified comunications port could not be accessed!");
    EXPECT_FALSE(p.EnableBtn->isChecked());
    EXPECT_FALSE(Locked(p));
    EXPECT_FALSE(W->SerialLines().ComLines().ComRx2.Active());
}

TEST_F(MainWindowSerial, Com1OverTcpListensWhileEnabled) {
    TTcpPortModule& server = EnableCom1OverTcp();
    ASSERT_TRUE(server.GetActive());
    EXPECT_TRUE(Locked(Panel(1)));
    ::close(ConnectCom1(server));
    Panel(1).EnableBtn->click();
    EXPECT_FALSE(server.GetActive());
}

// What the CPU wrote to COM1 that a client could not take before it went
// (it reads nothing, then resets) reaches the next client, in order.
TEST_F(MainWindowSerial, Com1OutputWaitsForTheNextTcpClient) {
    TTcpPortModule& server = EnableCom1OverTcp();
    TCom1Ports com1(W->Machine());
    const int leaver = ConnectCom1(server, "127.0.0.1", 4096);
    const std::string written = FillOutput(com1, [](size_t i) { return static_cast<uint8_t>(i * 7 + i / 256); });
    SendThenLeave(leaver, "", TTcpLeave::Reset);
    ASSERT_TRUE(Eventually([&] { return server.ClientCount() == 0; }));
    const int next = ConnectCom1(server);
    EXPECT_GT(SameTailSize(ReadUntilZ80Ends(next, com1), written), TTcpPortModule::QueueCapacity);
    ::close(next);
}

// A client streams megabytes and half-closes: the CPU reads every byte.
TEST_F(MainWindowSerial, EveryByteATcpClientSendsReachesTheCpu) {
    TTcpPortModule& server = EnableCom1OverTcp();
    TCom1Ports com1(W->Machine());
    const int client = ConnectCom1(server);
    const std::string sent = Pattern(4 << 20, 5);
    std::thread sender([&] { SendThenLeave(client, sent, TTcpLeave::HalfClose); });
    const std::string got = ReadInputUntilAlone(com1, [&] { return server.ClientCount(); });
    sender.join();
    ::close(client);
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "in order";
}

// Another host connecting again and again, more times than there are
// places, does not push a typing user off COM1.
TEST_F(MainWindowSerial, AReconnectingHostLeavesTheUserOnCom1) {
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

TEST_F(MainWindowSerial, TheCpusConfigurationByteShowsInThePanel) {
    TTavrinMachine& m = W->Machine();
    OutPort(m, 0x30, 0x45);
    TComSettingsPanel& p = Panel(1);
    EXPECT_EQ(p.BaudList->currentText().toStdString(), "9600 baud");
    EXPECT_EQ(p.FormatList->currentText().toStdString(), "7 bits no parity");
    EXPECT_FALSE(p.TwoStopBitsBtn->isChecked());
    EXPECT_TRUE(p.HandShake->isChecked());
    EXPECT_EQ(Panel(2).BaudList->currentIndex(), -1) << "COM2 untouched";
}

TEST_F(MainWindowSerial, ABreakRebootsAndDropsItsOwnBlock) {
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
