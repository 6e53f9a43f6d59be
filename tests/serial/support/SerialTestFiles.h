#pragma once
// Files for the recorder tests: the disk tests' temporary folder and
// whole-file reads, and the golden dumps kept beside the tests.

#include <string>

#include "disk/StoreTestSupport.h"

namespace tavrin::test {

using storetest::TempFolder;
inline std::string ReadFileBytes(const std::string& path) { return storetest::ReadFile(path); }
inline std::string GoldenFile(const std::string& name)
{
    return ReadFileBytes(std::string(TAVRIN_SOURCE_DIR) + "/tests/serial/golden/" + name);
}

}  // namespace tavrin::test
