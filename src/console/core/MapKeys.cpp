// Terminal key mappings: caret-form codec, key table, lookup and the key-map
// file.

#include "console/core/MapKeys.h"

#include "platform/core/ConfigObject.h"
#include "platform/core/ProgramFolder.h"

const std::array<const char*, TermKeyCount> TermKeyNames = {
    "Up Arrow",  "Down Arrow", "Left Arrow", "Right Arrow", "Page Down", "Page Up", "Home", "End",
    "Backspace", "Delete",     "Insert",     "F1",          "F2",        "F3",      "F4",   "F5",
    "F6",        "F7",         "F8",         "F9",          "F10",       "F11",     "F12"};

const std::array<uint16_t, TermKeyCount> TermKeyCodes = {
    VK_UP,     VK_DOWN,   VK_LEFT,   VK_RIGHT,  VK_NEXT,   VK_PRIOR,   VK_HOME,   VK_END,
    VK_BACK,   VK_DELETE, VK_INSERT, VK_F1,     VK_F1 + 1, VK_F1 + 2,  VK_F1 + 3, VK_F1 + 4,
    VK_F1 + 5, VK_F1 + 6, VK_F1 + 7, VK_F1 + 8, VK_F1 + 9, VK_F1 + 10, VK_F12};

const std::array<const char*, KeyStateCount> KeyStateNames = {"", "Shift", "Ctrl"};
const std::array<const char*, KeyStateCount> KeyStateCaptions = {"Normal", "Shift", "Ctrl"};

namespace {

bool InRange(int index, int state) { return index >= 0 && index < TermKeyCount && state >= 0 && state < KeyStateCount; }

// 1Eh, the one control byte without a caret form of its own.
constexpr unsigned char kRecordSeparator = 0x1E;
// A caret before a character below "@" decodes to nothing.
constexpr const char* kNoByte = "^!";

std::string SectionName(int state) { return std::string("State_") + KeyStateNames[size_t(state)]; }

}  // namespace

TMapTermKeys::TMapTermKeys() : TMapTermKeys(ProgramFilePath(".kmap")) {}

TMapTermKeys::TMapTermKeys(std::string fileName)
    : FFileName(std::move(fileName)), FStore(std::make_unique<TNrKeyValueSections>()) {}

TMapTermKeys::~TMapTermKeys() = default;

bool TMapTermKeys::Load() {
    try {
        FLoadFailed = false;
        if (FStore->LoadFromFile(FFileName)) return true;
        FStore->Clear();
        return false;
    } catch (...) {
        FLoadFailed = true;
        throw;
    }
}

bool TMapTermKeys::Save() {
    if (FLoadFailed) return false;
    return FStore->SaveToFile(FFileName);
}

bool TMapTermKeys::FindKey(uint16_t key, int& index) {
    for (int i = 0; i < TermKeyCount; ++i) {
        if (TermKeyCodes[size_t(i)] == key) {
            index = i;
            return true;
        }
    }
    return false;
}

int TMapTermKeys::KeyStateOf(TShiftState shift) {
    if (shift.Only(ssShift)) return tksShift;
    if (shift.Only(ssCtrl)) return tksCtrl;
    return tksNormal;
}

bool TMapTermKeys::IsKeyMapped(uint16_t key, TShiftState shift) const {
    int index = 0;
    return FindKey(key, index) && !GetMapping(index, KeyStateOf(shift)).empty();
}

std::string TMapTermKeys::GetKeyBytes(uint16_t key, TShiftState shift) const {
    int index = 0;
    if (!FindKey(key, index)) return {};
    return DecodeKeyString(GetMapping(index, KeyStateOf(shift)));
}

std::string TMapTermKeys::GetMapping(int index, int state) const {
    if (!InRange(index, state)) return {};
    return FStore->GetValue(SectionName(state), TermKeyNames[size_t(index)]);
}

void TMapTermKeys::SetMapping(int index, int state, const std::string& text) {
    if (!InRange(index, state)) return;
    FStore->SetValue(SectionName(state), TermKeyNames[size_t(index)], text);
}

std::string TMapTermKeys::UpdateMapping(int index, int state, const std::string& typed) {
    SetMapping(index, state, EncodeKeyString(DecodeKeyString(typed)));
    return GetMapping(index, state);
}

std::string TMapTermKeys::GetKeyCaption(int index, int state) {
    if (!InRange(index, state)) return {};
    const std::string name = TermKeyNames[size_t(index)];
    if (state == tksNormal) return name;
    return std::string(KeyStateNames[size_t(state)]) + "-" + name;
}

std::string TMapTermKeys::DecodeKeyString(const std::string& text) {
    std::string bytes;
    bool caret = false;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (!caret) {
            if (c == '^')
                caret = true;
            else
                bytes += ch;
            continue;
        }
        caret = false;
        if (c == '^') {
            bytes += '^';
            continue;
        }
        const unsigned upper = (c >= 'a' && c <= 'z') ? c - 0x20u : c;
        // "@" is included so that NUL can be mapped.
        if (upper >= 0x40) bytes += char(upper - 0x40);
    }
    return bytes;
}

std::string TMapTermKeys::EncodeKeyString(const std::string& bytes) {
    // The settings file trims values, so blanks at either end are written
    // in caret form to survive a save and load.
    const size_t first = bytes.find_first_not_of(' ');
    const size_t last = bytes.find_last_not_of(' ');
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == ' ' && (first == std::string::npos || i < first || i > last)) {
            text += "^`";
        } else if (c == kRecordSeparator) {
            // Its caret form would be "^^", which stands for "^" itself, so
            // it is kept as the raw byte, which decodes as itself. At either
            // end of the text the file would trim it away; a caret pair
            // that decodes to nothing keeps it inside.
            if (i == 0) text += kNoByte;
            text += char(c);
            if (i + 1 == bytes.size()) text += kNoByte;
        } else if (c < 0x20) {
            text += '^';
            text += char(c + 0x40);
        } else if (c == '^') {
            text += "^^";
        } else {
            text += char(c);
        }
    }
    return text;
}
