// qeltctl: the keyboard's profiles from the command line, and a developer command.
//   qeltctl status | profile N | apply N | reset N   talk to the running agent as the editor does
//   qeltctl tables PROFILE_FILE [--keynum N] [--profile P]   prints the three device tables a
//     profile file encodes to, one per line: key-mapping table, index table, macro data block, as
//     uppercase hexadecimal byte pairs separated by spaces. They are exactly what the agent sends
//     for the file: values it reads otherwise than written (text, numbers cut to their field,
//     steps that do not decode) or cuts while encoding are warnings on stderr, and the exit code
//     is 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_command.h"
#include "data_folder.h"
#include "device_tables.h"
#include "download_exchange.h"
#include "us_english_layout.h"
#include "profile_argument.h"
#include "profile_check.h"
#include "profile_control.h"
#include "setting_rw.h"

namespace {

constexpr int kExitOk = qelt::kControlDone;
constexpr int kExitFailed = qelt::kControlFailed;
constexpr int kExitUsage = qelt::kControlUsage;

bool ParseNumber(const wchar_t* text, long low, long high, int& value)
{
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

constexpr wchar_t kUsage[] =
    L"usage: qeltctl status\n"
    L"       qeltctl profile N              N: 1-5, or pc for PC mode\n"
    L"       qeltctl apply N [--timeout S]  N: 1-5\n"
    L"       qeltctl reset N [--timeout S]  N: 1-5\n"
    L"       qeltctl app list\n"
    L"       qeltctl app add PROGRAM N [--title TEXT]\n"
    L"       qeltctl app remove PROGRAM [--title TEXT]\n"
    L"       qeltctl tables PROFILE_FILE [--keynum N] [--profile P]\n"
    L"\n"
    L"  status   whether the agent (QELT_Core) runs and has the keyboard, and the current profile\n"
    L"  profile  makes profile N the current one, on the keyboard too (the editor's profile buttons)\n"
    L"  apply    sends profile N to the keyboard and prints the progress (the editor's Apply)\n"
    L"  reset    clears profile N, in the configuration and on the keyboard (the editor's Reset)\n"
    L"           --timeout S: give up when the agent says nothing for S seconds (default 20)\n"
    L"  app      program profiles: profile N (1-5) is made current while PROGRAM is in front\n"
    L"           (an executable's file name, game.exe, or its full path); with --title, only\n"
    L"           while the window title holds TEXT. add replaces the rule for the same program\n"
    L"           and title; the running agent reads the rules again at once, a stopped one at\n"
    L"           its next start.\n"
    L"  tables   for developers: the three device tables a profile file encodes to\n"
    L"           N: key layout setting (103 selects the 103-key positions; default 103)\n"
    L"           P: profile index 0 to 5 (5 is PC mode; default 0)\n"
    L"\n"
    L"profile, apply, reset, app add and app remove refuse while the settings editor is open:\n"
    L"both would write the same configuration files. Make the change in the editor, or close it first.\n"
    L"Exit status: 0 done; 1 failed (the agent is not running, reports no keyboard, or did not\n"
    L"answer); 2 usage; 3 refused because the editor is open. status: 0 when the agent runs and\n"
    L"has the keyboard, 1 otherwise.\n";

int Usage(const wchar_t* problem)
{
    if (problem)
        std::fwprintf(stderr, L"qeltctl: %ls\n", problem);
    std::fwprintf(stderr, L"%ls", kUsage);
    return kExitUsage;
}

// apply N / reset N [--timeout S]
int RunJob(qelt::ProfileJob job, int argc, wchar_t** argv)
{
    std::optional<int> profile;
    int timeoutSeconds = int(qelt::AGENT_SILENCE_LIMIT_MS / 1000);
    for (int i = 2; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--timeout") {
            if (i + 1 >= argc)
                return Usage(L"--timeout needs a value");
            if (!ParseNumber(argv[++i], 1, 600, timeoutSeconds))
                return Usage((L"--timeout value \"" + std::wstring(argv[i]) + L"\" is not 1 to 600 seconds").c_str());
        } else if (profile) {
            return Usage((L"unexpected argument " + argument).c_str());
        } else if (!(profile = qelt::ParseUserProfile(argument, false))) {
            return Usage((L"\"" + argument + L"\" is not a profile 1 to 5").c_str());
        }
    }
    if (!profile)
        return Usage(L"which profile? (1 to 5)");
    return qelt::ProfileControl(qelt::DataFolder()).RunJob(job, *profile, unsigned(timeoutSeconds) * 1000);
}

int SelectProfile(int argc, wchar_t** argv)
{
    if (argc != 3)
        return Usage(argc < 3 ? L"which profile? (1 to 5, or pc)" : L"only one profile");
    const std::optional<int> profile = qelt::ParseUserProfile(argv[2], true);
    if (!profile)
        return Usage((std::wstring(L"\"") + argv[2] + L"\" is not a profile 1 to 5 or pc").c_str());
    return qelt::ProfileControl(qelt::DataFolder()).SelectProfile(*profile);
}

void PrintHexLine(const std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        std::printf(i == 0 ? "%02X" : " %02X", bytes[i]);
    std::printf("\n");
}

void Warn(const wchar_t* file, const std::wstring& text)
{
    std::fwprintf(stderr, L"qeltctl: %ls: warning: %ls\n", file, text.c_str());
}

bool CarriesData(uint8_t funId)
{
    return (funId >= FUN_CTRL_X && funId <= FUN_CTRL_S) || funId == FUN_LAUNCH_APP || funId == FUN_MACRO;
}

// What the encoder cuts: key positions without a key, macro steps, entries beyond the data block.
void WarnAboutEncoding(const wchar_t* file, int keyNum, const PROFILE_CONFIG& records,
                       const qelt::DeviceTableEncoder& encoder, int profile)
{
    for (int slot = 0; slot < BUTTON_COUNT; ++slot) {
        const BUTTON_CONFIG& button = records.TButton[slot];
        const std::wstring where = L"[BUTTONCONFIG" + std::to_wstring(slot) + L"] ";
        const qelt::DEVICE_ENTRY& entry = encoder.Entry(profile, slot);
        if (button.MappingKey != UNASSIGNED && entry.bKeyCode == 0)
            Warn(file, where + L"Mappinkey: position " + std::to_wstring(button.MappingKey) + L" has no key in the " +
                           (keyNum == qelt::KEYNUM_103 ? L"103-key" : L"larger") + L" layout, sent as key code 0");
        if (CarriesData(button.FunID) && entry.bEntryType == qelt::ENTRY_NONE)
            Warn(file, where + L"FunID " + std::to_wstring(button.FunID) + L": its data does not fit the " +
                           std::to_wstring(qelt::MACRO_BLOCK_CAPACITY) + L"-byte data block, sent without function");
        const bool macro = entry.bEntryType == qelt::ENTRY_MACRO;
        const int sent = qelt::MacroStepsToSend(button.Macro);
        if (macro && button.Macro.length != 0xFFFF && sent < button.Macro.length)
            Warn(file, L"[MACROG" + std::to_wstring(slot) + L"] MacroLength: " + std::to_wstring(button.Macro.length) +
                           L", " + std::to_wstring(sent) +
                           L" step(s) sent (at most 700, ending before the first step whose code is 0)");
    }
}

int PrintTables(int argc, wchar_t** argv)
{
    const wchar_t* file = nullptr;
    int keyNum = qelt::KEYNUM_103;
    int profile = 0;
    for (int i = 2; i < argc; ++i) {
        const std::wstring argument = argv[i];
        if (argument == L"--keynum" || argument == L"--profile") {
            if (i + 1 >= argc)
                return Usage((argument + L" needs a value").c_str());
            const bool isKeyNum = argument == L"--keynum";
            int& target = isKeyNum ? keyNum : profile;
            if (!ParseNumber(argv[++i], isKeyNum ? -2147483647L : 0, isKeyNum ? 2147483647L : PROFILE_COUNT - 1, target))
                return Usage((argument + L" value \"" + argv[i] + L"\" is not " +
                              (isKeyNum ? L"a number" : L"a profile index 0 to 5")).c_str());
        } else if (!argument.empty() && argument[0] == L'-' && argument.size() > 1) {
            return Usage((L"unknown option " + argument).c_str());
        } else if (!file) {
            file = argv[i];
        } else {
            return Usage(L"only one profile file");
        }
    }
    if (!file)
        return Usage(L"no profile file given");

    // The private-profile functions take a relative name as relative to the Windows folder.
    wchar_t fullPath[MAX_PATH];
    const DWORD length = GetFullPathNameW(file, MAX_PATH, fullPath, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        std::fwprintf(stderr, L"qeltctl: %ls: path cannot be used\n", file);
        return kExitFailed;
    }
    const DWORD attributes = GetFileAttributesW(fullPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        std::fwprintf(stderr, L"qeltctl: %ls: no such profile file\n", file);
        return kExitFailed;
    }
    for (const std::wstring& problem : qelt::CheckProfileFile(fullPath))
        Warn(file, problem);

    auto profiles = std::make_unique<PROFILE_CONFIG[]>(PROFILE_COUNT);
    std::memset(profiles.get(), 0, sizeof(PROFILE_CONFIG) * PROFILE_COUNT);
    settingRW::ReadProfileFromFile(fullPath, profiles[profile]);
    auto encoder = std::make_unique<qelt::DeviceTableEncoder>(
        *reinterpret_cast<PROFILE_CONFIG(*)[PROFILE_COUNT]>(profiles.get()), qelt::BuiltInUsEnglishLayout());
    encoder->FormatKeyMappingData(keyNum, profile);
    WarnAboutEncoding(file, keyNum, profiles[profile], *encoder, profile);
    PrintHexLine(encoder->BuildKeyMapTable(profile));
    PrintHexLine(encoder->BuildIndexTable(profile));
    PrintHexLine(encoder->BuildMacroDataBlock(profile));
    return kExitOk;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage(nullptr);
    const std::wstring command = argv[1];
    if (command == L"--help" || command == L"-h" || command == L"help" || command == L"/?") {
        std::fwprintf(stdout, L"%ls", kUsage);
        return kExitOk;
    }
    if (command == L"tables")
        return PrintTables(argc, argv);
    if (command == L"status") {
        if (argc != 2)
            return Usage(L"status takes no arguments");
        return qelt::ProfileControl(qelt::DataFolder()).Status();
    }
    if (command == L"profile")
        return SelectProfile(argc, argv);
    if (command == L"apply")
        return RunJob(qelt::ProfileJob::Apply, argc, argv);
    if (command == L"reset")
        return RunJob(qelt::ProfileJob::Reset, argc, argv);
    if (command == L"app")
        return qelt::RunAppCommand(std::vector<std::wstring>(argv + 2, argv + argc), qelt::DataFolder());
    return Usage((L"unknown command " + command).c_str());
}
