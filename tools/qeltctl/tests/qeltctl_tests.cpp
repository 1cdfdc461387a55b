// qeltctl run as a program on profile files written the way the programs write them.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "handles.h"
#include "run_program.h"
#include "setting_rw.h"

namespace {

using qelt::testing::RunResult;

RunResult Qeltctl(const std::wstring& arguments)
{
    return qelt::testing::RunProgram(qelt::testing::ProgramOutputFolder() + L"qeltctl.exe", arguments);
}

std::string Zeros(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += " 00";
    return text;
}

MACRO_STEP Key(uint8_t code, int pressed) { return MACRO_STEP{code, {0, 0, 0}, pressed}; }
MACRO_STEP PauseMs(int milliseconds) { return MACRO_STEP{MACRO_STEP_DELAY, {0, 0, 0}, milliseconds}; }

class QeltctlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder = std::filesystem::path(temp) /
                 (L"qeltctl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::to_wstring(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(folder);
        std::memset(&profile, 0, sizeof(profile));
        for (BUTTON_CONFIG& button : profile.TButton) {
            button.FunID = FUN_NONE;
            button.MappingKey = UNASSIGNED;
        }
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // The documented example: launch on A (position 59), a three-step macro on S (60).
    std::wstring WriteExample()
    {
        profile.TButton[0].FunID = FUN_LAUNCH_APP;
        profile.TButton[0].MappingKey = 59;
        wcscpy(profile.TButton[0].AppPath, L"C:\\Tools\\app.exe");
        profile.TButton[1].FunID = FUN_MACRO;
        profile.TButton[1].MappingKey = 60;
        profile.TButton[1].Macro.RepeatOption = 3;
        profile.TButton[1].Macro.length = 3;
        profile.TButton[1].Macro.Steps[0] = Key(0x04, 1);
        profile.TButton[1].Macro.Steps[1] = PauseMs(30);
        profile.TButton[1].Macro.Steps[2] = Key(0x04, 0);
        return Write(L"example.Config");
    }

    std::wstring Write(const wchar_t* name)
    {
        const std::wstring path = (folder / name).wstring();
        settingRW::WriteProfileToFile(path, profile);
        return path;
    }

    // The programs create their files in UTF-16; the examples are ASCII, edited as bytes.
    static std::string ReadText(const std::wstring& path)
    {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (bytes.rfind("\xFF\xFE", 0) != 0)
            return bytes;
        std::string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += bytes[i];
        return text;
    }

    std::wstring WriteText(const wchar_t* name, const std::string& text)
    {
        const std::wstring path = (folder / name).wstring();
        std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
        return path;
    }

    std::filesystem::path folder;
    PROFILE_CONFIG profile;
};

TEST_F(QeltctlTest, ExampleProfilePrintsTheThreeTables)
{
    const std::wstring path = WriteExample();
    const RunResult result = Qeltctl(L"tables \"" + path + L"\"");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "0A 04 01 16 03" + Zeros(16) + "\n" +
                              "0A 00 37 00 11 11 00 00 00 02 20 00 02 00 0F" + Zeros(40) + "\n" +
                              "01 FD 84 04 01 87 00 01 84 04 00 86 00 01 87 00 01\n");
}

TEST_F(QeltctlTest, KeyNumAndProfileOptions)
{
    profile.TButton[3].FunID = FUN_DISABLE_KEY;
    profile.TButton[3].MappingKey = 70;  // Enter on the 103-key board, backslash on the larger one
    const std::wstring path = Write(L"keys.Config");
    const std::string emptyIndex = "0A 00 37 00 00" + Zeros(50) + "\n";
    struct Case {
        std::wstring options;
        std::string keyMap;
    };
    const Case cases[] = {
        {L"", "0A" + Zeros(6) + " 28 00" + Zeros(12) + "\n"},
        {L"--keynum 103", "0A" + Zeros(6) + " 28 00" + Zeros(12) + "\n"},
        {L"--keynum 104", "0A" + Zeros(6) + " 32 00" + Zeros(12) + "\n"},
        {L"--profile 5 --keynum 0", "0A" + Zeros(6) + " 32 00" + Zeros(12) + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options.begin(), c.options.end()));
        const RunResult result = Qeltctl(L"tables \"" + path + L"\" " + c.options);
        ASSERT_EQ(result.exitCode, 0u) << result.err;
        EXPECT_EQ(result.out, c.keyMap + emptyIndex + "\n");
    }
}

TEST_F(QeltctlTest, FileWithoutKeysGivesEmptyTables)
{
    const std::wstring path = WriteText(L"empty.Config", "[Setting]\r\n");
    const RunResult result = Qeltctl(L"tables \"" + path + L"\"");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "0A" + Zeros(20) + "\n0A 00 37 00 00" + Zeros(50) + "\n\n");
}

// The agent reads such files all the same; qeltctl shows what it sends and says where that differs
// from what the file seems to say.
TEST_F(QeltctlTest, ValuesReadOtherwiseAreWarningsBesideTheTables)
{
    struct Case {
        const char* what;
        std::string search;
        std::string replace;
        std::string message;
    };
    const Case cases[] = {
        {"function code is text", "FunID=32", "FunID=macro", "[BUTTONCONFIG1] FunID: \"macro\" is not a number, read as 0"},
        {"key index out of range", "Mappinkey=60", "Mappinkey=300",
         "[BUTTONCONFIG1] Mappinkey: value 300 does not fit in 8 bits, read as 44"},
        {"repeat option with junk", "RepeatOption=3", "RepeatOption=3x",
         "[MACROG1] RepeatOption: \"3x\" is not a number, read as 3"},
        {"macro steps cut short", "Macro=84", "Macro=8", "[MACROG1] Macro: missing or damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = ReadText(WriteExample());
        // The macro of slot 1 is the second Macro value; its text starts with the first step's code.
        const size_t at = c.search == "Macro=84" ? text.find("Macro=04") : text.find(c.search);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.search == "Macro=84" ? 8 : c.search.size(), c.replace);
        const std::wstring path = WriteText(L"damaged.Config", text);
        const RunResult result = Qeltctl(L"tables \"" + path + L"\"");
        EXPECT_EQ(result.exitCode, 0u) << result.err;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3) << result.out;
        EXPECT_NE(result.err.find("warning: " + c.message), std::string::npos) << result.err;
    }
}

// Numbers cut to their field: FunID 272 is the launch code 16, Mappinkey -2 the position 254 (no
// key), MacroLength 99999 the length 34463, of which the recorded steps are sent.
TEST_F(QeltctlTest, WrappedNumbersGiveTheTablesTheAgentSends)
{
    std::string text = ReadText(WriteExample());
    const auto replace = [&text](const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    };
    replace("[BUTTONCONFIG0]\r\nFunID=16\r\nMappinkey=59", "[BUTTONCONFIG0]\r\nFunID=16\r\nMappinkey=-2");
    replace("MacroLength=3", "MacroLength=99999");
    replace("[BUTTONCONFIG2]\r\nFunID=255\r\nMappinkey=255", "[BUTTONCONFIG2]\r\nFunID=272\r\nMappinkey=61");
    const std::wstring path = WriteText(L"wrapped.Config", text);
    const RunResult result = Qeltctl(L"tables \"" + path + L"\"");
    ASSERT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out, "0A 00 01 16 03 07 01" + Zeros(14) + "\n" +
                              "0A 00 37 00 13 11 00 00 00 02 20 00 02 00 0F 11 00 11 00 02" + Zeros(35) + "\n" +
                              "01 FD 84 04 01 87 00 01 84 04 00 86 00 01 87 00 01 03 FD\n");
    for (const char* warning : {"[BUTTONCONFIG0] Mappinkey: value -2 does not fit in 8 bits, read as 254",
                                "[BUTTONCONFIG0] Mappinkey: position 254 has no key in the 103-key layout",
                                "[MACROG1] MacroLength: value 99999 does not fit in 16 bits, read as 34463",
                                "[MACROG1] MacroLength: 34463, 3 step(s) sent",
                                "[BUTTONCONFIG2] FunID: value 272 does not fit in 8 bits, read as 16"})
        EXPECT_NE(result.err.find(warning), std::string::npos) << warning << "\n" << result.err;
}

TEST_F(QeltctlTest, BadCommandLinesExplainThemselves)
{
    const std::wstring path = WriteExample();
    struct Case {
        std::wstring arguments;
        DWORD exitCode;
        std::string message;
    };
    const Case cases[] = {
        {L"tables \"" + (folder / L"missing.Config").wstring() + L"\"", 1, "no such profile file"},
        {L"tables \"" + folder.wstring() + L"\"", 1, "no such profile file"},
        {L"tables", 2, "no profile file given"},
        {L"tables \"" + path + L"\" --keynum", 2, "--keynum needs a value"},
        {L"tables \"" + path + L"\" --keynum big", 2, "--keynum value \"big\" is not a number"},
        {L"tables \"" + path + L"\" --profile 6", 2, "is not a profile index 0 to 5"},
        {L"tables \"" + path + L"\" --verbose", 2, "unknown option --verbose"},
        {L"tables a b", 2, "only one profile file"},
        {L"dump", 2, "unknown command dump"},
        {L"", 2, "usage: qeltctl status"},
        {L"status now", 2, "status takes no arguments"},
        {L"profile", 2, "which profile? (1 to 5, or pc)"},
        {L"profile 0", 2, "\"0\" is not a profile 1 to 5 or pc"},
        {L"profile 6", 2, "\"6\" is not a profile 1 to 5 or pc"},
        {L"profile 12", 2, "\"12\" is not a profile 1 to 5 or pc"},
        {L"profile 1 2", 2, "only one profile"},
        {L"apply", 2, "which profile? (1 to 5)"},
        {L"apply pc", 2, "\"pc\" is not a profile 1 to 5"},
        {L"reset -1", 2, "\"-1\" is not a profile 1 to 5"},
        {L"apply 2 3", 2, "unexpected argument 3"},
        {L"apply 2 --timeout", 2, "--timeout needs a value"},
        {L"reset 2 --timeout 0", 2, "--timeout value \"0\" is not 1 to 600 seconds"},
        {L"apply 2 --timeout soon", 2, "--timeout value \"soon\" is not 1 to 600 seconds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.message));
        const RunResult result = Qeltctl(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

TEST(QeltctlHelp, NamesEveryCommandAndTheEditorRule)
{
    const RunResult result = Qeltctl(L"--help");
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.err.empty()) << result.err;
    for (const char* text : {"qeltctl status", "qeltctl profile N", "qeltctl apply N", "qeltctl reset N",
                             "qeltctl app list", "qeltctl app add PROGRAM N [--title TEXT]",
                             "qeltctl app remove PROGRAM [--title TEXT]", "qeltctl tables PROFILE_FILE",
                             "refuse while the settings editor is open",
                             "3 refused because the editor is open"})
        EXPECT_NE(result.out.find(text), std::string::npos) << text;
}

} // namespace
