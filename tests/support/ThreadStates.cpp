#include "support/ThreadStates.h"

#include <dirent.h>
#include <sched.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tavrin::test {

namespace {

std::set<pid_t> ThreadIds() {
    std::set<pid_t> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ids.insert(static_cast<pid_t>(std::stol(entry->d_name)));
        ::closedir(dir);
    }
    return ids;
}

// The one-letter state of a thread; '?' when it has gone.
char ThreadState(pid_t id) {
    std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The name in parentheses may hold spaces: the state follows the last ')'.
    const size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

}  // namespace

std::set<pid_t> ThreadsStartedBy(const std::function<void()>& start) {
    const std::set<pid_t> before = ThreadIds();
    start();
    std::set<pid_t> started;
    for (const pid_t id : ThreadIds())
        if (!before.count(id)) started.insert(id);
    return started;
}

bool WaitUntilBlocked(const std::set<pid_t>& threads, int samples, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int inARow = 0;
    while (inARow < samples) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        bool blocked = true;
        for (const pid_t id : threads) blocked = blocked && ThreadState(id) == 'S';
        inARow = blocked ? inARow + 1 : 0;
        ::sched_yield();
    }
    return true;
}

std::chrono::nanoseconds ThreadCpuTime(const std::set<pid_t>& threads) {
    std::chrono::nanoseconds total{0};
    for (const pid_t id : threads) {
        // The first figure is the time on a processor, in nanoseconds.
        std::ifstream schedstat("/proc/self/task/" + std::to_string(id) + "/schedstat");
        long long ran = 0;
        if (schedstat >> ran) total += std::chrono::nanoseconds(ran);
    }
    return total;
}

namespace {

// One end of a socket as a /proc/net table gives it: the address as stored
// (network order), the port in host order.
struct TSocketEnd {
    uint32_t Address = 0;
    uint16_t Port = 0;
    bool operator==(const TSocketEnd&) const = default;
};

struct TSocketRow {
    TSocketEnd Local, Remote;
    int State;
    long ReceiveQueue;
};

std::optional<TSocketEnd> ParseEnd(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    return TSocketEnd{static_cast<uint32_t>(std::stoul(text.substr(0, colon), nullptr, 16)),
                      static_cast<uint16_t>(std::stoul(text.substr(colon + 1), nullptr, 16))};
}

// The IPv4 sockets a /proc/net table lists.
std::vector<TSocketRow> SocketRows(const char* table) {
    std::ifstream file(table);
    std::vector<TSocketRow> rows;
    std::string line;
    std::getline(file, line);  // the heading
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        const auto localEnd = ParseEnd(local), remoteEnd = ParseEnd(remote);
        const size_t split = queues.find(':');  // transmit:receive
        if (!localEnd || !remoteEnd || split == std::string::npos) continue;
        rows.push_back(
            {*localEnd, *remoteEnd, std::stoi(state, nullptr, 16), std::stol(queues.substr(split + 1), nullptr, 16)});
    }
    return rows;
}

TSocketEnd EndOf(const sockaddr_in& address) { return {address.sin_addr.s_addr, ntohs(address.sin_port)}; }

}  // namespace

long UdpReceiveQueue(uint16_t port) {
    for (const TSocketRow& row : SocketRows("/proc/net/udp"))
        if (row.Local.Port == port) return row.ReceiveQueue;
    return -1;
}

bool TcpConnectionListed(const sockaddr_in& oneEnd, const sockaddr_in& otherEnd) {
    constexpr int TimeWait = 6;
    const TSocketEnd a = EndOf(oneEnd), b = EndOf(otherEnd);
    const std::vector<TSocketRow> rows = SocketRows("/proc/net/tcp");
    return std::any_of(rows.begin(), rows.end(), [&](const TSocketRow& row) {
        return row.State != TimeWait && ((row.Local == a && row.Remote == b) || (row.Local == b && row.Remote == a));
    });
}

}  // namespace tavrin::test
