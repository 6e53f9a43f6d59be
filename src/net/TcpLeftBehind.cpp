#include "net/TcpLeftBehind.h"

#include <algorithm>

size_t TTcpLeftBehind::Append(const uint8_t* data, size_t count) {
    count = std::min(count, Capacity - FSize);
    if (count == 0) return 0;
    if (FRing.empty()) FRing.resize(Capacity);
    for (size_t done = 0; done < count;) {
        const size_t tail = (FHead + FSize) % Capacity;
        const size_t run = std::min(count - done, Capacity - tail);
        std::copy_n(data + done, run, FRing.begin() + static_cast<std::ptrdiff_t>(tail));
        FSize += run;
        done += run;
    }
    return count;
}

std::span<const uint8_t> TTcpLeftBehind::Oldest() const {
    if (FSize == 0) return {};
    return {FRing.data() + FHead, std::min(FSize, Capacity - FHead)};
}

void TTcpLeftBehind::Consume(size_t count) {
    count = std::min(count, FSize);
    FHead = (FHead + count) % Capacity;
    FSize -= count;
    // Nothing left: the memory goes until a client leaves bytes again.
    if (FSize == 0) {
        FRing = {};
        FHead = 0;
    }
}
