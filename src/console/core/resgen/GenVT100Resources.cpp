// Build-time generator of the VT100 terminal's two AHT3 resources: the
// keyboard map (key codes, keys with modifiers, terminal keys per mode) and
// the character-set map (five VT100 character sets). It writes a C++ source
// that holds both blobs and the program's resource table.
//   GenVT100Resources OUTPUT.cpp
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class TBlob {
public:
    void Bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        FData.insert(FData.end(), b, b + n);
    }
    void Byte(uint8_t b) { FData.push_back(b); }
    void String(const std::string& s) {
        Byte(static_cast<uint8_t>(s.size()));
        Bytes(s.data(), s.size());
    }
    void Record() { ++FRecords; }
    // The AHT3 frame around the records written so far.
    std::vector<uint8_t> Framed() const {
        std::vector<uint8_t> out = {'A', 'H', 'T', '3'};
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(FRecords >> (8 * i)));
        out.insert(out.end(), FData.begin(), FData.end());
        out.insert(out.end(), {'A', 'H', 'T', '3'});
        return out;
    }

private:
    std::vector<uint8_t> FData;
    uint32_t FRecords = 0;
};

std::string Hex2(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", v & 0xFF);
    return text;
}

// Windows names of the virtual-key codes the terminal knows.
std::vector<std::pair<unsigned, std::string>> KeyNames() {
    std::vector<std::pair<unsigned, std::string>> k = {
        {0x08, "VK_BACK"},    {0x09, "VK_TAB"},    {0x0C, "VK_CLEAR"},   {0x0D, "VK_RETURN"},   {0x13, "VK_PAUSE"},
        {0x14, "VK_CAPITAL"}, {0x1B, "VK_ESCAPE"}, {0x20, "VK_SPACE"},   {0x21, "VK_PRIOR"},    {0x22, "VK_NEXT"},
        {0x23, "VK_END"},     {0x24, "VK_HOME"},   {0x25, "VK_LEFT"},    {0x26, "VK_UP"},       {0x27, "VK_RIGHT"},
        {0x28, "VK_DOWN"},    {0x29, "VK_SELECT"}, {0x2B, "VK_EXECUTE"}, {0x2C, "VK_SNAPSHOT"}, {0x2D, "VK_INSERT"},
        {0x2E, "VK_DELETE"},  {0x2F, "VK_HELP"},
    };
    for (unsigned c = '0'; c <= '9'; ++c) k.push_back({c, std::string("VK_") + char(c)});
    for (unsigned c = 'A'; c <= 'Z'; ++c) k.push_back({c, std::string("VK_") + char(c)});
    for (unsigned i = 0; i <= 9; ++i) k.push_back({0x60 + i, "VK_NUMPAD" + std::to_string(i)});
    const char* pad[] = {"VK_MULTIPLY", "VK_ADD", "VK_SEPARATOR", "VK_SUBTRACT", "VK_DECIMAL", "VK_DIVIDE"};
    for (unsigned i = 0; i < 6; ++i) k.push_back({0x6A + i, pad[i]});
    for (unsigned i = 1; i <= 24; ++i) k.push_back({0x6F + i, "VK_F" + std::to_string(i)});
    k.push_back({0x90, "VK_NUMLOCK"});
    k.push_back({0x91, "VK_SCROLL"});
    return k;
}

std::vector<uint8_t> KeyMap() {
    TBlob b;
    auto add = [&](const std::string& key, const std::string& value) {
        b.String(key);
        b.String(value);
        b.Record();
    };
    for (const auto& [code, name] : KeyNames()) add("\\x" + Hex2(code), name);

    const char* arrows[] = {"UP", "DOWN", "RIGHT", "LEFT"};
    for (const char* a : arrows) add(std::string("VK_") + a, std::string("DEC_") + a + "c");
    for (int i = 1; i <= 4; ++i) add("VK_F" + std::to_string(i), "DEC_PF" + std::to_string(i) + "k");
    const char* pfKeys[] = {"VK_NUMLOCK", "VK_DIVIDE", "VK_MULTIPLY", "VK_SUBTRACT"};
    for (int i = 0; i < 4; ++i) add(pfKeys[i], "DEC_PF" + std::to_string(i + 1) + "k");
    for (int i = 0; i <= 9; ++i) add("VK_NUMPAD" + std::to_string(i), "DEC_KP" + std::to_string(i) + "k");
    add("VK_ADD", "DEC_KP-k");
    add("VK_DECIMAL", "DEC_KP.k");
    add("ctrl+VK_DECIMAL", "DEC_KP,k");
    add("VK_EXECUTE", "DEC_KPEk");
    add("VK_BACK", "DEC_DEL");
    add("shift+VK_BACK", "DEC_BS");
    add("VK_F11", "DEC_BS");
    add("shift+VK_RETURN", "DEC_LF");
    add("shift+VK_EXECUTE", "DEC_LF");
    add("VK_F12", "DEC_LF");
    add("ctrl+VK_SPACE", "DEC_NULL");

    // Cursor keys: 0 VT52, 1 ANSI, 2 ANSI with application cursor keys.
    const char letters[] = {'A', 'B', 'C', 'D'};
    for (int i = 0; i < 4; ++i) {
        const std::string key = std::string("DEC_") + arrows[i];
        add(key + "0", std::string("\\e") + letters[i]);
        add(key + "1", std::string("\\e[") + letters[i]);
        add(key + "2", std::string("\\eO") + letters[i]);
    }
    // Keypad and PF keys: 3 VT52 numeric, 4 VT52 application, 5 ANSI
    // numeric, 6 ANSI application.
    auto keypad = [&](const std::string& key, const std::string& numeric, char app) {
        add(key + "3", numeric);
        add(key + "4", std::string("\\e?") + app);
        add(key + "5", numeric);
        add(key + "6", std::string("\\eO") + app);
    };
    for (int i = 0; i < 4; ++i) {
        const std::string key = "DEC_PF" + std::to_string(i + 1);
        const char f = static_cast<char>('P' + i);
        add(key + "3", std::string("\\e") + f);
        add(key + "4", std::string("\\e") + f);
        add(key + "5", std::string("\\eO") + f);
        add(key + "6", std::string("\\eO") + f);
    }
    for (int i = 0; i <= 9; ++i) keypad("DEC_KP" + std::to_string(i), std::to_string(i), static_cast<char>('p' + i));
    keypad("DEC_KP-", "-", 'm');
    keypad("DEC_KP,", ",", 'l');
    keypad("DEC_KP.", ".", 'n');
    keypad("DEC_KPE", "\\x0D", 'M');
    add("DEC_DEL", "\\x7F");
    add("DEC_BS", "\\x08");
    add("DEC_LF", "\\x0A");
    add("DEC_NULL", "\\x00");
    return b.Framed();
}

std::vector<uint8_t> CharSetMap() {
    TBlob b;
    auto add = [&](const std::string& set, const std::string& font, unsigned from, unsigned to, auto glyphOf) {
        for (unsigned c = from; c <= to; ++c) {
            b.String(set);
            b.String(font);
            b.Byte(static_cast<uint8_t>(c));
            b.Byte(static_cast<uint8_t>(glyphOf(c)));
            b.Record();
        }
    };
    auto same = [](unsigned c) { return c; };
    // The UK set's "#" is the pound sign, which is 9Ch in the code page the
    // terminal's own font is drawn through.
    auto uk = [](unsigned c) { return c == 0x23 ? 0x9Cu : c; };
    // Special graphics 5Fh..7Eh as glyphs of the OEM "Terminal" font.
    static const uint8_t graphics[32] = {0x20, 0x04, 0xB1, 0x10, 0x17, 0x11, 0x1F, 0xF8, 0xF1, 0x1B, 0x19,
                                         0xD9, 0xBF, 0xDA, 0xC0, 0xC5, 0xC4, 0xC4, 0xC4, 0xC4, 0xC4, 0xC3,
                                         0xB4, 0xC1, 0xC2, 0xB3, 0xF3, 0xF2, 0xE3, 0xD8, 0x9C, 0xFA};
    auto lineDraw = [](unsigned c) { return c >= 0x5F ? unsigned{graphics[c - 0x5F]} : c; };

    add("VT100-USASCII", "<Default>", 0x20, 0x7E, same);
    add("VT100-USASCII", "Terminal", 0x80, 0xFF, same);
    add("VT100-UK", "<Default>", 0x20, 0x7E, uk);
    add("VT100-ROM1", "<Default>", 0x20, 0x7E, same);
    add("VT100-linedraw", "Terminal", 0x20, 0x7E, lineDraw);
    add("VT100-ROM2", "Terminal", 0x20, 0x7E, lineDraw);
    return b.Framed();
}

void WriteArray(FILE* f, const char* name, const std::vector<uint8_t>& data) {
    std::fprintf(f, "const uint8_t %s[%zu] = {", name, data.size());
    for (size_t i = 0; i < data.size(); ++i) std::fprintf(f, "%s%u,", i % 24 == 0 ? "\n    " : "", data[i]);
    std::fprintf(f, "\n};\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.cpp\n", argv[0]);
        return 2;
    }
    FILE* f = std::fopen(argv[1], "w");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(f,
                 "// Generated by GenVT100Resources; do not edit.\n#include \"console/core/QnResources.h\"\n\n"
                 "namespace {\n");
    WriteArray(f, "KeyMap", KeyMap());
    WriteArray(f, "CharSet", CharSetMap());
    std::fprintf(f,
                 "}  // namespace\n\nconst TQnNamedResource QnProgramResources[] = {\n"
                 "    {\"QNVT100KEYMAP\", KeyMap, sizeof KeyMap},\n"
                 "    {\"QNVT100CHARSET\", CharSet, sizeof CharSet},\n};\n"
                 "const size_t QnProgramResourceCount = 2;\n");
    return std::fclose(f) == 0 ? 0 : 1;
}
