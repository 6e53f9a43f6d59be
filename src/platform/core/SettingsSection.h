#pragma once
// A part of the program that reads and writes a section of the settings
// file itself, key by key in its own order.

#include "platform/core/ConfigObject.h"

class ISettingsSection {
public:
    virtual ~ISettingsSection() = default;
    virtual void LoadSettings(const TNrKeyValueSections& store) = 0;
    virtual void SaveSettings(TNrKeyValueSections& store) const = 0;
};
