// qeltctl: developer tool. `qeltctl tables PROFILE_FILE [--keynum N] [--profile P]` prints the three
// device tables a profile file encodes to, one per line: key-mapping table, index table, macro data
// block, as uppercase hexadecimal byte pairs separated by spaces. They are exactly what the agent
// sends for the file: values it reads otherwise than written (text, numbers cut to their field,
// steps that do not decode) or cuts while encoding are warnings on stderr, and the exit code is 0.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "device_tables.h"
#include "keycodes_win.h"
#include "profile_check.h"
#include "setting_rw.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage(const wchar_t* problem)
{
    if (problem)
        std::fwprintf(stderr, L"qeltctl: %ls\n", problem);
    std::fwprintf(stderr, L"usage: qeltctl tables PROFILE_FILE [--keynum N] [--profile P]\n"
                          L"  N: key layout setting (103 selects the 103-key positions; default 103)\n"
                          L"  P: profile index 0 to 5 (5 is PC mode; default 0)\n");
    return kExitUsage;
}

bool ParseNumber(const wchar_t* text, long low, long high, int& value)
{
    wchar_t* end = nullptr;
    const long parsed = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < low || parsed > high)
        return false;
    value = static_cast<int>(parsed);
    return true;
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
        *reinterpret_cast<PROFILE_CONFIG(*)[PROFILE_COUNT]>(profiles.get()), qelt::UsEnglishKeyboardLayout());
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
    if (std::wstring(argv[1]) == L"tables")
        return PrintTables(argc, argv);
    return Usage((std::wstring(L"unknown command ") + argv[1]).c_str());
}
