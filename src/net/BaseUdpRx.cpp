#include "net/BaseUdpRx.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

// Datagrams on their way from the receive thread to the owner's thread.
// Owner is read and cleared only on the owner's thread. One drain callback
// at a time is posted; it hands on a bounded batch, so a burst of datagrams
// costs the owner few wake-ups and a flood cannot hold its thread.
struct TBaseUdpRx::TGate {
    struct TDatagram {
        std::vector<uint8_t> Data;
        sockaddr_in From;
    };

    TBaseUdpRx* Owner = nullptr;
    int Handle = -1;
    TCallbackPoster Poster;
    std::mutex Lock;
    std::deque<TDatagram> Waiting;  // guarded by Lock
    bool DrainPosted = false;       // guarded by Lock

    // Posts a drain (from either thread); when posting fails nothing will
    // drain, so the queue starts afresh with the next datagram.
    static void PostDrain(const std::shared_ptr<TGate>& gate) {
        try {
            gate->Poster([gate] { gate->Drain(gate); });
        } catch (...) {
            std::lock_guard<std::mutex> guard(gate->Lock);
            gate->Waiting.clear();
            gate->DrainPosted = false;
        }
    }

    // True when nothing waits any more (or nobody listens): the drain ends.
    bool Finished() {
        std::lock_guard<std::mutex> guard(Lock);
        if (Owner == nullptr) Waiting.clear();
        if (!Waiting.empty()) return false;
        DrainPosted = false;
        return true;
    }

    // Runs on the owner's thread: takes one batch under the lock and hands
    // it on; datagrams left wait for a drain posted behind whatever else the
    // owner has queued. DrainPosted stays set throughout, so no second drain
    // can overtake this one (in an event loop a handler might open).
    void Drain(const std::shared_ptr<TGate>& self) {
        std::vector<TDatagram> batch;
        {
            std::lock_guard<std::mutex> guard(Lock);
            const size_t count = Owner ? std::min(Waiting.size(), MaxDatagramsPerTurn) : 0;
            batch.reserve(count);
            for (size_t i = 0; i < count; ++i) {
                batch.push_back(std::move(Waiting.front()));
                Waiting.pop_front();
            }
        }
        for (const TDatagram& datagram : batch) {
            if (Owner == nullptr) break;  // deactivated by a handler
            Owner->ThreadDatagram(datagram.Data.data(), static_cast<int>(datagram.Data.size()), Handle, datagram.From);
        }
        if (!Finished()) PostDrain(self);
    }
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
    gate->Handle = socket->Handle();
    gate->Poster = Poster;
    const bool posted = SynchronizeCallbacks && Poster;
    try {
        FThread = std::make_unique<TBaseUdpSocketThread>(
            std::move(socket),
            [this, gate, posted, accept = Accept](const uint8_t* data, size_t size, const sockaddr_in& from) {
                if (accept && !accept(data, size)) return;
                if (posted)
                    Deliver(gate, data, size, from);
                else
                    ThreadDatagram(data, static_cast<int>(size), gate->Handle, from);
            });
    } catch (const EUdpSocketError& e) {
        FLastError = e.what();
        return;
    }
    FGate = std::move(gate);
    FLastError.clear();
}

// Runs on the receive thread: queues a copy of the datagram and posts a
// drain unless one is on its way.
void TBaseUdpRx::Deliver(const std::shared_ptr<TGate>& gate, const uint8_t* data, size_t size,
                         const sockaddr_in& from) {
    TGate::TDatagram datagram{std::vector<uint8_t>(data, data + size), from};
    {
        std::lock_guard<std::mutex> guard(gate->Lock);
        if (gate->Waiting.size() >= MaxPendingDatagrams) return;
        gate->Waiting.push_back(std::move(datagram));
        if (gate->DrainPosted) return;
        gate->DrainPosted = true;
    }
    TGate::PostDrain(gate);
}

size_t TBaseUdpRx::PendingDatagrams() const {
    if (!FGate) return 0;
    std::lock_guard<std::mutex> guard(FGate->Lock);
    return FGate->Waiting.size();
}

void TBaseUdpRx::ThreadDatagram(const uint8_t* data, int size, int socketHandle, const sockaddr_in& from) {
    FLastSender = from;
    if (OnDatagram) OnDatagram(*this, data, size, socketHandle, from);
}

bool TBaseUdpRx::SendTo(const sockaddr_in& address, int timeoutMs, int length, const void* buffer) {
    if (!FThread || length < 0) return false;
    return FThread->Socket().SendTo(buffer, static_cast<size_t>(length), timeoutMs, address) == length;
}
