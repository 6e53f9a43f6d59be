#include "machine/ByteFIFO.h"

#include <algorithm>

TByteFIFO::TByteFIFO(uint16_t capacity) : FCapacity(std::max<uint16_t>(capacity, 4)) {
    // Room for Capacity rounded up to 16, plus 16 bytes of slack.
    FAllocSize = ((FCapacity + 15) / 16 + 1) * 16;
    FBuffer = std::make_unique<uint8_t[]>(static_cast<size_t>(FAllocSize));
    Clear();
}

TByteFIFO::~TByteFIFO() = default;

void TByteFIFO::Clear() {
    FWriteIndex = 0;
    FReadIndex = 0;
    FCount = 0;
}

bool TByteFIFO::PutByte(uint8_t value) {
    if (FCount >= FCapacity) return false;
    FBuffer[FWriteIndex] = value;
    if (++FWriteIndex >= FCapacity) FWriteIndex = 0;
    ++FCount;
    return true;
}

bool TByteFIFO::GetByte(uint8_t& value) {
    if (FCount == 0) return false;
    value = FBuffer[FReadIndex];
    if (++FReadIndex >= FCapacity) FReadIndex = 0;
    --FCount;
    return true;
}
