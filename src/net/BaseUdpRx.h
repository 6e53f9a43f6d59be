#pragma once
// A component that listens on one UDP port and hands every datagram to
// OnDatagram; replies leave through the same socket with SendTo.
//
// With SynchronizeCallbacks set and a Poster given, each datagram is copied
// and posted to the owner's thread (the GUI thread in the program), so the
// handler runs there between other work and needs no lock. One posted call
// hands over at most MaxDatagramsPerTurn datagrams and posts the next, so
// a flood leaves the owner's other work (the emulated CPU) its turns. Deactivation
// stops and joins the receive thread and closes the socket before it
// returns; datagrams still queued for the owner are dropped.

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/BaseUdpSocket.h"

class TBaseUdpRx;

// Runs a callback later on the owner's thread.
using TCallbackPoster = std::function<void(std::function<void()>)>;

// Looks at a datagram's bytes on the receive thread; false drops it there.
using TDatagramFilter = std::function<bool(const uint8_t* data, size_t size)>;

using TBaseUdpSocketRxProc = std::function<void(TBaseUdpRx& sender, const uint8_t* data, int dataSize, int socketHandle,
                                                const sockaddr_in& fromAddress)>;

class TBaseUdpRx {
public:
    // Datagrams waiting for the owner beyond this are dropped, so a flood
    // cannot grow the owner's queue without bound.
    static constexpr size_t MaxPendingDatagrams = 512;
    static constexpr size_t MaxDatagramsPerTurn = 32;

    TBaseUdpRx();
    ~TBaseUdpRx();
    TBaseUdpRx(const TBaseUdpRx&) = delete;
    TBaseUdpRx& operator=(const TBaseUdpRx&) = delete;

    bool GetActive() const { return FThread != nullptr; }
    // True binds the port and starts the thread; on failure Active stays
    // false and LastError says why. False stops, joins and closes.
    void SetActive(bool value);
    const std::string& LastError() const { return FLastError; }

    bool SynchronizeCallbacks = true;
    TCallbackPoster Poster;
    bool TxBroadcast = false;
    bool ReuseAddress = false;
    std::string AdapterAddress;  // local address or host name; empty = any
    std::string LocalPort;       // number or service name; empty = any
    TBaseUdpSocketRxProc OnDatagram;
    // Optional, taken at activation: datagrams it refuses never reach the
    // owner's queue, so junk costs the owner's thread nothing. It runs on
    // the receive thread and may only look at the bytes.
    TDatagramFilter Accept;

    int GetTTL() const { return FTTL; }
    void SetTTL(int value);  // clamped to 0..255

    // The port bound while active (the system's choice for an empty LocalPort).
    uint16_t BoundPort() const;
    const sockaddr_in& LastSender() const { return FLastSender; }
    // Datagrams received and not yet handed to the owner.
    size_t PendingDatagrams() const;

    // False while inactive or when the whole datagram could not be sent
    // within the timeout.
    bool SendTo(const sockaddr_in& address, int timeoutMs, int length, const void* buffer);

private:
    struct TGate;
    void ThreadDatagram(const uint8_t* data, int size, int socketHandle, const sockaddr_in& from);
    void Deliver(const std::shared_ptr<TGate>& gate, const uint8_t* data, size_t size, const sockaddr_in& from);

    int FTTL = TBaseUdpSocket::DefaultTTL;
    std::string FLastError;
    sockaddr_in FLastSender{};
    std::shared_ptr<TGate> FGate;  // lets posted datagrams find this receiver while it listens
    std::unique_ptr<TBaseUdpSocketThread> FThread;
};
