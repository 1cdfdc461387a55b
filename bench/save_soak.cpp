// The saves of the configuration, stopped at random moments (bench/save_soak.sh kills this
// program): afterwards every file must load, each wholly one save's content, never a mix.
//
//   save_soak save DIR FIRST   saves the whole configuration (Config.config, Profile0-5) into DIR
//                              again and again, as generation FIRST, FIRST+1, ...; prints
//                              "saved N" after each save that wrote every file
//   save_soak check DIR        loads every file of DIR and prints "<file> N" with the generation
//                              the file holds wholly, or "<file> MIXED" / "<file> UNREADABLE";
//                              exit status 0 when every file is whole, 1 otherwise
//
// Every value of a file comes from its generation, so a file part old, part new shows.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "config_store.h"
#include "data_folder.h"
#include "profile_ops.h"
#include "setting_rw.h"

namespace {

struct Image {
    KB_CONFIG keyboard;
    qelt::ProfileArray profiles;
};

// A program path with letters outside the ANSI code page: the files are UTF-16.
std::wstring AppPathOf(int generation, int profile)
{
    wchar_t path[APP_PATH_CHARS];
    std::swprintf(path, APP_PATH_CHARS, L"C:\\\u0418\u0433\u0440\u044B\\gen%d\\profile%d.exe", generation, profile);
    return path;
}

void FillProfile(PROFILE_CONFIG& profile, int generation, int p)
{
    profile.nMacroTotal = generation;
    profile.DiableWinKey = generation % 2;
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        BUTTON_CONFIG& slot = profile.TButton[s];
        slot.FunID = s == 9 ? FUN_LAUNCH_APP : FUN_MACRO;
        slot.MappingKey = static_cast<uint8_t>((generation + s + p) % 200);
        std::wcscpy(slot.AppPath, AppPathOf(generation, p).c_str());
        MACRO_DATA& macro = slot.Macro;
        macro.RepeatOption = static_cast<uint8_t>(1 + generation % 3);
        macro.length = static_cast<uint16_t>(MACRO_MAX_STEPS - generation % 50);
        for (int i = 0; i < MACRO_MAX_STEPS; ++i) {
            macro.Steps[i].Code = i % 2 ? MACRO_STEP_DELAY : static_cast<uint8_t>(0x04 + (i / 2 + s) % 0x60);
            macro.Steps[i].Value = generation;
        }
    }
}

std::unique_ptr<Image> ImageOf(int generation)
{
    auto image = std::make_unique<Image>();
    image->keyboard = KB_CONFIG{generation + 1, generation, generation % PROFILE_COUNT};
    for (int p = 0; p < PROFILE_COUNT; ++p)
        FillProfile(image->profiles[p], generation, p);
    return image;
}

int Save(const std::wstring& folder, int first)
{
    const qelt::ConfigStore store(folder, qelt::ProgramRole::Editor);
    for (int generation = first;; ++generation) {
        const auto image = ImageOf(generation);
        const qelt::FileWriteResult result = store.SaveAll(image->keyboard, image->profiles);
        if (!result.Ok()) {
            std::printf("failed %ls\n", result.Describe().c_str());
            std::fflush(stdout);
            return 2;
        }
        std::printf("saved %d\n", generation);
        std::fflush(stdout);
    }
}

bool SameProfile(const PROFILE_CONFIG& read, const PROFILE_CONFIG& expected)
{
    if (read.nMacroTotal != expected.nMacroTotal || read.DiableWinKey != expected.DiableWinKey)
        return false;
    for (int s = 0; s < BUTTON_COUNT; ++s) {
        const BUTTON_CONFIG& a = read.TButton[s];
        const BUTTON_CONFIG& e = expected.TButton[s];
        if (a.FunID != e.FunID || a.MappingKey != e.MappingKey || a.Macro.length != e.Macro.length ||
            a.Macro.RepeatOption != e.Macro.RepeatOption ||
            std::memcmp(a.Macro.Steps, e.Macro.Steps, sizeof a.Macro.Steps) != 0)
            return false;
        if (e.FunID == FUN_LAUNCH_APP && std::wcscmp(a.AppPath, e.AppPath) != 0)
            return false;
    }
    return true;
}

int Check(const std::wstring& folder)
{
    const qelt::ConfigStore store(folder, qelt::ProgramRole::Editor);
    bool whole = true;

    KB_CONFIG keyboard{-7, -7, -7};
    store.ReadConfig(keyboard);
    const int configGeneration = keyboard.nLight;
    const KB_CONFIG expectedKeyboard = ImageOf(configGeneration)->keyboard;
    if (GetFileAttributesW(store.ConfigPath().c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::printf("Config.config UNREADABLE\n");
        whole = false;
    } else if (keyboard.nDeviceStatus != expectedKeyboard.nDeviceStatus ||
               keyboard.CurrantProfile != expectedKeyboard.CurrantProfile) {
        std::printf("Config.config MIXED\n");
        whole = false;
    } else {
        std::printf("Config.config %d\n", configGeneration);
    }

    auto read = std::make_unique<PROFILE_CONFIG>();
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        std::memset(read.get(), 0, sizeof *read);
        const std::wstring path = store.ProfilePath(p);
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("Profile%d UNREADABLE\n", p);
            whole = false;
            continue;
        }
        const settingRW::ProfileReadReport report = settingRW::ReadProfileFromFile(path, *read);
        const int generation = read->nMacroTotal;
        auto expected = std::make_unique<PROFILE_CONFIG>();
        FillProfile(*expected, generation, p);
        if (!report.Clean() || !SameProfile(*read, *expected)) {
            std::printf("Profile%d MIXED\n", p);
            whole = false;
        } else {
            std::printf("Profile%d %d\n", p, generation);
        }
    }
    std::fflush(stdout);
    return whole ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring folder = argc > 2 ? argv[2] : L"";
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    if (argc == 4 && std::wcscmp(argv[1], L"save") == 0)
        return Save(folder, _wtoi(argv[3]));
    if (argc == 3 && std::wcscmp(argv[1], L"check") == 0)
        return Check(folder);
    std::fprintf(stderr, "usage: save_soak save DIR FIRST | save_soak check DIR\n");
    return 2;
}
