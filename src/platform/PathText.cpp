#include "platform/PathText.h"

#include <QString>

namespace {

constexpr char16_t EscapeBase = 0xDC00;
// Wrap points go into runs longer than this many characters.
constexpr int LongRun = 40;
constexpr QChar ZeroWidthSpace(0x200B);

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t ValidSequence(const std::string& text, size_t i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;  // no encoded surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    return length;
}

QString Decode(const std::string& text, bool escapeInvalid)
{
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (size_t i = 0; i < text.size();) {
        const size_t length = ValidSequence(text, i);
        if (length == 0) {
            const char16_t escaped = EscapeBase + static_cast<unsigned char>(text[i]);
            result += escapeInvalid ? QChar(escaped) : QChar(QChar::ReplacementCharacter);
            ++i;
            continue;
        }
        result += QString::fromUtf8(text.data() + i, static_cast<qsizetype>(length));
        i += length;
    }
    return result;
}

} // namespace

QString PathToQt(const std::string& path)
{
    return Decode(path, true);
}

std::string PathFromQt(const QString& path)
{
    std::string result;
    result.reserve(static_cast<size_t>(path.size()));
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart)
            result += path.mid(runStart, end - runStart).toStdString();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        // A lone escape (not the low half of a pair) stands for one byte.
        const bool lowHalf = i > 0 && path[i - 1].isHighSurrogate();
        if (c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF && !lowHalf) {
            flush(i);
            result += static_cast<char>(c - EscapeBase);
            runStart = i + 1;
        }
    }
    flush(path.size());
    return result;
}

QString DisplayText(const std::string& text)
{
    return Decode(text, false);
}

QString WrappableText(const std::string& text)
{
    const QString decoded = Decode(text, false);
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
