#pragma once
// Bounded first-in-first-out byte queue between the emulated devices and the
// port handlers. No lock of its own: a user sharing one between threads guards
// every call (Count and Capacity included) itself.

#include <cstdint>
#include <memory>

class TByteFIFO {
public:
    // Holds max(capacity, 4) bytes.
    explicit TByteFIFO(uint16_t capacity);
    ~TByteFIFO();

    TByteFIFO(const TByteFIFO&) = delete;
    TByteFIFO& operator=(const TByteFIFO&) = delete;

    // Empties the queue; the stored bytes are not wiped.
    void Clear();

    // False, and nothing changes, when the queue is full.
    bool PutByte(uint8_t value);

    // False, and value is left untouched, when the queue is empty.
    bool GetByte(uint8_t& value);

    uint16_t Count() const { return FCount; }
    uint16_t Capacity() const { return FCapacity; }
    // Bytes allocated for the ring: Capacity rounded up to 16, plus 16.
    int32_t AllocatedSize() const { return FAllocSize; }

private:
    std::unique_ptr<uint8_t[]> FBuffer;
    uint16_t FWriteIndex = 0;
    uint16_t FReadIndex = 0;
    uint16_t FCount = 0;
    uint16_t FCapacity = 0;
    int32_t FAllocSize = 0;
};
