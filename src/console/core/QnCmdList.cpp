#include "console/core/QnCmdList.h"

#include <algorithm>
#include <cctype>

TQnEmuCommandParamsItem& TQnEmuCommandParams::Add(std::string name, std::string value) {
    Items.push_back({std::move(name), std::move(value)});
    return Items.back();
}

int TQnEmuCommandParams::IndexOfName(const std::string& name) const {
    for (size_t i = 0; i < Items.size(); ++i)
        if (Items[i].Name == name) return static_cast<int>(i);
    return -1;
}

const TQnEmuCommandParamsItem* TQnEmuCommandParams::Find(const std::string& name, int index) const {
    int i = IndexOfName(name);
    if (i < 0) i = index;
    if (i < 0 || i >= Count()) return nullptr;
    return &Items[static_cast<size_t>(i)];
}

bool TQnEmuCommandParams::GetBoolean(const std::string& name, int index, bool def) const {
    const TQnEmuCommandParamsItem* item = Find(name, index);
    if (!item) return def;
    std::string v = item->Value;
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (v == "t" || v == "true" || v == "1" || v == "on" || v == "yes") return true;
    if (v == "f" || v == "false" || v == "0" || v == "off" || v == "no") return false;
    return def;
}

int32_t TQnEmuCommandParams::GetInteger(const std::string& name, int index, int32_t def) const {
    const TQnEmuCommandParamsItem* item = Find(name, index);
    int32_t v = 0;
    return (item && QnTryStrToInt(item->Value, v)) ? v : def;
}

TColor TQnEmuCommandParams::GetColor(const std::string& name, int index, TColor def) const {
    const TQnEmuCommandParamsItem* item = Find(name, index);
    int32_t v = 0;
    return (item && QnTryStrToInt(item->Value, v)) ? static_cast<TColor>(v) : def;
}

std::string TQnEmuCommandParams::GetString(const std::string& name, int index, const std::string& def) const {
    const TQnEmuCommandParamsItem* item = Find(name, index);
    return item ? item->Value : def;
}

TQnEmuCommandListItem& TQnEmuCommandList::Add(TQnEmuCommand command) {
    Items.emplace_back();
    Items.back().Command = command;
    return Items.back();
}

bool QnTryStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return false;
        magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull) return false;
    }
    if (base == 16 && !negative) {
        // Hexadecimal spells the 32 bits, so $FFFFFFFF is -1.
        value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        return true;
    }
    if (negative ? magnitude > 0x80000000ull : magnitude > 0x7FFFFFFFull) return false;
    value = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
    return true;
}

int QnMidInt(int a, int b, int c) { return std::max(std::min(a, b), std::min(std::max(a, b), c)); }
