// The terminal window's serial port: hooking up to the port's dispatcher,
// taking received bytes into the data queue, the port's open and close
// notices, and the link through which keys and replies leave.
#include <QShowEvent>

#include <algorithm>
#include <functional>
#include <mutex>
#include <vector>

#include "console/QnTerminal.h"
#include "platform/GuiThreadPoster.h"
#include "platform/PlatformEvents.h"

// Received bytes on their way from the dispatch thread to the terminal. The
// dispatcher keeps its own copy of the handler, which may still be running
// when the terminal unhooks or goes away: the handler reaches the terminal
// only through here, and Detach cuts that path under the lock. The wake-up
// crosses through the GUI-thread poster, and the data-available message is
// then sent on the GUI thread, so no event made on the dispatch thread is
// read by the terminal.
class TQnPortInbox {
public:
    explicit TQnPortInbox(QObject* target) : FTarget(target), FPostToGui(GuiThreadPoster(target)) {}

    // Dispatch thread: while attached, takes `count` bytes from the port
    // with `read`, keeps them and wakes the terminal once per batch. Taking
    // and keeping are one step under the lock: bytes read from the port are
    // never dropped by a Detach in between, and after one none are read.
    void Receive(uint32_t count, const std::function<int32_t(uint8_t*, uint32_t)>& read) {
        std::lock_guard lock(FLock);
        if (FTarget == nullptr) return;
        const size_t kept = FBytes.size();
        FBytes.resize(kept + count);
        const int32_t got = read(FBytes.data() + kept, count);
        FBytes.resize(kept + static_cast<size_t>(std::max(got, 0)));
        if (got <= 0 || FWakePosted) return;
        FWakePosted = true;
        FPostToGui([target = FTarget, count] { SendPlatformEvent(target, QnMsgDataAvailable, count, 0); });
    }
    // GUI thread: the bytes delivered so far.
    std::vector<uint8_t> Take() {
        std::lock_guard lock(FLock);
        FWakePosted = false;
        return std::exchange(FBytes, {});
    }
    // GUI thread: no more deliveries; what came already is handed back.
    std::vector<uint8_t> Detach() {
        std::lock_guard lock(FLock);
        FTarget = nullptr;
        return std::exchange(FBytes, {});
    }

private:
    std::mutex FLock;
    QObject* FTarget;
    const std::function<void(std::function<void()>)> FPostToGui;
    std::vector<uint8_t> FBytes;
    bool FWakePosted = false;
};

void TQnCustomTerminal::SetComPort(TQnCustomComPort* port) {
    if (port == FComPort) return;
    if (FComPort) {
        UnhookPort();
        FComPort->DeregisterUserCallback(this);
        if (FComPort->Terminal() == this) FComPort->SetTerminal(nullptr);
        QObject::disconnect(FPortGone);
    }
    FComPort = port;
    if (!port) return;
    port->RegisterUserCallback(this);
    if (!port->Terminal()) port->SetTerminal(this);
    // Emitted once the port's own destructor has closed it (which unhooked
    // this terminal through the closing notice).
    FPortGone = QObject::connect(port, &QObject::destroyed, this, [this] { ForgetPort(); });
    if (FActive) RequestPortHookup();
}

void TQnCustomTerminal::ForgetPort() {
    // The port and its dispatcher are gone: nothing of them may be called.
    if (FInbox) FInbox->Detach();
    FInbox.reset();
    FPortHooked = false;
    FHookedDispatcher = nullptr;
    FComPort = nullptr;
    FActive = false;
    FHookupPending = false;
}

void TQnCustomTerminal::SetActive(bool v) {
    if (v == FActive) return;
    FHookupPending = false;
    FActive = v;
    if (!FComPort) {
        if (v) FHookupPending = true;
        return;
    }
    if (v)
        RequestPortHookup();
    else
        UnhookPort();
}

void TQnCustomTerminal::showEvent(QShowEvent* e) {
    TQnBaseWinControl::showEvent(e);
    if (!FComPort) FindPortBeside();
}

void TQnCustomTerminal::FindPortBeside() {
    QWidget* owner = parentWidget();
    if (!owner) return;
    const auto ports = owner->findChildren<TQnCustomComPort*>(Qt::FindDirectChildrenOnly);
    if (!ports.isEmpty()) SetComPort(ports.front());
}

void TQnCustomTerminal::RequestPortHookup() {
    FHookupPending = true;
    PostPlatformEvent(this, WM_PORT_HOOKUP, 0, 0);
}

void TQnCustomTerminal::HookPort() {
    if (FHooking || !FComPort) return;
    FHooking = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{FHooking};
    if (FComPort->ComponentLoading()) {
        PostPlatformEvent(this, WM_PORT_HOOKUP, 0, 0);
        return;
    }
    if (FPortHooked || !(FComPort->Open() || FComPort->AutoOpen())) {
        FHookupPending = FActive;
        return;
    }
    FHookupPending = false;
    TQnBaseDispatcher* dispatcher = nullptr;
    try {
        dispatcher = FComPort->ValidDispatcher();  // opens the port when it is closed
    } catch (const std::exception&) {
        // The port cannot open now; its next opened notice tries again.
        FHookupPending = FActive;
        return;
    }
    if (!FActive || !dispatcher || !FComPort) return;
    auto inbox = std::make_shared<TQnPortInbox>(this);
    FHookToken = dispatcher->RegisterEventHandler([inbox, dispatcher](uint32_t msg, uint32_t count, uint32_t) {
        if (msg != QnMsgDataAvailable || count == 0) return;
        inbox->Receive(count, [dispatcher](uint8_t* bytes, uint32_t n) { return dispatcher->GetBlock(bytes, n); });
    });
    FInbox = std::move(inbox);
    FHookedDispatcher = dispatcher;
    FPortHooked = true;
}

void TQnCustomTerminal::UnhookPort() {
    if (FPortHooked) {
        // The closing notice arrives before the dispatcher is freed, so the
        // dispatcher hooked is still the port's own here.
        if (FComPort && FComPort->Dispatcher() == FHookedDispatcher)
            FHookedDispatcher->DeregisterEventHandler(FHookToken);
        FPortHooked = false;
        FHookedDispatcher = nullptr;
        // Bytes taken from the port already are still shown.
        const std::vector<uint8_t> rest = FInbox->Detach();
        FInbox.reset();
        if (!FDestroying) QueuePortBytes(rest);
    }
    FHookupPending = FActive;
}

void TQnCustomTerminal::PortDataTrigger() {
    if (!FInbox) return;
    QueuePortBytes(FInbox->Take());
}

void TQnCustomTerminal::QueuePortBytes(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return;
    FDataQueue.Put(bytes.data(), static_cast<int>(bytes.size()));
    PostDataAvailable(csPort);
}

bool TQnCustomTerminal::PortEvent(int type) {
    switch (type) {
        case WM_PORT_HOOKUP:
            HookPort();
            return true;
        case static_cast<int>(QnMsgDataAvailable):
            PortDataTrigger();
            return true;
        case static_cast<int>(QnMsgPortOpened):
            if (FHookupPending) RequestPortHookup();
            return true;
        case static_cast<int>(QnMsgPortClosing):
        case static_cast<int>(QnMsgPortClosed):
            // Only the notices of this terminal's own port while it goes down.
            if (FComPort && FComPort->PortState() != TQnPortState::Open) UnhookPort();
            return true;
        default:
            return false;
    }
}

// --- the link the emulator sends through ------------------------------------------

bool TQnCustomTerminal::PortOpen() const { return FComPort && FComPort->Open(); }

bool TQnCustomTerminal::PortServesTerminal() const {
    return FComPort && FComPort->Terminal() == this && FComPort->Open();
}

void TQnCustomTerminal::PortWriteChar(char ch) {
    if (!FComPort) return;
    try {
        FComPort->PutChar(static_cast<uint8_t>(ch));
    } catch (const std::exception&) {
        // dropped
    }
}

void TQnCustomTerminal::PortWriteString(const std::string& s) {
    if (!FComPort || s.empty()) return;
    try {
        FComPort->PutString(s);
    } catch (const std::exception&) {
        // dropped
    }
}

std::optional<TQnPortLine> TQnCustomTerminal::PortLine() const {
    if (!FComPort) return std::nullopt;
    const TQnComPortSettings& s = FComPort->Settings();
    return TQnPortLine{s.Baud, s.Parity, s.DataBits};
}
