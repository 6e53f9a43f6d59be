#pragma once
// Table-driven tests: rows that carry a `name` member show as that name in
// test names, test listings and failure messages instead of as raw bytes.
//   TAVRIN_PRINT_AS_NAME(Row)  // beside the row type
//   INSTANTIATE_TEST_SUITE_P(Table, Suite, ::testing::Values(...), tavrin::test::RowName);

#include <ostream>
#include <string>

#include <gtest/gtest.h>

// Printed as its name (gtest finds PrintTo beside the row type).
#define TAVRIN_PRINT_AS_NAME(Row) \
    [[maybe_unused]] void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

namespace tavrin::test {

struct TRowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return info.param.name;
    }
};
inline constexpr TRowName RowName{};

}  // namespace tavrin::test
