// libFuzzer target: text loaded as a settings file, read and written through
// the typed accessors, saved and loaded again must hold the same sections,
// keys and values. Input: the text, then the names and values of the typed
// reads and writes.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/ConfigObject.h"
#include "support/FuzzSupport.h"

namespace {

using tavrin::test::Check;

// Sections and keys in order, with their spelling, and values. A key
// starting with "=" (only a damaged line makes one) is saved as "=x=" and
// read back as that key: it is left out. Every other key and value the
// loader can produce is carried exactly.
std::vector<std::array<std::string, 4>> Contents(const TNrKeyValueSections& store) {
    std::vector<std::array<std::string, 4>> items;
    for (int s = 0; s < store.GetSectionCount(); ++s) {
        const TNrKeyValueList* list = store.GetSection(s);
        items.push_back({"section", list->Name, list->NameUpper, ""});
        for (int i = 0; i < list->GetCount(); ++i)
            if (const TNrKeyValuePair* pair = list->GetPair(i); pair->Key.empty() || pair->Key.front() != '=')
                items.push_back({"key", pair->Key, pair->KeyUpper, pair->Value});
    }
    return items;
}

// A name written through the accessors that survives the text form: one
// line, trimmed, and for keys no "=" (it ends the key) and no "[" (a key "[a"
// with a value ending in "]" would read back as a section heading).
std::string Carriable(std::string text, bool key) {
    std::string out;
    for (char c : text) {
        if (c == '\r' || c == '\n') continue;
        if (key && (c == '=' || c == '[')) continue;
        out += c;
    }
    return NrTrim(out);
}

// Typed reads of a name: they never throw, and the default shows through
// exactly when the stored text is not a value of that type.
void CheckReads(const TNrKeyValueSections& store, const std::string& section, const std::string& key) {
    const bool exists = store.KeyExists(section, key);
    Check(exists == (store.FindSection(section) && store.FindSection(section)->IndexOf(key) >= 0));
    Check(store.ReadString(section, key, "\x01") == (exists ? store.GetValue(section, key) : "\x01"));
    const int32_t i1 = store.ReadInteger(section, key, 7);
    const int32_t i2 = store.ReadInteger(section, key, -9);
    Check(i1 == i2 || (i1 == 7 && i2 == -9));
    const double f1 = store.ReadFloat(section, key, 0.5);
    const double f2 = store.ReadFloat(section, key, -2.25);
    Check(std::isfinite(f1) && std::isfinite(f2));
    Check(f1 == f2 || (f1 == 0.5 && f2 == -2.25));
    const bool b1 = store.ReadBool(section, key, false);
    const bool b2 = store.ReadBool(section, key, true);
    Check(b1 == b2 || (!b1 && b2));
    // 1 and 0 read as true and false; any other text gives the default.
    if (i1 == i2 && (i1 == 0 || i1 == 1))
        Check(b1 == (i1 == 1) && b2 == b1);
    else
        Check(!b1 && b2);
}

void Reload(const TNrKeyValueSections& from, TNrKeyValueSections& to) {
    std::ostringstream out;
    Check(from.SaveToStream(out));
    std::istringstream in(out.str());
    Check(to.LoadFromStream(in));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TNrKeyValueSections store;
    {
        std::istringstream stream(in.ConsumeRandomLengthString(size));
        Check(store.LoadFromStream(stream));
    }
    // Names the file holds, and names the input makes up.
    for (int s = 0; s < store.GetSectionCount() && s < 8; ++s) {
        const TNrKeyValueList* list = store.GetSection(s);
        for (int k = 0; k < list->GetCount() && k < 8; ++k) CheckReads(store, list->Name, list->GetPair(k)->Key);
        CheckReads(store, NrUpperCase(list->Name), "");
    }
    for (int i = in.ConsumeIntegralInRange<int>(0, 6); i > 0; --i) {
        const std::string section = in.ConsumeRandomLengthString(24);
        CheckReads(store, section, in.ConsumeRandomLengthString(24));
    }
    TNrKeyValueSections reloaded;
    Reload(store, reloaded);
    Check(Contents(store) == Contents(reloaded));

    // Typed writes read back as written.
    for (int i = in.ConsumeIntegralInRange<int>(0, 6); i > 0; --i) {
        const uint8_t kind = in.ConsumeIntegral<uint8_t>();
        const std::string section = Carriable(in.ConsumeRandomLengthString(24), false);
        const std::string key = Carriable(in.ConsumeRandomLengthString(24), true);
        const int32_t number = in.ConsumeIntegral<int32_t>();
        if (section.empty() || key.empty()) continue;
        switch (kind % 4) {
            case 0:
                store.WriteInteger(section, key, number);
                Check(store.ReadInteger(section, key, number ^ 1) == number);
                break;
            case 1: {
                const double real = in.ConsumeFloatingPoint<double>();
                store.WriteFloat(section, key, real);
                if (std::isfinite(real)) Check(store.ReadFloat(section, key, 1.5) == real);
                break;
            }
            case 2:
                store.WriteBool(section, key, number & 1);
                Check(store.ReadBool(section, key, !(number & 1)) == bool(number & 1));
                break;
            default: {
                const std::string value = Carriable(in.ConsumeRandomLengthString(32), false);
                store.WriteString(section, key, value);
                Check(store.ReadString(section, key, value + "x") == value);
                break;
            }
        }
    }
    TNrKeyValueSections again;
    Reload(store, again);
    Check(Contents(store) == Contents(again));
    return 0;
}
