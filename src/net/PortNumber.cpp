#include "net/PortNumber.h"

uint16_t ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    const unsigned long value = std::stoul(text);
    return value >= 1 && value <= 65535 ? static_cast<uint16_t>(value) : 0;
}

std::string RefusedPortText(const std::string& text) {
    // A setting may hold a long text; the sentence shows enough to find it.
    constexpr size_t shown = 32;
    return "\"" + text.substr(0, shown) + (text.size() > shown ? "..." : "") + "\" is " + NotAPortNumber + ".";
}
