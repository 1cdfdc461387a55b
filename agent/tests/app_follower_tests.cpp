// The keyboard following the program in front: a sequence of front windows, profile choices and
// rule reloads, and the profile switches the follower asks for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_follower.h"

using namespace qelt;

namespace {

class RecordingSwitch : public ProfileSwitch {
public:
    int CurrentProfile() const override { return current; }
    void SwitchTo(int profile) override
    {
        switches.push_back(profile);
        current = profile;
    }
    int current = 0;
    std::vector<int> switches;
};

AppRules GameRules()
{
    AppRules rules;
    rules.AddOrReplace({L"game1.exe", L"", 1});   // profile 2
    rules.AddOrReplace({L"game2.exe", L"", 3});   // profile 4
    rules.AddOrReplace({L"browser.exe", L"Raid", 2});
    return rules;
}

const FrontWindow kGame1{L"C:\\Games\\game1.exe", L"Game One"};
const FrontWindow kGame2{L"C:\\Games\\game2.exe", L"Game Two"};
const FrontWindow kEditor{L"C:\\Program Files\\Zorvane Gear QELT\\QELT_Settings.exe", L"Zorvane Gear QELT Settings"};
const FrontWindow kNotepad{L"C:\\windows\\notepad.exe", L"Untitled - Notepad"};

class AppFollowerTest : public ::testing::Test {
protected:
    AppFollowerTest() { follower.SetRules(GameRules()); }
    RecordingSwitch profiles;
    AppFollower follower{profiles};
};

TEST_F(AppFollowerTest, EachRuledProgramGetsItsProfileAndOthersTheUsersChoice)
{
    profiles.current = 2;  // the user's profile 3 at start
    follower.OnFrontWindow(kNotepad);
    follower.OnFrontWindow(kGame1);
    follower.OnFrontWindow(kGame2);
    follower.OnFrontWindow(kNotepad);
    follower.OnFrontWindow(kGame2);
    follower.OnFrontWindow(kEditor);
    EXPECT_EQ(profiles.switches, (std::vector<int>{1, 3, 2, 3, 2}));
}

TEST_F(AppFollowerTest, NoSwitchWhenTheProfileIsAlreadyCurrentOrNothingChanged)
{
    profiles.current = 1;
    follower.OnFrontWindow(kGame1);            // game1's profile is current already
    follower.OnFrontWindow(kGame1);            // nothing changed
    follower.OnFrontWindow({kGame1.program, L"Game One - Level 2"});  // a title change, same profile
    EXPECT_TRUE(profiles.switches.empty());
}

TEST_F(AppFollowerTest, AProfileChosenWhileARuledProgramIsInFrontWinsUntilTheProgramChanges)
{
    follower.OnFrontWindow(kGame1);  // profile 2
    follower.OnUserChoice(4);        // then the profile key 5 (the agent made it current)
    profiles.current = 4;
    follower.OnFrontWindow({kGame1.program, L"Game One - Menu"});  // same program: the key still wins
    follower.SetRules(GameRules());                                 // a reload does not undo it
    follower.OnFrontWindow(kNotepad);  // back to the user's last choice, which is the key's
    EXPECT_EQ(profiles.switches, (std::vector<int>{1}));
    follower.OnFrontWindow(kGame1);    // the rule again
    EXPECT_EQ(profiles.switches, (std::vector<int>{1, 1}));
}

TEST_F(AppFollowerTest, TitleRulesFollowTitleChangesOfOneProgram)
{
    follower.OnFrontWindow({L"C:\\b\\browser.exe", L"News"});
    follower.OnFrontWindow({L"C:\\b\\browser.exe", L"Raid planner"});
    follower.OnFrontWindow({L"C:\\b\\browser.exe", L"Mail"});
    EXPECT_EQ(profiles.switches, (std::vector<int>{2, 0}));
}

TEST_F(AppFollowerTest, ReloadedRulesApplyToTheWindowInFront)
{
    follower.OnFrontWindow(kNotepad);
    AppRules rules = GameRules();
    rules.AddOrReplace({L"notepad.exe", L"", 4});
    follower.SetRules(rules);
    follower.SetRules(GameRules());  // removed again: back to the user's profile
    EXPECT_EQ(profiles.switches, (std::vector<int>{4, 0}));
}

TEST_F(AppFollowerTest, AfterForgetTheSameWindowCountsAsNew)
{
    follower.OnFrontWindow(kGame1);
    follower.Forget();          // session locked; meanwhile qeltctl made profile 1 current
    profiles.current = 0;
    follower.OnFrontWindow(kGame1);
    EXPECT_EQ(profiles.switches, (std::vector<int>{1, 1}));
}

TEST_F(AppFollowerTest, UnknownProgramAndNoRulesNeverSwitch)
{
    follower.OnFrontWindow({L"", L"Some window"});
    AppFollower idle(profiles);
    idle.OnFrontWindow(kGame1);
    EXPECT_FALSE(idle.Active());
    EXPECT_TRUE(profiles.switches.empty());
}

} // namespace
