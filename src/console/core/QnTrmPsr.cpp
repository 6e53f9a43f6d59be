// The VT100 / VT52 byte machine.
#include "console/core/QnTrmPsr.h"

#include <cstring>
#include <limits>

namespace {
// States of the byte machine.
enum : uint8_t {
    stGround = 0,
    stEscape = 1,
    stCsi = 2,
    stLineSize = 3,  // ESC #
    stG0 = 4,        // ESC (
    stG1 = 5,        // ESC )
    stSwallow = 6,   // ESC * + - . /: designations this terminal lacks
    stDone = 7,      // the next byte starts clean
    stResume = 8,    // the next byte resumes the interrupted sequence
    stVT52Address = 9,
};

constexpr uint8_t ESC = 0x1B;

// Check of a CSI final byte: minimum and maximum argument count and the
// default that fills missing and empty parameters.
struct TCsiFinal {
    uint8_t Final;
    uint8_t Command;
    bool Checked;
    int Min, Max;
    int32_t Default;
};

constexpr TCsiFinal CsiFinals[] = {
    {0x40, vcICH, true, 1, 1, 1},    {'A', vcCUU, true, 1, 1, 1},       {'B', vcCUD, true, 1, 1, 1},
    {'C', vcCUF, true, 1, 1, 1},     {'D', vcCUB, true, 1, 1, 1},       {'H', vcCUP, true, 2, 2, 1},
    {'f', vcCUP, true, 2, 2, 1},     {'J', vcED, true, 1, 1, 0},        {'K', vcEL, true, 1, 1, 0},
    {'L', vcIL, true, 1, 1, 1},      {'M', vcDL, true, 1, 1, 1},        {'P', vcDCH, true, 1, 1, 1},
    {'X', vcECH, true, 1, 1, 1},     {'c', vcDA, true, 1, 1, 0},        {'g', vcTBC, true, 1, 1, 0},
    {'h', vcSM, false, 0, 0, 0},     {'l', vcRM, false, 0, 0, 0},       {'m', vcSGR, true, 1, 30000, 0},
    {'n', vcDSR, true, 1, 1, -1},    {'q', vcDECLL, true, 1, 30000, 0}, {'r', vcDECSTBM, false, 0, 0, 0},
    {'s', vcDECSC, false, 0, 0, 0},  {'u', vcDECRC, false, 0, 0, 0},    {'x', vcDECREQTPARM, true, 1, 1, -1},
    {'y', vcDECTST, false, 0, 0, 0},
};

// The finals above, indexed by the final byte less 40h (null: unknown).
struct TCsiFinalIndex {
    const TCsiFinal* ByFinal[0x3F] = {};
    constexpr TCsiFinalIndex() {
        for (const TCsiFinal& f : CsiFinals) ByFinal[f.Final - 0x40] = &f;
    }
};
constexpr TCsiFinalIndex CsiFinalIndex;

// The only CSI sequence with an intermediate byte that the terminal knows.
constexpr uint8_t SoftReset61[] = {ESC, '[', '6', '1', '"', 'p'};

// Both argument lists start with room for 16 and grow by half when full.
constexpr size_t InitialArguments = 16;

void Grow(std::vector<int32_t>& list, size_t limit) {
    list.resize(std::min(std::max(list.size() * 3 / 2, InitialArguments), limit));
}
}  // namespace

TQnVT100Parser::TQnVT100Parser(bool useWideChar) : TQnTerminalParser(useWideChar) {
    FArguments.resize(InitialArguments);
    FScan.Arguments.resize(InitialArguments);
}

int TQnVT100Parser::GetArgument(int index) const {
    return (index >= 0 && index < FArgumentCount) ? FArguments[static_cast<size_t>(index)] : 0;
}

std::string TQnVT100Parser::GetSequence() const {
    if (FCommand == 0) return {};
    return std::string(reinterpret_cast<const char*>(FSequence.Bytes.data()), static_cast<size_t>(FSequence.Length));
}

void TQnVT100Parser::Clear() {
    FSequence.Reset();
    FCommand = 0;
    for (int i = 0; i < FArgumentCount; ++i) FArguments[static_cast<size_t>(i)] = 0;
    FArgumentCount = 0;
}

TQnParseResult TQnVT100Parser::Yield(uint8_t command, std::initializer_list<int32_t> args) {
    FCommand = command;
    FArgumentCount = 0;
    for (int32_t a : args) AppendArgument(a);
    return prCommand;
}

TQnParseResult TQnVT100Parser::Nothing() {
    FCommand = 0;
    FArgumentCount = 0;
    return prNone;
}

TQnParseResult TQnVT100Parser::ProcessChar(uint8_t ch) {
    // Text between sequences is most of the stream: a character after a
    // character takes the short road.
    if (FState == stDone && ch >= 0x20 && ch < 0x7F) {
        FArgumentCount = 0;
        FSequence.Assign(ch);
        FCommand = vcCharacter;
        return prChar;
    }
    if (FState == stDone) {
        FArgumentCount = 0;
        FSequence.Reset();
        FCommand = 0;
        FState = stGround;
    } else if (FState == stResume) {
        FArgumentCount = 0;
        FCommand = 0;
        FSequence.CopyFrom(FSaved);
        FState = FSavedState;
    }
    if (ch < 0x20) return ProcessControl(ch);
    FSequence.Append(ch);
    switch (FState) {
        case stGround:
            FState = stDone;
            FCommand = vcCharacter;
            return ch >= 0x7F ? prHighChar : prChar;
        case stEscape:
            return FVT52Mode ? DispatchVT52(ch) : DispatchEscape(ch);
        case stCsi:
            if (ch < 0x40 || ch >= 0x7F) {
                FScan.Feed(ch, FSequence.Length == 3);
                return prPending;
            }
            FState = stDone;
            return DispatchCSI(ch);
        case stLineSize:
            FState = stDone;
            return DispatchLineSize(ch);
        case stG0:
        case stG1:
            if (ch < 0x30 || ch > 0x7E) return prPending;
            return DispatchCharSet(ch);
        case stSwallow:
            if (ch < 0x30 || ch > 0x7E) return prPending;
            FState = stDone;
            return Nothing();
        case stVT52Address:
            return CollectVT52Address(ch);
        default:
            FState = stDone;
            return Nothing();
    }
}

// A control byte acts at once, also in the middle of a sequence, which then
// continues with the next byte; ESC abandons the sequence and starts anew.
TQnParseResult TQnVT100Parser::ProcessControl(uint8_t ch) {
    FSavedState = FState;
    FSaved.CopyFrom(FSequence);
    FState = stResume;
    switch (ch) {
        case 0x05:
            FSequence.Assign(ch);
            return Yield(vcENQ, {});
        case 0x07:
            FSequence.Assign(ch);
            return Yield(vcBEL, {});
        case 0x08:
            FSequence.Assign(ch);
            return Yield(vcBS, {});
        case 0x09:
            FSequence.Assign(ch);
            return Yield(vcHT, {1});
        case 0x0A:
            FSequence.Assign(ch);
            return Yield(vcLF, {});
        case 0x0B:
            FSequence.Assign(ch);
            return Yield(vcVT, {1});
        case 0x0C:
            FSequence.Assign(ch);
            return Yield(vcED, {2});  // form feed erases the screen
        case 0x0D:
            FSequence.Assign(ch);
            return Yield(vcCR, {});
        case 0x0E:
            FSequence.Assign(ch);
            return Yield(vcSO, {});
        case 0x0F:
            FSequence.Assign(ch);
            return Yield(vcSI, {});
        case ESC:
            FSequence.Assign(ch);
            FArgumentCount = 0;
            FState = stEscape;
            return prPending;
        default:
            // CAN and SUB included: ignored, the sequence goes on.
            return prNone;
    }
}

TQnParseResult TQnVT100Parser::DispatchEscape(uint8_t ch) {
    switch (ch) {
        case '#':
            FState = stLineSize;
            return prPending;
        case '(':
            FState = stG0;
            return prPending;
        case ')':
            FState = stG1;
            return prPending;
        case '*':
        case '+':
        case '-':
        case '.':
        case '/':
            FState = stSwallow;
            return prPending;
        case '[':
            FState = stCsi;
            FScan.Start();
            return prPending;
        default:
            break;
    }
    FState = stDone;
    switch (ch) {
        case '1':
        case '2':
            return Yield(vcNone, {});
        case '7':
            return Yield(vcDECSC, {});
        case '8':
            return Yield(vcDECRC, {});
        case '=':
            return Yield(vcSM, {QnPrivateMarker, 999});
        case '>':
            return Yield(vcRM, {QnPrivateMarker, 999});
        case 'D':
            return Yield(vcIND, {});
        case 'E':
            return Yield(vcNEL, {});
        case 'H':
            return Yield(vcHTS, {});
        case 'M':
            return Yield(vcRI, {});
        case 'Z':
            return Yield(vcDA, {0});
        case 'c':
            return Yield(vcRIS, {});
        default:
            return Nothing();
    }
}

TQnParseResult TQnVT100Parser::DispatchVT52(uint8_t ch) {
    FState = stDone;
    switch (ch) {
        case '<':
            FVT52Mode = false;
            return Yield(vcSM, {QnPrivateMarker, 2});
        case '=':
            return Yield(vcSM, {QnPrivateMarker, 999});
        case '>':
            return Yield(vcRM, {QnPrivateMarker, 999});
        case 'A':
            return Yield(vcCUU, {1});
        case 'B':
            return Yield(vcCUD, {1});
        case 'C':
            return Yield(vcCUF, {1});
        case 'D':
            return Yield(vcCUB, {1});
        case 'F':
            return Yield(vcSO, {});
        case 'G':
            return Yield(vcSI, {});
        case 'H':
            return Yield(vcCUP, {1, 1});
        case 'I':
            return Yield(vcRI, {});
        case 'J':
            return Yield(vcED, {0});
        case 'K':
            return Yield(vcEL, {0});
        case 'Y':
            FState = stVT52Address;
            FCommand = vcCUP;
            FArgumentCount = 0;
            return prPending;
        case 'Z':
            return Yield(vcDA, {52});
        default:
            return Nothing();
    }
}

// Row and column bytes of VT52 ESC Y; a control byte in between restarts
// the count, so the next two bytes are row and column again.
TQnParseResult TQnVT100Parser::CollectVT52Address(uint8_t ch) {
    const int32_t value = int32_t{ch} - 31;
    if (FArgumentCount == 0) {
        FArguments[0] = value;
        FArgumentCount = 1;
        FCommand = vcCUP;
        return prPending;
    }
    FState = stDone;
    return Yield(vcCUP, {FArguments[0], value});
}

TQnParseResult TQnVT100Parser::DispatchLineSize(uint8_t ch) {
    switch (ch) {
        case '3':
            return Yield(vcDECDHL, {0});
        case '4':
            return Yield(vcDECDHL, {1});
        case '5':
            return Yield(vcDECSWL, {});
        case '6':
            return Yield(vcDECDWL, {});
        case '8':
            return Yield(vcDECALN, {});
        default:
            return Nothing();
    }
}

TQnParseResult TQnVT100Parser::DispatchCharSet(uint8_t ch) {
    const int32_t which = FState == stG0 ? 0 : 1;
    FState = stDone;
    // Intermediates in between (ESC ( SP B) make the designation unknown.
    if (FSequence.Length != 3) return Nothing();
    switch (ch) {
        case '0':
            return Yield(vcSCS, {which, 0});
        case '1':
            return Yield(vcSCS, {which, 1});
        case '2':
            return Yield(vcSCS, {which, 2});
        case 'A':
            return Yield(vcSCS, {which, 65});
        case 'B':
            return Yield(vcSCS, {which, 66});
        default:
            return Nothing();
    }
}

void TQnVT100Parser::AppendArgument(int32_t value) {
    if (static_cast<size_t>(FArgumentCount) == FArguments.size()) Grow(FArguments, QnMaxArguments);
    if (FArgumentCount < QnMaxArguments) FArguments[static_cast<size_t>(FArgumentCount++)] = value;
}

void TQnVT100Parser::TCsiScan::Start() {
    Count = 0;
    Value = 0;
    Digits = 0;
    Ended = false;
    Failed = false;
}

// Arguments past the cap are counted no further: the cap already exceeds
// every check, and no unchecked command reads that far.
void TQnVT100Parser::TCsiScan::Append(int32_t value) {
    if (Count == QnMaxArguments) return;
    if (static_cast<size_t>(Count) == Arguments.size()) Grow(Arguments, QnMaxArguments);
    Arguments[static_cast<size_t>(Count++)] = value;
}

void TQnVT100Parser::TCsiScan::Finish() {
    if (Failed) return;
    if (Digits == 0)
        Append(QnEmptyParameter);
    else if (Value > std::numeric_limits<int32_t>::max())
        Failed = true;
    else
        Append(static_cast<int32_t>(Value));
    Value = 0;
    Digits = 0;
}

// A "?" as the third byte is the private marker; an intermediate ends the
// scan (the bytes after it are not parameters); ";" ends a parameter; only
// the first 255 digits of one count; any other byte fails the sequence.
void TQnVT100Parser::TCsiScan::Feed(uint8_t b, bool third) {
    if (Ended || Failed) return;
    if (third && b == '?') {
        Append(QnPrivateMarker);
        return;
    }
    if (b >= 0x20 && b <= 0x2F) {
        Ended = true;
    } else if (b == ';') {
        Finish();
    } else if (b >= '0' && b <= '9') {
        if (Digits < 255) {
            ++Digits;
            // Saturates well above the largest valid value instead of overflowing.
            Value = Value > (int64_t{1} << 40) ? Value : Value * 10 + (b - '0');
        }
    } else {
        Failed = true;
    }
}

bool TQnVT100Parser::CheckArguments(int min, int max, int32_t def) {
    if (FArgumentCount > max) return false;
    while (FArgumentCount < min) AppendArgument(def);
    for (int i = 0; i < FArgumentCount; ++i)
        if (FArguments[static_cast<size_t>(i)] == QnEmptyParameter) FArguments[static_cast<size_t>(i)] = def;
    return true;
}

TQnParseResult TQnVT100Parser::DispatchCSI(uint8_t final) {
    if (FSequence.Length == static_cast<int>(sizeof SoftReset61) &&
        std::memcmp(FSequence.Bytes.data(), SoftReset61, sizeof SoftReset61) == 0)
        return Yield(vcRIS, {});
    FScan.Finish();
    if (FScan.Failed) return Nothing();
    // The scan's list becomes the command's; the old one is reused by the next scan.
    std::swap(FArguments, FScan.Arguments);
    FArgumentCount = FScan.Count;
    const TCsiFinal* f = CsiFinalIndex.ByFinal[final - 0x40];
    if (!f) {
        FCommand = 0;
        return prNone;
    }
    FCommand = f->Command;
    if (f->Checked && !CheckArguments(f->Min, f->Max, f->Default)) return prNone;
    if (f->Command == vcRM && FArgumentCount == 2 && FArguments[0] == QnPrivateMarker && FArguments[1] == 2)
        FVT52Mode = true;
    return prCommand;
}
