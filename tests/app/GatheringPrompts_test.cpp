// The window's prompts while the settings load: reports are held back for
// the one report, questions are still asked at once.

#include <gtest/gtest.h>

#include "app/GatheringPrompts.h"
#include "platform/ScriptedUiPrompts.h"

namespace {

TEST(GatheringPrompts, HoldsBackReportsButAsksQuestionsAtOnce) {
    TScriptedUiPrompts shown;
    shown.DialogAnswers = {mrNo};
    TGatheringPrompts prompts(shown);
    prompts.Gather();
    prompts.ShowMessage("a message");
    prompts.ShowError("an error");
    EXPECT_EQ(prompts.MessageDlg("a warning", TMsgDlgType::Warning, mbOK), mrOk);
    EXPECT_EQ(prompts.MessageDlg("a question", TMsgDlgType::Confirmation, mbYes | mbNo), mrNo);
    EXPECT_EQ(shown.Texts(), std::vector<std::string>{"a question"});
    EXPECT_EQ(prompts.TakeGathered(), (std::vector<std::string>{"a message", "an error", "a warning"}));

    prompts.ShowError("after the gathering");
    EXPECT_EQ(shown.Texts(), (std::vector<std::string>{"a question", "after the gathering"}));
    EXPECT_TRUE(prompts.TakeGathered().empty());
}

}  // namespace
