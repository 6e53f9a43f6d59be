#include "support/ThreadStates.h"

#include <dirent.h>
#include <sched.h>

#include <fstream>
#include <sstream>
#include <string>

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

long UdpReceiveQueue(uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues;
        fields >> slot >> local >> remote >> state >> queues;
        const size_t colon = local.find(':'), split = queues.find(':');
        if (colon == std::string::npos || split == std::string::npos) continue;
        if (std::stoul(local.substr(colon + 1), nullptr, 16) == port)
            return std::stol(queues.substr(split + 1), nullptr, 16);
    }
    return -1;
}

}  // namespace tavrin::test
