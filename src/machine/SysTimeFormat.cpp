// Date and time texts for the system-manager channel, through the POSIX
// locale of the host (LC_TIME) without touching the process's global locale.

#include "machine/SysCommandChannel.h"

#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace {

// Latin-1 from UTF-8; anything beyond Latin-1, or malformed, becomes "?".
std::string Utf8ToLatin1(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        size_t length = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        bool wellFormed = length > 1 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k)
            wellFormed = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!wellFormed) {
            out += '?';
            ++i;
            continue;
        }
        if (length == 2 && c <= 0xC3)
            out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        else
            out += '?';
        i += length;
    }
    return out;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

TSysTimeFormat::TSysTimeFormat(const std::string& localeName) {
    FLocale = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, localeName.c_str(), static_cast<locale_t>(nullptr));
    if (!FLocale) FLocale = ::newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    if (FLocale) {
        const char* codeset = ::nl_langinfo_l(CODESET, FLocale);
        FUtf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }
}

TSysTimeFormat::~TSysTimeFormat() {
    if (FLocale) ::freelocale(FLocale);
}

std::string TSysTimeFormat::Format(const char* format, const std::tm& t) const {
    char buffer[256];
    size_t n = FLocale ? ::strftime_l(buffer, sizeof buffer, format, &t, FLocale)
                       : std::strftime(buffer, sizeof buffer, format, &t);
    std::string text(buffer, n);
    return FUtf8 ? Utf8ToLatin1(text) : text;
}

std::string TSysTimeFormat::LongDate(const std::tm& t) const {
    // Names only for fields in range: a clock may hand over anything.
    const std::string day = InRange(t.tm_wday, 0, 6) ? Format("%A", t) : "?";
    const std::string month = InRange(t.tm_mon, 0, 11) ? Format("%B", t) : "?";
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " %02d, %04lld", t.tm_mday, static_cast<long long>(t.tm_year) + 1900);
    return day + " " + month + numbers;
}

std::string TSysTimeFormat::TimeOfDay(const std::tm& t) {
    int hour = t.tm_hour % 12;
    if (hour <= 0) hour += 12;
    char text[64];
    std::snprintf(text, sizeof text, "%d:%02d:%02d %s", hour, t.tm_min, t.tm_sec, t.tm_hour % 24 < 12 ? "am" : "pm");
    return text;
}

std::string TSysTimeFormat::DateTime(const std::tm& t) const {
    if (!InRange(t.tm_mon, 0, 11) || !InRange(t.tm_wday, 0, 6) || !InRange(t.tm_mday, 1, 31) ||
        !InRange(t.tm_hour, 0, 23) || !InRange(t.tm_min, 0, 59) || !InRange(t.tm_sec, 0, 60))
        return "?";
    return Format("%x %X", t);
}
