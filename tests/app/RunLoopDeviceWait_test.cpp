// The run waits, driven by the window's own timers, while the booted example
// system's BIOS polls a device that is not ready, for output as for input;
// and whatever makes the device ready ends the wait at once: on the GUI
// thread before the event that did it returns, from COM1's TCP server
// through posted events alone (no timer runs while the test waits for it).

#include "WindowTestSupport.h"

#include "console/QtPrintTarget.h"
#include "net/MachineSerialLines.h"
#include "net/support/ComRxTestSupport.h"
#include "support/QtEventually.h"

#include <sys/socket.h>
#include <unistd.h>

using namespace tavrin::test;

namespace {

// The example BIOS's entry points.
constexpr uint16_t BiosConin = 0xFA09;
constexpr uint16_t BiosConout = 0xFA0C;
constexpr uint16_t BiosList = 0xFA0F;
constexpr uint16_t BiosPunch = 0xFA12;
// Where the input loop leaves each byte it reads.
constexpr uint16_t InputByte = 0x0200;

// 0100h: LD SP,0100h; loop: LD C,'x'; CALL routine; JR loop
std::vector<uint8_t> OutputLoop(uint16_t routine) {
    return {0x31, 0x00, 0x01, 0x0E, 'x', 0xCD, uint8_t(routine), uint8_t(routine >> 8), 0x18, 0xF9};
}
// 0100h: LD SP,0100h; loop: CALL conin; LD (0200h),A; JR loop
const std::vector<uint8_t> InputLoop = {0x31,
                                        0x00,
                                        0x01,
                                        0xCD,
                                        uint8_t(BiosConin),
                                        uint8_t(BiosConin >> 8),
                                        0x32,
                                        uint8_t(InputByte),
                                        uint8_t(InputByte >> 8),
                                        0x18,
                                        0xF8};

// A window with the example system booted to its prompt; then a program of
// the test's own runs at 0100h on the same BIOS.
struct TBootedWindow {
    TWindowHarness H;
    TMainHalvoret& W = H.Open();
    int Client = -1;

    TBootedWindow() {
        W.Machine().Mapping().SetColdBootMapping(0);
        W.Ui().ResetCPMAct->trigger();
    }
    ~TBootedWindow() {
        if (Client >= 0) ::close(Client);
    }
    bool AtThePrompt() { return W.Booted() && H.RunUntilTty("\n>\n"); }
    // The prompt's wait ends with it, so what follows is the program's own.
    void Run(const std::vector<uint8_t>& program) {
        LoadProgram(W.Machine(), 0x0100, program);
        W.RunLoop().WakeRun();
    }
    void Map(TMappedDevice device, int value) { W.Machine().Mapping().SetItemIndex(device, value); }
    // COM1 as a TCP server on a free port.
    void ServeCom1OverTcp() {
        TReservedPort port(SOCK_STREAM);
        TMachineSettings& s = W.Machine().Settings();
        s.UseTCPasCom1 = true;
        s.Com1.Enabled = true;
        s.Com1TCPPort = port.Text();
        W.SerialLines().ApplyComSettings(1);
        port.Release();
    }
    TTcpPortModule& Tcp() { return W.SerialLines().ComLines().TcpPortModule; }
    void Connect() { Client = ConnectTcp(Tcp().ListeningPort()); }
    // What the client has been sent so far.
    const std::string& Received() { return ClientReceived += ReadAvailable(Client); }
    std::string ClientReceived;
    TLstPrinter& Printer() { return W.LstPrinter(); }
    bool Printing() { return Printer().Device() && Printer().Device()->IsPrinting(); }
    int64_t Ran() const { return W.Machine().Cpu().OpcodeCount; }
    // The run waits, its bursts spaced, and three more bursts find it still
    // waiting.
    bool Waits() {
        TRunLoop& run = W.RunLoop();
        if (!QTest::qWaitFor([&] { return run.WaitsForDevice(); }, 5000)) return false;
        const int64_t from = Ran();
        constexpr int64_t WaitingBurst = TIdlePollWatch::IdleChunks * TIdlePollWatch::ChunkLength;
        bool waited = true;
        const bool ran = QTest::qWaitFor(
            [&] {
                waited = waited && run.WaitsForDevice();
                return !waited || Ran() > from + 3 * WaitingBurst;
            },
            5000);
        return ran && waited;
    }
};

// How the event reaches the run: on the GUI thread, inside the call that
// makes the device ready, or from COM1's TCP server thread as a posted event.
enum class TWake { OnTheGuiThread, Posted };

struct TWaitCase {
    const char* name;
    std::function<void(TBootedWindow&)> Arrange;  // up to the program that waits
    std::function<void(TBootedWindow&)> MakeReady;
    TWake Wake;
    std::function<bool(TBootedWindow&)> Served;  // the device got what it waited for
};
TAVRIN_PRINT_AS_NAME(TWaitCase)

class DeviceWait : public ::testing::TestWithParam<TWaitCase> {};

TEST_P(DeviceWait, TheRunWaitsUntilTheDeviceIsReady) {
    const TWaitCase& c = GetParam();
    TBootedWindow b;
    ASSERT_TRUE(b.AtThePrompt()) << b.H.TtyText() << b.H.Prompts.LastText();
    c.Arrange(b);
    ASSERT_TRUE(b.Waits());

    c.MakeReady(b);
    if (c.Wake == TWake::OnTheGuiThread) {
        EXPECT_FALSE(b.W.RunLoop().WaitsForDevice()) << "woken before any timer or event";
    } else {
        EXPECT_TRUE(Eventually([&] {
            QCoreApplication::sendPostedEvents();
            return !b.W.RunLoop().WaitsForDevice();
        })) << "woken by a posted event, no timer";
    }
    EXPECT_TRUE(EventuallyWithEvents([&] { return c.Served(b); }));
    EXPECT_TRUE(b.H.Prompts.Log.empty()) << b.H.Prompts.LastText();
}

const TWaitCase WaitCases[] = {
    {"PrinterEnabled",
     [](TBootedWindow& b) {
         b.Printer().PrinterObject().SelectPdf();
         b.Map(TMappedDevice::Lst, 2);
         b.Run(OutputLoop(BiosList));
     },
     [](TBootedWindow& b) { b.W.Ui().PrinterEnableAct->trigger(); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return b.Printing(); }},
    {"PrinterChosen",
     [](TBootedWindow& b) {
         b.Printer().PrinterObject().SetPrinterIndex(-1);
         b.Printer().ShowPrinterList();
         b.W.Ui().PrinterEnableAct->trigger();
         b.Map(TMappedDevice::Lst, 2);
         b.Run(OutputLoop(BiosList));
     },
     // As loading the settings chooses it.
     [](TBootedWindow& b) { b.W.Ui().PrinterPanel->SelectPrinterName("PDF File"); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return b.Printing(); }},
    {"MappingChanged",
     [](TBootedWindow& b) {
         b.Map(TMappedDevice::Lst, 2);
         b.Run(OutputLoop(BiosList));
     },
     [](TBootedWindow& b) { b.Map(TMappedDevice::Lst, 0); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return b.H.TtyText().find("xxx") != std::string::npos; }},
    {"PunchFileOpened",
     [](TBootedWindow& b) {
         b.Map(TMappedDevice::Pun, 2);
         b.Run(OutputLoop(BiosPunch));
     },
     [](TBootedWindow& b) { b.W.Machine().OpenPunchFile(b.H.Temp.File("punch.txt"), false); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return !ReadFile(b.H.Temp.File("punch.txt")).empty(); }},
    {"Com1Enabled",
     [](TBootedWindow& b) {
         b.Map(TMappedDevice::Con, 3);
         b.Run(OutputLoop(BiosConout));
     },
     [](TBootedWindow& b) { b.ServeCom1OverTcp(); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return !b.Tcp().CanWrite(); }},
    {"Com1OutputTakenByAClient",
     [](TBootedWindow& b) {
         b.ServeCom1OverTcp();
         b.Map(TMappedDevice::Con, 3);
         b.Run(OutputLoop(BiosConout));
         // Nobody takes the output: the queue fills.
     },
     [](TBootedWindow& b) { b.Connect(); }, TWake::Posted,
     [](TBootedWindow& b) { return b.Received().size() > TTcpPortModule::QueueCapacity; }},
    {"Com1ByteReceived",
     [](TBootedWindow& b) {
         b.ServeCom1OverTcp();
         b.Connect();
         b.Map(TMappedDevice::Con, 3);
         b.Run(InputLoop);
     },
     [](TBootedWindow& b) { WriteAll(b.Client, "k"); }, TWake::Posted,
     [](TBootedWindow& b) { return b.W.Machine().Cpu().ReadMemoryByte(InputByte) == 'k'; }},
    {"KeyTyped", [](TBootedWindow& b) { b.Run(InputLoop); },
     [](TBootedWindow& b) { QTest::keyClick(b.W.Ui().SimpleTerminal1, Qt::Key_K); }, TWake::OnTheGuiThread,
     [](TBootedWindow& b) { return b.W.Machine().Cpu().ReadMemoryByte(InputByte) == 'k'; }},
};
INSTANTIATE_TEST_SUITE_P(Devices, DeviceWait, ::testing::ValuesIn(WaitCases), RowName);

}  // namespace
