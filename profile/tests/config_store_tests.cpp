#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <filesystem>

#include "config_store.h"
#include "data_folder.h"
#include "diag.h"
#include "profile_samples.h"
#include "setting_rw.h"
#include "temp_folder.h"

using namespace qelt;
using namespace qelt::testing;
namespace fs = std::filesystem;

namespace {

const wchar_t* const kAllFiles[] = {L"Config.config", L"Profile0", L"Profile1", L"Profile2",
                                    L"Profile3", L"Profile4", L"Profile5"};

std::vector<std::wstring> FilesIn(const fs::path& folder)
{
    std::vector<std::wstring> names;
    if (fs::exists(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().wstring());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> AllSevenFiles()
{
    std::vector<std::wstring> names(std::begin(kAllFiles), std::end(kAllFiles));
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<Image> SampleImage()
{
    auto image = FilledImage(0);
    image->keyboard = KB_CONFIG{1, 1, 3};
    for (int p = 0; p < PROFILE_COUNT; ++p)
        FillProfile(image->profiles[p], p);
    return image;
}

void ExpectSameProfiles(const ProfileArray& actual, const ProfileArray& expected)
{
    for (int p = 0; p < PROFILE_COUNT; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(actual[p].nMacroTotal, expected[p].nMacroTotal);
        EXPECT_EQ(actual[p].DiableWinKey, expected[p].DiableWinKey);
        for (int s = 0; s < BUTTON_COUNT; ++s) {
            const BUTTON_CONFIG& a = actual[p].TButton[s];
            const BUTTON_CONFIG& e = expected[p].TButton[s];
            EXPECT_EQ(a.FunID, e.FunID);
            EXPECT_EQ(a.MappingKey, e.MappingKey);
            if (e.FunID == FUN_LAUNCH_APP) {
                EXPECT_STREQ(a.AppPath, e.AppPath);
            }
            EXPECT_EQ(a.Macro.length, e.Macro.length);
            EXPECT_EQ(a.Macro.RepeatOption, e.Macro.RepeatOption);
            EXPECT_EQ(std::memcmp(a.Macro.Steps, e.Macro.Steps, sizeof a.Macro.Steps), 0) << "slot " << s;
        }
    }
}

class FailingAppData final : public AppDataFolderSource {
public:
    bool Query(std::wstring&) const override { return false; }
};

class FixedAppData final : public AppDataFolderSource {
public:
    explicit FixedAppData(std::wstring folder) : m_folder(std::move(folder)) {}
    bool Query(std::wstring& folder) const override { folder = m_folder; return true; }

private:
    std::wstring m_folder;
};

// Runs a test body with the current directory set to a folder.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& folder) : m_previous(fs::current_path()) { fs::current_path(folder); }
    ~CurrentDirectory() { fs::current_path(m_previous); }

private:
    fs::path m_previous;
};

} // namespace

TEST(DataFolder, MivoUnderTheApplicationDataFolder)
{
    DiagCapture diag;
    EXPECT_EQ(DataFolder(FixedAppData(L"C:\\users\\me\\AppData\\Roaming")), L"C:\\users\\me\\AppData\\Roaming\\Mivo\\");
    EXPECT_TRUE(diag.Contains(L"C:\\users\\me\\AppData\\Roaming\\Mivo\\"));

    const std::wstring real = DataFolder();
    ASSERT_GT(real.size(), 6u);
    EXPECT_EQ(real.substr(real.size() - 6), L"\\Mivo\\");
}

TEST(DataFolder, EmptyWhenTheFolderCannotBeHad)
{
    EXPECT_EQ(DataFolder(FailingAppData()), L"");
    // A folder that leaves no room for "\Mivo\" in 260 characters.
    EXPECT_EQ(DataFolder(FixedAppData(L"C:\\" + std::wstring(252, L'a'))), L"");
    EXPECT_EQ(DataFolder(FixedAppData(L"C:\\" + std::wstring(250, L'a'))).size(), 259u);
}

TEST(ConfigStore, LoadReadsEveryFileWhenConfigExists)
{
    for (ProgramRole role : {ProgramRole::Editor, ProgramRole::Agent}) {
        TempFolder folder;
        auto saved = SampleImage();
        ConfigStore(folder.WithSlash(), ProgramRole::Editor).SaveAll(saved->keyboard, saved->profiles);

        auto loaded = FilledImage(0);
        ZeroImageForLoad(loaded->keyboard, loaded->profiles);
        DiagCapture diag;
        ConfigStore(folder.WithSlash(), role).Load(loaded->keyboard, loaded->profiles);
        EXPECT_TRUE(diag.Contains(L"Path exsit!\n"));
        EXPECT_EQ(loaded->keyboard.CurrantProfile, 3);
        EXPECT_EQ(loaded->keyboard.nLight, 1);
        EXPECT_EQ(loaded->keyboard.nDeviceStatus, 1);
        ExpectSameProfiles(loaded->profiles, saved->profiles);
    }
}

TEST(ConfigStore, LoadCreatesANewConfigurationWhenTheFolderIsNew)
{
    for (ProgramRole role : {ProgramRole::Editor, ProgramRole::Agent}) {
        const bool editor = role == ProgramRole::Editor;
        SCOPED_TRACE(editor ? "editor" : "agent");
        TempFolder parent;
        const fs::path dataFolder = parent.Path() / L"Mivo";
        auto image = FilledImage(0);
        if (editor)
            ZeroImageForLoad(image->keyboard, image->profiles);
        ConfigStore(dataFolder.wstring() + L"\\", role).Load(image->keyboard, image->profiles);

        EXPECT_EQ(FilesIn(dataFolder), std::vector<std::wstring>{L"Config.config"});
        EXPECT_EQ(ReadLines((dataFolder / L"Config.config").wstring()),
                  (std::vector<std::string>{"[CONFIG]", "CURRENTPROFILE=0", "LIGHT=1", "DEVICEPSTATS=0"}));
        for (const auto& profile : image->profiles) {
            EXPECT_EQ(profile.DiableWinKey, editor ? 1 : 0);
            for (const auto& slot : profile.TButton) {
                EXPECT_EQ(slot.FunID, 0xFF);
                EXPECT_EQ(slot.MappingKey, 0xFF);
            }
        }
    }
}

// The folder is there without Config.config: the editor keeps its zeroed image, the agent reads
// the missing files and so takes every default. Neither writes anything.
TEST(ConfigStore, LoadWithFolderButNoConfig)
{
    for (ProgramRole role : {ProgramRole::Editor, ProgramRole::Agent}) {
        const bool editor = role == ProgramRole::Editor;
        SCOPED_TRACE(editor ? "editor" : "agent");
        TempFolder folder;
        auto image = FilledImage(0);
        ZeroImageForLoad(image->keyboard, image->profiles);
        ConfigStore(folder.WithSlash(), role).Load(image->keyboard, image->profiles);

        EXPECT_TRUE(FilesIn(folder.Path()).empty());
        EXPECT_EQ(image->keyboard.CurrantProfile, editor ? 0 : -1);
        EXPECT_EQ(image->keyboard.nLight, editor ? 0 : -1);
        for (int p = 0; p < PROFILE_COUNT; ++p) {
            EXPECT_EQ(image->profiles[p].DiableWinKey, editor ? 0 : 1);
            for (const auto& slot : image->profiles[p].TButton) {
                EXPECT_EQ(slot.MappingKey, editor && p == PC_MODE_PROFILE ? 0x00 : 0xFF);
                EXPECT_EQ(slot.Macro.length, 0) << "no macro: the agent's missing files give empty ones";
                EXPECT_EQ(slot.Macro.RepeatOption, editor ? 0 : 1);
            }
        }
    }
}

TEST(ConfigStore, SavingWithoutConfigWritesAllSevenFiles)
{
    struct Case {
        const char* what;
        bool folderExists;
    };
    for (const Case& c : {Case{"folder missing", false}, Case{"folder empty", true}}) {
        SCOPED_TRACE(c.what);
        TempFolder parent;
        const fs::path dataFolder = parent.Path() / L"Mivo";
        if (c.folderExists)
            fs::create_directory(dataFolder);
        auto image = SampleImage();
        ConfigStore store(dataFolder.wstring() + L"\\", ProgramRole::Editor);
        store.SaveAll(image->keyboard, image->profiles);
        EXPECT_EQ(FilesIn(dataFolder), AllSevenFiles());

        auto loaded = FilledImage(0);
        store.Load(loaded->keyboard, loaded->profiles);
        ExpectSameProfiles(loaded->profiles, image->profiles);
    }
}

TEST(ConfigStore, SelectingAProfileWritesOnlyConfigWhenItExists)
{
    TempFolder folder;
    ConfigStore store(folder.WithSlash(), ProgramRole::Editor);
    auto image = SampleImage();

    // No Config.config yet: everything is saved.
    store.SaveSelection(image->keyboard, image->profiles);
    EXPECT_EQ(FilesIn(folder.Path()), AllSevenFiles());

    // Now it exists: the profile files are left as they are.
    fs::remove(folder.Path() / L"Profile2");
    image->keyboard.CurrantProfile = 4;
    image->profiles[0].TButton[0].FunID = FUN_CTRL_C;
    store.SaveSelection(image->keyboard, image->profiles);
    EXPECT_FALSE(fs::exists(folder.Path() / L"Profile2"));
    KB_CONFIG keyboard{};
    store.ReadConfig(keyboard);
    EXPECT_EQ(keyboard.CurrantProfile, 4);
    auto loaded = FilledImage(0);
    settingRW::ReadProfileFromFile(store.ProfilePath(0), loaded->profiles[0]);
    EXPECT_EQ(loaded->profiles[0].TButton[0].FunID, FUN_CTRL_X);
}

TEST(ConfigStore, CurrentDirectoryWhenTheDataFolderCannotBeHad)
{
    TempFolder folder;
    CurrentDirectory inFolder(folder.Path());
    const std::wstring dataFolder = DataFolder(FailingAppData());
    ASSERT_EQ(dataFolder, L"");

    ConfigStore store(dataFolder, ProgramRole::Editor);
    EXPECT_EQ(fs::path(store.ConfigPath()), folder.Path() / L"Config.config");
    auto image = SampleImage();
    // A file dialog may have moved the current directory since: the files stay where they were.
    TempFolder browsed;
    {
        CurrentDirectory elsewhere(browsed.Path());
        EXPECT_EQ(fs::path(store.ProfilePath(4)), folder.Path() / L"Profile4");
        EXPECT_TRUE(store.SaveAll(image->keyboard, image->profiles).Ok());
    }
    EXPECT_EQ(FilesIn(folder.Path()), AllSevenFiles());
    EXPECT_TRUE(FilesIn(browsed.Path()).empty());

    auto loaded = FilledImage(0);
    DiagCapture diag;
    ConfigStore(dataFolder, ProgramRole::Agent).Load(loaded->keyboard, loaded->profiles);
    EXPECT_TRUE(diag.Contains(L"Path exsit!\n"));
    EXPECT_EQ(loaded->keyboard.CurrantProfile, 3);
    ExpectSameProfiles(loaded->profiles, image->profiles);
}

TEST(ConfigStore, ProfileResetDeletesTheFile)
{
    TempFolder folder;
    ConfigStore store(folder.WithSlash(), ProgramRole::Editor);
    auto image = SampleImage();
    store.SaveAll(image->keyboard, image->profiles);

    store.DeleteAndResetProfile(2, image->profiles);
    EXPECT_FALSE(fs::exists(folder.Path() / L"Profile2"));
    EXPECT_EQ(image->profiles[2].DiableWinKey, 0);
    EXPECT_EQ(image->profiles[2].TButton[0].FunID, 0xFF);
    EXPECT_EQ(image->profiles[3].TButton[0].FunID, FUN_CTRL_X);

    // Deleting a file that is not there is no error.
    DiagCapture diag;
    store.DeleteAndResetProfile(2, image->profiles);
    EXPECT_FALSE(diag.Contains(L"DeleteFileW"));
}

TEST(ConfigStore, OutOfRangeProfileIndexStandsForProfileZero)
{
    TempFolder folder;
    ConfigStore store(folder.WithSlash(), ProgramRole::Editor);
    auto image = SampleImage();
    store.SaveAll(image->keyboard, image->profiles);

    image->profiles[0].TButton[0].FunID = FUN_MACRO;  // an unapplied edit
    const PROFILE_CONFIG profile5Before = image->profiles[5];
    DiagCapture diag;
    store.ReloadProfile(-1, image->profiles);
    EXPECT_TRUE(diag.Contains(L"out of range"));
    EXPECT_EQ(image->profiles[0].TButton[0].FunID, FUN_CTRL_X);
    EXPECT_EQ(std::memcmp(&image->profiles[5], &profile5Before, sizeof profile5Before), 0);
}

TEST(ConfigStore, SavingWhereNothingCanBeWrittenIsDiagnosedAndHarmless)
{
    TempFolder parent;
    const std::wstring dataFolder = (parent.Path() / L"missing" / L"Mivo").wstring() + L"\\";
    ConfigStore store(dataFolder, ProgramRole::Editor);
    auto image = SampleImage();
    DiagCapture diag;
    const FileWriteResult result = store.SaveAll(image->keyboard, image->profiles);
    EXPECT_TRUE(diag.Contains(L"ERROR: CreateDirectoryW failed"));
    EXPECT_FALSE(result.Ok());
    EXPECT_EQ(fs::path(result.failedPath), fs::path(store.ConfigPath())) << "the first file that failed";
    EXPECT_EQ(result.nError, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(FilesIn(parent.Path()).empty());
    EXPECT_LE(diag.Lines().size(), 30u);  // a few per file, not one per key

    // Loading from there: the editor keeps its image.
    auto loaded = FilledImage(0);
    ZeroImageForLoad(loaded->keyboard, loaded->profiles);
    store.Load(loaded->keyboard, loaded->profiles);
    EXPECT_EQ(loaded->keyboard.CurrantProfile, 0);
    EXPECT_EQ(loaded->profiles[0].TButton[0].MappingKey, 0xFF);
}
