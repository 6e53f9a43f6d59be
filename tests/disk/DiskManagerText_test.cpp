// CP/M text to host text, whole and in pieces: only a CR that an LF follows
// goes, wherever the pieces split.

#include <gtest/gtest.h>

#include "disk/DiskManagerText.h"

namespace {

TEST(CpmTextToHost, DropsOnlyTheCrThatAnLfFollows) {
    const struct {
        std::string cpm, host;
    } rows[] = {
        {"", ""},
        {"a\r\nb\r\n", "a\nb\n"},
        {"a\nb", "a\nb"},
        {"\r", "\r"},
        {"a\rb\r", "a\rb\r"},
        {"\r\r\n\n\r", "\r\n\n\r"},
        {"x\x1A\r\n", "x\x1A\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.cpm));
        EXPECT_EQ(CpmTextToHost(row.cpm), row.host);
        for (size_t split = 0; split <= row.cpm.size(); ++split) {
            std::string out;
            bool pendingCr = false;
            AppendCpmTextAsHost(out, std::string_view(row.cpm).substr(0, split), pendingCr);
            AppendCpmTextAsHost(out, std::string_view(row.cpm).substr(split), pendingCr);
            if (pendingCr) out += '\r';
            EXPECT_EQ(out, row.host) << "split at " << split;
        }
    }
}

}  // namespace
