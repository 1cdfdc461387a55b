#include <gtest/gtest.h>

#include <string>

#include "app_rules.h"

using namespace qelt;

namespace {

// A section's text as the platform returns it: "key=value" strings, each ended by a NUL.
std::wstring Section(std::initializer_list<std::wstring> lines)
{
    std::wstring text;
    for (const auto& line : lines) {
        text += line;
        text += L'\0';
    }
    text += L'\0';
    return text;
}

AppRules Rules(std::initializer_list<std::wstring> lines, std::vector<RejectedRule>* rejected = nullptr)
{
    return AppRules::FromSection(Section(lines), rejected);
}

TEST(AppRulesMatch, ProgramsTitlesAndOrder)
{
    const AppRules rules = Rules({
        L"1=2|game1.exe|",
        L"2=4|C:\\Games\\Other\\game2.exe|",
        L"3=3|firefox.exe|",
        L"4=5|firefox.exe|YouTube",
        L"5=1|Игра.EXE|",
        L"6=2|launcher.exe|Lobby",
        L"7=3|launcher.exe|lobby - chat",
    });
    struct Case {
        const wchar_t* path;
        const wchar_t* title;
        std::optional<int> profile;
    } cases[] = {
        {L"C:\\Games\\Game1.EXE", L"Game", 1},                     // file name, any case, any folder
        {L"D:\\elsewhere\\game1.exe", L"", 1},
        {L"c:\\games\\other\\GAME2.exe", L"x", 3},                 // full path, any case
        {L"C:\\Games\\game2.exe", L"x", std::nullopt},             // same name, other folder
        {L"C:\\Program Files\\Mozilla\\firefox.exe", L"News", 2},  // no title part matches
        {L"C:\\Program Files\\Mozilla\\firefox.exe", L"Cats - youtube — Mozilla", 4},  // title part first
        {L"C:\\Игры\\игра.exe", L"", 0},                           // Cyrillic folds
        {L"C:\\x\\launcher.exe", L"Main LOBBY - Chat", 1},         // the first matching title rule
        {L"C:\\x\\launcher.exe", L"Store", std::nullopt},          // title rules only: no match
        {L"C:\\x\\notepad.exe", L"game1.exe", std::nullopt},       // the title is not the program
        {L"", L"game1.exe", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rules.Match(c.path, c.title), c.profile) << "case " << (&c - cases);
    }
}

TEST(AppRulesText, BadLinesAreSkippedWithTheirReasonAndGoodOnesKept)
{
    std::vector<RejectedRule> rejected;
    const std::wstring longPath = L"C:\\" + std::wstring(1000, L'a') + L".exe";
    const AppRules rules = Rules({L"1=9|game.exe|", L"2=garbage", L"3=2|game.exe|", L"noequals", L"5=0|x.exe|",
                                  L"6=3||title", L"7=4|" + longPath + L"|", L"8=5|ok.exe|"},
                                 &rejected);
    ASSERT_EQ(rules.Rules().size(), 2u);
    EXPECT_EQ(rules.Match(L"C:\\game.exe", L""), 1);
    EXPECT_EQ(rules.Match(L"C:\\ok.exe", L""), 4);
    std::vector<std::wstring> keys;
    for (const auto& r : rejected) {
        keys.push_back(r.key);
        EXPECT_FALSE(r.reason.empty());
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"1", L"2", L"noequals", L"5", L"6", L"7"}));
}

TEST(AppRulesText, RoundTripKeepsOrderAndTitleBars)
{
    AppRules rules;
    ASSERT_TRUE(rules.AddOrReplace({L"b.exe", L"", 1}));
    ASSERT_TRUE(rules.AddOrReplace({L"C:\\Apps\\a.exe", L"x | y", 4}));
    ASSERT_TRUE(rules.AddOrReplace({L"ゲーム.exe", L"", 0}));
    const AppRules again = AppRules::FromSection(rules.ToSection());
    ASSERT_EQ(again.Rules().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(again.Rules()[i].program, rules.Rules()[i].program);
        EXPECT_EQ(again.Rules()[i].titlePart, rules.Rules()[i].titlePart);
        EXPECT_EQ(again.Rules()[i].profile, rules.Rules()[i].profile);
    }
}

TEST(AppRulesEdit, AddReplacesTheSameProgramAndTitleAndRemoveFindsItInAnyCase)
{
    AppRules rules;
    EXPECT_TRUE(rules.AddOrReplace({L"game.exe", L"", 1}));
    EXPECT_TRUE(rules.AddOrReplace({L"game.exe", L"Menu", 2}));
    EXPECT_TRUE(rules.AddOrReplace({L"GAME.EXE", L"", 3}));  // replaces the first, in its place
    ASSERT_EQ(rules.Rules().size(), 2u);
    EXPECT_EQ(rules.Rules()[0].profile, 3);
    EXPECT_FALSE(rules.AddOrReplace({L"game.exe", L"", 7}));  // refused, nothing changed
    EXPECT_FALSE(rules.AddOrReplace({L"a|b.exe", L"", 1}));
    EXPECT_EQ(rules.Rules()[0].profile, 3);

    EXPECT_FALSE(rules.Remove(L"game.exe", L"other"));
    EXPECT_TRUE(rules.Remove(L"Game.exe", L"menu"));
    EXPECT_EQ(rules.Match(L"C:\\game.exe", L"Menu"), 3);
    EXPECT_TRUE(rules.Remove(L"game.exe", L""));
    EXPECT_TRUE(rules.Empty());
}

TEST(AppRulesText, TenThousandRulesLoadAndTheLastStillMatches)
{
    std::wstring text;
    for (int i = 1; i <= 10000; ++i) {
        text += std::to_wstring(i) + L"=" + std::to_wstring(1 + i % 5) + L"|program" + std::to_wstring(i) + L".exe|";
        text += L'\0';
    }
    text += L'\0';
    const AppRules rules = AppRules::FromSection(text);
    EXPECT_EQ(rules.Rules().size(), 10000u);
    EXPECT_EQ(rules.Match(L"C:\\x\\PROGRAM10000.exe", L""), 10000 % 5);
}

} // namespace
