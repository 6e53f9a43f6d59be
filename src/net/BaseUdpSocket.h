#pragma once
// A bound IPv4 UDP socket on POSIX sockets, and the thread that receives on
// it. The thread blocks in poll on the socket and on an eventfd, so a
// datagram is handed on the moment it arrives and a stop request ends the
// thread at once; it is always joined, never left running.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// A failure of the UDP layer, with a fixed English sentence.
class EUdpSocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TBaseUdpSocket {
public:
    static constexpr int DefaultTTL = 128;

    TBaseUdpSocket();
    ~TBaseUdpSocket();
    TBaseUdpSocket(const TBaseUdpSocket&) = delete;
    TBaseUdpSocket& operator=(const TBaseUdpSocket&) = delete;

    int Handle() const { return FHandle; }
    bool Active() const { return FActive; }

    // Local port as text: a number or a service name; empty means any port.
    std::string Port;
    // Local address to bind, network byte order; 0 means any.
    uint32_t BindAddress = 0;
    bool Broadcast = false;
    bool ReuseAddress = false;

    int GetTTL() const { return FTTL; }
    void SetTTL(int value);  // clamped to 0..255

    // The sender of the last datagram received (255.255.255.255 before one).
    const sockaddr_in& LastSender() const { return FLastSender; }
    // Why the last Open failed; empty after a successful one.
    const std::string& LastError() const { return FLastError; }
    // The port actually bound (the system's choice for an empty Port); 0 when closed.
    uint16_t BoundPort() const;

    // "0.0.0.0" for an empty name; a host name is looked up (first IPv4
    // address); a dotted address is kept. Empty when nothing fits.
    static std::string ResolveHost(const std::string& name);
    // 0 (any port) for empty text; a service name's UDP port; else the
    // program's one port-number rule (1..65535). Anything else raises
    // EUdpSocketError.
    static uint16_t ResolvePort(const std::string& text);
    // BindAddress := the resolved name; a name that does not resolve raises.
    void SetAdapterAddress(const std::string& name);

    // True opens, false closes; false when opening failed (see LastError).
    bool SetActive(bool value);
    bool Open();
    void Close();

    // False when closed; else whether the socket becomes ready within the
    // timeout (negative: no limit).
    bool WaitReadable(int timeoutMs) const;
    bool WaitWritable(int timeoutMs) const;
    // 0 when nothing arrives in time; else recvfrom's result (the sender is
    // copied to from and LastSender when a datagram was taken).
    int RecvFrom(void* buffer, size_t size, int timeoutMs, sockaddr_in& from);
    // 0 when not writable in time; else sendto's result.
    int SendTo(const void* buffer, size_t length, int timeoutMs, const sockaddr_in& to);

private:
    bool Fail(const std::string& message);

    int FHandle = -1;
    bool FActive = false;
    int FTTL = DefaultTTL;
    sockaddr_in FLastSender{};
    std::string FLastError;
};

// Receives on an open socket until stopped. Each datagram of one byte or
// more goes to the callback on this thread; the buffer is reused once the
// callback returns, so a callback that hands the data on must copy it.
class TBaseUdpSocketThread {
public:
    static constexpr size_t BufferSize = 8192;
    using TDatagramProc = std::function<void(const uint8_t* data, size_t size, const sockaddr_in& from)>;

    // The socket must be open; it is owned and closed after the thread ends.
    TBaseUdpSocketThread(std::unique_ptr<TBaseUdpSocket> socket, TDatagramProc onDatagram);
    ~TBaseUdpSocketThread();
    TBaseUdpSocketThread(const TBaseUdpSocketThread&) = delete;
    TBaseUdpSocketThread& operator=(const TBaseUdpSocketThread&) = delete;

    // Signals the eventfd and joins; the socket is closed afterwards.
    void Stop();
    TBaseUdpSocket& Socket() { return *FSocket; }
    const TBaseUdpSocket& Socket() const { return *FSocket; }

private:
    void Execute();

    std::unique_ptr<TBaseUdpSocket> FSocket;
    TDatagramProc FOnDatagram;
    int FStopFd = -1;
    std::vector<uint8_t> FBuffer;
    std::thread FThread;
};
