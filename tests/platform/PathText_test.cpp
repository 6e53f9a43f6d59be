// Host paths as text to read: captions and boxes show names in the file
// system's encoding, and long paths in boxes get places to wrap.

#include <gtest/gtest.h>

#include <QString>

#include "platform/PathText.h"

namespace {

TEST(DisplayTextTest, NamesShowInTheFileSystemEncoding)
{
    EXPECT_EQ(DisplayText("\xC3\x9C" "bung"), QStringLiteral("\u00DCbung"));
    EXPECT_EQ(DisplayText("caf\xE9 \xF0\x9F\x92\xBE"), QStringLiteral("caf\uFFFD \U0001F4BE"));
    // Edited text keeps the bytes it did not touch.
    EXPECT_EQ(PathFromQt(QStringLiteral("/x/") + PathToQt("caf\xE9")), "/x/caf\xE9");
}

TEST(DisplayTextTest, LongRunsGetWrapPointsAndKeepTheirCharacters)
{
    const std::string path = "/home/user/" + std::string(200, 'x') + ".cpmdsk";
    const QString shown = WrappableText("Cannot open \"" + path + "\".");
    QString visible = shown;
    visible.remove(QChar(0x200B));
    EXPECT_EQ(visible.toStdString(), "Cannot open \"" + path + "\".");
    int longest = 0, run = 0;
    for (QChar c : shown) {
        run = c.isSpace() || c.unicode() == 0x200B ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    EXPECT_LE(longest, 40);
    EXPECT_EQ(WrappableText("short words stay"), QStringLiteral("short words stay"));
    EXPECT_EQ(DisplayText(path), QString::fromStdString(path)) << "captions elide instead";
}

} // namespace
