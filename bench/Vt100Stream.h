#pragma once
// The VT100 benchmark stream, shared by the emulator and the screen
// benchmarks.

#include <random>
#include <string>

namespace tavrin::bench {

// About 1 MB of what full-screen CP/M programs send, from a fixed seed.
inline const std::string& Stream() {
    static const std::string stream = [] {
        std::mt19937 random(2026);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
        const std::string csi = "\x1b[";
        std::string s;
        s.reserve(1 << 20);
        while (s.size() < (1u << 20)) {
            switch (pick(0, 9)) {
                case 0:
                case 1:
                case 2:
                case 3: {  // a line of text, partly in a rendition
                    s += csi + std::to_string(pick(1, 24)) + ";" + std::to_string(pick(1, 20)) + "H";
                    for (int n = pick(20, 60); n > 0; --n) s += static_cast<char>(pick(0x20, 0x7E));
                    s += csi + std::to_string(pick(0, 1) ? 1 : 7) + "m";
                    for (int n = pick(5, 15); n > 0; --n) s += static_cast<char>(pick('A', 'Z'));
                    s += csi + "0m\r\n";
                    break;
                }
                case 4:  // relative moves
                    s += csi + std::to_string(pick(1, 5)) + "ABCD"[pick(0, 3)] + "x\b";
                    break;
                case 5: {  // a scrolling region with line feeds and reverse index
                    const int top = pick(2, 12), bottom = pick(top + 2, 23);
                    s += csi + std::to_string(top) + ";" + std::to_string(bottom) + "r" + csi + std::to_string(bottom) +
                         ";1H";
                    for (int n = pick(3, 10); n > 0; --n) s += "scrolled line\r\n";
                    s += csi + std::to_string(top) + ";1H\x1bM\x1bM" + csi + "r";
                    break;
                }
                case 6:  // insert and delete
                    s += csi + std::to_string(pick(1, 4)) + "LMP@"[pick(0, 3)];
                    break;
                case 7:  // erase
                    s += csi + std::to_string(pick(0, 2)) + "JK"[pick(0, 1) ? 1 : 0];
                    break;
                case 8:  // colours
                    s +=
                        csi + std::to_string(pick(30, 37)) + ";" + std::to_string(pick(40, 47)) + "mcolour" + csi + "m";
                    break;
                default:  // tabs and plain text
                    s += "\tcol\tumns\tof\ttext\r\n";
                    break;
            }
        }
        return s;
    }();
    return stream;
}

}  // namespace tavrin::bench
