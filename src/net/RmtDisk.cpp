#include "net/RmtDisk.h"

#include <array>

using namespace rmtdsk;

TRmtDskMod::TRmtDskMod(std::string imageFolder)
    : LastActivity(std::chrono::system_clock::now()), FSessions(std::move(imageFolder)) {
    BaseUdpRx1.LocalPort = DefaultPort;
    BaseUdpRx1.SynchronizeCallbacks = true;
    BaseUdpRx1.SetTTL(128);
    BaseUdpRx1.OnDatagram = [this](TBaseUdpRx& sender, const uint8_t* data, int size, int handle,
                                   const sockaddr_in& from) { BaseUdpRx1Datagram(sender, data, size, handle, from); };
    // Unknown commands are never answered: a flood of them is dropped on the
    // receive thread and costs the machine's thread nothing.
    BaseUdpRx1.Accept = [](const uint8_t* data, size_t size) {
        return IsKnownCommand(TRequestView(data, size).Command());
    };
}

TRmtDskMod::~TRmtDskMod() {
    BaseUdpRx1.SetActive(false);
    FSessions.Clear();
}

void TRmtDskMod::SetActive(bool value) {
    if (value)
        Activate();
    else
        Deactivate();
}

void TRmtDskMod::Activate() {
    if (GetActive()) return;
    FSessions.Clear();
    BaseUdpRx1.SetActive(true);
}

void TRmtDskMod::Deactivate() {
    if (!GetActive()) return;
    BaseUdpRx1.SetActive(false);
    FSessions.Clear();
}

void TRmtDskMod::BaseUdpRx1Datagram(TBaseUdpRx&, const uint8_t* data, int dataSize, int, const sockaddr_in& from) {
    const TRmtDskClientInfo client{from.sin_addr.s_addr, from.sin_port, 0};
    DispatchRequest(client, data, dataSize > 0 ? static_cast<size_t>(dataSize) : 0);
}

void TRmtDskMod::DispatchRequest(const TRmtDskClientInfo& client, const uint8_t* data, size_t size) {
    const TRequestView request(data, size);
    if (request.Size() == 0) return;
    switch (request.Command()) {
        case CmdNop:
            HandleNop(client, request);
            break;
        case CmdMount:
            HandleMount(client, request);
            break;
        case CmdUnmount:
            HandleUnmount(client, request);
            break;
        case CmdRead:
            HandleRead(client, request);
            break;
        case CmdWrite:
            HandleWrite(client, request);
            break;
        default:
            break;  // unknown commands are not answered
    }
}

bool TRmtDskMod::Guarded(const TRmtDskClientInfo& client, const TRequestView& request, bool lengthOk,
                         const char* badLengthText, const std::function<std::vector<uint8_t>()>& operation) {
    if (!lengthOk) {
        SendReply(client, ErrorReply(request.Tag(), ErrBadRequest, badLengthText));
        return false;
    }
    std::vector<uint8_t> reply;
    try {
        reply = operation();
    } catch (const EDiskError& e) {
        reply = ErrorReply(request.Tag(), static_cast<uint16_t>(e.Code), e.what());
    } catch (const std::exception& e) {
        reply = ErrorReply(request.Tag(), ErrOther, e.what());
    } catch (...) {
        reply = ErrorReply(request.Tag(), ErrOther, "The request failed!");
    }
    SendReply(client, reply);
    return true;
}

bool TRmtDskMod::EndSession(const TRmtDskClientInfo& client, const TRequestView& request, const char* badLengthText) {
    const TRmtDskClientInfo owner{client.Address, client.Port, request.U16(ClientDiskOffset)};
    return Guarded(owner, request, request.Size() == SessionRequestLength, badLengthText, [&] {
        FSessions.Unmount(request.U32(SessionIdOffset), owner, false);
        return StatusReply(request.Tag());
    });
}

// A nop ends the session just as an unmount does, without moving LastActivity.
void TRmtDskMod::HandleNop(TRmtDskClientInfo client, const TRequestView& request) {
    EndSession(client, request, "Invalid nop request");
}

void TRmtDskMod::HandleUnmount(TRmtDskClientInfo client, const TRequestView& request) {
    if (EndSession(client, request, "Invalid unmount request")) LastActivity = std::chrono::system_clock::now();
}

void TRmtDskMod::HandleMount(TRmtDskClientInfo client, const TRequestView& request) {
    client.ClientDisk = request.U16(MountClientDiskOffset);
    const bool lengthOk = request.Size() >= MountMinLength && request.Size() <= MountMaxLength;
    const bool answered = Guarded(client, request, lengthOk, "Invalid mount request", [&] {
        const bool readOnly = (request.U8(MountFlagsOffset) & MountReadOnlyFlag) != 0;
        const std::string name = request.Text(MountNameOffset, request.U8(MountNameLengthOffset));
        return MountReply(request.Tag(), FSessions.Mount(client, readOnly, name));
    });
    if (answered) LastActivity = std::chrono::system_clock::now();
}

void TRmtDskMod::HandleRead(TRmtDskClientInfo client, const TRequestView& request) {
    client.ClientDisk = request.U16(ClientDiskOffset);
    Guarded(client, request, request.Size() == ReadRequestLength, "Invalid read request", [&] {
        std::array<uint8_t, BlockSize> block{};
        FSessions.ReadBlock(request.U32(SessionIdOffset), request.U16(TrackOffset), request.U16(SectorOffset), client,
                            block.data());
        return ReadReply(request.Tag(), block.data());
    });
}

void TRmtDskMod::HandleWrite(TRmtDskClientInfo client, const TRequestView& request) {
    client.ClientDisk = request.U16(ClientDiskOffset);
    Guarded(client, request, request.Size() == WriteRequestLength, "Invalid write request", [&] {
        FSessions.WriteBlock(request.U32(SessionIdOffset), request.U16(TrackOffset), request.U16(SectorOffset), client,
                             request.Bytes(WriteDataOffset, BlockSize));
        return StatusReply(request.Tag());
    });
}

void TRmtDskMod::SendReply(const TRmtDskClientInfo& client, const std::vector<uint8_t>& reply) {
    if (OnReply) {
        OnReply(client, reply.data(), reply.size());
        return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = client.Address;
    to.sin_port = client.Port;
    BaseUdpRx1.SendTo(to, ReplyTimeoutMs, static_cast<int>(reply.size()), reply.data());
}
