// The "Program profiles" dialog's rules: adding, a new profile, removing, the selection, the
// running programs offered, and what OK writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_profiles_edit.h"

using namespace qelt;

namespace {

AppRules RulesOf(const std::vector<AppRule>& list)
{
    AppRules rules;
    for (const AppRule& rule : list)
        EXPECT_TRUE(rules.AddOrReplace(rule));
    return rules;
}

// Records what OK did; Write fails while `failWrites` is set.
class SaverJournal final : public RulesSaver {
public:
    bool Write(const AppRules& rules) override
    {
        journal.push_back(failWrites ? "write failed" : "write " + std::to_string(rules.Rules().size()) + " rule(s)");
        written = rules;
        return !failWrites;
    }
    void TellAgent() override { journal.push_back("tell agent"); }

    bool failWrites = false;
    std::vector<std::string> journal;
    AppRules written;
};

} // namespace

TEST(ProgramProfilesEdit, AddingAProgramNamesItsFileWithProfileOneAndSelectsIt)
{
    ProgramProfilesEdit edit(RulesOf({{L"other.exe", L"", 3}}));
    ASSERT_TRUE(edit.AddProgram(L"C:\\Games\\Game1.exe"));
    ASSERT_EQ(edit.Rules().Rules().size(), 2u);
    EXPECT_EQ(edit.Rules().Rules()[1].program, L"Game1.exe");
    EXPECT_EQ(edit.Rules().Rules()[1].titlePart, L"");
    EXPECT_EQ(edit.Selection(), 1);
    EXPECT_EQ(edit.SelectedProfile(), 0);
    EXPECT_TRUE(edit.Changed());
    // The rule matches the program wherever it is installed.
    EXPECT_EQ(edit.Rules().Match(L"D:\\elsewhere\\GAME1.EXE", L"any").value_or(-1), 0);
}

TEST(ProgramProfilesEdit, AddingAProgramThatHasARuleSelectsThatRuleAndChangesNothing)
{
    ProgramProfilesEdit edit(RulesOf({{L"game1.exe", L"Launcher", 2}, {L"game1.exe", L"", 3}}));
    ASSERT_TRUE(edit.AddProgram(L"Z:\\tmp\\GAME1.exe"));
    EXPECT_EQ(edit.Rules().Rules().size(), 2u);
    EXPECT_EQ(edit.Selection(), 1) << "the rule without a title part";
    EXPECT_EQ(edit.SelectedProfile(), 3);
    EXPECT_FALSE(edit.Changed());
}

TEST(ProgramProfilesEdit, PathsNamingNoProgramAreRefused)
{
    const std::wstring tooLong(300, L'a');
    for (const std::wstring& path : {std::wstring(L""), std::wstring(L"C:\\Games\\"), tooLong + L".exe",
                                     std::wstring(L"C:\\a\tb.exe")}) {
        ProgramProfilesEdit edit(RulesOf({{L"game1.exe", L"", 1}}));
        edit.Select(0);
        EXPECT_FALSE(edit.AddProgram(path)) << path.size();
        EXPECT_EQ(edit.Rules().Rules().size(), 1u);
        EXPECT_EQ(edit.Selection(), 0);
        EXPECT_FALSE(edit.Changed());
    }
}

TEST(ProgramProfilesEdit, TheSelectedRuleTakesProfilesOneToFiveOnly)
{
    ProgramProfilesEdit edit(RulesOf({{L"a.exe", L"", 0}, {L"b.exe", L"Title", 1}}));
    EXPECT_FALSE(edit.SetSelectedProfile(2)) << "no selection";
    EXPECT_EQ(edit.SelectedProfile(), -1);
    edit.Select(1);
    EXPECT_TRUE(edit.SetSelectedProfile(1)) << "its own profile";
    EXPECT_FALSE(edit.Changed());
    EXPECT_TRUE(edit.SetSelectedProfile(4));
    EXPECT_TRUE(edit.Changed());
    EXPECT_FALSE(edit.SetSelectedProfile(5)) << "PC mode is no rule's profile";
    EXPECT_FALSE(edit.SetSelectedProfile(-1));
    EXPECT_EQ(edit.Rules().Rules()[1].profile, 4);
    EXPECT_EQ(edit.Rules().Rules()[1].titlePart, L"Title");
    EXPECT_EQ(edit.Rules().Rules()[0].profile, 0) << "the other rule keeps its profile";
    EXPECT_EQ(edit.Rules().Match(L"b.exe", L"a Title here").value_or(-1), 4);
}

TEST(ProgramProfilesEdit, RemovingSelectsTheNextRuleThenTheLastThenNone)
{
    ProgramProfilesEdit edit(RulesOf({{L"a.exe", L"", 0}, {L"b.exe", L"", 1}, {L"c.exe", L"", 2}}));
    EXPECT_FALSE(edit.RemoveSelected());
    edit.Select(1);
    ASSERT_TRUE(edit.RemoveSelected());
    EXPECT_EQ(edit.Lines(), (std::vector<std::wstring>{L"a.exe  -  Profile 1", L"c.exe  -  Profile 3"}));
    EXPECT_EQ(edit.Selection(), 1);
    ASSERT_TRUE(edit.RemoveSelected());
    EXPECT_EQ(edit.Selection(), 0);
    ASSERT_TRUE(edit.RemoveSelected());
    EXPECT_EQ(edit.Selection(), -1);
    EXPECT_TRUE(edit.Rules().Empty());
    EXPECT_TRUE(edit.Changed());
}

TEST(ProgramProfilesEdit, SelectionOutsideTheListIsNone)
{
    ProgramProfilesEdit edit(RulesOf({{L"a.exe", L"", 0}}));
    for (int index : {-1, 1, 100}) {
        edit.Select(0);
        edit.Select(index);
        EXPECT_EQ(edit.Selection(), -1) << index;
    }
}

TEST(ProgramProfilesEdit, LinesShowProgramTitlePartAndProfile)
{
    const ProgramProfilesEdit edit(RulesOf({{L"C:\\Games\\game.exe", L"", 4}, {L"chrome.exe", L"YouTube", 1}}));
    EXPECT_EQ(edit.Lines(), (std::vector<std::wstring>{L"C:\\Games\\game.exe  -  Profile 5",
                                                       L"chrome.exe  (title \"YouTube\")  -  Profile 2"}));
}

TEST(ProgramProfilesEdit, OkWritesAndTellsTheAgentOnlyAfterAChange)
{
    SaverJournal saver;
    ProgramProfilesEdit unchanged(RulesOf({{L"a.exe", L"", 0}}));
    EXPECT_EQ(unchanged.Save(saver), SaveResult::Unchanged);
    EXPECT_TRUE(saver.journal.empty());

    ProgramProfilesEdit edit(RulesOf({{L"a.exe", L"", 0}}));
    ASSERT_TRUE(edit.AddProgram(L"C:\\x\\game2.exe"));
    ASSERT_TRUE(edit.SetSelectedProfile(3));
    EXPECT_EQ(edit.Save(saver), SaveResult::Saved);
    EXPECT_EQ(saver.journal, (std::vector<std::string>{"write 2 rule(s)", "tell agent"}));
    EXPECT_EQ(saver.written.Match(L"game2.exe", L"").value_or(-1), 3);
    EXPECT_EQ(saver.written.Match(L"a.exe", L"").value_or(-1), 0);
}

TEST(ProgramProfilesEdit, AFailedWriteTellsNoAgentAndKeepsTheEditForAnotherTry)
{
    SaverJournal saver;
    ProgramProfilesEdit edit(RulesOf({{L"a.exe", L"", 0}}));
    edit.Select(0);
    ASSERT_TRUE(edit.RemoveSelected());
    saver.failWrites = true;
    EXPECT_EQ(edit.Save(saver), SaveResult::Failed);
    EXPECT_EQ(saver.journal, (std::vector<std::string>{"write failed"}));
    EXPECT_TRUE(edit.Changed());
    saver.failWrites = false;
    EXPECT_EQ(edit.Save(saver), SaveResult::Saved);
    EXPECT_TRUE(saver.written.Empty());
    EXPECT_EQ(saver.journal.back(), "tell agent");
}

TEST(ProgramProfilesEdit, RunningProgramsAreOfferedOnceByNameWithoutThoseAlreadyRuled)
{
    const AppRules rules = RulesOf({{L"ruled.exe", L"", 1}, {L"browser.exe", L"Game site", 2}});
    const std::vector<RunningProgram> windows{
        {L"C:\\Apps\\zeta.exe", L"Zeta"},
        {L"", L"a window of a program that cannot be asked"},
        {L"C:\\Apps\\Ruled.exe", L"Ruled"},
        {L"C:\\Apps\\browser.exe", L"News"},
        {L"C:\\Apps\\ZETA.EXE", L"Zeta's second window"},
        {L"C:\\Apps\\alpha.exe", L"Alpha"},
    };
    const std::vector<RunningProgram> offered = ProgramsToOffer(windows, rules);
    std::vector<std::wstring> paths;
    for (const RunningProgram& program : offered)
        paths.push_back(program.path);
    // A rule with a title part leaves the program's other windows free for a rule of their own.
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\Apps\\alpha.exe", L"C:\\Apps\\browser.exe", L"C:\\Apps\\zeta.exe"}));
    EXPECT_EQ(offered[2].title, L"Zeta") << "the first window seen names the program";
}
