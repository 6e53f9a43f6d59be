#include "net/MachineSerialLines.h"

#include <array>

namespace {

constexpr std::array<TComBaudRate, 16> ListBaudRates = {
    Com_br300,   Com_br600,    Com_br1200,   Com_br2400,   Com_br4800,   Com_br9600,   Com_br19200,  Com_br38400,
    Com_br57600, Com_br115200, Com_br128000, Com_br172800, Com_br230400, Com_br256000, Com_br460800, Com_br921600};

struct TListFormat {
    TComParity Parity;
    TComDataBits DataBits;
};
constexpr std::array<TListFormat, 4> ListFormats = {
    {{Com_pNone, Com_dbSeven}, {Com_pEven, Com_dbSeven}, {Com_pOdd, Com_dbSeven}, {Com_pNone, Com_dbEight}}};

}  // namespace

TComBaudRate ComBaudRateOfListIndex(int index) { return ListBaudRates[static_cast<size_t>(index) & 15]; }

TMachineSerialLines::TMachineSerialLines(TTavrinMachine& machine, TComDispatcher dispatcher) : FMachine(machine) {
    int line = 1;
    for (TComRx* port : {&ComRx1, &ComRx2}) {
        port->SyncCallbacks = true;
        port->Dispatcher = dispatcher;
        port->OnDataBlock = [this, line](TComRx&, const uint8_t* data, uint32_t count) {
            FMachine.ComDataBlock(line, data, count);
        };
        port->OnModemSignal = [this, line](TComRx&, TComModemEvents events) { ModemSignal(line, events); };
        ++line;
    }
    FMachine.SetHostComPorts(&FLine1, &FLine2);
    FMachine.SetTcpCom1(&TcpPortModule);
    // Bytes the TCP server moves may end a wait on COM1; only the move that
    // finds the run waiting is handed over.
    TcpPortModule.OnQueueMoved = [&machine = FMachine, dispatcher] {
        if (machine.IdleWake().Ready()) dispatcher([&machine] { machine.DeviceReady(); });
    };
}

TMachineSerialLines::~TMachineSerialLines() {
    TcpPortModule.SetActive(false);
    FMachine.SetHostComPorts(nullptr, nullptr);
    FMachine.SetTcpCom1(nullptr);
}

void TMachineSerialLines::ModemSignal(int line, TComModemEvents events) {
    if ((events & ComEvents(cme_BREAK)) && OnComBreak) OnComBreak(line);
}

void TMachineSerialLines::ConfigurePort(TComRx& port, const TComLineSettings& s) {
    port.PortName = "COM" + std::to_string(s.PortNumber);
    TComOptions& options = port.Options();
    // Both lines map every list entry; no selection keeps the rate.
    if (s.BaudIndex >= 0 && s.BaudIndex < 16) options.SetBaudRate(ComBaudRateOfListIndex(s.BaudIndex));
    if (s.FormatIndex >= 0 && s.FormatIndex < 4) {
        options.SetParity(ListFormats[static_cast<size_t>(s.FormatIndex)].Parity);
        options.SetDataBits(ListFormats[static_cast<size_t>(s.FormatIndex)].DataBits);
    }
    options.SetStopBits(s.TwoStopBits ? Com_sbTwo : Com_sbOne);
    TComHardwareFlow& flow = options.HardwareFlow();
    flow.SetTxUseCtsFlow(s.HandShake);
    flow.SetTxUseDsrFlow(s.HandShake);
    flow.SetTxDtrState(s.HandShake ? Com_dtrHandshake : Com_dtrEnabled);
    flow.SetRxRTSState(s.HandShake ? Com_rtsHandshake : Com_rtsEnabled);
}

std::string TMachineSerialLines::ApplyComSettings(int line) {
    const bool first = line == 1;
    TComRx& port = first ? ComRx1 : ComRx2;
    TMachineSettings& settings = FMachine.Settings();
    TComLineSettings& s = first ? settings.Com1 : settings.Com2;
    FMachine.ClearComReceived(line);
    port.Close();
    if (first) TcpPortModule.SetActive(false);
    try {
        if (first && settings.UseTCPasCom1) {
            if (s.Enabled) {
                TcpPortModule.Port = settings.Com1TCPPort;
                TcpPortModule.SetActive(true);
            }
        } else {
            ConfigurePort(port, s);
            if (s.Enabled) port.Open();
        }
    } catch (const std::exception& e) {
        s.Enabled = false;
        ApplyComSettings(line);
        return std::string("Unable to activate Com Port ") + (first ? "1" : "2") + ", " + e.what();
    }
    return {};
}
