#include "platform/core/ConfigObject.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <istream>
#include <iterator>
#include <ostream>
#include <system_error>

#include "platform/core/FileReplace.h"

std::string NrUpperCase(const std::string& text) {
    std::string result(text);
    for (char& ch : result) {
        const auto c = static_cast<unsigned char>(ch);
        // ASCII a-z and the Latin-1 small letters a-grave..thorn, except the
        // division sign F7h; sharp s and y-diaeresis have no capital here.
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) ch = static_cast<char>(c - 0x20);
    }
    return result;
}

std::string NrTrim(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
    return text.substr(first, last - first);
}

// ---- TNrKeyValuePair -------------------------------------------------------

void TNrKeyValuePair::SetKey(const std::string& key) {
    if (key.empty()) return;
    Key = key;
    KeyUpper = NrUpperCase(key);
}

void TNrKeyValuePair::SetText(const std::string& line) {
    Value.clear();
    const std::string text = NrTrim(line);
    const auto eq = text.find('=');
    // An "=" in first place does not split: the whole line is the key.
    if (eq != std::string::npos && eq >= 1) {
        SetKey(NrTrim(text.substr(0, eq)));
        Value = NrTrim(text.substr(eq + 1));
    } else {
        SetKey(text);
    }
}

std::string TNrKeyValuePair::GetText() const { return Key + "=" + Value; }

// ---- TNrKeyValueList -------------------------------------------------------

void TNrKeyValueList::Clear() {
    FPairs.clear();
    FIndex.clear();
}

void TNrKeyValueList::SetName(const std::string& name) {
    if (name.empty()) return;
    Name = name;
    NameUpper = NrUpperCase(name);
}

int TNrKeyValueList::GetCount() const { return static_cast<int>(FPairs.size()); }

const TNrKeyValuePair* TNrKeyValueList::GetPair(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return FPairs[static_cast<size_t>(index)].get();
}

int TNrKeyValueList::IndexOf(const std::string& key) const {
    if (key.empty()) return -1;
    const auto found = FIndex.find(NrUpperCase(key));
    return found == FIndex.end() ? -1 : static_cast<int>(found->second);
}

std::string TNrKeyValueList::GetValue(const std::string& key) const {
    const int i = IndexOf(key);
    return i < 0 ? std::string() : FPairs[static_cast<size_t>(i)]->Value;
}

void TNrKeyValueList::SetValue(const std::string& key, const std::string& value) {
    if (key.empty()) return;
    const int i = IndexOf(key);
    if (i >= 0) {
        FPairs[static_cast<size_t>(i)]->Value = value;
        return;
    }
    auto pair = std::make_unique<TNrKeyValuePair>();
    pair->SetKey(key);
    pair->Value = value;
    FIndex.emplace(pair->KeyUpper, FPairs.size());
    FPairs.push_back(std::move(pair));
}

// ---- TNrKeyValueSections: lookup -------------------------------------------

TNrKeyValueSections::TNrKeyValueSections() = default;
TNrKeyValueSections::~TNrKeyValueSections() = default;

void TNrKeyValueSections::Clear() {
    FSections.clear();
    FSectionIndex.clear();
}

int TNrKeyValueSections::GetSectionCount() const { return static_cast<int>(FSections.size()); }

int TNrKeyValueSections::IndexOfSection(const std::string& name) const {
    if (name.empty()) return -1;
    const auto found = FSectionIndex.find(NrUpperCase(name));
    return found == FSectionIndex.end() ? -1 : static_cast<int>(found->second);
}

const TNrKeyValueList* TNrKeyValueSections::GetSection(int index) const {
    if (index < 0 || index >= GetSectionCount()) return nullptr;
    return FSections[static_cast<size_t>(index)].get();
}

TNrKeyValueList* TNrKeyValueSections::SectionToWrite(const std::string& name) {
    const int index = IndexOfSection(name);
    return index < 0 ? nullptr : FSections[static_cast<size_t>(index)].get();
}

const TNrKeyValueList* TNrKeyValueSections::FindSection(const std::string& name) const {
    return GetSection(IndexOfSection(name));
}

std::string TNrKeyValueSections::GetValue(const std::string& section, const std::string& key) const {
    if (section.empty() || key.empty()) return {};
    const TNrKeyValueList* list = FindSection(section);
    return list ? list->GetValue(key) : std::string();
}

bool TNrKeyValueSections::KeyExists(const std::string& section, const std::string& key) const {
    if (section.empty() || key.empty()) return false;
    const TNrKeyValueList* list = FindSection(section);
    return list && list->IndexOf(key) >= 0;
}

void TNrKeyValueSections::SetValue(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty() || key.empty()) return;
    TNrKeyValueList* list = SectionToWrite(section);
    if (!list) {
        auto created = std::make_unique<TNrKeyValueList>();
        created->SetName(section);
        list = created.get();
        FSectionIndex.emplace(created->NameUpper, FSections.size());
        FSections.push_back(std::move(created));
    }
    list->SetValue(key, value);
}

// ---- TNrKeyValueSections: typed access -------------------------------------

namespace {

// Decimal 32-bit integer with optional sign and surrounding blanks.
bool ParseInt32(const std::string& text, int32_t& out) {
    const std::string t = NrTrim(text);
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '+' && ++first != last && *first == '-') return false;
    int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, 10);
    if (ec != std::errc() || ptr != last) return false;
    out = value;
    return true;
}

// Finite real with "." or "," as the decimal separator.
bool ParseDouble(const std::string& text, double& out) {
    std::string t = NrTrim(text);
    std::replace(t.begin(), t.end(), ',', '.');
    const char* first = t.data();
    const char* last = t.data() + t.size();
    if (first != last && *first == '+' && ++first != last && *first == '-') return false;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(value)) return false;
    out = value;
    return true;
}

// Shortest text that reads back as the same value, in plain notation for
// everyday magnitudes and in exponent notation otherwise; "." always.
std::string FormatDouble(double value) {
    char buf[64];
    auto sci = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string s(buf, sci.ptr);
    const auto e = s.find('e');
    const int exponent = e == std::string::npos ? 0 : std::atoi(s.c_str() + e + 1);
    if (!std::isfinite(value) || exponent < -5 || exponent >= 15) return s;
    auto fixed = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return std::string(buf, fixed.ptr);
}

}  // namespace

std::string TNrKeyValueSections::ReadString(const std::string& section, const std::string& key,
                                            const std::string& def) const {
    return KeyExists(section, key) ? GetValue(section, key) : def;
}

std::string TNrKeyValueSections::ReadString(const std::string& section, const std::string& key, const std::string& def,
                                            size_t maxLength) const {
    if (!KeyExists(section, key)) return def;
    std::string value = GetValue(section, key);
    if (value.size() <= maxLength) return value;
    RecordReadProblem(section, key, "longer than " + std::to_string(maxLength) + " characters",
                      "the default " + def + " is used");
    return def;
}

void TNrKeyValueSections::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    SetValue(section, key, value);
}

int32_t TNrKeyValueSections::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
    int32_t value = def;
    return ParseInt32(ReadString(section, key, std::to_string(def)), value) ? value : def;
}

int32_t TNrKeyValueSections::ReadInteger(const std::string& section, const std::string& key, int32_t def, int32_t min,
                                         int32_t max) const {
    if (!KeyExists(section, key)) return def;
    int32_t value = def;
    if (ParseInt32(GetValue(section, key), value) && value >= min && value <= max) return value;
    RecordReadProblem(section, key, "not a whole number from " + std::to_string(min) + " to " + std::to_string(max),
                      "the default " + std::to_string(def) + " is used");
    return def;
}

double TNrKeyValueSections::ReadFloat(const std::string& section, const std::string& key, double def, double min,
                                      double max) const {
    if (!KeyExists(section, key)) return def;
    double value = def;
    if (ParseDouble(GetValue(section, key), value) && value >= min && value <= max) return value;
    RecordReadProblem(section, key, "not a number from " + FormatDouble(min) + " to " + FormatDouble(max),
                      "the default " + FormatDouble(def) + " is used");
    return def;
}

void TNrKeyValueSections::RecordReadProblem(const std::string& section, const std::string& key,
                                            const std::string& problem, const std::string& outcome) const {
    if (!KeyExists(section, key)) return;
    const TNrKeyValueList* list = FindSection(section);
    const TNrKeyValuePair* pair = list->GetPair(list->IndexOf(key));
    // Named as stored, so reads in other letter case report it once. A value
    // far too long for the box is shown by its start and its length.
    constexpr size_t Shown = 60;
    const std::string value = pair->Value.size() <= Shown ? pair->Value
                                                          : pair->Value.substr(0, Shown) + "... (" +
                                                                std::to_string(pair->Value.size()) + " characters)";
    const std::string sentence = "The setting " + pair->Key + "=" + value + " in section [" + list->Name + "] is " +
                                 problem + "; " + outcome + ".";
    if (std::find(FReadProblems.begin(), FReadProblems.end(), sentence) == FReadProblems.end())
        FReadProblems.push_back(sentence);
}

std::vector<std::string> TNrKeyValueSections::TakeReadProblems() {
    std::vector<std::string> problems;
    problems.swap(FReadProblems);
    return problems;
}

void TNrKeyValueSections::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    SetValue(section, key, std::to_string(value));
}

double TNrKeyValueSections::ReadFloat(const std::string& section, const std::string& key, double def) const {
    if (!KeyExists(section, key)) return def;
    double value = def;
    return ParseDouble(GetValue(section, key), value) ? value : def;
}

void TNrKeyValueSections::WriteFloat(const std::string& section, const std::string& key, double value) {
    SetValue(section, key, FormatDouble(value));
}

bool TNrKeyValueSections::ReadBool(const std::string& section, const std::string& key, bool def) const {
    if (!KeyExists(section, key)) return def;
    int32_t value = 0;
    if (ParseInt32(GetValue(section, key), value) && (value == 0 || value == 1)) return value == 1;
    RecordReadProblem(section, key, "neither 1 nor 0", std::string("the default ") + (def ? "1" : "0") + " is used");
    return def;
}

void TNrKeyValueSections::WriteBool(const std::string& section, const std::string& key, bool value) {
    SetValue(section, key, value ? "1" : "0");
}

// ---- TNrKeyValueSections: text form ----------------------------------------

void TNrKeyValueSections::SaveToStrings(std::vector<std::string>& lines) const {
    lines.clear();
    for (const auto& section : FSections) {
        lines.push_back("[" + section->Name + "]");
        for (int i = 0; i < section->GetCount(); ++i) lines.push_back(section->GetPair(i)->GetText());
        if (section->GetCount() > 0) lines.emplace_back();
    }
}

void TNrKeyValueSections::ParseLine(std::string_view raw, std::string& current) {
    while (!raw.empty() && static_cast<unsigned char>(raw.front()) <= ' ') raw.remove_prefix(1);
    while (!raw.empty() && static_cast<unsigned char>(raw.back()) <= ' ') raw.remove_suffix(1);
    if (raw.empty()) return;
    if (raw.size() >= 2 && raw.front() == '[' && raw.back() == ']') {
        const std::string name = NrTrim(std::string(raw.substr(1, raw.size() - 2)));
        if (!name.empty()) current = name;
        return;
    }
    if (current.empty()) return;
    TNrKeyValuePair pair;
    pair.SetText(std::string(raw));
    SetValue(current, pair.Key, pair.Value);
}

void TNrKeyValueSections::LoadFromStrings(const std::vector<std::string>& lines) {
    Clear();
    std::string current;
    for (const std::string& line : lines) ParseLine(line, current);
}

std::vector<std::string> TNrKeyValueSections::SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string TNrKeyValueSections::GetText() const {
    std::vector<std::string> lines;
    SaveToStrings(lines);
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TNrKeyValueSections::SetText(const std::string& text) {
    // Parsed in place: a file of many short lines is not copied line by line.
    Clear();
    std::string current;
    const std::string_view all(text);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = all.size();
        ParseLine(all.substr(start, end - start), current);
        if (end + 1 < all.size() && all[end] == '\r' && all[end + 1] == '\n') ++end;
        start = end + 1;
    }
}

bool TNrKeyValueSections::SaveToStream(std::ostream& stream) const {
    if (!stream) return false;
    const std::string text = GetText();
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(stream);
}

bool TNrKeyValueSections::LoadFromStream(std::istream& stream) {
    if (!stream) return false;
    const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    SetText(text);
    return true;
}

// ---- TNrKeyValueSections: files --------------------------------------------

bool TNrKeyValueSections::SaveToFile(const std::string& fileName) const {
    ReplaceFileContents(fileName, GetText());
    return true;
}

bool TNrKeyValueSections::LoadFromFile(const std::string& fileName) {
    // Settings files are small; anything far larger is not one.
    constexpr off_t kMaxSize = 16 * 1024 * 1024;
    const std::string what = "Cannot open file \"" + fileName + "\"";

    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return false;
        throw std::system_error(errno, std::generic_category(), what);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0) throw std::system_error(errno, std::generic_category(), what);
    if (S_ISDIR(st.st_mode)) throw std::system_error(EISDIR, std::generic_category(), what);
    if (!S_ISREG(st.st_mode)) throw std::system_error(EINVAL, std::generic_category(), what);
    if (st.st_size > kMaxSize) throw std::system_error(EFBIG, std::generic_category(), what);

    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category(), "Error reading file \"" + fileName + "\"");
        }
        if (n == 0) break;
        text.append(buf, static_cast<size_t>(n));
        if (static_cast<off_t>(text.size()) > kMaxSize) throw std::system_error(EFBIG, std::generic_category(), what);
    }
    SetText(text);
    return true;
}
