#include "net/BaseUdpRx.h"

#include <vector>

// What a posted datagram needs to find its receiver. Owner is read and
// cleared only on the owner's thread; Pending counts datagrams posted and
// not yet run.
struct TBaseUdpRx::TGate {
    TBaseUdpRx* Owner = nullptr;
    std::atomic<int> Pending{0};
};

TBaseUdpRx::TBaseUdpRx() {
    FLastSender.sin_family = AF_INET;
    FLastSender.sin_addr.s_addr = INADDR_NONE;
}

TBaseUdpRx::~TBaseUdpRx() { SetActive(false); }

void TBaseUdpRx::SetTTL(int value) { FTTL = value < 0 ? 0 : (value > 255 ? 255 : value); }

uint16_t TBaseUdpRx::BoundPort() const { return FThread ? FThread->Socket().BoundPort() : 0; }

void TBaseUdpRx::SetActive(bool value) {
    if (value == GetActive()) return;
    if (!value) {
        FGate->Owner = nullptr;
        FGate.reset();
        FThread.reset();  // stops, joins and closes the socket
        return;
    }
    auto socket = std::make_unique<TBaseUdpSocket>();
    try {
        socket->SetAdapterAddress(AdapterAddress);
    } catch (const EUdpSocketError& e) {
        FLastError = e.what();
        return;
    }
    socket->Port = LocalPort;
    socket->SetTTL(FTTL);
    socket->Broadcast = TxBroadcast;
    socket->ReuseAddress = ReuseAddress;
    if (!socket->Open()) {
        FLastError = socket->LastError();
        return;
    }
    auto gate = std::make_shared<TGate>();
    gate->Owner = this;
    const bool posted = SynchronizeCallbacks && Poster;
    const int handle = socket->Handle();
    try {
        FThread = std::make_unique<TBaseUdpSocketThread>(
            std::move(socket), [this, gate, posted, handle](const uint8_t* data, size_t size, const sockaddr_in& from) {
                if (posted)
                    Deliver(gate, data, size, handle, from);
                else
                    ThreadDatagram(data, static_cast<int>(size), handle, from);
            });
    } catch (const EUdpSocketError& e) {
        FLastError = e.what();
        return;
    }
    FGate = std::move(gate);
    FLastError.clear();
}

// Runs on the receive thread: copies the datagram and posts it.
void TBaseUdpRx::Deliver(const std::shared_ptr<TGate>& gate, const uint8_t* data, size_t size, int handle,
                         const sockaddr_in& from) {
    if (gate->Pending.fetch_add(1) >= MaxPendingDatagrams) {
        gate->Pending.fetch_sub(1);
        return;
    }
    Poster([gate, copy = std::vector<uint8_t>(data, data + size), handle, from] {
        gate->Pending.fetch_sub(1);
        if (TBaseUdpRx* owner = gate->Owner) owner->ThreadDatagram(copy.data(), static_cast<int>(copy.size()), handle, from);
    });
}

void TBaseUdpRx::ThreadDatagram(const uint8_t* data, int size, int socketHandle, const sockaddr_in& from) {
    FLastSender = from;
    if (OnDatagram) OnDatagram(*this, data, size, socketHandle, from);
}

bool TBaseUdpRx::SendTo(const sockaddr_in& address, int timeoutMs, int length, const void* buffer) {
    if (!FThread || length < 0) return false;
    return FThread->Socket().SendTo(buffer, static_cast<size_t>(length), timeoutMs, address) == length;
}
