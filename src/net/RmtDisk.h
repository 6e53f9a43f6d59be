#pragma once
// The remote disk server: programs on other machines mount the emulator's
// disk images by name over UDP, read and write them in 2048-byte blocks and
// unmount them. Requests are decoded, carried out and answered on the
// owner's thread (the GUI thread in the program), one at a time.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "net/BaseUdpRx.h"
#include "net/RmtDiskSession.h"
#include "net/RmtDiskWire.h"

class TRmtDskMod {
public:
    static constexpr const char* DefaultPort = "999";
    static constexpr int ReplyTimeoutMs = 1000;

    using TReplySink = std::function<void(const TRmtDskClientInfo& client, const uint8_t* data, size_t size)>;

    // Images are served from imageFolder only (the program folder in the program).
    explicit TRmtDskMod(std::string imageFolder);
    ~TRmtDskMod();
    TRmtDskMod(const TRmtDskMod&) = delete;
    TRmtDskMod& operator=(const TRmtDskMod&) = delete;

    TBaseUdpRx BaseUdpRx1;

    bool GetActive() const { return BaseUdpRx1.GetActive(); }
    // Both directions close every session first; a port that cannot be
    // bound leaves the server inactive with BaseUdpRx1.LastError() set.
    void SetActive(bool value);
    void Activate();
    void Deactivate();

    size_t SessionCount() const { return FSessions.Count(); }
    const TRmtDskSession* GetSession(size_t index) const { return FSessions.GetSession(index); }
    TRmtDskSessionList& Sessions() { return FSessions; }
    void SetAutoUnmount(bool value) { FSessions.AutoUnmount = value; }
    bool GetAutoUnmount() const { return FSessions.AutoUnmount; }

    // Moves after every mount reply and every unmount command.
    TRmtDskTime LastActivity;

    // Decodes one request from client (its disk number is taken from the
    // request) and answers it; unknown commands get no answer.
    void DispatchRequest(const TRmtDskClientInfo& client, const uint8_t* data, size_t size);

    // Where replies go; unset, they leave through BaseUdpRx1 to the client.
    TReplySink OnReply;

private:
    void BaseUdpRx1Datagram(TBaseUdpRx& sender, const uint8_t* data, int dataSize, int socketHandle,
                            const sockaddr_in& fromAddress);
    void HandleNop(TRmtDskClientInfo client, const rmtdsk::TRequestView& request);
    void HandleMount(TRmtDskClientInfo client, const rmtdsk::TRequestView& request);
    void HandleUnmount(TRmtDskClientInfo client, const rmtdsk::TRequestView& request);
    void HandleRead(TRmtDskClientInfo client, const rmtdsk::TRequestView& request);
    void HandleWrite(TRmtDskClientInfo client, const rmtdsk::TRequestView& request);
    // Checks the length (error 32 with the text when wrong), then runs the
    // operation, answering any failure with an error reply. False only when
    // the length was refused.
    bool Guarded(const TRmtDskClientInfo& client, const rmtdsk::TRequestView& request, bool lengthOk,
                 const char* badLengthText, const std::function<std::vector<uint8_t>()>& operation);
    bool EndSession(const TRmtDskClientInfo& client, const rmtdsk::TRequestView& request, const char* badLengthText);
    void SendReply(const TRmtDskClientInfo& client, const std::vector<uint8_t>& reply);

    TRmtDskSessionList FSessions;
};
