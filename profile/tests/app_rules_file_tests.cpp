// The program profiles' file through the platform's private-profile functions.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "app_rules_file.h"
#include "diag.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;

namespace {

TEST(AppRulesFile, RulesWithAnyLettersRoundTripAndReplaceTheOldFileWhole)
{
    TempFolder folder;
    const std::wstring path = AppRulesFilePath(folder.WithSlash());
    AppRules rules;
    ASSERT_TRUE(rules.AddOrReplace({L"C:\\Игры\\игра.exe", L"", 1}));
    ASSERT_TRUE(rules.AddOrReplace({L"ゲーム.exe", L"Ωmega | lobby", 3}));
    ASSERT_TRUE(WriteAppRulesFile(path, rules));

    const AppRules read = ReadAppRulesFile(path);
    ASSERT_EQ(read.Rules().size(), 2u);
    EXPECT_EQ(read.Rules()[0].program, L"C:\\Игры\\игра.exe");
    EXPECT_EQ(read.Rules()[1].program, L"ゲーム.exe");
    EXPECT_EQ(read.Rules()[1].titlePart, L"Ωmega | lobby");
    EXPECT_EQ(read.Match(L"D:\\ゲーム.EXE", L"ΩMEGA | Lobby 3"), 3);

    AppRules fewer;
    ASSERT_TRUE(fewer.AddOrReplace({L"other.exe", L"", 4}));
    ASSERT_TRUE(WriteAppRulesFile(path, fewer));
    EXPECT_EQ(ReadAppRulesFile(path).Rules().size(), 1u);
    size_t files = 0;  // nothing left beside it
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(AppRulesFile, MissingOrGarbageFilesGiveTheValidRulesOnly)
{
    TempFolder folder;
    EXPECT_TRUE(ReadAppRulesFile(folder.File(L"none.config")).Empty());

    std::string garbage = "[PROGRAMS]\r\n1=2|game1.exe|\r\n2=9|bad.exe|\r\n";
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 7919) % 251 + 1);
    garbage += "\r\n3=4|game2.exe|\r\n";
    WriteBytes(folder.File(L"garbage.config"), garbage);
    DiagCapture diagnostics;
    const AppRules rules = ReadAppRulesFile(folder.File(L"garbage.config"));
    EXPECT_EQ(rules.Match(L"C:\\game1.exe", L""), 1);
    EXPECT_EQ(rules.Match(L"C:\\game2.exe", L""), 3);
    EXPECT_TRUE(diagnostics.Contains(L"rule 2 of"));
}

TEST(AppRulesFile, AFileThatCannotBeWrittenIsReported)
{
    TempFolder folder;
    AppRules rules;
    ASSERT_TRUE(rules.AddOrReplace({L"game.exe", L"", 1}));
    DiagCapture diagnostics;
    EXPECT_FALSE(WriteAppRulesFile(folder.File(L"no such folder\\Programs.config"), rules));
    EXPECT_TRUE(diagnostics.Contains(L"Program profiles not saved"));

    // A folder where the file should be: the write fails and the folder stays as it was.
    const std::wstring path = AppRulesFilePath(folder.WithSlash());
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    EXPECT_FALSE(WriteAppRulesFile(path, rules));
    EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    RemoveDirectoryW(path.c_str());
}

} // namespace
