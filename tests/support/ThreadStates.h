#pragma once
// What the kernel says about this process's threads and sockets, for tests
// that must know a worker has gone idle (blocked, not spinning) without
// sleeping for a guessed time.

#include <netinet/in.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>

namespace tavrin::test {

// Runs start; the ids of the threads it started that still run.
std::set<pid_t> ThreadsStartedBy(const std::function<void()>& start);
// True when every thread of threads is blocked (state S) in each of samples
// consecutive looks, before limit passes. A thread spinning on a descriptor
// that stays ready is never seen blocked.
bool WaitUntilBlocked(const std::set<pid_t>& threads, int samples = 50,
                      std::chrono::milliseconds limit = std::chrono::seconds(5));
// How long the threads have run on a processor, all told (a thread that
// has gone counts nothing).
std::chrono::nanoseconds ThreadCpuTime(const std::set<pid_t>& threads);
// The bytes waiting in the receive queue of the UDP socket bound to port on
// IPv4; -1 when there is none.
long UdpReceiveQueue(uint16_t port);
// Whether the kernel still lists the IPv4 TCP connection between the two
// ends, at either end, short of TIME_WAIT: a reset connection is gone from
// the list at both ends.
bool TcpConnectionListed(const sockaddr_in& oneEnd, const sockaddr_in& otherEnd);

}  // namespace tavrin::test
