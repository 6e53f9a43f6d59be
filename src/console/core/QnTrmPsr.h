#pragma once
// Escape-sequence parsers of the CRT terminal. TQnVT100Parser classifies the
// bytes the emulated program writes to its VT100 console, one at a time,
// into displayable characters and numbered commands with integer arguments
// (ANSI sequences, and the VT52 subset while VT52Mode is on). It touches no
// screen state; the VT100 emulator executes what it yields.
//
// CSI parameters are decoded as their bytes arrive, so a sequence of any
// length costs bounded memory: the raw bytes kept for GetSequence stop at
// QnMaxSequence, the arguments kept stop one past the largest count a command
// accepts (more make every checked command fail, as they would uncapped), and
// a number saturates just above the largest valid value. Plain C++; the
// argument lists grow only when full and are reused.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum TQnParseResult : uint8_t { prNone = 0, prChar = 1, prHighChar = 2, prPending = 3, prCommand = 4 };

// Command codes the VT100 parser yields.
enum TQnVT100Command : uint8_t {
    vcNone = 0,
    vcCharacter = 1,
    vcCUP = 2,
    vcCUU = 3,
    vcCUD = 4,
    vcCUF = 5,
    vcCUB = 6,
    vcSM = 13,
    vcSGR = 16,
    vcDECSC = 17,
    vcDECRC = 18,
    vcDSR = 19,
    vcHT = 34,
    vcVT = 40,
    vcDA = 41,
    vcDCH = 43,
    vcDL = 45,
    vcECH = 49,
    vcED = 50,
    vcEL = 52,
    vcHTS = 65,
    vcICH = 66,
    vcIL = 67,
    vcNEL = 76,
    vcRI = 88,
    vcRIS = 89,
    vcRM = 90,
    vcTBC = 106,
    vcDECSTBM = 113,
    vcENQ = 114,
    vcBEL = 115,
    vcBS = 116,
    vcLF = 117,
    vcCR = 118,
    vcSO = 119,
    vcSI = 120,
    vcIND = 121,
    vcDECALN = 122,
    vcDECDHL = 123,
    vcDECDWL = 124,
    vcDECLL = 125,
    vcDECREQTPARM = 126,
    vcDECSWL = 127,
    vcDECTST = 128,
    vcSCS = 129,
};

// Argument value of a CSI sequence that starts with "?".
inline constexpr int32_t QnPrivateMarker = -2;
// Argument value of an empty parameter before the defaults are applied.
inline constexpr int32_t QnEmptyParameter = -1;

class TQnTerminalParser {
public:
    explicit TQnTerminalParser(bool useWideChar) : FUseWideChar(useWideChar) {}
    virtual ~TQnTerminalParser() = default;
    TQnTerminalParser(const TQnTerminalParser&) = delete;
    TQnTerminalParser& operator=(const TQnTerminalParser&) = delete;

    int ArgumentCount() const { return FArgumentCount; }
    uint8_t Command() const { return FCommand; }
    bool UseWideChar() const { return FUseWideChar; }

    // Entry index of the current command's arguments; 0 outside them.
    virtual int GetArgument(int /*index*/) const { return 0; }
    // Raw bytes of the current sequence (ESC included); empty without a command.
    virtual std::string GetSequence() const { return {}; }
    virtual TQnParseResult ProcessChar(uint8_t /*ch*/) { return prNone; }
    virtual TQnParseResult ProcessWideChar(char16_t /*ch*/) { return prNone; }
    virtual void Clear() {}

protected:
    int FArgumentCount = 0;
    uint8_t FCommand = 0;

private:
    bool FUseWideChar;
};

class TQnVT100Parser : public TQnTerminalParser {
public:
    static constexpr int QnMaxSequence = 256;
    // The largest argument count a command accepts (SGR, DECLL).
    static constexpr int QnMaxCheckedArguments = 30000;
    // Arguments kept: one more than any check allows, so a longer list still fails it.
    static constexpr int QnMaxArguments = QnMaxCheckedArguments + 1;

    explicit TQnVT100Parser(bool useWideChar = false);

    int GetArgument(int index) const override;
    std::string GetSequence() const override;
    // Feeds one byte. After prCommand the caller reads Command(),
    // ArgumentCount() and GetArgument() before the next byte.
    TQnParseResult ProcessChar(uint8_t ch) override;
    // Forgets the current command and its arguments; the state machine, the
    // interrupted sequence and the VT52 mode stay.
    void Clear() override;

    // No sequence is open: printable bytes are plain characters.
    bool BetweenSequences() const { return FState == 0 || FState == 7 || (FState == 8 && FSavedState == 0); }
    bool VT52Mode() const { return FVT52Mode; }
    void SetVT52Mode(bool on) { FVT52Mode = on; }
    // State of the byte machine (0 ground .. 9 VT52 cursor address), for tests.
    uint8_t State() const { return FState; }

private:
    // A bounded byte buffer: bytes past the cap are dropped. A sequence that
    // long never matches a length a dispatcher asks for.
    struct TSequence {
        std::array<uint8_t, QnMaxSequence> Bytes{};
        int Length = 0;
        void Append(uint8_t b) {
            if (Length < QnMaxSequence) Bytes[static_cast<size_t>(Length++)] = b;
        }
        void Reset() { Length = 0; }
        void Assign(uint8_t b) {
            Length = 1;
            Bytes[0] = b;
        }
        // Copies only the bytes in use: controls arrive between most characters.
        void CopyFrom(const TSequence& other) {
            Length = other.Length;
            std::copy_n(other.Bytes.begin(), Length, Bytes.begin());
        }
    };

    TQnParseResult ProcessControl(uint8_t ch);
    TQnParseResult DispatchEscape(uint8_t ch);
    TQnParseResult DispatchVT52(uint8_t ch);
    TQnParseResult DispatchCSI(uint8_t final);
    TQnParseResult DispatchCharSet(uint8_t ch);
    TQnParseResult DispatchLineSize(uint8_t ch);
    TQnParseResult CollectVT52Address(uint8_t ch);
    // The CSI parameter scan, fed one byte at a time from the third byte of
    // the sequence on; controls in between never reach it, and leave the
    // sequence as it was, so its length tells which byte is being fed.
    struct TCsiScan {
        std::vector<int32_t> Arguments;
        int Count = 0;      // arguments found, at most QnMaxArguments
        int64_t Value = 0;  // the parameter being read
        int Digits = 0;
        bool Ended = false;  // an intermediate ended the scan
        bool Failed = false;
        void Start();
        void Feed(uint8_t b, bool third);
        void Append(int32_t value);
        // Ends the parameter being read: at ";" and at the final byte.
        void Finish();
    };

    bool CheckArguments(int min, int max, int32_t def);
    void AppendArgument(int32_t value);
    TQnParseResult Yield(uint8_t command, std::initializer_list<int32_t> args);
    TQnParseResult Nothing();

    std::vector<int32_t> FArguments;
    TCsiScan FScan;
    bool FVT52Mode = false;
    TSequence FSaved;
    uint8_t FSavedState = 0;
    TSequence FSequence;
    uint8_t FState = 0;
};
