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

void AppendCpmTextAsHost(std::string& Out, std::string_view Text, bool& PendingCr) {
    for (const char c : Text) {
        if (PendingCr && c != Lf) Out += Cr;
        PendingCr = c == Cr;
        if (!PendingCr) Out += c;
    }
}

std::string CpmTextToHost(std::string_view Text) {
    std::string out;
    out.reserve(Text.size());
    bool pendingCr = false;
    AppendCpmTextAsHost(out, Text, pendingCr);
    if (pendingCr) out += Cr;
    return out;
}

bool TCpmTextExportSink::Write(const uint8_t* Data, size_t Count) {
    FOut.clear();
    AppendCpmTextAsHost(FOut, std::string_view(reinterpret_cast<const char*>(Data), Count), FPendingCr);
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
