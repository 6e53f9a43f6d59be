#pragma once
// Line ends of text copies between the host and a CP/M image. CP/M text
// ends lines with CR LF and the file with 1Ah; host text ends lines with LF.
// An import turns each LF that no CR precedes into CR LF and appends the
// 1Ah end marker; an export (which already stops at the first 1Ah) turns
// CR LF into LF. Lone CRs and every other byte pass unchanged both ways.

#include <cstdint>
#include <string>
#include <string_view>

#include "disk/CpmDiskDrive.h"

// The host text as it goes onto the image.
std::string HostTextToCpm(std::string_view Text);

// Appends Text to Out with each CR that an LF follows dropped. A CR that ends
// Text is not appended but left in PendingCr, since the next piece decides
// it; a CR still pending on entry goes out unless Text starts with LF.
void AppendCpmTextAsHost(std::string& Out, std::string_view Text, bool& PendingCr);

// The CP/M text (already cut at its 1Ah) as it goes to the host.
std::string CpmTextToHost(std::string_view Text);

// Passes an export on to Target with CR LF turned into LF; a CR that ends
// one write waits for the next. Finish passes on a CR still waiting.
class TCpmTextExportSink : public TCpmExportSink {
public:
    explicit TCpmTextExportSink(TCpmExportSink& Target) : FTarget(Target) {}
    bool Write(const uint8_t* Data, size_t Count) override;
    bool Skip(uint64_t Count) override;
    bool Finish();

private:
    bool FlushPendingCr();

    TCpmExportSink& FTarget;
    bool FPendingCr = false;
    std::string FOut;
};
