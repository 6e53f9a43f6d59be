#pragma once
// A TCP server standing in for the emulated COM1 line. The Z80 side (the port
// map) reads and writes two locked 512-byte queues; one server thread
// accepts clients, several at once, and copies bytes between those queues
// and the clients' sockets, both directions in every pass; with nobody to
// send to and nothing to read it sleeps until a client, a wake or the stop.
//
// Input: a full receive queue holds a client's bytes back (back-pressure).
// Each client's bytes reach the queue in the order it sent them; bytes of
// several clients that reach the server together are taken in the order the
// clients connected, and what reaches it later goes after them. A client
// that closes or shuts its sending side gives its place up at once; the
// bytes it sent still reach the queue, up to LeftBehindCapacity for all
// such clients together.
//
// Output: each byte goes to one client. Clients still sending take it
// first; a client whose input has ended (it cannot be told from one that
// has closed until a write to it fails) takes what none of them can take,
// until a write to it fails or a newcomer takes its place. Output a client
// never acknowledged comes back when its socket fails (a closed client
// answers with a reset) and goes out again before what has not gone out yet
// (a client still connected may have read later output already); output
// its host acknowledged but the client never read is lost with it, as on a
// line whose terminal is switched off. A client let go while still
// connected keeps what it was sent.
//
// The queues live as long as the module: bytes written while nobody is
// connected wait, up to 512, for the next client.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "machine/ByteFIFO.h"
#include "machine/MachineDevices.h"
#include "net/TcpClientPlaces.h"
#include "net/TcpLeftBehind.h"

class TTcpPortModule : public ISerialLine {
public:
    static constexpr uint16_t QueueCapacity = 512;
    static constexpr size_t TransferSize = 512;
    // What clients that have closed may leave for the Z80, all told.
    static constexpr size_t LeftBehindCapacity = TTcpLeftBehind::Capacity;
    // Clients served at once; who may take a place is TTcpClientPlaces' rule.
    static constexpr size_t MaxClients = TTcpClientPlaces::MaxClients;

    // now: the time the clients' places are kept by.
    explicit TTcpPortModule(TTcpNow now = TTcpClock::now);
    ~TTcpPortModule() override;
    TTcpPortModule(const TTcpPortModule&) = delete;
    TTcpPortModule& operator=(const TTcpPortModule&) = delete;

    // The TCP port to listen on, 1-65535, read when activating.
    std::string Port = "9999";

    // Listens on every interface, or stops and joins the server thread.
    // Activating throws std::runtime_error with the reason when the port
    // text is not a port number or the port cannot be listened on.
    void SetActive(bool value);
    bool GetActive() const { return FThread != nullptr; }
    bool IsOpen() override { return GetActive(); }
    // The port actually listened on (useful when Port is taken by the system).
    uint16_t ListeningPort() const { return FListeningPort; }
    // Clients that hold a place now: connected and still sending. One that
    // has closed or shut its sending side counts no more, though it may
    // still be sent output.
    size_t ClientCount() const { return FClientCount.load(); }
    bool ClientConnected() const { return ClientCount() > 0; }
    // Bytes that clients which have closed or shut their sending side sent
    // and that have not reached the receive queue yet; dropped when the
    // server stops.
    size_t LeftBehind() const { return FLeftBehind.load(); }

    bool DataAvailable() override;
    bool ReadByte(uint8_t& b) override;
    bool CanWrite() override;
    void WriteByte(uint8_t b) override;

    // Client-thread side: moves up to max bytes out of the transmit queue /
    // into the receive queue; the number moved.
    size_t GetTxData(uint8_t* buffer, size_t max);
    size_t PutRxData(const uint8_t* buffer, size_t max);
    // Called on the server thread after either of those moved a byte: the
    // Z80 may have room to send or input to read now. Set before activating.
    std::function<void()> OnQueueMoved;

private:
    class TServerThread;
    void Wake();
    size_t TxCount();

    std::mutex FLock;  // guards both queues
    TByteFIFO FRxQueue{QueueCapacity};
    TByteFIFO FTxQueue{QueueCapacity};
    int FWakeFd = -1;  // the server thread rechecks the queues
    uint16_t FListeningPort = 0;
    std::atomic<size_t> FClientCount{0};
    std::atomic<size_t> FLeftBehind{0};
    TTcpNow FNow;
    std::unique_ptr<TServerThread> FThread;
};
