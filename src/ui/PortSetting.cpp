#include "ui/PortSetting.h"

#include "net/PortNumber.h"
#include "platform/core/ConfigObject.h"
#include "platform/core/HostTextLimits.h"

std::string ReadPortSetting(const TNrKeyValueSections& store, const std::string& section, const std::string& key,
                            const std::string& defaultText, EEmptyPortText empty) {
    const std::string saved = store.ReadString(section, key, defaultText, MaxPortTextLength);
    if (saved.empty() && empty == EEmptyPortText::MeansTheDefault) return saved;
    if (ParsePortNumber(saved) != 0) return saved;
    store.RecordReadProblem(section, key, NotAPortNumber, "the default " + defaultText + " is used");
    return defaultText;
}
