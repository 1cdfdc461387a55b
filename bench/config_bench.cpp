// Prints how long the editor takes to load its whole configuration at start (Config.config and
// six profile files whose slots all hold 700-step macros) and to save it again.
//
// Loads go one platform call per section (as the programs load); the figures of the per-key
// reference path are printed beside them. Under Wine a profile file written less than about two
// seconds ago is parsed again on every call, so warm loads are timed both right after a save (as
// the agent reloads when the editor has applied a profile) and once the files have settled.
//
//   config_bench [runs] [--keep]   save and load timings (median of runs) in a fresh folder, removed
//                                  afterwards unless --keep is given (its path is printed)
//   config_bench --load-once DIR [--key-by-key]
//                                  one load from DIR in this fresh process, in milliseconds
//   config_bench --cleanup DIR     removes the benchmark folder that holds DIR (a kept data folder)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "config_store.h"
#include "profile_ops.h"
#include "setting_rw.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Image {
    KB_CONFIG keyboard;
    qelt::ProfileArray profiles;
};

std::unique_ptr<Image> FullImage()
{
    auto image = std::make_unique<Image>();
    std::memset(image.get(), 0, sizeof(Image));
    image->keyboard = KB_CONFIG{1, 1, 2};
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        PROFILE_CONFIG& profile = image->profiles[p];
        profile.nMacroTotal = 7000;
        profile.DiableWinKey = 1;
        for (int s = 0; s < BUTTON_COUNT; ++s) {
            BUTTON_CONFIG& slot = profile.TButton[s];
            slot.FunID = s == 9 ? FUN_LAUNCH_APP : FUN_MACRO;
            slot.MappingKey = static_cast<uint8_t>(s + 40);
            if (slot.FunID == FUN_LAUNCH_APP)
                std::swprintf(slot.AppPath, APP_PATH_CHARS, L"C:\\Program Files\\Some Tool\\tool%d.exe", p);
            MACRO_DATA& macro = slot.Macro;
            macro.length = MACRO_MAX_STEPS;
            macro.RepeatOption = 1;
            for (int i = 0; i < MACRO_MAX_STEPS; ++i) {
                macro.Steps[i].Code = i % 3 == 2 ? MACRO_STEP_DELAY : static_cast<uint8_t>(0x04 + (p + s + i) % 0x60);
                macro.Steps[i].Value = i % 3 == 2 ? 25 + i : (i % 3 == 0);
            }
        }
    }
    return image;
}

double Milliseconds(Clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

template <typename Action>
std::vector<double> Time(int runs, Action action)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        action(i);
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times;
}

// Both read paths in turn, so that a burst of work by other programs on the machine falls on
// both alike. measure(run, how) gives milliseconds.
struct PathTimes {
    std::vector<double> sections;
    std::vector<double> keyByKey;
};

template <typename Measure>
PathTimes CollectBothPaths(int runs, Measure measure)
{
    PathTimes times;
    for (int run = 0; run < runs; ++run) {
        times.sections.push_back(measure(run, settingRW::ReadPath::Sections));
        times.keyByKey.push_back(measure(run, settingRW::ReadPath::KeyByKey));
    }
    std::sort(times.sections.begin(), times.sections.end());
    std::sort(times.keyByKey.begin(), times.keyByKey.end());
    return times;
}

void Report(const char* what, const std::vector<double>& times)
{
    std::printf("%-44s median %8.2f ms   min %8.2f   max %8.2f   (%zu runs)\n", what, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

// The editor's start-up load: with every file there, ConfigStore::Load reads Config.config and the
// six profiles. The per-key path is not reachable through ConfigStore, so it is read the same way
// here.
double LoadOnce(const std::wstring& folder, settingRW::ReadPath how)
{
    auto image = std::make_unique<Image>();
    const auto start = Clock::now();
    qelt::ZeroImageForLoad(image->keyboard, image->profiles);
    const qelt::ConfigStore store(folder, qelt::ProgramRole::Editor);
    if (how == settingRW::ReadPath::Sections) {
        store.Load(image->keyboard, image->profiles);
    } else {
        settingRW::ReadConfigFromFile(store.ConfigPath(), image->keyboard, how);
        for (int p = 0; p < PROFILE_COUNT; ++p)
            settingRW::ReadProfileFromFile(store.ProfilePath(p), image->profiles[p], how);
    }
    const double elapsed = Milliseconds(Clock::now() - start);
    if (image->profiles[5].TButton[9].Macro.length != MACRO_MAX_STEPS)
        std::fprintf(stderr, "load did not read the macros\n");
    return elapsed;
}

// Saves with a change in every file, so all seven are rewritten and just written when the next
// load starts.
void SaveChangingEveryFile(const qelt::ConfigStore& store, Image& image, int run)
{
    image.keyboard.nLight = 1 + run % 2;
    for (PROFILE_CONFIG& profile : image.profiles)
        profile.TButton[0].Macro.Steps[0].Value ^= 1;
    store.SaveAll(image.keyboard, image.profiles);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if ((argc == 3 || argc == 4) && std::wcscmp(argv[1], L"--load-once") == 0) {
        const bool keyByKey = argc == 4 && std::wcscmp(argv[3], L"--key-by-key") == 0;
        std::printf("%.2f\n", LoadOnce(argv[2], keyByKey ? settingRW::ReadPath::KeyByKey : settingRW::ReadPath::Sections));
        return 0;
    }
    if (argc == 3 && std::wcscmp(argv[1], L"--cleanup") == 0) {
        // Only ever a folder this program made: "qelt-bench-<pid>" right under the temp folder.
        const fs::path root = fs::path(argv[2]).parent_path().parent_path();
        std::error_code error;
        const fs::path expected = (fs::temp_directory_path() / root.filename()).lexically_normal();
        if (expected != root.lexically_normal() ||
            root.filename().wstring().rfind(L"qelt-bench-", 0) != 0) {
            std::fprintf(stderr, "not a benchmark folder: %ls\n", argv[2]);
            return 1;
        }
        fs::remove_all(root, error);
        return error ? 1 : 0;
    }
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 9;
    const bool keep = argc > 2 && std::wcscmp(argv[2], L"--keep") == 0;

    const fs::path root = fs::temp_directory_path() / (L"qelt-bench-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(root);
    auto image = FullImage();

    // The first save of all seven files, into an empty data folder.
    const auto fresh = Time(runs, [&](int run) {
        const std::wstring folder = (root / (L"fresh" + std::to_wstring(run))).wstring() + L"\\";
        qelt::ConfigStore(folder, qelt::ProgramRole::Editor).SaveAll(image->keyboard, image->profiles);
    });
    const std::wstring folder = (root / L"fresh0").wstring() + L"\\";
    qelt::ConfigStore store(folder, qelt::ProgramRole::Editor);

    // Applying a profile: every file already there, every value rewritten.
    const auto resave = Time(runs, [&](int run) {
        image->profiles[run % PROFILE_COUNT].TButton[0].Macro.Steps[0].Value ^= 1;  // a real change
        store.SaveAll(image->keyboard, image->profiles);
    });

    // Loads right after a save of all seven files.
    const PathTimes justWritten = CollectBothPaths(runs, [&](int run, settingRW::ReadPath how) {
        SaveChangingEveryFile(store, *image, run);
        return LoadOnce(folder, how);
    });

    // Loads once the files are older than the 2.1 s under which Wine does not trust its cache.
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));
    const PathTimes settled =
        CollectBothPaths(runs, [&](int, settingRW::ReadPath how) { return LoadOnce(folder, how); });

    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        bytes += entry.file_size();

    std::printf("configuration: Config.config + 6 profiles, 60 slots with 700-step macros, %ju bytes\n", bytes);
    Report("save everything into an empty folder", fresh);
    Report("save everything over existing files", resave);
    Report("load everything (editor start), warm", justWritten.sections);
    Report("  same, key by key (reference path)", justWritten.keyByKey);
    Report("load everything, warm, files settled (>2 s)", settled.sections);
    Report("  same, key by key (reference path)", settled.keyByKey);
    std::error_code ignored;
    if (keep) {
        for (int run = 1; run < runs; ++run)
            fs::remove_all(root / (L"fresh" + std::to_wstring(run)), ignored);
        std::printf("data folder for cold loads: %ls\n", folder.c_str());
    } else {
        fs::remove_all(root, ignored);
    }
    std::fflush(stdout);
    return 0;
}
