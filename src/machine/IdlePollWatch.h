#pragma once
// Tells a Z80 that only waits for a device from one that works. The run
// burst is cut into chunks; a chunk is idle when its only port traffic was
// wait polls (status reads that found their device not ready, for input or
// to send), dense enough to be a wait loop (one every PollSpacing
// instructions or closer). A program that checks for a key now and then
// while it computes polls far more sparsely and is never taken for idle; any
// other port access marks the chunk as working. What each port access
// counts as is the port map's to say (TPortActivity).
//
// Only an unbroken run of idle chunks, across bursts, is waiting: the run
// must last WaitAfter instructions, about one whole burst, so a program that
// polls for a while between pieces of work (a delay loop that checks for a
// key, then output) runs at full speed. Once waiting, each burst ends after
// IdleChunks chunks until the program works again.

#include <cstdint>

// What one port access tells the idle wait.
enum class TPortActivity : uint8_t {
    // The program moved data, gave a command or a setting, or found its
    // device ready, which it then acts on.
    Work,
    // A status read that found its device not ready: the program may be
    // waiting for it.
    WaitPoll,
};

class TIdlePollWatch {
public:
    static constexpr uint32_t ChunkLength = 1024;
    static constexpr uint32_t PollSpacing = 64;
    static constexpr uint64_t WaitAfter = 100000;
    // Chunks a burst runs before it ends as idle while the Z80 waits.
    static constexpr uint32_t IdleChunks = 4;

    void Count(TPortActivity access) {
        if (access == TPortActivity::WaitPoll)
            ++FPolls;
        else
            FWorked = true;
    }

    void StartBurst() {
        FPolls = 0;
        FWorked = false;
        FBurstChunks = 0;
    }

    // After a chunk of instructions: true when the Z80 has waited for a
    // device without a break for WaitAfter instructions and this burst has
    // run IdleChunks chunks.
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
