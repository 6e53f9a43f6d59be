// Keyboard and character-set hash tables and their AHT3 loader.
#include "console/core/QnTrmMap.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "console/core/QnResources.h"

namespace {

std::string_view Cut(std::string_view s) { return s.substr(0, std::min(s.size(), QnMaxMapString)); }

bool SameTextNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Reads an AHT3 blob: magic, record count, records, magic. Every read is
// checked; `record` reads one record and returns false when it runs short.
class TAht3Reader {
public:
    TAht3Reader(const uint8_t* data, size_t size) : FData(data), FSize(data ? size : 0) {}

    bool Magic() {
        if (FSize - FPos < 4 || std::memcmp(FData + FPos, "AHT3", 4) != 0) return false;
        FPos += 4;
        return true;
    }
    bool Count(uint32_t& n) {
        if (FSize - FPos < 4) return false;
        n = uint32_t{FData[FPos]} | uint32_t{FData[FPos + 1]} << 8 | uint32_t{FData[FPos + 2]} << 16 |
            uint32_t{FData[FPos + 3]} << 24;
        FPos += 4;
        return true;
    }
    // A length byte and that many characters; more than 63 are read but cut.
    bool String(std::string& s) {
        if (FSize - FPos < 1) return false;
        const size_t len = FData[FPos++];
        if (FSize - FPos < len) return false;
        s.assign(reinterpret_cast<const char*>(FData + FPos), std::min(len, QnMaxMapString));
        FPos += len;
        return true;
    }
    bool Byte(uint8_t& b) {
        if (FSize - FPos < 1) return false;
        b = FData[FPos++];
        return true;
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// Runs the AHT3 frame around `record` (called N times). On any failure the
// caller clears its map; the reason goes to `error`.
template <typename ReadRecord>
bool ReadAht3(const uint8_t* data, size_t size, std::string* error, ReadRecord record) {
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    TAht3Reader in(data, size);
    uint32_t count = 0;
    if (!in.Magic()) return fail("The map resource does not start with AHT3.");
    if (!in.Count(count)) return fail("The map resource ends before its record count.");
    for (uint32_t i = 0; i < count; ++i)
        if (!record(in)) return fail("The map resource ends inside a record.");
    if (!in.Magic()) return fail("The map resource does not end with AHT3.");
    if (error) error->clear();
    return true;
}

template <typename Map>
bool LoadNamed(Map& map, std::string_view resName, std::string* error) {
    const TQnResource res = QnFindResource(resName);
    if (!res.Data) {
        map.Clear();
        if (error) *error = "The map resource " + std::string(resName) + " is missing.";
        return false;
    }
    return map.LoadFromBlob(res.Data, res.Size, error);
}

}  // namespace

uint32_t QnElfHash(std::string_view text, uint32_t seed) {
    uint32_t h = seed;
    for (char ch : text) {
        h = (h << 4) + static_cast<uint8_t>(ch);
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

TQnResource QnFindResource(std::string_view name) {
    for (size_t i = 0; i < QnProgramResourceCount; ++i)
        if (SameTextNoCase(QnProgramResources[i].Name, name))
            return {QnProgramResources[i].Data, QnProgramResources[i].Size};
    return {};
}

// --- keyboard map -------------------------------------------------------------

const TQnKeyboardMapping::TEntry* TQnKeyboardMapping::Lookup(std::string_view key) const {
    key = Cut(key);
    for (const TEntry& e : FBuckets[QnElfHash(key) % BucketCount])
        if (e.Key == key) return &e;
    return nullptr;
}

bool TQnKeyboardMapping::Add(std::string_view key, std::string_view value) {
    if (Lookup(key)) return false;
    key = Cut(key);
    FBuckets[QnElfHash(key) % BucketCount].push_front({std::string(key), std::string(Cut(value))});
    ++FCount;
    return true;
}

std::string TQnKeyboardMapping::Get(std::string_view key) const {
    const TEntry* e = Lookup(key);
    return e ? e->Value : std::string();
}

void TQnKeyboardMapping::Clear() {
    for (auto& chain : FBuckets) chain.clear();
    FCount = 0;
}

bool TQnKeyboardMapping::LoadFromRes(std::string_view resName, std::string* error) {
    return LoadNamed(*this, resName, error);
}

bool TQnKeyboardMapping::LoadFromBlob(const uint8_t* data, size_t size, std::string* error) {
    Clear();
    std::string key, value;
    const bool ok = ReadAht3(data, size, error, [&](TAht3Reader& in) {
        if (!in.String(key) || !in.String(value)) return false;
        Add(key, value);  // a duplicate is refused; the first one stays
        return true;
    });
    if (!ok) Clear();
    return ok;
}

// --- character-set map ----------------------------------------------------------

namespace {
uint32_t CharSetBucket(std::string_view charSet, uint8_t ch) {
    return QnElfHash(Cut(charSet), ch) % TQnCharSetMapping::BucketCount;
}
}  // namespace

const TQnCharSetMapping::TEntry* TQnCharSetMapping::Find(std::string_view charSet, uint8_t ch) const {
    charSet = Cut(charSet);
    for (const TEntry& e : FBuckets[CharSetBucket(charSet, ch)])
        if (e.Char == ch && e.CharSet == charSet) return &e;
    return nullptr;
}

bool TQnCharSetMapping::Add(std::string_view charSet, uint8_t fromCh, uint8_t glyph, std::string_view fontName,
                            uint8_t toCh) {
    if (toCh < fromCh) return false;
    for (int c = fromCh; c <= toCh; ++c)
        if (Find(charSet, static_cast<uint8_t>(c))) return false;
    charSet = Cut(charSet);
    for (int c = fromCh; c <= toCh; ++c) {
        const auto ch = static_cast<uint8_t>(c);
        FBuckets[CharSetBucket(charSet, ch)].push_front(
            {std::string(charSet), std::string(Cut(fontName)), ch, static_cast<uint8_t>(glyph + (c - fromCh))});
        ++FCount;
    }
    return true;
}

void TQnCharSetMapping::Clear() {
    FScript.clear();
    for (auto& chain : FBuckets) chain.clear();
    FCount = 0;
}

bool TQnCharSetMapping::LoadFromRes(std::string_view resName, std::string* error) {
    return LoadNamed(*this, resName, error);
}

bool TQnCharSetMapping::LoadFromBlob(const uint8_t* data, size_t size, std::string* error) {
    Clear();
    std::string name, font;
    const bool ok = ReadAht3(data, size, error, [&](TAht3Reader& in) {
        uint8_t ch = 0, glyph = 0;
        if (!in.String(name) || !in.String(font) || !in.Byte(ch) || !in.Byte(glyph)) return false;
        Add(name, ch, glyph, font, ch);
        return true;
    });
    if (!ok) Clear();
    return ok;
}

void TQnCharSetMapping::GenerateDrawScript(std::string_view charSet, std::string_view text) {
    if (text.empty()) return;
    FScript.clear();
    const std::string* current = nullptr;
    static const std::string defaultFont = QnDefaultFontName;
    std::string run;
    for (char c : text) {
        const TEntry* e = Find(charSet, static_cast<uint8_t>(c));
        const std::string* font = e ? &e->FontName : &defaultFont;
        if (current && *font != *current) {
            FScript.push_back({*current, run});
            run.clear();
        }
        current = font;
        run += e ? static_cast<char>(e->Glyph) : c;
    }
    FScript.push_back({*current, run});
}

bool TQnCharSetMapping::GetNextDrawCommand(std::string& fontName, std::string& text) {
    if (FScript.empty()) return false;
    fontName = std::move(FScript.front().FontName);
    text = std::move(FScript.front().Text);
    FScript.pop_front();
    return true;
}

std::vector<std::string> TQnCharSetMapping::GetFontNames() const {
    std::vector<std::string> names;
    for (const auto& chain : FBuckets)
        for (const TEntry& e : chain) {
            if (SameTextNoCase(e.FontName, QnDefaultFontName)) continue;
            if (std::none_of(names.begin(), names.end(),
                             [&](const std::string& n) { return SameTextNoCase(n, e.FontName); }))
                names.push_back(e.FontName);
        }
    return names;
}
