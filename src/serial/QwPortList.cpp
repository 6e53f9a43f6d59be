// The process-wide list of dispatchers: a slot per dispatcher, the lowest
// free slot reused, trailing free slots trimmed.
#include "serial/QwPortList.h"

namespace {

std::vector<TQnBaseDispatcher*>& PortList() {
    static std::vector<TQnBaseDispatcher*> list;
    return list;
}

}  // namespace

std::mutex& PortListLock() {
    static std::mutex lock;
    return lock;
}

int32_t AddToPortList(TQnBaseDispatcher* dispatcher) {
    std::lock_guard guard(PortListLock());
    auto& list = PortList();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == nullptr) {
            list[i] = dispatcher;
            return static_cast<int32_t>(i);
        }
    }
    list.push_back(dispatcher);
    return static_cast<int32_t>(list.size() - 1);
}

void RemoveFromPortList(int32_t index) {
    std::lock_guard guard(PortListLock());
    auto& list = PortList();
    if (index >= 0 && static_cast<std::size_t>(index) < list.size()) list[static_cast<std::size_t>(index)] = nullptr;
    while (!list.empty() && list.back() == nullptr) list.pop_back();
}

std::vector<TQnBaseDispatcher*> PortListSnapshot() {
    std::lock_guard guard(PortListLock());
    return PortList();
}
