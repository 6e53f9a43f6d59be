// libFuzzer target: arbitrary text is loaded as an Intel HEX file, from lines
// split in memory and from a file on disk. Refusals are exceptions with a
// message; a crash, a hang, a write outside the 64 KB image or the two paths
// disagreeing is a finding.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "machine/HexImage.h"
#include "support/FuzzSupport.h"

namespace {

using tavrin::test::Check;
using tavrin::test::ScratchFile;

// The image between two guard areas: a store outside the image lands in a
// guard, inside the same object, where the address sanitizer cannot see it.
struct GuardedImage {
    std::array<uint8_t, 4096> Before;
    TMemoryImage Image;
    std::array<uint8_t, 4096> After;

    void Reset() {
        Before.fill(0xA5);
        After.fill(0x5A);
        Image.fill(0);
    }
    bool GuardsIntact() const {
        return std::all_of(Before.begin(), Before.end(), [](uint8_t b) { return b == 0xA5; }) &&
               std::all_of(After.begin(), After.end(), [](uint8_t b) { return b == 0x5A; });
    }
};

// Lines ending at CR, LF or CR LF, as a text file is read.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

struct Outcome {
    bool Failed = false;
    std::string Message;
    THexLoadResult Result;
};

template <typename Load>
Outcome Run(GuardedImage& g, Load load) {
    Outcome o;
    g.Reset();
    try {
        o.Result = load(g.Image);
    } catch (const std::runtime_error& e) {  // conversion error or no data
        o.Failed = true;
        o.Message = e.what();
        Check(!o.Message.empty());
    }
    Check(g.GuardsIntact());
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static GuardedImage fromLines, fromFile;

    const std::string& path = ScratchFile().Path;
    const std::vector<std::string> lines = SplitLines(text);
    const Outcome a = Run(fromLines, [&](TMemoryImage& image) { return LoadHexLines(lines, image, path); });
    if (!a.Failed) {
        // Each stored byte took two characters of the text.
        Check(a.Result.BytesStored <= text.size() / 2);
        // The span holds every stored byte and nothing past the bytes stored.
        const THexSpan span = HexLoadedSpan(a.Result.Stored, a.Result.First);
        Check(span.Length >= a.Result.Stored.count() && span.Length <= 65536);
        for (uint32_t k = 0; k < 65536; ++k)
            if (a.Result.Stored.test(k)) Check(((k - span.Start) & 0xFFFF) < span.Length);
    }

    Check(::ftruncate(ScratchFile().Fd, 0) == 0);
    Check(::pwrite(ScratchFile().Fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    const Outcome b = Run(fromFile, [&](TMemoryImage& image) { return LoadHexImage(path, image); });

    // The file path reads the same lines, so it must end the same way.
    Check(a.Failed == b.Failed);
    Check(a.Message == b.Message);
    Check(a.Result.First == b.Result.First && a.Result.NextFree == b.Result.NextFree &&
          a.Result.BytesStored == b.Result.BytesStored && a.Result.Stored == b.Result.Stored);
    Check(fromLines.Image == fromFile.Image);
    return 0;
}
