#pragma once
// Typed reads of the settings file for the window: a value outside its range
// is not used; its key keeps the default and is noted, so a hand-edited file
// is reported once after loading instead of being trusted.

#include <cstdint>
#include <string>
#include <vector>

class TNrKeyValueSections;

class TSettingsReader {
public:
    explicit TSettingsReader(const TNrKeyValueSections& store) : FStore(store) {}

    // def when the key is missing, not a number, or outside min..max.
    int32_t Integer(const std::string& section, const std::string& key, int32_t def, int32_t min, int32_t max);
    // A colour value 00BBGGRRh.
    uint32_t Color(const std::string& section, const std::string& key, uint32_t def);
    bool Bool(const std::string& section, const std::string& key, bool def) const;
    std::string String(const std::string& section, const std::string& key, const std::string& def) const;

    // "KEY=value [SECTION]" of every value that was out of range, in order.
    const std::vector<std::string>& Rejected() const { return FRejected; }
    // The one report for all of them; empty when none was rejected.
    std::string Report(const std::string& fileName) const;

private:
    void Reject(const std::string& section, const std::string& key);

    const TNrKeyValueSections& FStore;
    std::vector<std::string> FRejected;
};
