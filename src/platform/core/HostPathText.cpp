#include "platform/core/HostPathText.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at text[i] and its code point; 0 when
// the byte there starts none (overlong forms and surrogates are invalid).
size_t DecodeOne(std::string_view text, size_t i, char32_t& cp) {
    const auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char b = at(0);
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(1) < low || at(1) > high) return 0;
    for (size_t k = 2; k < length; ++k)
        if (!IsContinuation(at(k))) return 0;
    cp = b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (at(k) & 0x3F);
    return length;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::u16string HostPathToUtf16(std::string_view path) {
    std::u16string text;
    text.reserve(path.size());
    for (size_t i = 0; i < path.size();) {
        char32_t cp = 0;
        const size_t length = DecodeOne(path, i, cp);
        if (length == 0) {
            text += static_cast<char16_t>(EscapeBase + static_cast<unsigned char>(path[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            text += static_cast<char16_t>(cp);
        }
        i += length;
    }
    return text;
}

std::string HostPathFromUtf16(std::u16string_view text) {
    std::string path;
    path.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            AppendUtf8(path, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF) {
            path += static_cast<char>(u - EscapeBase);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(path, 0xFFFD);
        } else {
            AppendUtf8(path, u);
        }
    }
    return path;
}
