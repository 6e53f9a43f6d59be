#pragma once
// Sets or clears one environment variable for a scope (a test, a fixture),
// and clears it at the end so later tests in the process do not see it.

#include <cstdlib>
#include <string>
#include <utility>

namespace tavrin::test {

class TEnvironmentVariable {
public:
    // value nullptr: the variable is cleared.
    TEnvironmentVariable(std::string name, const char* value) : FName(std::move(name)) {
        if (value)
            ::setenv(FName.c_str(), value, 1);
        else
            ::unsetenv(FName.c_str());
    }
    ~TEnvironmentVariable() { ::unsetenv(FName.c_str()); }
    TEnvironmentVariable(const TEnvironmentVariable&) = delete;
    TEnvironmentVariable& operator=(const TEnvironmentVariable&) = delete;

private:
    std::string FName;
};

}  // namespace tavrin::test
