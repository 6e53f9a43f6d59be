#pragma once
// COM1 over TCP driven from both ends: the Z80's side through any serial
// line (the server itself, or the machine's COM1 ports) and clients that
// fill the line or leave it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "machine/MachineDevices.h"
#include "net/TcpPortMod.h"

namespace tavrin::test {

using namespace std::chrono_literals;

// Writes the stream byteAt(0), byteAt(1), ... while the line takes bytes,
// until it stays full (no room for half a second: the server holds output
// that no client can take); what was written.
std::string FillOutput(ISerialLine& line, const std::function<uint8_t(size_t)>& byteAt);

// What the Z80 reads of count bytes, waiting for each.
std::string ReadZ80(ISerialLine& line, size_t count);

// Listens on a port held for the test; throws when it cannot.
void ActivateOnReservedPort(TTcpPortModule& module);

// A client of module from 127.0.0.<host>, standing for one of several hosts;
// a receiveBuffer above 0 keeps the window it offers that small.
int ConnectFromHost(const TTcpPortModule& module, int host, int receiveBuffer = 0);

// True when the server closes fd within the limit (a failure must not hang).
bool ClosedByServer(int fd, std::chrono::milliseconds limit = 2s);

// What the Z80 reads through line until nobody is connected to server and
// every byte its clients sent has been read (what closed clients left
// behind included), or limit passes.
std::string ReadInputUntilAlone(ISerialLine& line, const TTcpPortModule& server, std::chrono::milliseconds limit = 60s);

// What the client fd receives until the Z80 ends its output: a line feed it
// writes through the line once there is room; what came before it. The
// stream before it must hold no line feed.
std::string ReadUntilZ80Ends(int fd, ISerialLine& line);

// How many bytes at the end of a and of b are the same.
size_t SameTailSize(const std::string& a, const std::string& b);

// Waits until the other end has taken in every byte sent on fd, and its
// end of sending if it was shut; throws when that never happens.
void WaitUntilDelivered(int fd);

enum class TTcpLeave { Close, HalfClose, Reset };
// Sends bytes, then leaves. Before a reset it waits until the other end has
// taken in every byte, since a reset discards what is still unsent.
void SendThenLeave(int fd, const std::string& bytes, TTcpLeave how);

}  // namespace tavrin::test
