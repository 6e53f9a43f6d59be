#include "app/SettingsReader.h"

#include "machine/ConfigObject.h"

#include <limits>

void TSettingsReader::Reject(const std::string& section, const std::string& key)
{
    FRejected.push_back(key + "=" + FStore.GetValue(section, key) + " [" + section + "]");
}

int32_t TSettingsReader::Integer(const std::string& section, const std::string& key, int32_t def, int32_t min,
                                 int32_t max)
{
    if (!FStore.KeyExists(section, key))
        return def;
    // Two different defaults tell a malformed number (kept as the default, as
    // the store's own reads do) from one that parsed.
    const int32_t low = std::numeric_limits<int32_t>::min();
    const int32_t value = FStore.ReadInteger(section, key, low);
    if (value == low && FStore.ReadInteger(section, key, low + 1) == low + 1)
        return def;
    if (value < min || value > max) {
        Reject(section, key);
        return def;
    }
    return value;
}

uint32_t TSettingsReader::Color(const std::string& section, const std::string& key, uint32_t def)
{
    return static_cast<uint32_t>(Integer(section, key, static_cast<int32_t>(def), 0, 0x00FFFFFF));
}

bool TSettingsReader::Bool(const std::string& section, const std::string& key, bool def) const
{
    return FStore.ReadBool(section, key, def);
}

std::string TSettingsReader::String(const std::string& section, const std::string& key, const std::string& def) const
{
    return FStore.ReadString(section, key, def);
}

std::string TSettingsReader::Report(const std::string& fileName) const
{
    if (FRejected.empty())
        return {};
    std::string text = "These values in the settings file \"" + fileName +
                       "\" are out of range; their defaults are used instead:";
    for (const std::string& entry : FRejected)
        text += "\n" + entry;
    return text;
}
