// qeltctl run as a program on profile files written the way the programs write them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "handles.h"
#include "setting_rw.h"

namespace {

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
    std::string err;
};

std::wstring TestFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::string ReadAll(HANDLE pipe)
{
    std::string text;
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(pipe, chunk, sizeof(chunk), &count, nullptr) && count)
        text.append(chunk, count);
    return text;
}

std::string WithoutCarriageReturns(std::string text)
{
    std::string clean;
    for (char c : text)
        if (c != '\r')
            clean += c;
    return clean;
}

RunResult Qeltctl(const std::wstring& arguments)
{
    RunResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 1 << 16))
        return result;
    qelt::UniqueKernelObject outReader(outRead), outWriter(outWrite);
    if (!CreatePipe(&errRead, &errWrite, &inherit, 1 << 16))
        return result;
    qelt::UniqueKernelObject errReader(errRead), errWriter(errWrite);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    std::wstring command = L"\"" + TestFolder() + L"..\\out\\qeltctl.exe\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return result;
    qelt::UniqueKernelObject processHandle(process.hProcess), threadHandle(process.hThread);
    outWriter.Reset();
    errWriter.Reset();
    result.out = WithoutCarriageReturns(ReadAll(outRead));
    result.err = WithoutCarriageReturns(ReadAll(errRead));
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    return result;
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

TEST_F(QeltctlTest, UnreadableValuesAreReported)
{
    struct Case {
        const char* what;
        std::string search;
        std::string replace;
        std::string message;
    };
    const Case cases[] = {
        {"function code is text", "FunID=32", "FunID=macro", "[BUTTONCONFIG1] FunID: \"macro\" is not a number"},
        {"key index out of range", "Mappinkey=60", "Mappinkey=300", "[BUTTONCONFIG1] Mappinkey: value 300 is outside"},
        {"repeat option with junk", "RepeatOption=3", "RepeatOption=3x", "[MACROG1] RepeatOption: \"3x\" is not a number"},
        {"macro steps cut short", "Macro=84", "Macro=8", "[MACROG1] Macro: missing or damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ifstream in(std::filesystem::path(WriteExample()), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // The macro of slot 1 is the second Macro value; its text starts with the first step's code.
        const size_t at = c.search == "Macro=84" ? text.find("Macro=04") : text.find(c.search);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.search == "Macro=84" ? 8 : c.search.size(), c.replace);
        const std::wstring path = WriteText(L"damaged.Config", text);
        const RunResult result = Qeltctl(L"tables \"" + path + L"\"");
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
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
        {L"", 2, "usage: qeltctl tables PROFILE_FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.message));
        const RunResult result = Qeltctl(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.out.empty());
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
}

} // namespace
