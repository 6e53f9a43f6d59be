#pragma once
// Tells a Z80 that only polls for input that is not there from one that
// works. The run burst is cut into chunks; a chunk is idle when its only port
// traffic was status reads of input ports saying "nothing ready", dense
// enough to be a wait loop (one every PollSpacing instructions or closer).
// A program that checks for a key now and then while it computes polls far
// more sparsely and is never taken for idle; any other port access (output,
// disk, data reads, the system-manager channel) marks the chunk as working.

#include <cstdint>

class TIdlePollWatch {
public:
    static constexpr uint32_t ChunkLength = 1024;
    static constexpr uint32_t PollSpacing = 64;
    // Chunks in a row that must be idle before the burst ends as idle.
    static constexpr uint32_t IdleChunks = 4;

    void EmptyPoll() { ++FPolls; }
    void Activity() { FWorked = true; }

    void StartBurst() {
        FPolls = 0;
        FWorked = false;
        FIdleRun = 0;
    }

    // After a chunk of instructions: true once IdleChunks chunks in a row
    // did nothing but wait for input.
    bool EndChunk(uint32_t instructions) {
        const bool idle = !FWorked && FPolls > 0 && uint64_t(FPolls) * PollSpacing >= instructions;
        FIdleRun = idle ? FIdleRun + 1 : 0;
        FPolls = 0;
        FWorked = false;
        return FIdleRun >= IdleChunks;
    }

private:
    uint32_t FPolls = 0;
    bool FWorked = false;
    uint32_t FIdleRun = 0;
};
