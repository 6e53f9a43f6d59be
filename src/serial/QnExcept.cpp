#include "serial/QnExcept.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "serial/QnStrMap.h"

namespace {

constexpr std::size_t MaxMessageLength = 255;

uint64_t AbsoluteCode(int64_t code) {
    // Taken in unsigned arithmetic so the most negative value has no overflow.
    return code < 0 ? 0 - static_cast<uint64_t>(code) : static_cast<uint64_t>(code);
}

uint64_t AbsoluteCode(const TMessageTableEntry& entry) { return AbsoluteCode(int64_t{entry.Code}); }

// The host's description of an error number, or empty when it has none.
std::string HostErrorText(uint64_t code) {
    if (code > 4095) return {};
    char buffer[256];
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return {};
    return text;
}

std::mutex& DisplayLock() {
    static std::mutex lock;
    return lock;
}

struct TInstalledDisplay {
    TQnExceptionDisplay Display;
    const void* Owner = nullptr;
};

TInstalledDisplay& Installed() {
    static TInstalledDisplay installed;
    return installed;
}

}  // namespace

std::string FindMessageText(int64_t code) {
    const uint64_t wanted = AbsoluteCode(code);
    const auto found =
        std::lower_bound(MessageTable.begin(), MessageTable.end(), wanted,
                         [](const TMessageTableEntry& entry, uint64_t key) { return AbsoluteCode(entry) < key; });
    if (found == MessageTable.end() || AbsoluteCode(*found) != wanted) return {};
    return std::string(found->Text).substr(0, MaxMessageLength);
}

std::string CleanMessageText(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        const char blankOrChar = static_cast<unsigned char>(c) < 32 ? ' ' : c;
        if (blankOrChar == ' ' && !result.empty() && result.back() == ' ') continue;
        result.push_back(blankOrChar);
    }
    return result.substr(0, MaxMessageLength);
}

std::string ErrorMessageText(int64_t code) {
    std::string text = FindMessageText(code);
    if (!text.empty()) return text;
    return CleanMessageText(HostErrorText(AbsoluteCode(code)));
}

void RaisePortError(int32_t code) {
    if (code == -8) throw std::bad_alloc();
    if (code <= -2 && code >= -162) throw EInOutError(-code, ErrorMessageText(code));
    switch (code) {
#define QN_CATEGORY(name)
#define QN_LEAF(name, base, leafCode) \
    case leafCode:                    \
        throw name(code);
#define QN_SHARED(name, sharedCode) \
    case sharedCode:                \
        throw name(code);
#include "serial/QnExceptList.h"
#undef QN_CATEGORY
#undef QN_LEAF
#undef QN_SHARED
        default:
            break;
    }
    throw EQnException::CreateWithText("Quon exception");
}

int32_t CheckPortResult(const IQnPortLoading* port, int32_t code) {
    if (code >= 0 || (port != nullptr && port->ComponentLoading())) return code;
    RaisePortError(code);
}

void SetExceptionDisplay(TQnExceptionDisplay display, const void* owner) {
    std::lock_guard guard(DisplayLock());
    Installed() = {std::move(display), owner};
}

void RemoveExceptionDisplay(const void* owner) {
    std::lock_guard guard(DisplayLock());
    if (Installed().Owner == owner) Installed() = {};
}

void ShowException(const std::string& text) {
    // Shown under the lock, so the display's owner can remove it and then
    // go away safely.
    std::lock_guard guard(DisplayLock());
    if (Installed().Display)
        Installed().Display(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}
