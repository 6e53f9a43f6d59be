#pragma once
// Locates the shared test data folder that sits beside the repository
// (../shared from the repository root).

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tavrin::test {

inline std::filesystem::path SharedDir() { return std::filesystem::path(TAVRIN_SHARED_DIR); }

// Fails the calling test with a clear message when the folder (or a named
// entry below it) is missing, instead of silently running nothing.
inline ::testing::AssertionResult SharedEntryPresent(const std::string& entry) {
    const auto path = SharedDir() / entry;
    if (std::filesystem::exists(path)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "shared test data not found: " << path.string()
                                         << " (expected the 'shared' folder beside the repository root)";
}

}  // namespace tavrin::test
