// The settings store's index: lookups by any letter case reach the pair
// first stored, repeated names continue it, and saving keeps first-stored
// order, however many keys and sections there are.

#include <gtest/gtest.h>

#include "machine/ConfigObject.h"

namespace {

std::string Key(int i) { return "Key" + std::to_string(i); }

TEST(SettingsIndexTest, ManyKeysAndSectionsKeepOrderAndCaseRules)
{
    // Every key twice, the second time in upper case with another value,
    // in sections that come back in lower case.
    constexpr int Keys = 3000;
    std::string text;
    for (int pass = 0; pass < 2; ++pass)
        for (int s = 0; s < 3; ++s) {
            text += pass == 0 ? "[Sect" + std::to_string(s) + "]\r\n" : "[ sect" + std::to_string(s) + " ]\n";
            for (int i = 0; i < Keys; ++i)
                text += (pass == 0 ? Key(i) : NrUpperCase(Key(i))) + " = " + std::to_string(i * 10 + pass) + "\r";
        }
    TNrKeyValueSections store;
    store.SetText(text);

    ASSERT_EQ(store.GetSectionCount(), 3);
    for (int s = 0; s < 3; ++s) {
        const TNrKeyValueList* list = store.GetSection(s);
        ASSERT_EQ(list->Name, "Sect" + std::to_string(s));
        ASSERT_EQ(list->GetCount(), Keys);
        for (int i = 0; i < Keys; i += 97) {
            EXPECT_EQ(list->GetPair(i)->Key, Key(i));
            EXPECT_EQ(list->IndexOf("kEY" + std::to_string(i)), i);
            EXPECT_EQ(store.ReadInteger("SECT" + std::to_string(s), Key(i), -1), i * 10 + 1);
        }
    }
    EXPECT_EQ(store.IndexOfSection("Sect3"), -1);
    EXPECT_FALSE(store.KeyExists("Sect0", Key(Keys)));

    // Saving keeps first-stored order; loading the saved text gives it back.
    TNrKeyValueSections again;
    again.SetText(store.GetText());
    EXPECT_EQ(again.GetText(), store.GetText());
    std::vector<std::string> lines;
    store.SaveToStrings(lines);
    EXPECT_EQ(lines[1], "Key0=1");
    EXPECT_EQ(lines[Keys + 1], "");
    EXPECT_EQ(lines[Keys + 2], "[Sect1]");

    store.Clear();
    EXPECT_EQ(store.IndexOfSection("Sect0"), -1);
    store.WriteInteger("sect0", "key1", 5);
    EXPECT_EQ(store.GetSection(0)->Name, "sect0");
}

} // namespace
