#pragma once
// Sectioned key/value settings store and its text file form:
//
//   [Section]
//   Key=Value
//
// Section names and keys compare without regard to letter case (Latin-1
// letters included); a name keeps the spelling it was first stored with.
// Values are text; typed reads convert and fall back to a default.
// Sections and keys are indexed by their upper-cased names, so loading and
// lookups stay fast for any number of them; lists keep insertion order.
// Pairs and sections are handed out read-only so the index stays true.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Upper-cases a Latin-1 string (a-z and the accented letters E0h-FEh except F7h).
std::string NrUpperCase(const std::string& text);

// Removes blanks and control characters (bytes up to 20h) at both ends.
std::string NrTrim(const std::string& text);

class TNrKeyValuePair {
public:
    std::string Key;
    std::string KeyUpper;
    std::string Value;

    // An empty key changes nothing.
    void SetKey(const std::string& key);
    // Parses "key=value" (both trimmed); a line without "=" after its first
    // character is a key with an empty value.
    void SetText(const std::string& line);
    std::string GetText() const;
};

class TNrKeyValueList {
public:
    std::string Name;
    std::string NameUpper;

    void Clear();
    // An empty name changes nothing.
    void SetName(const std::string& name);
    int GetCount() const;
    // Nullptr outside 0..GetCount()-1.
    const TNrKeyValuePair* GetPair(int index) const;
    // -1 when missing or key is empty.
    int IndexOf(const std::string& key) const;
    // Empty text when missing.
    std::string GetValue(const std::string& key) const;
    // Empty key: nothing. Existing key: only the value changes.
    void SetValue(const std::string& key, const std::string& value);

private:
    std::vector<std::unique_ptr<TNrKeyValuePair>> FPairs;
    std::unordered_map<std::string, size_t> FIndex;  // KeyUpper -> position
};

class TNrKeyValueSections {
public:
    TNrKeyValueSections();
    ~TNrKeyValueSections();
    TNrKeyValueSections(const TNrKeyValueSections&) = delete;
    TNrKeyValueSections& operator=(const TNrKeyValueSections&) = delete;

    void Clear();
    int GetSectionCount() const;
    int IndexOfSection(const std::string& name) const;
    // Nullptr outside 0..GetSectionCount()-1.
    const TNrKeyValueList* GetSection(int index) const;
    const TNrKeyValueList* FindSection(const std::string& name) const;

    std::string GetValue(const std::string& section, const std::string& key) const;
    bool KeyExists(const std::string& section, const std::string& key) const;
    // Nothing when section or key is empty; creates a missing section.
    void SetValue(const std::string& section, const std::string& key, const std::string& value);

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // At most maxLength bytes; a longer value gives def and records one
    // problem, as the ranged ReadInteger does: its use could not take it.
    std::string ReadString(const std::string& section, const std::string& key, const std::string& def,
                           size_t maxLength) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
    // An integer in min..max. A missing key gives def quietly; text that is
    // no integer or lies outside the range gives def and records one
    // problem sentence (once per key) for TakeReadProblems.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def, int32_t min,
                        int32_t max) const;
    // The problems recorded by checked reads, in reading order; clears them,
    // so a caller reports each once.
    std::vector<std::string> TakeReadProblems();
    // Records a stored value its reader refused for a reason of its own:
    // "The setting KEY=VALUE in section [SECTION] is " + problem + "; " +
    // outcome + ".", once. Nothing when the key is missing.
    void RecordReadProblem(const std::string& section, const std::string& key, const std::string& problem,
                           const std::string& outcome) const;
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // Accepts "." or "," as the decimal separator.
    double ReadFloat(const std::string& section, const std::string& key, double def) const;
    // A finite number in min..max; otherwise as the ranged ReadInteger: def,
    // and a missing key quietly, anything else with one recorded problem.
    double ReadFloat(const std::string& section, const std::string& key, double def, double min, double max) const;
    // Always writes "." as the decimal separator.
    void WriteFloat(const std::string& section, const std::string& key, double value);
    // The integer 1 is true and 0 false. Any other text gives def and records
    // one problem, as the ranged ReadInteger does.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    void WriteBool(const std::string& section, const std::string& key, bool value);

    // Text form, one entry per line (the list is cleared first).
    void SaveToStrings(std::vector<std::string>& lines) const;
    // Clears the store, then parses the lines.
    void LoadFromStrings(const std::vector<std::string>& lines);
    // Splits text at CR, LF or CR LF.
    static std::vector<std::string> SplitLines(const std::string& text);
    // The text form with CR LF line ends.
    std::string GetText() const;
    void SetText(const std::string& text);

    // False when the stream is not good (or fails while writing).
    bool SaveToStream(std::ostream& stream) const;
    bool LoadFromStream(std::istream& stream);

    // Writes a temporary file beside fileName and renames it over the old
    // one, so a failure leaves the old file intact. Throws std::system_error
    // when the file cannot be written; returns true otherwise.
    bool SaveToFile(const std::string& fileName) const;
    // False (store untouched) when the file does not exist; throws
    // std::system_error when it exists but cannot be read.
    bool LoadFromFile(const std::string& fileName);

private:
    TNrKeyValueList* SectionToWrite(const std::string& name);
    // One line of the text form; current is the section it falls in.
    void ParseLine(std::string_view line, std::string& current);

    std::vector<std::unique_ptr<TNrKeyValueList>> FSections;
    std::unordered_map<std::string, size_t> FSectionIndex;  // NameUpper -> position
    mutable std::vector<std::string> FReadProblems;
};
