#pragma once
// What clients of the COM1 TCP server sent before they closed (or shut
// their sending side) and the Z80 has not read yet. It outlives their
// places, in the order it came, up to one fixed total; past that the newest
// bytes are refused, as a serial line overruns, so peers that send and
// close cannot grow it without end.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TTcpLeftBehind {
public:
    static constexpr size_t Capacity = 256 * 1024;

    // Keeps what fits of count bytes; the number kept.
    size_t Append(const uint8_t* data, size_t count);
    // The oldest bytes, as many as lie together.
    std::span<const uint8_t> Oldest() const;
    // Forgets the count oldest bytes (handed on).
    void Consume(size_t count);
    size_t Size() const { return FSize; }

private:
    std::vector<uint8_t> FRing;  // Capacity bytes while anything is kept
    size_t FHead = 0;
    size_t FSize = 0;
};
