#pragma once
// COM1's output on its way to the TCP server's clients. Each byte keeps its
// place in the line's output (how many bytes the Z80 wrote before it), so
// that what comes back from clients that went is sent again in the order
// the Z80 wrote it, whichever clients it went to and in whatever order they
// went.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <vector>

// Bytes that lie together in the line's output.
struct TTcpOutputRun {
    uint64_t Place;  // of the first byte
    std::vector<uint8_t> Bytes;
};

// What one client was sent and its peer has not acknowledged, in the order
// it was sent.
class TTcpSentOutput {
public:
    void Add(uint64_t place, std::span<const uint8_t> bytes);
    size_t Size() const { return FSize; }
    bool Empty() const { return FSize == 0; }
    // Its peer has acknowledged all but the count bytes sent last.
    void KeepLast(size_t count);
    // All of it, in the order sent; it is empty after.
    std::vector<TTcpOutputRun> TakeAll();

private:
    std::deque<TTcpOutputRun> FRuns;
    size_t FSize = 0;
};

// Output that came back from clients that went, earliest place first: it
// goes out before anything the Z80 wrote after it.
class TTcpReturnedOutput {
public:
    void Return(std::vector<TTcpOutputRun> runs);
    bool Empty() const { return FRuns.empty(); }
    // The earliest bytes that lie together, and the place of the first.
    std::span<const uint8_t> Earliest() const;
    uint64_t EarliestPlace() const { return FRuns.begin()->first; }
    // The count earliest bytes went out again.
    void Consume(size_t count);

private:
    std::map<uint64_t, std::vector<uint8_t>> FRuns;  // by place; runs that meet are one
};
