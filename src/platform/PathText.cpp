#include "platform/PathText.h"

#include "platform/core/HostPathText.h"

#include <QString>

namespace {

// The escapes HostPathToUtf16 gives bytes that are not valid UTF-8.
constexpr char16_t FirstEscape = 0xDC80;
constexpr char16_t LastEscape = 0xDCFF;
// Wrap points go into runs longer than this many characters.
constexpr int LongRun = 40;
constexpr QChar ZeroWidthSpace(0x200B);

}  // namespace

QString PathToQt(const std::string& path) {
    const std::u16string text = HostPathToUtf16(path);
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::string PathFromQt(const QString& path) {
    return HostPathFromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), static_cast<size_t>(path.size())));
}

QString DisplayText(const std::string& text) {
    QString shown = PathToQt(text);
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const char16_t c = shown[i].unicode();
        // An escape is a lone low surrogate; the low half of a pair is not one.
        const bool lowHalf = i > 0 && shown[i - 1].isHighSurrogate();
        if (c >= FirstEscape && c <= LastEscape && !lowHalf) shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}

QString WrappableText(const std::string& text) {
    const QString decoded = DisplayText(text);
    QString result;
    result.reserve(decoded.size());
    int run = 0;
    for (const QChar c : decoded) {
        result += c;
        if (c.isSpace()) {
            run = 0;
            continue;
        }
        ++run;
        const bool separator = c == QLatin1Char('/') || c == QLatin1Char('\\');
        if ((separator && run >= LongRun / 4) || run >= LongRun) {
            result += ZeroWidthSpace;
            run = 0;
        }
    }
    return result;
}
