#include "net/TcpOutputRuns.h"

#include <algorithm>
#include <iterator>

void TTcpSentOutput::Add(uint64_t place, std::span<const uint8_t> bytes) {
    if (bytes.empty()) return;
    if (!FRuns.empty() && FRuns.back().Place + FRuns.back().Bytes.size() == place)
        FRuns.back().Bytes.insert(FRuns.back().Bytes.end(), bytes.begin(), bytes.end());
    else
        FRuns.push_back({place, {bytes.begin(), bytes.end()}});
    FSize += bytes.size();
}

void TTcpSentOutput::KeepLast(size_t count) {
    while (FSize > count) {
        TTcpOutputRun& first = FRuns.front();
        const size_t acknowledged = std::min(FSize - count, first.Bytes.size());
        FSize -= acknowledged;
        if (acknowledged == first.Bytes.size()) {
            FRuns.pop_front();
        } else {
            first.Bytes.erase(first.Bytes.begin(), first.Bytes.begin() + static_cast<std::ptrdiff_t>(acknowledged));
            first.Place += acknowledged;
        }
    }
}

std::vector<TTcpOutputRun> TTcpSentOutput::TakeAll() {
    std::vector<TTcpOutputRun> all(std::make_move_iterator(FRuns.begin()), std::make_move_iterator(FRuns.end()));
    FRuns.clear();
    FSize = 0;
    return all;
}

void TTcpReturnedOutput::Return(std::vector<TTcpOutputRun> runs) {
    for (TTcpOutputRun& run : runs) {
        if (run.Bytes.empty()) continue;
        // Each byte is with one client at a time: a place already here
        // cannot come back twice, and runs never overlap.
        auto [at, added] = FRuns.emplace(run.Place, std::move(run.Bytes));
        if (!added) continue;
        const auto next = std::next(at);
        if (next != FRuns.end() && at->first + at->second.size() == next->first) {
            at->second.insert(at->second.end(), next->second.begin(), next->second.end());
            FRuns.erase(next);
        }
        if (at != FRuns.begin()) {
            const auto before = std::prev(at);
            if (before->first + before->second.size() == at->first) {
                before->second.insert(before->second.end(), at->second.begin(), at->second.end());
                FRuns.erase(at);
            }
        }
    }
}

std::span<const uint8_t> TTcpReturnedOutput::Earliest() const {
    if (FRuns.empty()) return {};
    return FRuns.begin()->second;
}

void TTcpReturnedOutput::Consume(size_t count) {
    while (count > 0 && !FRuns.empty()) {
        auto node = FRuns.extract(FRuns.begin());
        std::vector<uint8_t>& bytes = node.mapped();
        const size_t taken = std::min(count, bytes.size());
        count -= taken;
        if (taken == bytes.size()) continue;
        bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(taken));
        node.key() += taken;
        FRuns.insert(std::move(node));
    }
}
