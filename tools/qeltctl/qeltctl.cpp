// qeltctl: developer tool. `qeltctl tables PROFILE_FILE [--keynum N] [--profile P]` prints the three
// device tables a profile file encodes to, one per line: key-mapping table, index table, macro data
// block, as uppercase hexadecimal byte pairs separated by spaces.
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
    const std::vector<std::wstring> problems = qelt::CheckProfileFile(fullPath);
    if (!problems.empty()) {
        for (const std::wstring& problem : problems)
            std::fwprintf(stderr, L"qeltctl: %ls: %ls\n", file, problem.c_str());
        return kExitFailed;
    }

    auto profiles = std::make_unique<PROFILE_CONFIG[]>(PROFILE_COUNT);
    std::memset(profiles.get(), 0, sizeof(PROFILE_CONFIG) * PROFILE_COUNT);
    settingRW::ReadProfileFromFile(fullPath, profiles[profile]);
    auto encoder = std::make_unique<qelt::DeviceTableEncoder>(
        *reinterpret_cast<PROFILE_CONFIG(*)[PROFILE_COUNT]>(profiles.get()), qelt::UsEnglishKeyboardLayout());
    encoder->FormatKeyMappingData(keyNum, profile);
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
