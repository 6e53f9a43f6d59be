#pragma once
// A server's port text kept in the settings file, read by the one port rule.

#include <string>

class TNrKeyValueSections;

// What an empty text in the settings file means.
enum class EEmptyPortText { Refused, MeansTheDefault };

// The port text saved under section/key. A text that is not a port number
// from 1 to 65535 is reported with the load's other problems and
// `defaultText` is used; an empty text is kept when it means the default.
std::string ReadPortSetting(const TNrKeyValueSections& store, const std::string& section, const std::string& key,
                            const std::string& defaultText, EEmptyPortText empty);
