#pragma once
// Tells a Z80 that only polls for input that is not there from one that
// works. The run burst is cut into chunks; a chunk is idle when its only port
// traffic was status reads of input ports saying "nothing ready", dense
// enough to be a wait loop (one every PollSpacing instructions or closer).
// A program that checks for a key now and then while it computes polls far
// more sparsely and is never taken for idle; any other port access (output,
// disk, data reads, the system-manager channel) marks the chunk as working.
//
// Only an unbroken run of idle chunks, across bursts, is waiting: the run
// must last WaitAfter instructions, about one whole burst, so a program that
// polls for a while between pieces of work (a delay loop that checks for a
// key, then output) runs at full speed. Once waiting, each burst ends after
// IdleChunks chunks until the program works again.

#include <cstdint>

class TIdlePollWatch {
public:
    static constexpr uint32_t ChunkLength = 1024;
    static constexpr uint32_t PollSpacing = 64;
    static constexpr uint64_t WaitAfter = 100000;
    // Chunks a burst runs before it ends as idle while the Z80 waits.
    static constexpr uint32_t IdleChunks = 4;

    void EmptyPoll() { ++FPolls; }
    void Activity() { FWorked = true; }

    void StartBurst() {
        FPolls = 0;
        FWorked = false;
        FBurstChunks = 0;
    }

    // After a chunk of instructions: true when the Z80 has waited for input
    // without a break for WaitAfter instructions and this burst has run
    // IdleChunks chunks.
    bool EndChunk(uint32_t instructions) {
        const bool idle = !FWorked && FPolls > 0 && uint64_t(FPolls) * PollSpacing >= instructions;
        FWaited = idle ? FWaited + instructions : 0;
        FPolls = 0;
        FWorked = false;
        ++FBurstChunks;
        return FWaited >= WaitAfter && FBurstChunks >= IdleChunks;
    }

private:
    uint32_t FPolls = 0;
    bool FWorked = false;
    uint32_t FBurstChunks = 0;
    // Instructions of the unbroken run of idle chunks so far.
    uint64_t FWaited = 0;
};
