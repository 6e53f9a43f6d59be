#include "disk/DiskManagerText.h"

namespace {

constexpr char Cr = '\r';
constexpr char Lf = '\n';

}  // namespace

std::string HostTextToCpm(std::string_view Text) {
    std::string out;
    out.reserve(Text.size() + Text.size() / 32 + 1);
    char previous = 0;
    for (const char c : Text) {
        if (c == Lf && previous != Cr) out += Cr;
        out += c;
        previous = c;
    }
    out += static_cast<char>(CpmEndOfText);
    return out;
}

bool TCpmTextExportSink::Write(const uint8_t* Data, size_t Count) {
    FOut.clear();
    for (size_t i = 0; i < Count; ++i) {
        const auto c = static_cast<char>(Data[i]);
        if (FPendingCr && c != Lf) FOut += Cr;
        FPendingCr = c == Cr;
        if (!FPendingCr) FOut += c;
    }
    return FOut.empty() || FTarget.Write(reinterpret_cast<const uint8_t*>(FOut.data()), FOut.size());
}

bool TCpmTextExportSink::Skip(uint64_t Count) { return Count == 0 || (FlushPendingCr() && FTarget.Skip(Count)); }

bool TCpmTextExportSink::Finish() { return FlushPendingCr(); }

bool TCpmTextExportSink::FlushPendingCr() {
    if (!FPendingCr) return true;
    FPendingCr = false;
    const auto cr = static_cast<uint8_t>(Cr);
    return FTarget.Write(&cr, 1);
}
