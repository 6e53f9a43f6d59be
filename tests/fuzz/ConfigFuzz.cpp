// libFuzzer target: arbitrary text is loaded as a settings file from a
// stream, read through the typed accessors under arbitrary names, written to
// through them, then saved to a stream and loaded again. The reload must hold
// the same sections, keys (in order, with their spelling) and values.
//
// Input: a few leading bytes drive the typed reads and writes; the rest is
// the settings text.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "machine/ConfigObject.h"
#include "support/FuzzSupport.h"

namespace {

using tavrin::fuzz::Check;

// A key that starts with "=" is stored whole (an "=" in first place does not
// split a line), but saving it as key "=" value makes the reloaded line split
// nowhere else either, so the saved "=" joins the key: "=x" comes back as
// "=x=". Such a key only arises from a damaged file line and is left out of
// the comparison; every other key and value the loader can produce is
// carried exactly.
bool Comparable(const TNrKeyValuePair& pair) { return pair.Key.empty() || pair.Key.front() != '='; }

void CheckSame(const TNrKeyValueSections& a, const TNrKeyValueSections& b) {
    Check(a.GetSectionCount() == b.GetSectionCount());
    for (int s = 0; s < a.GetSectionCount(); ++s) {
        const TNrKeyValueList* x = a.GetSection(s);
        const TNrKeyValueList* y = b.GetSection(s);
        Check(x && y && x->Name == y->Name && x->NameUpper == y->NameUpper);
        std::vector<const TNrKeyValuePair*> px, py;
        for (int i = 0; i < x->GetCount(); ++i)
            if (Comparable(*x->GetPair(i))) px.push_back(x->GetPair(i));
        for (int i = 0; i < y->GetCount(); ++i)
            if (Comparable(*y->GetPair(i))) py.push_back(y->GetPair(i));
        Check(px.size() == py.size());
        for (size_t i = 0; i < px.size(); ++i)
            Check(px[i]->Key == py[i]->Key && px[i]->KeyUpper == py[i]->KeyUpper && px[i]->Value == py[i]->Value);
    }
}

// What a name written through the accessors must look like to survive the
// text form: one line, no blanks or controls at either end (the loader trims
// them), and for keys no "=" (it ends the key) and no "[" (a key "[a" with a
// value ending in "]" would read back as a section heading).
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
    // An integer text reads the same as a bool (1 is true, other integers false).
    if (i1 == i2) Check(b1 == (i1 == 1) && b2 == b1);
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
    const int reads = in.ConsumeIntegralInRange<int>(0, 6);
    const int writes = in.ConsumeIntegralInRange<int>(0, 6);
    std::vector<std::pair<std::string, std::string>> readNames, writeNames;
    for (int i = 0; i < reads; ++i) {
        std::string section = in.ConsumeRandomLengthString(24);
        readNames.emplace_back(section, in.ConsumeRandomLengthString(24));
    }
    struct Write {
        uint8_t Kind;
        std::string Section, Key;
        int32_t Int;
        double Real;
        std::string Text;
    };
    std::vector<Write> ops;
    for (int i = 0; i < writes; ++i) {
        Write w;
        w.Kind = in.ConsumeIntegral<uint8_t>();
        w.Section = in.ConsumeRandomLengthString(24);
        w.Key = in.ConsumeRandomLengthString(24);
        w.Int = in.ConsumeIntegral<int32_t>();
        w.Real = in.ConsumeFloatingPoint<double>();
        w.Text = in.ConsumeRandomLengthString(32);
        ops.push_back(std::move(w));
    }
    const std::string text = in.ConsumeRemainingBytesAsString();

    TNrKeyValueSections store;
    {
        std::istringstream stream(text);
        Check(store.LoadFromStream(stream));
    }
    // Names the file holds, and names the input made up.
    for (int s = 0; s < store.GetSectionCount() && s < 8; ++s) {
        const TNrKeyValueList* list = store.GetSection(s);
        for (int k = 0; k < list->GetCount() && k < 8; ++k) CheckReads(store, list->Name, list->GetPair(k)->Key);
        CheckReads(store, NrUpperCase(list->Name), "");
    }
    for (const auto& [section, key] : readNames) CheckReads(store, section, key);

    TNrKeyValueSections reloaded;
    Reload(store, reloaded);
    CheckSame(store, reloaded);

    // Typed writes read back as written.
    for (const Write& w : ops) {
        const std::string section = Carriable(w.Section, false);
        const std::string key = Carriable(w.Key, true);
        if (section.empty() || key.empty()) continue;
        switch (w.Kind % 4) {
            case 0:
                store.WriteInteger(section, key, w.Int);
                Check(store.ReadInteger(section, key, w.Int ^ 1) == w.Int);
                break;
            case 1:
                store.WriteFloat(section, key, w.Real);
                if (std::isfinite(w.Real)) Check(store.ReadFloat(section, key, 1.5) == w.Real);
                break;
            case 2:
                store.WriteBool(section, key, w.Int & 1);
                Check(store.ReadBool(section, key, !(w.Int & 1)) == bool(w.Int & 1));
                break;
            default: {
                const std::string value = Carriable(w.Text, false);
                store.WriteString(section, key, value);
                Check(store.ReadString(section, key, value + "x") == value);
                break;
            }
        }
    }
    TNrKeyValueSections again;
    Reload(store, again);
    CheckSame(store, again);
    return 0;
}
