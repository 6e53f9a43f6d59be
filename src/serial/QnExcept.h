#pragma once
// The error model of the serial-port stack: message lookup, the exception
// family rooted at EQnException (one class per error code, generated from
// QnExceptList.h) and CheckPortResult, which turns a negative port result
// into the matching exception.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// Text of a code from the message table; a code and its negation share one
// entry. Empty when the table has no entry for the absolute value (codes
// beyond the 16-bit range included: they never alias a table code).
std::string FindMessageText(int64_t code);

// FindMessageText, else the host's own description of the absolute code
// cleaned by CleanMessageText, else empty. Never longer than 255 characters.
std::string ErrorMessageText(int64_t code);

// Control characters become blanks and runs of blanks shrink to one; at most
// 255 characters.
std::string CleanMessageText(const std::string& text);

// Root of the family. ErrorCode keeps the sign of the result that raised it.
class EQnException : public std::runtime_error {
public:
    static EQnException CreateForCode(int32_t code) { return EQnException(code, ErrorMessageText(code)); }
    static EQnException CreateWithText(const std::string& text) { return EQnException(0, text); }

    int32_t ErrorCode() const { return errorCode_; }

protected:
    EQnException(int32_t code, const std::string& text) : std::runtime_error(text), errorCode_(code) {}

private:
    int32_t errorCode_;
};

#define QN_CATEGORY(name)                                                           \
    class name : public EQnException {                                              \
    public:                                                                         \
        explicit name(int32_t code) : EQnException(code, ErrorMessageText(code)) {} \
    };
#define QN_LEAF(name, base, code)                    \
    class name : public base {                       \
    public:                                          \
        explicit name(int32_t c = code) : base(c) {} \
    };
#define QN_SHARED(name, code)
#include "serial/QnExceptList.h"
#undef QN_CATEGORY
#undef QN_LEAF
#undef QN_SHARED

// The host's input/output failure, for the file and system codes -2..-162;
// ErrorCode is the absolute code.
class EInOutError : public std::runtime_error {
public:
    EInOutError(int32_t code, const std::string& text) : std::runtime_error(text), errorCode_(code) {}
    int32_t ErrorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};

// What CheckPortResult asks of the port: while the component is still being
// restored from its stored settings, results pass unchecked.
class IQnPortLoading {
public:
    virtual ~IQnPortLoading() = default;
    virtual bool ComponentLoading() const = 0;
};

// Returns a code >= 0 unchanged (as well as any code while the port is
// loading); raises for a negative one: std::bad_alloc for -8, EInOutError for
// the other file and system codes, the code's own class when it has one, else
// EQnException with "Quon exception". port may be null (not loading).
int32_t CheckPortResult(const IQnPortLoading* port, int32_t code);

// Raises the exception CheckPortResult chooses for a negative code.
[[noreturn]] void RaisePortError(int32_t code);

// The standard display of an exception that ended a worker thread of the
// stack. The GUI installs one that hands the text to its thread (see
// QnExceptionDisplayScope.h); without one the text goes to standard error. Called on
// the failing thread, so a display must not wait for another thread.
using TQnExceptionDisplay = std::function<void(const std::string& text)>;
// Installs display for owner, replacing any other. Returns once no thread is
// still in the display it replaces.
void SetExceptionDisplay(TQnExceptionDisplay display, const void* owner);
// Goes back to the default when owner's display is the one installed (a
// later owner's stays); returns once no thread is still in it.
void RemoveExceptionDisplay(const void* owner);
void ShowException(const std::string& text);
